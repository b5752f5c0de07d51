#include "TerminalSession.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <stdexcept>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace sim {
namespace {

constexpr std::array kSignals = {SIGWINCH, SIGINT, SIGTERM, SIGHUP};
// Alternate screen, cursor hidden, no wrapping at the right margin; and back.
constexpr std::string_view kEnter = "\x1b[?1049h\x1b[?25l\x1b[?7l";
constexpr std::string_view kLeave = "\x1b[0m\x1b[?7h\x1b[?25h\x1b[?1049l";

int gSignalWrite = -1;
std::array<struct sigaction, kSignals.size()> gSavedActions{};

void onSignal(int signal) {
  const int saved = errno;
  const auto byte = static_cast<unsigned char>(signal);
  [[maybe_unused]] ssize_t written = ::write(gSignalWrite, &byte, 1);
  errno = saved;
}

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
  if (gSignalWrite >= 0) throw std::logic_error("one terminal session at a time");
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) throw std::runtime_error(std::string("cannot make a pipe: ") + std::strerror(errno));
  signalRead_ = fds[0];
  gSignalWrite = fds[1];
  for (std::size_t i = 0; i < kSignals.size(); ++i) {
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(kSignals[i], &action, &gSavedActions[i]);
  }

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
  for (std::size_t i = 0; i < kSignals.size(); ++i) ::sigaction(kSignals[i], &gSavedActions[i], nullptr);
  ::close(gSignalWrite);
  ::close(signalRead_);
  gSignalWrite = -1;
}

TerminalSize TerminalSession::size() const {
  winsize ws{};
  if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &ws) != 0) return {};
  return {ws.ws_col, ws.ws_row};
}

void TerminalSession::write(std::string_view bytes) { writeAll(STDOUT_FILENO, bytes); }

std::vector<int> TerminalSession::takeSignals() {
  std::vector<int> signals;
  unsigned char buffer[64];
  ssize_t n;
  while ((n = ::read(signalRead_, buffer, sizeof buffer)) > 0) signals.insert(signals.end(), buffer, buffer + n);
  return signals;
}

}  // namespace sim
