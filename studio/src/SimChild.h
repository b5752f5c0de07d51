// Running auroraribbon-sim headless as a child process, for what the studio's
// own host cannot make (it has one run loop and one class registry, already
// running live): figures for other styles, and recordings on the virtual clock.
//
// The program is found beside the studio's own executable (an installed
// layout puts both in one folder), else at the path the build tree gave it.
// Each run works on a private copy of the device root (aurora::copyDeviceRoot), so its --style and the
// files it writes never touch the studio's own root. Expected failures (no
// program, a copy that failed, a child that failed) are values.
//
// Any thread but the server's: runChild waits for the child to end.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <vector>

namespace studio {

// The simulator beside /proc/self/exe when there is one, else the build tree's.
std::filesystem::path simulatorProgram();

struct ChildEnd {
  bool ok = false;      // exited with status 0
  std::string failure;  // otherwise why: it could not start, its status, or the signal that ended it
};

// Runs `program` with `arguments`, its standard output to `out` and standard
// error to `err` (both made afresh), standard input empty; waits for its end.
// `running` holds the child's id while it runs (0 otherwise), for whoever must end it early.
ChildEnd runChild(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                  const std::filesystem::path& out, const std::filesystem::path& err, std::atomic<int>& running);

}  // namespace studio
