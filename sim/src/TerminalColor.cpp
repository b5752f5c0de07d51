#include "TerminalColor.h"

#include <cstdlib>
#include <string_view>

namespace sim {
namespace {

constexpr const char* kInstead = "write a picture instead with --png FILE or --gif FILE";

bool isSet(const char* value) { return value != nullptr && *value != '\0'; }

}  // namespace

TerminalEnvironment currentTerminalEnvironment() {
  return {std::getenv("TERM"), std::getenv("COLORTERM"), std::getenv("TMUX")};
}

std::optional<std::string> liveViewRefusal(const TerminalEnvironment& environment) {
  const std::string_view term = isSet(environment.term) ? environment.term : "";
  if (term.empty() || term == "dumb") {
    return std::string("the live view needs a terminal with 24-bit colour, and TERM is ") +
           (term.empty() ? "not set" : "dumb") + "; " + kInstead;
  }
  const std::string_view colorterm = isSet(environment.colorterm) ? environment.colorterm : "";
  if (colorterm == "truecolor" || colorterm == "24bit" || isSet(environment.tmux)) return std::nullopt;
  if (term.ends_with("-direct") || term.find("truecolor") != std::string_view::npos ||
      term.find("24bit") != std::string_view::npos) {
    return std::nullopt;
  }
  return std::string(
             "the live view draws in 24-bit colour, and this terminal does not say it has it (COLORTERM is not "
             "truecolor or 24bit); if it does, run with COLORTERM=truecolor, or ") +
         kInstead;
}

}  // namespace sim
