// Reading the VALUE of `write KEY -TYPE VALUE` strictly: the whole text or
// nothing, so a typo is refused rather than half read. Pure functions; any
// thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace prefs {

// true, false, yes, no (any case), 1 or 0.
std::optional<bool> parseFlag(std::string_view text);
// A decimal integer with an optional sign that fits in 64 bits.
std::optional<std::int64_t> parseInteger(std::string_view text);
// A finite decimal number with an optional sign and exponent ("0.5", "-2",
// "1e-3", ".5"); no hex, nan or infinity, nothing out of range.
std::optional<double> parseFiniteNumber(std::string_view text);

}  // namespace prefs
