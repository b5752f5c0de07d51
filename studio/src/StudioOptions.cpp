#include "StudioOptions.h"

#include <CLI/CLI.hpp>
#include <cstdlib>

#ifndef AURORA_DEMO_ROOT
#error "AURORA_DEMO_ROOT must name the demo root the build prepares"
#endif

namespace studio {
namespace {

constexpr const char* kFooter = R"(It runs the home-screen host as auroraribbon-sim does (the device root's
extensions loaded, the two default pills, the real clock) and serves the
settings pane as a web page with the pills live beside it. Every change takes
the device's road: the preferences file is rewritten, the settings-changed
notification is posted, the extension reads the file again.

It answers only requests addressed to the address it serves, and changes
settings only for its own page. Ctrl-C or SIGTERM stops it.

Exit status: 0 stopped by Ctrl-C or SIGTERM; 1 a bad command line, a port in
use, a missing device root or another failure.)";

}  // namespace

std::optional<std::filesystem::path> defaultLooksFolder() {
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data && std::filesystem::path(data).is_absolute()) return std::filesystem::path(data) / "auroraribbon" / "looks";
  const char* home = std::getenv("HOME");
  if (home && *home) return std::filesystem::path(home) / ".local" / "share" / "auroraribbon" / "looks";
  return std::nullopt;
}

std::variant<StudioOptions, int> parseStudioCommandLine(int argc, const char* const* argv, std::ostream& out,
                                                        std::ostream& err) {
  CLI::App app{"Serves AuroraRibbon's settings as a local web page, with the home-indicator pills live beside them.",
               "auroraribbon-studio"};
  app.footer(kFooter);

  std::string root = AURORA_DEMO_ROOT;
  StudioOptions options;
  std::string clock = "real";
  std::string view = "full";
  std::string looks;
  app.add_option("--root", root, "The simulated device root (default: the demo root the build prepares)")
      ->type_name("DIR")
      ->capture_default_str();
  app.add_option("--port", options.port, "The TCP port to serve on; 0 takes any free port")
      ->type_name("N")
      ->capture_default_str()
      ->check(CLI::Range(0, 65535));
  app.add_option("--bind", options.bind,
                 "The address to serve on; anything but 127.0.0.1 opens the studio to other machines")
      ->type_name("ADDR")
      ->capture_default_str();
  app.add_option("--clock", clock, "The run loop's clock: the studio shows the pills as they run, so only real")
      ->type_name("CLOCK")
      ->check(CLI::IsMember({"real"}));
  app.add_option("--view", view,
                 "What the preview shows: full (the 390 x 844 screen as a phone shows it, and under it the pills' band "
                 "enlarged) "
                 "or pills (the pills' band alone, each pill named)")
      ->type_name("VIEW")
      ->capture_default_str()
      ->check(CLI::IsMember({"pills", "full"}));
  app.add_option("--looks", looks,
                 "The folder the looks are kept in (default: $XDG_DATA_HOME/auroraribbon/looks, else "
                 "~/.local/share/auroraribbon/looks); made at the first save")
      ->type_name("DIR");

  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& done) {
    return app.exit(done, out, err);
  } catch (const CLI::ParseError& error) {
    err << "auroraribbon-studio: " << error.what() << "\n\n" << app.help();
    return 1;
  }
  if (looks.empty()) {
    const auto folder = defaultLooksFolder();
    if (!folder) {
      err << "auroraribbon-studio: neither XDG_DATA_HOME nor HOME is set: give the looks' folder with --looks DIR\n";
      return 1;
    }
    looks = folder->string();
  }
  options.root = root;
  options.looks = looks;
  options.view = *picture::viewKindNamed(view);
  return options;
}

}  // namespace studio
