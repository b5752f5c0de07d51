// The device: its root and copies, the loader and its filters, the Darwin notification centre across processes.
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#include "CoreFoundation/CFNotificationCenter.h"
#include "Foundation/NSDictionary.h"
#include "PlatformTestSupport.h"
#include "TempDeviceRoot.h"
#include "aurora/Loader.h"
#include "aurora/MainThread.h"
#include "objc/runtime.h"

extern char** environ;

namespace {

using namespace aurora::testing;
namespace fs = std::filesystem;
using Names = std::vector<std::string>;

// Callbacks log "NAME" or "NAME by OBSERVER". Global: observers are never removed.
Names gLog;
double gLastAt = -1;
CFNotificationCenterRef center() { return CFNotificationCenterGetDarwinNotifyCenter(); }
void record(CFNotificationCenterRef from, void* observer, CFStringRef name, const void* object,
            CFDictionaryRef userInfo) {
  EXPECT_EQ(from, center());
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(userInfo, nullptr);
  EXPECT_TRUE(aurora::isMainThread());
  gLog.push_back(observer ? std::string(name) + " by " + static_cast<const char*>(observer) : name);
  gLastAt = aurora::toSeconds(NSRunLoop::mainRunLoop().now());
}
void observe(const std::string& name, const char* observer = nullptr) {
  CFNotificationCenterAddObserver(center(), observer, &record, name.c_str(), nullptr,
                                  CFNotificationSuspensionBehaviorCoalesce);
}
void post(const std::string& name) {
  CFNotificationCenterPostNotification(center(), name.c_str(), nullptr, nullptr, true);
}
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
int runHelper(
    std::vector<std::string> args, const std::function<void()>& whileRunning = [] {}) {
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
    gLog.clear();
  }
  void expectDeliveryFromAnotherProcess(const std::string& prefix) {
    gLog.clear();
    Names expected;
    for (int i = 0; i < 200; ++i) observe(expected.emplace_back(prefix + "." + std::to_string(i)));
    loop().reset(std::make_unique<aurora::RealClock>());
    EXPECT_EQ(runHelper({"post", prefix, "200"},
                        [&] {
                          const auto giveUp = std::chrono::steady_clock::now() + 30s;  // a bound, not an assertion
                          while (gLog.size() < 200 && std::chrono::steady_clock::now() < giveUp) loop().runFor(50ms);
                        }),
              0);
    loop().runFor(100ms);  // nothing more may come
    EXPECT_EQ(gLog, expected);
  }
  fs::path notifyDirectory() const { return root_.path() / "var/run/notify"; }
  TempDeviceRoot root_;
};

TEST_F(NotificationCenterTest, EachObserverGetsEachPostOnceInPostingOrder) {
  const std::string a = uniqueName("a"), b = uniqueName("b");
  observe(a, "first");
  observe(a, "second");
  observe(a, "first");  // the same registration again: no second callback
  observe(b, "first");
  loop().runFor(1500ms);
  for (const std::string& name : {a, b, a}) post(name);
  std::thread poster([&] {
    post(a);
    post(b);
  });
  poster.join();
  EXPECT_TRUE(gLog.empty());  // never synchronously
  loop().runFor(2s);          // long enough to poll its own socket too: a post must not come back through it
  const std::string a1 = a + " by first", a2 = a + " by second", b1 = b + " by first";
  EXPECT_EQ(gLog, (Names{a1, a2, b1, a1, a2, a1, a2, b1}));
  EXPECT_EQ(gLastAt, 1.5);
}

// After the post's report; an observer without a callback gets no delivery.
TEST_F(NotificationCenterTest, EachDeliveryIsReportedRightBeforeItsCallback) {
  struct Log : aurora::PlatformObserver {
    void notificationPosted(std::string_view name) override { gLog.push_back("post " + std::string(name)); }
    void notificationDelivered(std::string_view name) override { gLog.push_back("deliver " + std::string(name)); }
  } log;
  const aurora::ObserverRegistration listening(log);
  const std::string x = uniqueName("x"), n = uniqueName("n");
  CFNotificationCenterAddObserver(center(), nullptr, nullptr, x.c_str(), nullptr, CFNotificationSuspensionBehaviorDrop);
  post(x);  // its only observer had no callback
  observe(n, "one");
  observe(n, "two");
  post(n);
  loop().runFor(1s);
  EXPECT_EQ(gLog, (Names{"post " + x, "post " + n, "deliver " + n, n + " by one", "deliver " + n, n + " by two"}));
}

