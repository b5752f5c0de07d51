#include "aurora/PreferencesFile.h"

#include <plist/plist.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <type_traits>

#include "AtomicFile.h"
#include "Foundation/NSDictionary.h"
#include "RegularFile.h"
#include "WriterLock.h"

namespace aurora {
namespace {

constexpr mode_t kNewFilePermissions = 0644;

struct PlistDeleter {
  void operator()(plist_t node) const { plist_free(node); }
};
using Plist = std::unique_ptr<void, PlistDeleter>;

std::string quoted(const std::filesystem::path& path) { return '"' + path.string() + '"'; }

// Also keeps libplist, which takes C strings, from cutting a text at a NUL.
void checkText(const std::string& text, std::string_view what) {
  if (std::optional<std::string> why = unreadableText(text)) throw PreferencesError(std::string(what) + " " + *why);
}

void checkEntries(const std::vector<PreferenceEntry>& entries) {
  for (const PreferenceEntry& entry : entries) {
    checkText(entry.key, "a preferences key");
    if (const auto* text = std::get_if<std::string>(&entry.value)) checkText(*text, "the value of " + entry.key);
  }
}

plist_t makeNode(const PreferenceValue& value) {
  return std::visit(
      [](const auto& v) -> plist_t {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, bool>) return plist_new_bool(v ? 1 : 0);
        // libplist 2.2 keeps integers as 64 bits read back as signed.
        else if constexpr (std::is_same_v<T, std::int64_t>)
          return plist_new_uint(static_cast<std::uint64_t>(v));
        else if constexpr (std::is_same_v<T, double>)
          return plist_new_real(v);
        else
          return plist_new_string(v.c_str());
      },
      value);
}

// Entries that checkEntries passed.
void addEntries(plist_t dictionary, const std::vector<PreferenceEntry>& entries) {
  for (const PreferenceEntry& entry : entries)
    plist_dict_set_item(dictionary, entry.key.c_str(), makeNode(entry.value));
}

std::string serialise(plist_t root, PlistFormat format) {
  char* data = nullptr;
  std::uint32_t length = 0;
  if (format == PlistFormat::Xml)
    plist_to_xml(root, &data, &length);
  else
    plist_to_bin(root, &data, &length);
  const std::unique_ptr<char, decltype(&std::free)> owner(data, &std::free);
  if (data == nullptr) throw PreferencesError("cannot serialise the preferences");
  std::string bytes(data, length);
  if (format == PlistFormat::Binary) return bytes;
  // Text kept from a binary file, which no entry check saw.
  if (std::optional<std::string> why = unreadableText(bytes)) {
    throw PreferencesError("the preferences file " + *why +
                           " (from a binary file); write it in binary or remove that key");
  }
  // libplist writes a carriage return as it is, which XML readers take for a
  // line feed; a character reference reads back as itself.
  for (std::size_t at = bytes.find('\r'); at != std::string::npos; at = bytes.find('\r', at))
    bytes.replace(at, 1, "&#13;");
  return bytes;
}

// A file that is there, as its bytes, what the device reads from them, and
// what a rewrite keeps.
struct Existing {
  std::string bytes;
  std::shared_ptr<const NSDictionary> dictionary;
  PlistFormat format;
  mode_t permissions;
};

PreferencesError unreadable(const std::filesystem::path& path) {
  return PreferencesError(quoted(path) +
                          " is not a preferences dictionary the device could read; leaving it untouched");
}

// The regular file at `path`, nothing when there is none; throws for anything
// else there, and for a file larger than NSDictionary reads.
std::optional<RegularFileRead> readRegular(const std::filesystem::path& path) {
  RegularFileRead read = readRegularFile(path, NSDictionary::kMaxFileSize);
  switch (read.outcome) {
    case RegularFileRead::Outcome::Missing:
      return std::nullopt;
    case RegularFileRead::Outcome::Failed:
      throw PreferencesError("cannot read " + quoted(path) + ": " + std::strerror(read.error));
    case RegularFileRead::Outcome::NotRegular:
      throw PreferencesError(quoted(path) + " is " + fileTypeName(read.type) +
                             ", not a preferences file; leaving it untouched");
    case RegularFileRead::Outcome::TooLarge:
      throw unreadable(path);
    case RegularFileRead::Outcome::Read:
      break;
  }
  return read;
}

// Nothing when there is no file; throws when there is one the device could not
// read as a dictionary.
std::optional<Existing> readExisting(const std::filesystem::path& path) {
  std::optional<RegularFileRead> read = readRegular(path);
  if (!read) return std::nullopt;
  // NSDictionary bounds what libplist would expand, so only what it accepts
  // is ever handed to libplist for rewriting.
  std::shared_ptr<const NSDictionary> dictionary = NSDictionary::fromBytes(read->bytes);
  if (!dictionary) throw unreadable(path);
  const PlistFormat format = read->bytes.starts_with("bplist00") ? PlistFormat::Binary : PlistFormat::Xml;
  return Existing{std::move(read->bytes), std::move(dictionary), format, read->permissions};
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

void makeFolder(const std::filesystem::path& file) {
  std::error_code error;
  std::filesystem::create_directories(file.parent_path(), error);
  if (error) throw PreferencesError("cannot make the folder " + quoted(file.parent_path()) + ": " + error.message());
}

// A missing folder holds no file: nothing to lock for.
bool folderExists(const std::filesystem::path& file) {
  std::error_code error;
  return std::filesystem::is_directory(file.parent_path(), error);
}

}  // namespace

std::string preferencesBytes(const std::vector<PreferenceEntry>& entries, PlistFormat format) {
  checkEntries(entries);
  const Plist dictionary(plist_new_dict());
  addEntries(dictionary.get(), entries);
  return serialise(dictionary.get(), format);
}

PreferencesFile::PreferencesFile(std::filesystem::path hostPath, std::optional<PlistFormat> format)
    : path_(std::move(hostPath)), format_(format) {}

std::shared_ptr<const NSDictionary> PreferencesFile::contents() const {
  std::optional<Existing> existing = readExisting(path_);
  return existing ? std::move(existing->dictionary) : nullptr;
}

std::optional<std::string> PreferencesFile::bytes() const {
  std::optional<RegularFileRead> read = readRegular(path_);
  return read ? std::optional<std::string>(std::move(read->bytes)) : std::nullopt;
}

std::optional<std::string> PreferencesFile::bytesIn(PlistFormat format) const {
  std::optional<Existing> existing = readExisting(path_);
  if (!existing) return std::nullopt;
  if (existing->format == format) return std::move(existing->bytes);
  return serialise(parse(*existing, path_).get(), format);
}

void PreferencesFile::set(const std::vector<PreferenceEntry>& entries) {
  checkEntries(entries);
  makeFolder(path_);
  const WriterLock lock(path_, lockPatience_);
  const std::optional<Existing> existing = readExisting(path_);
  const Plist dictionary = existing ? parse(*existing, path_) : Plist(plist_new_dict());
  addEntries(dictionary.get(), entries);
  const PlistFormat format = format_.value_or(existing ? existing->format : PlistFormat::Xml);
  replaceFileAtomically(path_, serialise(dictionary.get(), format),
                        existing ? existing->permissions : kNewFilePermissions);
}

bool PreferencesFile::unset(std::string_view key) {
  if (!folderExists(path_)) return false;
  const WriterLock lock(path_, lockPatience_);
  const std::optional<Existing> existing = readExisting(path_);
  if (!existing || !existing->dictionary->containsKey(key)) return false;
  const Plist dictionary = parse(*existing, path_);
  plist_dict_remove_item(dictionary.get(), std::string(key).c_str());
  replaceFileAtomically(path_, serialise(dictionary.get(), format_.value_or(existing->format)), existing->permissions);
  return true;
}

bool PreferencesFile::remove() {
  if (!folderExists(path_)) return false;
  const WriterLock lock(path_, lockPatience_);
  struct stat info {};
  if (::stat(path_.c_str(), &info) != 0) {
    if (errno == ENOENT) return false;
    throw PreferencesError("cannot remove " + quoted(path_) + ": " + std::strerror(errno));
  }
  if (!S_ISREG(info.st_mode)) {
    throw PreferencesError(quoted(path_) + " is " + fileTypeName(info.st_mode & S_IFMT) +
                           ", not a preferences file; leaving it there");
  }
  // unlink, unlike remove, never takes a folder that appeared meanwhile.
  if (::unlink(path_.c_str()) != 0) {
    throw PreferencesError("cannot remove " + quoted(path_) + ": " + std::strerror(errno));
  }
  return true;
}

void PreferencesFile::writeRaw(std::string_view bytes) {
  makeFolder(path_);
  const WriterLock lock(path_, lockPatience_);
  struct stat info {};
  const bool regular = ::stat(path_.c_str(), &info) == 0 && S_ISREG(info.st_mode);
  replaceFileAtomically(path_, bytes, regular ? info.st_mode & 0777 : kNewFilePermissions);
}

}  // namespace aurora
