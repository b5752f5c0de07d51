// The front-end in-process: the command line, the terminal's 24-bit colour, the tour, the live view and its cells.
#include <gtest/gtest.h>

#include <sstream>

#include "CellGrid.h"
#include "CellPainter.h"
#include "CommandLine.h"
#include "Foundation/NSDictionary.h"
#include "Foundation/NSTimer.h"
#include "HostTestSupport.h"
#include "LiveView.h"
#include "ReadFile.h"
#include "TerminalColor.h"
#include "Tour.h"
#include "UIKit/UIColor.h"
#include "aurora/TemporaryDirectory.h"
#include "host/SceneWatcher.h"

namespace sim {
namespace {

using namespace std::chrono_literals;
// The simulator's tests run the host and read its pictures back.
namespace test = host::test;
using aurora::PreferenceEntry;
using aurora::PreferencesFile;
using host::HostTest;
using host::SceneWatcher;
using picture::Image;
using picture::Rgb;
using picture::ViewKind;

// The options, or the status to exit with; and what was said on standard error.
std::pair<std::variant<SimOptions, int>, std::string> parse(std::vector<const char*> args) {
  args.insert(args.begin(), "auroraribbon-sim");
  std::ostringstream out, err;
  auto result = parseCommandLine(static_cast<int>(args.size()), args.data(), out, err);
  return {std::move(result), err.str()};
}

SimOptions options(std::vector<const char*> args) { return std::get<SimOptions>(parse(std::move(args)).first); }

// The options a run of the program shows the effect of are left to those runs.
TEST(CommandLine, DefaultsTypedSettingsAndClocks) {
  const SimOptions d = options({});
  EXPECT_EQ(d.root.filename(), "demo-root");
  EXPECT_FALSE(d.clock || d.duration || d.png || d.at || d.gif || d.view || d.demo || d.trace || d.script ||
               !d.prefsEdits.empty());
  // --style first, then each --set in order, its value typed as it reads.
  const std::vector<std::pair<const char*, PreferenceEntry>> sets{
      {"homeBarOpacity=0.5", {"homeBarOpacity", 0.5}},
      {"style=Wave", {"style", std::string("Wave")}},
      {"enabled=true", {"enabled", true}},
      {"waveDirection=r2l", {"waveDirection", std::string("r2l")}},
      {"n=3", {"n", std::int64_t{3}}},
      {"e=", {"e", std::string()}},
      {"a=b=c", {"a", std::string("b=c")}},
      {"f=false", {"f", false}},
      {"c=#FF0000", {"c", std::string("#FF0000")}},
      {"t=True", {"t", std::string("True")}},
      {"x=nan", {"x", std::string("nan")}},
      {"big=1e999", {"big", std::string("1e999")}}};
  std::vector<const char*> args{"--style", "Fade"};
  std::vector<PreferenceEntry> expected{{"style", std::string("Fade")}};
  for (const auto& [text, entry] : sets) {
    args.insert(args.end(), {"--set", text});
    expected.push_back(entry);
  }
  EXPECT_EQ(options(args).prefsEdits, expected);
  EXPECT_EQ(options({"--virtual"}).clock, ClockKind::Virtual);
  EXPECT_EQ(options({"--png", "a.png", "--view", "full"}).view, ViewKind::Full);
  EXPECT_EQ(options({"--png", "a.png", "--at", "1.5", "--scale", "1.5"}).scale, 1.5);
}

TEST(CommandLine, RefusesBadCommandLinesWithStatus2AndUsage) {
  // Each command line's arguments are split at its spaces: a trailing space ends it with an empty argument.
  const auto refused = [](const auto&... lines) {
    for (const std::string& line : {std::string(lines)...}) {
      std::vector<std::string> words;
      for (std::size_t from = 0, to = 0; to != std::string::npos; from = to + 1)
        words.push_back(line.substr(from, (to = line.find(' ', from)) - from));
      std::vector<const char*> args;
      for (const std::string& word : words) args.push_back(word.c_str());
      const auto [result, err] = parse(args);
      EXPECT_EQ(std::holds_alternative<int>(result) ? std::get<int>(result) : -1, 2) << line;
      EXPECT_TRUE(err.rfind("auroraribbon-sim: ", 0) == 0 && err.find("Usage: auroraribbon-sim") != std::string::npos)
          << err;
    }
  };
  refused("--bogus", "extra", "--set novalue", "--set =x", "--without-class UIView", "--clock fast",
          "--virtual --clock real", "--duration soon", "--duration -1", "--bundle-id ", "--executable ", "--root",
          "--at 1", "--png a.png --at -1", "--gif a.gif --fps 0", "--gif a.gif --fps 51", "--gif a.gif --fps ten",
          "--gif a.gif --fps 2.5", "--fps 10", "--scale 0", "--png a.png --scale 9", "--scale 8.5", "--scale nan",
          "--view all", "--png a.png --view Pills", "--gif a.gif --clock real", "--png a.png --clock real",
          "--demo --script s.txt");
  EXPECT_NE(parse({"--bogus"}).second.find("--bogus"), std::string::npos);
}

TEST(TerminalColor, TheLiveViewNeedsATerminalThatSaysItHas24BitColor) {
  // The environment (nullptr: unset) and whether the live view may run in it.
  struct Terminal {
    const char* term = nullptr;
    const char* colorterm = nullptr;
    const char* tmux = nullptr;
    bool allowed = false;
  };
  const Terminal terminals[] = {
      {.term = "xterm-256color", .colorterm = "truecolor", .allowed = true},
      {.term = "tmux-256color", .tmux = "/tmp/tmux-0/default,1,0", .allowed = true},
      {.term = "xterm-direct", .allowed = true},
      {.term = "xterm-256color"},
      {.term = "linux", .colorterm = "yes"},
      {.colorterm = "truecolor"},
      {.term = "dumb", .colorterm = "truecolor"},
  };
  for (const auto& [term, colorterm, tmux, allowed] : terminals) {
    const auto why = liveViewRefusal({term, colorterm, tmux});
    EXPECT_EQ(!why, allowed) << (term ? term : "(unset)") << " " << (colorterm ? colorterm : "");
    const bool dumb = !term || !*term || std::string(term) == "dumb";
    EXPECT_TRUE(!dumb || why.value_or("").find("--png FILE or --gif FILE") != std::string::npos) << why.value_or("");
  }
  EXPECT_NE(liveViewRefusal({nullptr, nullptr, nullptr})->find("TERM is not set"), std::string::npos);
  EXPECT_NE(liveViewRefusal({"dumb", nullptr, nullptr})->find("TERM is dumb"), std::string::npos);
  EXPECT_NE(liveViewRefusal({"xterm", nullptr, nullptr})->find("COLORTERM=truecolor"), std::string::npos);
}

TEST_F(HostTest, TheTourShowsEachStyleOnFreshPillsAndPutsThePreferencesBack) {
  aurora::TemporaryDirectory dir;
  const std::string original = "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict/></plist>";
  const auto path = dir.write("prefs.plist", original);
  aurora::PreferencesFile prefs(path);
  const auto shown = [&](const Tour& tour) {
    return NSDictionary::fromFile(path)->stringValue("style").value_or("?") + " " + tour.caption();
  };
  {
    Tour tour(scene_, prefs);
    EXPECT_EQ(tour.caption(), "");
    tour.start();
    std::vector<std::string> seen{shown(tour)};
    const UIView* firstPill = &scene_.pill("static");
    for (auto t = Tour::kSegment; t <= Tour::kLength; t += Tour::kSegment) {
      NSRunLoop::mainRunLoop().runUntil(t);
      seen.push_back(shown(tour));
      EXPECT_EQ(scene_.window().subviews().size(), 2u);
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"Wave Wave (1/5)", "Spectrum Spectrum (2/5)", "Fade Fade (3/5)",
                                              "Breathing Breathing (4/5)", "Static Static (5/5)",
                                              "Wave Wave (1/5)"}));  // and round again
    EXPECT_NE(&scene_.pill("static"), firstPill);                    // made afresh
  }
  EXPECT_EQ(test::readFile(path), original);
}

