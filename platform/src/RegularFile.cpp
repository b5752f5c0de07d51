#include "RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace aurora {
namespace {

// Reads to the end, or past `limit`; false with errno set when a read fails.
bool readAll(int fd, const struct stat& info, std::size_t limit, std::string& contents) {
  // Room for one byte more than the file holds: a read of a regular file
  // returns less than asked only at its end, so one read usually does, and a
  // file that grew meanwhile fills the room and is read on. A file that
  // reports no size (a kernel's pseudo-file) is read until a read gives 0.
  const bool sized = info.st_size > 0;
  contents.assign(sized ? static_cast<std::size_t>(info.st_size) + 1 : std::size_t{4096}, '\0');
  std::size_t filled = 0;
  for (;;) {
    const ssize_t got = ::read(fd, contents.data() + filled, contents.size() - filled);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    filled += static_cast<std::size_t>(got);
    if (filled > limit || got == 0 || (sized && filled < contents.size())) break;
    if (filled == contents.size()) contents.resize(std::min(2 * contents.size(), limit + 1));
  }
  contents.resize(filled);
  return true;
}

}  // namespace

RegularFileRead readRegularFile(const std::filesystem::path& path, std::size_t limit) {
  using Outcome = RegularFileRead::Outcome;
  RegularFileRead result;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    result.error = errno;
    result.outcome = errno == ENOENT ? Outcome::Missing : Outcome::Failed;
    // A socket cannot be opened at all (ENXIO): still say what is there.
    struct stat info {};
    if (result.outcome == Outcome::Failed && ::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
      result.outcome = Outcome::NotRegular;
      result.type = info.st_mode & S_IFMT;
    }
    return result;
  }
  struct stat info {};
  const bool known = ::fstat(fd, &info) == 0;
  result.type = info.st_mode & S_IFMT;
  result.permissions = info.st_mode & 0777;
  if (known && !S_ISREG(info.st_mode)) {
    result.outcome = Outcome::NotRegular;
  } else if (known && static_cast<std::uintmax_t>(info.st_size) > limit) {
    result.outcome = Outcome::TooLarge;
  } else if (!known || !readAll(fd, info, limit, result.bytes)) {
    result.error = errno;
  } else {
    result.outcome = result.bytes.size() > limit ? Outcome::TooLarge : Outcome::Read;
  }
  if (result.outcome != Outcome::Read) result.bytes.clear();
  ::close(fd);
  return result;
}

const char* fileTypeName(mode_t type) {
  switch (type) {
    case S_IFDIR:
      return "a folder";
    case S_IFIFO:
      return "a FIFO";
    case S_IFSOCK:
      return "a socket";
    case S_IFCHR:
    case S_IFBLK:
      return "a device";
  }
  return "something other than a file";
}

}  // namespace aurora
