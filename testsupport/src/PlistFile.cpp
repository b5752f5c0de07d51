#include "testsupport/PlistFile.h"

#include <cstdlib>
#include <fstream>
#include <stdexcept>

#include <plist/plist.h>

namespace aurora::testing {
namespace {

plist_t node(const PlistScalar& value) {
  return std::visit(
      [](const auto& v) -> plist_t {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, bool>) return plist_new_bool(v ? 1 : 0);
        else if constexpr (std::is_same_v<T, std::int64_t>) return plist_new_uint(static_cast<std::uint64_t>(v));
        else if constexpr (std::is_same_v<T, double>) return plist_new_real(v);
        else if constexpr (std::is_same_v<T, std::string>) return plist_new_string(v.c_str());
        else {
          plist_t array = plist_new_array();
          for (const auto& s : v) plist_array_append_item(array, plist_new_string(s.c_str()));
          return array;
        }
      },
      value);
}

}  // namespace

std::string plistBytes(const PlistEntries& entries, PlistFormat format) {
  plist_t dict = plist_new_dict();
  for (const auto& [key, value] : entries) plist_dict_set_item(dict, key.c_str(), node(value));
  char* data = nullptr;
  uint32_t length = 0;
  if (format == PlistFormat::Xml) plist_to_xml(dict, &data, &length);
  else plist_to_bin(dict, &data, &length);
  plist_free(dict);
  if (data == nullptr) throw std::runtime_error("libplist could not write the test file");
  std::string bytes(data, length);
  std::free(data);
  return bytes;
}

void writePlist(const std::filesystem::path& hostPath, const PlistEntries& entries, PlistFormat format) {
  std::filesystem::create_directories(hostPath.parent_path());
  const std::filesystem::path temporary = hostPath.string() + ".tmp";
  const std::string bytes = plistBytes(entries, format);
  std::ofstream(temporary, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  std::filesystem::rename(temporary, hostPath);
}

}  // namespace aurora::testing
