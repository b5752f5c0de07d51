#include "prefs/Describe.h"

#include <fmt/format.h>

#include <cmath>
#include <ctime>

namespace prefs {
namespace {

constexpr int kIndentWidth = 4;
// Seconds from 1970-01-01 to the property-list epoch, 2001-01-01 (UTC).
constexpr double kReferenceDateOffset = 978307200.0;

bool isPlainWord(std::string_view text) {
  const auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; };
  const auto wordChar = [&](char c) { return letter(c) || (c >= '0' && c <= '9') || c == '.'; };
  if (text.empty() || !letter(text.front())) return false;
  for (char c : text) {
    if (!wordChar(c)) return false;
  }
  return true;
}

std::string asText(std::string_view text) {
  if (isPlainWord(text)) return std::string(text);
  std::string out = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        if (byte < 0x20 || byte == 0x7f)
          out += fmt::format("\\{:03o}", byte);
        else
          out += c;
    }
  }
  return out + "\"";
}

std::string dateText(double secondsSinceReferenceDate) {
  const double unixSeconds = std::floor(secondsSinceReferenceDate + kReferenceDateOffset);
  // Casting a double beyond the range of time_t would be undefined.
  const std::time_t seconds = std::abs(unixSeconds) < 1e15 ? static_cast<std::time_t>(unixSeconds) : 0;
  std::tm utc{};
  if (static_cast<double>(seconds) != unixSeconds || ::gmtime_r(&seconds, &utc) == nullptr) {
    return fmt::format("\"{} s after 2001-01-01\"", secondsSinceReferenceDate);
  }
  char text[40];
  std::strftime(text, sizeof text, "\"%Y-%m-%d %H:%M:%S +0000\"", &utc);
  return text;
}

class Describer {
 public:
  std::string value(const PropertyListValue& v, int depth) {
    return std::visit([&](const auto& x) { return of(x, depth); }, v.storage);
  }

  std::string dictionary(const NSDictionary& d, int depth) {
    std::string out = "{\n";
    for (const auto& [key, v] : d.entries())
      out += fmt::format("{}{} = {};\n", indent(depth + 1), asText(key), value(v, depth + 1));
    return out + indent(depth) + "}";
  }

 private:
  static std::string indent(int depth) { return std::string(static_cast<std::size_t>(depth * kIndentWidth), ' '); }

  std::string of(bool flag, int) { return flag ? "1" : "0"; }
  std::string of(std::int64_t integer, int) { return std::to_string(integer); }
  std::string of(std::uint64_t integer, int) { return std::to_string(integer); }
  std::string of(double real, int) { return fmt::format("{}", real); }
  std::string of(const std::string& text, int) { return asText(text); }
  std::string of(const PropertyListDate& date, int) { return dateText(date.secondsSinceReferenceDate); }
  std::string of(const PropertyListData& data, int) {
    std::string hex;
    for (const std::uint8_t byte : data.bytes) hex += fmt::format("{:02x}", byte);
    return fmt::format("{{length = {}, bytes = 0x{}}}", data.bytes.size(), hex);
  }
  std::string of(const PropertyListUID& uid, int) { return fmt::format("{{value = {}}}", uid.value); }
  std::string of(const PropertyListArray& array, int depth) {
    std::string out = "(\n";
    for (std::size_t i = 0; i < array.size(); ++i) {
      out += indent(depth + 1) + value(array[i], depth + 1) + (i + 1 < array.size() ? ",\n" : "\n");
    }
    return out + indent(depth) + ")";
  }
  std::string of(const std::shared_ptr<const NSDictionary>& nested, int depth) { return dictionary(*nested, depth); }
};

}  // namespace

std::string describe(const NSDictionary& dictionary) { return Describer().dictionary(dictionary, 0); }

std::string describe(const PropertyListValue& value) { return Describer().value(value, 0); }

}  // namespace prefs
