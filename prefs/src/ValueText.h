// Reading the VALUE of `write KEY -bool VALUE` strictly: the whole text or
// nothing, so a typo is refused rather than half read. (Integers and reals:
// aurora/StrictNumbers.h.) Pure function; any thread.
#pragma once

#include <optional>
#include <string_view>

namespace prefs {

// true, false, yes, no (any case), 1 or 0.
std::optional<bool> parseFlag(std::string_view text);

}  // namespace prefs
