#include "TerminalSession.h"

#include <poll.h>
#include <pthread.h>
#include <sys/ioctl.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <stdexcept>
#include <string>

namespace sim {
namespace {

constexpr std::array kSignals = {SIGWINCH, SIGINT, SIGTERM, SIGHUP};
// Alternate screen, cursor hidden, no wrapping at the right margin; and back.
constexpr std::string_view kEnter = "\x1b[?1049h\x1b[?25l\x1b[?7l";
constexpr std::string_view kLeave = "\x1b[0m\x1b[?7h\x1b[?25h\x1b[?1049l";

bool gSessionOpen = false;

void writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n > 0) {
      bytes.remove_prefix(static_cast<std::size_t>(n));
    } else if (n < 0 && errno == EAGAIN) {
      pollfd writable{fd, POLLOUT, 0};
      ::poll(&writable, 1, -1);
    } else if (!(n < 0 && errno == EINTR)) {
      throw std::runtime_error(std::string("cannot write to the terminal: ") + std::strerror(errno));
    }
  }
}

}  // namespace

TerminalSession::TerminalSession() {
  if (!::isatty(STDOUT_FILENO)) throw std::runtime_error("the live view needs standard output to be a terminal");
  if (gSessionOpen) throw std::logic_error("one terminal session at a time");
  sigset_t signals;
  sigemptyset(&signals);
  for (int signal : kSignals) sigaddset(&signals, signal);
  signalFd_ = ::signalfd(-1, &signals, SFD_NONBLOCK | SFD_CLOEXEC);
  if (signalFd_ < 0) throw std::runtime_error(std::string("cannot read signals: ") + std::strerror(errno));
  ::pthread_sigmask(SIG_BLOCK, &signals, &savedMask_);
  gSessionOpen = true;

  if (::isatty(STDIN_FILENO) && ::tcgetattr(STDIN_FILENO, &savedKeyboard_) == 0) {
    termios raw = savedKeyboard_;
    raw.c_iflag &= ~static_cast<tcflag_t>(BRKINT | ICRNL | INPCK | ISTRIP | IXON);
    raw.c_lflag &= ~static_cast<tcflag_t>(ECHO | ICANON | IEXTEN | ISIG);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    keyboard_ = ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &raw) == 0;
  }
  try {
    writeAll(STDOUT_FILENO, kEnter);
  } catch (const std::runtime_error&) {
    restore();
    throw;
  }
}

TerminalSession::~TerminalSession() { restore(); }

void TerminalSession::restore() {
  try {
    writeAll(STDOUT_FILENO, kLeave);
  } catch (const std::runtime_error&) {
    // The terminal is gone; there is nothing left to restore on it.
  }
  if (keyboard_) ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &savedKeyboard_);
  // A termination signal that came after the last read now takes its default
  // course, with the terminal already given back.
  ::pthread_sigmask(SIG_SETMASK, &savedMask_, nullptr);
  ::close(signalFd_);
  gSessionOpen = false;
}

TerminalSize TerminalSession::size() const {
  winsize ws{};
  if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &ws) != 0) return {};
  return {ws.ws_col, ws.ws_row};
}

void TerminalSession::write(std::string_view bytes) { writeAll(STDOUT_FILENO, bytes); }

std::vector<int> TerminalSession::takeSignals() {
  std::vector<int> signals;
  signalfd_siginfo info{};
  while (::read(signalFd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info))
    signals.push_back(static_cast<int>(info.ssi_signo));
  return signals;
}

}  // namespace sim
