// The Darwin notification centre: in-process delivery on the virtual clock,
// one callback per post in posting order, trace reports, the socket directory,
// and delivery from another process.
#include <cstring>
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

// What callbacks saw, in order. Global: observers are never removed, so they
// must not point into a finished test.
struct Delivery {
  std::string name;
  void* observer;
  bool onMainThread;
  double atSeconds;
};
std::vector<Delivery> gDeliveries;
std::vector<std::string>* gEventLog = nullptr;

void record(CFNotificationCenterRef center, void* observer, CFStringRef name, const void* object, CFDictionaryRef userInfo) {
  EXPECT_EQ(center, CFNotificationCenterGetDarwinNotifyCenter());
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(userInfo, nullptr);
  gDeliveries.push_back({name, observer, aurora::isMainThread(), aurora::toSeconds(NSRunLoop::mainRunLoop().now())});
  if (gEventLog) gEventLog->push_back(std::string("callback ") + name);
}

CFNotificationCenterRef center() { return CFNotificationCenterGetDarwinNotifyCenter(); }

void observe(const std::string& name, const void* observer = nullptr, CFNotificationCallback callback = &record) {
  CFNotificationCenterAddObserver(center(), observer, callback, name.c_str(), nullptr, CFNotificationSuspensionBehaviorCoalesce);
}

void post(const std::string& name) { CFNotificationCenterPostNotification(center(), name.c_str(), nullptr, nullptr, true); }

std::vector<std::string> deliveredNames() {
  std::vector<std::string> names;
  for (const Delivery& d : gDeliveries) names.push_back(d.name);
  return names;
}

// A name no other test uses: observers outlive their test.
std::string uniqueName(const std::string& suffix) {
  return std::string("test.") + ::testing::UnitTest::GetInstance()->current_test_info()->name() + "." + suffix;
}

fs::path notifyDirectory(const TempDeviceRoot& root) { return root.path() / "var/run/notify"; }

// A datagram socket bound at `path`, standing in for another process.
int bindPeer(const fs::path& path) {
  const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0) << path;
  return fd;
}

class NotificationCenterTest : public VirtualLoopTest {
 protected:
  void SetUp() override {
    VirtualLoopTest::SetUp();
    gDeliveries.clear();
    gEventLog = nullptr;
  }
  void TearDown() override {
    gEventLog = nullptr;
    VirtualLoopTest::TearDown();
  }
  TempDeviceRoot root_;
};

TEST_F(NotificationCenterTest, APostIsQueuedNotRunAndArrivesAtTheSameVirtualInstant) {
  const std::string name = uniqueName("changed");
  observe(name);
  loop().runFor(1500ms);
  post(name);
  EXPECT_TRUE(gDeliveries.empty());  // never synchronously
  loop().runFor(0ms);
  ASSERT_EQ(gDeliveries.size(), 1u);
  EXPECT_EQ(gDeliveries[0].name, name);
  EXPECT_TRUE(gDeliveries[0].onMainThread);
  EXPECT_EQ(gDeliveries[0].atSeconds, 1.5);
}

TEST_F(NotificationCenterTest, EachPostGivesEachObserverOneCallbackInPostingOrder) {
  const std::string a = uniqueName("a");
  const std::string b = uniqueName("b");
  int first = 0;
  int second = 0;
  observe(a, &first);
  observe(a, &second);
  observe(a, &first);  // the same registration again: no second callback
  observe(b, &first);
  for (const std::string& name : {a, b, a, a, b}) post(name);
  // Long enough for the run loop to poll its own socket too: a post must not
  // come back through it a second time.
  loop().runFor(2s);
  EXPECT_EQ(deliveredNames(), (std::vector<std::string>{a, a, b, a, a, a, a, b}));
  std::vector<void*> observers;
  for (const Delivery& d : gDeliveries) observers.push_back(d.observer);
  EXPECT_EQ(observers, (std::vector<void*>{&first, &second, &first, &first, &second, &first, &second, &first}));
}

