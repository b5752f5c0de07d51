#include "Foundation/NSDictionary.h"

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
    std::string contents;
    contents.reserve(static_cast<std::size_t>(info.st_size));
    char chunk[16384];
    for (;;) {
      const ssize_t got = ::read(fd, chunk, sizeof chunk);
      if (got < 0 && errno == EINTR) continue;
      if (got == 0) result = std::move(contents);
      if (got <= 0) break;
      contents.append(chunk, static_cast<std::size_t>(got));
      if (contents.size() > limit) break;
    }
  }
  ::close(fd);
  return result;
}

}  // namespace

std::shared_ptr<const NSDictionary> NSDictionary::dictionaryWithContentsOfFile(std::string_view devicePath) {
  std::shared_ptr<const NSDictionary> dictionary = fromFile(aurora::hostPath(devicePath));
  if (auto* observer = aurora::platformObserver()) observer->dictionaryRead(devicePath, dictionary != nullptr);
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
