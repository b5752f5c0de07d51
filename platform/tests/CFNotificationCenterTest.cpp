// The Darwin notification centre: in-process delivery on the virtual clock,
// one callback per post in posting order, trace reports, the socket directory,
// and delivery from another process.
#include <cstring>
#include <set>
#include <thread>

#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include "CoreFoundation/CFNotificationCenter.h"
#include "PlatformTestSupport.h"
#include "TempDeviceRoot.h"
#include "aurora/MainThread.h"

extern char** environ;

namespace {

using namespace aurora::testing;
namespace fs = std::filesystem;
using Names = std::vector<std::string>;

// What callbacks saw, in order. Global: observers are never removed, so they
// must not point into a finished test.
struct Delivery {
  std::string name;
  const void* observer;
  bool onMainThread;
  double atSeconds;
};
std::vector<Delivery> gDeliveries;
Names* gEventLog = nullptr;

CFNotificationCenterRef center() { return CFNotificationCenterGetDarwinNotifyCenter(); }
void record(CFNotificationCenterRef from, void* observer, CFStringRef name, const void* object, CFDictionaryRef userInfo) {
  EXPECT_EQ(std::tuple(from, object, userInfo), std::tuple(center(), nullptr, nullptr));
  gDeliveries.push_back({name, observer, aurora::isMainThread(), aurora::toSeconds(NSRunLoop::mainRunLoop().now())});
  if (gEventLog) gEventLog->push_back(std::string("callback ") + name);
}
void observe(const std::string& name, const void* observer = nullptr) {
  CFNotificationCenterAddObserver(center(), observer, &record, name.c_str(), nullptr, CFNotificationSuspensionBehaviorCoalesce);
}
void post(const std::string& name) { CFNotificationCenterPostNotification(center(), name.c_str(), nullptr, nullptr, true); }
Names deliveredNames() {
  Names names;
  for (const Delivery& d : gDeliveries) names.push_back(d.name);
  return names;
}
// A name no other test uses: observers outlive their test.
std::string uniqueName(const std::string& suffix) {
  return std::string("test.") + ::testing::UnitTest::GetInstance()->current_test_info()->name() + "." + suffix;
}
std::set<std::string> filesIn(const fs::path& directory) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(directory)) names.insert(entry.path().filename());
  return names;
}
sockaddr_un addressOf(const fs::path& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  return address;
}
// A datagram socket bound at `path`, standing in for another process.
int bindPeer(const fs::path& path) {
  const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  const sockaddr_un address = addressOf(path);
  EXPECT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0) << path;
  return fd;
}
// Runs the helper process and returns its exit status.
int runHelper(std::vector<std::string> args, const std::function<void()>& whileRunning = [] {}) {
  std::vector<char*> argv{const_cast<char*>(AURORA_NOTIFY_HELPER)};
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  EXPECT_EQ(::posix_spawn(&pid, AURORA_NOTIFY_HELPER, nullptr, nullptr, argv.data(), environ), 0);
  whileRunning();
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class NotificationCenterTest : public VirtualLoopTest {
 protected:
  void SetUp() override {
    VirtualLoopTest::SetUp();
    gDeliveries.clear();
  }
  void TearDown() override {
    gEventLog = nullptr;
    VirtualLoopTest::TearDown();
  }
  // Another process posts N names; all arrive here, in order, on the main thread.
  void expectDeliveryFromAnotherProcess() {
    const std::string prefix = uniqueName("remote");
    Names expected;
    for (int i = 0; i < 200; ++i) observe(expected.emplace_back(prefix + "." + std::to_string(i)));
    loop().reset(std::make_unique<aurora::RealClock>());
    EXPECT_EQ(runHelper({"post", prefix, "200"}, [&] {
      const auto giveUp = std::chrono::steady_clock::now() + 30s;  // a bound, not an assertion
      while (gDeliveries.size() < 200 && std::chrono::steady_clock::now() < giveUp) loop().runFor(50ms);
    }), 0);
    loop().runFor(100ms);  // nothing more may come
    EXPECT_EQ(deliveredNames(), expected);
    for (const Delivery& d : gDeliveries) EXPECT_TRUE(d.onMainThread);
  }
  fs::path notifyDirectory() const { return root_.path() / "var/run/notify"; }
  TempDeviceRoot root_;
};

TEST_F(NotificationCenterTest, EachPostGivesEachObserverOneCallbackInPostingOrderOnTheMainThreadAtTheSameInstant) {
  const std::string a = uniqueName("a"), b = uniqueName("b");
  int first = 0, second = 0;
  observe(a, &first);
  observe(a, &second);
  observe(a, &first);  // the same registration again: no second callback
  observe(b, &first);
  loop().runFor(1500ms);
  for (const std::string& name : {a, b, a}) post(name);
  std::thread poster([&] {
    post(a);
    post(b);
  });
  poster.join();
  EXPECT_TRUE(gDeliveries.empty());  // never synchronously
  // Long enough for the run loop to poll its own socket too: a post must not
  // come back through it a second time.
  loop().runFor(2s);
  EXPECT_EQ(deliveredNames(), (Names{a, a, b, a, a, a, a, b}));
  std::vector<const void*> observers;
  for (const Delivery& d : gDeliveries) {
    observers.push_back(d.observer);
    EXPECT_EQ(std::tuple(d.onMainThread, d.atSeconds), std::tuple(true, 1.5));
  }
  EXPECT_EQ(observers, (std::vector<const void*>{&first, &second, &first, &first, &second, &first, &second, &first}));
}

TEST_F(NotificationCenterTest, IgnoredCallsReportNothingAndAPostIsReportedThenEachDeliveryRightBeforeItsCallback) {
  struct Log : aurora::PlatformObserver {
    Names events;
    void notificationPosted(std::string_view name) override { events.push_back("post " + std::string(name)); }
    void notificationDelivered(std::string_view name) override { events.push_back("deliver " + std::string(name)); }
  } log;
  aurora::setPlatformObserver(&log);
  gEventLog = &log.events;
  const std::string x = uniqueName("x"), n = uniqueName("n");
  for (const char* name : {"", static_cast<const char*>(nullptr)}) {
    CFNotificationCenterAddObserver(center(), nullptr, &record, name, nullptr, CFNotificationSuspensionBehaviorDrop);
    CFNotificationCenterPostNotification(center(), name, nullptr, nullptr, true);
  }
  CFNotificationCenterAddObserver(center(), nullptr, nullptr, x.c_str(), nullptr, CFNotificationSuspensionBehaviorDrop);
  CFNotificationCenterPostNotification(nullptr, x.c_str(), nullptr, nullptr, true);
  post(x);  // its only observer had no callback
  int one = 0, two = 0;
  observe(n, &one);
  observe(n, &two);
  post(n);
  loop().runFor(1s);
  EXPECT_EQ(log.events, (Names{"post " + x, "post " + n, "deliver " + n, "callback " + n, "deliver " + n, "callback " + n}));
}

// Its socket is read by the run loop, on the virtual clock too; a post removes
// the sockets of processes that went away and leaves other files alone.
TEST_F(NotificationCenterTest, AnObservingProcessKeepsOneSocketInTheCurrentRootsRunDirectoryAndRemovesDeadOnes) {
  const std::string pid = std::to_string(::getpid()), a = uniqueName("a");
  observe(a);
  observe(uniqueName("b"));
  root_.write("/var/run/notify/notes", "x");
  const int peer = bindPeer(notifyDirectory() / "999999999");
  const sockaddr_un own = addressOf(notifyDirectory() / pid);
  ASSERT_EQ(::sendto(peer, a.data(), a.size(), 0, reinterpret_cast<const sockaddr*>(&own), sizeof own), ssize_t(a.size()));
  loop().runFor(1ms);
  ASSERT_EQ(deliveredNames(), (Names{a}));
  EXPECT_TRUE(gDeliveries[0].onMainThread);
  ::close(peer);  // its "process" went away
  post(uniqueName("n"));
  EXPECT_EQ(filesIn(notifyDirectory()), (std::set<std::string>{pid, "notes"}));
  // Observing again, even the same name, after the root changed moves the socket.
  TempDeviceRoot next;
  observe(a);
  EXPECT_EQ(filesIn(notifyDirectory()), (std::set<std::string>{"notes"}));
  EXPECT_EQ(filesIn(next.path() / "var/run/notify"), (std::set<std::string>{pid}));
}

TEST_F(NotificationCenterTest, AFullReceiverMakesThePosterWaitInsteadOfDropping) {
  // Far more posts than a datagram queue holds (10 by default), read slowly by
  // a peer standing in for another process.
  fs::create_directories(notifyDirectory());
  const int peer = bindPeer(notifyDirectory() / "peer");
  const std::string prefix = uniqueName("p");
  Names expected, received;
  for (int i = 0; i < 60; ++i) expected.push_back(prefix + "." + std::to_string(i));
  std::thread poster([&] {
    for (const std::string& name : expected) post(name);
  });
  timeval patience{10, 0};  // a bound on a broken poster, not a timing assertion
  ::setsockopt(peer, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
  char buffer[256];
  for (ssize_t got = 0; received.size() < expected.size() && (got = ::recv(peer, buffer, sizeof buffer, 0)) >= 0;) {
    received.emplace_back(buffer, static_cast<std::size_t>(got));
  }
  poster.join();
  ::close(peer);
  EXPECT_EQ(received, expected);
}

TEST_F(NotificationCenterTest, PostsFromAnotherProcessAllArriveInOrder) { expectDeliveryFromAnotherProcess(); }

TEST_F(NotificationCenterTest, ARootTooLongForASocketAddressUsesAShortDirectory) {
  TempDeviceRoot longRoot(90);
  ASSERT_GT((longRoot.path() / "var/run/notify/1234567890").native().size(), sizeof(sockaddr_un::sun_path));
  expectDeliveryFromAnotherProcess();
  EXPECT_FALSE(fs::exists(longRoot.path() / "var/run/notify"));
  // Our socket went to /tmp/aurora-notify-HASH; clean that up too.
  bool found = false;
  for (const auto& entry : fs::directory_iterator("/tmp")) {
    if (entry.path().filename().string().starts_with("aurora-notify-") && fs::is_socket(entry.path() / std::to_string(::getpid()))) {
      found = true;
      fs::remove_all(entry.path());
    }
  }
  EXPECT_TRUE(found);
}

TEST_F(NotificationCenterTest, AnObserverProcessRemovesItsSocketWhenItExits) {
  EXPECT_EQ(runHelper({"observe", uniqueName("n")}), 0);  // it had its socket while running
  EXPECT_TRUE(filesIn(notifyDirectory()).empty());
}

}  // namespace
