// The host in-process: how the trace names a pill, strict numbers, script tokens and scripts, trace JSON.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "HostTestSupport.h"
#include "JsonLine.h"
#include "ScriptTokenizer.h"
#include "host/ScriptParser.h"
#include "host/Seconds.h"

namespace host {
namespace {

using namespace std::chrono_literals;
using aurora::Nanoseconds;
using Json = nlohmann::ordered_json;
constexpr double kInf = std::numeric_limits<double>::infinity(), kNan = std::numeric_limits<double>::quiet_NaN();

// A view class whose initialiser makes another view before its own.
id initMakingAnotherViewFirst(id self, SEL sel, CGRect frame) {
  auto inner = UIView::make(UIView::objcClass(), frame);
  return objc_msgSendSuper<id>(objc_getClass("TraceNamingTestView"), self, sel, frame);
}

// The pill is the first view of its class made meanwhile; views made before tracing, and what names them, are left out.
TEST_F(HostTest, TheTraceNamesThePillAndLeavesOutViewsMadeBeforeIt) {
  Class cls = objc_registerClass("TraceNamingTestView", UIView::objcClass());
  class_addMethod(cls, sel_registerName("initWithFrame:"), &initMakingAnotherViewFirst,
                  "@@:{CGRect={CGPoint=dd}{CGSize=dd}}");
  auto window = UIView::make(UIView::objcClass(), CGRectMake(0, 0, 390, 844));
  std::ostringstream trace;
  TraceWriter writer(trace, TraceFlush::AtEnd);  // listens from here
  writer.willMakePill(cls, "outer");
  auto pill = UIView::make(cls, CGRectMake(0, 0, 1, 1));
  writer.didMakePill();
  window->setAlpha(0.5);
  window->addSubview(pill);
  pill->removeFromSuperview();
  window.reset();
  UIView::animateWithDuration(std::numeric_limits<double>::quiet_NaN(), nullptr);
  NSRunLoop::mainRunLoop().runFor(20ms);
  writer.dictionaryRead("/var/mobile/Library/Preferences/x.plist", nullptr);
  EXPECT_EQ(test::traceLines(trace.str()),
            (std::vector<std::string>{"0 new v1 UIView [0,0,1,1]", "0 new outer TraceNamingTestView [0,0,1,1]",
                                      "0 destroy v1", "0 remove outer", "0 animate a1 null",
                                      "0.016666667 complete a1 true",  // lasting one display frame
                                      "0.02 read /var/mobile/Library/Preferences/x.plist false"}));
}

TEST(Seconds, AreReadWholeOrNotAtAll) {
  const std::pair<const char*, std::int64_t> exact[] = {{"0", 0},
                                                        {"2", 2'000'000'000},
                                                        {"0.1", 100'000'000},
                                                        {".5", 500'000'000},
                                                        {"3.", 3'000'000'000},
                                                        {"1.000000001", 1'000'000'001},
                                                        {"0.0000000015", 2},
                                                        {"0.0000000014", 1},
                                                        {"9223372036", 9'223'372'036'000'000'000}};
  for (const auto& [text, ns] : exact)
    EXPECT_EQ(parseSeconds(text), Nanoseconds{ns}) << text;  // exact, the tenth digit rounding
  for (const char* text : {"", ".", "-1", "+1", "1e3", "nan", "inf", " 1", "1 ", "1.2.3", "0x10", "9223372037"})
    EXPECT_FALSE(parseSeconds(text)) << text;
}

TEST(ScriptTokenizer, SplitsOnBlanksAndReadsQuotes) {
  using Tokens = std::vector<std::string>;
  EXPECT_EQ(tokenizeLine("at 1  pill\tlayout p "), (Tokens{"at", "1", "pill", "layout", "p"}));
  EXPECT_EQ(tokenizeLine("   "), Tokens{});
  EXPECT_EQ(tokenizeLine(R"(raw "a b" "")"), (Tokens{"raw", "a b", ""}));
  EXPECT_EQ(tokenizeLine(R"("say \"hi\"\\" "x\ny")"), (Tokens{R"(say "hi"\)", "x\ny"}));
  EXPECT_EQ(tokenizeLine(R"("\x41\x7a\x00!" "#" x)"), (Tokens{std::string("Az\0!", 4), "#", "x"}));
  for (const char* line : {R"("open)", R"("bad \q")", R"("\x4")", R"("\xZZ")", R"("end\)", R"("a"b)", R"(a"b")"})
    EXPECT_THROW(tokenizeLine(line), TokenError) << line;
}

const PillClasses kBothClasses{{"MTStaticColorPillView", "MTLumaDodgePillView"}, {}};

// What a run of the program cannot show: how values, escapes, comments and line ends are read.
TEST(ScriptParser, ReadsValuesAndLineNumbersAsWritten) {
  const Script script =
      parseScript("s.txt",
                  "# a tour\n\n   # indented comment\r\nat 0.5 prefs set count int -3\r\n\n"
                  "at 0.5 prefs set speed real nan\nat 1 prefs set style string \"Wave \\\"2\\\"\"\nat 1.0 prefs raw "
                  "\"<plist>\\n\\x41\"\n"
                  "at 1 pill add home MTStaticColorPillView 40 831 134 5\nat 1 pill frame home 0 0 1e2 -5\n",
                  kBothClasses);
  ASSERT_EQ(script.lines.size(), 6u);
  EXPECT_EQ((std::vector{script.lines[0].number, script.lines[1].number, script.lines[5].number}),
            (std::vector{4, 6, 10}));
  EXPECT_EQ(script.lines[0].at, Nanoseconds{500'000'000});
  EXPECT_EQ(std::get<command::PrefsSet>(script.lines[0].command).entry,
            (aurora::PreferenceEntry{"count", std::int64_t{-3}}));
  EXPECT_TRUE(std::isnan(std::get<double>(std::get<command::PrefsSet>(script.lines[1].command).entry.value)));
  EXPECT_EQ(std::get<command::PrefsSet>(script.lines[2].command).entry,
            (aurora::PreferenceEntry{"style", std::string("Wave \"2\"")}));
  EXPECT_EQ(std::get<command::PrefsRaw>(script.lines[3].command).bytes, "<plist>\nA");  // equal times keep file order
  EXPECT_EQ(std::get<command::PillFrame>(script.lines[5].command).frame, CGRectMake(0, 0, 100, -5));
  EXPECT_EQ(script.lastInstant(), Nanoseconds{1'000'000'000});
  EXPECT_EQ(parseScript("s.txt", "", kBothClasses).lastInstant(), Nanoseconds{0});
}

// A script names the non-finite reals it writes (a number out of range is refused: see below).
TEST(ScriptParser, RealsAreDecimalOrANamedNonFiniteValue) {
  const Script script = parseScript(
      "s.txt", "at 0 prefs set a real -1e3\nat 0 prefs set b real inf\nat 0 prefs set c real -inf\n", kBothClasses);
  ASSERT_EQ(script.lines.size(), 3u);
  std::vector<double> values;
  for (const ScriptLine& line : script.lines)
    values.push_back(std::get<double>(std::get<command::PrefsSet>(line.command).entry.value));
  EXPECT_EQ(values, (std::vector{-1000.0, kInf, -kInf}));
}

TEST(ScriptParser, RefusesAScriptWithFileAndLine) {
  const std::string p = "at 0 pill add p MTLumaDodgePillView 0 0 1 1\n",
                    taken = "the pill name 'p' is already taken (names are not reused, so trace ids stay unique)";
  struct Row {
    std::string text, why;
    PillClasses classes = kBothClasses;
  };
  std::vector<Row> rows = {
      {"\nat 1 jump\n", "2: unknown command 'jump'"},
      {"at 1 pill fly p\n", "1: unknown command 'pill fly'"},
      {"notify\n", "1: a line starts with `at SECONDS`"},
      {"at 1\n", "1: a command must follow `at SECONDS`"},
      {"at 1 notify a b\n", "1: unexpected 'b'; usage: notify [NAME]"},
      {"at 1 pill layout\n", "1: missing arguments; usage: pill layout NAME"},
      {"at 1 notify \"a\n", "1: a quote that is never closed"},
      {"at 1 prefs format json\n", "1: the format must be one of binary, xml, not 'json'"},
      {"at 1 snapshot out.gif\n", "1: a snapshot is written to a FILE.png"},
      {"at 1 notify \"\"\n", "1: a notification name cannot be empty"},
      {"at soon notify\n", "1: bad number 'soon' for SECONDS: a plain decimal number of seconds"},
      {"at 0 prefs set n int 1.5\n", "1: bad number '1.5' for an int: not a decimal integer"},
      {"at 0 prefs set n real 1,5\n", "1: bad number '1,5' for a real"},
      {"at 0 prefs set n real 1e999\n", "1: bad number '1e999' for a real"},
      {"at 0 prefs set b bool yes\n", "1: a bool must be one of false, true, not 'yes'"},
      {"at 0 pill add p MTLumaDodgePillView 1 2 3 x\n", "1: bad number 'x' for H"},
      {"at 0 pill add p MTLumaDodgePillView 1 inf 3 4\n", "1: bad number for Y: it must be finite"},
      {p + "at 0 pill addview p 1.0\n", "2: bad number '1.0' for TAG: not a decimal integer"},
      {"at 2 notify\nat 1.5 notify\n", "2: time 1.5 goes backwards (an earlier line is at 2 s)"},
      {"at 0 pill layout ghost\n", "1: the pill 'ghost' is used before it is added"},
      {p + "at 1 pill remove p\nat 2 pill send p animateView\n", "3: the pill 'p' was removed earlier"},
      {p + "at 1 " + p.substr(5), "2: " + taken},
      {p + "at 1 pill remove p\nat 2 " + p.substr(5), "3: " + taken},
      {"at 0 pill add v MTLumaDodgePillView 0 0 1 1\nat 0 pill add t3x MTLumaDodgePillView 0 0 1 1\n", "(accepted)"},
      {"at 0 pill add \"two words\" MTLumaDodgePillView 0 0 1 1\n",
       "1: 'two words' is not a pill name: a word of letters, digits, _ and -"},
      {p,
       "1: this process lacks the class MTLumaDodgePillView (left out by --without-class)",
       {{"MTStaticColorPillView"}, {"MTLumaDodgePillView"}}},
      {"at 0 pill add p UIView 0 0 1 1\n",
       "1: this process has no pill class UIView (it has: MTStaticColorPillView)",
       {{"MTStaticColorPillView"}, {}}},
      {"at 0 pill add p MTStaticColorPillView 0 0 1 1\n",
       "1: this process lacks the class MTStaticColorPillView (left out by --without-class)",
       {{}, {"MTStaticColorPillView", "MTLumaDodgePillView"}}},
      {p + "at 0 pill send p initWithFrame:\n",
       "2: initWithFrame: takes arguments; `pill send` sends messages without any"},
      {p + "at 0 pill send p 9lives\n", "2: '9lives' is not a selector"},
      {"at 1 end\n# fine\nat 2 notify\n", "3: nothing can follow `end`"}};
  for (const std::string name : {"v12", "t3", "a7"}) {
    rows.push_back({"at 0 pill add " + name + " MTLumaDodgePillView 0 0 1 1\n",
                    "1: the pill name '" + name + "' looks like a generated trace id (v12, t3, a7)"});
  }
  for (const auto& [text, why, classes] : rows) {
    std::string refusal = "(accepted)";
    try {
      parseScript("s.txt", text, classes);
    } catch (const ScriptError& error) {
      refusal = error.what();
    }
    EXPECT_EQ(refusal, why == "(accepted)" ? why : "s.txt:" + why) << text;
  }
}

TEST(JsonLine, PrintsShortestNumbersNullsOrderAndEscapes) {
  for (const auto& [value, text] : std::vector<std::pair<double, const char*>>{
           {0.1, "0.1"},
           {2.5, "2.5"},
           {5.0, "5"},
           {0.0, "0"},
           {-0.0, "-0"},
           {1e21, "1e+21"},
           {5e-324, "5e-324"},
           {0.10000000149011612, "0.10000000149011612"},  // a float widened
           {60.10861823896931, "60.10861823896931"}})     // nlohmann's own printer: 60.108618238969314
    EXPECT_EQ(jsonNumber(value), text) << text;
  for (const double value : {kNan, kInf, -kInf}) EXPECT_EQ(jsonNumber(value), "null") << value;
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> spread(-1000, 1000);
  for (int i = 0; i < 10000; ++i) {
    const double value = spread(random);
    EXPECT_EQ(std::strtod(jsonNumber(value).c_str(), nullptr), value);
  }
  Json line = {{"t", 0.25},  {"ev", "set"}, {"value", Json::array({0.5, 1.0, 0.0, 1.0})},
               {"count", 2}, {"ok", false}, {"none", nullptr}};
  EXPECT_EQ(jsonLine(line), R"({"t":0.25,"ev":"set","value":[0.5,1,0,1],"count":2,"ok":false,"none":null})");
  EXPECT_EQ(jsonLine(Json::array({1.5, kNan})), "[1.5,null]");
  EXPECT_EQ(jsonLine(Json::object()) + jsonLine(Json::array()), "{}[]");
  EXPECT_EQ(jsonLine(Json{{"name", "a\"b\\c\nd"}}), R"({"name":"a\"b\\c\nd"})");
  EXPECT_EQ(jsonLine(Json{{"name", "caf\xc3\xa9"}}), "{\"name\":\"caf\xc3\xa9\"}");
  EXPECT_EQ(jsonLine(Json{{"name", "bad\xff"}}), "{\"name\":\"bad\xef\xbf\xbd\"}");
}

}  // namespace
}  // namespace host
