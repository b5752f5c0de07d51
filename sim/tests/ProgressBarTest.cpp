// The progress bar: one line redrawn in place, only when the percentage moves.
#include "ProgressBar.h"

#include <sstream>

#include <gtest/gtest.h>

namespace sim {
namespace {

TEST(ProgressBar, RedrawsItsLineWhenTheWholePercentageChanges) {
  std::ostringstream out;
  ProgressBar bar(&out, "rendering a.gif", 400);
  bar.update(0);
  bar.update(1);  // 0% still: nothing new
  bar.update(100);
  bar.update(400);
  bar.finish();
  EXPECT_EQ(out.str(),
            "\rrendering a.gif [--------------------]   0%  0/400"
            "\rrendering a.gif [#####---------------]  25%  100/400"
            "\rrendering a.gif [####################] 100%  400/400\n");
}

TEST(ProgressBar, DrawsNothingWithoutAStream) {
  ProgressBar bar(nullptr, "rendering", 10);
  bar.update(5);
  bar.finish();  // and does not crash
  SUCCEED();
}

TEST(ProgressBar, EndsNoLineItNeverBegan) {
  std::ostringstream out;
  ProgressBar(&out, "rendering", 10).finish();
  EXPECT_EQ(out.str(), "");
}

}  // namespace
}  // namespace sim