// In the current root's run directory, read on the virtual clock too; dead sockets go, other files stay.
TEST_F(NotificationCenterTest, AnObserverKeepsOneSocketAndRemovesDeadOnes) {
  const std::string pid = std::to_string(::getpid()), a = uniqueName("a");
  observe(a);
  observe(uniqueName("b"));
  root_.write("/var/run/notify/notes", "x");
  const int peer = bindPeer(notifyDirectory() / "999999999");
  const sockaddr_un own = addressOf(notifyDirectory() / pid);
  ASSERT_EQ(::sendto(peer, a.data(), a.size(), 0, reinterpret_cast<const sockaddr*>(&own), sizeof own),
            ssize_t(a.size()));
  loop().runFor(1ms);
  EXPECT_EQ(gLog, (Names{a}));
  ::close(peer);  // its "process" went away
  post(uniqueName("n"));
  EXPECT_EQ(runHelper({"observe", uniqueName("n")}), 0);  // it had its socket while running
  EXPECT_EQ(filesIn(notifyDirectory()), (std::set<std::string>{pid, "notes"}));
  // Observing again, even the same name, after the root changed moves the
  // socket; one that a process which died left there goes at once.
  TempDeviceRoot next;
  fs::create_directories(next.path() / "var/run/notify");
  ::close(bindPeer(next.path() / "var/run/notify/999999998"));
  observe(a);
  EXPECT_EQ(filesIn(notifyDirectory()), (std::set<std::string>{"notes"}));
  EXPECT_EQ(filesIn(next.path() / "var/run/notify"), (std::set<std::string>{pid}));
}

// Also under a root too long for a socket address.
TEST_F(NotificationCenterTest, PostsFromAnotherProcessAllArriveInOrder) {
  expectDeliveryFromAnotherProcess(uniqueName("remote"));
  TempDeviceRoot longRoot(90);
  ASSERT_GT((longRoot.path() / "var/run/notify/1234567890").native().size(), sizeof(sockaddr_un::sun_path));
  expectDeliveryFromAnotherProcess(uniqueName("long"));
  EXPECT_FALSE(fs::exists(longRoot.path() / "var/run/notify"));
  bool found = false;  // our socket went to /tmp/aurora-notify-HASH; clean that up too
  for (const auto& entry : fs::directory_iterator("/tmp")) {
    const bool ours = fs::is_socket(entry.path() / std::to_string(::getpid()));
    if (entry.path().filename().string().starts_with("aurora-notify-") && ours) {
      found = true;
      fs::remove_all(entry.path());
    }
  }
  EXPECT_TRUE(found);
}

using Paths = std::vector<std::string>;

const aurora::HostIdentity kSpringBoard{"com.apple.springboard", "SpringBoard"};

std::string library(const std::string& name) { return std::string(aurora::kDynamicLibrariesDirectory) + "/" + name; }
std::string filterPlist(const std::string& filterBody) {
  return "<plist version=\"1.0\"><dict><key>Filter</key><dict>" + filterBody + "</dict></dict></plist>";
}
std::string listed(const std::string& key, const Paths& items) {
  std::string out = "<key>" + key + "</key><array>";
  for (const std::string& item : items) out += "<string>" + item + "</string>";
  return out + "</array>";
}
bool probeLoaded(const std::string& stem) { return objc_getClass(("AuroraProbe_" + stem).c_str()) != nullptr; }

