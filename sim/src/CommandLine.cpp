#include "CommandLine.h"

#include <fmt/format.h>

#include <CLI/CLI.hpp>

#include "aurora/StrictNumbers.h"
#include "host/HostPillClasses.h"
#include "host/HostStart.h"
#include "host/Seconds.h"
#include "picture/GifFile.h"
#include "settings/Contract.h"

#ifndef AURORA_DEMO_ROOT
#error "AURORA_DEMO_ROOT must name the demo root the build prepares"
#endif

namespace sim {
namespace {

constexpr int kMostFps = picture::GifFile::kMostFps;
constexpr double kMostScale = 8.0;

constexpr const char* kFooter = R"(Scenario scripts: one command per line, each starting with `at SECONDS`:
  prefs set KEY bool|int|real|string VALUE | prefs unset KEY | prefs delete
  prefs raw "TEXT" | prefs format xml|binary | notify [NAME]
  pill add NAME CLASS X Y W H | pill frame NAME X Y W H | pill layout NAME
  pill send NAME SELECTOR | pill addview NAME TAG | pill remove NAME
  runloop mode default|tracking | snapshot FILE.png | end
A real VALUE is a decimal number ("0.5", "-2", "1e-3") within range, or nan,
inf or -inf.

What it shows: with standard output a terminal and no --png, --gif, --trace -
or --clock virtual, the live view (real clock; q or Ctrl-C quits). It draws in
24-bit colour: it runs when COLORTERM is truecolor or 24bit, inside tmux, or
when TERM names a direct-colour terminal; otherwise (TERM unset or dumb too)
it says why and stops. Otherwise the run is headless (on the virtual clock
unless --clock real), writing the files asked for; a GIF of more than a second
shows a progress bar when stderr is a terminal.

Exit status: 0 done; 1 a failure while running; 2 a bad command line or script;
128 + N when signal N ended the live view.)";

// KEY=VALUE with a non-empty key.
std::string checkSetting(const std::string& text) {
  const std::size_t equals = text.find('=');
  if (equals == std::string::npos) return "expected KEY=VALUE, got '" + text + "'";
  if (equals == 0) return "the key is empty in '" + text + "'";
  return {};
}

std::string checkSeconds(const std::string& text) {
  return host::parseSeconds(text) ? std::string{} : "'" + text + "' is not a plain decimal number of seconds";
}

std::string checkNotEmpty(const std::string& text) { return text.empty() ? "must not be empty" : std::string{}; }

std::string checkFps(const std::string& text) {
  const auto fps = aurora::readInteger(text);
  return fps && *fps >= 1 && *fps <= kMostFps ? std::string{}
                                              : fmt::format("'{}' is not a whole number from 1 to {}", text, kMostFps);
}

std::string checkScale(const std::string& text) {
  const auto scale = aurora::readReal(text);
  return scale && *scale > 0 && *scale <= kMostScale
             ? std::string{}
             : fmt::format("'{}' is not a number above 0 and at most {}", text, kMostScale);
}

// What CLI11 cannot say: combinations that depend on an option's value.
std::optional<std::string> conflict(const std::string& clock, bool clockGiven, bool pictureFiles, bool fpsGiven,
                                    bool gifWanted) {
  if (clockGiven && clock == "real" && pictureFiles)
    return "--png and --gif are rendered on the virtual clock; leave out --clock real";
  if (fpsGiven && !gifWanted) return "--fps is the frame rate of a GIF: give --gif FILE or --demo";
  return std::nullopt;
}

}  // namespace

