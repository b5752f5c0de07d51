#include "BadInput.h"

#include <fmt/format.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

#include "prefs/PreferenceKeys.h"

namespace hardening {
namespace {

using aurora::PlistFormat;
using aurora::PreferenceEntry;
using aurora::PreferenceValue;

// A value of one of the writer's four types, or a property-list element the
// writer has no type for (written into the XML as it stands).
struct HostileValue {
  std::string label;
  std::variant<PreferenceValue, std::string> value;  // the string alternative: raw XML
};

std::vector<HostileValue> hostileValues() {
  constexpr double inf = std::numeric_limits<double>::infinity();
  return {
      {"bool true", PreferenceValue(true)},
      {"bool false", PreferenceValue(false)},
      {"int 0", PreferenceValue(std::int64_t{0})},
      {"int -1", PreferenceValue(std::int64_t{-1})},
      {"int 2^63-1", PreferenceValue(std::numeric_limits<std::int64_t>::max())},
      {"int -2^63", PreferenceValue(std::numeric_limits<std::int64_t>::min())},
      {"real 0", PreferenceValue(0.0)},
      {"real -1", PreferenceValue(-1.0)},
      {"real 1e308", PreferenceValue(1e308)},
      {"real -1e308", PreferenceValue(-1e308)},
      {"real 5e-324", PreferenceValue(5e-324)},
      {"real NaN", PreferenceValue(std::nan(""))},
      {"real +inf", PreferenceValue(inf)},
      {"real -inf", PreferenceValue(-inf)},
      {"empty string", PreferenceValue(std::string())},
      {"string of 100000 'x'", PreferenceValue(std::string(100000, 'x'))},
      {"string '#' and 100000 'F'", PreferenceValue("#" + std::string(100000, 'F'))},
      {"non-ASCII string",
       PreferenceValue(std::string(
           "\xC3\x9Cn\xC3\xAF\x63\xC3\xB6\x64\xC3\xA9 \xF0\x9F\x8C\x88 \xE6\x97\xA5\xE6\x9C\xAC \xE2\x80\xAE"))},
      {"string 'nan'", PreferenceValue(std::string("nan"))},
      {"string '-1e999'", PreferenceValue(std::string("-1e999"))},
      {"string 'YES'", PreferenceValue(std::string("YES"))},
      {"array", std::string("<array><string>Wave</string><real>0.5</real></array>")},
      {"dictionary", std::string("<dict><key>style</key><string>Wave</string></dict>")},
      {"data", std::string("<data>AAEC/w==</data>")},
      {"date", std::string("<date>2001-01-01T00:00:00Z</date>")},
  };
}

std::string xmlWith(std::vector<PreferenceEntry> entries, const std::string& key, const std::string& element) {
  std::erase_if(entries, [&](const PreferenceEntry& e) { return e.key == key; });
  std::string xml = aurora::preferencesBytes(entries, PlistFormat::Xml);
  const std::size_t end = xml.rfind("</dict>");
  xml.insert(end, fmt::format("\t<key>{}</key>\n\t{}\n", key, element));
  return xml;
}

BadInputRow keyRow(const std::string& key, HostileValue hostile) {
  return {key, hostile.label,
          [key, value = std::move(hostile.value)](const std::filesystem::path& file, std::string_view style) {
            std::vector<PreferenceEntry> entries = saneSettings(style);
            if (const auto* raw = std::get_if<std::string>(&value)) {
              replaceFile(file, xmlWith(std::move(entries), key, *raw));
              return;
            }
            entries.push_back({key, std::get<PreferenceValue>(value)});  // a later entry wins
            // Binary keeps every double bit for bit, NaN and the infinities included.
            replaceFile(file, aurora::preferencesBytes(entries, PlistFormat::Binary));
          }};
}

BadInputRow fileRow(std::string value, std::function<std::string(std::string_view style)> bytes) {
  return {std::string(kWholeFile), std::move(value),
          [bytes = std::move(bytes)](const std::filesystem::path& file, std::string_view style) {
            replaceFile(file, bytes(style));
          }};
}

std::string sane(std::string_view style, PlistFormat format) {
  return aurora::preferencesBytes(saneSettings(style), format);
}

// A binary property list whose root dictionary holds, under "style", an array
// of two references to the next array, 60 levels down: 2^60 values once
// expanded, in a few hundred bytes.
std::string selfExpandingBinary() {
  constexpr int kLevels = 60;
  std::string objects;
  std::vector<std::uint8_t> offsets;
  const auto add = [&](const std::string& object) {
    offsets.push_back(static_cast<std::uint8_t>(8 + objects.size()));
    objects += object;
  };
  // Object 0: the root {1: 2}; 1: "style"; 2..kLevels+1: arrays [n+1, n+1]; last: true.
  add(std::string("\xD1\x01\x02", 3));
  add("\x55style");
  for (int level = 0; level < kLevels; ++level) {
    const char next = static_cast<char>(3 + level);
    add(std::string{'\xA2', next, next});
  }
  add("\x09");
  std::string plist = "bplist00" + objects;
  const std::size_t tableOffset = plist.size();
  for (std::uint8_t offset : offsets) plist += static_cast<char>(offset);
  std::string trailer(32, '\0');
  trailer[6] = 1;  // offset size
  trailer[7] = 1;  // reference size
  trailer[15] = static_cast<char>(offsets.size());
  trailer[31] = static_cast<char>(tableOffset);
  return plist + trailer;
}

std::string garbage(std::size_t size) {
  std::mt19937 random(20240601);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

std::vector<BadInputRow> wholeFileRows() {
  std::vector<BadInputRow> rows;
  rows.push_back(fileRow("empty file", [](std::string_view) { return std::string(); }));
  rows.push_back(fileRow("XML cut in half", [](std::string_view s) {
    const std::string xml = sane(s, PlistFormat::Xml);
    return xml.substr(0, xml.size() / 2);
  }));
  rows.push_back(fileRow("binary cut in half", [](std::string_view s) {
    const std::string bin = sane(s, PlistFormat::Binary);
    return bin.substr(0, bin.size() / 2);
  }));
  rows.push_back(fileRow("binary with a garbage trailer", [](std::string_view s) {
    std::string bin = sane(s, PlistFormat::Binary);
    for (std::size_t i = bin.size() - 26; i < bin.size(); ++i) bin[i] = static_cast<char>(0xFF);
    return bin;
  }));
  rows.push_back(fileRow("4 KiB of random bytes", [](std::string_view) { return garbage(4096); }));
  rows.push_back(fileRow("'bplist00' and random bytes", [](std::string_view) { return "bplist00" + garbage(4096); }));
  rows.push_back(fileRow("root is an array", [](std::string_view) {
    return std::string("<?xml version=\"1.0\"?><plist version=\"1.0\"><array><string>enabled</string></array></plist>");
  }));
  rows.push_back(fileRow("arrays nested 60000 deep", [](std::string_view) {
    constexpr int kDepth = 60000;
    std::string xml = "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>style</key>";
    for (int i = 0; i < kDepth; ++i) xml += "<array>";
    for (int i = 0; i < kDepth; ++i) xml += "</array>";
    return xml + "</dict></plist>";
  }));
  rows.push_back(fileRow("binary expanding to 2^60 values", [](std::string_view) { return selfExpandingBinary(); }));
  rows.push_back(fileRow("just under 1 MiB, readable", [](std::string_view s) {
    std::vector<PreferenceEntry> entries = saneSettings(s);
    entries.push_back({"padding", std::string(1000 * 1000, 'p')});
    return aurora::preferencesBytes(entries, PlistFormat::Binary);
  }));
  rows.push_back(fileRow("over 1 MiB", [](std::string_view s) {
    std::vector<PreferenceEntry> entries = saneSettings(s);
    entries.push_back({"padding", std::string(1100 * 1000, 'p')});
    return aurora::preferencesBytes(entries, PlistFormat::Binary);
  }));
  rows.push_back({std::string(kWholeFile), "a folder", [](const std::filesystem::path& file, std::string_view) {
                    clearPath(file);
                    std::filesystem::create_directory(file);
                  }});
  rows.push_back(
      {std::string(kWholeFile), "a FIFO nobody writes to", [](const std::filesystem::path& file, std::string_view) {
         clearPath(file);
         ::mkfifo(file.c_str(), 0644);
       }});
  rows.push_back({std::string(kWholeFile), "a link to itself", [](const std::filesystem::path& file, std::string_view) {
                    clearPath(file);
                    std::filesystem::create_symlink(file.filename(), file);
                  }});
  return rows;
}

}  // namespace

std::vector<PreferenceEntry> saneSettings(std::string_view style) {
  namespace key = settings::key;
  std::vector<PreferenceEntry> entries = prefs::startingEntries();
  for (PreferenceEntry& entry : entries) {
    if (entry.key == key::enabled.name) entry.value = true;
    if (entry.key == key::style.name) entry.value = std::string(style);
    // The slow cycles quickened, so that a short run sees several of their steps.
    if (entry.key == key::breathingSpeed.name || entry.key == key::fadeSpeed.name) entry.value = 2.0;
  }
  return entries;
}

void clearPath(const std::filesystem::path& file) {
  std::error_code ignored;
  std::filesystem::remove_all(file, ignored);
  std::filesystem::create_directories(file.parent_path());
}

void replaceFile(const std::filesystem::path& file, std::string_view bytes) {
  clearPath(file);
  aurora::PreferencesFile(file).writeRaw(bytes);
}

std::vector<BadInputRow> badInputRows() {
  std::vector<BadInputRow> rows;
  for (const prefs::KnownKey& key : prefs::knownKeys()) {
    for (HostileValue& value : hostileValues()) rows.push_back(keyRow(std::string(key.name()), std::move(value)));
  }
  for (BadInputRow& row : wholeFileRows()) rows.push_back(std::move(row));
  return rows;
}

}  // namespace hardening
