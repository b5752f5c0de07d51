// The host's own home-indicator pill classes, MTStaticColorPillView and
// MTLumaDodgePillView: runtime subclasses of UIView, as the home-screen process
// has them before any extension loads.
//
// Each draws a plain light pill and makes no subviews of its own. Its own
// initWithFrame: gives the layer a light grey background; its own
// layoutSubviews lays out as UIView does (constraints included) and then
// rounds the corners to half the height, so the pill stays round whatever
// frame it is given. Both are ordinary runtime methods: an extension can
// replace them, and its saved implementation then calls these.
//
// Registered once per process, on the main thread, before extensions load.
// The benchmarks register them without drawing (PillDrawing::None): then
// initWithFrame: is UIView's and layoutSubviews only calls UIView's, so a
// layout pass measures the extension and the runtime, not the host.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace host {

inline constexpr const char* kStaticPillClass = "MTStaticColorPillView";
inline constexpr const char* kLumaPillClass = "MTLumaDodgePillView";
inline constexpr std::array<const char*, 2> kHostPillClassNames = {kStaticPillClass, kLumaPillClass};

enum class PillDrawing { Grey, None };

// Registers every host pill class not named in `leftOut`; returns the names registered.
std::vector<std::string> registerHostPillClasses(const std::vector<std::string>& leftOut,
                                                 PillDrawing drawing = PillDrawing::Grey);

}  // namespace host
