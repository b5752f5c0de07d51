#include "ValueText.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <string>

namespace prefs {
namespace {

// from_chars takes a leading minus but no plus; a plus is fine before a digit or point.
std::string_view withoutPlus(std::string_view text) {
  if (text.size() > 1 && text.front() == '+' && text[1] != '-' && text[1] != '+') text.remove_prefix(1);
  return text;
}

template <class Number, class... Format>
std::optional<Number> readAll(std::string_view text, Format... format) {
  Number value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, format...);
  if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

std::optional<bool> parseFlag(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  if (lower == "true" || lower == "yes" || lower == "1") return true;
  if (lower == "false" || lower == "no" || lower == "0") return false;
  return std::nullopt;
}

std::optional<std::int64_t> parseInteger(std::string_view text) { return readAll<std::int64_t>(withoutPlus(text)); }

std::optional<double> parseFiniteNumber(std::string_view text) {
  // from_chars would also take "inf" and "nan"; only digits, points, signs and exponents are numbers here.
  const bool plain = std::all_of(text.begin(), text.end(), [](char c) {
    return (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E';
  });
  if (!plain) return std::nullopt;
  const std::optional<double> value = readAll<double>(withoutPlus(text), std::chars_format::general);
  if (!value || !std::isfinite(*value)) return std::nullopt;
  return value;
}

}  // namespace prefs
