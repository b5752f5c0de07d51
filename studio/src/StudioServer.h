// The studio's HTTP side (cpp-httplib): the page, the settings API, the
// preview and the event stream, behind the request guard (RequestGuard.h).
//
// Its threads never touch views or the run loop: what the host must do they
// hand to the main thread through the `Host` callbacks (which post to the main
// queue), and they read only what the main thread published (Hubs.h). Streams
// and event streams each hold a server thread while open, so the pool is
// sized for the most of both plus the ordinary requests.
//
//   StudioServer server(host, api, frames, events);
//   const std::uint16_t port = server.bind("127.0.0.1", 8765);   // throws when it cannot
//   server.guard(RequestGuard("127.0.0.1", port, freshToken()));
//   std::thread serving([&] { server.serve(); });
//   ... server.stop(); serving.join();
//
// The server does not own the API or the hubs. bind, guard and stop on the
// main thread; serve on a thread of its own.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "Hubs.h"
#include "RequestGuard.h"
#include "SettingsApi.h"

namespace httplib {
class Server;
}

namespace studio {

// At most this many event streams at once; each holds a thread.
inline constexpr int kMostEventStreams = 16;

// What the server asks of the host; each returns at once (the work goes to the main queue).
struct HostRequests {
  std::function<std::uint64_t()> settingsVersion;  // the settings changes seen so far
  std::function<std::uint64_t()> respring;         // makes the pills anew; returns the respring's number
  std::function<void()> wantFrame;                 // draw the preview soon, changed or not
};

class StudioServer {
 public:
  StudioServer(HostRequests host, SettingsApi& api, FrameHub& frames, EventHub& events);
  ~StudioServer();
  StudioServer(const StudioServer&) = delete;
  StudioServer& operator=(const StudioServer&) = delete;

  // Binds the listening socket; returns the port (the one given, or the one
  // the system chose for 0). Throws std::runtime_error when it cannot.
  std::uint16_t bind(const std::string& address, std::uint16_t port);
  void guard(RequestGuard guard) { guard_.emplace(std::move(guard)); }
  // Serves until stop(); on its own thread.
  void serve();
  void stop();

 private:
  void route();

  HostRequests host_;
  SettingsApi& api_;
  FrameHub& frames_;
  EventHub& events_;
  std::optional<RequestGuard> guard_;
  std::unique_ptr<httplib::Server> server_;
  std::atomic<int> eventStreams_{0};
};

}  // namespace studio
