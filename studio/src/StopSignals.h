// Ctrl-C, SIGTERM and SIGHUP as a request to stop the main run loop, read on
// the main thread through a signalfd that the run loop watches, so that the
// studio ends through its ordinary path: server stopped, threads joined, port
// given back.
//
// Make it on the main thread before any other thread starts: the signals are
// blocked here and the threads made later inherit that, so that none of them
// takes a signal the run loop should read. The destructor unblocks them; one
// that came meanwhile then takes its default action. Main thread only.
#pragma once

#include <csignal>

namespace studio {

class StopSignals {
 public:
  StopSignals();
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

 private:
  int fd_ = -1;
  sigset_t saved_{};
};

}  // namespace studio
