#include "CensusJson.h"

#include <fmt/format.h>

namespace hardening {

std::string describe(const aurora::Census& census) {
  return fmt::format("views {}, layers {}, timers {}, tasks {}, animations {}", census.views, census.layers,
                     census.timers, census.pendingTasks, census.animations);
}

}  // namespace hardening
