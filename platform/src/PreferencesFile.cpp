#include "aurora/PreferencesFile.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <type_traits>

#include <plist/plist.h>

#include "AtomicFile.h"
#include "Foundation/NSDictionary.h"

namespace aurora {
namespace {

struct PlistDeleter {
  void operator()(plist_t node) const { plist_free(node); }
};
using Plist = std::unique_ptr<void, PlistDeleter>;

std::string quoted(const std::filesystem::path& path) { return '"' + path.string() + '"'; }

// libplist takes C strings: a NUL would silently cut the text short.
const char* cString(const std::string& text, std::string_view what) {
  if (text.find('\0') != std::string::npos) throw PreferencesError(std::string(what) + " contains a NUL character");
  return text.c_str();
}

plist_t makeNode(const PreferenceEntry& entry) {
  return std::visit(
      [&](const auto& value) -> plist_t {
        using T = std::decay_t<decltype(value)>;
        if constexpr (std::is_same_v<T, bool>) return plist_new_bool(value ? 1 : 0);
        // libplist 2.2 keeps integers as 64 bits read back as signed.
        else if constexpr (std::is_same_v<T, std::int64_t>) return plist_new_uint(static_cast<std::uint64_t>(value));
        else if constexpr (std::is_same_v<T, double>) return plist_new_real(value);
        else return plist_new_string(cString(value, "the value of " + entry.key));
      },
      entry.value);
}

void addEntries(plist_t dictionary, const std::vector<PreferenceEntry>& entries) {
  for (const PreferenceEntry& entry : entries) {
    // The key is checked before the node is made: a refusal then leaks nothing.
    const char* key = cString(entry.key, "a preferences key");
    plist_dict_set_item(dictionary, key, makeNode(entry));
  }
}

std::string serialise(plist_t root, PlistFormat format) {
  char* data = nullptr;
  std::uint32_t length = 0;
  if (format == PlistFormat::Xml) plist_to_xml(root, &data, &length);
  else plist_to_bin(root, &data, &length);
  const std::unique_ptr<char, decltype(&std::free)> owner(data, &std::free);
  if (data == nullptr) throw PreferencesError("cannot serialise the preferences");
  return std::string(data, length);
}

// A file that is there, as both its bytes and what the device reads from them.
struct Existing {
  std::string bytes;
  std::shared_ptr<const NSDictionary> dictionary;
};

// Nothing when there is no file; throws when there is one the device could not
// read as a dictionary.
std::optional<Existing> readExisting(const std::filesystem::path& path) {
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(path, error);
  if (status.type() == std::filesystem::file_type::not_found) return std::nullopt;
  if (error) throw PreferencesError("cannot read " + quoted(path) + ": " + error.message());
  const PreferencesError refusal(quoted(path) +
                                 " is not a preferences dictionary the device could read; leaving it untouched");
  // Checked before opening, so a FIFO or a huge file is never read.
  if (!std::filesystem::is_regular_file(status) || std::filesystem::file_size(path, error) > NSDictionary::kMaxFileSize) {
    throw refusal;
  }
  std::ifstream in(path, std::ios::binary);
  std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (!in.is_open() || in.bad()) throw PreferencesError("cannot read " + quoted(path));
  // NSDictionary bounds what libplist would expand, so only what it accepts
  // is ever handed to libplist for rewriting.
  std::shared_ptr<const NSDictionary> dictionary = NSDictionary::fromBytes(bytes);
  if (!dictionary) throw refusal;
  return Existing{std::move(bytes), std::move(dictionary)};
}

// libplist's own tree of an existing file, so that keys nobody named are
// written back exactly as they were.
Plist parse(const Existing& existing, const std::filesystem::path& path) {
  plist_t root = nullptr;
  plist_from_memory(existing.bytes.data(), static_cast<std::uint32_t>(existing.bytes.size()), &root);
  Plist owner(root);
  if (!owner || plist_get_node_type(root) != PLIST_DICT) throw PreferencesError("cannot parse " + quoted(path));
  return owner;
}

}  // namespace

std::string preferencesBytes(const std::vector<PreferenceEntry>& entries, PlistFormat format) {
  const Plist dictionary(plist_new_dict());
  addEntries(dictionary.get(), entries);
  return serialise(dictionary.get(), format);
}

PreferencesFile::PreferencesFile(std::filesystem::path hostPath, PlistFormat format)
    : path_(std::move(hostPath)), format_(format) {}

std::shared_ptr<const NSDictionary> PreferencesFile::contents() const {
  std::optional<Existing> existing = readExisting(path_);
  return existing ? std::move(existing->dictionary) : nullptr;
}

void PreferencesFile::set(const std::vector<PreferenceEntry>& entries) {
  const std::optional<Existing> existing = readExisting(path_);
  const Plist dictionary = existing ? parse(*existing, path_) : Plist(plist_new_dict());
  addEntries(dictionary.get(), entries);
  replaceFileAtomically(path_, serialise(dictionary.get(), format_));
}

bool PreferencesFile::unset(std::string_view key) {
  const std::optional<Existing> existing = readExisting(path_);
  if (!existing || !existing->dictionary->containsKey(key)) return false;
  const Plist dictionary = parse(*existing, path_);
  plist_dict_remove_item(dictionary.get(), std::string(key).c_str());
  replaceFileAtomically(path_, serialise(dictionary.get(), format_));
  return true;
}

bool PreferencesFile::remove() {
  std::error_code error;
  const bool removed = std::filesystem::remove(path_, error);
  if (error) throw PreferencesError("cannot remove " + quoted(path_) + ": " + error.message());
  return removed;
}

void PreferencesFile::writeRaw(std::string_view bytes) { replaceFileAtomically(path_, bytes); }

}  // namespace aurora
