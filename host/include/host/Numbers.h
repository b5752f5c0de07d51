// Strict readers for the numbers the simulator takes from its command line and
// from scenario scripts. Each reads the whole text or gives nothing, so a typo
// is refused rather than half read. Pure functions; any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "aurora/Time.h"

namespace host {

// A plain decimal number of seconds ("2", "0.25", ".5"), no sign or exponent,
// converted exactly to nanoseconds (rounded to the nearest). Nothing when the
// text is not of that form or does not fit.
std::optional<aurora::Nanoseconds> parseSeconds(std::string_view text);

// A decimal integer with an optional sign that fits in 64 bits.
std::optional<std::int64_t> parseInteger(std::string_view text);

// Anything strtod reads in full, "nan" and "inf" included; no leading blanks.
std::optional<double> parseReal(std::string_view text);

// A real written in decimal ("1.5", "-2", "3e-2"): no nan, inf or hex forms.
std::optional<double> parseDecimalReal(std::string_view text);

}  // namespace host
