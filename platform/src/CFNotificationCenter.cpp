#include "CoreFoundation/CFNotificationCenter.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>
#include <vector>

#include "Foundation/NSRunLoop.h"
#include "NotifySocket.h"
#include "aurora/DeviceRoot.h"
#include "aurora/MainThread.h"
#include "aurora/PlatformObserver.h"
#include "aurora/ThreadSafety.h"
#include "dispatch/dispatch.h"

// The process's one Darwin centre. Lock order: socketMutex_, then observersMutex_.
struct CFNotificationCenter_s {
  void addObserver(const void* observer, CFNotificationCallback callback, std::string name) {
    {
      aurora::MutexLock lock(observersMutex_);
      const bool known = std::any_of(observers_.begin(), observers_.end(), [&](const Observer& o) {
        return o.observer == observer && o.callback == callback && o.name == name;
      });
      if (!known) observers_.push_back({observer, callback, std::move(name)});
    }
    // Also for a known observer: the device root may have changed since.
    listen();
  }

  void post(const std::string& name) {
    aurora::tellObservers(&aurora::PlatformObserver::notificationPosted, name);
    deliverHere(name);
    const aurora::notify::SocketDirectory directory = aurora::notify::socketDirectory(aurora::deviceRoot());
    if (!aurora::notify::trustedDirectory(directory)) return;
    std::filesystem::path own;
    int ownFd = -1;
    {
      aurora::MutexLock lock(socketMutex_);
      if (receiver_.ownedHere()) {
        own = receiver_.path();
        ownFd = receiver_.fd();
      }
    }
    aurora::notify::sendToOthers(directory.path, name, own, ownFd, [this] { serviceSocket(); });
  }

  // At exit: the socket file goes, the centre stays.
  void removeSocketFile() {
    aurora::MutexLock lock(socketMutex_);
    if (receiver_.ownedHere()) ::unlink(receiver_.path().c_str());
  }

 private:
  struct Observer {
    const void* observer;
    CFNotificationCallback callback;
    std::string name;
  };

  // Queues one callback per matching observer on the main queue, now.
  void deliverHere(const std::string& name) {
    std::vector<Observer> matching;
    {
      aurora::MutexLock lock(observersMutex_);
      std::copy_if(observers_.begin(), observers_.end(), std::back_inserter(matching),
                   [&](const Observer& o) { return o.name == name; });
    }
    for (Observer& o : matching) {
      dispatch_async(dispatch_get_main_queue(), [this, o = std::move(o)] {
        aurora::tellObservers(&aurora::PlatformObserver::notificationDelivered, o.name);
        o.callback(this, const_cast<void*>(o.observer), o.name.c_str(), nullptr, nullptr);
      });
    }
  }

  // Main thread, or a poster waiting on a full receiver. Under the lock, so
  // two drainers cannot reorder what they read.
  void serviceSocket() {
    aurora::MutexLock lock(socketMutex_);
    for (const std::string& name : receiver_.drain()) deliverHere(name);
  }

  // Binds this process's socket in the current root's directory, unless it is
  // there already. Main thread (the run loop's sources live there).
  void listen() {
    const aurora::notify::SocketDirectory directory = aurora::notify::socketDirectory(aurora::deviceRoot());
    aurora::MutexLock lock(socketMutex_);
    if (receiver_.ownedHere() && receiver_.path().parent_path() == directory.path) return;
    if (receiver_.fd() >= 0) NSRunLoop::mainRunLoop().removeSource(receiver_.fd());
    receiver_.close();
    if (!aurora::notify::prepareDirectory(directory) || !receiver_.bindIn(directory.path)) {
      std::fprintf(stderr, "notify: cannot listen in %s; other processes' notifications will not arrive\n",
                   directory.path.c_str());
      return;
    }
    NSRunLoop::mainRunLoop().addSource(receiver_.fd(), [this] { serviceSocket(); });
    [[maybe_unused]] static const int cleanup =
        std::atexit([] { CFNotificationCenterGetDarwinNotifyCenter()->removeSocketFile(); });
  }

  aurora::Mutex socketMutex_;
  aurora::notify::Receiver receiver_ AURORA_GUARDED_BY(socketMutex_);
  aurora::Mutex observersMutex_;
  std::vector<Observer> observers_ AURORA_GUARDED_BY(observersMutex_);
};

CFNotificationCenterRef CFNotificationCenterGetDarwinNotifyCenter() {
  static CFNotificationCenter_s* const center = new CFNotificationCenter_s();
  return center;
}

void CFNotificationCenterAddObserver(CFNotificationCenterRef center, const void* observer,
                                     CFNotificationCallback callBack, CFStringRef name, const void* /*object*/,
                                     CFNotificationSuspensionBehavior /*behaviour*/) {
  aurora::requireMainThread("CFNotificationCenterAddObserver");
  if (center != CFNotificationCenterGetDarwinNotifyCenter() || callBack == nullptr || name == nullptr || *name == '\0')
    return;
  center->addObserver(observer, callBack, name);
}

void CFNotificationCenterPostNotification(CFNotificationCenterRef center, CFStringRef name, const void* /*object*/,
                                          CFDictionaryRef /*userInfo*/, bool /*deliverImmediately*/) {
  if (center != CFNotificationCenterGetDarwinNotifyCenter() || name == nullptr || *name == '\0') return;
  center->post(name);
}
