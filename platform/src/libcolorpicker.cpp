#include "libcolorpicker.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace aurora {
namespace {

std::optional<int> hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return std::nullopt;
}

// "RRGGBB" or "RGB" to 0..255 components.
std::optional<RGBA> parseHex(std::string_view digits) {
  if (digits.size() != 3 && digits.size() != 6) return std::nullopt;
  const std::size_t width = digits.size() / 3;
  double components[3];
  for (std::size_t i = 0; i < 3; ++i) {
    int value = 0;
    for (std::size_t j = 0; j < width; ++j) {
      const std::optional<int> digit = hexDigit(digits[i * width + j]);
      if (!digit) return std::nullopt;
      value = value * 16 + *digit;
    }
    if (width == 1) value *= 17;  // F -> FF
    components[i] = value / 255.0;
  }
  return RGBA{components[0], components[1], components[2], 1.0};
}

// A plain decimal: optional sign, digits with at most one point, at least one
// digit. Read without the locale.
std::optional<double> parsePlainDecimal(std::string_view text) {
  const bool negative = !text.empty() && text[0] == '-';
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) text.remove_prefix(1);
  const bool digitsOnly =
      std::all_of(text.begin(), text.end(), [](char c) { return (c >= '0' && c <= '9') || c == '.'; });
  const bool hasDigit = std::any_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
  if (!digitsOnly || !hasDigit || std::count(text.begin(), text.end(), '.') > 1) return std::nullopt;
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
  if (error == std::errc::result_out_of_range) {
    // Hundreds of digits: huge when a digit before the point is not zero, else tiny.
    const std::string_view integerPart = text.substr(0, text.find('.'));
    value = integerPart.find_first_not_of('0') != std::string_view::npos ? HUGE_VAL : 0.0;
  } else if (error != std::errc{} || end != text.data() + text.size()) {
    return std::nullopt;
  }
  return negative ? -value : value;
}

}  // namespace

std::optional<RGBA> parseColorString(std::string_view colorString) {
  if (colorString.empty() || colorString[0] != '#') return std::nullopt;
  colorString.remove_prefix(1);
  const std::size_t colon = colorString.find(':');
  std::optional<RGBA> color = parseHex(colorString.substr(0, colon));
  if (!color || colon == std::string_view::npos) return color;
  const std::optional<double> alpha = parsePlainDecimal(colorString.substr(colon + 1));
  if (!alpha) return std::nullopt;
  color->alpha = std::clamp(*alpha, 0.0, 1.0);
  return color;
}

}  // namespace aurora

UIColorRef LCPParseColorString(std::string_view colorString, std::string_view fallback) {
  std::optional<RGBA> color = aurora::parseColorString(colorString);
  if (!color) color = aurora::parseColorString(fallback);
  if (!color) color = RGBA{0, 0, 0, 1};
  return UIColor::colorWithRed(color->red, color->green, color->blue, color->alpha);
}
