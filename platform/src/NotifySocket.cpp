#include "NotifySocket.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>

namespace aurora::notify {
namespace {

namespace fs = std::filesystem;

// Socket names are decimal process ids: at most 10 digits.
constexpr std::size_t kMaxSocketName = 10;
constexpr std::chrono::seconds kFullReceiverWait{1};
// Datagrams read per readable event; more wait for the next turn of the loop.
constexpr int kMaxDrain = 4096;

std::optional<sockaddr_un> addressOf(const fs::path& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.native().size() >= sizeof address.sun_path) return std::nullopt;
  std::memcpy(address.sun_path, path.c_str(), path.native().size() + 1);
  return address;
}

std::uint64_t fnv1a(std::string_view text) {
  std::uint64_t hash = 0xcbf29ce484222325u;
  for (const char c : text) hash = (hash ^ static_cast<std::uint8_t>(c)) * 0x100000001b3u;
  return hash;
}

// The root as every process names it, whatever spelling it was given in.
fs::path resolvedRoot(const fs::path& root) {
  std::error_code error;
  fs::path absolute = fs::absolute(root, error);
  if (error) absolute = root;
  fs::path canonical = fs::weakly_canonical(absolute, error);
  return error ? absolute.lexically_normal() : canonical;
}

bool privateDirectoryOfThisUser(const fs::path& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() &&
         (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// A socket connected to `receiver`, or -1. A receiver nobody is bound to any
// more (its process has gone) is removed.
int connectTo(const fs::path& receiver) {
  const std::optional<sockaddr_un> address = addressOf(receiver);
  if (!address) return -1;
  const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&*address), sizeof *address) != 0) {
    if (errno == ECONNREFUSED) ::unlink(receiver.c_str());
    ::close(fd);
    return -1;
  }
  return fd;
}

std::vector<fs::path> socketsBut(const fs::path& directory, const fs::path& own) {
  std::error_code error;
  std::vector<fs::path> sockets;
  for (fs::directory_iterator it(directory, error), end; !error && it != end; it.increment(error)) {
    std::error_code typeError;
    if (it->path() != own && it->symlink_status(typeError).type() == fs::file_type::socket)
      sockets.push_back(it->path());
  }
  return sockets;
}

void sendTo(const fs::path& receiver, std::string_view name, int ownFd, const std::function<void()>& serviceOwn) {
  // Connected, so POLLOUT tells when the receiver's queue has room.
  const int fd = connectTo(receiver);
  if (fd < 0) return;
  const auto deadline = std::chrono::steady_clock::now() + kFullReceiverWait;
  for (;;) {
    if (::send(fd, name.data(), name.size(), MSG_NOSIGNAL) >= 0) break;
    const int error = errno;
    if (error == EINTR) continue;
    if (error == ECONNREFUSED) {
      ::unlink(receiver.c_str());  // its process went away meanwhile
      break;
    }
    const bool full = error == EAGAIN || error == EWOULDBLOCK;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (!full || left.count() <= 0) {
      std::fprintf(stderr, "notify: \"%.*s\" not delivered to %s: %s\n", static_cast<int>(name.size()), name.data(),
                   receiver.c_str(), full ? "its queue stayed full" : std::strerror(error));
      break;
    }
    std::array<pollfd, 2> fds{{{fd, POLLOUT, 0}, {ownFd, POLLIN, 0}}};
    ::poll(fds.data(), ownFd >= 0 ? 2 : 1, static_cast<int>(left.count()));
    if (ownFd >= 0 && (fds[1].revents & POLLIN)) serviceOwn();
  }
  ::close(fd);
}

}  // namespace

SocketDirectory socketDirectory(const fs::path& root) {
  const fs::path resolved = resolvedRoot(root);
  fs::path inRoot = resolved / "var/run/notify";
  // Decided by the root alone, so processes with pids of any length agree.
  if (inRoot.native().size() + 1 + kMaxSocketName < sizeof(sockaddr_un::sun_path)) return {std::move(inRoot), false};
  char hash[17];
  std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(fnv1a(resolved.native())));
  return {fs::path("/tmp") / (std::string("aurora-notify-") + hash), true};
}

bool prepareDirectory(const SocketDirectory& directory) {
  if (!directory.temporary) {
    std::error_code error;
    fs::create_directories(directory.path, error);
    return fs::is_directory(directory.path, error);
  }
  if (::mkdir(directory.path.c_str(), 0700) != 0 && errno != EEXIST) return false;
  return privateDirectoryOfThisUser(directory.path);
}

bool trustedDirectory(const SocketDirectory& directory) {
  return !directory.temporary || privateDirectoryOfThisUser(directory.path);
}

bool Receiver::bindIn(const fs::path& directory) {
  close();
  const fs::path path = directory / std::to_string(::getpid());
  const std::optional<sockaddr_un> address = addressOf(path);
  if (!address) return false;
  const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  // A file of this name was left by an earlier process with the same id.
  ::unlink(path.c_str());
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&*address), sizeof *address) != 0) {
    ::close(fd);
    return false;
  }
  fd_ = fd;
  owner_ = ::getpid();
  path_ = path;
  // Those a process that died left behind, which would stop a copy of the root.
  for (const fs::path& other : socketsBut(directory, path)) {
    if (const int connected = connectTo(other); connected >= 0) ::close(connected);
  }
  return true;
}

void Receiver::close() {
  if (fd_ < 0) return;
  // A forked child closes its copy but leaves the parent's file alone.
  if (ownedHere()) ::unlink(path_.c_str());
  ::close(fd_);
  fd_ = -1;
  owner_ = 0;
  path_.clear();
}

bool Receiver::ownedHere() const { return fd_ >= 0 && owner_ == ::getpid(); }

std::vector<std::string> Receiver::drain() {
  std::vector<std::string> names;
  for (int i = 0; fd_ >= 0 && i < kMaxDrain; ++i) {
    const ssize_t size = ::recv(fd_, nullptr, 0, MSG_PEEK | MSG_TRUNC | MSG_DONTWAIT);
    if (size < 0 && errno == EINTR) continue;
    if (size < 0) break;
    std::string name(static_cast<std::size_t>(size), '\0');
    char empty;
    const ssize_t got =
        size > 0 ? ::recv(fd_, name.data(), name.size(), MSG_DONTWAIT) : ::recv(fd_, &empty, 1, MSG_DONTWAIT);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) break;
    if (!name.empty()) names.push_back(std::move(name));
  }
  return names;
}

void sendToOthers(const fs::path& directory, std::string_view name, const fs::path& own, int ownFd,
                  const std::function<void()>& serviceOwn) {
  for (const fs::path& receiver : socketsBut(directory, own)) sendTo(receiver, name, ownFd, serviceOwn);
}

}  // namespace aurora::notify
