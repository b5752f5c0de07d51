// The studio without a browser: the settings API, the request guard, the hubs, the server through loopback sockets.
#include <fmt/format.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sstream>
#include <thread>

#include "Foundation/NSDictionary.h"
#include "HeldValues.h"
#include "Hubs.h"
#include "RequestGuard.h"
#include "SettingsApi.h"
#include "StudioOptions.h"
#include "StudioServer.h"
#include "TempDeviceRoot.h"
#include "prefs/PreferenceKeys.h"

namespace studio {
namespace {

using namespace std::chrono_literals;
using namespace std::string_literals;
using Json = nlohmann::json;
constexpr const char* kFile = "/var/mobile/Library/Preferences/com.quillmoren.auroraribbonpref.plist";

class SettingsApiTest : public ::testing::Test {
 protected:
  aurora::testing::TempDeviceRoot root_;
  int posts_ = 0;
  HeldValues held_;
  SettingsApi api_{aurora::hostPath(kFile), [this] { ++posts_; }, held_};
};

// What each key shows: the file's value, and what the extension takes from it.
Json entry(const Json& state, const std::string& name) {
  for (const Json& entry : state["keys"])
    if (entry["key"] == name) return entry;
  return nullptr;
}

Json key(const Json& state, const std::string& name) {
  const Json found = entry(state, name);
  return found.is_null() ? found : Json{{"file", found["file"]}, {"reads", found["reads"]}};
}

TEST_F(SettingsApiTest, AnAcceptedChangeKeepsOtherKeysAndTheFormat) {
  root_.write(kFile, aurora::preferencesBytes({{"enabled", true}, {"odd key", 0.5}}, aurora::PlistFormat::Binary));
  const ApiResult result = api_.write(
      R"({"style":"Fade","fadeColor1":"#FF0000:0.5","fadeSpeed":1,"homeBarOpacity":0.1,"enabled":false})", 7);
  ASSERT_EQ(result.status, 200) << result.body;
  EXPECT_EQ(posts_, 1);
  EXPECT_EQ(root_.read(kFile).substr(0, 8), "bplist00");
  const auto written = NSDictionary::fromFile(aurora::hostPath(kFile));
  ASSERT_TRUE(written);
  for (auto [name, text] : {std::pair("style", "Fade"), {"fadeColor1", "#FF0000:0.5"}})
    EXPECT_EQ(written->stringValue(name), text) << name;
  EXPECT_EQ(written->boolValue("enabled"), false);
  EXPECT_EQ(written->doubleValue("odd key"), 0.5);
  EXPECT_TRUE(
      std::holds_alternative<std::int64_t>(written->objectForKey("fadeSpeed")->storage));  // an integer stays one
  EXPECT_EQ(result.body["version"], 7);
  EXPECT_EQ(key(result.body, "homeBarOpacity"),
            (Json{{"file", 0.1}, {"reads", 0.10000000149011612}}));  // held as a 32-bit float
  EXPECT_EQ(result.body["other"], (Json{{"odd key", 0.5}}));
  EXPECT_EQ(api_.write("{}", 7).status, 200);
  EXPECT_EQ(posts_, 1);  // nothing to write, nothing posted
}

// By the platform's rules; a colour that is none falls back.
TEST_F(SettingsApiTest, ItShowsWhatTheExtensionReads) {
  EXPECT_EQ(api_.read(0).body["exists"], false);
  EXPECT_EQ(key(api_.read(0).body, "fadeColor1"), (Json{{"file", nullptr}, {"reads", "#F62459"}}));
  root_.write(kFile, aurora::preferencesBytes({{"enabled", std::string("YES")},
                                               {"fadeColor1", std::string("#12")},
                                               {"fadeColor2", std::string("#00FF00")},
                                               {"waveDirection", std::int64_t{3}}},
                                              aurora::PlistFormat::Xml));
  const Json state = api_.read(3).body;
  for (const auto& [field, value] :
       std::vector<std::pair<std::string, Json>>{{"exists", true}, {"readable", true}, {"version", 3}})
    EXPECT_EQ(state[field], value) << field;
  EXPECT_EQ(key(state, "enabled"), (Json{{"file", "YES"}, {"reads", true}}));
  EXPECT_EQ(key(state, "fadeColor1"), (Json{{"file", "#12"}, {"reads", "#F62459"}}));  // no colour: the fallback
  EXPECT_EQ(key(state, "fadeColor2"), (Json{{"file", "#00FF00"}, {"reads", "#00FF00"}}));
  EXPECT_EQ(key(state, "waveDirection"), (Json{{"file", 3}, {"reads", "3"}}));
  EXPECT_EQ(key(state, "fadeSpeed"),
            (Json{{"file", nullptr}, {"reads", nullptr}}));  // absent: the extension keeps its own
  EXPECT_EQ(state["keys"].size(), prefs::knownKeys().size());
  // How a page shows each key comes with it, from the pane's table.
  EXPECT_EQ(entry(state, "waveDirection")["pane"]["choiceLabels"], (Json{"left to right", "right to left"}));
  root_.write(kFile, "junk");
  EXPECT_EQ(api_.read(0).body["exists"], true);
  EXPECT_EQ(api_.read(0).body["readable"], false);
}

// Each read the platform reports, of the file as it then is: a plain key keeps its last value when it goes, a colour
// falls back.
TEST_F(SettingsApiTest, AKeyNotInTheFileShowsWhatTheExtensionHolds) {
  const auto held = [&](const std::string& name) { return entry(api_.read(0).body, name)["held"]; };
  const auto read = [](const char* path = kFile) { NSDictionary::dictionaryWithContentsOfFile(path); };
  EXPECT_EQ(entry(api_.read(0).body, "waveAnimationSpeed")["initial"], 0.05);
  EXPECT_EQ(entry(api_.read(0).body, "waveAnimationSpeed")["pane"]["range"]["step"], 0.01);
  EXPECT_EQ(held("fadeColor1"),
            (Json{{"value", nullptr}, {"from", "initial"}}));  // a system colour until the first read
  read();                                                      // no file: only the colours change
  EXPECT_EQ(held("waveAnimationSpeed"), (Json{{"value", 0.05}, {"from", "initial"}}));
  EXPECT_EQ(held("fadeColor1"), (Json{{"value", "#F62459"}, {"from", "read"}}));
  root_.write(kFile,
              aurora::preferencesBytes(
                  {{"waveAnimationSpeed", 0.3}, {"style", std::string("Fade")}, {"fadeColor1", std::string("#00FF00")}},
                  aurora::PlistFormat::Xml));
  EXPECT_EQ(held("style")["value"], "Wave");  // written, not yet read
  read();
  root_.write(kFile, aurora::preferencesBytes({{"style", std::string("Static")}, {"fadeColor2", std::string("#12")}},
                                              aurora::PlistFormat::Xml));
  const char* another = "/var/mobile/Library/Preferences/another.plist";
  root_.write(another, aurora::preferencesBytes({{"style", std::string("Spectrum")}}, aurora::PlistFormat::Xml));
  read(another);  // another file's read changes nothing
  EXPECT_EQ(held("style")["value"], "Fade");
  read();
  const Json state = api_.read(0).body;
  EXPECT_EQ(entry(state, "waveAnimationSpeed")["held"], (Json{{"value", 0.30000001192092896}, {"from", "read"}}));
  EXPECT_EQ(entry(state, "waveAnimationSpeed")["file"], nullptr);
  EXPECT_EQ(entry(state, "style")["held"]["value"], "Static");
  EXPECT_EQ(entry(state, "fadeColor1")["held"]["value"], "#F62459");
  EXPECT_EQ(entry(state, "fadeColor2")["held"]["value"], "#BF55EC");  // no colour: the fallback
  EXPECT_EQ(entry(state, "enabled")["held"], (Json{{"value", false}, {"from", "initial"}}));
}

// Its error names the key in the pane's words; a file the device cannot read is never overwritten.
TEST_F(SettingsApiTest, ARefusedChangeLeavesTheFileAndPostsNothing) {
  root_.write(kFile, aurora::preferencesBytes({{"enabled", true}}, aurora::PlistFormat::Xml));
  const std::string before = root_.read(kFile);
  const auto paneSays = [](prefs::WriteItem item) {
    try {
      prefs::checkedEntry(item);
    } catch (const prefs::RefusedValue& why) {
      return std::string(why.what());
    }
    return std::string("accepted");
  };
  for (const auto& [body, error] : std::vector<std::pair<std::string, std::string>>{
           {R"({"style":"Fade","fadeColor1":"#12"})",
            paneSays({"fadeColor1", prefs::ValueType::String, "#12"})},  // the pane's words
           {R"({"enabled":"yes"})", paneSays({"enabled", prefs::ValueType::String, "yes"})},
           {R"({"fadeSpeed":"1"})", "fadeSpeed takes -float or -int, not -string"},
           {R"({"fadeSpeed":0})", "fadeSpeed: 0 is outside its range, 0.1 to 20"},  // the page's sliders' ranges
           {R"({"style":"Fade","waveOpacity":1.5})", "waveOpacity: 1.5 is outside its range, 0 to 1"},
           {R"({"fadeColor1":"#FF0000\u0001"})", "fadeColor1: the text holds U+0001, which XML cannot carry"},
           {R"({"style":"Fade","sparkle":1})", "'sparkle' is not a key AuroraRibbon reads"},
           {R"({"fadeSpeed":null})", "fadeSpeed: a value must be true, false, a number or a string"},
           {R"({"fadeSpeed":[1]})", "fadeSpeed: a value must be true, false, a number or a string"},
           {R"([1,2])", "the body must be a JSON object of keys and values"},
           {R"({"fadeSpeed":1e999})", "the body is not JSON"},
           {R"({"style":)", "the body is not JSON"}}) {
    const ApiResult result = api_.write(body, 0);
    EXPECT_EQ(result.status, 400) << body;
    EXPECT_EQ(result.body.value("error", ""), error) << body;
  }
  EXPECT_EQ(root_.read(kFile), before);
  EXPECT_EQ(posts_, 0);
  root_.write(kFile, "junk");  // a file the device cannot read is never overwritten...
  EXPECT_EQ(api_.write(R"({"enabled":true})", 0).status, 409);
  EXPECT_EQ(root_.read(kFile), "junk");
  EXPECT_EQ(api_.remove().body, (Json{{"removed", true}}));  // ...but Reset removes it
  EXPECT_EQ(api_.remove().body["removed"], false);
  ASSERT_EQ(::mkfifo(aurora::hostPath(kFile).c_str(), 0644), 0);  // opened to read, it would hold up the studio
  EXPECT_EQ(api_.write(R"({"enabled":true})", 0).status, 409);
  EXPECT_EQ(api_.remove().status, 409);
  EXPECT_TRUE(std::filesystem::is_fifo(aurora::hostPath(kFile)));
  EXPECT_EQ(posts_, 1);
}

TEST(RequestGuardTest, OnlyItsOwnPageAndOnItsOwnAddress) {
  const RequestGuard loopback("127.0.0.1", 8765, "secret"), v6("::1", 8765, "secret"), lan("192.168.1.5", 80, "secret");
  const std::string lanCookies = "a=b; " + lan.tokenCookie().substr(0, lan.tokenCookie().find(';'));
  struct Row {
    const RequestGuard& guard;
    GuardedRequest request;
    bool refused;
  };
  // Its own host and origin, another site's, and the other machines' address.
  const std::string own = "127.0.0.1:8765", ownOrigin = "http://127.0.0.1:8765", evil = "http://attacker.example",
                    lanHost = "192.168.1.5:80", xSite = "cross-site";
  const std::vector<Row> rows{
      {loopback, {.method = "GET", .host = own}, false},
      {loopback, {.method = "GET", .host = "localhost:8765"}, false},
      {loopback, {.method = "GET", .host = "attacker.example:8765"}, true},  // a name rebound to 127.0.0.1
      {loopback, {.method = "GET", .host = "127.0.0.1:8766"}, true},
      {loopback, {.method = "GET", .host = ""}, true},
      {v6, {.method = "GET", .host = "[::1]:8765"}, false},
      // Another site's page: refused on reads too, whatever it asks for, but a link to the page may be followed.
      {loopback, {.method = "GET", .host = own, .fetchSite = xSite, .fetchMode = "no-cors"}, true},
      {loopback, {.method = "GET", .host = own, .fetchSite = "same-site", .fetchMode = "cors"}, true},
      {loopback, {.method = "GET", .host = own, .origin = evil}, true},
      {loopback,
       {.method = "GET", .host = own, .fetchSite = xSite, .fetchMode = "navigate", .fetchDest = "iframe"},
       true},
      {loopback,
       {.method = "GET", .host = own, .fetchSite = xSite, .fetchMode = "navigate", .fetchDest = "document"},
       false},
      {loopback, {.method = "GET", .host = own, .fetchSite = "same-origin", .fetchMode = "cors"}, false},
      {loopback, {.method = "GET", .host = own, .fetchSite = "none", .fetchMode = "navigate"}, false},
      // Changes: its own origin and its token.
      {loopback, {.method = "PUT", .host = own, .origin = ownOrigin, .token = "secret"}, false},
      {loopback,
       {.method = "PUT", .host = "localhost:8765", .origin = "http://localhost:8765", .token = "secret"},
       false},
      {loopback, {.method = "PUT", .host = own, .origin = evil, .token = "secret"}, true},
      {loopback, {.method = "PUT", .host = own, .token = "secret"}, true},
      {loopback, {.method = "DELETE", .host = own, .origin = ownOrigin}, true},
      {loopback, {.method = "POST", .host = own, .origin = ownOrigin, .token = "secreT"}, true},
      {loopback, {.method = "POST", .host = own, .origin = ownOrigin, .token = "secret"}, false},
      // Reachable from other machines: any name, but every request carries the token.
      {lan, {.method = "GET", .target = "/", .host = lanHost}, true},
      {lan, {.method = "GET", .target = "/?token=secret", .host = "studio-box:80"}, false},
      {lan, {.method = "GET", .target = "/?view=1&token=secrets", .host = lanHost}, true},
      {lan, {.method = "GET", .target = "/api/preview", .host = lanHost, .cookie = lanCookies}, false},
      {lan, {.method = "GET", .target = "/api/preview", .host = lanHost, .cookie = "studio-token-81=secret"}, true},
      {lan, {.method = "PUT", .host = "studio-box:80", .origin = "http://studio-box:80", .token = "secret"}, false},
  };
  for (const Row& row : rows) {
    const GuardedRequest& r = row.request;
    EXPECT_EQ(row.guard.refusal(r).has_value(), row.refused)
        << r.method << " " << r.target << " host " << r.host << " origin " << r.origin << " site " << r.fetchSite
        << " cookie " << r.cookie;
  }
}

TEST(RequestGuardTest, ItsAddressIsOneABrowserOpens) {
  EXPECT_EQ(RequestGuard("127.0.0.1", 8765, "t").pageAddress(), "http://127.0.0.1:8765/");
  EXPECT_EQ(RequestGuard("::1", 8765, "t").pageAddress(), "http://[::1]:8765/");
  EXPECT_EQ(RequestGuard("192.168.1.5", 80, "t").pageAddress(), "http://192.168.1.5:80/?token=t");
  EXPECT_EQ(RequestGuard("0.0.0.0", 8765, "t").pageAddress(), "http://127.0.0.1:8765/?token=t");
  EXPECT_EQ(RequestGuard("::", 8765, "t").pageAddress(), "http://[::1]:8765/?token=t");
  EXPECT_THROW(RequestGuard("studio-box", 80, "t"), std::invalid_argument);
}

TEST(StudioOptionsTest, TheLoopbackUnlessToldAndAFreshTokenEachTime) {
  std::ostringstream out, err;
  const char* bare[] = {"auroraribbon-studio"};
  const auto options = std::get<StudioOptions>(parseStudioCommandLine(1, bare, out, err));
  EXPECT_EQ(options.bind, "127.0.0.1");
  const std::string token = freshToken();
  EXPECT_EQ(token.size(), 32u);
  EXPECT_NE(token, freshToken());
}

// A part of a 10 x 10 preview: the whole picture, or a rectangle that changed.
FrameHub::Part part(std::string png, bool whole = true, bool repeat = false) {
  const picture::PixelRect all{0, 0, 10, 10};
  return {0,  whole, repeat, whole ? all : picture::PixelRect{1, 2, 3, 4},
          10, 10,    all,    std::make_shared<const std::string>(std::move(png))};
}

std::vector<std::string> pngs(const FrameHub::Next& next) {
  std::vector<std::string> found;
  for (const auto& part : next.parts) found.push_back(*part.png);
  return found;
}

// A reader starts from a whole picture and then takes only what changed; one that is slow or gone costs
// neither memory nor waiting; the listener hears each piece of news.
TEST(HubsTest, ReadersStartWholeFollowChangesAndASlowOneCostsNothing) {
  using Pngs = std::vector<std::string>;
  FrameHub frames;
  int heard = 0;
  frames.listen([&] { ++heard; });
  EXPECT_TRUE(frames.after(0).parts.empty());
  frames.publish(part("whole"));
  frames.publish(part("a", false));
  EXPECT_EQ(pngs(frames.after(0)), (Pngs{"whole", "a"}));
  frames.publish(part("again", true, true));  // asked for: it changes nothing
  frames.publish(part("b", false));
  EXPECT_EQ(pngs(frames.after(2)), Pngs{"b"});
  EXPECT_EQ(frames.after(2).upTo, 4u);
  EXPECT_EQ(pngs(frames.after(0)), (Pngs{"again", "b"}));
  const std::weak_ptr<const std::string> old = frames.whole().png;
  for (std::size_t i = 0; i <= FrameHub::kKept; ++i) frames.publish(part(std::to_string(i), false));
  EXPECT_TRUE(frames.after(4).wholeNeeded);  // what it needs is gone, and so are the parts after the whole picture
  EXPECT_TRUE(frames.after(0).wholeNeeded);
  frames.publish(part("fresh", true, true));
  EXPECT_TRUE(old.expired());
  EXPECT_EQ(pngs(frames.after(4)), Pngs{"fresh"});
  EXPECT_EQ(frames.whole().number, FrameHub::kKept + 6);
  EXPECT_EQ(heard, static_cast<int>(FrameHub::kKept) + 6);
  frames.listen(nullptr);
  frames.publish(part("unheard"));
  EXPECT_EQ(heard, static_cast<int>(FrameHub::kKept) + 6);

  EventHub events;
  for (int i = 0; i < 1000; ++i) events.publish("frame", std::to_string(i));
  const auto kept = events.after(0);
  ASSERT_EQ(kept.size(), EventHub::kKept);
  EXPECT_EQ(kept.front().number, 1000 - EventHub::kKept + 1);
  std::vector<Hub::StreamPlace> places;
  while (auto place = events.openStream()) places.push_back(std::move(*place));
  EXPECT_EQ(places.size(), std::size_t{EventHub::kMostStreams});
  places.pop_back();
  EXPECT_TRUE(events.openStream());  // a closed stream gives its place back
  events.listen([&] { ++heard; });
  events.close();
  EXPECT_TRUE(events.after(0).empty());  // closed: nothing more for anyone
  EXPECT_FALSE(events.openStream());
  EXPECT_EQ(heard, static_cast<int>(FrameHub::kKept) + 7);
}

using Clock = std::chrono::steady_clock;

// A client socket on the loopback; every wait on it is bounded.
class Client {
 public:
  explicit Client(std::uint16_t port) : fd_(::socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in address{AF_INET, htons(port), {htonl(INADDR_LOOPBACK)}, {}};
    connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  }
  ~Client() { ::close(fd_); }
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;

  bool connected() const { return connected_; }
  void send(std::string_view bytes) { ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL); }
  // What came so far, once it holds `text` at or after `from` (no text: once closed), or the server closed or `bound`
  // passed.
  const std::string& readUntil(std::string_view text = {}, std::size_t from = 0,
                               std::chrono::milliseconds bound = 10s) {
    char chunk[4096];
    const auto holds = [&] { return !text.empty() && received_.find(text, from) != std::string::npos; };
    for (const auto giveUp = Clock::now() + bound; !closed_ && !holds() && readable(giveUp);) {
      const auto n = ::recv(fd_, chunk, sizeof chunk, 0);
      closed_ = n <= 0;
      if (!closed_) received_.append(chunk, static_cast<std::size_t>(n));
    }
    return received_;
  }
  bool closedWithin(std::chrono::milliseconds bound) { return readUntil({}, 0, bound), closed_; }
  // Whether the server reset the connection within `bound`, seen without reading what it sent.
  bool resetWithin(std::chrono::milliseconds bound) {
    pollfd watched{fd_, 0, 0};  // POLLHUP and POLLERR are reported unasked
    return ::poll(&watched, 1, static_cast<int>(bound.count())) == 1 && (watched.revents & (POLLHUP | POLLERR)) != 0;
  }
  // Closes at once with a reset, as a cancelled load or a killed tab does.
  void reset() {
    const linger abort{1, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    ::shutdown(fd_, SHUT_RDWR);
  }
  void shrinkReceiveBuffer() {
    const int bytes = 4096;
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
  }

 private:
  bool readable(Clock::time_point until) {
    pollfd watched{fd_, POLLIN, 0};
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
    return ::poll(&watched, 1, static_cast<int>(std::max<long>(left, 0))) == 1;
  }

  int fd_;
  bool connected_ = false;
  bool closed_ = false;
  std::string received_;
};

struct Reply {
  int status = 0;
  std::string head, body;
};

// A server on a free port of the loopback, with a host that does nothing.
class StudioServerTest : public SettingsApiTest {
 protected:
  void start(ServerLimits limits) {
    const auto respring = [this]() -> std::uint64_t {
      if (respringFails_) throw std::runtime_error("no scene to respring");
      return 1;
    };
    server_.emplace(
        HostRequests{[] { return 0; }, respring, [] {}, [] { return TimeState{}; }, [](const TimeChange&) {}}, api_,
        files_, frames_, events_, limits);
    port_ = server_->bind("127.0.0.1", 0);
    server_->routeBehind(RequestGuard("127.0.0.1", port_, "token"));
    serving_ = std::thread([this] { server_->serve(); });
  }
  void TearDown() override {
    if (!server_) return;
    frames_.close();
    events_.close();
    server_->stop();
    serving_.join();
  }
  std::string host() const { return "127.0.0.1:" + std::to_string(port_); }
  std::string fromPage() const { return "Origin: http://" + host() + "\r\nX-Studio-Token: token\r\n"; }
  std::string request(const std::string& method, const std::string& path, const std::string& headers = "",
                      const std::string& body = "") const {
    const bool chunked = headers.find("Transfer-Encoding: chunked") != std::string::npos;
    const std::string length = body.empty() || chunked ? "" : "Content-Length: " + std::to_string(body.size()) + "\r\n";
    return method + " " + path + " HTTP/1.1\r\nHost: " + host() + "\r\n" + headers + length + "\r\n" + body;
  }
  // One request on a connection of its own, read to its end.
  Reply ask(const std::string& method, const std::string& path, const std::string& headers = "",
            const std::string& body = "") {
    Client client(port_);
    client.send(request(method, path, headers + "Connection: close\r\n", body));
    const std::string got = client.readUntil();
    const auto split = got.find("\r\n\r\n");
    if (got.size() < 12 || split == std::string::npos) return {};
    return {std::stoi(got.substr(9, 3)), got.substr(0, split), got.substr(split + 4)};
  }
  // A GET held open on its own socket while the answer is 200; its status line.
  std::string open(const std::string& path) {
    auto client = std::make_unique<Client>(port_);
    client->send(request("GET", path));
    const std::string line = client->readUntil("\r\n").substr(0, 12);
    if (line == "HTTP/1.1 200") streams_.push_back(std::move(client));
    return line;
  }
  // Waits, bounded, for the server's thread to bring a hub to `streams` open.
  bool streamsBecome(const Hub& hub, int streams) {
    for (const auto giveUp = Clock::now() + 10s; Clock::now() < giveUp; std::this_thread::yield())
      if (hub.streams() == streams) return true;
    return false;
  }

  FilesApi files_{aurora::hostPath(kFile), api_, root_.path() / "looks"};
  FrameHub frames_;
  EventHub events_;
  std::optional<StudioServer> server_;
  std::uint16_t port_ = 0;
  std::thread serving_;
  std::vector<std::unique_ptr<Client>> streams_;
  bool respringFails_ = false;
};

// Changes come only from its page, with its token; a body or headers too big are refused.
TEST_F(StudioServerTest, AnswersOnlyItsOwnAddressPageAndFiles) {
  start({.still = 200ms});
  const Reply page = ask("GET", "/");
  EXPECT_EQ(page.status, 200);
  EXPECT_NE(page.body.find("content=\"token\""), std::string::npos);
  EXPECT_NE(page.head.find("Content-Security-Policy: default-src 'self'"), std::string::npos);
  for (const char* path : {"/index.html", "/../../etc/passwd", "/studio.js/..", "/page/studio.css"})
    EXPECT_EQ(ask("GET", path).status, 404) << path;
  Client rebound(port_);
  rebound.send("GET /api/settings HTTP/1.1\r\nHost: attacker.example:" + std::to_string(port_) + "\r\n\r\n");
  EXPECT_EQ(rebound.readUntil("\r\n").substr(0, 12), "HTTP/1.1 403");
  EXPECT_EQ(ask("GET", "/api/preview", "Sec-Fetch-Site: cross-site\r\n").status, 403);  // another site's page
  EXPECT_EQ(ask("PUT", "/api/settings", "", R"({"enabled":false})").status, 403);       // no Origin, no token
  EXPECT_EQ(ask("DELETE", "/api/settings", "Origin: http://attacker.example\r\nX-Studio-Token: token\r\n").status, 403);
  EXPECT_EQ(ask("PUT", "/api/settings", fromPage(), std::string(kMostBodyBytes + 1, ' ')).status, 413);
  const std::string chunks =
      fmt::format("{:x}\r\n{}\r\n0\r\n\r\n", kMostBodyBytes + 1, std::string(kMostBodyBytes + 1, ' '));
  EXPECT_EQ(ask("PUT", "/api/settings", fromPage() + "Transfer-Encoding: chunked\r\n", chunks).status, 413);
  EXPECT_EQ(ask("GET", "/api/settings", std::string(kMostHeaderBytes, 'x') + ": y\r\n").status, 431);
  EXPECT_EQ(ask("POST", "/api/settings", fromPage()).status, 405);
  EXPECT_FALSE(std::filesystem::exists(aurora::hostPath(kFile)));
  EXPECT_EQ(posts_, 0);
  EXPECT_EQ(ask("PUT", "/api/settings", fromPage(), R"({"enabled":false})").status, 200);
  EXPECT_EQ(posts_, 1);
  EXPECT_EQ(ask("POST", "/api/respring", fromPage()).body, R"({"respring":1})");
  EXPECT_EQ(ask("GET", "/api/preview.png?1").status, 503);  // nothing drawn within its patience
}

// Each of them gets the new frame; one closed gives its place back.
TEST_F(StudioServerTest, AtMostEightPreviewsAtOnce) {
  start({});
  frames_.publish(part("a picture"));
  for (int i = 0; i < FrameHub::kMostStreams; ++i) EXPECT_EQ(open("/api/preview"), "HTTP/1.1 200") << i;
  EXPECT_EQ(open("/api/preview"), "HTTP/1.1 503");
  const std::string head =
      "Content-Length: 9\r\nX-Place: 0,0,10,10\r\nX-Picture: 10,10\r\nX-Band: 0,0,10,10\r\n\r\na picture\r\n";
  EXPECT_NE(streams_.back()->readUntil(head).find(head), std::string::npos);
  frames_.publish(part("the next picture", false));
  for (auto& stream : streams_)
    EXPECT_NE(stream->readUntil("the next picture").find("the next picture"), std::string::npos);
  streams_.erase(streams_.begin());  // closed: the server sees it at once
  ASSERT_TRUE(streamsBecome(frames_, FrameHub::kMostStreams - 1));
  EXPECT_EQ(open("/api/events"), "HTTP/1.1 200");
  events_.publish("settings", R"({"version":1})");
  const std::string event = "event: settings\ndata: {\"version\":1}\n\n";
  EXPECT_NE(streams_.back()->readUntil(event).find(event), std::string::npos);
}

TEST_F(StudioServerTest, AStalledReaderIsClosedAfterItsWriteTimesOut) {
  start({.write = 200ms});
  frames_.publish(part("a picture"));
  Client stalled(port_);
  stalled.shrinkReceiveBuffer();
  stalled.send(request("GET", "/api/preview"));
  ASSERT_TRUE(streamsBecome(frames_, 1));
  frames_.publish(part(std::string(16 << 20, 'b'), false));  // more than the sockets hold
  EXPECT_TRUE(streamsBecome(frames_, 0));
}

// However a client ends the conversation, and whatever a route throws, only that connection ends.
TEST_F(StudioServerTest, EveryWayAConversationEndsLeavesTheServerServing) {
  start({.idle = 10min, .write = 200ms, .still = 100ms});
  frames_.publish(part(std::string(16 << 20, 'p')));  // more than the sockets hold
  Client cancelled(port_);
  cancelled.send(request("GET", "/api/preview.png"));
  EXPECT_EQ(cancelled.readUntil("\r\n").substr(0, 12), "HTTP/1.1 200");
  cancelled.reset();  // in the middle of the answer

  Client neverReads(port_);
  neverReads.shrinkReceiveBuffer();
  std::string pipelined;
  for (int i = 0; i < 3000; ++i) pipelined += request("GET", "/api/settings");
  neverReads.send(pipelined);
  EXPECT_EQ(ask("GET", "/api/settings").status, 200);  // answered while the other's answers pile up
  EXPECT_TRUE(neverReads.resetWithin(30s));            // its write deadline passed (unread, it would wait 10 min)

  respringFails_ = true;
  const Reply failed = ask("POST", "/api/respring", fromPage());
  EXPECT_EQ(failed.status, 500);
  EXPECT_NE(failed.body.find("\"error\""), std::string::npos);
  EXPECT_EQ(ask("GET", "/api/settings").status, 200);
}

// Half-sent and silent connections hold up no request or preview; closed by their deadlines, oldest first at the cap.
// A preview that takes its chunks outlives the write deadline, even one whose first chunk went out at once.
TEST_F(StudioServerTest, CrowdsOfIdleConnectionsHoldUpNothing) {
  constexpr std::size_t kCap = 24;
  start({.connections = kCap, .idle = 2s, .request = 2s, .write = 1s});
  frames_.publish(part("a picture"));
  EXPECT_EQ(open("/api/preview"), "HTTP/1.1 200");  // a stream is never closed to make room
  std::vector<std::unique_ptr<Client>> crowd;
  for (int i = 0; i < 60; ++i) {
    crowd.push_back(std::make_unique<Client>(port_));
    ASSERT_TRUE(crowd.back()->connected());
    if (i % 4 != 0)
      crowd.back()->send("GET /api/settings HT");  // three in four send half a request line, the rest nothing
  }
  Client keptAlive(port_);  // the page's next request, and the one after on the same connection
  keptAlive.send(request("GET", "/api/settings"));
  EXPECT_EQ(keptAlive.readUntil("\r\n").substr(0, 12), "HTTP/1.1 200");
  keptAlive.send(request("GET", "/api/settings"));
  EXPECT_NE(keptAlive.readUntil("HTTP/1.1 200", 1).find("HTTP/1.1 200", 1), std::string::npos);
  EXPECT_TRUE(crowd.front()->closedWithin(10s));  // the oldest made room first...
  EXPECT_FALSE(crowd.back()->closedWithin(0ms));  // ...the newest is still waiting
  frames_.publish(part("the next picture", false));
  EXPECT_NE(streams_.front()->readUntil("the next picture").find("the next picture"), std::string::npos);
  for (auto& client : crowd) EXPECT_TRUE(client->closedWithin(10s));  // none may wait longer than its deadline
  EXPECT_TRUE(keptAlive.closedWithin(10s));
  EXPECT_FALSE(streams_.front()->closedWithin(0ms));
}

}  // namespace
}  // namespace studio
