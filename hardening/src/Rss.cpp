#include "Rss.h"

#include <unistd.h>

#include <fstream>

namespace hardening {

std::size_t residentKilobytes() {
  std::ifstream statm("/proc/self/statm");
  std::size_t totalPages = 0, residentPages = 0;
  if (!(statm >> totalPages >> residentPages)) return 0;
  return residentPages * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE)) / 1024;
}

}  // namespace hardening
