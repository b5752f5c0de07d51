// The device root and the loader: device paths under the root, libraries in
// name order, filter plists, and libraries that cannot load.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <sstream>

#include "Foundation/NSDictionary.h"
#include "PlatformTestSupport.h"
#include "TempDeviceRoot.h"
#include "aurora/Loader.h"
#include "objc/runtime.h"

namespace {

using aurora::testing::TempDeviceRoot;
namespace fs = std::filesystem;
using Paths = std::vector<std::string>;

const aurora::HostIdentity kSpringBoard{"com.apple.springboard", "SpringBoard"};

std::string library(const std::string& name) { return std::string(aurora::kDynamicLibrariesDirectory) + "/" + name; }
std::string filterPlist(const std::string& filterBody) {
  return "<plist version=\"1.0\"><dict><key>Filter</key><dict>" + filterBody + "</dict></dict></plist>";
}
// <key>KEY</key> and an array of strings.
std::string listed(const std::string& key, const Paths& items) {
  std::string out = "<key>" + key + "</key><array>";
  for (const std::string& item : items) out += "<string>" + item + "</string>";
  return out + "</array>";
}
bool probeLoaded(const std::string& stem) { return objc_getClass(("AuroraProbe_" + stem).c_str()) != nullptr; }

// The usual device path takes a short way; it must land where normalising would.
TEST(DeviceRoot, DevicePathsLandUnderTheRootFromTheEnvironmentAndCannotClimbOut) {
  TempDeviceRoot root;
  EXPECT_EQ(aurora::deviceRoot(), root.path());
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"/var/mobile/Library/x.plist", "var/mobile/Library/x.plist"}, {"/../../etc/passwd", "etc/passwd"},
      {"/var/../../../x", "x"}, {"var/mobile", "var/mobile"}, {"/var/./mobile//x", "var/mobile/x"},
      {"/var/.hidden/..x/...", "var/.hidden/..x/..."}, {"/var/x/", "var/x/"}};
  for (const std::string slash : {"", "/"}) {
    ::setenv(aurora::kDeviceRootVariable, (root.path().native() + slash).c_str(), 1);
    for (const auto& [device, host] : cases) EXPECT_EQ(aurora::hostPath(device).native(), (root.path() / host).native()) << device;
  }
  ::setenv(aurora::kDeviceRootVariable, "", 1);
  EXPECT_EQ(std::tuple(aurora::deviceRoot(), aurora::hostPath("/var/x")), std::tuple(fs::path("/"), fs::path("/var/x")));
  ::unsetenv(aurora::kDeviceRootVariable);
  EXPECT_EQ(aurora::deviceRoot(), fs::path("/"));
}

// A notification socket left behind by a killed process must not stop a copy.
TEST(DeviceRoot, CopyKeepsFilesFoldersAndLinksButNotSockets) {
  TempDeviceRoot root;
  root.write("/var/mobile/Library/Preferences/p.plist", "bytes");
  fs::create_directories(root.path() / "var/run/notify");
  fs::create_symlink("Preferences/p.plist", root.path() / "var/mobile/Library/link");
  const int sock = ::socket(AF_UNIX, SOCK_DGRAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  (root.path() / "var/run/notify/4242").native().copy(address.sun_path, sizeof address.sun_path - 1);
  ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ::close(sock);
  TempDeviceRoot copy;
  aurora::copyDeviceRoot(root.path(), copy.path() / "root");
  const fs::path copied = copy.path() / "root";
  std::ifstream in(copied / "var/mobile/Library/Preferences/p.plist");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "bytes");
  EXPECT_EQ(fs::read_symlink(copied / "var/mobile/Library/link"), "Preferences/p.plist");
  EXPECT_TRUE(fs::is_directory(copied / "var/run/notify"));
  EXPECT_FALSE(fs::exists(fs::symlink_status(copied / "var/run/notify/4242")));
}

