// The studio's requests without a browser: the settings API on a device root
// (the settings pane's validation; a refused change leaves the file byte for
// byte and posts nothing), the request guard's rules, the hubs' bounds, and
// the server's wiring through real sockets (its guard, body limit, stream
// limit, and page files from inside the program).
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <thread>

#include <httplib.h>

#include "Foundation/NSDictionary.h"
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
using Json = nlohmann::json;
constexpr const char* kFile = "/var/mobile/Library/Preferences/com.quillmoren.auroraribbonpref.plist";

std::string fileBytes() {
  std::ifstream in(aurora::hostPath(kFile), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class SettingsApiTest : public ::testing::Test {
 protected:
  aurora::testing::TempDeviceRoot root_;
  int posts_ = 0;
  SettingsApi api_{aurora::hostPath(kFile), [this] { ++posts_; }};
};

// What each key shows: the file's value, and what the extension takes from it.
Json entry(const Json& state, const std::string& name) {
  for (const Json& entry : state["keys"]) {
    if (entry["key"] == name) return entry;
  }
  return nullptr;
}

Json key(const Json& state, const std::string& name) {
  const Json found = entry(state, name);
  return found.is_null() ? found : Json{{"file", found["file"]}, {"reads", found["reads"]}};
}

TEST_F(SettingsApiTest, AnAcceptedChangeKeepsOtherKeysAndTheFormat) {
  root_.write(kFile, aurora::preferencesBytes({{"enabled", true}, {"odd key", 0.5}}, aurora::PlistFormat::Binary));
  const ApiResult result = api_.write(R"({"style":"Fade","fadeColor1":"#FF0000:0.5","fadeSpeed":1,"homeBarOpacity":0.1,"enabled":false})", 7);
  ASSERT_EQ(result.status, 200) << result.body;
  EXPECT_EQ(posts_, 1);
  EXPECT_EQ(fileBytes().substr(0, 8), "bplist00");
  const auto written = NSDictionary::fromFile(aurora::hostPath(kFile));
  ASSERT_TRUE(written);
  EXPECT_EQ(written->stringValue("style"), "Fade");
  EXPECT_EQ(written->stringValue("fadeColor1"), "#FF0000:0.5");
  EXPECT_EQ(written->boolValue("enabled"), false);
  EXPECT_EQ(written->doubleValue("odd key"), 0.5);
  EXPECT_TRUE(std::holds_alternative<std::int64_t>(written->objectForKey("fadeSpeed")->storage));  // an integer stays one
  EXPECT_EQ(result.body["version"], 7);
  EXPECT_EQ(key(result.body, "homeBarOpacity"), (Json{{"file", 0.1}, {"reads", 0.10000000149011612}}));  // held as a 32-bit float
  EXPECT_EQ(result.body["other"], (Json{{"odd key", 0.5}}));
  EXPECT_EQ(api_.write("{}", 7).status, 200);
  EXPECT_EQ(posts_, 1);  // nothing to write, nothing posted
}

// By the platform's rules; a colour that is none falls back.
TEST_F(SettingsApiTest, ItShowsWhatTheExtensionReads) {
  EXPECT_EQ(api_.read(0).body["exists"], false);
  EXPECT_EQ(key(api_.read(0).body, "fadeColor1"), (Json{{"file", nullptr}, {"reads", "#F62459"}}));
  root_.write(kFile, aurora::preferencesBytes({{"enabled", std::string("YES")}, {"fadeColor1", std::string("#12")},
                                               {"fadeColor2", std::string("#00FF00")}, {"waveDirection", std::int64_t{3}}},
                                              aurora::PlistFormat::Xml));
  const Json state = api_.read(3).body;
  EXPECT_EQ(state["exists"], true);
  EXPECT_EQ(state["readable"], true);
  EXPECT_EQ(state["version"], 3);
  EXPECT_EQ(key(state, "enabled"), (Json{{"file", "YES"}, {"reads", true}}));
  EXPECT_EQ(key(state, "fadeColor1"), (Json{{"file", "#12"}, {"reads", "#F62459"}}));  // no colour: the fallback
  EXPECT_EQ(key(state, "fadeColor2"), (Json{{"file", "#00FF00"}, {"reads", "#00FF00"}}));
  EXPECT_EQ(key(state, "waveDirection"), (Json{{"file", 3}, {"reads", "3"}}));
  EXPECT_EQ(key(state, "fadeSpeed"), (Json{{"file", nullptr}, {"reads", nullptr}}));  // absent: the extension keeps its own
  EXPECT_EQ(state["keys"].size(), prefs::knownKeys().size());
  // How a page shows each key comes with it, from the pane's table.
  EXPECT_EQ(entry(state, "waveAnimationSpeed")["pane"]["range"], (Json{{"min", 0.01}, {"max", 0.5}, {"step", 0.01}, {"unit", "s"}}));
  EXPECT_EQ(entry(state, "waveDirection")["pane"]["choiceLabels"], (Json{"left to right", "right to left"}));
  EXPECT_EQ(entry(state, "enabled")["pane"]["group"], "General");
  root_.write(kFile, "junk");
  EXPECT_EQ(api_.read(0).body["exists"], true);
  EXPECT_EQ(api_.read(0).body["readable"], false);
}

// Its error names the key in the pane's words; a file the device cannot read is never overwritten.
TEST_F(SettingsApiTest, ARefusedChangeLeavesTheFileAndPostsNothing) {
  root_.write(kFile, aurora::preferencesBytes({{"enabled", true}}, aurora::PlistFormat::Xml));
  const std::string before = fileBytes();
  const auto paneSays = [](prefs::WriteItem item) {
    try {
      prefs::checkedEntry(item);
    } catch (const prefs::RefusedValue& why) {
      return std::string(why.what());
    }
    return std::string("accepted");
  };
  for (const auto& [body, error] : std::vector<std::pair<std::string, std::string>>{
           {R"({"style":"Fade","fadeColor1":"#12"})", paneSays({"fadeColor1", prefs::ValueType::String, "#12"})},  // the pane's words
           {R"({"enabled":"yes"})", paneSays({"enabled", prefs::ValueType::String, "yes"})},
           {R"({"fadeSpeed":"1"})", "fadeSpeed takes -float or -int, not -string"},
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
  EXPECT_EQ(fileBytes(), before);
  EXPECT_EQ(posts_, 0);
  root_.write(kFile, "junk");  // a file the device cannot read is never overwritten...
  EXPECT_EQ(api_.write(R"({"enabled":true})", 0).status, 409);
  EXPECT_EQ(fileBytes(), "junk");
  EXPECT_EQ(api_.remove().body, (Json{{"removed", true}}));  // ...but Reset removes it
  EXPECT_EQ(api_.remove().body["removed"], false);
  EXPECT_EQ(posts_, 1);
}

TEST(RequestGuardTest, OnlyItsOwnAddressAndChangesOnlyFromItsOwnPage) {
  const RequestGuard loopback("127.0.0.1", 8765, "secret"), lan("192.168.1.5", 80, "secret");
  const std::string page = "http://127.0.0.1:8765";
  struct Row {
    const RequestGuard& guard;
    const char *method, *host, *origin, *token;
    bool refused;
  };
  for (const Row& row : std::vector<Row>{
           {loopback, "GET", "127.0.0.1:8765", "", "", false}, {loopback, "GET", "localhost:8765", "", "", false},
           {loopback, "GET", "attacker.example:8765", "", "", true},  // a name rebound to 127.0.0.1
           {loopback, "GET", "127.0.0.1:8766", "", "", true}, {loopback, "GET", "", "", "", true},
           {loopback, "PUT", "127.0.0.1:8765", "http://127.0.0.1:8765", "secret", false},
           {loopback, "PUT", "localhost:8765", "http://localhost:8765", "secret", false},
           {loopback, "PUT", "127.0.0.1:8765", "http://attacker.example", "secret", true},
           {loopback, "PUT", "127.0.0.1:8765", "", "secret", true}, {loopback, "DELETE", "127.0.0.1:8765", page.c_str(), "", true},
           {loopback, "POST", "127.0.0.1:8765", page.c_str(), "secreT", true}, {loopback, "POST", "127.0.0.1:8765", page.c_str(), "secret", false},
           {lan, "GET", "192.168.1.5:80", "", "", false}, {lan, "GET", "localhost:80", "", "", true}}) {
    EXPECT_EQ(row.guard.refusal(row.method, row.host, row.origin, row.token).has_value(), row.refused)
        << row.method << " " << row.host << " " << row.origin << " " << row.token;
  }
  EXPECT_EQ(loopback.pageAddress(), "http://127.0.0.1:8765/");
  std::ostringstream out, err;
  const char* bare[] = {"auroraribbon-studio"};
  const auto options = std::get<StudioOptions>(parseStudioCommandLine(1, bare, out, err));
  EXPECT_EQ(options.bind, "127.0.0.1");  // the loopback unless told
  EXPECT_EQ(options.port, 8765);
  const std::string token = freshToken();
  EXPECT_EQ(token.size(), 32u);
  EXPECT_NE(token, freshToken());
}

TEST(HubsTest, AReaderThatIsSlowOrGoneCostsNeitherMemoryNorWaiting) {
  FrameHub frames;
  frames.publish("first");
  const std::weak_ptr<const std::string> first = frames.latest().png;
  for (int i = 0; i < 1000; ++i) frames.publish(std::to_string(i));
  EXPECT_EQ(frames.latest().number, 1001u);
  EXPECT_EQ(frames.drawings(), 1001u);
  EXPECT_TRUE(first.expired());
  frames.publish("999");  // the same picture again: drawn, but no new frame
  EXPECT_EQ(frames.latest().number, 1001u);
  EXPECT_EQ(frames.drawings(), 1002u);
  EventHub events;
  for (int i = 0; i < 1000; ++i) events.publish("frame", std::to_string(i));
  const auto kept = events.waitAfter(0, 0ms);
  ASSERT_EQ(kept.size(), EventHub::kKept);
  EXPECT_EQ(kept.front().number, 1000 - EventHub::kKept + 1);
  events.close();
  EXPECT_TRUE(events.waitAfter(0, 1h).empty());  // closing wakes every reader at once
}

// A server on a free port of the loopback, with a host that does nothing.
class StudioServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    port_ = server_.bind("127.0.0.1", 0);
    server_.guard(RequestGuard("127.0.0.1", port_, "token"));
    serving_ = std::thread([this] { server_.serve(); });
  }
  void TearDown() override {
    frames_.close();
    events_.close();
    server_.stop();
    serving_.join();
  }
  httplib::Headers fromPage() const {
    return {{"Origin", "http://127.0.0.1:" + std::to_string(port_)}, {kTokenHeader, "token"}};
  }
  // The status line of a GET on a socket of its own, kept open while the answer is 200.
  std::string open(const std::string& path) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{AF_INET, htons(port_), {htonl(INADDR_LOOPBACK)}, {}};
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return "no connection";
    const std::string request = "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port_) + "\r\n\r\n";
    ::send(fd, request.data(), request.size(), 0);
    std::string line;
    for (char c; line.find("\r\n") == std::string::npos && ::recv(fd, &c, 1, 0) == 1;) line += c;
    line = line.substr(0, 12);
    if (line == "HTTP/1.1 200") sockets_.push_back(fd);
    else ::close(fd);
    return line;
  }

  aurora::testing::TempDeviceRoot root_;
  int posts_ = 0;
  SettingsApi api_{aurora::hostPath(kFile), [this] { ++posts_; }};
  FrameHub frames_;
  EventHub events_;
  StudioServer server_{{[] { return 0; }, [] { return 1; }, [] {}}, api_, frames_, events_};
  std::uint16_t port_ = 0;
  std::thread serving_;
  std::vector<int> sockets_;
};

// Changes come only from its page, with its token; a body too big is refused.
TEST_F(StudioServerTest, AnswersOnlyItsOwnAddressPageAndFiles) {
  httplib::Client client("127.0.0.1", port_);
  const auto page = client.Get("/");
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  EXPECT_NE(page->body.find("content=\"token\""), std::string::npos);
  for (const char* path : {"/index.html", "/../../etc/passwd", "/studio.js/..", "/page/studio.css"}) EXPECT_EQ(client.Get(path)->status, 404) << path;
  EXPECT_EQ(client.Get("/api/settings", {{"Host", "attacker.example:" + std::to_string(port_)}})->status, 403);
  EXPECT_EQ(client.Put("/api/settings", R"({"enabled":false})", "application/json")->status, 403);  // no Origin, no token
  EXPECT_EQ(client.Delete("/api/settings", {{"Origin", "http://attacker.example"}, {kTokenHeader, "token"}})->status, 403);
  EXPECT_EQ(client.Put("/api/settings", fromPage(), std::string(kMostBodyBytes + 1, ' '), "application/json")->status, 413);
  EXPECT_FALSE(std::filesystem::exists(aurora::hostPath(kFile)));
  EXPECT_EQ(posts_, 0);
  EXPECT_EQ(client.Put("/api/settings", fromPage(), R"({"enabled":false})", "application/json")->status, 200);
  EXPECT_EQ(posts_, 1);
  EXPECT_EQ(client.Post("/api/respring", fromPage(), "", "text/plain")->body, R"({"respring":1})");
}

TEST_F(StudioServerTest, AtMostEightPreviewsAtOnceAndAClosedOneGivesItsPlaceBack) {
  frames_.publish("a picture");
  for (int i = 0; i < FrameHub::kMostStreams; ++i) EXPECT_EQ(open("/api/preview"), "HTTP/1.1 200") << i;
  EXPECT_EQ(open("/api/preview"), "HTTP/1.1 503");
  ::close(sockets_.front());
  sockets_.erase(sockets_.begin());
  std::string again;  // the server notices when a write to it fails: give it pictures to send
  for (auto giveUp = std::chrono::steady_clock::now() + 10s; again != "HTTP/1.1 200" && std::chrono::steady_clock::now() < giveUp;) {
    frames_.publish(std::to_string(frames_.drawings()));
    again = open("/api/preview");
  }
  EXPECT_EQ(again, "HTTP/1.1 200");
  for (int fd : sockets_) ::close(fd);
}

}  // namespace
}  // namespace studio
