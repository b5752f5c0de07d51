// The trace: what the platform reports (libraries loaded, files read,
// notifications, views made, added, removed and destroyed, the listed setters,
// block animations, timers, constraints), one JSON object per line.
//
// The first line is {"ev":"trace","version":1}; every later one has "t"
// (seconds since the run loop's clock started) and "ev", then the event's
// fields. Ids: a pill by its name (told through PillNaming just before it is
// made), every other view "v1", "v2", ... in order of creation; timers "t1",
// ...; animations "a1", .... A view the writer never saw made (the window,
// made before tracing starts) is not traced, and neither is any event that
// names one, such as adding a pill to the window. Colours print as
// [r,g,b,a], rectangles [x,y,w,h], points [x,y]; numbers as JsonLine.h says.
//
//   TraceWriter trace(std::cout, TraceFlush::AtEnd);  // listens from here until it goes
//
// The writer does not own the stream. It listens for as long as it lives,
// from just after writing the first line. Events arrive on the main thread;
// notification posts and reads may arrive from the calling thread, so
// writing a line takes a lock.
#pragma once

#include <optional>
#include <ostream>
#include <string>

#include <nlohmann/json.hpp>

#include "aurora/PlatformObserver.h"
#include "aurora/ThreadSafety.h"
#include "host/PillNaming.h"
#include "host/TraceIds.h"

namespace host {

// EachLine for a trace watched live (real clock); AtEnd otherwise.
enum class TraceFlush { EachLine, AtEnd };

class TraceWriter final : public aurora::PlatformObserver, public PillNaming {
 public:
  TraceWriter(std::ostream& out, TraceFlush flush);

  // False once writing failed.
  bool good() const {
    aurora::MutexLock lock(writing_);
    return out_.good();
  }
  void flush() {
    aurora::MutexLock lock(writing_);
    out_.flush();
  }

  void willMakePill(Class cls, std::string_view name) override;
  void didMakePill() override { pendingPill_.reset(); }

  void libraryLoaded(std::string_view devicePath) override;
  void dictionaryRead(std::string_view devicePath, const NSDictionary* contents) override;
  void notificationPosted(std::string_view name) override;
  void notificationDelivered(std::string_view name) override;
  void viewCreated(const UIView& view) override;
  void subviewAdded(const UIView& parent, const UIView& child) override;
  void viewRemoved(const UIView& view) override;
  void viewDestroyed(const UIView& view) override;
  void propertySet(const UIView& view, aurora::ViewProperty property, const aurora::PropertyValue& value,
                   aurora::AnimationSerial animation) override;
  void animationBegan(aurora::AnimationSerial animation, double durationSeconds) override;
  void animationCompleted(aurora::AnimationSerial animation, bool finished) override;
  void timerCreated(const NSTimer& timer) override;
  void timerScheduled(const NSTimer& timer, NSRunLoopMode mode) override;
  void timerFired(const NSTimer& timer) override;
  void timerInvalidated(const NSTimer& timer) override;
  void constraintsAdded(const UIView& view, std::string_view format, std::size_t count) override;

 private:
  struct PendingPill {
    Class cls;
    std::string name;
  };

  // {"t": now, "ev": ev}; the caller adds the fields and writes it.
  static nlohmann::ordered_json event(const char* ev);
  // The event with `key` = `id`; nothing when the object has no id (untraced).
  static std::optional<nlohmann::ordered_json> eventAbout(const char* ev, const char* key, const std::string* id);
  void write(const nlohmann::ordered_json& line);
  const std::string* viewId(const UIView& view) const;

  mutable aurora::Mutex writing_;
  std::ostream& out_ AURORA_GUARDED_BY(writing_);
  const TraceFlush flush_;
  std::optional<PendingPill> pendingPill_;
  TraceIds views_{'v'};
  TraceIds timers_{'t'};
  TraceIds animations_{'a'};
  // Last, so that it goes first; made once the first line is written.
  std::optional<aurora::ObserverRegistration> listening_;
};

}  // namespace host
