// The built auroraribbon-sim run as a user runs it: statuses, traces, pictures, the real extension, the live view.
#include <fmt/format.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <nlohmann/json.hpp>

#include "Foundation/NSDictionary.h"
#include "HostTestSupport.h"
#include "Program.h"
#include "ReadFile.h"
#include "UIKit/UIColor.h"
#include "aurora/DeviceRoot.h"
#include "aurora/TemporaryDirectory.h"

namespace sim {
namespace {

using host::test::grep;
// The simulator's tests run the host and read its pictures back.
namespace test = host::test;
using picture::Image;
using picture::Rgb;
using picture::unpackRgb;
using Lines = std::vector<std::string>;

constexpr const char* kPrefs = "root/var/mobile/Library/Preferences/com.quillmoren.auroraribbonpref.plist";
const Rgb kStaticGrey{235, 235, 235};

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override { std::filesystem::create_directory(dir_ / "root"); }

  // The simulator run in this test's folder, whose device root is "root".
  test::ProgramResult sim(std::vector<std::string> args) const {
    args.insert(args.begin(), AURORA_SIM_BINARY);
    return test::runProgram(args, dir_.path());
  }
  // A run of `script` with the trace on standard output.
  test::ProgramResult scripted(const std::string& script, std::vector<std::string> args = {}) const {
    dir_.write("s.txt", script);
    args.insert(args.begin(), {"--root", "root", "--script", "s.txt", "--trace", "-"});
    return sim(std::move(args));
  }
  // The trace of a run of `script`, which must succeed.
  std::string run(const std::string& script, std::vector<std::string> args = {}) const {
    const auto result = scripted(script, std::move(args));
    EXPECT_EQ(result.status, 0) << result.err;
    return result.out;
  }
  // The demo root's extension and preferences (its sockets left out).
  void installExtension() const { aurora::copyDeviceRoot(AURORA_DEMO_ROOT, dir_ / "root"); }

