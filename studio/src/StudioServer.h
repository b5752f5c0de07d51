// The studio's HTTP server (Boost.Beast on Asio): the page, the settings API,
// the preview and the event stream, answered by the routes (Routes.h) behind
// the request guard.
//
// It is event-driven: one thread serves every connection, and a connection
// that waits (for a request, for a picture, for news on a stream) holds no
// thread, only its socket and a few hundred bytes. So that slow or idle
// clients cannot crowd out the page:
// - a connection must begin a request within `idle` and send the whole of it
//   (headers and body) within `request` of its first byte, and each write must
//   be taken within `write`; otherwise it is closed;
// - at most `connections` are open at once, fewer than the process may open
//   files; when a new one comes beyond that, the connection that has waited
//   longest for a request is closed to make room, so a new request is still
//   served (streams have their own caps in the hubs and are never closed for one).
//
// Its thread never touches views or the run loop: what the host must do it
// hands to the main thread through the `HostRequests` callbacks (which post to
// the main queue), and it reads only what the main thread published in the
// hubs, which tell it of news by posting a wake-up to its thread.
//
//   StudioServer server(host, api, files, frames, events);
//   const std::uint16_t port = server.bind("127.0.0.1", 8765);   // throws when it cannot
//   server.routeBehind(RequestGuard("127.0.0.1", port, freshToken()));
//   std::thread serving([&] { server.serve(); });
//   ... server.stop(); serving.join();
//
// The server does not own the APIs or the hubs, which must outlive it. bind,
// guard and stop on the main thread; serve on a thread of its own.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "Hubs.h"
#include "RequestGuard.h"
#include "Routes.h"
#include "SettingsApi.h"

namespace studio {

// Descriptors left for everything else the studio opens (the preferences
// file, fonts, the run loop's, the listening socket) when the cap on
// connections is taken from the open-file limit.
inline constexpr std::size_t kFilesKeptFree = 64;

// The open-file limit (getrlimit) less kFilesKeptFree, and never under a handful.
std::size_t mostConnectionsForThisProcess();

struct ServerLimits {
  std::size_t connections = mostConnectionsForThisProcess();
  std::chrono::milliseconds idle{5000};       // from opening, or the last answer, to a request's first byte
  std::chrono::milliseconds request{5000};    // from a request's first byte to the end of its body
  std::chrono::milliseconds write{5000};      // for each write to be taken
  std::chrono::milliseconds still{2000};      // for the main thread to draw a still picture
  std::chrono::milliseconds heartbeat{1000};  // between an idle event stream's comments
};

class StudioServer {
 public:
  StudioServer(HostRequests host, SettingsApi& api, FilesApi& files, FrameHub& frames, EventHub& events,
               ServerLimits limits = {});
  ~StudioServer();
  StudioServer(const StudioServer&) = delete;
  StudioServer& operator=(const StudioServer&) = delete;

  // Binds the listening socket; returns the port (the one given, or the one
  // the system chose for 0). Throws std::runtime_error when it cannot.
  std::uint16_t bind(const std::string& address, std::uint16_t port);
  // Makes the routes, behind this guard; before serve().
  void routeBehind(RequestGuard guard);
  // Serves until stop(); on its own thread.
  void serve();
  // Any thread; serve() returns soon after.
  void stop();

  struct State;  // its connections, acceptor and thread (StudioServer.cpp)

 private:
  std::unique_ptr<State> state_;
};

}  // namespace studio
