// Looks: whole sets of settings (LookSettings.h) kept under a name, each a
// property-list file in one folder (the studio's --looks, by default
// $XDG_DATA_HOME/auroraribbon/looks). A name comes from the page, so it is
// input: checked against lookNameRefusal before anything is touched, then
// mapped to "NAME.plist" in the folder; files there that no name maps to are
// never listed, read or removed.
//
// Saving never replaces a look and renaming never overwrites one (link(2)
// refuses a name that is taken); a look appears whole or not at all. Failures
// are LookRefused with the HTTP status the page is answered with.
//
// The object owns the folder's path and keeps nothing open. The studio's
// server thread; the files are the studio's alone.
#pragma once

#include <cstddef>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace studio {

inline constexpr std::size_t kMostLookNameBytes = 40;

// Why `name` cannot name a look, or nothing: 1 to kMostLookNameBytes ASCII
// letters, digits, spaces, '-' and '_', starting with a letter or digit and
// not ending in a space (no dot or slash can make it a path).
std::optional<std::string> lookNameRefusal(std::string_view name);

class LookRefused : public std::runtime_error {
 public:
  LookRefused(int status, const std::string& why) : std::runtime_error(why), status(status) {}
  int status;
};

class Looks {
 public:
  explicit Looks(std::filesystem::path folder) : folder_(std::move(folder)) {}

  const std::filesystem::path& folder() const { return folder_; }
  // The looks' names, sorted; none when there is no folder yet.
  std::vector<std::string> names() const;
  // A look's settings, checked again as an upload is (the file may have been edited).
  nlohmann::json settings(std::string_view name) const;
  // Makes the folder when it is missing; 409 when the name is taken.
  void save(std::string_view name, const nlohmann::json& settings);
  void rename(std::string_view from, std::string_view to);
  void remove(std::string_view name);

 private:
  // The checked name's file; 400 for a bad name.
  std::filesystem::path fileOf(std::string_view name) const;
  // As fileOf, and 404 when there is no such look.
  std::filesystem::path existing(std::string_view name) const;

  std::filesystem::path folder_;
};

}  // namespace studio
