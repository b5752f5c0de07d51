#include "LayoutScheduler.h"

#include <algorithm>
#include <utility>

#include "UIKit/UIView.h"

namespace aurora {
namespace {

std::size_t depthOf(const UIView& view) {
  std::size_t depth = 0;
  for (auto parent = view.superview(); parent; parent = parent->superview()) ++depth;
  return depth;
}

}  // namespace

void LayoutScheduler::mark(UIView& view) { pending_.push_back(view.weak_from_this()); }

bool LayoutScheduler::runPasses() {
  if (pending_.empty()) return false;
  struct Entry {
    std::size_t depth;
    std::shared_ptr<UIView> view;
  };
  std::vector<Entry> round;
  for (auto& weak : std::exchange(pending_, {})) {
    if (auto object = weak.lock()) {
      auto view = std::static_pointer_cast<UIView>(object);
      round.push_back({depthOf(*view), std::move(view)});
    }
  }
  std::stable_sort(round.begin(), round.end(), [](const Entry& a, const Entry& b) { return a.depth < b.depth; });
  bool laidOut = false;
  for (auto& entry : round) {
    laidOut |= entry.view->layoutIfMarked();
  }
  return laidOut;
}

}  // namespace aurora
