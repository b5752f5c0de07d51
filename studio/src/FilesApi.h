// The studio's files for a phone and its looks (the README's HTTP interface:
// /api/phone-file, /api/looks...), apart from HTTP:
// - phoneFile: the preferences file as a device reads it, binary unless XML is
//   asked for. With no file there, the extension runs at its starting values,
//   so the file with every key at its starting value (prefs::startingEntries)
//   is the one that gives a phone the same pills; a file the device could not
//   read is refused (409) rather than passed on.
// - openPhoneFile: a file from a phone, checked whole (LookSettings.h). Unless
//   `confirm`, it answers what writing it would change and writes nothing; the
//   page confirms by sending the same bytes again, checked again, so nothing
//   unchecked is ever held between the two. Keys the extension does not read
//   are named and left out.
// - looks: save the current settings under a name, list, apply, rename and
//   delete (Looks.h); previewSettings shows what a look from a link would change.
// Every write goes through SettingsApi::write: the one preferences writer,
// then the settings-changed post. A refusal writes nothing and says why.
//
// Owns the looks' folder and the file's path; `api` outlives it. The studio's
// server thread.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "Looks.h"
#include "SettingsApi.h"
#include "aurora/PreferencesFile.h"

namespace studio {

struct FileResult {
  int status;
  std::string bytes;     // the file, when status is 200
  nlohmann::json error;  // else {"error": "..."}
};

class FilesApi {
 public:
  FilesApi(std::filesystem::path file, SettingsApi& api, std::filesystem::path looks);

  FileResult phoneFile(aurora::PlistFormat format) const;
  ApiResult openPhoneFile(std::string_view bytes, bool confirm, std::uint64_t version);
  // `body`: a JSON object of keys and values, as a link carries them.
  ApiResult previewSettings(std::string_view body) const;

  // {"looks": [{"name", "settings", "link"}], "folder", "devicePath", "notification"}: a
  // look's link is its fragment, "#look=" and the base64url of its settings as JSON.
  ApiResult looks() const;
  // Each `body` a JSON object: {"name"}, or {"name", "to"} for renameLook.
  ApiResult saveLook(std::string_view body);
  ApiResult applyLook(std::string_view body, std::uint64_t version);
  ApiResult renameLook(std::string_view body);
  ApiResult deleteLook(std::string_view body);

 private:
  std::filesystem::path file_;
  SettingsApi& api_;
  Looks looks_;
};

}  // namespace studio
