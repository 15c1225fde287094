#include "app/console_user_dialogs.h"

namespace sorami {

void TConsoleUserDialogs::Write(const char* kind, const std::string& text) {
  std::string lines;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    lines += text[i];
  }
  out_ << "[" << kind << "] " << lines << '\n';
  out_.flush();
}

void TConsoleUserDialogs::ShowWarning(const std::string& text) { Write("warning", text); }

void TConsoleUserDialogs::ShowConfirmation(const std::string& text) { Write("confirmation", text); }

void TConsoleUserDialogs::ShowErrorReport(const std::string& message) { Write("error", message); }

std::optional<std::string> TConsoleUserDialogs::PromptOpenFileName(const TFileOpenRequest&) {
  return std::nullopt;
}

}  // namespace sorami
