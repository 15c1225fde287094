// TUserDialogs with Qt's modal message boxes and file dialog.
#pragma once

#include <QPointer>
#include <QWidget>

#include "app/user_dialogs.h"

namespace sorami {

class TQtUserDialogs : public TUserDialogs {
 public:
  // Boxes are centred on `parent` when it is set and shown (the main window), else on the
  // screen. The parent is not owned.
  void SetParentWindow(QWidget* parent) { parent_ = parent; }

  void ShowWarning(const std::string& text) override;
  void ShowConfirmation(const std::string& text) override;
  void ShowErrorReport(const std::string& message) override;
  std::optional<std::string> PromptOpenFileName(const TFileOpenRequest& request) override;

 private:
  QWidget* Parent() const;

  QPointer<QWidget> parent_;
};

// The program's text with its CR LF line breaks as Qt's line breaks.
QString ToDisplayText(const std::string& text);

}  // namespace sorami
