// The readable form `auroraribbon-prefs read` prints, after the `defaults`
// tool's:
//
//   {
//       enabled = 1;
//       fadeColor1 = "#F62459";
//       style = Wave;
//   }
//
// Keys in sorted order, four spaces a level; booleans as 1 and 0; integers in
// decimal; reals in the shortest form that reads back to the same number
// ("0.5", "10", "1e+300", "nan", "inf"); strings and keys in double quotes with
// \" \\ \n \t \r and \ooo escapes unless they are a plain word (a letter or _
// followed by letters, digits, _ or .); arrays as ( a, b ) one item a line;
// dates as "2020-01-02 03:04:05 +0000"; data as {length = 3, bytes = 0x000102};
// archive references as {value = 7}. Pure functions; any thread.
#pragma once

#include <string>

#include "Foundation/NSDictionary.h"

namespace prefs {

std::string describe(const NSDictionary& dictionary);
std::string describe(const PropertyListValue& value);

}  // namespace prefs
