// What the program shows the user and asks of the user: modal message boxes and the file-open
// dialog. Start-up, the window and the import talk to the user only through this interface, so
// that tests can see every message, in order, without a display.
//
// Texts are UTF-8. Lines of a message are separated by CR LF, as the program's own texts are
// written; an implementation that displays them turns that into its own line break. Every call
// is made on the user-interface thread and returns when the user has closed the box or dialog.
#pragma once

#include <optional>
#include <string>

namespace sorami {

// What the file-open dialog is asked to offer.
struct TFileOpenRequest {
  // Filters as pairs of description and pattern, all separated by "|":
  // "CSVファイル|*.csv|テキストファイル|*.txt". Several patterns of one filter are separated by
  // ";".
  std::string filter;
  // Appended (with its dot) to a typed name that has no extension; empty for none.
  std::string default_extension;
  // The name the dialog starts from (may be empty).
  std::string initial_file_name;
};

class TUserDialogs {
 public:
  virtual ~TUserDialogs() = default;

  // A modal warning box with a single OK button.
  virtual void ShowWarning(const std::string& text) = 0;
  // A modal box of the confirmation kind with a single OK button (the version notice).
  virtual void ShowConfirmation(const std::string& text) = 0;
  // The program's standard report of an error that no handler dealt with: one modal box with
  // the error's message text. It never ends the program.
  virtual void ShowErrorReport(const std::string& message) = 0;
  // The file-open dialog. The chosen file's full path, or nothing when the user cancelled.
  virtual std::optional<std::string> PromptOpenFileName(const TFileOpenRequest& request) = 0;
};

}  // namespace sorami
