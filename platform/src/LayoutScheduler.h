// Layout passes run by the main run loop: the views marked as needing layout,
// laid out at the run loop's next turn.
//
// A round of passes lays out the views that were marked before it began,
// parents before children (by depth in their view tree); a view marked during
// a round waits for the next turn. The scheduler holds views weakly: a view
// destroyed before its pass is simply skipped.
//
// Owned by the main run loop. Main thread only.
#pragma once

#include <memory>
#include <vector>

class UIView;
class NSObject;

namespace aurora {

class LayoutScheduler {
 public:
  void mark(UIView& view);
  // One round of passes; true if any view was laid out.
  bool runPasses();
  bool hasPending() const { return !pending_.empty(); }
  void clear() { pending_.clear(); }

 private:
  std::vector<std::weak_ptr<NSObject>> pending_;
};

}  // namespace aurora
