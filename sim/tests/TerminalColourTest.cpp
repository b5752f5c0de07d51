// When the live view may draw: the terminal's word for 24-bit colour.
#include "TerminalColour.h"

#include <gtest/gtest.h>

namespace sim {
namespace {

bool allowed(const char* term, const char* colorterm, const char* tmux = nullptr) {
  return !liveViewRefusal({term, colorterm, tmux}).has_value();
}

TEST(TerminalColour, ANamelessOrDumbTerminalIsRefusedWithTheWayOut) {
  for (const char* term : {static_cast<const char*>(nullptr), "", "dumb"}) {
    const auto why = liveViewRefusal({term, "truecolor", nullptr});
    ASSERT_TRUE(why) << (term ? term : "(unset)");
    EXPECT_NE(why->find("--png FILE or --gif FILE"), std::string::npos) << *why;
  }
  EXPECT_NE(liveViewRefusal({nullptr, nullptr, nullptr})->find("TERM is not set"), std::string::npos);
  EXPECT_NE(liveViewRefusal({"dumb", nullptr, nullptr})->find("TERM is dumb"), std::string::npos);
}

TEST(TerminalColour, TrueColourAnnouncedByColortermTmuxOrTheTerminalsName) {
  EXPECT_TRUE(allowed("xterm-256color", "truecolor"));
  EXPECT_TRUE(allowed("xterm-256color", "24bit"));
  EXPECT_TRUE(allowed("tmux-256color", nullptr, "/tmp/tmux-0/default,1,0"));
  EXPECT_TRUE(allowed("xterm-direct", nullptr));
  EXPECT_TRUE(allowed("konsole-truecolor", ""));
}

TEST(TerminalColour, AnyOtherTerminalIsToldHowToSayItHasIt) {
  EXPECT_FALSE(allowed("xterm-256color", nullptr));
  EXPECT_FALSE(allowed("linux", "yes"));
  EXPECT_FALSE(allowed("screen", "", ""));
  EXPECT_NE(liveViewRefusal({"xterm", nullptr, nullptr})->find("COLORTERM=truecolor"), std::string::npos);
}

}  // namespace
}  // namespace sim
