// The cross-process half of the Darwin notification centre: where a device
// root's notification sockets live, this process's receiving socket, and
// sending a name to every other process's socket.
//
// A socket file is named after the process id of its owner, so a process can
// tell its own socket (and a forked child is not fooled by its parent's).
// Receiver is used under its owner's lock; sendToOthers from any thread.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace aurora::notify {

struct SocketDirectory {
  std::filesystem::path path;
  // The short fallback under /tmp, which other users could have made first.
  bool temporary = false;
};

// Where observers of `root` keep their sockets: <root>/var/run/notify, or
// /tmp/aurora-notify-HASH when that would not fit a socket address. Every
// process of the root computes the same answer. Creates nothing.
SocketDirectory socketDirectory(const std::filesystem::path& root);
// Makes the directory if needed; false when it cannot, or when the /tmp
// fallback exists but is not a private directory of this user.
bool prepareDirectory(const SocketDirectory& directory);
// Whether posting into `directory` is safe: always for the root's own
// directory; for the /tmp fallback only when it is this user's private one.
bool trustedDirectory(const SocketDirectory& directory);

class Receiver {
 public:
  // Binds a socket named after this process in `directory`, closing any it
  // had, and removes the sockets there that nobody is bound to any more.
  bool bindIn(const std::filesystem::path& directory);
  // Closes the socket; removes its file when this process made it.
  void close();
  // Bound by this process (not inherited through fork).
  bool ownedHere() const;
  int fd() const { return fd_; }
  const std::filesystem::path& path() const { return path_; }
  // The names waiting, in arrival order (empty datagrams dropped).
  std::vector<std::string> drain();

 private:
  int fd_ = -1;
  pid_t owner_ = 0;
  std::filesystem::path path_;
};

// Sends `name` to every socket in `directory` except `own`. A full receiver is
// waited for, up to a second each; meanwhile, when `ownFd` becomes readable,
// `serviceOwn` runs, so two processes posting to each other cannot both wait.
// A socket whose process has gone is removed.
void sendToOthers(const std::filesystem::path& directory, std::string_view name, const std::filesystem::path& own,
                  int ownFd, const std::function<void()>& serviceOwn);

}  // namespace aurora::notify
