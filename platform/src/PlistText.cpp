// What text a property list can hold so that every reader reads it back: the
// XML form is the narrowest, and a file written in binary may be rewritten in
// XML by the next writer.
#include <cstdio>

#include "aurora/PreferencesFile.h"

namespace aurora {

std::optional<std::string> unreadableText(std::string_view text) {
  constexpr char32_t kLeast[] = {0, 0x80, 0x800, 0x10000};  // by length; below: an overlong form
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = lead < 0x80   ? 1
                               : lead < 0xC2 ? 0
                               : lead < 0xE0 ? 2
                               : lead < 0xF0 ? 3
                               : lead < 0xF5 ? 4
                                             : 0;
    if (length == 0 || text.size() - i < length) return "is not UTF-8";
    char32_t c = length == 1 ? lead : lead & (0x7Fu >> length);
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return "is not UTF-8";
      c = (c << 6) | (next & 0x3F);
    }
    if (c < kLeast[length - 1] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return "is not UTF-8";
    if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0xFFFE || c == 0xFFFF) {
      char why[48];
      std::snprintf(why, sizeof why, "holds U+%04X, which XML cannot carry", static_cast<unsigned>(c));
      return why;
    }
    i += length;
  }
  return std::nullopt;
}

}  // namespace aurora
