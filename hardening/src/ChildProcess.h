// ChildProcess: a piece of work run in a forked process of its own, bounded
// in wall-clock time. The hardening runs use it so that each host starts
// fresh (the extension loads once per process) and so that a crash or a hang
// in one run is seen, reported and survived by the process that asked.
//
//   hardening::ChildResult r = hardening::runInChild(30s, [] { return std::string("done"); });
//   if (!r.ok()) std::cerr << r.describe();
//
// The child runs `body`, hands the text it returns to the parent and exits 0;
// an exception ends it with status 1 and its message as the text. The parent
// reads while it waits, so the text may be of any length. A child still
// running at the limit is killed (SIGKILL) and reported as hung.
//
// Fork from a process with one thread only. The parent owns the child: the
// destructor kills and reaps one still running.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>

namespace hardening {

struct ChildResult {
  enum class End { Exited, Signalled, Hung };
  End end = End::Exited;
  int code = 0;        // exit status, or the signal that ended it
  std::string output;  // what the body returned (or the exception's message)
  double wallSeconds = 0;

  bool ok() const { return end == End::Exited && code == 0; }
  // "exited 0", "killed by signal 11 (Segmentation fault)", "hung: killed after 30 s".
  std::string describe() const;
};

class ChildProcess {
 public:
  explicit ChildProcess(const std::function<std::string()>& body);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t pid() const { return pid_; }
  // Waits for the end, killing the child when `limit` passes first. Once only.
  ChildResult wait(std::chrono::milliseconds limit);

 private:
  pid_t pid_ = -1;
  int output_ = -1;
  std::chrono::steady_clock::time_point start_;
};

ChildResult runInChild(std::chrono::milliseconds limit, const std::function<std::string()>& body);

// A one-way signal between processes: made before the fork, opened by one
// side, waited for by the other.
class Gate {
 public:
  Gate();
  ~Gate();
  Gate(const Gate&) = delete;
  Gate& operator=(const Gate&) = delete;
  void open();
  // False when the other side closed without opening (it ended first).
  bool waitOpen();

 private:
  int fds_[2] = {-1, -1};
};

}  // namespace hardening
