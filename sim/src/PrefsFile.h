// The preferences file of the simulated device, edited as the settings pane
// edits it: every change reads the whole file, changes it and puts it back
// atomically (a temporary file beside it, then a rename), so a reader never
// sees half a file and keys nobody named are kept.
//
//   PrefsFile prefs(aurora::hostPath(kPrefsDevicePath));
//   prefs.set({{"enabled", true}, {"style", std::string("Fade")}});
//
// A file that is there but that the platform would not read as a dictionary
// (not a property list, another root, too large or too deep) is never
// overwritten by set or unset: they throw PrefsError and leave it as it was
// (`remove` and `writeRaw` replace it on purpose). Nothing here posts
// the settings-changed notification; the caller decides.
//
// Owned by the simulator; main thread only.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "PrefValue.h"

namespace sim {

// The preferences file's device path, and the notification that tells its
// readers to read it again.
inline constexpr std::string_view kPrefsDevicePath = "/var/mobile/Library/Preferences/com.quillmoren.auroraribbonpref.plist";
inline constexpr const char* kSettingsChangedNotification = "com.quillmoren.auroraribbon.settingschanged";

enum class PlistFormat { Xml, Binary };

class PrefsError : public std::runtime_error {
  using std::runtime_error::runtime_error;
};

class PrefsFile {
 public:
  explicit PrefsFile(std::filesystem::path hostPath);

  const std::filesystem::path& path() const { return path_; }

  // The format of later writes; XML until changed.
  void setFormat(PlistFormat format) { format_ = format; }

  // Writes these keys (in order: a later one wins), keeping every other key;
  // makes the file and its directories when missing.
  void set(const std::vector<PrefEntry>& entries);
  // Removes one key; a missing file stays missing.
  void unset(const std::string& key);
  // Removes the file; a missing file is fine.
  void remove();
  // Replaces the file's bytes with `bytes`.
  void writeRaw(std::string_view bytes);

 private:
  void writeAtomically(std::string_view bytes) const;

  std::filesystem::path path_;
  PlistFormat format_ = PlistFormat::Xml;
};

}  // namespace sim
