#include "app/command_line.h"

namespace sorami {

bool ParseCommandLine(const std::vector<std::string>& arguments, TCommandLine* command_line,
                      std::string* error) {
  *command_line = TCommandLine();
  bool options_ended = false;
  bool have_first = false;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (!options_ended && argument.rfind("--", 0) == 0) {
      if (argument == "--") {
        options_ended = true;
      } else if (argument == "--help") {
        command_line->help = true;
      } else if (argument == "--screenshot") {
        if (i + 1 >= arguments.size() || arguments[i + 1].empty()) {
          *error = "--screenshot needs a file name";
          return false;
        }
        command_line->screenshot_file = arguments[++i];
      } else {
        *error = "unknown option " + argument;
        return false;
      }
      continue;
    }
    // Only the first argument names the database directory; the rest are not read.
    if (!have_first) command_line->first_argument = argument;
    have_first = true;
  }
  return true;
}

}  // namespace sorami
