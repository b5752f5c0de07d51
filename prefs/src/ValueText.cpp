#include "ValueText.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace prefs {

std::optional<bool> parseFlag(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  if (lower == "true" || lower == "yes" || lower == "1") return true;
  if (lower == "false" || lower == "no" || lower == "0") return false;
  return std::nullopt;
}

}  // namespace prefs
