// The lock every writer of a preferences file holds from its read to its
// rename, so that two changes at once both land: flock on a hidden file beside
// it (".NAME.lock"). The lock file stays: were it removed, a writer waiting on
// the old one and a writer making a new one could both hold "the" lock.
// Readers take no lock; the rename already shows them whole files.
// Any thread; each lock is its own open file, so threads of one process wait
// for each other as processes do.
#pragma once

#include <chrono>
#include <filesystem>

namespace aurora {

// How long a writer waits for the lock. A change holds it for milliseconds,
// so a longer hold means a writer stopped while holding it; the wait is
// bounded so that a program (the studio's server) is never stuck behind one.
inline constexpr std::chrono::milliseconds kWriterLockPatience{800};

class WriterLock {
 public:
  // Waits until no other writer of `file` holds the lock, for at most
  // kWriterLockPatience. The folder must exist. Throws PreferencesError when
  // the lock file cannot be opened or the wait runs out.
  explicit WriterLock(const std::filesystem::path& file);
  ~WriterLock();
  WriterLock(const WriterLock&) = delete;
  WriterLock& operator=(const WriterLock&) = delete;

 private:
  int fd_ = -1;
};

}  // namespace aurora
