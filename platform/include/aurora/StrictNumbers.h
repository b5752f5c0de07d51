// Strict readers for the numbers people write: scenario scripts, the
// simulator's command line and --set, the settings pane's values. Each reads
// the whole text or gives nothing, so a typo is refused rather than half read.
//
// One rule for every caller: an optional sign, decimal digits and, for a real,
// a point and an exponent ("42", "+7", "-.5", "1e-3"); no blanks, hex, "nan"
// or "inf". A number its type cannot hold is refused, never saturated: an
// integer outside 64 bits, a real whose magnitude rounds to infinity ("1e999")
// or, not being zero, to zero ("1e-400"). A caller that wants the non-finite
// reals names them itself. (The platform's own lenient reading of strings,
// which never fails, is a different job.) Pure functions; any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace aurora {

std::optional<std::int64_t> readInteger(std::string_view text);
std::optional<double> readReal(std::string_view text);

}  // namespace aurora