std::variant<SimOptions, int> parseCommandLine(int argc, const char* const* argv, std::ostream& out,
                                               std::ostream& err) {
  CLI::App app{
      "Runs the home-screen host with its two home-indicator pills, loads extensions from a simulated "
      "device root, and writes what the pills do.",
      "auroraribbon-sim"};
  app.footer(kFooter);

  std::string root = AURORA_DEMO_ROOT;
  std::optional<std::string> style;
  std::vector<std::string> settings;
  std::vector<std::string> withoutClasses;
  std::optional<std::string> script;
  std::string clock = "virtual";
  std::optional<std::string> duration;
  std::optional<std::string> trace;
  std::optional<std::string> cost;
  bool progress = false;
  std::string bundleIdentifier = host::kHomeScreenBundleIdentifier;
  std::string executableName = host::kHomeScreenExecutableName;
  std::optional<std::string> png;
  std::optional<std::string> at;
  std::optional<std::string> gif;
  std::optional<std::string> fps;
  std::optional<std::string> scale;
  std::optional<std::string> view;
  bool demo = false;

  app.add_option("--root", root, "The simulated device root (default: the demo root the build prepares)")
      ->type_name("DIR")
      ->capture_default_str();
  app.add_option("--style", style, "Write this style into the preferences file before start-up")->type_name("NAME");
  app.add_option("--set", settings,
                 "Write KEY=VALUE into the preferences file before start-up (repeatable); true/false give a bool, "
                 "a decimal integer an int, a decimal real a real, anything else a string")
      ->type_name("KEY=VALUE")
      ->check(CLI::Validator(checkSetting, ""));
  app.add_option("--without-class", withoutClasses, "Do not register this host pill class (repeatable)")
      ->type_name("CLASS")
      ->check(
          CLI::IsMember(std::vector<std::string>(host::kHostPillClassNames.begin(), host::kHostPillClassNames.end())));
  app.add_option("--script", script, "Run this scenario script instead of showing the default pills")
      ->type_name("FILE");
  auto* clockOption =
      app.add_option("--clock", clock, "The run loop's clock (default: real for the live view, else virtual)")
          ->type_name("CLOCK")
          ->check(CLI::IsMember({"virtual", "real"}));
  app.add_flag_callback(
         "--virtual", [&] { clock = "virtual"; }, "Short for --clock virtual")
      ->excludes(clockOption);
  app.add_option("--duration", duration,
                 "Stop after S seconds (default: 10, the tour 20, or longer to reach a script's last command; "
                 "the live view runs until q)")
      ->type_name("S")
      ->check(CLI::Validator(checkSeconds, ""));
  app.add_option("--trace", trace, "Write the trace (JSON Lines) to FILE, or to standard output with -")
      ->type_name("FILE|-");
  app.add_option(
         "--cost", cost,
         "Write what the run cost each pill (timer fires, animations, layer changes and colours handed to layers, "
         "counted after the first instant, and each a second) as JSON to FILE, or to standard output with - "
         "(default duration with it: 60 s)")
      ->type_name("FILE|-");
  app.add_flag("--progress", progress, "Show a GIF's progress on standard error even when it is not a terminal");
  auto* pngOption =
      app.add_option("--png", png, "Write a PNG of the screen at --at, on the virtual clock")->type_name("FILE");
  app.add_option("--at", at, "The PNG's instant in seconds, within the run (default: its end)")
      ->type_name("S")
      ->check(CLI::Validator(checkSeconds, ""))
      ->needs(pngOption);
  app.add_option("--gif", gif, "Write an animated GIF of the run, on the virtual clock, looping")->type_name("FILE");
  app.add_option(
         "--fps", fps,
         fmt::format("The GIF's frames per second, 1 to {} (default: {}; GIF delays are hundredths of a second)",
                     kMostFps, kDefaultFps))
      ->type_name("N")
      ->check(CLI::Validator(checkFps, ""));
  app.add_option("--scale", scale,
                 fmt::format("Pixels per point in PNG and GIF files and snapshots, above 0 and at most {} (default: 3)",
                             kMostScale))
      ->type_name("K")
      ->check(CLI::Validator(checkScale, ""));
  app.add_option(
         "--view", view,
         "What pictures show: full (the 390 x 844 window) or pills (the band of the pills; the default live and in "
         "a GIF, while a PNG or snapshot shows the full window)")
      ->type_name("VIEW")
      ->check(CLI::IsMember({"full", "pills"}));
  auto* demoFlag =
      app.add_flag("--demo", demo,
                   "A tour of the five styles, four seconds each: live when standard output is a terminal, "
                   "otherwise a GIF (--gif FILE, or auroraribbon-tour.gif in the build tree) whose path it prints");
  app.add_option("--bundle-id", bundleIdentifier, "The host's bundle identifier")
      ->type_name("ID")
      ->capture_default_str()
      ->check(CLI::Validator(checkNotEmpty, ""));
  app.add_option("--executable", executableName, "The host's executable name")
      ->type_name("NAME")
      ->capture_default_str()
      ->check(CLI::Validator(checkNotEmpty, ""));

  demoFlag->excludes(app.get_option("--script"));

  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& done) {
    return app.exit(done, out, err);
  } catch (const CLI::ParseError& error) {
    err << "auroraribbon-sim: " << error.what() << "\n\n" << app.help();
    return 2;
  }
  if (auto why = conflict(clock, clockOption->count() > 0 || app.count("--virtual") > 0, png || gif, fps.has_value(),
                          gif || demo)) {
    err << "auroraribbon-sim: " << *why << "\n\n" << app.help();
    return 2;
  }

  SimOptions options;
  options.root = root;
  if (style) options.prefsEdits.push_back({settings::key::style.name, *style});
  for (const std::string& setting : settings) {
    const std::size_t equals = setting.find('=');
    options.prefsEdits.push_back({setting.substr(0, equals), host::inferPreferenceValue(setting.substr(equals + 1))});
  }
  options.withoutClasses = std::move(withoutClasses);
  if (script) options.script = *script;
  if (clockOption->count() > 0 || app.count("--virtual") > 0)
    options.clock = clock == "real" ? ClockKind::Real : ClockKind::Virtual;
  if (duration) options.duration = host::parseSeconds(*duration);
  options.trace = std::move(trace);
  options.cost = std::move(cost);
  options.progress = progress;
  if (png) options.png = *png;
  if (at) options.at = host::parseSeconds(*at);
  if (gif) options.gif = *gif;
  if (fps) options.fps = static_cast<int>(*aurora::readInteger(*fps));
  if (scale) options.scale = *aurora::readReal(*scale);
  if (view) options.view = picture::viewKindNamed(*view);
  options.demo = demo;
  options.bundleIdentifier = std::move(bundleIdentifier);
  options.executableName = std::move(executableName);
  return options;
}

}  // namespace sim
