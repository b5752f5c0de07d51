#include "Routes.h"

#include <fmt/format.h>

#include <array>
#include <boost/beast/http/error.hpp>

#include "Page.h"
#include "Workshop.h"

namespace studio {
namespace {

using http::field;
using http::verb;

// The route of every path the compiled-in page has (no request path looks like it).
constexpr std::string_view kPageFiles = "the page's files";

}  // namespace

Response json(const ApiResult& result) {
  Response response(static_cast<http::status>(result.status), 11);
  response.set(field::content_type, "application/json");
  // Refusals quote what was sent (a Host header, say), which need not be UTF-8.
  response.body() = result.body.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  return response;
}

Response jsonError(int status, const std::string& why) { return json({status, {{"error", why}}}); }

Answer done(Response response) { return {std::move(response), Answer::Then::Done, 0, std::nullopt}; }

std::string partHead(const FrameHub::Part& part) {
  const auto rect = [](picture::PixelRect r) { return fmt::format("{},{},{},{}", r.x, r.y, r.width, r.height); };
  return fmt::format(
      "--frame\r\nContent-Type: image/png\r\nContent-Length: {}\r\nX-Place: {}\r\nX-Picture: {},{}\r\nX-Band: "
      "{}\r\n\r\n",
      part.png->size(), rect(part.place), part.width, part.height, rect(part.band));
}

void limit(RequestParser& parser) {
  parser.header_limit(kMostHeaderBytes);
  parser.body_limit(kMostBodyBytes);
}

Routes::Routes(HostRequests host, SettingsApi& api, FilesApi& files, FrameHub& frames, EventHub& events,
               RequestGuard guard)
    : host_(std::move(host)), api_(api), files_(files), frames_(frames), events_(events), guard_(std::move(guard)) {}

std::optional<Response> Routes::refusal(const http::request_header<>& header) const {
  const GuardedRequest asked{.method = header.method_string(),
                             .target = header.target(),
                             .host = header[field::host],
                             .origin = header[field::origin],
                             .token = header[kTokenHeader],
                             .cookie = header[field::cookie],
                             .fetchSite = header["Sec-Fetch-Site"],
                             .fetchMode = header["Sec-Fetch-Mode"],
                             .fetchDest = header["Sec-Fetch-Dest"]};
  if (const auto why = guard_.refusal(asked)) {
    return jsonError(403, *why);
  }
  return std::nullopt;
}

Answer Routes::answer(const Request& request) {
  struct Route {
    std::string_view path;
    verb method;
    Answer (Routes::*handle)(const Request&);
  };
  static constexpr std::array kRoutes{
      Route{kPageFiles, verb::get, &Routes::page},
      Route{"/api/settings", verb::get, &Routes::settings},
      Route{"/api/settings", verb::put, &Routes::settings},
      Route{"/api/settings", verb::delete_, &Routes::settings},
      Route{"/api/respring", verb::post, &Routes::respring},
      Route{"/api/preview.png", verb::get, &Routes::stillPicture},
      Route{"/api/preview", verb::get, &Routes::previewStream},
      Route{"/api/events", verb::get, &Routes::eventStream},
      Route{"/api/time", verb::get, &Routes::time},
      Route{"/api/time", verb::put, &Routes::time},
      Route{"/api/cost", verb::get, &Routes::cost},
      Route{"/api/record", verb::post, &Routes::record},
      Route{"/api/record", verb::get, &Routes::recording},
      Route{"/api/record.gif", verb::get, &Routes::recordedGif},
      Route{"/api/phone-file", verb::get, &Routes::phoneFile},
      Route{"/api/phone-file", verb::post, &Routes::openPhoneFile},
      Route{"/api/settings/preview", verb::post, &Routes::previewSettings},
      Route{"/api/looks", verb::get, &Routes::looks},
      Route{"/api/looks", verb::post, &Routes::looks},
      Route{"/api/looks/apply", verb::post, &Routes::looks},
      Route{"/api/looks/rename", verb::post, &Routes::looks},
      Route{"/api/looks/delete", verb::post, &Routes::looks},
  };
  const std::string_view target = request.target();
  const std::string_view path = target.substr(0, target.find('?'));
  const std::string_view routed = pageFile(path) ? kPageFiles : path;
  std::string allowed;
  for (const Route& route : kRoutes) {
    if (route.path != routed) continue;
    if (route.method == request.method()) return (this->*route.handle)(request);
    allowed += (allowed.empty() ? "" : ", ") + std::string(http::to_string(route.method));
  }
  if (allowed.empty()) return done(jsonError(404, "no such page"));
  Response response = jsonError(405, fmt::format("{} takes only {}", path, allowed));
  response.set(field::allow, allowed);
  return done(std::move(response));
}

Answer Routes::page(const Request& request) {
  const std::string_view target = request.target();
  const std::optional<PageFile> file = pageFile(target.substr(0, target.find('?')));
  if (!file) return done(jsonError(404, "no such page"));
  Response response(http::status::ok, 11);
  response.body() = file->bytes;
  std::string& bytes = response.body();
  if (const auto at = bytes.find(kTokenPlaceholder); at != std::string::npos)
    bytes.replace(at, kTokenPlaceholder.size(), guard_.token());
  response.set(field::content_type, file->contentType);
  response.set(field::cache_control, "no-store");
  // Only its own files run in it, and no other site may frame it (a click taken for another page's).
  response.set("Content-Security-Policy", "default-src 'self'; img-src 'self' data:; frame-ancestors 'none'");
  response.set("X-Content-Type-Options", "nosniff");
  if (guard_.tokenOnEveryRequest()) response.set(field::set_cookie, guard_.tokenCookie());
  return done(std::move(response));
}

Answer Routes::settings(const Request& request) {
  switch (request.method()) {
    case verb::put:
      return done(json(api_.write(request.body(), host_.settingsVersion())));
    case verb::delete_:
      return done(json(api_.remove()));
    default:
      return done(json(api_.read(host_.settingsVersion())));
  }
}

Answer Routes::respring(const Request&) { return done(json({200, {{"respring", host_.respring()}}})); }

Answer Routes::time(const Request& request) {
  if (request.method() == verb::get) return done(json({200, timeJson(host_.time())}));
  auto change = readTimeChange(request.body());
  if (const auto* why = std::get_if<std::string>(&change)) return done(jsonError(400, *why));
  host_.changeTime(std::get<TimeChange>(change));
  return done(json({202, nlohmann::json::parse(request.body())}));
}

Answer Routes::stillPicture(const Request&) {
  Answer answer{Response(), Answer::Then::Still, frames_.whole().number, std::nullopt};
  host_.wantFrame();
  return answer;
}

Response Routes::still(const FrameHub::Part& whole) {
  if (!whole.png) return jsonError(503, "no picture yet");
  Response response(http::status::ok, 11);
  response.set(field::content_type, "image/png");
  response.set(field::cache_control, "no-store");
  response.body() = *whole.png;
  return response;
}

Answer Routes::previewStream(const Request&) {
  Answer answer = stream(Answer::Then::Preview, frames_, "multipart/mixed; boundary=frame", "previews");
  if (answer.place) host_.wantFrame();
  return answer;
}

Answer Routes::eventStream(const Request&) {
  return stream(Answer::Then::Events, events_, "text/event-stream", "event streams");
}

Answer Routes::stream(Answer::Then then, Hub& hub, std::string_view contentType, std::string_view what) {
  auto place = hub.openStream();
  if (!place) return done(jsonError(503, fmt::format("at most {} {} at once", hub.mostStreams(), what)));
  Response response(http::status::ok, 11);
  response.set(field::content_type, contentType);
  response.set(field::cache_control, "no-store");
  response.chunked(true);
  return {std::move(response), then, 0, std::move(place)};
}

Answer Routes::cost(const Request&) {
  if (host_.workshop == nullptr) return done(jsonError(503, "this studio measures no costs"));
  return done(json({200, host_.workshop->cost(host_.settingsVersion())}));
}

Answer Routes::record(const Request& request) {
  if (host_.workshop == nullptr) return done(jsonError(503, "this studio makes no recordings"));
  const nlohmann::json body = nlohmann::json::parse(request.body(), nullptr, false);
  if (!body.is_object() || !body.contains("view") || !body["view"].is_string()) {
    return done(jsonError(400, "expected a JSON object {\"view\": \"phone\" or \"band\"}"));
  }
  return done(json(host_.workshop->record(body["view"].get<std::string>())));
}

Answer Routes::recording(const Request&) {
  if (host_.workshop == nullptr) return done(jsonError(503, "this studio makes no recordings"));
  return done(json({200, host_.workshop->recording()}));
}

Answer Routes::recordedGif(const Request&) {
  const auto gif = host_.workshop != nullptr ? host_.workshop->gif() : std::nullopt;
  if (!gif) return done(jsonError(404, "nothing has been recorded yet"));
  Response response(http::status::ok, 11);
  response.set(field::content_type, "image/gif");
  response.set(field::cache_control, "no-store");
  // The style is one of the extension's names or what the file held: only letters go into the file's name.
  std::string style;
  for (const char c : gif->first) {
    if (std::isalpha(static_cast<unsigned char>(c)))
      style += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  response.set(field::content_disposition,
               fmt::format("attachment; filename=\"auroraribbon-{}.gif\"", style.empty() ? "look" : style));
  response.body() = *gif->second;
  return done(std::move(response));
}

Answer Routes::failed() {
  return done(jsonError(500, "the studio failed to answer this request; see its error output"));
}

Response Routes::unreadable(boost::system::error_code error) {
  if (error == http::error::body_limit)
    return jsonError(413, fmt::format("a body must be at most {} bytes", kMostBodyBytes));
  if (error == http::error::header_limit)
    return jsonError(431, fmt::format("the headers must be at most {} bytes", kMostHeaderBytes));
  return jsonError(400, "the request is not HTTP: " + error.message());
}

}  // namespace studio
