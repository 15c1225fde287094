#include "app/qt_user_dialogs.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

#include "app/file_filter.h"

namespace sorami {

namespace {

void ShowBox(QWidget* parent, QMessageBox::Icon icon, const QString& caption,
             const std::string& text) {
  QMessageBox box(icon, caption, ToDisplayText(text), QMessageBox::Ok, parent);
  box.exec();
}

}  // namespace

QString ToDisplayText(const std::string& text) {
  QString result = QString::fromStdString(text);
  result.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return result;
}

QWidget* TQtUserDialogs::Parent() const {
  return parent_ != nullptr && parent_->isVisible() ? parent_.data() : nullptr;
}

void TQtUserDialogs::ShowWarning(const std::string& text) {
  ShowBox(Parent(), QMessageBox::Warning, QStringLiteral("警告"), text);
}

void TQtUserDialogs::ShowConfirmation(const std::string& text) {
  ShowBox(Parent(), QMessageBox::Question, QStringLiteral("確認"), text);
}

void TQtUserDialogs::ShowErrorReport(const std::string& message) {
  ShowBox(Parent(), QMessageBox::Critical, QStringLiteral("エラー"), message);
}

std::optional<std::string> TQtUserDialogs::PromptOpenFileName(const TFileOpenRequest& request) {
  QFileDialog dialog(Parent());
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  QStringList filters;
  for (const std::string& filter : ToQtNameFilters(request.filter)) {
    filters << QString::fromStdString(filter);
  }
  dialog.setNameFilters(filters);
  dialog.setDefaultSuffix(QString::fromStdString(ToQtDefaultSuffix(request.default_extension)));
  if (!request.initial_file_name.empty()) {
    dialog.selectFile(QString::fromStdString(request.initial_file_name));
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().constFirst().toStdString();
}

}  // namespace sorami
