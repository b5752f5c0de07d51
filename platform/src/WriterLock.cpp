#include "WriterLock.h"

#include <cerrno>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "aurora/PreferencesFile.h"

namespace aurora {

WriterLock::WriterLock(const std::filesystem::path& file) {
  const std::filesystem::path lockFile = file.parent_path() / ("." + file.filename().string() + ".lock");
  const auto fail = [&](const std::string& why) {
    if (fd_ >= 0) ::close(fd_);
    throw PreferencesError("cannot lock \"" + lockFile.string() + "\" to change \"" + file.string() + "\": " + why);
  };
  // Read-only is enough for flock, and works on a lock file another user made.
  fd_ = ::open(lockFile.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY, 0644);
  if (fd_ < 0) fail(std::strerror(errno));
  struct stat info{};
  if (::fstat(fd_, &info) != 0) fail(std::strerror(errno));
  if (!S_ISREG(info.st_mode)) fail("it is not a regular file");
  while (::flock(fd_, LOCK_EX) != 0) {
    if (errno != EINTR) fail(std::strerror(errno));
  }
}

WriterLock::~WriterLock() { ::close(fd_); }

}  // namespace aurora
