// JSON text for the trace. nlohmann-json builds the values; this prints them
// on one line with every double in the shortest text that reads back to the
// same double (std::to_chars), which nlohmann's own printer does not always
// give (it prints 60.108618238969314 for 60.10861823896931). A double with an
// integral value prints as an integer ("5", not "5.0"): shortest is shortest.
// A number that is not finite prints as null. Strings are escaped by nlohmann;
// bytes that are not UTF-8 become U+FFFD rather than stopping the trace.
// Pure functions; any thread.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace host {

// The shortest round-trip text of `value`, or "null" when it is not finite.
std::string jsonNumber(double value);

// `value` as compact JSON, without a newline.
std::string jsonLine(const nlohmann::ordered_json& value);

}  // namespace host
