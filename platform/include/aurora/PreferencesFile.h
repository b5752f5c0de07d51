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
// - Changes wait for each other: each holds one lock (flock on ".NAME.lock"
//   beside the file) from its read to its rename, so of two processes or
//   threads changing one file at once, both keep their change. Readers take
//   no lock.
// - set and unset keep every key they were not given, with its value and type
//   as they were (arrays, dates, data and nested dictionaries included), and
//   the file's permissions (a new file is 0644).
// - Only a regular file is ever opened: a folder, FIFO, device or socket at
//   the path is refused with PreferencesError by every call but writeRaw,
//   without blocking, and left where it is.
// - A file that is there but that NSDictionary would not read as a dictionary
//   (not a property list, another root, larger than NSDictionary::kMaxFileSize,
//   nested too deep) is never overwritten by set or unset: they throw
//   PreferencesError and leave it byte for byte as it was. remove and writeRaw
//   replace it on purpose.
// - A key or string that some reader could not read back (see unreadableText)
//   is refused in either format, before anything is written.
// - When a call throws, the file is as it was before the call and no temporary
//   file is left beside it.
// - Nothing here posts the settings-changed notification; the caller does.
// - A writer stopped while it holds the lock holds up the others for their
//   lock patience at most (kWriterLockPatience unless set): then they throw
//   PreferencesError and write nothing.
//
// Ownership: a PreferencesFile is a host path and a format; it keeps no file
// open between calls. Threads: any.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
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
// For set and unset: the format the file has when they read it, XML for a new file.
inline constexpr std::optional<PlistFormat> kExistingFormat = std::nullopt;

class PreferencesError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Why some reader could not read `text` back as a key or string of a property
// list, or nothing when every reader can: it must be UTF-8 of characters XML
// 1.0 carries (no control character but tab, line feed and carriage return,
// and neither U+FFFE nor U+FFFF). "holds U+0001, which XML cannot carry", ...
std::optional<std::string> unreadableText(std::string_view text);

// The bytes of a property list whose root is a dictionary of `entries` (a later
// entry for a key wins). Throws PreferencesError for a key or string that
// unreadableText refuses.
std::string preferencesBytes(const std::vector<PreferenceEntry>& entries, PlistFormat format);

// How long a change waits for another writer's lock by default. A change holds
// it for milliseconds, so a longer hold means a writer stopped while holding
// it, or a machine so busy that giving up is the better answer.
inline constexpr std::chrono::milliseconds kWriterLockPatience{5000};

class PreferencesFile {
 public:
  explicit PreferencesFile(std::filesystem::path hostPath, std::optional<PlistFormat> format = PlistFormat::Xml);

  const std::filesystem::path& path() const { return path_; }
  // The format of later writes by set and unset (kExistingFormat: the file's).
  void setFormat(std::optional<PlistFormat> format) { format_ = format; }
  // How long a change waits for another writer's lock before it gives up.
  void setLockPatience(std::chrono::milliseconds patience) { lockPatience_ = patience; }

  // The file's dictionary, or nullptr when there is no file. Throws
  // PreferencesError when a file is there but is not a readable dictionary.
  std::shared_ptr<const NSDictionary> contents() const;
  // The file's bytes as they are, to put back with writeRaw; nothing when
  // there is no file. Throws PreferencesError for what is not a regular file
  // or is larger than NSDictionary::kMaxFileSize.
  std::optional<std::string> bytes() const;
  // The file written out in `format`, every key and value as it is; nothing
  // when there is no file. Throws PreferencesError as contents() does, and for
  // text from a binary file that XML cannot carry.
  std::optional<std::string> bytesIn(PlistFormat format) const;

  // Writes these keys (in order: a later one wins), keeping every other key;
  // makes the file and its folders when missing.
  void set(const std::vector<PreferenceEntry>& entries);
  // Removes one key; returns whether it was there. The file is rewritten only
  // when it was, and a missing file stays missing.
  bool unset(std::string_view key);
  // Removes the file, whatever it holds; returns whether there was one.
  bool remove();
  // Replaces the file's bytes with `bytes`, whatever they were (or whatever
  // was at the path but a folder), keeping its permissions.
  void writeRaw(std::string_view bytes);

 private:
  std::filesystem::path path_;
  std::optional<PlistFormat> format_;
  std::chrono::milliseconds lockPatience_ = kWriterLockPatience;
};

}  // namespace aurora
