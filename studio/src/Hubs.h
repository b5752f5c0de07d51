// What the main thread publishes and the server's threads pass on: the latest
// preview frame, and the recent events for the page's event stream.
//
// The main thread never waits here: publishing replaces the frame or appends
// to a short ring and wakes the waiters. A reader that is slow or gone simply
// misses what was replaced (a frame, an old event), so neither memory nor the
// host ever waits for a client. close() wakes every waiter for good, at
// shutdown.
//
// Any thread; the hubs own copies of what they hold.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace studio {

class FrameHub {
 public:
  // At most this many preview streams at once.
  static constexpr int kMostStreams = 8;

  struct Frame {
    std::uint64_t number = 0;  // 0: none yet
    std::shared_ptr<const std::string> png;
  };

  // Holds one of the stream places while it lives.
  class StreamPlace {
   public:
    explicit StreamPlace(FrameHub& hub) : hub_(&hub) {}
    StreamPlace(StreamPlace&& other) noexcept : hub_(std::exchange(other.hub_, nullptr)) {}
    StreamPlace& operator=(StreamPlace&&) = delete;
    ~StreamPlace();

   private:
    FrameHub* hub_;
  };

  // Main thread, after each drawing. Returns the frame's number: an unchanged
  // picture is not a new frame.
  std::uint64_t publish(std::string png);
  Frame latest() const;
  // The first frame after `after`, or the latest when `patience` runs out or the hub closes.
  Frame waitAfter(std::uint64_t after, std::chrono::milliseconds patience) const;
  // Drawings so far, changed or not; and the latest frame once there were more than `after`.
  std::uint64_t drawings() const;
  Frame waitDrawnAfter(std::uint64_t after, std::chrono::milliseconds patience) const;
  std::optional<StreamPlace> openStream();
  int streams() const;
  void close();
  bool closed() const;

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable published_;
  Frame frame_;
  std::uint64_t drawings_ = 0;
  int streams_ = 0;
  bool closed_ = false;
};

class EventHub {
 public:
  // Events kept for readers that fall behind; older ones are let go.
  static constexpr std::size_t kKept = 64;

  struct Event {
    std::uint64_t number;
    std::string name;
    std::string data;  // one line of JSON
  };

  void publish(std::string name, std::string data);
  // The events after `after` still kept, waiting up to `patience` for one;
  // none when the hub closes.
  std::vector<Event> waitAfter(std::uint64_t after, std::chrono::milliseconds patience) const;
  // The number of the latest event (0: none yet): a new reader starts there.
  std::uint64_t latest() const;
  void close();
  bool closed() const;

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable published_;
  std::deque<Event> events_;
  std::uint64_t latest_ = 0;
  bool closed_ = false;
};

}  // namespace studio
