// The live-object counters behind aurora::takeCensus. UIView and CALayer bump
// them in their constructors and destructors; layersDestroyed only grows, so
// the animation engine can tell cheaply that a layer went since it last looked.
// Atomic: an object may be released on any thread that held the last reference.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace aurora::census {

extern std::atomic<std::size_t> liveViews;
extern std::atomic<std::size_t> liveLayers;
extern std::atomic<std::uint64_t> layersDestroyed;

}  // namespace aurora::census
