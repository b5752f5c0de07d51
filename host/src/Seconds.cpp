#include "host/Seconds.h"

#include <charconv>
#include <cstdint>
#include <limits>

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
  for (char c : whole)
    if (!isDigit(c)) return std::nullopt;
  for (char c : fraction)
    if (!isDigit(c)) return std::nullopt;

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

}  // namespace host
