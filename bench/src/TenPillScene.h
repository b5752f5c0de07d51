// The simulator's window with ten pills, two of each style (one of each host
// pill class), as bench/scenarios/ten-pills.txt sets them up, run on the
// virtual clock to an instant where the animated styles are part way.
// Main thread only.
#pragma once

#include "host/Scene.h"

namespace bench {

// Starts the run loop over first.
void fillTenPillScene(host::Scene& scene);

}  // namespace bench