TEST_F(NotificationCenterTest, EmptyNamesNullCallbacksAndOtherCentresAreIgnored) {
  struct Posts : aurora::PlatformObserver {
    int count = 0;
    void notificationPosted(std::string_view) override { ++count; }
  } posts;
  aurora::setPlatformObserver(&posts);
  CFNotificationCenterAddObserver(center(), nullptr, &record, "", nullptr, CFNotificationSuspensionBehaviorDrop);
  CFNotificationCenterAddObserver(center(), nullptr, &record, nullptr, nullptr, CFNotificationSuspensionBehaviorDrop);
  CFNotificationCenterAddObserver(center(), nullptr, nullptr, uniqueName("x").c_str(), nullptr, CFNotificationSuspensionBehaviorDrop);
  CFNotificationCenterPostNotification(center(), "", nullptr, nullptr, true);
  CFNotificationCenterPostNotification(center(), nullptr, nullptr, nullptr, true);
  CFNotificationCenterPostNotification(nullptr, uniqueName("x").c_str(), nullptr, nullptr, true);
  post(uniqueName("x"));  // its only observer had no callback
  loop().runFor(1s);
  EXPECT_TRUE(gDeliveries.empty());
  EXPECT_EQ(posts.count, 1);
}

TEST_F(NotificationCenterTest, PostAndDeliveryAreReportedRightBeforeTheCallback) {
  struct Log : aurora::PlatformObserver {
    std::vector<std::string> events;
    void notificationPosted(std::string_view name) override { events.push_back("post " + std::string(name)); }
    void notificationDelivered(std::string_view name) override { events.push_back("deliver " + std::string(name)); }
  } log;
  aurora::setPlatformObserver(&log);
  gEventLog = &log.events;
  const std::string name = uniqueName("n");
  int one = 0;
  int two = 0;
  observe(name, &one);
  observe(name, &two);
  post(name);
  loop().runFor(0ms);
  EXPECT_EQ(log.events, (std::vector<std::string>{"post " + name, "deliver " + name, "callback " + name, "deliver " + name,
                                                 "callback " + name}));
}

TEST_F(NotificationCenterTest, PostsFromOtherThreadsRunOnTheMainThread) {
  const std::string name = uniqueName("threaded");
  observe(name);
  std::thread poster([&] {
    for (int i = 0; i < 5; ++i) post(name);
  });
  poster.join();
  loop().runFor(0ms);
  ASSERT_EQ(gDeliveries.size(), 5u);
  for (const Delivery& d : gDeliveries) EXPECT_TRUE(d.onMainThread);
}

TEST_F(NotificationCenterTest, AnObservingProcessKeepsOneSocketInTheCurrentRootsRunDirectory) {
  auto socketsIn = [](const fs::path& directory) {
    std::vector<fs::path> sockets;
    for (const auto& entry : fs::directory_iterator(directory)) sockets.push_back(entry.path());
    return sockets;
  };
  observe(uniqueName("a"));
  observe(uniqueName("b"));
  const std::vector<fs::path> sockets = socketsIn(notifyDirectory(root_));
  ASSERT_EQ(sockets.size(), 1u);
  EXPECT_EQ(sockets[0].filename(), std::to_string(::getpid()));
  EXPECT_TRUE(fs::is_socket(sockets[0]));

  // Observing again, even the same name, after the root changed moves the socket.
  TempDeviceRoot next;
  observe(uniqueName("a"));
  EXPECT_TRUE(socketsIn(notifyDirectory(root_)).empty());
  EXPECT_EQ(socketsIn(notifyDirectory(next)).size(), 1u);
}

TEST_F(NotificationCenterTest, ADeadSocketIsRemovedAndOtherFilesAreLeftAlone) {
  fs::create_directories(notifyDirectory(root_));
  const fs::path dead = notifyDirectory(root_) / "999999999";
  ::close(bindPeer(dead));  // bound, then its "process" went away
  const fs::path stray = notifyDirectory(root_) / "notes";
  root_.write("/var/run/notify/notes", "x");
  post(uniqueName("n"));
  EXPECT_FALSE(fs::exists(dead));
  EXPECT_TRUE(fs::exists(stray));
}

