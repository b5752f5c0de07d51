// The strict number readers: one table of texts, each with what it reads as an integer and as a real.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>

#include "aurora/StrictNumbers.h"

namespace aurora {
namespace {

struct Case {
  const char* text = "";
  std::optional<std::int64_t> integer = std::nullopt;
  std::optional<double> real = std::nullopt;
};

constexpr std::int64_t kMost = std::numeric_limits<std::int64_t>::max(),
                       kLeast = std::numeric_limits<std::int64_t>::min();

// A text both read, or only the real reader reads.
Case both(const char* text, std::int64_t n) { return {text, n, static_cast<double>(n)}; }
Case real(const char* text, double x) { return {text, std::nullopt, x}; }

const Case kCases[] = {
    // Signs.
    both("0", 0), both("42", 42), both("+7", 7), both("-7", -7),
    // Overflow: refused (below), never saturated or infinite.
    both("9223372036854775807", kMost), both("-9223372036854775808", kLeast),
    real("9223372036854775808", 9223372036854775808.0), real("-9223372036854775809", -9223372036854775809.0),
    real("1e308", 1e308),
    // Underflow: a number that is not zero never reads as zero; a subnormal is kept.
    real("4e-320", 4e-320), real("0e999", 0.0),
    // Points and exponents.
    real(".5", 0.5), real("-.5", -0.5), real("3.", 3.0), real("0.1", 0.1), real("1.0", 1.0), real("-1e3", -1000.0),
    real("+1e-3", 1e-3), real("2.5E+2", 250.0)};

// Texts neither reads: bad signs, overflow, a number that is not zero read as zero, bad points and exponents,
// infinity, nan and other spellings, blanks and nothing.
const char* const kRefused[] = {"+-1", "++1",   "--1", "1e999", "-1e999", "1.8e308",   "1e-400", "1e",   "1e+",
                                ".",   "1.2.3", "1,5", "inf",   "-inf",   "-infinity", "nan",    "0x10", "1.5f",
                                "12a", "abc",   "",    "+",     "-",      " 1",        "1 ",     "\t1",  "1\n"};

TEST(StrictNumbers, ReadTheWholeTextWithinRangeOrNothing) {
  for (const Case& c : kCases) {
    EXPECT_EQ(readInteger(c.text), c.integer) << '"' << c.text << '"';
    EXPECT_EQ(readReal(c.text), c.real) << '"' << c.text << '"';
  }
  for (const char* text : kRefused) {
    EXPECT_EQ(readInteger(text), std::nullopt) << '"' << text << '"';
    EXPECT_EQ(readReal(text), std::nullopt) << '"' << text << '"';
  }
}

}  // namespace
}  // namespace aurora
