// The program v7tov8 from start to end: the application object, the main window, the data
// module with start-up, and the main loop.
#pragma once

class QWidget;

namespace sorami {

class TTerminationRequest;

// Shows the main window and runs the main loop until the window is closed; a termination
// requested before the loop starts ends it at its first turn. Returns the loop's exit status.
// Needs the QApplication.
int RunMainLoop(QWidget& main_window, const TTerminationRequest& termination);

// Runs the program with the process's arguments and returns its exit status: 0 when the main
// loop ends (also after a termination request at start-up) and after a saved screenshot, 1
// when the screenshot cannot be saved, 2 on bad usage.
int RunV7toV8(int argc, char** argv);

}  // namespace sorami
