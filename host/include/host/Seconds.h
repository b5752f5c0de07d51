// Seconds as the simulator takes them from its command line and scenario
// scripts: the whole text or nothing, so a typo is refused rather than half
// read. (Integers and reals: aurora/StrictNumbers.h.) Pure function; any
// thread.
#pragma once

#include <optional>
#include <string_view>

#include "aurora/Time.h"

namespace host {

// A plain decimal number of seconds ("2", "0.25", ".5"), no sign or exponent,
// converted exactly to nanoseconds (rounded to the nearest). Nothing when the
// text is not of that form or does not fit.
std::optional<aurora::Nanoseconds> parseSeconds(std::string_view text);

}  // namespace host
