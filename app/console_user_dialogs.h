// TUserDialogs for runs without a user (the screenshot mode): every message is written to a
// stream, one block per box, and the file-open dialog is cancelled at once.
#pragma once

#include <ostream>

#include "app/user_dialogs.h"

namespace sorami {

class TConsoleUserDialogs : public TUserDialogs {
 public:
  // The stream is borrowed and must outlive this object.
  explicit TConsoleUserDialogs(std::ostream& out) : out_(out) {}

  void ShowWarning(const std::string& text) override;
  void ShowConfirmation(const std::string& text) override;
  void ShowErrorReport(const std::string& message) override;
  std::optional<std::string> PromptOpenFileName(const TFileOpenRequest& request) override;

 private:
  void Write(const char* kind, const std::string& text);

  std::ostream& out_;
};

}  // namespace sorami
