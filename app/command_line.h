// The command line of v7tov8 (after Qt has taken its own options out):
//
//   v7tov8 [--screenshot FILE] [--help] [--] [DATABASE_DIRECTORY]
//
// The first argument that is not an option names the database directory (an empty one names
// none); further ones are not read. Options may stand anywhere before "--", which ends them,
// so that a directory whose name begins with "--" can be given.
#pragma once

#include <string>
#include <vector>

namespace sorami {

struct TCommandLine {
  std::string first_argument;   // the database directory as given (UTF-8), empty when none
  std::string screenshot_file;  // where to save the window's picture; empty: run normally
  bool help = false;
};

inline constexpr char kUsage[] =
    "usage: v7tov8 [--screenshot FILE] [--help] [--] [DATABASE_DIRECTORY]\n"
    "  DATABASE_DIRECTORY  the version 8 database (default: the profile folder's\n"
    "                      Documents/SoramiV8/Table), created when missing\n"
    "  --screenshot FILE   start without user interaction: messages go to standard error,\n"
    "                      the main window is saved as a PNG picture to FILE once it is\n"
    "                      shown, and the program ends with status 0\n";

// Parses the arguments that follow the program name. False, with `error` set, on bad usage.
bool ParseCommandLine(const std::vector<std::string>& arguments, TCommandLine* command_line,
                      std::string* error);

}  // namespace sorami
