// refreshPrefs on a typical preferences file, in XML and in binary, and its
// baseline: libplist parsing the same bytes alone (no file, no conversion, no
// settings). Beside them, the platform's reading of the same bytes into a
// dictionary (libplist, then the conversion to NSDictionary's values), which
// shows what refreshPrefs spends apart from the file and the settings; and
// the file's bytes read alone, as the platform reads them, which is the part
// no parser can save.
#include <fcntl.h>
#include <plist/plist.h>
#include <sys/stat.h>
#include <unistd.h>

#include <stdexcept>
#include <string>

#include "BenchDevice.h"
#include "Foundation/NSDictionary.h"
#include "Operations.h"
#include "TypicalPreferences.h"
#include "settings/Settings.h"

namespace bench {
namespace {

class RefreshPrefs final : public Operation {
 public:
  explicit RefreshPrefs(aurora::PlistFormat format) { applyPreferences(typicalPreferences(), format); }
  void run() override { settings::refreshPrefs(); }
};

// open, fstat, one read of the size plus one byte, close: what NSDictionary does.
class FileRead final : public Operation {
 public:
  explicit FileRead(aurora::PlistFormat format) : path_(preferencesPath()) {
    applyPreferences(typicalPreferences(), format);
  }
  void run() override {
    const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0) throw std::runtime_error("cannot open the preferences file");
    std::string bytes(static_cast<std::size_t>(info.st_size) + 1, '\0');
    const ssize_t got = ::read(fd, bytes.data(), bytes.size());
    ::close(fd);
    if (got != info.st_size) throw std::runtime_error("short read of the preferences file");
  }

 private:
  std::filesystem::path path_;
};

class DictionaryFromBytes final : public Operation {
 public:
  explicit DictionaryFromBytes(aurora::PlistFormat format)
      : bytes_(aurora::preferencesBytes(typicalPreferences(), format)) {}
  void run() override {
    if (!NSDictionary::fromBytes(bytes_)) throw std::runtime_error("no dictionary from the preferences' bytes");
  }

 private:
  std::string bytes_;
};

class PlistParse final : public Operation {
 public:
  explicit PlistParse(aurora::PlistFormat format) : bytes_(aurora::preferencesBytes(typicalPreferences(), format)) {}
  void run() override {
    plist_t root = nullptr;
    plist_from_memory(bytes_.data(), static_cast<std::uint32_t>(bytes_.size()), &root);
    if (root == nullptr) throw std::runtime_error("libplist read no property list");
    plist_free(root);
  }

 private:
  std::string bytes_;
};

}  // namespace

std::unique_ptr<Operation> makeRefreshPrefsXml() { return std::make_unique<RefreshPrefs>(aurora::PlistFormat::Xml); }
std::unique_ptr<Operation> makeRefreshPrefsBinary() {
  return std::make_unique<RefreshPrefs>(aurora::PlistFormat::Binary);
}
std::unique_ptr<Operation> makeFileReadXml() { return std::make_unique<FileRead>(aurora::PlistFormat::Xml); }
std::unique_ptr<Operation> makeFileReadBinary() { return std::make_unique<FileRead>(aurora::PlistFormat::Binary); }
std::unique_ptr<Operation> makeDictionaryFromXml() {
  return std::make_unique<DictionaryFromBytes>(aurora::PlistFormat::Xml);
}
std::unique_ptr<Operation> makeDictionaryFromBinary() {
  return std::make_unique<DictionaryFromBytes>(aurora::PlistFormat::Binary);
}
std::unique_ptr<Operation> makePlistParseXmlBaseline() {
  return std::make_unique<PlistParse>(aurora::PlistFormat::Xml);
}
std::unique_ptr<Operation> makePlistParseBinaryBaseline() {
  return std::make_unique<PlistParse>(aurora::PlistFormat::Binary);
}

}  // namespace bench
