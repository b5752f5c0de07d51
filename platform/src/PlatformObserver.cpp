#include "aurora/PlatformObserver.h"

#include <algorithm>
#include <atomic>
#include <stdexcept>

#include "aurora/ThreadSafety.h"

namespace aurora {
namespace {

// The list is copied on change, never changed in place: a report holds the
// list it began with, so a report from another thread needs the lock only to
// take it.
class Observers {
 public:
  void add(PlatformObserver& observer) {
    MutexLock lock(mutex_);
    if (std::find(list_->begin(), list_->end(), &observer) != list_->end()) {
      throw std::logic_error("addPlatformObserver: that observer is already listening");
    }
    auto grown = std::make_shared<PlatformObserverList>(*list_);
    grown->push_back(&observer);
    replace(std::move(grown));
  }

  void remove(PlatformObserver& observer) {
    MutexLock lock(mutex_);
    auto shrunk = std::make_shared<PlatformObserverList>(*list_);
    std::erase(*shrunk, &observer);
    replace(std::move(shrunk));
  }

  bool any() const { return any_.load(std::memory_order_acquire); }

  std::shared_ptr<const PlatformObserverList> list() const {
    MutexLock lock(mutex_);
    return list_;
  }

 private:
  void replace(std::shared_ptr<const PlatformObserverList> list) AURORA_REQUIRES(mutex_) {
    any_.store(!list->empty(), std::memory_order_release);
    list_ = std::move(list);
  }

  mutable Mutex mutex_;
  std::shared_ptr<const PlatformObserverList> list_ AURORA_GUARDED_BY(mutex_) =
      std::make_shared<PlatformObserverList>();
  // !list_->empty(), readable without the lock: a traced call with no observer takes none.
  std::atomic<bool> any_{false};
};

// Never destroyed: views destroyed at exit still ask whether anyone listens.
Observers& observers() {
  static Observers& instance = *new Observers;
  return instance;
}

}  // namespace

void addPlatformObserver(PlatformObserver& observer) { observers().add(observer); }
void removePlatformObserver(PlatformObserver& observer) { observers().remove(observer); }
bool platformObserved() { return observers().any(); }
std::shared_ptr<const PlatformObserverList> platformObservers() { return observers().list(); }

const char* viewPropertyName(ViewProperty property) {
  switch (property) {
    case ViewProperty::Frame:
      return "frame";
    case ViewProperty::Alpha:
      return "alpha";
    case ViewProperty::Tag:
      return "tag";
    case ViewProperty::ClipsToBounds:
      return "clipsToBounds";
    case ViewProperty::TranslatesAutoresizingMaskIntoConstraints:
      return "translatesAutoresizingMaskIntoConstraints";
    case ViewProperty::BackgroundColor:
      return "backgroundColor";
    case ViewProperty::LayerBackgroundColor:
      return "layer.backgroundColor";
    case ViewProperty::LayerCornerRadius:
      return "layer.cornerRadius";
    case ViewProperty::LayerColors:
      return "layer.colors";
    case ViewProperty::LayerStartPoint:
      return "layer.startPoint";
    case ViewProperty::LayerEndPoint:
      return "layer.endPoint";
    case ViewProperty::LayerDrawsAsynchronously:
      return "layer.drawsAsynchronously";
  }
  return "?";
}

}  // namespace aurora
