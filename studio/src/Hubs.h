// What the main thread publishes and the server passes on: the preview's
// pictures, and the recent events for the page's event stream.
//
// The preview is sent as parts: a whole picture, then only the rectangles that
// changed, each a PNG drawn over the one before. The frame hub keeps the last
// few parts and the latest whole picture, so that a reader that starts, or
// falls so far behind that the parts it needs are gone, begins again from a
// whole picture (asking for a new one when the kept one is too old).
//
// The main thread never waits here: publishing appends to a short ring, then
// tells the hub's one listener (the server, which posts a wake-up to its own
// thread and returns). A reader that is slow or gone simply misses what was
// let go (parts, old events), so neither memory nor the host ever waits for a
// client. Each hub also counts its open
// streams against a cap. close() tells the listener for good, at shutdown:
// after it a hub gives no stream places and no events.
//
// Any thread; the hubs own copies of what they hold.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "aurora/ThreadSafety.h"
#include "picture/Image.h"

namespace studio {

// What both hubs share: closing, the listener, and the stream places.
class Hub {
 public:
  // Holds one of the hub's stream places while it lives.
  class StreamPlace {
   public:
    explicit StreamPlace(Hub& hub) : hub_(&hub) {}
    StreamPlace(StreamPlace&& other) noexcept : hub_(std::exchange(other.hub_, nullptr)) {}
    StreamPlace& operator=(StreamPlace&&) = delete;
    ~StreamPlace();

   private:
    Hub* hub_;
  };

  explicit Hub(int mostStreams) : mostStreams_(mostStreams) {}
  Hub(const Hub&) = delete;
  Hub& operator=(const Hub&) = delete;

  // `heard` runs on the publishing thread after each publication and at
  // close, with the hub's lock held, so that once listen() has replaced it the
  // old one never runs again: it must return at once and not call the hub.
  void listen(std::function<void()> heard) AURORA_EXCLUDES(mutex_);
  // A place for one more stream, or nothing when `mostStreams` are open or the hub is closed.
  std::optional<StreamPlace> openStream() AURORA_EXCLUDES(mutex_);
  int streams() const AURORA_EXCLUDES(mutex_);
  int mostStreams() const { return mostStreams_; }
  void close() AURORA_EXCLUDES(mutex_);
  bool closed() const AURORA_EXCLUDES(mutex_);

 protected:
  void tell() AURORA_REQUIRES(mutex_) {
    if (heard_) heard_();
  }

  mutable aurora::Mutex mutex_;
  bool closed_ AURORA_GUARDED_BY(mutex_) = false;

 private:
  const int mostStreams_;
  int streams_ AURORA_GUARDED_BY(mutex_) = 0;
  std::function<void()> heard_ AURORA_GUARDED_BY(mutex_);
};

class FrameHub : public Hub {
 public:
  // At most this many preview streams at once.
  static constexpr int kMostStreams = 8;
  // Parts kept for readers that fall behind: three seconds of the Wave's 20 a second.
  static constexpr std::size_t kKept = 64;

  // One PNG of the preview, drawn at `place` over the picture the parts before it made.
  struct Part {
    std::uint64_t number = 0;  // given by publish(); 0: none
    bool whole = false;        // `place` is the whole picture
    bool repeat = false;       // a whole picture that changes nothing: for readers that start there
    picture::PixelRect place;
    int width = 0;  // the picture's size
    int height = 0;
    picture::PixelRect band;  // where the pills' band lies in it
    std::shared_ptr<const std::string> png;
  };

  // What brings a reader up to the latest picture.
  struct Next {
    std::vector<Part> parts;   // to send, in order
    std::uint64_t upTo = 0;    // the reader has then shown everything up to here
    bool wholeNeeded = false;  // nothing kept will do: a whole picture must be drawn
  };

  FrameHub() : Hub(kMostStreams) {}

  // Main thread. Returns the part's number.
  std::uint64_t publish(Part part) AURORA_EXCLUDES(mutex_);
  // For a reader that has shown everything up to `shown` (0: nothing yet):
  // the parts since, or else the latest whole picture and those after it.
  Next after(std::uint64_t shown) const AURORA_EXCLUDES(mutex_);
  // The latest whole picture (number 0: none yet).
  Part whole() const AURORA_EXCLUDES(mutex_);

 private:
  std::deque<Part> parts_ AURORA_GUARDED_BY(mutex_);
  Part whole_ AURORA_GUARDED_BY(mutex_);
};

class EventHub : public Hub {
 public:
  // At most this many event streams at once.
  static constexpr int kMostStreams = 16;
  // Events kept for readers that fall behind; older ones are let go.
  static constexpr std::size_t kKept = 64;

  struct Event {
    std::uint64_t number;
    std::string name;
    std::string data;  // one line of JSON
  };

  EventHub() : Hub(kMostStreams) {}

  void publish(std::string name, std::string data) AURORA_EXCLUDES(mutex_);
  // The events after `after` still kept; none once the hub is closed.
  std::vector<Event> after(std::uint64_t after) const AURORA_EXCLUDES(mutex_);
  // The number of the latest event (0: none yet): a new reader starts there.
  std::uint64_t latest() const AURORA_EXCLUDES(mutex_);

 private:
  std::deque<Event> events_ AURORA_GUARDED_BY(mutex_);
  std::uint64_t latest_ AURORA_GUARDED_BY(mutex_) = 0;
};

}  // namespace studio