// Each listed filter must match unless Mode is "Any"; one of the wrong shape
// matches nothing; no Filter, or one that is not a dictionary, loads.
TEST(LoaderFilter, FiltersFollowTheLoaderRules) {
  const aurora::HostIdentity versioned{"b", "e", 1500.0};
  const std::string oneMiss = listed("Bundles", {"com.apple.springboard"}) + listed("Executables", {"MobileSafari"});
  const auto range = [](const std::string& items) { return "<key>CoreFoundationVersion</key><array>" + items + "</array>"; };
  const std::vector<std::tuple<std::string, const aurora::HostIdentity*, bool>> cases = {
      {filterPlist(""), &kSpringBoard, true},
      {filterPlist(listed("Bundles", {"com.apple.UIKit", "com.apple.springboard"})), &kSpringBoard, true},
      {filterPlist(listed("Bundles", {"com.apple.mobilesafari"})), &kSpringBoard, false},
      {filterPlist(listed("Executables", {"SpringBoard"})), &kSpringBoard, true},
      {filterPlist(listed("Executables", {"springboard"})), &kSpringBoard, false},  // exact, case-sensitive
      {filterPlist(listed("Classes", {"NoSuchClass", "NSObject"})), &kSpringBoard, true},
      {filterPlist(listed("Classes", {"NoSuchClass"})), &kSpringBoard, false},
      {filterPlist(oneMiss), &kSpringBoard, false},
      {filterPlist(oneMiss + "<key>Mode</key><string>Any</string>"), &kSpringBoard, true},
      {filterPlist(oneMiss + "<key>Mode</key><string>any</string>"), &kSpringBoard, false},  // only "Any" relaxes
      {filterPlist(listed("Bundles", {"x"}) + "<key>Mode</key><string>Any</string>"), &kSpringBoard, false},
      {filterPlist(range("<real>1000</real>")), &versioned, true},
      {filterPlist(range("<real>1500</real>")), &versioned, true},
      {filterPlist(range("<real>1500.5</real>")), &versioned, false},
      {filterPlist(range("<integer>1000</integer><real>1500.5</real>")), &versioned, true},
      {filterPlist(range("<real>1000</real><real>1500</real>")), &versioned, false},  // max excluded
      {filterPlist(range("")), &versioned, false},
      {filterPlist(range("<real>1</real><real>2000</real><real>3000</real>")), &versioned, false},
      {filterPlist("<key>CoreFoundationVersion</key><real>1000</real>"), &versioned, false},
      {filterPlist("<key>Bundles</key><string>com.apple.springboard</string>"), &kSpringBoard, false},
      {filterPlist("<key>Bundles</key><array><string>com.apple.springboard</string><integer>1</integer></array>"),
       &kSpringBoard, false},
      {"<plist version=\"1.0\"><dict><key>Other</key><true/></dict></plist>", &kSpringBoard, true},
      {"<plist version=\"1.0\"><dict><key>Filter</key><string>x</string></dict></plist>", &kSpringBoard, true},
  };
  for (const auto& [plist, host, allowed] : cases) {
    auto dict = NSDictionary::fromBytes(plist);
    ASSERT_NE(dict, nullptr) << plist;
    EXPECT_EQ(aurora::filterAllows(*dict, *host), allowed) << plist;
  }
}

class LoaderTest : public aurora::testing::VirtualLoopTest {
 protected:
  void SetUp() override {
    VirtualLoopTest::SetUp();
    fs::create_directories(aurora::hostPath(aurora::kDynamicLibrariesDirectory));
  }
  // Installs the probe library as NAME.dylib, with NAME.plist when given.
  void install(const std::string& stem, const std::optional<std::string>& plist = std::nullopt) {
    fs::copy_file(AURORA_PROBE_LIBRARY, aurora::hostPath(library(stem + ".dylib")));
    if (plist) root_.write(library(stem + ".plist"), *plist);
  }
  aurora::LoadReport load() { return aurora::loadDynamicLibraries(kSpringBoard, diagnostics_); }

  TempDeviceRoot root_;
  std::ostringstream diagnostics_;
};

