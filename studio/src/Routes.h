// The studio's answers, apart from any socket (the README's HTTP interface): a
// request parsed by Beast passes the request guard (RequestGuard.h) and the
// body limit on its headers alone, then its route answers it whole, or says
// what the connection goes on to do (wait for a still picture, stream frames
// or events). The server (StudioServer.h) reads and writes the bytes; the
// fuzz target feeds the same parser and routes from memory.
//
//   RequestParser parser;
//   limit(parser);                               // the studio's header and body limits
//   ... read the headers into `parser` ...
//   if (auto refusal = routes.refusal(parser.get())) ... send it and close
//   ... read the body ...
//   Answer answer = routes.answer(parser.get());
//
// The routes own the guard and the host's callbacks, not the API or the hubs.
// One thread at a time (the server's).
#pragma once

#include <boost/beast/http/message.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/string_body.hpp>
#include <boost/system/error_code.hpp>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

#include "FilesApi.h"
#include "Hubs.h"
#include "RequestGuard.h"
#include "SettingsApi.h"
#include "TimeApi.h"

namespace studio {

class Workshop;

namespace http = boost::beast::http;
using Request = http::request<http::string_body>;
using Response = http::response<http::string_body>;
using RequestParser = http::request_parser<http::string_body>;

// A request's line and headers past this are refused (431).
inline constexpr std::size_t kMostHeaderBytes = 8 * 1024;

// Sets the studio's limits on a parser about to read a request.
void limit(RequestParser& parser);

// What the server asks of the host; each returns at once (the work goes to the main queue).
struct HostRequests {
  std::function<std::uint64_t()> settingsVersion;     // the settings changes seen so far
  std::function<std::uint64_t()> respring;            // makes the pills anew; returns the respring's number
  std::function<void()> wantFrame;                    // a whole preview picture soon, changed or not
  std::function<TimeState()> time;                    // the timeline now
  std::function<void(const TimeChange&)> changeTime;  // applied soon
  Workshop* workshop = nullptr;  // costs and recordings (Workshop.h); none: those routes answer 503
};

// The preview stream is multipart: each part (FrameHub::Part) is its head, its
// PNG, then kPartEnd. The head gives the PNG's length and where it goes:
// X-Place (x,y,w,h in the picture), X-Picture (w,h), X-Band (x,y,w,h).
std::string partHead(const FrameHub::Part& part);
inline constexpr std::string_view kPartEnd = "\r\n";

struct Answer {
  enum class Then {
    Done,     // `response` is the whole answer
    Still,    // wait for a whole picture after number `drawn`, then answer with still()
    Preview,  // `response` heads a stream of frames (chunked)
    Events,   // `response` heads a stream of server-sent events (chunked)
  };
  Response response;
  Then then = Then::Done;
  std::uint64_t drawn = 0;
  std::optional<Hub::StreamPlace> place;  // a stream's, held while it is open
};

// A result as a JSON answer; an error as {"error": why}; an answer complete in itself.
Response json(const ApiResult& result);
Response jsonError(int status, const std::string& why);
Answer done(Response response);

class Routes {
 public:
  Routes(HostRequests host, SettingsApi& api, FilesApi& files, FrameHub& frames, EventHub& events, RequestGuard guard);

  // On the headers alone, before the body is read: the guard's 403, or
  // nothing. (The parser itself refuses a declared body past the limit.)
  std::optional<Response> refusal(const http::request_header<>& header) const;
  // The whole request, once refusal() let it through and its body is in.
  Answer answer(const Request& request);
  // A still picture's answer once drawn, or once its patience ran out: the PNG, or 503.
  static Response still(const FrameHub::Part& whole);
  // What a route that failed is answered with: 500, the server going on.
  static Answer failed();
  // What a parse error is answered with (400, 413 or 431), before the connection closes.
  static Response unreadable(boost::system::error_code error);

  const RequestGuard& guard() const { return guard_; }

 private:
  Answer page(const Request& request);
  Answer settings(const Request& request);
  Answer respring(const Request& request);
  Answer stillPicture(const Request& request);
  Answer previewStream(const Request& request);
  Answer eventStream(const Request& request);
  Answer time(const Request& request);
  Answer cost(const Request& request);
  Answer record(const Request& request);
  Answer recording(const Request& request);
  Answer recordedGif(const Request& request);
  Answer stream(Answer::Then then, Hub& hub, std::string_view contentType, std::string_view what);
  // The phone's file and the looks (FileRoutes.cpp).
  Answer phoneFile(const Request& request);
  Answer openPhoneFile(const Request& request);
  Answer previewSettings(const Request& request);
  Answer looks(const Request& request);

  HostRequests host_;
  SettingsApi& api_;
  FilesApi& files_;
  FrameHub& frames_;
  EventHub& events_;
  RequestGuard guard_;
};

}  // namespace studio
