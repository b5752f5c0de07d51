#include "Hubs.h"

namespace studio {

Hub::StreamPlace::~StreamPlace() {
  if (hub_ == nullptr) return;
  aurora::MutexLock lock(hub_->mutex_);
  --hub_->streams_;
}

void Hub::listen(std::function<void()> heard) {
  aurora::MutexLock lock(mutex_);
  heard_ = std::move(heard);
}

std::optional<Hub::StreamPlace> Hub::openStream() {
  aurora::MutexLock lock(mutex_);
  if (closed_ || streams_ >= mostStreams_) return std::nullopt;
  ++streams_;
  return StreamPlace(*this);
}

int Hub::streams() const {
  aurora::MutexLock lock(mutex_);
  return streams_;
}

void Hub::close() {
  aurora::MutexLock lock(mutex_);
  closed_ = true;
  tell();
}

bool Hub::closed() const {
  aurora::MutexLock lock(mutex_);
  return closed_;
}

std::uint64_t FrameHub::publish(Part part) {
  aurora::MutexLock lock(mutex_);
  part.number = parts_.empty() ? whole_.number + 1 : parts_.back().number + 1;
  if (part.whole) whole_ = part;
  parts_.push_back(std::move(part));
  if (parts_.size() > kKept) parts_.pop_front();
  tell();
  return parts_.back().number;
}

FrameHub::Next FrameHub::after(std::uint64_t shown) const {
  aurora::MutexLock lock(mutex_);
  Next next{{}, shown, false};
  if (parts_.empty() || shown >= parts_.back().number) return next;
  std::uint64_t from = shown;
  if (shown == 0 || parts_.front().number > shown + 1) {  // new, or the parts it needs are gone
    if (whole_.number == 0 || parts_.front().number > whole_.number + 1) {
      next.wholeNeeded = true;
      return next;
    }
    next.parts.push_back(whole_);
    from = whole_.number;
  }
  for (const Part& part : parts_) {
    if (part.number > from && !part.repeat) next.parts.push_back(part);
  }
  next.upTo = parts_.back().number;
  return next;
}

FrameHub::Part FrameHub::whole() const {
  aurora::MutexLock lock(mutex_);
  return whole_;
}

void EventHub::publish(std::string name, std::string data) {
  aurora::MutexLock lock(mutex_);
  events_.push_back({++latest_, std::move(name), std::move(data)});
  if (events_.size() > kKept) events_.pop_front();
  tell();
}

std::vector<EventHub::Event> EventHub::after(std::uint64_t after) const {
  aurora::MutexLock lock(mutex_);
  std::vector<Event> found;
  if (closed_) return found;
  for (const Event& event : events_) {
    if (event.number > after) found.push_back(event);
  }
  return found;
}

std::uint64_t EventHub::latest() const {
  aurora::MutexLock lock(mutex_);
  return latest_;
}

}  // namespace studio
