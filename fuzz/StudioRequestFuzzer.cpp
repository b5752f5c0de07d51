// The studio's requests: bytes read as a connection reads them, one request
// after another, by the server's own parser with its limits, then the guard on
// the headers, the body, and the routes (the settings API's JSON validation
// on a preferences file of its own). Whatever comes, every answer is one of
// the studio's statuses, a refusal is JSON naming why, and nothing changes
// the file or posts unless it came with the page's origin and token.
#include <boost/asio/buffer.hpp>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <set>
#include <string_view>

#include "FuzzCheck.h"
#include "Routes.h"
#include "aurora/TemporaryDirectory.h"

namespace {

using namespace studio;

constexpr std::string_view kToken = "0123456789abcdef0123456789abcdef";

// A preferences file in a folder of its own (in memory where the system has one: every change is synced).
std::filesystem::path memoryFolder() { return std::filesystem::exists("/dev/shm") ? "/dev/shm" : ""; }

struct Studio {
  aurora::TemporaryDirectory folder{"studio-fuzz-", memoryFolder()};
  int posts = 0;
  HeldValues held;
  SettingsApi api{folder / "prefs.plist", [this] { ++posts; }, held};
  FilesApi files{folder / "prefs.plist", api, folder / "looks"};
  FrameHub frames;
  EventHub events;
  Routes routes{{[] { return 0; }, [] { return 1; }, [] {}, [] { return TimeState{}; }, [](const TimeChange&) {}},
                api,
                files,
                frames,
                events,
                RequestGuard("127.0.0.1", 8765, std::string(kToken))};
};

bool fromPage(const Request& request) {
  const std::string_view host = request[http::field::host];
  return (host == "127.0.0.1:8765" || host == "localhost:8765") &&
         request[http::field::origin] == "http://" + std::string(host) && request[kTokenHeader] == kToken;
}

void checkResponse(const Response& response) {
  static const std::set<unsigned> kStatuses{200, 400, 403, 404, 405, 409, 413, 431, 500, 503};
  FUZZ_CHECK(kStatuses.contains(response.result_int()));
  if (response.result_int() >= 400) {
    const auto body = nlohmann::json::parse(response.body(), nullptr, false);
    FUZZ_CHECK(body.is_object() && body.contains("error") && body["error"].is_string());
  }
}

// Feeds `bytes` until the parser has the headers (or, with `whole`, the
// whole request), as a read from a socket would; returns how many it used.
// Where the bytes run out first, the client has closed.
std::size_t feed(RequestParser& parser, std::string_view bytes, bool whole, boost::system::error_code& error) {
  std::size_t used = 0;
  while (!error && !(whole ? parser.is_done() : parser.is_header_done())) {
    if (used == bytes.size()) {
      parser.put_eof(error);
      break;
    }
    used += parser.put(boost::asio::buffer(bytes.substr(used)), error);
    if (error == http::error::need_more) {
      error = {};
      parser.put_eof(error);
      break;
    }
  }
  return used;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Studio studio;
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  while (!bytes.empty()) {
    RequestParser parser;
    limit(parser);
    boost::system::error_code error;
    bytes.remove_prefix(feed(parser, bytes, false, error));
    if (!error) {
      if (auto refusal = studio.routes.refusal(parser.get())) {
        checkResponse(*refusal);
        FUZZ_CHECK(refusal->result_int() == 403);
        return 0;  // the connection closes
      }
      parser.eager(true);
      bytes.remove_prefix(feed(parser, bytes, true, error));
    }
    if (error) {
      if (error == http::error::end_of_stream || error == http::error::partial_message) return 0;
      const Response refused = Routes::unreadable(error);
      checkResponse(refused);
      return 0;
    }
    const Request& request = parser.get();
    const int postsBefore = studio.posts;
    Answer answer = studio.routes.answer(request);
    if (answer.then == Answer::Then::Still) answer.response = Routes::still(studio.frames.whole());
    checkResponse(answer.response);
    const bool changes = request.method() != http::verb::get;
    FUZZ_CHECK(!changes || answer.response.result_int() != 200 || fromPage(request));
    FUZZ_CHECK(studio.posts == postsBefore || (fromPage(request) && answer.response.result_int() == 200));
    FUZZ_CHECK(answer.place.has_value() ==
               (answer.then == Answer::Then::Preview || answer.then == Answer::Then::Events));
    if (answer.place) return 0;  // a stream holds the connection to its end
    if (!request.keep_alive()) return 0;
  }
  return 0;
}
