#include "tests/support/child_process.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace kura_test {

Signal::Signal() {
  int fds[2];
  if (pipe(fds) != 0) throw std::runtime_error("pipe failed");
  read_fd_ = fds[0];
  write_fd_ = fds[1];
}

Signal::~Signal() {
  if (read_fd_ >= 0) close(read_fd_);
  if (write_fd_ >= 0) close(write_fd_);
}

void Signal::Send(char value) {
  ssize_t n;
  do {
    n = write(write_fd_, &value, 1);
  } while (n < 0 && errno == EINTR);
}

char Signal::Wait(int timeout_ms) {
  pollfd p{read_fd_, POLLIN, 0};
  int r;
  do {
    r = poll(&p, 1, timeout_ms);
  } while (r < 0 && errno == EINTR);
  if (r <= 0) return 0;
  char c = 0;
  ssize_t n;
  do {
    n = read(read_fd_, &c, 1);
  } while (n < 0 && errno == EINTR);
  return n == 1 ? c : 0;
}

ChildProcess::ChildProcess(std::function<int()> body) {
  pid_ = fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    int code = 99;
    try {
      code = body();
    } catch (...) {
      code = 99;
    }
    _exit(code);
  }
}

ChildProcess::~ChildProcess() {
  if (!reaped_ && pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}

int ChildProcess::Wait(int timeout_ms) {
  if (reaped_) return status_;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    int status = 0;
    pid_t r = waitpid(pid_, &status, WNOHANG);
    if (r == pid_) {
      reaped_ = true;
      status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      return status_;
    }
    if (std::chrono::steady_clock::now() > deadline) {
      Kill();
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

void ChildProcess::Kill() {
  if (reaped_ || pid_ <= 0) return;
  kill(pid_, SIGKILL);
  int status = 0;
  waitpid(pid_, &status, 0);
  reaped_ = true;
  status_ = 128 + SIGKILL;
}

CommandResult RunCommand(const std::string& program, const std::vector<std::string>& arguments,
                         const std::vector<std::string>& extra_environment) {
  CommandResult result;
  int out_pipe[2], err_pipe[2];
  if (pipe(out_pipe) != 0) return result;
  if (pipe(err_pipe) != 0) {
    close(out_pipe[0]);
    close(out_pipe[1]);
    return result;
  }
  pid_t pid = fork();
  if (pid < 0) return result;
  if (pid == 0) {
    dup2(out_pipe[1], 1);
    dup2(err_pipe[1], 2);
    close(out_pipe[0]);
    close(err_pipe[0]);
    for (const auto& e : extra_environment) putenv(strdup(e.c_str()));
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execve(program.c_str(), argv.data(), environ);
    _exit(127);
  }
  close(out_pipe[1]);
  close(err_pipe[1]);
  // Read both pipes without deadlocking on a full one.
  std::string out, err;
  pollfd fds[2] = {{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}};
  int open_count = 2;
  char buf[4096];
  while (open_count > 0) {
    if (poll(fds, 2, 120000) <= 0) break;
    for (auto& f : fds) {
      if (f.fd < 0 || (f.revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
      ssize_t n = read(f.fd, buf, sizeof buf);
      if (n > 0) {
        (f.fd == out_pipe[0] ? out : err).append(buf, static_cast<size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        close(f.fd);
        f.fd = -1;
        --open_count;
      }
    }
  }
  for (auto& f : fds)
    if (f.fd >= 0) close(f.fd);
  int status = 0;
  waitpid(pid, &status, 0);
  result.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  result.out = std::move(out);
  result.err = std::move(err);
  return result;
}

}  // namespace kura_test
