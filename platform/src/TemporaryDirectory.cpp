#include "aurora/TemporaryDirectory.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <string>

namespace aurora {

TemporaryDirectory::TemporaryDirectory(std::string_view prefix, const std::filesystem::path& parent) {
  const std::filesystem::path folder = parent.empty() ? std::filesystem::temp_directory_path() : parent;
  std::string pattern = (folder / prefix).string() + "XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error("cannot make a temporary directory in " + folder.string() + ": " + std::strerror(errno));
  }
  path_ = pattern;
}

TemporaryDirectory::~TemporaryDirectory() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::filesystem::path TemporaryDirectory::write(std::string_view name, std::string_view bytes) const {
  std::filesystem::path file = path_ / name;
  std::filesystem::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return file;
}

}  // namespace aurora
