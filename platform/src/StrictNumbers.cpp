#include "aurora/StrictNumbers.h"

#include <charconv>

#include "NumberText.h"

namespace aurora {
namespace {

// from_chars reads what the grammar let through (nothing, too, which it
// refuses); it takes a minus but no plus, and reports a value out of range in
// both directions.
template <class Number>
std::optional<Number> readWhole(std::string_view text, std::size_t grammarLength) {
  if (grammarLength != text.size()) return std::nullopt;
  if (text.starts_with('+')) text.remove_prefix(1);
  Number value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

std::optional<std::int64_t> readInteger(std::string_view text) {
  return readWhole<std::int64_t>(text, number::integerPrefixLength(text));
}

std::optional<double> readReal(std::string_view text) {
  return readWhole<double>(text, number::decimalPrefixLength(text));
}

}  // namespace aurora
