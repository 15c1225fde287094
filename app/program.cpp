#include "app/program.h"

#include <QApplication>
#include <QPixmap>
#include <QStringList>
#include <QTimer>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/console_user_dialogs.h"
#include "app/dtm_sorami.h"
#include "app/engine_table_opener.h"
#include "app/form_v7tov8.h"
#include "app/qt_user_dialogs.h"
#include "app/termination_request.h"

namespace sorami {

namespace {

// Every option of ours (help, screenshot, and a bad one, which ends in the usage text) makes a
// run that needs no screen: without a display, and unless a platform is chosen, use Qt's
// offscreen platform for it instead of failing to connect.
void ChooseOffscreenForRunsWithoutWindow(int argc, char** argv) {
  bool needs_no_window = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--") == 0) break;
    if (std::strncmp(argv[i], "--", 2) == 0) needs_no_window = true;
  }
  if (needs_no_window && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") &&
      qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
}

int SaveScreenshot(QApplication& application, QWidget& window, const std::string& file) {
  // Let the window lay itself out and paint before it is grabbed.
  application.processEvents();
  const QPixmap picture = window.grab();
  if (picture.isNull() || !picture.save(QString::fromStdString(file), "PNG")) {
    std::cerr << "v7tov8: cannot save the screenshot to " << file << '\n';
    return 1;
  }
  std::cout << file << '\n';
  return 0;
}

}  // namespace

int RunMainLoop(QWidget& main_window, const TTerminationRequest& termination) {
  main_window.show();
  if (termination.IsRequested()) {
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
  }
  return QApplication::exec();
}

int RunV7toV8(int argc, char** argv) {
  ChooseOffscreenForRunsWithoutWindow(argc, argv);
  QApplication application(argc, argv);

  std::vector<std::string> arguments;
  const QStringList qt_arguments = QCoreApplication::arguments();
  for (qsizetype i = 1; i < qt_arguments.size(); ++i) {
    arguments.push_back(qt_arguments[i].toStdString());
  }
  TCommandLine command_line;
  std::string error;
  if (!ParseCommandLine(arguments, &command_line, &error)) {
    std::cerr << "v7tov8: " << error << '\n' << kUsage;
    return 2;
  }
  if (command_line.help) {
    std::cout << kUsage;
    return 0;
  }
  const bool screenshot = !command_line.screenshot_file.empty();

  TQtUserDialogs qt_dialogs;
  TConsoleUserDialogs console_dialogs(std::cerr);
  TUserDialogs& dialogs = screenshot ? static_cast<TUserDialogs&>(console_dialogs) : qt_dialogs;

  // The main window comes first: its grids are bound to the data module's tables as soon as
  // the data module exists. A top-level Qt window has its own task-bar entry.
  TFormV7toV8 form(dialogs, TFormV7toV8::ScreenScale());
  qt_dialogs.SetParentWindow(&form);
  TTerminationRequest termination;
  TEngineTableOpener opener;
  TDtmSorami data_module(opener, dialogs, termination, command_line.first_argument);

  if (screenshot) {
    form.show();
    return SaveScreenshot(application, form, command_line.screenshot_file);
  }
  return RunMainLoop(form, termination);
}

}  // namespace sorami
