// The command line: defaults, typed --set values, and what is refused.
#include "CommandLine.h"

#include <sstream>

#include <gtest/gtest.h>

namespace sim {
namespace {

struct Parsed {
  std::variant<SimOptions, int> result;
  std::string out;
  std::string err;
};

Parsed parse(std::vector<const char*> args) {
  args.insert(args.begin(), "auroraribbon-sim");
  std::ostringstream out, err;
  auto result = parseCommandLine(static_cast<int>(args.size()), args.data(), out, err);
  return {std::move(result), out.str(), err.str()};
}

SimOptions options(std::vector<const char*> args) {
  Parsed parsed = parse(std::move(args));
  EXPECT_TRUE(std::holds_alternative<SimOptions>(parsed.result)) << parsed.err;
  return std::get<SimOptions>(std::move(parsed.result));
}

int status(std::vector<const char*> args) {
  Parsed parsed = parse(std::move(args));
  return std::holds_alternative<int>(parsed.result) ? std::get<int>(parsed.result) : -1;
}

TEST(CommandLine, Defaults) {
  const SimOptions o = options({});
  EXPECT_EQ(o.root.filename(), "demo-root");
  EXPECT_TRUE(o.prefsEdits.empty());
  EXPECT_FALSE(o.clock);  // settled by what the run shows
  EXPECT_FALSE(o.duration);
  EXPECT_FALSE(o.png);
  EXPECT_FALSE(o.at);
  EXPECT_FALSE(o.gif);
  EXPECT_EQ(o.fps, 25);
  EXPECT_EQ(o.scale, 3.0);
  EXPECT_FALSE(o.view);
  EXPECT_FALSE(o.demo);
  EXPECT_FALSE(o.trace);
  EXPECT_FALSE(o.script);
  EXPECT_EQ(o.bundleIdentifier, "com.apple.springboard");
  EXPECT_EQ(o.executableName, "SpringBoard");
}

TEST(CommandLine, ReadsEveryOption) {
  const SimOptions o = options({"--root", "/r", "--style", "Fade", "--set", "homeBarOpacity=0.5", "--set", "style=Wave",
                                "--set", "enabled=true", "--set", "waveDirection=r2l", "--set", "n=3", "--set", "e=",
                                "--without-class", "MTLumaDodgePillView", "--script", "s.txt", "--clock", "real",
                                "--duration", "2.5", "--trace", "-", "--bundle-id", "com.example.app", "--executable", "App"});
  EXPECT_EQ(o.root, "/r");
  EXPECT_EQ(o.prefsEdits, (std::vector<PrefEntry>{{"style", std::string("Fade")}, {"homeBarOpacity", 0.5},
                                                  {"style", std::string("Wave")}, {"enabled", true},
                                                  {"waveDirection", std::string("r2l")}, {"n", std::int64_t{3}},
                                                  {"e", std::string()}}));
  EXPECT_EQ(o.withoutClasses, std::vector<std::string>{"MTLumaDodgePillView"});
  EXPECT_EQ(o.script, std::filesystem::path("s.txt"));
  EXPECT_EQ(o.clock, ClockKind::Real);
  EXPECT_EQ(o.duration, aurora::Nanoseconds{2'500'000'000});
  EXPECT_EQ(o.trace, "-");
  EXPECT_EQ(o.bundleIdentifier, "com.example.app");
  EXPECT_EQ(o.executableName, "App");
  EXPECT_EQ(options({"--virtual"}).clock, ClockKind::Virtual);
  const SimOptions pictures = options({"--png", "a.png", "--at", "1.5", "--gif", "b.gif", "--fps", "10", "--scale", "1.5",
                                       "--view", "pills", "--demo"});
  EXPECT_EQ(pictures.png, std::filesystem::path("a.png"));
  EXPECT_EQ(pictures.at, aurora::Nanoseconds{1'500'000'000});
  EXPECT_EQ(pictures.gif, std::filesystem::path("b.gif"));
  EXPECT_EQ(pictures.fps, 10);
  EXPECT_EQ(pictures.scale, 1.5);
  EXPECT_EQ(pictures.view, ViewKind::Pills);
  EXPECT_TRUE(pictures.demo);
  EXPECT_EQ(options({"--set", "a=b=c"}).prefsEdits, (std::vector<PrefEntry>{{"a", std::string("b=c")}}));
}

TEST(CommandLine, HelpDescribesEveryOption) {
  const Parsed parsed = parse({"--help"});
  EXPECT_EQ(std::get<int>(parsed.result), 0);
  for (const char* option : {"--root", "--style", "--set", "--without-class", "--script", "--clock", "--virtual",
                             "--duration", "--trace", "--png", "--at", "--gif", "--fps", "--scale", "--view", "--demo",
                             "--bundle-id", "--executable", "COLORTERM"}) {
    EXPECT_NE(parsed.out.find(option), std::string::npos) << option;
  }
}

TEST(CommandLine, RefusesBadCommandLinesWithStatus2AndUsage) {
  const Parsed unknown = parse({"--bogus"});
  EXPECT_EQ(std::get<int>(unknown.result), 2);
  EXPECT_NE(unknown.err.find("--bogus"), std::string::npos);
  EXPECT_NE(unknown.err.find("Usage: auroraribbon-sim"), std::string::npos);
  for (const auto& args : std::vector<std::vector<const char*>>{
           {"extra"}, {"--set", "novalue"}, {"--set", "=x"}, {"--without-class", "UIView"}, {"--clock", "fast"},
           {"--virtual", "--clock", "real"}, {"--duration", "soon"}, {"--duration", "-1"}, {"--bundle-id", ""},
           {"--root"}, {"--at", "1"}, {"--png", "a.png", "--at", "-1"}, {"--gif", "a.gif", "--fps", "0"},
           {"--gif", "a.gif", "--fps", "2.5"}, {"--fps", "10"}, {"--scale", "0"}, {"--scale", "8.5"}, {"--scale", "nan"},
           {"--view", "all"}, {"--gif", "a.gif", "--clock", "real"}, {"--demo", "--script", "s.txt"}}) {
    EXPECT_EQ(status(args), 2) << args.front();
  }
}

}  // namespace
}  // namespace sim