  aurora::TemporaryDirectory dir_;
};

// A refused run: the arguments, the exit status, and standard error (the whole of it, or a part).
struct Refusal {
  Lines args{};
  int status = 0;
  std::string wholeError{};
  std::string errorPart{};  // when given, standard error need only hold it
};
Refusal saying(Lines args, int status, std::string whole) { return {std::move(args), status, std::move(whole), {}}; }
Refusal holding(Lines args, int status, std::string part) { return {std::move(args), status, {}, std::move(part)}; }

TEST_F(ProgramTest, EveryRefusalHasItsExitStatusAndWritesNothing) {
  dir_.write(kPrefs, "half a pli");
  dir_.write("bad.txt", "at 0 notify\n\nat 1 pill layout ghost\n");
  dir_.write("send.txt", "at 0 pill add p MTLumaDodgePillView 0 0 10 4\nat 1 pill send p frobnicate\n");
  dir_.write("shot.txt", "at 1 snapshot missing/shot.png\n");
  dir_.write("end.txt", "at 1 end\n");
  const std::string root = "root", program = "auroraribbon-sim: ";
  const Refusal refusals[] = {
      holding({"--colour", "red"}, 2, "Usage: auroraribbon-sim"),
      saying({"--root", "nowhere"}, 1, program + "the device root \"nowhere\" is not a directory\n"),
      saying({"--root", root, "--script", "bad.txt", "--set", "enabled=true", "--trace", "t.jsonl"}, 2,
             "bad.txt:3: the pill 'ghost' is used before it is added\n"),
      saying({"--root", root, "--script", "missing.txt"}, 2, "missing.txt: cannot read the script\n"),
      saying({"--root", root, "--script", "root"}, 2, "root: cannot read the script\n"),
      holding({"--root", root, "--style", "Fade"}, 1,
              "is not a preferences dictionary the device could read; leaving it untouched"),
      saying({"--root", root, "--png", "a.png", "--at", "3", "--duration", "2"}, 2,
             program + "--at 3 s is after the end of the run at 2 s (give a longer --duration)\n"),
      holding({"--root", root, "--png", "a.png", "--at", "11"}, 2,
              program + "--at 11 s is after the end of the run at 10 s"),
      saying({"--root", root, "--script", "send.txt", "--gif", "g.gif"}, 1,
             program + "send.txt:2: -[MTLumaDodgePillView frobnicate]: unrecognized selector sent to instance\n"),
      holding({"--root", root, "--script", "shot.txt", "--scale", "1"}, 1,
              "shot.txt:1: cannot write the PNG \"missing/shot.png\""),
      holding({"--root", root, "--png", "missing/a.png", "--duration", "0", "--scale", "1"}, 1,
              "cannot write the PNG \"missing/a.png\""),
      holding({"--root", root, "--gif", "missing/a.gif", "--duration", "0"}, 1,
              "cannot write the GIF \"missing/a.gif\": No such file or directory"),
      saying({"--root", root, "--script", "end.txt", "--png", "late.png", "--at", "1.5", "--duration", "2"}, 1,
             program + "the run ended at 1 s, before the picture for \"late.png\" at 1.5 s\n"),
  };
  for (const Refusal& refusal : refusals) {
    const auto result = sim(refusal.args);
    EXPECT_EQ(result.status, refusal.status) << refusal.args.back() << ": " << result.err;
    if (refusal.errorPart.empty()) {
      EXPECT_EQ(result.err, refusal.wholeError);
    } else {
      EXPECT_NE(result.err.find(refusal.errorPart), std::string::npos) << result.err;
    }
  }
  EXPECT_EQ(test::readFile(dir_ / kPrefs), "half a pli");  // nothing ran or wrote it
  for (const char* file : {"t.jsonl", "a.png", "late.png", "g.gif"})
    EXPECT_FALSE(std::filesystem::exists(dir_ / file)) << file;  // nor is half there
}

// It traces the default pills, or those its settings leave; a broken library is reported and skipped.
TEST_F(ProgramTest, AHeadlessRunLoadsOnlyTheLibrariesForItsHost) {
  const std::string libraries = "root/Library/MobileSubstrate/DynamicLibraries/";
  struct Library {
    const char* name = "";
    const char* filterKey = "";  // none: no filter file
    const char* filterValue = "";
  };
  const Library installed[] = {{.name = "Broken"},
                               {.name = "ForBundle", .filterKey = "Bundles", .filterValue = "com.example.other"}};
  for (const Library& library : installed) {
    dir_.write(libraries + library.name + ".dylib", "not a library");
    if (*library.filterKey) {
      dir_.write(libraries + library.name + ".plist",
                 fmt::format("<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>Filter</key><dict><key>{}</key>"
                             "<array><string>{}</string></array></dict></dict></plist>",
                             library.filterKey, library.filterValue));
    }
  }
  const auto result = sim({"--root", "root", "--trace", "-", "--duration", "1"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err.rfind("loader: cannot load /Library/MobileSubstrate/DynamicLibraries/Broken.dylib: ", 0), 0u)
      << result.err;
  EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'),
            1);  // reported and skipped; the others are not for this host
  const Lines lines = test::traceLines(result.out);
  EXPECT_EQ(grep(lines, " new "), (Lines{"0 new static MTStaticColorPillView [40,831,134,5]",
                                         "0 new luma MTLumaDodgePillView [216,831,134,5]"}));
  // No add into the window, which is not traced, and no library loaded; each pill's grey and corner radius.
  EXPECT_EQ(grep(lines, " (add|load) ").size(), 0u);
  EXPECT_EQ(grep(lines, " set ").size(), 4u);
  // Settings are written before start-up; the trace can go to a file.
  const auto asBundle =
      sim({"--root", "root", "--duration", "0", "--bundle-id", "com.example.other", "--style", "Fade", "--set",
           "homeBarOpacity=0.5", "--without-class", "MTLumaDodgePillView", "--trace", "run.jsonl"});
  EXPECT_NE(asBundle.err.find("ForBundle.dylib"), std::string::npos) << asBundle.err;
  EXPECT_EQ(asBundle.out, "");
  EXPECT_EQ(grep(test::traceLines(test::readFile(dir_ / "run.jsonl")), " new "),
            Lines{"0 new static MTStaticColorPillView [40,831,134,5]"});  // the class left out makes no pill
  const auto prefs = NSDictionary::fromFile(dir_ / kPrefs);
  ASSERT_TRUE(prefs);
  EXPECT_EQ(prefs->stringValue("style"), "Fade");
  EXPECT_EQ(prefs->doubleValue("homeBarOpacity"), 0.5);
}

// What each style must cost each pill over a minute, after its first layout:
// the wave's timer at its interval, one animation per step of the others,
// nothing at all for a static pill; and the figures are the trace's own counts.
TEST_F(ProgramTest, CostFiguresAreWhatEachStyleMustDoAndWhatTheTraceCounts) {
  installExtension();
  const auto figures = [&](const std::string& style, const std::string& speed) {
    Lines args{"--root", "root", "--style", style, "--cost", "-", "--trace", "t.jsonl"};
    if (!speed.empty()) args.insert(args.end(), {"--set", speed});
    const auto result = sim(args);
    EXPECT_EQ(result.status, 0) << result.err;
    return nlohmann::json::parse(result.out);
  };
  // The trace's own count after the first instant: events `ev` (a `set` only of what the screen composites).
  const auto traced = [&](const std::string& ev) {
    std::uint64_t count = 0;
    for (const auto& e : test::traceEvents(test::readFile(dir_ / "t.jsonl"))) {
      if (e.value("ev", "") != ev || e.value("t", 0.0) <= 0) continue;
      if (ev == "set" && (e["prop"] == "tag" || e["prop"] == "translatesAutoresizingMaskIntoConstraints")) continue;
      ++count;
    }
    return count;
  };
  struct Expected {
    std::string style, speed;
    double fires, animations;
  };
  for (const auto& [style, speed, fires, animations] :
       std::vector<Expected>{{"Wave", "waveAnimationSpeed=0.05", 20, 0},
                             {"Spectrum", "specturmAnimationSpeed=0.5", 0, 2},
                             {"Fade", "fadeSpeed=10.0", 0, 0.1},
                             {"Breathing", "breathingSpeed=2.0", 0, 0.5},
                             {"Static", "", 0, 0}}) {
    SCOPED_TRACE(style);
    const auto cost = figures(style, speed);
    EXPECT_EQ(cost["seconds"], 60.0);
    ASSERT_EQ(cost["pills"].size(), 2u);
    std::uint64_t fired = 0, animated = 0, changed = 0;
    for (const auto& pill : cost["pills"]) {
      // Within one fire a minute: the extension reads the interval as a float, 0.05 a hair over it.
      EXPECT_NEAR(pill["perSecond"]["timerFires"].get<double>(), fires, 1.0 / 60) << pill["pill"];
      EXPECT_DOUBLE_EQ(pill["perSecond"]["animations"].get<double>(), animations) << pill["pill"];
      fired += pill["counts"]["timerFires"].get<std::uint64_t>();
      animated += pill["counts"]["animations"].get<std::uint64_t>();
      changed += pill["counts"]["layerChanges"].get<std::uint64_t>();
    }
    EXPECT_EQ(fired, traced("fire"));
    EXPECT_EQ(animated, traced("animate"));
    EXPECT_EQ(changed, traced("set"));
    EXPECT_TRUE(style != "Static" || changed == 0) << changed << " layer changes for static pills";
    if (style == "Wave") {
      EXPECT_EQ(cost["pills"][0]["counts"]["layerColors"],
                60 * cost["pills"][0]["counts"]["timerFires"].get<int>());  // 60 hues a tick
    }
  }
}

// The run lasts to its last command.
TEST_F(ProgramTest, AScriptsCommandsRunAtTheirInstantsBeforeOtherWork) {
  const auto trace =
      run("at 0 pill add p MTLumaDodgePillView 0 0 10 4\nat 0.5 pill frame p 0 0 20 8\nat 0.5 pill addview p 7\nat 1 "
          "pill layout p\n"
          "at 1 pill add q MTStaticColorPillView 40 831 134 5\nat 2 pill send q layoutSubviews\nat 2 pill addview q "
          "8\nat 2 notify\n"
          "at 3 notify other.name\nat 12.5 pill remove p\n");
  EXPECT_NE(
      trace.find("\n{\"t\":0,\"ev\":\"new\",\"id\":\"p\",\"class\":\"MTLumaDodgePillView\",\"frame\":[0,0,10,4]}\n"),
      std::string::npos);
  // The layout pass at 0.5 s comes after the commands; a pill uses up no generated id (v2 follows v1).
  EXPECT_EQ(test::traceLines(trace), (Lines{"0 new p MTLumaDodgePillView [0,0,10,4]",
                                            "0 set p backgroundColor [0.85,0.85,0.85,1]",
                                            "0 set p layer.cornerRadius 2",
                                            "0.5 set p frame [0,0,20,8]",
                                            "0.5 new v1 UIView [0,0,10,10]",
                                            "0.5 set v1 tag 7",
                                            "0.5 add p v1",
                                            "0.5 set p layer.cornerRadius 4",
                                            "1 set p layer.cornerRadius 4",
                                            "1 new q MTStaticColorPillView [40,831,134,5]",
                                            "1 set q backgroundColor [0.92,0.92,0.92,1]",
                                            "1 set q layer.cornerRadius 2.5",
                                            "2 set q layer.cornerRadius 2.5",
                                            "2 new v2 UIView [0,0,10,10]",
                                            "2 set v2 tag 8",
                                            "2 add q v2",
                                            "2 post com.quillmoren.auroraribbon.settingschanged",
                                            "2 set q layer.cornerRadius 2.5",
                                            "3 post other.name",
                                            "12.5 remove p",
                                            "12.5 destroy p",
                                            "12.5 destroy v1"}));
}

// The first line of each kind of event (a set's by property), exact: fields, order, value shapes; time never goes back.
TEST_F(ProgramTest, EveryKindOfEventAndPropertyIsTracedInItsForm) {
  installExtension();
  std::istringstream lines(
      run("at 0 prefs set enabled bool true\nat 0 prefs set style string Wave\nat 0 notify\n"
          "at 0.1 pill add s MTStaticColorPillView 40 831 134 5\nat 0.1 pill add l MTLumaDodgePillView 216 831 134 5\n"
          "at 0.1 pill addview s 7\nat 0.2 pill send l animateView\nat 0.3 pill remove s\nat 10.3 end\n"));
  std::map<std::string, std::string> first;
  double last = 0;
  std::string line;
  std::getline(lines, line);
  while (std::getline(lines, line)) {
    const auto e = nlohmann::json::parse(line);
    EXPECT_GE(e["t"].get<double>(), last) << line;
    last = e["t"].get<double>();
    std::string kind = e["ev"];
    if (kind == "set") kind.append(" ").append(e["prop"].get<std::string>()).append(e.contains("anim") ? " anim" : "");
    if (kind == "set layer.colors" && !first.contains(kind)) {
      EXPECT_EQ(e["value"].size(), 60u);
      line = std::regex_replace(line, std::regex(R"("value":\[.*\]\})"), R"("value":[...]})");
    }
    first.emplace(kind, line);
  }
  EXPECT_EQ(
      first,
      (std::map<std::string, std::string>{
          {"add", R"({"t":0.1,"ev":"add","parent":"s","id":"v1"})"},
          {"animate", R"({"t":0.2,"ev":"animate","anim":"a1","duration":10})"},
          {"complete", R"({"t":10.2,"ev":"complete","anim":"a1","finished":true})"},
          {"constraints", R"({"t":0.1,"ev":"constraints","id":"l","format":"H:|-0-[colorView]-0-|","count":2})"},
          {"deliver", R"({"t":0,"ev":"deliver","name":"com.quillmoren.auroraribbon.settingschanged"})"},
          {"destroy", R"({"t":0.3,"ev":"destroy","id":"s"})"},
          {"fire", R"({"t":0.1,"ev":"fire","timer":"t1"})"},
          {"invalidate", R"({"t":0.3,"ev":"invalidate","timer":"t1"})"},
          {"load", R"({"t":0,"ev":"load","path":"/Library/MobileSubstrate/DynamicLibraries/AuroraRibbon.dylib"})"},
          {"new", R"({"t":0.1,"ev":"new","id":"s","class":"MTStaticColorPillView","frame":[40,831,134,5]})"},
          {"post", R"({"t":0,"ev":"post","name":"com.quillmoren.auroraribbon.settingschanged"})"},
          {"read",
           R"({"t":0,"ev":"read","path":"/var/mobile/Library/Preferences/com.quillmoren.auroraribbonpref.plist","ok":true})"},
          {"remove", R"({"t":0.3,"ev":"remove","id":"s"})"},
          {"schedule", R"({"t":0.1,"ev":"schedule","timer":"t1","mode":"NSDefaultRunLoopMode"})"},
          {"set alpha", R"({"t":0.1,"ev":"set","id":"s","prop":"alpha","value":1})"},
          {"set backgroundColor",
           R"({"t":0.1,"ev":"set","id":"s","prop":"backgroundColor","value":[0.92,0.92,0.92,1]})"},
          {"set backgroundColor anim",
           R"({"t":0.2,"ev":"set","id":"v3","prop":"backgroundColor","value":[0,0,1,1],"anim":"a1"})"},
          {"set clipsToBounds", R"({"t":0.1,"ev":"set","id":"l","prop":"clipsToBounds","value":true})"},
          {"set frame", R"({"t":0.1,"ev":"set","id":"v2","prop":"frame","value":[0,0,134,5]})"},
          {"set layer.backgroundColor",
           R"({"t":0.1,"ev":"set","id":"v2","prop":"layer.backgroundColor","value":[0.9647058823529412,0.1411764705882353,0.34901960784313724,1]})"},
          {"set layer.colors", R"({"t":0.1,"ev":"set","id":"v2","prop":"layer.colors","value":[...]})"},
          {"set layer.cornerRadius", R"({"t":0.1,"ev":"set","id":"s","prop":"layer.cornerRadius","value":2.5})"},
          {"set layer.drawsAsynchronously",
           R"({"t":0.1,"ev":"set","id":"v2","prop":"layer.drawsAsynchronously","value":true})"},
          {"set layer.endPoint", R"({"t":0.1,"ev":"set","id":"v2","prop":"layer.endPoint","value":[1,0.5]})"},
          {"set layer.startPoint", R"({"t":0.1,"ev":"set","id":"v2","prop":"layer.startPoint","value":[0,0.5]})"},
          {"set tag", R"({"t":0.1,"ev":"set","id":"v1","prop":"tag","value":7})"},
          {"set translatesAutoresizingMaskIntoConstraints",
           R"({"t":0.1,"ev":"set","id":"v3","prop":"translatesAutoresizingMaskIntoConstraints","value":false})"},
          {"timer", R"({"t":0.1,"ev":"timer","timer":"t1","interval":0.05,"repeats":true})"},
      }));
}

// An end stops the run and its GIF; the tour makes a GIF too.
TEST_F(ProgramTest, PicturesShowTheirInstantInTheirViewAndScale) {
  const auto result = scripted(
      "at 0 pill add a MTStaticColorPillView 40 831 134 5\nat 1 snapshot before.png\nat 1 pill frame a 40 831 10 5\nat "
      "1.5 end\n",
      {"--gif", "g.gif", "--fps", "30", "--png", "at.png", "--at", "1", "--scale", "1"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "");                                          // no progress bar away from a terminal
  EXPECT_EQ(grep(test::traceLines(result.out), " new ").size(), 1u);  // no default pills with a script
  const Image before = test::readPng(dir_ / "before.png"),
              at = test::readPng(dir_ / "at.png");  // the full window by default
  for (const Image* image : {&before, &at}) EXPECT_EQ(std::pair(image->width(), image->height()), std::pair(390, 844));
  EXPECT_TRUE(test::near(before.pixel(105, 833), kStaticGrey, 1));  // a snapshot: the screen as it stands when it runs
  EXPECT_FALSE(test::near(at.pixel(105, 833), kStaticGrey, 30));    // the PNG: after everything due then
  EXPECT_TRUE(test::near(at.pixel(45, 833), kStaticGrey, 1));
  int labelled = 0;  // the pill's class name above its middle, which moved
  for (int y = 815; y < 828; ++y)
    for (int x = 90; x < 160; ++x) labelled += before.pixel(x, y) != at.pixel(x, y);
  EXPECT_GT(labelled, 50);
  const auto gif = test::readGif(dir_ / "g.gif");
  ASSERT_TRUE(gif);
  ASSERT_EQ(gif->frames.size(), 45u);                                 // 0 .. 1.47 s: the run ended at 1.5 s
  EXPECT_EQ(std::pair(gif->width, gif->height), std::pair(390, 45));  // the pills band by default
  int total = 0;
  for (const auto& frame : gif->frames) {
    EXPECT_TRUE(frame.delay == 3 || frame.delay == 4) << frame.delay;
    total += frame.delay;
  }
  EXPECT_EQ(total, 150);  // the delays add up to the exact length at any rate
  const std::size_t middle = (833 - 799) * 390 + 105;
  EXPECT_TRUE(test::near(unpackRgb(gif->frames[29].screen[middle]), kStaticGrey, 1));
  EXPECT_FALSE(
      test::near(unpackRgb(gif->frames[30].screen[middle]), kStaticGrey, 30));  // the frame at 1 s shows what 1 s did

  EXPECT_EQ(sim({"--root", "root", "--png", "band.png", "--view", "pills", "--scale", "2"}).status,
            0);  // at the end of the run
  const Image band = test::readPng(dir_ / "band.png");
  EXPECT_EQ(std::pair(band.width(), band.height()), std::pair(780, 90));
  const auto tour = sim({"--root", "root", "--demo", "--gif", "tour.gif", "--fps", "2", "--scale", "1"});
  EXPECT_EQ(tour.out + tour.err, "auroraribbon-sim: the tour is in tour.gif\n");
  const auto tourGif = test::readGif(dir_ / "tour.gif");
  ASSERT_TRUE(tourGif);
  ASSERT_EQ(tourGif->frames.size(), 40u);                // five styles, four seconds each, at 2 fps
  EXPECT_FALSE(std::filesystem::exists(dir_ / kPrefs));  // the tour removes the file it made
}

// Half way through its first animation (ease in and out) the luma pill shows half way from its first colour to blue.
TEST_F(ProgramTest, APictureShowsABlockAnimationAsItStandsThen) {
  installExtension();
  run("at 0 prefs set enabled bool true\nat 0 prefs set style string none\nat 0 notify\n"
      "at 0.1 pill add l MTLumaDodgePillView 216 831 134 5\nat 1 pill send l animateView\nat 10 end\n",
      {"--png", "luma.png", "--at", "6", "--view", "pills", "--scale", "1"});
  EXPECT_TRUE(test::near(test::readPng(dir_ / "luma.png").pixel(260, 835 - 799),
                         test::rgb(mix({0.9647, 0.1412, 0.349, 1}, {0, 0, 1, 1}, 0.5)), 1));
}

// The live view on a pseudo-terminal, which it gives back on `q` or a signal; bounded waits end at the awaited output.
constexpr std::string_view kTakeScreen = "\x1b[?1049h\x1b[?25l\x1b[?7l",
                           kGiveBack = "\x1b[0m\x1b[?7h\x1b[?25h\x1b[?1049l";

class LiveTerminalTest : public ::testing::Test {
 protected:
  void TearDown() override {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (terminal_ >= 0) ::close(terminal_);
  }

  // Starts the simulator on a 100 x 30 pseudo-terminal with the given environment.
  void start(std::vector<std::string> environment) {
    std::filesystem::create_directory(dir_ / "root");
    winsize size{30, 100, 0, 0};
    pid_ = ::forkpty(&terminal_, nullptr, nullptr, &size);
    ASSERT_GE(pid_, 0);
    if (pid_ == 0) {
      std::vector<char*> env;
      for (auto& e : environment) env.push_back(e.data());
      env.push_back(nullptr);
      ::execle(AURORA_SIM_BINARY, AURORA_SIM_BINARY, "--root", (dir_ / "root").c_str(), static_cast<char*>(nullptr),
               env.data());
      ::_exit(127);
    }
  }

  // Reads until `wanted` has been seen or the output ends; false on time-out.
  bool readUntil(std::string_view wanted) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (output_.find(wanted) == std::string::npos && std::chrono::steady_clock::now() < deadline) {
      pollfd readable{terminal_, POLLIN, 0};
      if (::poll(&readable, 1, 100) <= 0) continue;
      char buffer[4096];
      const ssize_t n = ::read(terminal_, buffer, sizeof buffer);
      if (n <= 0) break;  // the program ended
      output_.append(buffer, static_cast<std::size_t>(n));
    }
    return output_.find(wanted) != std::string::npos;
  }

  // The exit status, or -1 when it did not exit.
  int exitStatus() {
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  aurora::TemporaryDirectory dir_;
  pid_t pid_ = -1;
  int terminal_ = -1;
  std::string output_;
};

TEST_F(LiveTerminalTest, DrawsThePillsAndGivesTheTerminalBackOnQ) {
  start({"TERM=xterm-256color", "COLORTERM=truecolor"});
  ASSERT_TRUE(readUntil("q quits")) << output_;
  EXPECT_EQ(output_.find(kTakeScreen), 0u);
  const std::string text = std::regex_replace(output_, std::regex("\x1b\\[[0-9;?]*[A-Za-z]"), "");
  for (const char* label : {"MTStaticColorPillView", "MTLumaDodgePillView"})
    EXPECT_NE(text.find(label), std::string::npos) << label;
  EXPECT_NE(output_.find("\xe2\x96\x80"), std::string::npos);  // half blocks
  EXPECT_NE(output_.find("\x1b[0m\x1b[2J"), std::string::npos);
  EXPECT_NE(output_.find("\x1b[30;1H"), std::string::npos);  // the status line is the last row
  ASSERT_EQ(::write(terminal_, "q", 1), 1);
  ASSERT_TRUE(readUntil(kGiveBack)) << output_.substr(output_.size() - 200);
  EXPECT_EQ(exitStatus(), 0);
}

TEST_F(LiveTerminalTest, ASignalEndsItWithTheTerminalGivenBack) {
  start({"TERM=xterm-256color", "COLORTERM=24bit"});
  ASSERT_TRUE(readUntil("q quits")) << output_;
  ::kill(pid_, SIGTERM);
  ASSERT_TRUE(readUntil(kGiveBack));
  EXPECT_EQ(exitStatus(), 128 + SIGTERM);
}

}  // namespace
}  // namespace sim
