#include "CommandLine.h"

#include <CLI/CLI.hpp>

#include "HostPillClasses.h"
#include "Numbers.h"

#ifndef AURORA_DEMO_ROOT
#error "AURORA_DEMO_ROOT must name the demo root the build prepares"
#endif

namespace sim {
namespace {

constexpr const char* kFooter = R"(Scenario scripts: one command per line, each starting with `at SECONDS`:
  prefs set KEY bool|int|real|string VALUE | prefs unset KEY | prefs delete
  prefs raw "TEXT" | prefs format xml|binary | notify [NAME]
  pill add NAME CLASS X Y W H | pill frame NAME X Y W H | pill layout NAME
  pill send NAME SELECTOR | pill addview NAME TAG | pill remove NAME
  runloop mode default|tracking | snapshot FILE.png | end

Exit status: 0 done; 1 a failure while running; 2 a bad command line or script.)";

// KEY=VALUE with a non-empty key.
std::string checkSetting(const std::string& text) {
  const std::size_t equals = text.find('=');
  if (equals == std::string::npos) return "expected KEY=VALUE, got '" + text + "'";
  if (equals == 0) return "the key is empty in '" + text + "'";
  return {};
}

std::string checkSeconds(const std::string& text) {
  return parseSeconds(text) ? std::string{} : "'" + text + "' is not a plain decimal number of seconds";
}

std::string checkNotEmpty(const std::string& text) { return text.empty() ? "must not be empty" : std::string{}; }

}  // namespace

std::variant<SimOptions, int> parseCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  CLI::App app{"Runs the home-screen host with its two home-indicator pills, loads extensions from a simulated "
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
  std::string bundleIdentifier = "com.apple.springboard";
  std::string executableName = "SpringBoard";

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
      ->check(CLI::IsMember(std::vector<std::string>(kHostPillClassNames.begin(), kHostPillClassNames.end())));
  app.add_option("--script", script, "Run this scenario script instead of showing the default pills")->type_name("FILE");
  auto* clockOption = app.add_option("--clock", clock, "The run loop's clock (default: virtual)")
                          ->type_name("CLOCK")
                          ->check(CLI::IsMember({"virtual", "real"}));
  app.add_flag_callback("--virtual", [&] { clock = "virtual"; }, "Short for --clock virtual")->excludes(clockOption);
  app.add_option("--duration", duration,
                 "Stop after S seconds (default: 10, or longer to reach a script's last command)")
      ->type_name("S")
      ->check(CLI::Validator(checkSeconds, ""));
  app.add_option("--trace", trace, "Write the trace (JSON Lines) to FILE, or to standard output with -")->type_name("FILE|-");
  app.add_option("--bundle-id", bundleIdentifier, "The host's bundle identifier")
      ->type_name("ID")
      ->capture_default_str()
      ->check(CLI::Validator(checkNotEmpty, ""));
  app.add_option("--executable", executableName, "The host's executable name")
      ->type_name("NAME")
      ->capture_default_str()
      ->check(CLI::Validator(checkNotEmpty, ""));

  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& done) {
    return app.exit(done, out, err);
  } catch (const CLI::ParseError& error) {
    err << "auroraribbon-sim: " << error.what() << "\n\n" << app.help();
    return 2;
  }

  SimOptions options;
  options.root = root;
  if (style) options.prefsEdits.push_back({"style", *style});
  for (const std::string& setting : settings) {
    const std::size_t equals = setting.find('=');
    options.prefsEdits.push_back({setting.substr(0, equals), inferPrefValue(setting.substr(equals + 1))});
  }
  options.withoutClasses = std::move(withoutClasses);
  if (script) options.script = *script;
  options.clock = clock == "real" ? ClockKind::Real : ClockKind::Virtual;
  if (duration) options.duration = parseSeconds(*duration);
  options.trace = std::move(trace);
  options.bundleIdentifier = std::move(bundleIdentifier);
  options.executableName = std::move(executableName);
  return options;
}

}  // namespace sim