TEST_F(NotificationCenterTest, AFullReceiverMakesThePosterWaitInsteadOfDropping) {
  // Far more posts than a datagram queue holds (10 by default), read slowly by
  // a peer standing in for another process.
  fs::create_directories(notifyDirectory(root_));
  const int peer = bindPeer(notifyDirectory(root_) / "peer");
  constexpr int kPosts = 60;
  const std::string prefix = uniqueName("p");
  std::thread poster([&] {
    for (int i = 0; i < kPosts; ++i) post(prefix + "." + std::to_string(i));
  });
  timeval patience{10, 0};  // a bound on a broken poster, not a timing assertion
  ::setsockopt(peer, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
  std::vector<std::string> received;
  char buffer[256];
  while (received.size() < kPosts) {
    const ssize_t got = ::recv(peer, buffer, sizeof buffer, 0);
    if (got < 0) break;
    received.emplace_back(buffer, static_cast<std::size_t>(got));
  }
  poster.join();
  ::close(peer);
  std::vector<std::string> expected;
  for (int i = 0; i < kPosts; ++i) expected.push_back(prefix + "." + std::to_string(i));
  EXPECT_EQ(received, expected);
}

// Runs the helper process and returns its exit status.
pid_t spawnHelper(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(AURORA_NOTIFY_HELPER));
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  EXPECT_EQ(::posix_spawn(&pid, AURORA_NOTIFY_HELPER, nullptr, nullptr, argv.data(), environ), 0);
  return pid;
}

int exitStatus(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Another process posts N names; all arrive here, in order, on the main thread.
void expectDeliveryFromAnotherProcess(NSRunLoop& loop) {
  constexpr int kPosts = 200;
  const std::string prefix = uniqueName("remote");
  std::vector<std::string> expected;
  for (int i = 0; i < kPosts; ++i) {
    expected.push_back(prefix + "." + std::to_string(i));
    observe(expected.back());
  }
  loop.reset(std::make_unique<aurora::RealClock>());
  const pid_t helper = spawnHelper({"post", prefix, std::to_string(kPosts)});
  const auto giveUp = std::chrono::steady_clock::now() + 30s;  // a bound, not an assertion
  while (gDeliveries.size() < kPosts && std::chrono::steady_clock::now() < giveUp) loop.runFor(50ms);
  EXPECT_EQ(exitStatus(helper), 0);
  loop.runFor(100ms);  // nothing more may come
  EXPECT_EQ(deliveredNames(), expected);
  for (const Delivery& d : gDeliveries) EXPECT_TRUE(d.onMainThread);
}

TEST_F(NotificationCenterTest, PostsFromAnotherProcessAllArriveInOrder) { expectDeliveryFromAnotherProcess(loop()); }

TEST_F(NotificationCenterTest, ARootTooLongForASocketAddressUsesAShortDirectory) {
  TempDeviceRoot longRoot(90);
  ASSERT_GT((longRoot.path() / "var/run/notify/1234567890").native().size(), sizeof(sockaddr_un::sun_path));
  expectDeliveryFromAnotherProcess(loop());
  EXPECT_FALSE(fs::exists(longRoot.path() / "var/run/notify"));
  // Our socket went to /tmp/aurora-notify-HASH; clean that up too.
  bool found = false;
  for (const auto& entry : fs::directory_iterator("/tmp")) {
    if (entry.path().filename().string().rfind("aurora-notify-", 0) == 0 && fs::is_socket(entry.path() / std::to_string(::getpid()))) {
      found = true;
      fs::remove_all(entry.path());
    }
  }
  EXPECT_TRUE(found);
}

TEST_F(NotificationCenterTest, AnObserverProcessRemovesItsSocketWhenItExits) {
  const pid_t helper = spawnHelper({"observe", uniqueName("n")});
  EXPECT_EQ(exitStatus(helper), 0);  // it had its socket while running
  EXPECT_FALSE(fs::exists(notifyDirectory(root_) / std::to_string(helper)));
}

}  // namespace
