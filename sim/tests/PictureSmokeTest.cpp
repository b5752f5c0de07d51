// The built auroraribbon-sim writing pictures as a user asks for them: PNG
// snapshots, GIFs, the tour when standard output is not a terminal, a real
// wave's hues, and every refusal.
#include <cmath>

#include <gtest/gtest.h>

#include "GifReader.h"
#include "PictureTestSupport.h"
#include "Program.h"
#include "TempDir.h"
#include "UIKit/UIColor.h"

namespace sim {
namespace {

class PictureSmokeTest : public ::testing::Test {
 protected:
  void SetUp() override { std::filesystem::create_directory(root_); }

  test::ProgramResult sim(std::vector<std::string> args) const {
    args.insert(args.begin(), {AURORA_SIM_BINARY, "--root", root_.string()});
    return test::runProgram(args, dir_.path());
  }
  // The demo root's extension and master switch in this test's root (only
  // those: the demo root may also hold other runs' notification sockets).
  void installExtension() const {
    const std::filesystem::path demo = AURORA_DEMO_ROOT, prefs = "var/mobile/Library/Preferences";
    std::filesystem::copy(demo / "Library", root_ / "Library", std::filesystem::copy_options::recursive);
    std::filesystem::create_directories(root_ / prefs);
    std::filesystem::copy(demo / prefs / "com.quillmoren.auroraribbonpref.plist", root_ / prefs);
  }

