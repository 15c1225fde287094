// A TUserDialogs that records what the user would have seen, in order, and answers the
// file-open dialog from a script.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/user_dialogs.h"

namespace sorami_test {

enum class TBoxKind { kWarning, kConfirmation, kErrorReport };

struct TShownBox {
  TBoxKind kind;
  std::string text;
  bool operator==(const TShownBox& other) const = default;
};

inline void PrintTo(const TShownBox& box, std::ostream* out) {
  static const char* const kNames[] = {"warning", "confirmation", "error report"};
  *out << kNames[static_cast<int>(box.kind)] << " \"" << box.text << "\"";
}

class TRecordingDialogs : public sorami::TUserDialogs {
 public:
  void ShowWarning(const std::string& text) override {
    boxes.push_back({TBoxKind::kWarning, text});
  }
  void ShowConfirmation(const std::string& text) override {
    boxes.push_back({TBoxKind::kConfirmation, text});
  }
  void ShowErrorReport(const std::string& message) override {
    boxes.push_back({TBoxKind::kErrorReport, message});
  }
  std::optional<std::string> PromptOpenFileName(const sorami::TFileOpenRequest& request) override {
    file_open_requests.push_back(request);
    return file_open_answer;
  }

  std::vector<TShownBox> boxes;
  std::vector<sorami::TFileOpenRequest> file_open_requests;
  // What the user picks in the file-open dialog; nothing means "cancelled".
  std::optional<std::string> file_open_answer;
};

}  // namespace sorami_test