TEST_F(LoaderTest, LoadsEveryLibraryInNameOrderAndReportsDevicePaths) {
  struct Loads : aurora::PlatformObserver {
    Paths loaded;
    int reads = 0;
    void libraryLoaded(std::string_view path) override { loaded.emplace_back(path); }
    void dictionaryRead(std::string_view, bool) override { ++reads; }
  } observer;
  aurora::setPlatformObserver(&observer);
  install("OrderB");
  install("OrderA", filterPlist(listed("Bundles", {"com.apple.springboard"})));
  install("OrderC", "<plist version=\"1.0\"><dict/></plist>");
  root_.write(library("README.txt"), "not a library");
  root_.write(library("Lonely.plist"), filterPlist(""));
  const aurora::LoadReport report = load();
  const Paths expected = {library("OrderA.dylib"), library("OrderB.dylib"), library("OrderC.dylib")};
  EXPECT_EQ(std::tuple(report.loaded, observer.loaded, report.filteredOut, report.failed.size(), diagnostics_.str()),
            std::tuple(expected, expected, Paths{}, 0u, ""));
  EXPECT_EQ(observer.reads, 0);  // filter plists are read untraced
  EXPECT_TRUE(probeLoaded("OrderA") && probeLoaded("OrderB") && probeLoaded("OrderC"));
}

// A class filter sees the classes of libraries loaded before it, not after;
// an unreadable filter plist keeps its library out and says so.
TEST_F(LoaderTest, FilteredLibrariesAreNotOpened) {
  install("ClassesA");
  install("ClassesB", filterPlist(listed("Classes", {"AuroraProbe_ClassesA"})));
  install("ClassesC", filterPlist(listed("Classes", {"AuroraProbe_ClassesZ"})));
  install("ClassesZ");
  install("CorruptFilter", "<plist><dict><key>Filter</key>");
  install("FilterRightExecutable", filterPlist(listed("Executables", {"SpringBoard"})));
  install("FilterWrongBundle", filterPlist(listed("Bundles", {"com.apple.mobilesafari"})));
  const aurora::LoadReport report = load();
  EXPECT_EQ(report.loaded, (Paths{library("ClassesA.dylib"), library("ClassesB.dylib"), library("ClassesZ.dylib"),
                                  library("FilterRightExecutable.dylib")}));
  EXPECT_EQ(report.filteredOut,
            (Paths{library("ClassesC.dylib"), library("CorruptFilter.dylib"), library("FilterWrongBundle.dylib")}));
  EXPECT_EQ(std::tuple(probeLoaded("FilterWrongBundle"), probeLoaded("CorruptFilter"), probeLoaded("FilterRightExecutable")),
            std::tuple(false, false, true));
  EXPECT_NE(diagnostics_.str().find("CorruptFilter.dylib"), std::string::npos);
}

TEST_F(LoaderTest, ABrokenLibraryIsReportedWithTheReasonAndSkipped) {
  root_.write(library("Broken0.dylib"), "\x7f" "ELF but really just garbage bytes");
  root_.write(library("Broken1.dylib"), "");
  install("BrokenAfter");
  const aurora::LoadReport report = load();
  EXPECT_EQ(report.loaded, (Paths{library("BrokenAfter.dylib")}));
  ASSERT_EQ(report.failed.size(), 2u);
  EXPECT_EQ(std::tuple(report.failed[0].devicePath, report.failed[1].devicePath),
            std::tuple(library("Broken0.dylib"), library("Broken1.dylib")));
  EXPECT_FALSE(report.failed[0].reason.empty());
  const std::string text = diagnostics_.str();
  EXPECT_NE(text.find("cannot load " + library("Broken0.dylib") + ": " + report.failed[0].reason), std::string::npos) << text;
  EXPECT_NE(text.find("cannot load " + library("Broken1.dylib")), std::string::npos) << text;
}

TEST(Loader, NoLibraryDirectoryLoadsNothing) {
  TempDeviceRoot root;
  std::ostringstream diagnostics;
  const aurora::LoadReport report = aurora::loadDynamicLibraries(kSpringBoard, diagnostics);
  EXPECT_TRUE(report.loaded.empty() && report.filteredOut.empty() && report.failed.empty());
  EXPECT_EQ(diagnostics.str(), "");
}

}  // namespace
