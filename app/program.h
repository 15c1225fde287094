// The program v7tov8 from start to end: the application object, the main window, the data
// module with start-up, and the main loop.
#pragma once

namespace sorami {

// Runs the program with the process's arguments and returns its exit status: 0 when the main
// loop ends (also after a termination request at start-up) and after a saved screenshot, 1
// when the screenshot cannot be saved, 2 on bad usage.
int RunV7toV8(int argc, char** argv);

}  // namespace sorami
