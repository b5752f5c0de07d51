#include "PrefsFile.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <type_traits>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fmt/format.h>
#include <fmt/std.h>
#include <plist/plist.h>

#include "Foundation/NSDictionary.h"

namespace sim {
namespace {

using Plist = std::unique_ptr<std::remove_pointer_t<plist_t>, decltype(&plist_free)>;

std::string errnoText() { return std::strerror(errno); }

void requireNoNul(std::string_view text, std::string_view what) {
  if (text.find('\0') != std::string_view::npos) throw PrefsError(fmt::format("{} contains a NUL byte", what));
}

plist_t makeNode(const PrefEntry& entry) {
  return std::visit(
      [&](const auto& value) -> plist_t {
        using T = std::decay_t<decltype(value)>;
        if constexpr (std::is_same_v<T, bool>) return plist_new_bool(value);
        else if constexpr (std::is_same_v<T, std::int64_t>) return plist_new_uint(static_cast<std::uint64_t>(value));
        else if constexpr (std::is_same_v<T, double>) return plist_new_real(value);
        else {
          requireNoNul(value, fmt::format("the value of {}", entry.key));
          return plist_new_string(value.c_str());
        }
      },
      entry.value);
}

// The file's dictionary; nothing when the file does not exist.
Plist readDictionary(const std::filesystem::path& path) {
  std::error_code error;
  const auto size = std::filesystem::file_size(path, error);
  if (error == std::errc::no_such_file_or_directory) return {nullptr, &plist_free};
  if (error) throw PrefsError(fmt::format("cannot read {}: {}", path, error.message()));
  const auto refuse = [&] {
    return PrefsError(fmt::format("{} is not a preferences dictionary the device could read; leaving it untouched", path));
  };
  if (size > NSDictionary::kMaxFileSize) throw refuse();

  std::ifstream in(path, std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (!in.is_open() || in.bad()) throw PrefsError(fmt::format("cannot read {}", path));
  // The platform's reader bounds what libplist would expand; only what it
  // accepts is handed to libplist here.
  if (!NSDictionary::fromBytes(bytes)) throw refuse();
  plist_t root = nullptr;
  plist_from_memory(bytes.data(), static_cast<std::uint32_t>(bytes.size()), &root);
  Plist dictionary(root, &plist_free);
  if (!dictionary || plist_get_node_type(root) != PLIST_DICT) throw refuse();
  return dictionary;
}

std::string serialise(plist_t root, PlistFormat format) {
  char* data = nullptr;
  std::uint32_t length = 0;
  if (format == PlistFormat::Xml) {
    plist_to_xml(root, &data, &length);
  } else {
    plist_to_bin(root, &data, &length);
  }
  if (data == nullptr) throw PrefsError("cannot serialise the preferences");
  std::string bytes(data, length);
  if (format == PlistFormat::Xml) plist_to_xml_free(data); else plist_to_bin_free(data);
  return bytes;
}

}  // namespace

PrefsFile::PrefsFile(std::filesystem::path hostPath) : path_(std::move(hostPath)) {}

void PrefsFile::set(const std::vector<PrefEntry>& entries) {
  Plist dictionary = readDictionary(path_);
  if (!dictionary) dictionary.reset(plist_new_dict());
  for (const PrefEntry& entry : entries) {
    requireNoNul(entry.key, "a preferences key");
    plist_dict_set_item(dictionary.get(), entry.key.c_str(), makeNode(entry));
  }
  writeAtomically(serialise(dictionary.get(), format_));
}

void PrefsFile::unset(const std::string& key) {
  requireNoNul(key, "a preferences key");
  Plist dictionary = readDictionary(path_);
  if (!dictionary) return;
  plist_dict_remove_item(dictionary.get(), key.c_str());
  writeAtomically(serialise(dictionary.get(), format_));
}

void PrefsFile::remove() {
  std::error_code error;
  std::filesystem::remove(path_, error);
  if (error) throw PrefsError(fmt::format("cannot remove {}: {}", path_, error.message()));
}

void PrefsFile::writeRaw(std::string_view bytes) { writeAtomically(bytes); }

void PrefsFile::writeAtomically(std::string_view bytes) const {
  std::error_code error;
  std::filesystem::create_directories(path_.parent_path(), error);
  if (error) throw PrefsError(fmt::format("cannot make {}: {}", path_.parent_path(), error.message()));

  std::string temporary = (path_.parent_path() / ("." + path_.filename().string() + ".XXXXXX")).string();
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) throw PrefsError(fmt::format("cannot write beside {}: {}", path_, errnoText()));
  bool ok = ::fchmod(fd, 0644) == 0;
  for (std::size_t done = 0; ok && done < bytes.size();) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) done += static_cast<std::size_t>(n);
  }
  ok = (::close(fd) == 0) && ok;
  if (!ok || ::rename(temporary.c_str(), path_.c_str()) != 0) {
    const std::string why = errnoText();
    ::unlink(temporary.c_str());
    throw PrefsError(fmt::format("cannot write {}: {}", path_, why));
  }
}

}  // namespace sim
