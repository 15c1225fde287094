// Real second processes for cross-process tests, and a pipe to keep two processes in step.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace kura_test {

// A one-way channel of single bytes between a parent and a forked child. Create it before the
// fork; each side then uses its end. Waiting has a time limit so that a broken test never hangs.
class Signal {
 public:
  Signal();
  ~Signal();
  Signal(const Signal&) = delete;
  Signal& operator=(const Signal&) = delete;

  void Send(char value = '!');
  // The byte received, or 0 when none came within the time limit or the writer went away.
  char Wait(int timeout_ms = 20000);

 private:
  int read_fd_ = -1;
  int write_fd_ = -1;
};

// A forked child that runs `body` and exits with its return value (a child that throws exits
// with 99). Gtest assertions inside `body` do not reach the parent: return a code instead.
class ChildProcess {
 public:
  explicit ChildProcess(std::function<int()> body);
  ~ChildProcess();  // kills a child that still runs
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Waits for the child's end (at most timeout_ms; then kills it and returns -1) and returns its
  // exit status, or 128 + the signal that ended it.
  int Wait(int timeout_ms = 60000);
  // Ends the child at once with SIGKILL, as a crash would.
  void Kill();
  int pid() const { return pid_; }

 private:
  int pid_ = -1;
  bool reaped_ = false;
  int status_ = -1;
};

// Runs a program with arguments, captures its standard output and error, and returns its exit
// status (or -1 when it could not be started).
struct CommandResult {
  int exit_status = -1;
  std::string out;
  std::string err;
};
CommandResult RunCommand(const std::string& program, const std::vector<std::string>& arguments,
                         const std::vector<std::string>& extra_environment = {});

}  // namespace kura_test
