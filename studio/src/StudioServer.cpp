#include "StudioServer.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include <fmt/format.h>
#include <httplib.h>

#include "Page.h"

namespace studio {
namespace {

using namespace std::chrono_literals;

// How long a stream waits for news before it looks whether its client is still there.
constexpr auto kStreamPatience = 1s;
// How long a still picture waits for the main thread to draw it.
constexpr auto kStillPatience = 2s;

void json(httplib::Response& response, const ApiResult& result) {
  response.status = result.status;
  response.set_content(result.body.dump(), "application/json");
}

void refuse(httplib::Response& response, int status, const std::string& why) { json(response, {status, {{"error", why}}}); }

// A browser shows a part once the next part's header has come, so each
// picture is sent with the header of the one after it.
constexpr std::string_view kPartHeader = "\r\n--frame\r\nContent-Type: image/png\r\n\r\n";

bool send(httplib::DataSink& sink, const std::string& bytes) { return sink.is_writable() && sink.write(bytes.data(), bytes.size()); }

}  // namespace

StudioServer::StudioServer(HostRequests host, SettingsApi& api, FrameHub& frames, EventHub& events)
    : host_(std::move(host)), api_(api), frames_(frames), events_(events), server_(std::make_unique<httplib::Server>()) {
  server_->new_task_queue = [] { return new httplib::ThreadPool(FrameHub::kMostStreams + kMostEventStreams + 8); };
  server_->set_payload_max_length(kMostBodyBytes);
  route();
}

StudioServer::~StudioServer() = default;

std::uint16_t StudioServer::bind(const std::string& address, std::uint16_t port) {
  errno = 0;
  const int bound = port == 0 ? server_->bind_to_any_port(address) : (server_->bind_to_port(address, port) ? port : -1);
  if (bound < 0) {
    const std::string why = errno != 0 ? std::strerror(errno) : "the address cannot be used";
    throw std::runtime_error(fmt::format("cannot serve on {}:{}: {}", address, port, why));
  }
  return static_cast<std::uint16_t>(bound);
}

void StudioServer::serve() { server_->listen_after_bind(); }

void StudioServer::stop() { server_->stop(); }

void StudioServer::route() {
  server_->set_pre_routing_handler([this](const httplib::Request& request, httplib::Response& response) {
    const auto why = guard_->refusal(request.method, request.get_header_value("Host"), request.get_header_value("Origin"),
                                     request.get_header_value(kTokenHeader));
    if (!why) return httplib::Server::HandlerResponse::Unhandled;
    refuse(response, 403, *why);
    return httplib::Server::HandlerResponse::Handled;
  });

  for (const char* path : {"/", "/studio.js", "/studio.css"}) {
    server_->Get(path, [this, path](const httplib::Request&, httplib::Response& response) {
      const PageFile file = *pageFile(path);
      std::string bytes(file.bytes);
      if (const auto at = bytes.find(kTokenPlaceholder); at != std::string::npos) bytes.replace(at, kTokenPlaceholder.size(), guard_->token());
      response.set_header("Cache-Control", "no-store");
      // Only its own files run in it, and no other site may frame it (a click taken for another page's).
      response.set_header("Content-Security-Policy", "default-src 'self'; img-src 'self' data:; frame-ancestors 'none'");
      response.set_header("X-Content-Type-Options", "nosniff");
      response.set_content(bytes, std::string(file.contentType));
    });
  }

  server_->Get("/api/settings", [this](const httplib::Request&, httplib::Response& response) {
    json(response, api_.read(host_.settingsVersion()));
  });
  server_->Put("/api/settings", [this](const httplib::Request& request, httplib::Response& response) {
    json(response, api_.write(request.body, host_.settingsVersion()));
  });
  server_->Delete("/api/settings", [this](const httplib::Request&, httplib::Response& response) { json(response, api_.remove()); });
  server_->Post("/api/respring", [this](const httplib::Request&, httplib::Response& response) {
    json(response, {200, {{"respring", host_.respring()}}});
  });

  server_->Get("/api/preview.png", [this](const httplib::Request&, httplib::Response& response) {
    const std::uint64_t drawn = frames_.drawings();
    host_.wantFrame();
    const FrameHub::Frame frame = frames_.waitDrawnAfter(drawn, kStillPatience);
    if (!frame.png) return refuse(response, 503, "no picture yet");
    response.set_header("Cache-Control", "no-store");
    response.set_content(*frame.png, "image/png");
  });

  server_->Get("/api/preview", [this](const httplib::Request&, httplib::Response& response) {
    auto place = frames_.openStream();
    if (!place) return refuse(response, 503, fmt::format("at most {} previews at once", FrameHub::kMostStreams));
    host_.wantFrame();
    response.set_header("Cache-Control", "no-store");
    auto held = std::make_shared<FrameHub::StreamPlace>(std::move(*place));
    response.set_chunked_content_provider(
        "multipart/x-mixed-replace; boundary=frame", [this, held, shown = std::uint64_t{0}, opened = false](std::size_t, httplib::DataSink& sink) mutable {
          if (!std::exchange(opened, true) && !send(sink, std::string(kPartHeader))) return false;
          const FrameHub::Frame frame = frames_.waitAfter(shown, kStreamPatience);
          if (frames_.closed()) return false;
          if (frame.number == shown) return sink.is_writable();  // nothing new: still there?
          shown = frame.number;
          return send(sink, *frame.png + std::string(kPartHeader));
        });
  });

  server_->Get("/api/events", [this](const httplib::Request&, httplib::Response& response) {
    if (++eventStreams_ > kMostEventStreams) {
      --eventStreams_;
      return refuse(response, 503, fmt::format("at most {} event streams at once", kMostEventStreams));
    }
    response.set_header("Cache-Control", "no-store");
    response.set_chunked_content_provider(
        "text/event-stream",
        [this, seen = events_.latest()](std::size_t, httplib::DataSink& sink) mutable {
          const auto news = events_.waitAfter(seen, kStreamPatience);
          if (events_.closed()) return false;
          if (news.empty()) return send(sink, ": still here\n\n");
          std::string text;
          for (const EventHub::Event& event : news) text += fmt::format("event: {}\ndata: {}\n\n", event.name, event.data);
          seen = news.back().number;
          return send(sink, text);
        },
        [this](bool) { --eventStreams_; });
  });
}

}  // namespace studio
