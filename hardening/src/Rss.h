// The resident memory of this process, for watching a long run stay flat.
// Any thread.
#pragma once

#include <cstddef>

namespace hardening {

// Resident set size in KiB (from /proc/self/statm); 0 when it cannot be read.
std::size_t residentKilobytes();

}  // namespace hardening
