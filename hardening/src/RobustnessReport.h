// docs/robustness.md: every figure of the hardening runs as one Markdown page
// — the bad-input matrix row by row, the notification storm, the torn-write
// runs, the soak's census per sample, and the fuzzers' last run when given.
// The page says which command and build made it; it is generated, not edited.
//
//   RobustnessFigures figures; ... fill it ...
//   std::ofstream("docs/robustness.md") << robustnessMarkdown(figures);
//
// Pure; any thread.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "BadInputRun.h"
#include "Soak.h"
#include "Storm.h"
#include "TornWrites.h"

namespace hardening {

struct MatrixRow {
  std::string key;
  std::string value;
  RowOutcome outcome;
};

struct RobustnessFigures {
  std::string command;    // the command line that made the figures
  std::string buildType;  // CMAKE_BUILD_TYPE of the programs
  RowPlan rowPlan;
  std::vector<MatrixRow> matrix;
  std::optional<StormReport> storm;
  std::vector<std::pair<std::string, TornReport>> tornWrites;  // by format name
  std::optional<SoakReport> soak;
  std::string soakPlan;     // "24 h, a pill every 3 s, ..."
  std::string fuzzSummary;  // fuzz/run's summary table (TSV), or empty
};

std::string robustnessMarkdown(const RobustnessFigures& figures);

}  // namespace hardening
