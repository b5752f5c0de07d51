#include "NumberText.h"

#include <locale.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace aurora::number {
namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view skipSpace(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && isSpace(text[i])) ++i;
  return text.substr(i);
}

std::size_t skipDigits(std::string_view text, std::size_t i) {
  while (i < text.size() && isDigit(text[i])) ++i;
  return i;
}

std::size_t signLength(std::string_view text) { return (!text.empty() && (text[0] == '+' || text[0] == '-')) ? 1 : 0; }

locale_t cLocale() {
  static const locale_t locale = ::newlocale(LC_ALL_MASK, "C", locale_t{});
  return locale;
}

}  // namespace

std::size_t integerPrefixLength(std::string_view text) {
  const std::size_t start = signLength(text);
  const std::size_t end = skipDigits(text, start);
  return end > start ? end : 0;
}

std::size_t decimalPrefixLength(std::string_view text) {
  std::size_t i = signLength(text);
  const std::size_t integerStart = i;
  i = skipDigits(text, i);
  std::size_t mantissaDigits = i - integerStart;
  if (i < text.size() && text[i] == '.') {
    const std::size_t fractionStart = i + 1;
    const std::size_t fractionEnd = skipDigits(text, fractionStart);
    mantissaDigits += fractionEnd - fractionStart;
    i = fractionEnd;
  }
  if (mantissaDigits == 0) return 0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
    const std::size_t exponentEnd = skipDigits(text, j);
    if (exponentEnd > j) i = exponentEnd;
  }
  return i;
}

bool flagFromText(std::string_view text) {
  text = skipSpace(text);
  std::size_t i = signLength(text);
  while (i < text.size() && text[i] == '0') ++i;
  if (i == text.size()) return false;
  const char c = text[i];
  return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
}

double doubleFromText(std::string_view text) {
  text = skipSpace(text);
  const std::size_t length = decimalPrefixLength(text);
  if (length == 0) return 0.0;
  // The prefix holds only a decimal number, so strtod in the C locale reads
  // all of it, with ±HUGE_VAL (infinity) on overflow.
  const std::string prefix(text.substr(0, length));
  return ::strtod_l(prefix.c_str(), nullptr, cLocale());
}

std::int64_t integerFromText(std::string_view text) {
  text = skipSpace(text);
  const bool negative = !text.empty() && text[0] == '-';
  std::size_t i = signLength(text);
  // Accumulated as a negative number, whose range is one larger.
  constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
  std::int64_t value = 0;
  for (; i < text.size() && isDigit(text[i]); ++i) {
    const int digit = text[i] - '0';
    if (value < (kMin + digit) / 10) return negative ? kMin : std::numeric_limits<std::int64_t>::max();
    value = value * 10 - digit;
  }
  if (negative) return value;
  return value == kMin ? std::numeric_limits<std::int64_t>::max() : -value;
}

float saturatingFloat(double value) {
  constexpr double kFloatMax = std::numeric_limits<float>::max();
  // Values from FLT_MAX up to half a float ulp above it round to FLT_MAX under
  // IEEE rounding; from there on they round to infinity.
  constexpr double kRoundsToInfinity = 0x1.ffffffp127;
  if (std::isnan(value) || std::fabs(value) <= kFloatMax) return static_cast<float>(value);
  const float magnitude =
      std::fabs(value) < kRoundsToInfinity ? std::numeric_limits<float>::max() : std::numeric_limits<float>::infinity();
  return std::signbit(value) ? -magnitude : magnitude;
}

std::int64_t saturatingInteger(double value) {
  if (std::isnan(value)) return 0;
  // 2^63 is exact in a double; everything at or beyond it saturates.
  constexpr double kLimit = 9223372036854775808.0;
  if (value >= kLimit) return std::numeric_limits<std::int64_t>::max();
  if (value <= -kLimit) return std::numeric_limits<std::int64_t>::min();
  return static_cast<std::int64_t>(value);
}

std::string describeReal(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%0.16g", value);
  return text;
}

}  // namespace aurora::number
