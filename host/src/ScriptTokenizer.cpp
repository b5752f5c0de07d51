#include "ScriptTokenizer.h"

#include <fmt/format.h>

namespace host {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads a quoted token whose opening quote is at `i`; leaves `i` after the closing one.
std::string readQuoted(std::string_view line, std::size_t& i) {
  std::string token;
  for (++i; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '"') {
      ++i;
      if (i < line.size() && !isBlank(line[i])) throw TokenError("text right after a closing quote");
      return token;
    }
    if (c != '\\') {
      token += c;
      continue;
    }
    if (++i == line.size()) break;
    switch (line[i]) {
      case '"':
        token += '"';
        break;
      case '\\':
        token += '\\';
        break;
      case 'n':
        token += '\n';
        break;
      case 'x': {
        const int high = i + 1 < line.size() ? hexDigit(line[i + 1]) : -1;
        const int low = i + 2 < line.size() ? hexDigit(line[i + 2]) : -1;
        if (high < 0 || low < 0) throw TokenError("\\x needs two hex digits");
        token += static_cast<char>(high * 16 + low);
        i += 2;
        break;
      }
      default:
        throw TokenError(fmt::format("unknown escape \\{}", line[i]));
    }
  }
  throw TokenError("a quote that is never closed");
}

}  // namespace

std::vector<std::string> tokenizeLine(std::string_view line) {
  std::vector<std::string> tokens;
  std::size_t i = 0;
  while (true) {
    while (i < line.size() && isBlank(line[i])) ++i;
    if (i == line.size()) return tokens;
    if (line[i] == '"') {
      tokens.push_back(readQuoted(line, i));
      continue;
    }
    const std::size_t start = i;
    while (i < line.size() && !isBlank(line[i])) {
      if (line[i] == '"') throw TokenError("a quote inside a word (quote the whole token)");
      ++i;
    }
    tokens.emplace_back(line.substr(start, i - start));
  }
}

}  // namespace host
