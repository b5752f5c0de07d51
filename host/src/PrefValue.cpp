#include "host/PrefValue.h"

#include "host/Numbers.h"

namespace host {

PrefValue inferPrefValue(std::string_view text) {
  if (text == "true") return true;
  if (text == "false") return false;
  if (auto integer = parseInteger(text)) return *integer;
  if (auto real = parseDecimalReal(text)) return *real;
  return std::string(text);
}

}  // namespace host