// The root is the environment's, else /; the usual path's short way must land where normalising would.
TEST(DeviceRoot, DevicePathsCannotClimbOutOfTheRoot) {
  TempDeviceRoot root;
  EXPECT_EQ(aurora::deviceRoot(), root.path());
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"/var/mobile/Library/x.plist", "var/mobile/Library/x.plist"},
      {"/../../etc/passwd", "etc/passwd"},
      {"/var/../../../x", "x"},
      {"var/mobile", "var/mobile"},
      {"/var/./mobile//x", "var/mobile/x"},
      {"/var/.hidden/..x/...", "var/.hidden/..x/..."},
      {"/var/x/", "var/x/"}};
  for (const std::string slash : {"", "/"}) {
    ::setenv(aurora::kDeviceRootVariable, (root.path().native() + slash).c_str(), 1);
    for (const auto& [device, host] : cases)
      EXPECT_EQ(aurora::hostPath(device).native(), (root.path() / host).native()) << device;
  }
  ::setenv(aurora::kDeviceRootVariable, "", 1);
  EXPECT_EQ(aurora::deviceRoot(), fs::path("/"));
  EXPECT_EQ(aurora::hostPath("/var/x"), fs::path("/var/x"));
  ::unsetenv(aurora::kDeviceRootVariable);
  EXPECT_EQ(aurora::deviceRoot(), fs::path("/"));
}

// A notification socket left behind by a killed process must not stop a copy.
TEST(DeviceRoot, CopyKeepsFilesFoldersAndLinksButNotSockets) {
  TempDeviceRoot root;
  root.write("/var/mobile/Library/Preferences/p.plist", "bytes");
  fs::create_directories(root.path() / "var/run/notify");
  fs::create_symlink("Preferences/p.plist", root.path() / "var/mobile/Library/link");
  ::close(bindPeer(root.path() / "var/run/notify/4242"));
  TempDeviceRoot copy;
  aurora::copyDeviceRoot(root.path(), copy.path() / "root");
  const fs::path copied = copy.path() / "root";
  std::ifstream in(copied / "var/mobile/Library/Preferences/p.plist");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "bytes");
  EXPECT_EQ(fs::read_symlink(copied / "var/mobile/Library/link"), "Preferences/p.plist");
  EXPECT_TRUE(fs::is_directory(copied / "var/run/notify"));
  EXPECT_FALSE(fs::exists(fs::symlink_status(copied / "var/run/notify/4242")));
}

TEST(LoaderFilter, FiltersFollowTheLoaderRules) {
  const aurora::HostIdentity versioned{"b", "e", 1500.0};
  const std::string oneMiss = listed("Bundles", {"com.apple.springboard"}) + listed("Executables", {"MobileSafari"});
  const std::string any = "<key>Mode</key><string>Any</string>", range = "<key>CoreFoundationVersion</key><array>";
  const std::vector<std::tuple<std::string, const aurora::HostIdentity&, bool>> cases = {
      {"", kSpringBoard, true},
      {listed("Bundles", {"com.apple.UIKit", "com.apple.springboard"}), kSpringBoard, true},
      {listed("Bundles", {"com.apple.mobilesafari"}), kSpringBoard, false},
      {listed("Executables", {"SpringBoard"}), kSpringBoard, true},
      {listed("Executables", {"springboard"}), kSpringBoard, false},  // exact, case-sensitive
      {listed("Classes", {"NoSuchClass", "NSObject"}), kSpringBoard, true},
      {listed("Classes", {"NoSuchClass"}), kSpringBoard, false},
      {oneMiss, kSpringBoard, false},
      {oneMiss + any, kSpringBoard, true},
      {listed("Bundles", {"x"}) + any, kSpringBoard, false},
      {oneMiss + "<key>Mode</key><string>any</string>", kSpringBoard, false},  // only "Any" relaxes
      {range + "<real>1000</real></array>", versioned, true},
      {range + "<real>1500</real></array>", versioned, true},
      {range + "<real>1500.5</real></array>", versioned, false},
      {range + "</array>", versioned, false},
      {range + "<integer>1000</integer><real>1500.5</real></array>", versioned, true},
      {range + "<real>1000</real><real>1500</real></array>", versioned, false},  // max excluded
      {range + "<real>1</real><real>2000</real><real>3000</real></array>", versioned, false},
      {"<key>CoreFoundationVersion</key><real>1000</real>", versioned, false},
      {"<key>Bundles</key><string>com.apple.springboard</string>", kSpringBoard, false},
      {"<key>Bundles</key><array><string>com.apple.springboard</string><integer>1</integer></array>", kSpringBoard,
       false},
  };
  for (const auto& [filter, host, allowed] : cases)
    EXPECT_EQ(aurora::filterAllows(*NSDictionary::fromBytes(filterPlist(filter)), host), allowed) << filter;
  for (const char* noFilter : {"<key>Other</key><true/>", "<key>Filter</key><string>x</string>"}) {
    const std::string plist = "<plist version=\"1.0\"><dict>" + std::string(noFilter) + "</dict></plist>";
    EXPECT_TRUE(aurora::filterAllows(*NSDictionary::fromBytes(plist), kSpringBoard)) << plist;
  }
}

