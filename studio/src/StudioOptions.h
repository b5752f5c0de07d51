// The studio's command line, read with CLI11:
//
//   auroraribbon-studio [--root DIR] [--port N] [--bind ADDR] [--clock real] [--view full|pills] [--looks DIR]
//
// --help prints the help on `out` and asks for status 0; a bad command line
// prints the reason and the usage on `err` and asks for status 1, as every
// other failure to start does. Main thread;
// once, at start-up.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <variant>

#include "picture/PictureLook.h"

namespace studio {

inline constexpr std::uint16_t kDefaultPort = 8765;
inline constexpr const char* kLoopback = "127.0.0.1";

struct StudioOptions {
  std::filesystem::path root;
  std::uint16_t port = kDefaultPort;  // 0: any free port
  std::string bind = kLoopback;
  picture::ViewKind view = picture::ViewKind::Full;  // the phone and its band; Pills: the band alone
  std::filesystem::path looks;                       // the looks' folder (Looks.h)
};

// $XDG_DATA_HOME/auroraribbon/looks, or ~/.local/share/auroraribbon/looks when
// XDG_DATA_HOME is unset or not absolute; nothing when HOME is not set either.
std::optional<std::filesystem::path> defaultLooksFolder();

std::variant<StudioOptions, int> parseStudioCommandLine(int argc, const char* const* argv, std::ostream& out,
                                                        std::ostream& err);

}  // namespace studio
