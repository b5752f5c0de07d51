#include "host/InferredValue.h"

#include "aurora/StrictNumbers.h"

namespace host {

aurora::PreferenceValue inferPreferenceValue(std::string_view text) {
  if (text == "true") return true;
  if (text == "false") return false;
  if (auto integer = aurora::readInteger(text)) return *integer;
  if (auto real = aurora::readReal(text)) return *real;
  return std::string(text);
}

}  // namespace host
