#include "AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "aurora/PreferencesFile.h"

namespace aurora {
namespace {

std::string quoted(const std::filesystem::path& path) { return '"' + path.string() + '"'; }

// Writes all of `bytes` and flushes them to disk; false with errno set when it cannot.
bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return ::fsync(fd) == 0;
}

}  // namespace

void replaceFileAtomically(const std::filesystem::path& path, std::string_view bytes, mode_t permissions) {
  const std::filesystem::path folder = path.parent_path();
  // Hidden, and with a suffix no reader looks for, until it is complete.
  std::string temporary = (folder / ("." + path.filename().string() + ".XXXXXX")).string();
  const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) throw PreferencesError("cannot write in " + quoted(folder) + ": " + std::strerror(errno));
  bool ok = ::fchmod(fd, permissions) == 0 && writeAll(fd, bytes);
  int savedErrno = errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    savedErrno = errno;
  }
  if (ok && ::rename(temporary.c_str(), path.c_str()) != 0) {
    ok = false;
    savedErrno = errno;
  }
  if (!ok) {
    ::unlink(temporary.c_str());
    throw PreferencesError("cannot write " + quoted(path) + ": " + std::strerror(savedErrno));
  }
}

}  // namespace aurora
