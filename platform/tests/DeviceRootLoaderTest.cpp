// The device root and the loader: device paths under the root, libraries in
// name order, filter plists, and libraries that cannot load.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "Foundation/NSDictionary.h"
#include "PlatformTestSupport.h"
#include "TempDeviceRoot.h"
#include "aurora/Loader.h"
#include "objc/runtime.h"

namespace {

using aurora::testing::TempDeviceRoot;
namespace fs = std::filesystem;

const aurora::HostIdentity kSpringBoard{"com.apple.springboard", "SpringBoard"};

std::string library(const std::string& name) { return std::string(aurora::kDynamicLibrariesDirectory) + "/" + name; }

std::string filterPlist(const std::string& filterBody) {
  return "<plist version=\"1.0\"><dict><key>Filter</key><dict>" + filterBody + "</dict></dict></plist>";
}

std::string strings(const std::vector<std::string>& items) {
  std::string out = "<array>";
  for (const std::string& item : items) out += "<string>" + item + "</string>";
  return out + "</array>";
}

bool allows(const std::string& filterBody, const aurora::HostIdentity& host = kSpringBoard) {
  auto plist = NSDictionary::fromBytes(filterPlist(filterBody));
  EXPECT_NE(plist, nullptr) << filterBody;
  return plist && aurora::filterAllows(*plist, host);
}

bool probeLoaded(const std::string& stem) { return objc_getClass(("AuroraProbe_" + stem).c_str()) != nullptr; }

TEST(DeviceRoot, RootComesFromTheEnvironmentWithSlashAsDefault) {
  TempDeviceRoot root;
  EXPECT_EQ(aurora::deviceRoot(), root.path());
  EXPECT_EQ(aurora::hostPath("/var/mobile/Library/x.plist"), root.path() / "var/mobile/Library/x.plist");
  ::setenv(aurora::kDeviceRootVariable, "", 1);
  EXPECT_EQ(aurora::deviceRoot(), fs::path("/"));
  EXPECT_EQ(aurora::hostPath("/var/x"), fs::path("/var/x"));
  ::unsetenv(aurora::kDeviceRootVariable);
  EXPECT_EQ(aurora::deviceRoot(), fs::path("/"));
}

TEST(DeviceRoot, DevicePathsCannotClimbOutOfTheRoot) {
  TempDeviceRoot root;
  EXPECT_EQ(aurora::hostPath("/../../etc/passwd"), root.path() / "etc/passwd");
  EXPECT_EQ(aurora::hostPath("/var/../../../x"), root.path() / "x");
  EXPECT_EQ(aurora::hostPath("var/mobile"), root.path() / "var/mobile");  // relative: from the device's "/"
  EXPECT_EQ(aurora::hostPath("/var/./mobile//x"), root.path() / "var/mobile/x");
}

// The usual device path takes a short way; it must land where normalising would.
TEST(DeviceRoot, PlainDevicePathsLandWhereNormalisingPutsThem) {
  TempDeviceRoot root;
  EXPECT_EQ(aurora::hostPath("/var/.hidden/..x/...").native(), (root.path() / "var/.hidden/..x/...").native());
  EXPECT_EQ(aurora::hostPath("/var/x/").native(), (root.path() / "var/x/").native());
  ::setenv(aurora::kDeviceRootVariable, (root.path().native() + "/").c_str(), 1);
  EXPECT_EQ(aurora::hostPath("/var/x").native(), (root.path() / "var/x").native());
  EXPECT_EQ(aurora::hostPath("/var/../x").native(), (root.path() / "x").native());
}

// A notification socket left behind by a killed process must not stop a copy.
TEST(DeviceRoot, CopyKeepsFilesFoldersAndLinksButNotSockets) {
  TempDeviceRoot root;
  root.write("/var/mobile/Library/Preferences/p.plist", "bytes");
  fs::create_directories(root.path() / "var/run/notify");
  fs::create_symlink("Preferences/p.plist", root.path() / "var/mobile/Library/link");
  const fs::path socketPath = root.path() / "var/run/notify/4242";
  const int sock = ::socket(AF_UNIX, SOCK_DGRAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  socketPath.native().copy(address.sun_path, sizeof address.sun_path - 1);
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

TEST(LoaderFilter, EachListedFilterMustMatchUnlessModeIsAny) {
  EXPECT_TRUE(allows(""));  // a Filter listing nothing
  EXPECT_TRUE(allows("<key>Bundles</key>" + strings({"com.apple.UIKit", "com.apple.springboard"})));
  EXPECT_FALSE(allows("<key>Bundles</key>" + strings({"com.apple.mobilesafari"})));
  EXPECT_TRUE(allows("<key>Executables</key>" + strings({"SpringBoard"})));
  EXPECT_FALSE(allows("<key>Executables</key>" + strings({"springboard"})));  // exact, case-sensitive
  EXPECT_TRUE(allows("<key>Classes</key>" + strings({"NoSuchClass", "NSObject"})));
  EXPECT_FALSE(allows("<key>Classes</key>" + strings({"NoSuchClass"})));

  const std::string oneMiss = "<key>Bundles</key>" + strings({"com.apple.springboard"}) + "<key>Executables</key>" +
                              strings({"MobileSafari"});
  EXPECT_FALSE(allows(oneMiss));
  EXPECT_TRUE(allows(oneMiss + "<key>Mode</key><string>Any</string>"));
  EXPECT_FALSE(allows(oneMiss + "<key>Mode</key><string>any</string>"));  // only "Any" relaxes
  EXPECT_FALSE(allows("<key>Bundles</key>" + strings({"x"}) + "<key>Mode</key><string>Any</string>"));
}

TEST(LoaderFilter, CoreFoundationVersionIsAHalfOpenRange) {
  const aurora::HostIdentity host{"b", "e", 1500.0};
  auto range = [&](const std::string& items) { return allows("<key>CoreFoundationVersion</key><array>" + items + "</array>", host); };
  EXPECT_TRUE(range("<real>1000</real>"));
  EXPECT_TRUE(range("<real>1500</real>"));
  EXPECT_FALSE(range("<real>1500.5</real>"));
  EXPECT_TRUE(range("<integer>1000</integer><real>1500.5</real>"));
  EXPECT_FALSE(range("<real>1000</real><real>1500</real>"));  // max excluded
  EXPECT_FALSE(range(""));
  EXPECT_FALSE(range("<real>1</real><real>2000</real><real>3000</real>"));
  EXPECT_FALSE(allows("<key>CoreFoundationVersion</key><real>1000</real>", host));
}

TEST(LoaderFilter, MalformedFiltersMatchNothingAndNoFilterLoads) {
  EXPECT_FALSE(allows("<key>Bundles</key><string>com.apple.springboard</string>"));
  EXPECT_FALSE(allows("<key>Bundles</key><array><string>com.apple.springboard</string><integer>1</integer></array>"));
  auto noFilter = NSDictionary::fromBytes("<plist version=\"1.0\"><dict><key>Other</key><true/></dict></plist>");
  ASSERT_NE(noFilter, nullptr);
  EXPECT_TRUE(aurora::filterAllows(*noFilter, kSpringBoard));
  auto filterNotADict = NSDictionary::fromBytes("<plist version=\"1.0\"><dict><key>Filter</key><string>x</string></dict></plist>");
  ASSERT_NE(filterNotADict, nullptr);
  EXPECT_TRUE(aurora::filterAllows(*filterNotADict, kSpringBoard));
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
    std::vector<std::string> loaded;
    int reads = 0;
    void libraryLoaded(std::string_view path) override { loaded.emplace_back(path); }
    void dictionaryRead(std::string_view, bool) override { ++reads; }
  } observer;
  aurora::setPlatformObserver(&observer);
  install("OrderB");
  install("OrderA", filterPlist("<key>Bundles</key>" + strings({"com.apple.springboard"})));
  install("OrderC", "<plist version=\"1.0\"><dict/></plist>");
  root_.write(library("README.txt"), "not a library");
  root_.write(library("Lonely.plist"), filterPlist(""));

  const aurora::LoadReport report = load();

  const std::vector<std::string> expected = {library("OrderA.dylib"), library("OrderB.dylib"), library("OrderC.dylib")};
  EXPECT_EQ(report.loaded, expected);
  EXPECT_EQ(observer.loaded, expected);
  EXPECT_EQ(observer.reads, 0);  // filter plists are read untraced
  EXPECT_TRUE(report.filteredOut.empty());
  EXPECT_TRUE(report.failed.empty());
  EXPECT_TRUE(probeLoaded("OrderA") && probeLoaded("OrderB") && probeLoaded("OrderC"));
  EXPECT_EQ(diagnostics_.str(), "");
}

TEST_F(LoaderTest, FilteredLibrariesAreNotOpened) {
  install("FilterWrongBundle", filterPlist("<key>Bundles</key>" + strings({"com.apple.mobilesafari"})));
  install("FilterRightExecutable", filterPlist("<key>Executables</key>" + strings({"SpringBoard"})));
  const aurora::LoadReport report = load();
  EXPECT_EQ(report.loaded, (std::vector<std::string>{library("FilterRightExecutable.dylib")}));
  EXPECT_EQ(report.filteredOut, (std::vector<std::string>{library("FilterWrongBundle.dylib")}));
  EXPECT_FALSE(probeLoaded("FilterWrongBundle"));
  EXPECT_TRUE(probeLoaded("FilterRightExecutable"));
}

TEST_F(LoaderTest, AClassFilterSeesClassesOfLibrariesLoadedBefore) {
  install("ClassesA");
  install("ClassesB", filterPlist("<key>Classes</key>" + strings({"AuroraProbe_ClassesA"})));
  install("ClassesC", filterPlist("<key>Classes</key>" + strings({"AuroraProbe_ClassesZ"})));
  install("ClassesZ");  // loads after C: too late for C's filter
  const aurora::LoadReport report = load();
  EXPECT_EQ(report.loaded, (std::vector<std::string>{library("ClassesA.dylib"), library("ClassesB.dylib"), library("ClassesZ.dylib")}));
  EXPECT_EQ(report.filteredOut, (std::vector<std::string>{library("ClassesC.dylib")}));
}

TEST_F(LoaderTest, ABrokenLibraryIsReportedWithTheReasonAndSkipped) {
  root_.write(library("Broken0.dylib"), "\x7f" "ELF but really just garbage bytes");
  root_.write(library("Broken1.dylib"), "");
  install("BrokenAfter");
  const aurora::LoadReport report = load();
  EXPECT_EQ(report.loaded, (std::vector<std::string>{library("BrokenAfter.dylib")}));
  ASSERT_EQ(report.failed.size(), 2u);
  EXPECT_EQ(report.failed[0].devicePath, library("Broken0.dylib"));
  EXPECT_EQ(report.failed[1].devicePath, library("Broken1.dylib"));
  EXPECT_FALSE(report.failed[0].reason.empty());
  const std::string text = diagnostics_.str();
  EXPECT_NE(text.find("cannot load " + library("Broken0.dylib") + ": " + report.failed[0].reason), std::string::npos) << text;
  EXPECT_NE(text.find("cannot load " + library("Broken1.dylib")), std::string::npos) << text;
}

TEST_F(LoaderTest, AnUnreadableFilterPlistKeepsTheLibraryOut) {
  install("CorruptFilter", "<plist><dict><key>Filter</key>");
  const aurora::LoadReport report = load();
  EXPECT_TRUE(report.loaded.empty());
  EXPECT_EQ(report.filteredOut, (std::vector<std::string>{library("CorruptFilter.dylib")}));
  EXPECT_FALSE(probeLoaded("CorruptFilter"));
  EXPECT_NE(diagnostics_.str().find("CorruptFilter.dylib"), std::string::npos);
}

TEST(Loader, NoLibraryDirectoryLoadsNothing) {
  TempDeviceRoot root;
  std::ostringstream diagnostics;
  const aurora::LoadReport report = aurora::loadDynamicLibraries(kSpringBoard, diagnostics);
  EXPECT_TRUE(report.loaded.empty() && report.filteredOut.empty() && report.failed.empty());
  EXPECT_EQ(diagnostics.str(), "");
}

}  // namespace
