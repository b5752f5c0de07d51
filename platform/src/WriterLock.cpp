#include "WriterLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <thread>

#include "aurora/PreferencesFile.h"

namespace aurora {
namespace {

// A waiting writer looks again this often at most, so it takes the lock soon after it is free.
constexpr std::chrono::milliseconds kLongestPause{8};

}  // namespace

WriterLock::WriterLock(const std::filesystem::path& file, std::chrono::milliseconds patience) {
  const std::filesystem::path lockFile = file.parent_path() / ("." + file.filename().string() + ".lock");
  const auto fail = [&](const std::string& why) {
    if (fd_ >= 0) ::close(fd_);
    throw PreferencesError("cannot lock \"" + lockFile.string() + "\" to change \"" + file.string() + "\": " + why);
  };
  // Read-only is enough for flock, and works on a lock file another user made.
  fd_ = ::open(lockFile.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY, 0644);
  if (fd_ < 0) fail(std::strerror(errno));
  struct stat info {};
  if (::fstat(fd_, &info) != 0) fail(std::strerror(errno));
  if (!S_ISREG(info.st_mode)) fail("it is not a regular file");
  const auto giveUp = std::chrono::steady_clock::now() + patience;
  for (auto pause = std::chrono::milliseconds(1); ::flock(fd_, LOCK_EX | LOCK_NB) != 0;
       pause = std::min(pause * 2, kLongestPause)) {
    if (errno != EWOULDBLOCK && errno != EINTR) fail(std::strerror(errno));
    if (std::chrono::steady_clock::now() >= giveUp) fail("another writer has held it too long; nothing was written");
    std::this_thread::sleep_for(pause);
  }
}

WriterLock::~WriterLock() { ::close(fd_); }

}  // namespace aurora
