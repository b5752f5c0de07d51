#include "JsonLine.h"

#include <charconv>
#include <cmath>

namespace host {
namespace {

void append(std::string& out, const nlohmann::ordered_json& value);

void appendString(std::string& out, const std::string& text) {
  out += nlohmann::ordered_json(text).dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

void append(std::string& out, const nlohmann::ordered_json& value) {
  using Type = nlohmann::ordered_json::value_t;
  switch (value.type()) {
    case Type::number_float:
      out += jsonNumber(value.get<double>());
      return;
    case Type::string:
      appendString(out, value.get_ref<const std::string&>());
      return;
    case Type::array: {
      out += '[';
      const char* separator = "";
      for (const auto& item : value) {
        out += std::exchange(separator, ",");
        append(out, item);
      }
      out += ']';
      return;
    }
    case Type::object: {
      out += '{';
      const char* separator = "";
      for (const auto& [key, item] : value.items()) {
        out += std::exchange(separator, ",");
        appendString(out, key);
        out += ':';
        append(out, item);
      }
      out += '}';
      return;
    }
    default:
      out += value.dump();
      return;  // null, booleans, integers
  }
}

}  // namespace

std::string jsonNumber(double value) {
  if (!std::isfinite(value)) return "null";
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

std::string jsonLine(const nlohmann::ordered_json& value) {
  std::string out;
  append(out, value);
  return out;
}

}  // namespace host
