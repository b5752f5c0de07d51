// The routes of the phone's file and the looks (Routes.h), answered by FilesApi.
#include <fmt/format.h>

#include "Routes.h"
#include "settings/Contract.h"

namespace studio {
namespace {

using http::field;

// The value of `name` in the target's query ("a=1&b=2"), or empty.
std::string_view queryValue(std::string_view target, std::string_view name) {
  const std::size_t mark = target.find('?');
  std::string_view query = mark == std::string_view::npos ? std::string_view{} : target.substr(mark + 1);
  while (!query.empty()) {
    const std::string_view pair = query.substr(0, query.find('&'));
    query.remove_prefix(std::min(query.size(), pair.size() + 1));
    if (pair.starts_with(name) && pair.size() > name.size() && pair[name.size()] == '=')
      return pair.substr(name.size() + 1);
  }
  return {};
}

// The file's name on a device, the last part of its path.
std::string_view deviceFileName() {
  const std::string_view path = settings::kPreferencesPath;
  return path.substr(path.rfind('/') + 1);
}

}  // namespace

Answer Routes::phoneFile(const Request& request) {
  const std::string_view format = queryValue(request.target(), "format");
  if (!format.empty() && format != "xml" && format != "binary") return done(jsonError(400, "format is xml or binary"));
  const FileResult file = files_.phoneFile(format == "xml" ? aurora::PlistFormat::Xml : aurora::PlistFormat::Binary);
  if (file.status != 200) return done(json({file.status, file.error}));
  Response response(http::status::ok, 11);
  response.set(field::content_type, format == "xml" ? "application/xml" : "application/octet-stream");
  response.set(field::content_disposition, fmt::format("attachment; filename=\"{}\"", deviceFileName()));
  response.set(field::cache_control, "no-store");
  response.body() = file.bytes;
  return done(std::move(response));
}

Answer Routes::openPhoneFile(const Request& request) {
  const std::string_view confirm = queryValue(request.target(), "confirm");
  if (!confirm.empty() && confirm != "yes") return done(jsonError(400, "confirm is yes or absent"));
  return done(json(files_.openPhoneFile(request.body(), confirm == "yes", host_.settingsVersion())));
}

Answer Routes::previewSettings(const Request& request) { return done(json(files_.previewSettings(request.body()))); }

Answer Routes::looks(const Request& request) {
  const std::string_view target = request.target();
  const std::string_view path = target.substr(0, target.find('?'));
  const std::string& body = request.body();
  if (request.method() == http::verb::get) return done(json(files_.looks()));
  if (path == "/api/looks/apply") return done(json(files_.applyLook(body, host_.settingsVersion())));
  if (path == "/api/looks/rename") return done(json(files_.renameLook(body)));
  if (path == "/api/looks/delete") return done(json(files_.deleteLook(body)));
  return done(json(files_.saveLook(body)));
}

}  // namespace studio
