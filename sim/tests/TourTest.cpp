// The tour: each style written to the preferences file in turn, on fresh
// pills, and the file put back afterwards.
#include "Tour.h"

#include <gtest/gtest.h>

#include "Foundation/NSDictionary.h"
#include "SimTestSupport.h"
#include "TempDir.h"

namespace sim {
namespace {

using namespace std::chrono_literals;

class TourTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::restartRunLoop();
    test::registerHostPillClassesOnce();
  }
  std::optional<std::string> style() const {
    auto prefs = NSDictionary::fromFile(path_);
    return prefs ? prefs->stringValue("style") : std::nullopt;
  }

  test::TempDir dir_;
  std::filesystem::path path_ = dir_ / "prefs.plist";
  PrefsFile prefs_{path_};
  Scene scene_;
};

TEST_F(TourTest, ShowsEachStyleInTurnOnFreshPillsThenGoesRoundAgain) {
  Tour tour(scene_, prefs_);
  EXPECT_EQ(tour.caption(), "");
  tour.start();
  EXPECT_EQ(style(), "Wave");
  EXPECT_EQ(tour.caption(), "Wave (1/5)");
  const auto prefs = NSDictionary::fromFile(path_);
  EXPECT_EQ(prefs->boolValue("enabled"), true);
  EXPECT_EQ(prefs->doubleValue("fadeSpeed"), 1.5);
  EXPECT_EQ(prefs->doubleValue("breathingSpeed"), 1.5);
  EXPECT_EQ(prefs->doubleValue("specturmAnimationSpeed"), 0.01);
  ASSERT_EQ(scene_.window().subviews().size(), 2u);

  const UIView* firstPill = &scene_.pill("static");
  std::vector<std::string> seen;
  for (auto t = Tour::kSegment; t <= Tour::kLength; t += Tour::kSegment) {
    NSRunLoop::mainRunLoop().runUntil(t);
    seen.push_back(*style());
    EXPECT_EQ(scene_.window().subviews().size(), 2u);
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"Spectrum", "Fade", "Breathing", "Static", "Wave"}));
  EXPECT_EQ(tour.caption(), "Wave (1/5)");
  EXPECT_NE(&scene_.pill("static"), firstPill);  // made afresh
}

TEST_F(TourTest, PutsThePreferencesFileBackAsItFoundIt) {
  const std::string original = "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>style</key><string>Fade</string></dict></plist>";
  dir_.write("prefs.plist", original);
  {
    Tour tour(scene_, prefs_);
    tour.start();
    EXPECT_EQ(style(), "Wave");
  }
  EXPECT_EQ(test::readFile(path_), original);
}

TEST_F(TourTest, RemovesTheFileItMade) {
  {
    Tour tour(scene_, prefs_);
    tour.start();
    EXPECT_TRUE(std::filesystem::exists(path_));
  }
  EXPECT_FALSE(std::filesystem::exists(path_));
}

}  // namespace
}  // namespace sim
