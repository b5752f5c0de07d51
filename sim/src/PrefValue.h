// One value for the preferences file, as the settings pane writes it: a flag,
// a 64-bit integer, a real or a string; and how `--set KEY=VALUE` guesses
// which of them a bare value is. Plain values; any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

namespace sim {

using PrefValue = std::variant<bool, std::int64_t, double, std::string>;

struct PrefEntry {
  std::string key;
  PrefValue value;
  friend bool operator==(const PrefEntry&, const PrefEntry&) = default;
};

// "true"/"false" give a flag, a decimal integer an integer, a decimal real
// ("0.5", "1e3") a real; anything else, "nan" and "inf" included, stays text.
PrefValue inferPrefValue(std::string_view text);

}  // namespace sim
