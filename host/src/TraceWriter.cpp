#include "host/TraceWriter.h"

#include <type_traits>

#include "Foundation/NSRunLoop.h"
#include "Foundation/NSTimer.h"
#include "JsonLine.h"
#include "UIKit/UIView.h"

namespace host {
namespace {

using Json = nlohmann::ordered_json;

Json toJson(const RGBA& c) { return Json::array({c.red, c.green, c.blue, c.alpha}); }
Json toJson(const CGRect& r) { return Json::array({r.origin.x, r.origin.y, r.size.width, r.size.height}); }
Json toJson(const CGPoint& p) { return Json::array({p.x, p.y}); }

Json toJson(const aurora::PropertyValue& value) {
  return std::visit(
      [](const auto& v) -> Json {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::vector<RGBA>>) {
          Json list = Json::array();
          for (const RGBA& color : v) list.push_back(toJson(color));
          return list;
        } else if constexpr (std::is_same_v<T, RGBA> || std::is_same_v<T, CGRect> || std::is_same_v<T, CGPoint>) {
          return toJson(v);
        } else {
          return v;  // bool, long, double
        }
      },
      value);
}

}  // namespace

TraceWriter::TraceWriter(std::ostream& out, TraceFlush flush) : out_(out), flush_(flush) {
  write(Json{{"ev", "trace"}, {"version", 1}});
  listening_.emplace(*this);
}

Json TraceWriter::event(const char* ev) {
  return Json{{"t", aurora::toSeconds(NSRunLoop::mainRunLoop().now())}, {"ev", ev}};
}

void TraceWriter::write(const Json& line) {
  const std::string text = jsonLine(line);
  aurora::MutexLock lock(writing_);
  out_ << text << '\n';
  if (flush_ == TraceFlush::EachLine) out_.flush();
}

const std::string* TraceWriter::viewId(const UIView& view) const { return views_.find(view.serial()); }

void TraceWriter::willMakePill(Class cls, std::string_view name) { pendingPill_ = PendingPill{cls, std::string(name)}; }

std::optional<Json> TraceWriter::eventAbout(const char* ev, const char* key, const std::string* id) {
  if (id == nullptr) return std::nullopt;
  Json e = event(ev);
  e[key] = *id;
  return e;
}

void TraceWriter::libraryLoaded(std::string_view devicePath) {
  Json e = event("load");
  e["path"] = devicePath;
  write(e);
}

void TraceWriter::dictionaryRead(std::string_view devicePath, const NSDictionary* contents) {
  Json e = event("read");
  e["path"] = devicePath;
  e["ok"] = contents != nullptr;
  write(e);
}

void TraceWriter::notificationPosted(std::string_view name) {
  Json e = event("post");
  e["name"] = name;
  write(e);
}

void TraceWriter::notificationDelivered(std::string_view name) {
  Json e = event("deliver");
  e["name"] = name;
  write(e);
}

void TraceWriter::viewCreated(const UIView& view) {
  // The pill being made is the first view of its class made meanwhile (an
  // extension's initWithFrame: may make other views first).
  const bool isPill = pendingPill_ && object_getClass(&view) == pendingPill_->cls;
  const std::string& id =
      isPill ? views_.addNamed(view.serial(), std::move(pendingPill_->name)) : views_.add(view.serial());
  if (isPill) pendingPill_.reset();
  Json e = event("new");
  e["id"] = id;
  e["class"] = object_getClassName(&view);
  e["frame"] = toJson(view.frame());
  write(e);
}

void TraceWriter::subviewAdded(const UIView& parent, const UIView& child) {
  const std::string* childId = viewId(child);
  auto e = eventAbout("add", "parent", viewId(parent));
  if (!e || childId == nullptr) return;
  (*e)["id"] = *childId;
  write(*e);
}

void TraceWriter::viewRemoved(const UIView& view) {
  if (auto e = eventAbout("remove", "id", viewId(view))) write(*e);
}

void TraceWriter::viewDestroyed(const UIView& view) {
  if (auto e = eventAbout("destroy", "id", viewId(view))) write(*e);
  views_.forget(view.serial());
}

void TraceWriter::propertySet(const UIView& view, aurora::ViewProperty property, const aurora::PropertyValue& value,
                              aurora::AnimationSerial animation) {
  auto e = eventAbout("set", "id", viewId(view));
  if (!e) return;
  (*e)["prop"] = aurora::viewPropertyName(property);
  (*e)["value"] = toJson(value);
  if (const std::string* anim = animation != 0 ? animations_.find(animation) : nullptr) (*e)["anim"] = *anim;
  write(*e);
}

void TraceWriter::animationBegan(aurora::AnimationSerial animation, double durationSeconds) {
  Json e = event("animate");
  e["anim"] = animations_.add(animation);
  e["duration"] = durationSeconds;
  write(e);
}

void TraceWriter::animationCompleted(aurora::AnimationSerial animation, bool finished) {
  if (auto e = eventAbout("complete", "anim", animations_.find(animation))) {
    (*e)["finished"] = finished;
    write(*e);
  }
  animations_.forget(animation);
}

void TraceWriter::timerCreated(const NSTimer& timer) {
  Json e = event("timer");
  e["timer"] = timers_.add(timer.serial());
  e["interval"] = timer.timeInterval();
  e["repeats"] = timer.repeats();
  write(e);
}

void TraceWriter::timerScheduled(const NSTimer& timer, NSRunLoopMode mode) {
  if (auto e = eventAbout("schedule", "timer", timers_.find(timer.serial()))) {
    (*e)["mode"] = NSRunLoopModeName(mode);
    write(*e);
  }
}

void TraceWriter::timerFired(const NSTimer& timer) {
  if (auto e = eventAbout("fire", "timer", timers_.find(timer.serial()))) write(*e);
}

void TraceWriter::timerInvalidated(const NSTimer& timer) {
  if (auto e = eventAbout("invalidate", "timer", timers_.find(timer.serial()))) write(*e);
  timers_.forget(timer.serial());
}

void TraceWriter::constraintsAdded(const UIView& view, std::string_view format, std::size_t count) {
  if (auto e = eventAbout("constraints", "id", viewId(view))) {
    (*e)["format"] = format;
    (*e)["count"] = count;
    write(*e);
  }
}

}  // namespace host
