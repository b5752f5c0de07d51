// Reading scenario scripts: every command, and every way a script is refused
// with FILE:LINE before anything runs.
#include "ScriptParser.h"

#include <cmath>

#include <gtest/gtest.h>

#include "TempDir.h"

namespace sim {
namespace {

const PillClasses kBothClasses{{"MTStaticColorPillView", "MTLumaDodgePillView"}, {}};

Script parse(std::string_view text, const PillClasses& classes = kBothClasses) { return parseScript("s.txt", text, classes); }

// The message a refused script gives.
std::string refusal(std::string_view text, const PillClasses& classes = kBothClasses) {
  try {
    parse(text, classes);
  } catch (const ScriptError& error) {
    return error.what();
  }
  return "(accepted)";
}

template <class T>
const T& commandAt(const Script& script, std::size_t index) {
  return std::get<T>(script.lines.at(index).command);
}

TEST(ScriptParser, SkipsCommentsAndBlankLinesAndKeepsLineNumbers) {
  const Script script = parse("# a tour\n\n   # indented comment\r\nat 0.5 notify\r\n\nat 1 end\n");
  ASSERT_EQ(script.lines.size(), 2u);
  EXPECT_EQ(script.lines[0].number, 4);
  EXPECT_EQ(script.lines[0].at, aurora::Nanoseconds{500'000'000});
  EXPECT_EQ(script.lines[1].number, 6);
  EXPECT_EQ(script.lastInstant(), aurora::Nanoseconds{1'000'000'000});
  EXPECT_EQ(parse("").lastInstant(), aurora::Nanoseconds{0});
}

TEST(ScriptParser, ReadsPrefsCommands) {
  const Script script = parse(
      "at 0 prefs set enabled bool true\n"
      "at 0 prefs set count int -3\n"
      "at 0 prefs set speed real nan\n"
      "at 0 prefs set style string \"Wave \\\"2\\\"\"\n"
      "at 0 prefs unset style\n"
      "at 0 prefs delete\n"
      "at 0 prefs raw \"<plist>\\n\\x41\"\n"
      "at 0 prefs format binary\n");
  EXPECT_EQ(commandAt<command::PrefsSet>(script, 0).entry, (PrefEntry{"enabled", true}));
  EXPECT_EQ(commandAt<command::PrefsSet>(script, 1).entry, (PrefEntry{"count", std::int64_t{-3}}));
  EXPECT_TRUE(std::isnan(std::get<double>(commandAt<command::PrefsSet>(script, 2).entry.value)));
  EXPECT_EQ(commandAt<command::PrefsSet>(script, 3).entry, (PrefEntry{"style", std::string("Wave \"2\"")}));
  EXPECT_EQ(commandAt<command::PrefsUnset>(script, 4).key, "style");
  EXPECT_TRUE(std::holds_alternative<command::PrefsDelete>(script.lines[5].command));
  EXPECT_EQ(commandAt<command::PrefsRaw>(script, 6).bytes, "<plist>\nA");
  EXPECT_EQ(commandAt<command::PrefsFormat>(script, 7).format, PlistFormat::Binary);
}

TEST(ScriptParser, ReadsPillAndOtherCommands) {
  const Script script = parse(
      "at 0 pill add home MTStaticColorPillView 40 831 134 5\n"
      "at 0 pill frame home 0 0 1e2 -5\n"
      "at 1 pill layout home\n"
      "at 1 pill send home animateView\n"
      "at 1 pill addview home 115\n"
      "at 1 runloop mode tracking\n"
      "at 1 notify\n"
      "at 1 notify \"other name\"\n"
      "at 2 snapshot out.png\n"
      "at 2 pill remove home\n"
      "at 3 end\n");
  const auto& add = commandAt<command::PillAdd>(script, 0);
  EXPECT_EQ(add.name, "home");
  EXPECT_EQ(add.className, "MTStaticColorPillView");
  EXPECT_EQ(add.frame, CGRectMake(40, 831, 134, 5));
  EXPECT_EQ(commandAt<command::PillFrame>(script, 1).frame, CGRectMake(0, 0, 100, -5));
  EXPECT_EQ(commandAt<command::PillSend>(script, 3).selector, "animateView");
  EXPECT_EQ(commandAt<command::PillAddView>(script, 4).tag, 115);
  EXPECT_EQ(commandAt<command::RunLoopMode>(script, 5).mode, UITrackingRunLoopMode);
  EXPECT_FALSE(commandAt<command::Notify>(script, 6).name);
  EXPECT_EQ(commandAt<command::Notify>(script, 7).name, "other name");
  EXPECT_EQ(commandAt<command::Snapshot>(script, 8).file, "out.png");
  EXPECT_TRUE(std::holds_alternative<command::End>(script.lines[10].command));
}

TEST(ScriptParser, EqualTimesKeepFileOrder) {
  const Script script = parse("at 1 notify a\nat 1 notify b\nat 1.0 notify c\n");
  ASSERT_EQ(script.lines.size(), 3u);
  EXPECT_EQ(commandAt<command::Notify>(script, 0).name, "a");
  EXPECT_EQ(commandAt<command::Notify>(script, 2).name, "c");
}

TEST(ScriptParser, RefusesUnknownCommandsAndLinesWithoutTime) {
  EXPECT_EQ(refusal("\nat 1 jump\n"), "s.txt:2: unknown command 'jump'");
  EXPECT_EQ(refusal("at 1 pill fly p\n"), "s.txt:1: unknown command 'pill fly'");
  EXPECT_EQ(refusal("at 1 prefs wipe\n"), "s.txt:1: unknown command 'prefs wipe'");
  EXPECT_EQ(refusal("at 1 runloop speed\n"), "s.txt:1: unknown command 'runloop speed'");
  EXPECT_EQ(refusal("notify\n"), "s.txt:1: a line starts with `at SECONDS`");
  EXPECT_EQ(refusal("at 1\n"), "s.txt:1: a command must follow `at SECONDS`");
  EXPECT_EQ(refusal("at 1 notify a b\n"), "s.txt:1: unexpected 'b'; usage: notify [NAME]");
  EXPECT_EQ(refusal("at 1 pill layout\n"), "s.txt:1: missing arguments; usage: pill layout NAME");
  EXPECT_EQ(refusal("at 1 notify \"a\n"), "s.txt:1: a quote that is never closed");
  EXPECT_EQ(refusal("at 1 prefs format json\n"), "s.txt:1: the format must be one of binary, xml, not 'json'");
  EXPECT_EQ(refusal("at 1 snapshot out.gif\n"), "s.txt:1: a snapshot is written to a FILE.png");
  EXPECT_EQ(refusal("at 1 notify \"\"\n"), "s.txt:1: a notification name cannot be empty");
}

TEST(ScriptParser, RefusesBadNumbers) {
  EXPECT_EQ(refusal("at soon notify\n"), "s.txt:1: bad number 'soon' for SECONDS: a plain decimal number of seconds");
  EXPECT_EQ(refusal("at -1 notify\n"), "s.txt:1: bad number '-1' for SECONDS: a plain decimal number of seconds");
  EXPECT_EQ(refusal("at 0 prefs set n int 1.5\n"), "s.txt:1: bad number '1.5' for an int: not a decimal integer");
  EXPECT_EQ(refusal("at 0 prefs set n real 1,5\n"), "s.txt:1: bad number '1,5' for a real");
  EXPECT_EQ(refusal("at 0 prefs set b bool yes\n"), "s.txt:1: a bool must be one of false, true, not 'yes'");
  EXPECT_EQ(refusal("at 0 pill add p MTLumaDodgePillView 1 2 3 x\n"), "s.txt:1: bad number 'x' for H");
  EXPECT_EQ(refusal("at 0 pill add p MTLumaDodgePillView 1 inf 3 4\n"), "s.txt:1: bad number for Y: it must be finite");
  EXPECT_EQ(refusal("at 0 pill add p MTLumaDodgePillView 1 2 3 4\nat 0 pill addview p 1.0\n"),
            "s.txt:2: bad number '1.0' for TAG: not a decimal integer");
}

TEST(ScriptParser, RefusesTimeGoingBackwards) {
  EXPECT_EQ(refusal("at 2 notify\nat 1.5 notify\n"), "s.txt:2: time 1.5 goes backwards (an earlier line is at 2 s)");
}

TEST(ScriptParser, RefusesPillNamesNotAddedOrRemoved) {
  EXPECT_EQ(refusal("at 0 pill layout ghost\n"), "s.txt:1: the pill 'ghost' is used before it is added");
  EXPECT_EQ(refusal("at 0 pill add p MTLumaDodgePillView 0 0 1 1\nat 1 pill remove p\nat 2 pill send p animateView\n"),
            "s.txt:3: the pill 'p' was removed earlier");
  EXPECT_EQ(refusal("at 0 pill add p MTLumaDodgePillView 0 0 1 1\nat 1 pill add p MTLumaDodgePillView 0 0 1 1\n"),
            "s.txt:2: the pill name 'p' is already taken (names are not reused, so trace ids stay unique)");
  EXPECT_EQ(refusal("at 0 pill add p MTLumaDodgePillView 0 0 1 1\nat 1 pill remove p\nat 2 pill add p MTLumaDodgePillView 0 0 1 1\n"),
            "s.txt:3: the pill name 'p' is already taken (names are not reused, so trace ids stay unique)");
}

TEST(ScriptParser, RefusesNamesThatLookGeneratedOrAreNotWords) {
  for (const char* name : {"v12", "t3", "a7"}) {
    EXPECT_EQ(refusal(std::string("at 0 pill add ") + name + " MTLumaDodgePillView 0 0 1 1\n"),
              std::string("s.txt:1: the pill name '") + name + "' looks like a generated trace id (v12, t3, a7)");
  }
  EXPECT_EQ(refusal("at 0 pill add v MTLumaDodgePillView 0 0 1 1\nat 0 pill add t3x MTLumaDodgePillView 0 0 1 1\n"), "(accepted)");
  EXPECT_EQ(refusal("at 0 pill add \"two words\" MTLumaDodgePillView 0 0 1 1\n"),
            "s.txt:1: 'two words' is not a pill name: a word of letters, digits, _ and -");
}

TEST(ScriptParser, RefusesClassesThisProcessLacks) {
  const PillClasses onlyStatic{{"MTStaticColorPillView"}, {"MTLumaDodgePillView"}};
  EXPECT_EQ(refusal("at 0 pill add p MTLumaDodgePillView 0 0 1 1\n", onlyStatic),
            "s.txt:1: this process lacks the class MTLumaDodgePillView (left out by --without-class)");
  EXPECT_EQ(refusal("at 0 pill add p UIView 0 0 1 1\n", onlyStatic),
            "s.txt:1: this process has no pill class UIView (it has: MTStaticColorPillView)");
  EXPECT_EQ(refusal("at 0 pill add p MTStaticColorPillView 0 0 1 1\n", PillClasses{{}, {"MTStaticColorPillView", "MTLumaDodgePillView"}}),
            "s.txt:1: this process lacks the class MTStaticColorPillView (left out by --without-class)");
}

TEST(ScriptParser, RefusesSelectorsWithArgumentsAndLinesAfterEnd) {
  const std::string add = "at 0 pill add p MTLumaDodgePillView 0 0 1 1\n";
  EXPECT_EQ(refusal(add + "at 0 pill send p initWithFrame:\n"),
            "s.txt:2: initWithFrame: takes arguments; `pill send` sends messages without any");
  EXPECT_EQ(refusal(add + "at 0 pill send p 9lives\n"), "s.txt:2: '9lives' is not a selector");
  EXPECT_EQ(refusal("at 1 end\n# fine\nat 2 notify\n"), "s.txt:3: nothing can follow `end`");
}

TEST(ScriptParser, ReadsFilesAndRefusesUnreadableOnes) {
  test::TempDir dir;
  const auto file = dir.write("tour.txt", "at 1 notify\n");
  EXPECT_EQ(readScriptFile(file, kBothClasses).lines.size(), 1u);
  EXPECT_EQ(readScriptFile(file, kBothClasses).file, file.string());
  try {
    readScriptFile(dir / "missing.txt", kBothClasses);
    FAIL() << "a missing script was accepted";
  } catch (const ScriptError& error) {
    EXPECT_EQ(std::string(error.what()), (dir / "missing.txt").string() + ": cannot read the script");
  }
  EXPECT_THROW(readScriptFile(dir.path(), kBothClasses), ScriptError);
}

}  // namespace
}  // namespace sim
