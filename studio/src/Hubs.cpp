#include "Hubs.h"

namespace studio {

FrameHub::StreamPlace::~StreamPlace() {
  if (hub_ == nullptr) return;
  const std::lock_guard lock(hub_->mutex_);
  --hub_->streams_;
}

std::uint64_t FrameHub::publish(std::string png) {
  std::uint64_t number = 0;
  {
    const std::lock_guard lock(mutex_);
    ++drawings_;
    if (!frame_.png || *frame_.png != png) frame_ = {frame_.number + 1, std::make_shared<const std::string>(std::move(png))};
    number = frame_.number;
  }
  published_.notify_all();
  return number;
}

FrameHub::Frame FrameHub::latest() const {
  const std::lock_guard lock(mutex_);
  return frame_;
}

FrameHub::Frame FrameHub::waitAfter(std::uint64_t after, std::chrono::milliseconds patience) const {
  std::unique_lock lock(mutex_);
  published_.wait_for(lock, patience, [&] { return closed_ || frame_.number > after; });
  return frame_;
}

std::uint64_t FrameHub::drawings() const {
  const std::lock_guard lock(mutex_);
  return drawings_;
}

FrameHub::Frame FrameHub::waitDrawnAfter(std::uint64_t after, std::chrono::milliseconds patience) const {
  std::unique_lock lock(mutex_);
  published_.wait_for(lock, patience, [&] { return closed_ || drawings_ > after; });
  return frame_;
}

std::optional<FrameHub::StreamPlace> FrameHub::openStream() {
  const std::lock_guard lock(mutex_);
  if (closed_ || streams_ >= kMostStreams) return std::nullopt;
  ++streams_;
  return StreamPlace(*this);
}

int FrameHub::streams() const {
  const std::lock_guard lock(mutex_);
  return streams_;
}

void FrameHub::close() {
  {
    const std::lock_guard lock(mutex_);
    closed_ = true;
  }
  published_.notify_all();
}

bool FrameHub::closed() const {
  const std::lock_guard lock(mutex_);
  return closed_;
}

void EventHub::publish(std::string name, std::string data) {
  {
    const std::lock_guard lock(mutex_);
    events_.push_back({++latest_, std::move(name), std::move(data)});
    if (events_.size() > kKept) events_.pop_front();
  }
  published_.notify_all();
}

std::vector<EventHub::Event> EventHub::waitAfter(std::uint64_t after, std::chrono::milliseconds patience) const {
  std::unique_lock lock(mutex_);
  published_.wait_for(lock, patience, [&] { return closed_ || latest_ > after; });
  std::vector<Event> found;
  if (closed_) return found;
  for (const Event& event : events_) {
    if (event.number > after) found.push_back(event);
  }
  return found;
}

std::uint64_t EventHub::latest() const {
  const std::lock_guard lock(mutex_);
  return latest_;
}

void EventHub::close() {
  {
    const std::lock_guard lock(mutex_);
    closed_ = true;
  }
  published_.notify_all();
}

bool EventHub::closed() const {
  const std::lock_guard lock(mutex_);
  return closed_;
}

}  // namespace studio
