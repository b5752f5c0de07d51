// The page's files, compiled into the program from studio/page/ (the build
// turns them into byte arrays), so that no path from a request ever reaches
// the file system. Pure; any thread.
#pragma once

#include <optional>
#include <string_view>

namespace studio {

struct PageFile {
  std::string_view contentType;
  std::string_view bytes;
};

// "/" is index.html, "/NAME" each other file of the page; nothing for anything else.
std::optional<PageFile> pageFile(std::string_view path);

// Where index.html holds the token the page sends with its changes.
inline constexpr std::string_view kTokenPlaceholder = "STUDIO_TOKEN";

}  // namespace studio
