#include "Foundation/NSDictionary.h"

#include <string>

#include "PropertyListParser.h"
#include "RegularFile.h"
#include "aurora/DeviceRoot.h"
#include "aurora/PlatformObserver.h"

std::shared_ptr<const NSDictionary> NSDictionary::dictionaryWithContentsOfFile(std::string_view devicePath) {
  std::shared_ptr<const NSDictionary> dictionary = fromFile(aurora::hostPath(devicePath));
  aurora::tellObservers(&aurora::PlatformObserver::dictionaryRead, devicePath, dictionary.get());
  return dictionary;
}

std::shared_ptr<const NSDictionary> NSDictionary::fromFile(const std::filesystem::path& hostPath) {
  const aurora::RegularFileRead read = aurora::readRegularFile(hostPath, kMaxFileSize);
  return read.outcome == aurora::RegularFileRead::Outcome::Read ? fromBytes(read.bytes) : nullptr;
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
