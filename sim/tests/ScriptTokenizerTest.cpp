// Splitting script lines into tokens: blanks, quotes and escapes.
#include "ScriptTokenizer.h"

#include <gtest/gtest.h>

namespace sim {
namespace {

using Tokens = std::vector<std::string>;

TEST(ScriptTokenizer, SplitsOnBlanks) {
  EXPECT_EQ(tokenizeLine("at 1  pill\tlayout p "), (Tokens{"at", "1", "pill", "layout", "p"}));
  EXPECT_EQ(tokenizeLine("   "), Tokens{});
}

TEST(ScriptTokenizer, QuotedTokensKeepBlanksAndEscapes) {
  EXPECT_EQ(tokenizeLine(R"(raw "a b" "")"), (Tokens{"raw", "a b", ""}));
  EXPECT_EQ(tokenizeLine(R"("say \"hi\"\\" "x\ny")"), (Tokens{R"(say "hi"\)", "x\ny"}));
  EXPECT_EQ(tokenizeLine(R"("\x41\x7a\x00!")"), (Tokens{std::string("Az\0!", 4)}));
  EXPECT_EQ(tokenizeLine(R"("#" x)"), (Tokens{"#", "x"}));
}

TEST(ScriptTokenizer, RefusesBrokenQuoting) {
  for (const char* line : {R"("open)", R"("bad \q")", R"("\x4")", R"("\xZZ")", R"("end\)", R"("a"b)", R"(a"b")"}) {
    EXPECT_THROW(tokenizeLine(line), TokenError) << line;
  }
}

}  // namespace
}  // namespace sim
