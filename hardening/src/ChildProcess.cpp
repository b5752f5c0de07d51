#include "ChildProcess.h"

#include <fcntl.h>
#include <fmt/format.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace hardening {
namespace {

void writeAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<std::size_t>(n);
  }
}

[[noreturn]] void runChild(int output, const std::function<std::string()>& body) {
  int status = 0;
  std::string text;
  try {
    text = body();
  } catch (const std::exception& error) {
    text = error.what();
    status = 1;
  }
  writeAll(output, text);
  std::fflush(nullptr);
  ::_exit(status);
}

}  // namespace

std::string ChildResult::describe() const {
  switch (end) {
    case End::Exited:
      return fmt::format("exited {}", code);
    case End::Signalled:
      return fmt::format("killed by signal {} ({})", code, ::strsignal(code));
    case End::Hung:
      return fmt::format("hung: killed after {:.0f} s", wallSeconds);
  }
  return "?";
}

ChildProcess::ChildProcess(const std::function<std::string()>& body) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("cannot make a pipe for a child process");
  std::fflush(nullptr);  // nothing buffered is written twice
  start_ = std::chrono::steady_clock::now();
  pid_ = ::fork();
  if (pid_ < 0) throw std::runtime_error("cannot fork a child process");
  if (pid_ == 0) {
    ::close(fds[0]);
    runChild(fds[1], body);
  }
  ::close(fds[1]);
  output_ = fds[0];
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  if (output_ >= 0) ::close(output_);
}

ChildResult ChildProcess::wait(std::chrono::milliseconds limit) {
  if (pid_ <= 0) throw std::logic_error("ChildProcess::wait called twice");
  ChildResult result;
  const auto deadline = start_ + limit;
  // Reads what is there now; false at the end of the pipe.
  const auto readAvailable = [&](int timeoutMs) {
    pollfd fd{output_, POLLIN, 0};
    if (::poll(&fd, 1, timeoutMs) <= 0) return true;
    char chunk[65536];
    const ssize_t n = ::read(output_, chunk, sizeof chunk);
    if (n < 0) return errno == EINTR;
    result.output.append(chunk, static_cast<std::size_t>(n));
    return n > 0;
  };
  int status = 0;
  bool reaped = false;
  bool hung = false;
  for (;;) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      hung = true;
      break;
    }
    // A grandchild may hold the pipe open after the child ended: look at both.
    const bool open = readAvailable(static_cast<int>(std::min<long>(left.count(), 100)));
    reaped = ::waitpid(pid_, &status, WNOHANG) == pid_;
    if (reaped || !open) break;
  }
  if (hung) ::kill(pid_, SIGKILL);
  if (!reaped) {
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
  }
  // What the child wrote before it ended.
  while (!hung) {
    pollfd fd{output_, POLLIN, 0};
    if (::poll(&fd, 1, 0) <= 0 || !readAvailable(0)) break;
  }
  pid_ = -1;
  result.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  if (hung) {
    result.end = ChildResult::End::Hung;
    result.code = SIGKILL;
  } else if (WIFSIGNALED(status)) {
    result.end = ChildResult::End::Signalled;
    result.code = WTERMSIG(status);
  } else {
    result.code = WEXITSTATUS(status);
  }
  return result;
}

ChildResult runInChild(std::chrono::milliseconds limit, const std::function<std::string()>& body) {
  return ChildProcess(body).wait(limit);
}

Gate::Gate() {
  if (::pipe2(fds_, O_CLOEXEC) != 0) throw std::runtime_error("cannot make a pipe for a gate");
}

Gate::~Gate() {
  for (int fd : fds_) {
    if (fd >= 0) ::close(fd);
  }
}

void Gate::open() {
  const char byte = 'g';
  while (::write(fds_[1], &byte, 1) < 0 && errno == EINTR) {
  }
}

bool Gate::waitOpen() {
  // The writing end is closed here first, so the other side ending shows as EOF.
  if (fds_[1] >= 0) {
    ::close(fds_[1]);
    fds_[1] = -1;
  }
  char byte;
  ssize_t n;
  while ((n = ::read(fds_[0], &byte, 1)) < 0 && errno == EINTR) {
  }
  return n == 1;
}

}  // namespace hardening
