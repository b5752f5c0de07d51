#include "host/Numbers.h"

#include <cctype>
#include <charconv>
#include <cstdlib>
#include <limits>
#include <string>

namespace host {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::optional<aurora::Nanoseconds> parseSeconds(std::string_view text) {
  constexpr std::int64_t kPerSecond = 1'000'000'000;
  const std::size_t point = text.find('.');
  const std::string_view whole = text.substr(0, point);
  const std::string_view fraction = point == std::string_view::npos ? std::string_view{} : text.substr(point + 1);
  if (whole.empty() && fraction.empty()) return std::nullopt;
  for (char c : whole) if (!isDigit(c)) return std::nullopt;
  for (char c : fraction) if (!isDigit(c)) return std::nullopt;

  std::int64_t seconds = 0;
  if (!whole.empty()) {
    auto [end, error] = std::from_chars(whole.data(), whole.data() + whole.size(), seconds);
    if (error != std::errc{} || end != whole.data() + whole.size()) return std::nullopt;
  }
  // Nine digits give the nanoseconds; the tenth rounds them.
  std::int64_t nanos = 0;
  for (std::size_t i = 0; i < 9; ++i) nanos = nanos * 10 + (i < fraction.size() ? fraction[i] - '0' : 0);
  if (fraction.size() > 9 && fraction[9] >= '5') ++nanos;
  if (seconds > (std::numeric_limits<std::int64_t>::max() - nanos) / kPerSecond) return std::nullopt;
  return aurora::Nanoseconds{seconds * kPerSecond + nanos};
}

std::optional<std::int64_t> parseInteger(std::string_view text) {
  // from_chars takes a minus but not a plus.
  if (!text.empty() && text.front() == '+') {
    text.remove_prefix(1);
    if (text.empty() || !isDigit(text.front())) return std::nullopt;
  }
  std::int64_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<double> parseReal(std::string_view text) {
  if (text.empty() || std::isspace(static_cast<unsigned char>(text.front()))) return std::nullopt;
  const std::string copy(text);  // strtod needs a terminated string
  char* end = nullptr;
  const double value = std::strtod(copy.c_str(), &end);
  if (end != copy.c_str() + copy.size()) return std::nullopt;
  return value;
}

std::optional<double> parseDecimalReal(std::string_view text) {
  std::size_t i = 0;
  auto digits = [&] {
    const std::size_t start = i;
    while (i < text.size() && isDigit(text[i])) ++i;
    return i - start;
  };
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  std::size_t mantissa = digits();
  if (i < text.size() && text[i] == '.') {
    ++i;
    mantissa += digits();
  }
  if (mantissa == 0) return std::nullopt;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    if (digits() == 0) return std::nullopt;
  }
  if (i != text.size()) return std::nullopt;
  return parseReal(text);
}

}  // namespace host