// A stand-in terminal.
struct FakeScreen final : TerminalScreen {
  TerminalSize size() const override { return size_; }
  void write(std::string_view bytes) override { writes.emplace_back(bytes); }
  TerminalSize size_{80, 24};
  std::vector<std::string> writes;
};

TEST_F(HostTest, TheLiveViewDrawsChangesAtMostThirtyTimesASecond) {
  FakeScreen screen;
  LiveView view{scene_.window(), screen, ViewKind::Pills, [] { return std::string(" status here"); }};
  const SceneWatcher watcher{view};
  // Runs to `t` since the start; the frames drawn and the writes sent meanwhile.
  const auto runTo = [&](aurora::Nanoseconds t) {
    const std::size_t frames = view.framesDrawn(), writes = screen.writes.size();
    NSRunLoop::mainRunLoop().runUntil(t);
    return std::pair(view.framesDrawn() - frames, screen.writes.size() - writes);
  };
  scene_.addDefaultPills();
  const auto [first, sent] = runTo(1s);
  EXPECT_TRUE(first >= 1 && first <= 3 && sent >= 1) << first;  // the pills, then their first layout's rounding
  EXPECT_EQ(screen.writes.front().substr(0, 8), "\x1b[0m\x1b[2J");
  EXPECT_EQ(runTo(60s), std::pair(0ul, 0ul));  // nothing changed, so nothing woke it
  scene_.pill("static").setTag(7);
  EXPECT_EQ(runTo(61s), std::pair(1ul, 0ul));  // a change nobody can see: a frame, but nothing sent
  UIView::animateWithDuration(1.0, [&] { scene_.pill("static").setBackgroundColor(UIColor::redColor()); });
  const std::size_t during = runTo(62s + 100ms).first;
  EXPECT_TRUE(during >= 30 && during <= 33) << during;  // thirty a second while an animation runs
  EXPECT_EQ(runTo(70s).first, 0u);                      // and none once it has ended
  bool red = false;
  auto flicker = NSTimer::timerWithTimeInterval(0.001, true, [&](NSTimer&) {
    scene_.pill("luma").setBackgroundColor((red = !red) ? UIColor::redColor() : UIColor::blueColor());
  });
  NSRunLoop::mainRunLoop().addTimer(flicker, NSDefaultRunLoopMode);
  const std::size_t busy = runTo(71s).first;
  flicker->invalidate();
  EXPECT_TRUE(busy >= 29 && busy <= 31) << busy;  // many changes, still at most thirty a second
  screen.size_ = {120, 30};
  view.resized();
  runTo(72s);
  EXPECT_EQ(screen.writes.back().substr(0, 8), "\x1b[0m\x1b[2J");  // everything again, at the new size
  EXPECT_NE(screen.writes.back().find("\x1b[30;1H"), std::string::npos);
  screen.size_ = {80, 1};
  view.resized();
  EXPECT_EQ(runTo(73s), std::pair(1ul, 0ul));  // too small: a frame, but nothing sent
  {
    LiveView gone(scene_.window(), screen, ViewKind::Full, [] { return std::string(); });
    gone.sceneChanged();
  }
  EXPECT_EQ(runTo(74s), std::pair(0ul, 0ul));  // a frame due after its view is gone does nothing
}

