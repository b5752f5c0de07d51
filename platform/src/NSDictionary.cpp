#include "Foundation/NSDictionary.h"

#include <algorithm>
#include <cerrno>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "PropertyListParser.h"
#include "aurora/DeviceRoot.h"
#include "aurora/PlatformObserver.h"

namespace {

// The whole file, or nullopt when it is not a readable regular file of at most
// `limit` bytes (also when it grows past the limit while being read). Opened
// non-blocking, so a FIFO at the path cannot hang the caller.
std::optional<std::string> readSmallFile(const std::filesystem::path& path, std::size_t limit) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return std::nullopt;
  struct stat info{};
  std::optional<std::string> result;
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && static_cast<std::uintmax_t>(info.st_size) <= limit) {
    // Room for one byte more than the file holds: a read of a regular file
    // returns less than asked only at its end, so one read usually does, and
    // a file that grew meanwhile fills the room and is read on. A file that
    // reports no size (a kernel's pseudo-file) is read until a read gives 0.
    const bool sized = info.st_size > 0;
    std::string contents(sized ? static_cast<std::size_t>(info.st_size) + 1 : std::size_t{4096}, '\0');
    std::size_t filled = 0;
    for (;;) {
      const ssize_t got = ::read(fd, contents.data() + filled, contents.size() - filled);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) break;
      filled += static_cast<std::size_t>(got);
      if (filled > limit) break;
      if (got == 0 || (sized && filled < contents.size())) {
        contents.resize(filled);
        result = std::move(contents);
        break;
      }
      if (filled == contents.size()) contents.resize(std::min(2 * contents.size(), limit + 1));
    }
  }
  ::close(fd);
  return result;
}

}  // namespace

std::shared_ptr<const NSDictionary> NSDictionary::dictionaryWithContentsOfFile(std::string_view devicePath) {
  std::shared_ptr<const NSDictionary> dictionary = fromFile(aurora::hostPath(devicePath));
  aurora::tellObservers(&aurora::PlatformObserver::dictionaryRead, devicePath, dictionary.get());
  return dictionary;
}

std::shared_ptr<const NSDictionary> NSDictionary::fromFile(const std::filesystem::path& hostPath) {
  const std::optional<std::string> bytes = readSmallFile(hostPath, kMaxFileSize);
  return bytes ? fromBytes(*bytes) : nullptr;
}

std::shared_ptr<const NSDictionary> NSDictionary::fromBytes(std::string_view bytes) {
  return aurora::plist::parseDictionary(bytes);
}

const PropertyListValue* NSDictionary::objectForKey(std::string_view key) const {
  const auto it = entries_.find(key);
  return it != entries_.end() ? &it->second : nullptr;
}

std::optional<std::vector<std::string>> NSDictionary::stringArray(std::string_view key) const {
  const PropertyListValue* value = objectForKey(key);
  const auto* array = value != nullptr ? std::get_if<PropertyListArray>(&value->storage) : nullptr;
  if (array == nullptr) return std::nullopt;
  std::vector<std::string> strings;
  strings.reserve(array->size());
  for (const PropertyListValue& item : *array) {
    const auto* text = std::get_if<std::string>(&item.storage);
    if (text == nullptr) return std::nullopt;
    strings.push_back(*text);
  }
  return strings;
}

std::shared_ptr<const NSDictionary> NSDictionary::dictionaryValue(std::string_view key) const {
  const PropertyListValue* value = objectForKey(key);
  const auto* nested = value != nullptr ? std::get_if<std::shared_ptr<const NSDictionary>>(&value->storage) : nullptr;
  return nested != nullptr ? *nested : nullptr;
}
