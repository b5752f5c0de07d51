#include "StopSignals.h"

#include <pthread.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

#include "Foundation/NSRunLoop.h"

namespace studio {

StopSignals::StopSignals() {
  sigset_t stopping;
  sigemptyset(&stopping);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&stopping, signal);
  ::pthread_sigmask(SIG_BLOCK, &stopping, &saved_);
  fd_ = ::signalfd(-1, &stopping, SFD_NONBLOCK | SFD_CLOEXEC);
  if (fd_ < 0) {
    ::pthread_sigmask(SIG_SETMASK, &saved_, nullptr);
    throw std::runtime_error(std::string("cannot read signals: ") + std::strerror(errno));
  }
  NSRunLoop::mainRunLoop().addSource(fd_, [this] {
    signalfd_siginfo info{};
    bool received = false;
    while (::read(fd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) received = true;
    if (received) NSRunLoop::mainRunLoop().stop();
  });
}

StopSignals::~StopSignals() {
  NSRunLoop::mainRunLoop().removeSource(fd_);
  ::close(fd_);
  ::pthread_sigmask(SIG_SETMASK, &saved_, nullptr);
}

}  // namespace studio
