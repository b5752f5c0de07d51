// Splits one line of a scenario script into tokens. Tokens are separated by
// blanks; a token that starts with a double quote runs to the closing quote
// and may hold blanks and the escapes \" \\ \n and \xHH (two hex digits).
// Pure functions; any thread.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace host {

// Why a line cannot be split (the caller adds the file and line).
class TokenError : public std::runtime_error {
  using std::runtime_error::runtime_error;
};

std::vector<std::string> tokenizeLine(std::string_view line);

}  // namespace host