class LoaderTest : public aurora::testing::VirtualLoopTest {
 protected:
  void SetUp() override {
    VirtualLoopTest::SetUp();
    fs::create_directories(aurora::hostPath(aurora::kDynamicLibrariesDirectory));
  }
  void install(const std::string& stem, const std::optional<std::string>& plist = std::nullopt) {
    fs::copy_file(AURORA_PROBE_LIBRARY, aurora::hostPath(library(stem + ".dylib")));
    if (plist) root_.write(library(stem + ".plist"), *plist);
  }
  aurora::LoadReport load() { return aurora::loadDynamicLibraries(kSpringBoard, diagnostics_); }

  TempDeviceRoot root_;
  std::ostringstream diagnostics_;
};

// A class filter sees classes of libraries loaded before it; the rest are reported by device path.
TEST_F(LoaderTest, LoadsEveryLibraryItsFilterAllowsInNameOrder) {
  struct Loads : aurora::PlatformObserver {
    Paths loaded;
    int reads = 0;
    void libraryLoaded(std::string_view path) override { loaded.emplace_back(path); }
    void dictionaryRead(std::string_view, const NSDictionary*) override { ++reads; }
  } observer;
  const aurora::ObserverRegistration listening(observer);
  root_.write(library("Broken0.dylib"),
              "\x7f"
              "ELF but really just garbage bytes");
  root_.write(library("Broken1.dylib"), "");
  install("ClassesA");
  install("ClassesB", filterPlist(listed("Classes", {"AuroraProbe_ClassesA"})));
  install("ClassesC", filterPlist(listed("Classes", {"AuroraProbe_ClassesZ"})));
  install("ClassesZ", "<plist version=\"1.0\"><dict/></plist>");
  install("CorruptFilter", "<plist><dict><key>Filter</key>");
  install("FilterRightExecutable", filterPlist(listed("Executables", {"SpringBoard"})));
  install("FilterWrongBundle", filterPlist(listed("Bundles", {"com.apple.mobilesafari"})));
  root_.write(library("README.txt"), "not a library");
  root_.write(library("Lonely.plist"), filterPlist(""));
  const aurora::LoadReport report = load();
  const Paths loaded = {library("ClassesA.dylib"), library("ClassesB.dylib"), library("ClassesZ.dylib"),
                        library("FilterRightExecutable.dylib")};
  EXPECT_EQ(report.loaded, loaded);
  EXPECT_EQ(observer.loaded, loaded);
  EXPECT_EQ(observer.reads, 0);  // plists untraced
  EXPECT_EQ(report.filteredOut,
            (Paths{library("ClassesC.dylib"), library("CorruptFilter.dylib"), library("FilterWrongBundle.dylib")}));
  EXPECT_EQ((std::vector{probeLoaded("ClassesA"), probeLoaded("ClassesZ"), probeLoaded("FilterRightExecutable"),
                         probeLoaded("ClassesC"), probeLoaded("CorruptFilter"), probeLoaded("FilterWrongBundle")}),
            (std::vector{true, true, true, false, false, false}));
  ASSERT_EQ(report.failed.size(), 2u);
  EXPECT_EQ((Paths{report.failed[0].devicePath, report.failed[1].devicePath}),
            (Paths{library("Broken0.dylib"), library("Broken1.dylib")}));
  EXPECT_FALSE(report.failed[0].reason.empty());
  EXPECT_EQ(diagnostics_.str(), "loader: cannot load " + library("Broken0.dylib") + ": " + report.failed[0].reason +
                                    "\nloader: cannot load " + library("Broken1.dylib") + ": " +
                                    report.failed[1].reason + "\nloader: not loading " +
                                    library("CorruptFilter.dylib") + ": its filter plist cannot be read\n");
}

}  // namespace
