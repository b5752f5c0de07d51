// The terminal the live view takes over for the length of a run, and gives
// back as it found it.
//
// Taking it: the keyboard in raw mode (when standard input is a terminal:
// keys arrive one by one, unechoed, Ctrl-C as a byte), the alternate screen,
// the cursor hidden, line wrapping off, and SIGWINCH, SIGINT, SIGTERM and
// SIGHUP blocked and read instead from a signalfd, which the main run loop
// watches as a source (signalFd): no handler runs at an arbitrary moment, and
// a signal can never slip in between a check and a sleep. Giving it back — on
// destruction, so also when an error unwinds the run — restores the keyboard
// mode, wrapping, the cursor, the main screen and the signal mask.
//
//   TerminalSession session;                  // throws when stdout is no terminal
//   loop.addSource(session.signalFd(), [&] { for (int s : session.takeSignals()) ...; });
//
// One session at a time per process. Main thread only; the signals are
// blocked in that thread, so the process must have no other thread that
// would take them (the simulator has none).
#pragma once

#include <termios.h>

#include <csignal>
#include <string_view>
#include <vector>

#include "LiveView.h"

namespace sim {

class TerminalSession final : public TerminalScreen {
 public:
  TerminalSession();
  ~TerminalSession() override;
  TerminalSession(const TerminalSession&) = delete;
  TerminalSession& operator=(const TerminalSession&) = delete;

  TerminalSize size() const override;
  // All of `bytes` to standard output; throws std::runtime_error when the terminal is gone.
  void write(std::string_view bytes) override;

  // Whether keys can be read from standard input (it is a terminal, now raw).
  bool hasKeyboard() const { return keyboard_; }
  // Readable when a signal arrived.
  int signalFd() const { return signalFd_; }
  // The signals that arrived since the last call, in order.
  std::vector<int> takeSignals();

 private:
  void restore();

  bool keyboard_ = false;
  termios savedKeyboard_{};
  sigset_t savedMask_{};
  int signalFd_ = -1;
};

}  // namespace sim
