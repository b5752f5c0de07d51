// Locks the compiler can check: a mutex and its scoped lock carrying clang's
// thread-safety attributes, and the macros that mark what a mutex guards.
//
//   aurora::Mutex mutex_;
//   int count_ AURORA_GUARDED_BY(mutex_) = 0;
//   void add() { aurora::MutexLock lock(mutex_); ++count_; }
//   void waitForOne() {
//     aurora::MutexLock lock(mutex_);
//     while (count_ == 0) lock.wait(changed_);   // the condition is checked under the lock
//   }
//
// Built with clang and -Wthread-safety, a guarded member read or written
// without its mutex held is a compile error; other compilers see plain
// std::mutex and std::unique_lock. Waits are written as loops around
// MutexLock::wait so that the condition is read where the analysis knows the
// lock is held (it does not look into predicates passed as lambdas).
//
// Any thread; a Mutex is owned by the object whose members it guards.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

#if defined(__clang__)
#define AURORA_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define AURORA_THREAD_ANNOTATION(x)
#endif

#define AURORA_CAPABILITY(name) AURORA_THREAD_ANNOTATION(capability(name))
#define AURORA_SCOPED_CAPABILITY AURORA_THREAD_ANNOTATION(scoped_lockable)
#define AURORA_GUARDED_BY(mutex) AURORA_THREAD_ANNOTATION(guarded_by(mutex))
#define AURORA_PT_GUARDED_BY(mutex) AURORA_THREAD_ANNOTATION(pt_guarded_by(mutex))
#define AURORA_REQUIRES(...) AURORA_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
#define AURORA_EXCLUDES(...) AURORA_THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))
#define AURORA_ACQUIRE(...) AURORA_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
#define AURORA_RELEASE(...) AURORA_THREAD_ANNOTATION(release_capability(__VA_ARGS__))

namespace aurora {

class AURORA_CAPABILITY("mutex") Mutex {
 public:
  void lock() AURORA_ACQUIRE() { mutex_.lock(); }
  void unlock() AURORA_RELEASE() { mutex_.unlock(); }

 private:
  friend class MutexLock;
  std::mutex mutex_;
};

// Holds a Mutex for its scope; waits on a condition variable release it meanwhile.
class AURORA_SCOPED_CAPABILITY MutexLock {
 public:
  explicit MutexLock(Mutex& mutex) AURORA_ACQUIRE(mutex) : lock_(mutex.mutex_) {}
  ~MutexLock() AURORA_RELEASE() {}  // NOLINT(modernize-use-equals-default): the release annotation needs a body
  MutexLock(const MutexLock&) = delete;
  MutexLock& operator=(const MutexLock&) = delete;

  void wait(std::condition_variable& condition) { condition.wait(lock_); }
  // False when `deadline` passed first.
  template <class Clock, class Duration>
  bool waitUntil(std::condition_variable& condition, const std::chrono::time_point<Clock, Duration>& deadline) {
    return condition.wait_until(lock_, deadline) == std::cv_status::no_timeout;
  }

 private:
  std::unique_lock<std::mutex> lock_;
};

}  // namespace aurora
