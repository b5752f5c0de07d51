// The studio's view of the preferences file, and the page's changes to it, as
// JSON (the README's HTTP interface: GET, PUT and DELETE /api/settings).
//
// A change is validated key by key exactly as `auroraribbon-prefs write`
// validates (prefs/PreferenceKeys.h), and a number must also lie in its
// slider's range (PaneSide); all or nothing, status 400 naming the key. It is
// written through the one preferences writer (aurora/PreferencesFile.h):
// atomically, keeping every other key, in the file's own format, waiting for
// any other writer. Something that is not a preferences file at the path is
// left alone (status 409). After a write `changed` runs (the studio posts the
// settings-changed notification there); a refused change leaves the file
// byte for byte.
//
// The object owns the file's path; `held` outlives it. Any thread; calls are
// serialised.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <string_view>
#include <vector>

#include "HeldValues.h"
#include "aurora/PreferencesFile.h"
#include "aurora/ThreadSafety.h"

namespace studio {

struct ApiResult {
  int status;
  nlohmann::json body;  // on failure {"error": "..."}
};

// `body`'s keys and values as the entries write() would write: every key one
// AuroraRibbon reads, each value of its type and, for a number, inside its
// slider's range. Throws prefs::RefusedValue naming the first that is not.
std::vector<aurora::PreferenceEntry> checkedSettings(const nlohmann::json& body);

class SettingsApi {
 public:
  SettingsApi(std::filesystem::path file, std::function<void()> changed, const HeldValues& held);

  // The file's keys and values, what the extension reads for each and what
  // it holds; `version` counts the settings changes seen so far.
  ApiResult read(std::uint64_t version) const;
  // `body`: a JSON object of keys and values.
  ApiResult write(std::string_view body, std::uint64_t version);
  // What writing `settings` (checked as write checks them) would change,
  // without writing: {"changes": [{"key", "current", "new"}], "settings"};
  // `current` is null for a key the file does not hold.
  ApiResult preview(const nlohmann::json& settings) const;
  ApiResult remove();

 private:
  mutable aurora::Mutex mutex_;
  const std::filesystem::path file_ AURORA_GUARDED_BY(mutex_);  // every use of the file is serialised
  std::function<void()> changed_;
  const HeldValues& held_;
};

}  // namespace studio
