// Numbers to and from text the way the platform's NSString and NSNumber do it:
// leading-prefix parsing that never fails, and saturating conversions where
// the C++ ones would be undefined. Pure functions; any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace aurora::number {

// The grammar both the lenient readers here and the strict ones
// (aurora/StrictNumbers.h) follow: the length of the longest prefix of the
// form "[sign] digits" (integer) or "[sign] digits [. digits] [e [sign]
// digits]" with at least one mantissa digit (decimal); 0 when there is none.
std::size_t integerPrefixLength(std::string_view text);
std::size_t decimalPrefixLength(std::string_view text);

// NSString boolValue: white space, an optional sign and zeros skipped, then
// Y, y, T, t or 1-9.
bool flagFromText(std::string_view text);
// NSString doubleValue: the longest decimal prefix after white space; 0.0 when
// there is none, ±infinity on overflow.
double doubleFromText(std::string_view text);
// NSString longLongValue: the longest decimal integer prefix after white space,
// saturating at the int64 limits; 0 when there is none.
std::int64_t integerFromText(std::string_view text);

// A double narrowed to float, ±infinity beyond the float range, NaN kept.
float saturatingFloat(double value);
// A double truncated towards zero, saturating at the int64 limits; NaN gives 0.
std::int64_t saturatingInteger(double value);

// NSNumber's description of a double: "%0.16g".
std::string describeReal(double value);

}  // namespace aurora::number
