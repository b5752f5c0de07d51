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

class WriterLock {
 public:
  // Waits until no other writer of `file` holds the lock, for at most
  // `patience`. The folder must exist. Throws PreferencesError when the lock
  // file cannot be opened or the wait runs out.
  WriterLock(const std::filesystem::path& file, std::chrono::milliseconds patience);
  ~WriterLock();
  WriterLock(const WriterLock&) = delete;
  WriterLock& operator=(const WriterLock&) = delete;

 private:
  int fd_ = -1;
};

}  // namespace aurora
