// libcolorpicker: colour strings as a colour picker saves them, to colours.
//
// Forms, and nothing else: "#RRGGBB" and "#RGB" (hexadecimal, either case),
// each optionally followed by ":ALPHA", a plain finite decimal number
// ("0.75", "1", ".5", "-2"; no exponent, no white space) clamped to 0..1.
// A component is its value / 255.0 ("#RGB" repeats each digit: F -> FF).
// Without a suffix the colour is opaque.
//
//   UIColorRef c = LCPParseColorString("#F62459:0.5", "#2ABB9B");
//
// A colour string that is not of these forms (empty, no "#", bad digits,
// trailing text, a malformed alpha) gives the fallback string's colour; when
// the fallback is malformed too the result is opaque black. So the call always
// returns a colour. Pure function; any thread.
#pragma once

#include <optional>
#include <string_view>

#include "UIKit/UIColor.h"

UIColorRef LCPParseColorString(std::string_view colorString, std::string_view fallback);

namespace aurora {

// The components `colorString` describes, or std::nullopt when it is not of
// the forms above.
std::optional<RGBA> parseColorString(std::string_view colorString);

}  // namespace aurora
