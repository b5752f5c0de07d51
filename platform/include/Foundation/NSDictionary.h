// NSDictionary: an immutable property-list dictionary, read from a file in XML
// or binary form (told apart by content), and its values read the way the
// platform's NSString and NSNumber read them.
//
//   auto prefs = NSDictionary::dictionaryWithContentsOfFile("/var/mobile/Library/Preferences/x.plist");
//   if (prefs) {
//     if (std::optional<float> speed = prefs->floatValue("speed")) ...
//   }
//
// Promises:
// - A file that is missing, unreadable, not a regular file, larger than 1 MiB,
//   not a property list, or whose root is not a dictionary reads as nullptr;
//   so does one nested deeper than kMaxDepth, holding more than kMaxValues
//   values once shared references are expanded, or holding a NUL character in
//   a string or key. Nothing here throws or stops the process, whatever the
//   bytes.
// - A typed read gives std::nullopt when the key is absent or its value cannot
//   be read as that type (dates, data, arrays and dictionaries read as nothing
//   but themselves). The rules, as the platform has them:
//   * bool: a boolean is itself; a number is YES when not zero (NaN too); a
//     string skips leading ASCII white space, an optional sign and zeros, and
//     is YES when it then starts with Y, y, T, t or a digit 1-9.
//   * string: a string is itself; an integer its decimal form; a real "%0.16g";
//     a boolean "1" or "0".
//   * double: a number is its value (a boolean 1 or 0); a string skips leading
//     ASCII white space and reads the longest decimal number prefix, not
//     localised ("inf", "nan" and hex are not numbers): 0.0 when there is none,
//     ±infinity on overflow.
//   * float: the double narrowed to 32 bits, saturating: beyond the float range
//     it gives ±infinity instead of the undefined C++ conversion; NaN stays NaN.
//   * integer: signed 64-bit. A real is truncated towards zero and saturates at
//     the int64 limits (NaN gives 0); a string reads its longest decimal integer
//     prefix the same way, saturating.
// - Integers are signed 64-bit. A file may also hold an unsigned integer above
//   INT64_MAX (binary plists can): it keeps its value for string, double, float
//   and bool reads and saturates to INT64_MAX as an integer.
//
// Values are a plain C++ tree that owns everything it holds; nothing of the
// parser outlives a read, so the same tree can later be written back.
//
// Ownership: dictionaries are shared immutable values (std::shared_ptr<const>).
// Threads: any; a dictionary may be read from several threads at once. The
// traced read reports to the PlatformObserver from the calling thread, which
// for the extension is the main thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

class NSDictionary;

struct PropertyListDate {
  double secondsSinceReferenceDate;  // since 2001-01-01 00:00:00 UTC
};

struct PropertyListData {
  std::vector<std::uint8_t> bytes;
};

// A keyed archive's object reference.
struct PropertyListUID {
  std::uint64_t value;
};

struct PropertyListValue;
using PropertyListArray = std::vector<PropertyListValue>;

// One value of a property list. Integers that fit are std::int64_t; the
// std::uint64_t alternative holds only unsigned values above INT64_MAX.
struct PropertyListValue {
  using Storage =
      std::variant<bool, std::int64_t, std::uint64_t, double, std::string, PropertyListDate, PropertyListData,
                   PropertyListUID, PropertyListArray, std::shared_ptr<const NSDictionary>>;
  Storage storage;

  // The reading rules above.
  std::optional<bool> boolValue() const;
  std::optional<std::string> stringValue() const;
  std::optional<double> doubleValue() const;
  std::optional<float> floatValue() const;
  std::optional<std::int64_t> integerValue() const;
};

class NSDictionary {
 public:
  using Entries = std::map<std::string, PropertyListValue, std::less<>>;

  static constexpr std::size_t kMaxFileSize = std::size_t{1} << 20;
  static constexpr std::size_t kMaxDepth = 256;
  static constexpr std::size_t kMaxValues = std::size_t{1} << 18;

  explicit NSDictionary(Entries entries) : entries_(std::move(entries)) {}

  // The dictionary in the file at `devicePath`, resolved under the device root
  // (aurora/DeviceRoot.h); reports dictionaryRead(devicePath, contents).
  static std::shared_ptr<const NSDictionary> dictionaryWithContentsOfFile(std::string_view devicePath);
  // The same, untraced, from a host path (the loader, the host, the settings pane).
  static std::shared_ptr<const NSDictionary> fromFile(const std::filesystem::path& hostPath);
  // The same, from the file's bytes.
  static std::shared_ptr<const NSDictionary> fromBytes(std::string_view bytes);

  std::size_t count() const { return entries_.size(); }
  const Entries& entries() const { return entries_; }
  bool containsKey(std::string_view key) const { return entries_.find(key) != entries_.end(); }
  // The value under `key`, or nullptr; valid as long as this dictionary.
  const PropertyListValue* objectForKey(std::string_view key) const;

  std::optional<bool> boolValue(std::string_view key) const { return read(key, &PropertyListValue::boolValue); }
  std::optional<std::string> stringValue(std::string_view key) const {
    return read(key, &PropertyListValue::stringValue);
  }
  std::optional<float> floatValue(std::string_view key) const { return read(key, &PropertyListValue::floatValue); }
  std::optional<double> doubleValue(std::string_view key) const { return read(key, &PropertyListValue::doubleValue); }
  std::optional<std::int64_t> integerValue(std::string_view key) const {
    return read(key, &PropertyListValue::integerValue);
  }
  // An array of strings; std::nullopt when absent, not an array, or any entry
  // is not a string.
  std::optional<std::vector<std::string>> stringArray(std::string_view key) const;
  // A nested dictionary, or nullptr.
  std::shared_ptr<const NSDictionary> dictionaryValue(std::string_view key) const;

 private:
  template <class T>
  std::optional<T> read(std::string_view key, std::optional<T> (PropertyListValue::*reader)() const) const {
    const PropertyListValue* value = objectForKey(key);
    return value != nullptr ? (value->*reader)() : std::nullopt;
  }

  Entries entries_;
};
