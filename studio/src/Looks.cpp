#include "Looks.h"

#include <fcntl.h>
#include <fmt/format.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "Foundation/NSDictionary.h"
#include "LookSettings.h"
#include "prefs/PreferenceKeys.h"

namespace studio {
namespace {

constexpr std::string_view kSuffix = ".plist";

bool nameCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ' || c == '-' || c == '_';
}

LookRefused failed(const std::string& what, const std::filesystem::path& path) {
  return LookRefused(500, fmt::format("cannot {} \"{}\": {}", what, path.string(), std::strerror(errno)));
}

// Closes and unlinks a temporary file however the save ends.
struct Temporary {
  std::string path;
  int fd;
  ~Temporary() {
    if (fd >= 0) ::close(fd);
    ::unlink(path.c_str());
  }
};

}  // namespace

std::optional<std::string> lookNameRefusal(std::string_view name) {
  constexpr const char* kRule = "letters, digits, spaces, '-' and '_', starting with a letter or digit";
  if (name.empty()) return "a look needs a name";
  if (name.size() > kMostLookNameBytes)
    return fmt::format("a look's name has at most {} characters", kMostLookNameBytes);
  if (!std::ranges::all_of(name, nameCharacter) || name.front() == ' ' || name.front() == '-' || name.front() == '_') {
    return fmt::format("a look's name is {}", kRule);
  }
  if (name.back() == ' ') return "a look's name does not end in a space";
  return std::nullopt;
}

std::filesystem::path Looks::fileOf(std::string_view name) const {
  if (auto why = lookNameRefusal(name)) throw LookRefused(400, *why);
  return folder_ / (std::string(name) + std::string(kSuffix));
}

std::filesystem::path Looks::existing(std::string_view name) const {
  std::filesystem::path file = fileOf(name);
  struct stat info {};
  if (::lstat(file.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
    throw LookRefused(404, fmt::format("there is no look named \"{}\"", name));
  return file;
}

std::vector<std::string> Looks::names() const {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder_, error)) {
    const std::string file = entry.path().filename().string();
    if (!file.ends_with(kSuffix) || !entry.is_regular_file(error)) continue;
    std::string name = file.substr(0, file.size() - kSuffix.size());
    if (!lookNameRefusal(name)) names.push_back(std::move(name));
  }
  std::ranges::sort(names);
  return names;
}

nlohmann::json Looks::settings(std::string_view name) const {
  const std::filesystem::path file = existing(name);
  const auto dictionary = NSDictionary::fromFile(file);
  try {
    if (!dictionary) throw prefs::RefusedValue("it is not a property list with a dictionary at its root");
    return settingsOf(*dictionary);
  } catch (const prefs::RefusedValue& why) {
    throw LookRefused(409, fmt::format("the look \"{}\" cannot be used: {}", name, why.what()));
  }
}

void Looks::save(std::string_view name, const nlohmann::json& settings) {
  const std::filesystem::path file = fileOf(name);
  const std::string bytes = settingsFile(settings, aurora::PlistFormat::Xml);
  std::error_code error;
  std::filesystem::create_directories(folder_, error);
  if (error)
    throw LookRefused(500, fmt::format("cannot make the looks folder \"{}\": {}", folder_.string(), error.message()));
  Temporary temporary{(folder_ / ".saving-XXXXXX").string(), -1};
  temporary.fd = ::mkstemp(temporary.path.data());
  if (temporary.fd < 0) throw failed("make a file in", folder_);
  if (::write(temporary.fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()) ||
      ::fsync(temporary.fd) != 0) {
    throw failed("write", temporary.path);
  }
  ::fchmod(temporary.fd, 0644);
  // link, unlike rename, refuses a name that is taken: the look appears whole, and only if new.
  if (::link(temporary.path.c_str(), file.c_str()) != 0) {
    if (errno == EEXIST) throw LookRefused(409, fmt::format("a look named \"{}\" already exists", name));
    throw failed("save", file);
  }
}

void Looks::rename(std::string_view from, std::string_view to) {
  const std::filesystem::path old = existing(from), renamed = fileOf(to);
  if (::link(old.c_str(), renamed.c_str()) != 0) {
    if (errno == EEXIST) throw LookRefused(409, fmt::format("a look named \"{}\" already exists", to));
    throw failed("rename", old);
  }
  if (::unlink(old.c_str()) != 0) throw failed("remove", old);
}

void Looks::remove(std::string_view name) {
  const std::filesystem::path file = existing(name);
  if (::unlink(file.c_str()) != 0) throw failed("remove", file);
}

}  // namespace studio
