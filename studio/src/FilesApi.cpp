#include "FilesApi.h"

#include <fmt/format.h>

#include "Foundation/NSDictionary.h"
#include "LookSettings.h"
#include "prefs/PreferenceKeys.h"
#include "settings/Contract.h"

namespace studio {
namespace {

using Json = nlohmann::json;

ApiResult refused(int status, const std::string& why) { return {status, Json{{"error", why}}}; }

// A string field of a JSON object body, or LookRefused.
std::string field(const Json& body, const char* name) {
  const auto found = body.find(name);
  if (found == body.end() || !found->is_string())
    throw LookRefused(400, fmt::format("the body must give \"{}\" as a string", name));
  return found->get<std::string>();
}

Json object(std::string_view body) {
  Json parsed = Json::parse(body, nullptr, false);
  if (!parsed.is_object()) throw LookRefused(400, "the body must be a JSON object");
  return parsed;
}

// RFC 4648's URL-safe alphabet, unpadded: what a link's fragment carries.
std::string base64url(std::string_view bytes) {
  constexpr std::string_view kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
  std::string text;
  std::uint32_t bits = 0;
  int held = 0;
  for (const unsigned char byte : bytes) {
    bits = (bits << 8) | byte;
    for (held += 8; held >= 6; held -= 6) text += kAlphabet[(bits >> (held - 6)) & 63];
  }
  if (held > 0) text += kAlphabet[(bits << (6 - held)) & 63];
  return text;
}

// Runs a look's request, its refusals as answers.
template <class Act>
ApiResult answering(Act act) {
  try {
    return act();
  } catch (const LookRefused& why) {
    return refused(why.status, why.what());
  } catch (const prefs::RefusedValue& why) {
    return refused(409, why.what());
  } catch (const aurora::PreferencesError& why) {
    return refused(409, why.what());
  }
}

}  // namespace

FilesApi::FilesApi(std::filesystem::path file, SettingsApi& api, std::filesystem::path looks)
    : file_(std::move(file)), api_(api), looks_(std::move(looks)) {}

FileResult FilesApi::phoneFile(aurora::PlistFormat format) const {
  try {
    std::optional<std::string> bytes = aurora::PreferencesFile(file_).bytesIn(format);
    return {200, bytes ? std::move(*bytes) : aurora::preferencesBytes(prefs::startingEntries(), format), nullptr};
  } catch (const aurora::PreferencesError& why) {
    return {409, {}, Json{{"error", why.what()}}};
  }
}

ApiResult FilesApi::openPhoneFile(std::string_view bytes, bool confirm, std::uint64_t version) {
  Json settings;
  try {
    settings = settingsOfFile(bytes);
  } catch (const prefs::RefusedValue& why) {
    return refused(400, fmt::format("this file is refused, and nothing was changed: {}", why.what()));
  }
  if (confirm) return api_.write(settings.dump(), version);
  ApiResult preview = api_.preview(settings);
  preview.body["ignored"] = unreadKeys(*NSDictionary::fromBytes(bytes));
  return preview;
}

ApiResult FilesApi::previewSettings(std::string_view body) const {
  const Json parsed = Json::parse(body, nullptr, false);
  if (parsed.is_discarded()) return refused(400, "the body is not JSON");
  return api_.preview(parsed);
}

ApiResult FilesApi::looks() const {
  return answering([&] {
    Json list = Json::array();
    for (const std::string& name : looks_.names()) {
      Json look{{"name", name}};
      try {
        Json settings = looks_.settings(name);
        look["link"] =
            "#look=" + base64url(settings.dump());  // reals keep their ".0", so a link writes what the look holds
        look["settings"] = std::move(settings);
      } catch (const LookRefused& why) {
        look["error"] = why.what();  // listed, so that it can be renamed or deleted
      }
      list.push_back(std::move(look));
    }
    return ApiResult{200, Json{{"looks", list},
                               {"folder", looks_.folder().string()},
                               {"devicePath", settings::kPreferencesPath},
                               {"notification", settings::kSettingsChangedNotification}}};
  });
}

ApiResult FilesApi::saveLook(std::string_view body) {
  return answering([&] {
    const std::string name = field(object(body), "name");
    const auto current = aurora::PreferencesFile(file_).contents();
    looks_.save(name, settingsOf(current ? *current : NSDictionary({})));
    return looks();
  });
}

ApiResult FilesApi::applyLook(std::string_view body, std::uint64_t version) {
  return answering([&] { return api_.write(looks_.settings(field(object(body), "name")).dump(), version); });
}

ApiResult FilesApi::renameLook(std::string_view body) {
  return answering([&] {
    const Json parsed = object(body);
    looks_.rename(field(parsed, "name"), field(parsed, "to"));
    return looks();
  });
}

ApiResult FilesApi::deleteLook(std::string_view body) {
  return answering([&] {
    looks_.remove(field(object(body), "name"));
    return looks();
  });
}

}  // namespace studio
