#include <limits>
#include <string>
#include <type_traits>

#include "Foundation/NSDictionary.h"
#include "NumberText.h"

namespace {

template <class T>
constexpr bool kIsNumber =
    std::is_same_v<T, std::int64_t> || std::is_same_v<T, std::uint64_t> || std::is_same_v<T, double>;

}  // namespace

std::optional<bool> PropertyListValue::boolValue() const {
  return std::visit(
      [](const auto& v) -> std::optional<bool> {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, bool>)
          return v;
        else if constexpr (kIsNumber<T>)
          return v != 0;  // NaN != 0 holds: YES
        else if constexpr (std::is_same_v<T, std::string>)
          return aurora::number::flagFromText(v);
        else
          return std::nullopt;
      },
      storage);
}

std::optional<std::string> PropertyListValue::stringValue() const {
  return std::visit(
      [](const auto& v) -> std::optional<std::string> {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, bool>)
          return v ? "1" : "0";
        else if constexpr (std::is_same_v<T, std::int64_t> || std::is_same_v<T, std::uint64_t>)
          return std::to_string(v);
        else if constexpr (std::is_same_v<T, double>)
          return aurora::number::describeReal(v);
        else if constexpr (std::is_same_v<T, std::string>)
          return v;
        else
          return std::nullopt;
      },
      storage);
}

std::optional<double> PropertyListValue::doubleValue() const {
  return std::visit(
      [](const auto& v) -> std::optional<double> {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, bool>)
          return v ? 1.0 : 0.0;
        else if constexpr (kIsNumber<T>)
          return static_cast<double>(v);
        else if constexpr (std::is_same_v<T, std::string>)
          return aurora::number::doubleFromText(v);
        else
          return std::nullopt;
      },
      storage);
}

std::optional<float> PropertyListValue::floatValue() const {
  const std::optional<double> value = doubleValue();
  if (!value) return std::nullopt;
  return aurora::number::saturatingFloat(*value);
}

std::optional<std::int64_t> PropertyListValue::integerValue() const {
  return std::visit(
      [](const auto& v) -> std::optional<std::int64_t> {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, bool>)
          return v ? 1 : 0;
        else if constexpr (std::is_same_v<T, std::int64_t>)
          return v;
        else if constexpr (std::is_same_v<T, std::uint64_t>)
          return std::numeric_limits<std::int64_t>::max();
        else if constexpr (std::is_same_v<T, double>)
          return aurora::number::saturatingInteger(v);
        else if constexpr (std::is_same_v<T, std::string>)
          return aurora::number::integerFromText(v);
        else
          return std::nullopt;
      },
      storage);
}
