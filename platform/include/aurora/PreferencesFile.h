// PreferencesFile: the one writer of preferences files for the whole project.
// A preferences file is a property list (XML or binary) with a dictionary at
// its root; the settings pane, the simulator's scenario commands and the tests
// all change such files through this class, and NSDictionary reads them.
//
//   aurora::PreferencesFile prefs(aurora::hostPath("/var/mobile/Library/Preferences/x.plist"));
//   prefs.set({{"on", true}, {"name", std::string("value")}});
//
// Promises:
// - Every change reads the whole file, changes it and puts it back atomically:
//   the new bytes go to a temporary file beside it, which is then renamed over
//   it. A reader sees the old file or the new one, never half of one.
// - set and unset keep every key they were not given, with its value and type
//   as they were (arrays, dates, data and nested dictionaries included).
// - A file that is there but that NSDictionary would not read as a dictionary
//   (not a property list, another root, not a regular file, larger than
//   NSDictionary::kMaxFileSize, nested too deep) is never overwritten by set or
//   unset: they throw PreferencesError and leave it byte for byte as it was.
//   remove and writeRaw replace it on purpose.
// - When a call throws, the file is as it was before the call and no temporary
//   file is left beside it.
// - Nothing here posts the settings-changed notification; the caller does.
// Not promised: that two processes changing one file at the same moment both
// keep their change (the later rename wins).
//
// Ownership: a PreferencesFile is a host path and a format; it keeps no file
// open between calls. Threads: any, one call at a time per file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

class NSDictionary;

namespace aurora {

// One value as a settings pane writes it: a flag, a 64-bit integer, a real or
// a string.
using PreferenceValue = std::variant<bool, std::int64_t, double, std::string>;

struct PreferenceEntry {
  std::string key;
  PreferenceValue value;
  friend bool operator==(const PreferenceEntry&, const PreferenceEntry&) = default;
};

enum class PlistFormat { Xml, Binary };

class PreferencesError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The bytes of a property list whose root is a dictionary of `entries` (a later
// entry for a key wins). Throws PreferencesError for a key or string holding a
// NUL character, which no reader would accept.
std::string preferencesBytes(const std::vector<PreferenceEntry>& entries, PlistFormat format);

class PreferencesFile {
 public:
  explicit PreferencesFile(std::filesystem::path hostPath, PlistFormat format = PlistFormat::Xml);

  const std::filesystem::path& path() const { return path_; }
  // The format of later writes by set and unset.
  PlistFormat format() const { return format_; }
  void setFormat(PlistFormat format) { format_ = format; }

  // The file's dictionary, or nullptr when there is no file. Throws
  // PreferencesError when a file is there but is not a readable dictionary.
  std::shared_ptr<const NSDictionary> contents() const;

  // Writes these keys (in order: a later one wins), keeping every other key;
  // makes the file and its folders when missing.
  void set(const std::vector<PreferenceEntry>& entries);
  // Removes one key; returns whether it was there. The file is rewritten only
  // when it was, and a missing file stays missing.
  bool unset(std::string_view key);
  // Removes the file, whatever it holds; returns whether there was one.
  bool remove();
  // Replaces the file's bytes with `bytes`, whatever they are.
  void writeRaw(std::string_view bytes);

 private:
  std::filesystem::path path_;
  PlistFormat format_;
};

}  // namespace aurora
