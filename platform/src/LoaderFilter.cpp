#include <algorithm>
#include <optional>
#include <vector>

#include "Foundation/NSDictionary.h"
#include "aurora/Loader.h"
#include "objc/runtime.h"

namespace aurora {
namespace {

bool listContains(const std::optional<std::vector<std::string>>& list, const std::string& wanted) {
  return list && std::find(list->begin(), list->end(), wanted) != list->end();
}

bool anyClassExists(const std::optional<std::vector<std::string>>& names) {
  return names && std::any_of(names->begin(), names->end(),
                              [](const std::string& name) { return objc_getClass(name.c_str()) != nullptr; });
}

// [min] or [min, max): min <= version < max.
bool versionInRange(const PropertyListValue* range, double version) {
  const auto* bounds = range != nullptr ? std::get_if<PropertyListArray>(&range->storage) : nullptr;
  if (bounds == nullptr || bounds->empty() || bounds->size() > 2) return false;
  const std::optional<double> min = (*bounds)[0].doubleValue();
  if (!min || !(*min <= version)) return false;
  if (bounds->size() == 1) return true;
  const std::optional<double> max = (*bounds)[1].doubleValue();
  return max && version < *max;
}

}  // namespace

bool filterAllows(const NSDictionary& plist, const HostIdentity& host) {
  const std::shared_ptr<const NSDictionary> filter = plist.dictionaryValue("Filter");
  if (!filter) return true;
  std::vector<bool> matches;
  if (filter->containsKey("Bundles"))
    matches.push_back(listContains(filter->stringArray("Bundles"), host.bundleIdentifier));
  if (filter->containsKey("Executables"))
    matches.push_back(listContains(filter->stringArray("Executables"), host.executableName));
  if (filter->containsKey("Classes")) matches.push_back(anyClassExists(filter->stringArray("Classes")));
  if (filter->containsKey("CoreFoundationVersion")) {
    matches.push_back(versionInRange(filter->objectForKey("CoreFoundationVersion"), host.coreFoundationVersion));
  }
  if (matches.empty()) return true;
  const bool any = filter->stringValue("Mode") == "Any";
  return any ? std::find(matches.begin(), matches.end(), true) != matches.end()
             : std::find(matches.begin(), matches.end(), false) == matches.end();
}

}  // namespace aurora