  test::TempDir dir_;  // the working directory
  std::filesystem::path root_ = dir_ / "root";
};

TEST_F(PictureSmokeTest, APngIsTheFullWindowAtThreePixelsAPointByDefault) {
  const auto result = sim({"--png", "shot.png", "--at", "0.5", "--duration", "1"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "");
  const test::PngPicture png(dir_ / "shot.png");
  ASSERT_TRUE(png.ok());
  EXPECT_EQ(png.width(), 1170);
  EXPECT_EQ(png.height(), 2532);
  EXPECT_TRUE(test::near(png.pixel(107 * 3, 833 * 3), {235, 235, 235}, 1));  // the host's light static pill
}

TEST_F(PictureSmokeTest, APngOfThePillsBandAtAnotherScale) {
  EXPECT_EQ(sim({"--png", "band.png", "--view", "pills", "--scale", "2"}).status, 0);  // at the end of the run
  const test::PngPicture png(dir_ / "band.png");
  ASSERT_TRUE(png.ok());
  EXPECT_EQ(std::pair(png.width(), png.height()), std::pair(780, 90));
}

TEST_F(PictureSmokeTest, AGifHasDurationTimesFpsFramesAndLoops) {
  const auto result = sim({"--gif", "run.gif", "--fps", "10", "--duration", "2"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.err, "");  // no progress bar away from a terminal
  const auto gif = test::readGif(dir_ / "run.gif");
  ASSERT_TRUE(gif);
  EXPECT_EQ(gif->frames.size(), 20u);
  EXPECT_EQ(gif->loopCount, 0);
  EXPECT_EQ(std::pair(gif->width, gif->height), std::pair(1170, 135));  // the pills band by default
}

TEST_F(PictureSmokeTest, TheTourAwayFromATerminalWritesAGifAndSaysWhere) {
  const auto result = sim({"--demo", "--gif", "tour.gif", "--fps", "5"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "auroraribbon-sim: the tour is in tour.gif\n");
  const auto gif = test::readGif(dir_ / "tour.gif");
  ASSERT_TRUE(gif);
  EXPECT_EQ(gif->frames.size(), 100u);  // five styles, four seconds each, at 5 fps
  EXPECT_FALSE(std::filesystem::exists(root_ / "var/mobile/Library/Preferences/com.quillmoren.auroraribbonpref.plist"));
}

TEST_F(PictureSmokeTest, AScenarioSnapshotWritesAPng) {
  dir_.write("shot.txt", "at 0 pill add p MTLumaDodgePillView 100 100 50 10\nat 1 snapshot shot.png\n");
  const auto result = sim({"--script", "shot.txt", "--scale", "1"});
  EXPECT_EQ(result.status, 0) << result.err;
  const test::PngPicture png(dir_ / "shot.png");
  ASSERT_TRUE(png.ok());
  EXPECT_EQ(std::pair(png.width(), png.height()), std::pair(390, 844));
  EXPECT_TRUE(test::near(png.pixel(125, 105), {217, 217, 217}, 1));  // the luma pill's grey
}

TEST_F(PictureSmokeTest, AWavesEndColumnsShowTheHuesThePaletteHasTurnedTo) {
  installExtension();
  const auto result = sim({"--style", "Wave", "--png", "wave.png", "--at", "1.01", "--duration", "2", "--view", "pills"});
  ASSERT_EQ(result.status, 0) << result.err;
  const test::PngPicture png(dir_ / "wave.png");
  ASSERT_TRUE(png.ok());
  // By 1.01 s the wave has turned its 361-hue palette 21 times to the right
  // (once at start, then every 0.05 s): the gradient shows hues 340 .. 360, 0 .. 38.
  const auto hue = [](int degrees) { return UIColor::colorWithHue(degrees / 360.0, 1, 1, 1)->components(); };
  const auto shown = [&](int stop) { return hue((340 + stop) % 361); };
  // The static pill's colour view spans x 40 .. 174; sample the pixels centred
  // on its round caps' centres (42.5 and 171.5), where it is fully opaque.
  const auto expected = [&](double x) {
    const double position = (x - 40) / 134 * 59;
    const int i = static_cast<int>(position);
    const RGBA c = mix(shown(i), shown(i + 1), position - i);
    return Rgb{test::byte(c.red), test::byte(c.green), test::byte(c.blue)};
  };
  const int row = (833 - 799) * 3 + 1;  // the pill's middle row in the band
  for (const double x : {42.5, 171.5}) {
    EXPECT_TRUE(test::near(png.pixel(static_cast<int>(x * 3), row), expected(x), 3)) << x;
  }
}

TEST_F(PictureSmokeTest, BadPictureOptionsAreRefusedWithStatus2) {
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"--png", "a.png", "--at", "11"},                       // after the default 10 s
           {"--png", "a.png", "--at", "3", "--duration", "2"},
           {"--at", "1"},                                          // no --png
           {"--gif", "a.gif", "--fps", "0"},
           {"--gif", "a.gif", "--fps", "51"},
           {"--gif", "a.gif", "--fps", "ten"},
           {"--fps", "10"},                                        // no GIF to time
           {"--png", "a.png", "--scale", "0"},
           {"--png", "a.png", "--scale", "9"},
           {"--png", "a.png", "--view", "half"},
           {"--png", "a.png", "--clock", "real"},
           {"--demo", "--script", "s.txt"}}) {
    const auto result = sim(args);
    EXPECT_EQ(result.status, 2) << args[0] << " " << args[1] << ": " << result.err;
    EXPECT_NE(result.err.find("auroraribbon-sim: "), std::string::npos);
  }
  const auto late = sim({"--png", "a.png", "--at", "3", "--duration", "2"});
  EXPECT_EQ(late.err, "auroraribbon-sim: --at 3 s is after the end of the run at 2 s (give a longer --duration)\n");
  EXPECT_FALSE(std::filesystem::exists(dir_ / "a.png"));
}

TEST_F(PictureSmokeTest, AFileThatCannotBeWrittenIsStatus1) {
  const auto png = sim({"--png", "missing/a.png", "--duration", "0"});
  EXPECT_EQ(png.status, 1);
  EXPECT_NE(png.err.find("cannot write the PNG \"missing/a.png\""), std::string::npos) << png.err;
  const auto gif = sim({"--gif", "missing/a.gif", "--duration", "0"});
  EXPECT_EQ(gif.status, 1);
  EXPECT_NE(gif.err.find("cannot write the GIF \"missing/a.gif\": No such file or directory"), std::string::npos) << gif.err;
}

}  // namespace
}  // namespace sim
