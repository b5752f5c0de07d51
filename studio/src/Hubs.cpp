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

std::uint64_t FrameHub::publish(std::string png) {
  aurora::MutexLock lock(mutex_);
  ++drawings_;
  if (!frame_.png || *frame_.png != png) frame_ = {frame_.number + 1, std::make_shared<const std::string>(std::move(png))};
  tell();
  return frame_.number;
}

FrameHub::Frame FrameHub::latest() const {
  aurora::MutexLock lock(mutex_);
  return frame_;
}

std::uint64_t FrameHub::drawings() const {
  aurora::MutexLock lock(mutex_);
  return drawings_;
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
