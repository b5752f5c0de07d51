// Torn writes: the settings pane's writer rewriting the file in one process
// while another re-reads it; every read sees one whole version.
#include <gtest/gtest.h>

#include "DeviceRootCopy.h"
#include "TornWrites.h"

namespace {

using namespace hardening;

class TornWritesTest : public ::testing::TestWithParam<aurora::PlistFormat> {};

TEST_P(TornWritesTest, EveryReadSeesTheOldFileOrTheNewOneWhole) {
  const TornReport report = runTornWrites({.writes = 100, .format = GetParam(), .wallLimit = std::chrono::seconds(100)}, demoRoot());
  ASSERT_TRUE(report.writer.ok()) << report.writer.describe() << " " << report.writer.output;
  ASSERT_TRUE(report.reader.ok()) << report.reader.describe() << " " << report.reader.output;
  EXPECT_EQ(report.written.writes, 100u);
  EXPECT_GT(report.read.reads, 0u);
  EXPECT_EQ(report.read.torn, 0u);
  EXPECT_EQ(report.read.wentBack, 0u);
  EXPECT_EQ(report.read.whole, report.read.reads);
  EXPECT_TRUE(report.clean());
}

INSTANTIATE_TEST_SUITE_P(BothFormats, TornWritesTest, ::testing::Values(aurora::PlistFormat::Xml, aurora::PlistFormat::Binary),
                         [](const auto& info) { return info.param == aurora::PlistFormat::Xml ? "Xml" : "Binary"; });

}  // namespace
