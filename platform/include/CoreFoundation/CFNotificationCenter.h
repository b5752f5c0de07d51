// CFNotificationCenter: the system-wide (Darwin) notification centre. A name
// posted in any process of the simulated device reaches every observer of that
// name in every process, the posting one included. Notifications carry only
// their name: the object, the user information and the suspension behaviour
// are accepted and ignored.
//
//   CFNotificationCenterAddObserver(CFNotificationCenterGetDarwinNotifyCenter(), nullptr, &changed,
//                                   "com.example.changed", nullptr, CFNotificationSuspensionBehaviorCoalesce);
//   CFNotificationCenterPostNotification(CFNotificationCenterGetDarwinNotifyCenter(), "com.example.changed",
//                                        nullptr, nullptr, true);
//
// Promises:
// - Each posting gives each matching observer exactly one callback, on the main
//   thread, in posting order; none is lost or merged. Within the posting
//   process the callback is queued on the main queue at the moment of the post,
//   so it runs on the main run loop's next turn, at the same instant of a
//   virtual clock.
// - Other processes hear it through a datagram socket each observing process
//   keeps in <root>/var/run/notify/ (or, when that path is too long for a socket
//   address, in /tmp/aurora-notify-HASH, HASH naming the root); the main run
//   loop reads it as one of its sources, so no thread is started. A post to a
//   process whose socket is full waits for room, up to one second per process;
//   the socket of a process that has gone is removed.
// - An empty or null name, a null callback, or another centre is ignored.
// - Registering the same observer, callback and name again changes nothing.
// Not promised: when, in wall time, another process runs its callbacks.
//
// Ownership: the centre is one per process and never destroyed; observers are
// never removed. The process's socket file is removed at exit.
// Threads: observers are added on the main thread; posting is safe from any
// thread and needs no run loop in the posting process.
#pragma once

struct CFNotificationCenter_s;
using CFNotificationCenterRef = CFNotificationCenter_s*;
using CFStringRef = const char*;
struct CFDictionary_s;
using CFDictionaryRef = const CFDictionary_s*;

enum CFNotificationSuspensionBehavior : long {
  CFNotificationSuspensionBehaviorDrop = 1,
  CFNotificationSuspensionBehaviorCoalesce = 2,
  CFNotificationSuspensionBehaviorHold = 3,
  CFNotificationSuspensionBehaviorDeliverImmediately = 4,
};

typedef void (*CFNotificationCallback)(CFNotificationCenterRef center, void* observer, CFStringRef name,
                                       const void* object, CFDictionaryRef userInfo);

CFNotificationCenterRef CFNotificationCenterGetDarwinNotifyCenter();

void CFNotificationCenterAddObserver(CFNotificationCenterRef center, const void* observer,
                                     CFNotificationCallback callBack, CFStringRef name, const void* object,
                                     CFNotificationSuspensionBehavior behaviour);

void CFNotificationCenterPostNotification(CFNotificationCenterRef center, CFStringRef name, const void* object,
                                          CFDictionaryRef userInfo, bool deliverImmediately);