CellGrid filled(int columns, int rows, Rgb background) {
  CellGrid g(columns, rows);
  for (int row = 0; row < rows; ++row)
    g.putText(0, row, std::string(static_cast<std::size_t>(columns), ' '), {}, background);
  return g;
}

// Cells from pictures and text; the terminal gets everything first, then only changed cells, nothing when none did.
TEST(CellPainter, PaintsTwoPixelsACellAndSendsOnlyWhatChanged) {
  CellGrid grid(4, 3);
  EXPECT_EQ(grid.at(1, 0), (Cell{U' ', {}, {}}));  // blank to start with
  grid.drawImage(test::paintedImage(3, 3, [](int x, int y) {
    return Rgb{static_cast<std::uint8_t>(10 * x), static_cast<std::uint8_t>(10 * y), 0};
  }));
  EXPECT_EQ(grid.at(0, 0), (Cell{kUpperHalfBlock, {0, 0, 0}, {0, 10, 0}}));  // the upper pixel in front
  EXPECT_EQ(grid.at(2, 0), (Cell{kUpperHalfBlock, {20, 0, 0}, {20, 10, 0}}));
  EXPECT_EQ(grid.at(1, 1), (Cell{kUpperHalfBlock, {10, 20, 0}, {0, 0, 0}}));  // the odd last row: black below
  EXPECT_EQ(grid.at(3, 0), Cell{});                                           // beyond the picture
  EXPECT_EQ(grid.at(0, 2), Cell{});
  grid.putTextOverPicture(2, 0, "Z", {200, 200, 200});
  EXPECT_EQ(grid.at(2, 0), (Cell{U'Z', {200, 200, 200}, {20, 5, 0}}));  // over the mean of the cell's two pixels
  grid.putText(-1, 2, "ab\x01\xc3xyz", {1, 2, 3}, {4, 5, 6});           // clipped to the grid, other bytes as '?'
  EXPECT_EQ(grid.at(0, 2), (Cell{U'b', {1, 2, 3}, {4, 5, 6}}));
  EXPECT_EQ(std::u32string({grid.at(1, 2).glyph, grid.at(2, 2).glyph, grid.at(3, 2).glyph}), U"??x");
  const CellGrid before = grid;
  grid.putText(0, 3, "off the grid", {}, {});
  EXPECT_EQ(grid, before);
  CellPainter painter;
  EXPECT_EQ(painter.paint(filled(3, 2, {1, 2, 3})),
            "\x1b[0m\x1b[2J\x1b[1;1H\x1b[38;2;0;0;0m\x1b[48;2;1;2;3m   \x1b[2;1H   ");
  CellGrid next = filled(40, 10, {9, 9, 9});
  EXPECT_EQ(painter.paint(next).substr(0, 8), "\x1b[0m\x1b[2J");  // another size: everything again
  EXPECT_EQ(painter.paint(next) + painter.paint(filled(40, 10, {9, 9, 9})), "");
  next.putText(5, 3, "hi", {255, 255, 255}, {9, 9, 9});
  next.putText(0, 7, "\x7f", {0, 0, 0}, {0, 0, 0});
  EXPECT_EQ(painter.paint(next),
            "\x1b[4;6H\x1b[38;2;255;255;255m\x1b[48;2;9;9;9mhi\x1b[8;1H\x1b[38;2;0;0;0m\x1b[48;2;0;0;0m?");
  painter.forget();
  const std::string again = painter.paint(next);
  EXPECT_EQ(again.substr(0, 8), "\x1b[0m\x1b[2J");
  EXPECT_EQ(std::count(again.begin(), again.end(), ' '), 397);
  CellGrid block(1, 1);
  block.drawImage(Image(1, 2));
  EXPECT_NE(painter.paint(block).find("\xe2\x96\x80"), std::string::npos);  // the half block in UTF-8
}

}  // namespace
}  // namespace sim
