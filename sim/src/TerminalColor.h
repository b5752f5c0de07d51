// Whether the terminal can show the live view, which draws in 24-bit colour,
// judged from the environment (a terminal cannot be asked without waiting for
// an answer it may never give):
//   - TERM unset, empty or "dumb": no;
//   - COLORTERM "truecolor" or "24bit": yes (what such terminals announce);
//   - inside tmux (TMUX set): yes, tmux turns 24-bit colour into whatever
//     the terminal outside it has;
//   - TERM naming direct colour ("*-direct", "*truecolor*", "*24bit*"): yes;
//   - anything else: no, with the way round it (COLORTERM=truecolor).
// Pure; any thread.
#pragma once

#include <optional>
#include <string>

namespace sim {

struct TerminalEnvironment {
  const char* term = nullptr;
  const char* colorterm = nullptr;
  const char* tmux = nullptr;
};

TerminalEnvironment currentTerminalEnvironment();

// Why the live view cannot run here, or nothing when it can.
std::optional<std::string> liveViewRefusal(const TerminalEnvironment& environment);

}  // namespace sim
