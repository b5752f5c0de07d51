// Running one row of the bad-input matrix (BadInput.h) in a fresh host
// process that loads the real extension, on the virtual clock:
//   1. the host loads with sane settings;
//   2. for each of the five styles, the row's input is written for that style,
//      the settings-changed notification is posted, and a pill of each class
//      is made (the luma-dodge one also sent animateView); a second passes;
//   3. everything runs on for a while, the notification posted every second;
//   4. the pills are removed, the sane settings written back and posted, and
//      after a quiet settle the census must be back to the window alone.
// The parent bounds the child in wall-clock time: a child that has not ended
// by then is killed and the row recorded as a hang.
//
//   RowOutcome outcome = runBadInputRow(row, RowPlan{}, demoRoot());
//
// Call from a process with one thread (it forks). Any such thread.
#pragma once

#include <chrono>
#include <filesystem>
#include <set>
#include <string>

#include "Activity.h"
#include "BadInput.h"
#include "CensusJson.h"
#include "ChildProcess.h"
#include "aurora/Census.h"
#include "aurora/Time.h"

namespace hardening {

struct RowPlan {
  aurora::Nanoseconds perStyle = std::chrono::seconds(1);
  aurora::Nanoseconds running = std::chrono::seconds(10);
  aurora::Nanoseconds settle = std::chrono::seconds(30);
  std::chrono::milliseconds wallLimit = std::chrono::seconds(60);
};

// What the host saw while a row ran.
struct RowFindings {
  Activity activity;
  aurora::Census leftBehind;     // after the settle, beyond what the bare window holds
  std::set<std::string> alphas;  // the pill alpha values seen
};

NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE(RowFindings, activity, leftBehind, alphas)

struct RowOutcome {
  ChildResult end;
  RowFindings found;
  std::string error;  // the host's exception, when it threw

  bool ok() const { return end.ok() && found.leftBehind == aurora::Census{}; }
  // "ok", "left behind: timers 0, ...", "killed by signal 6 (Aborted)", "hung: ...", "threw: ...".
  std::string verdict() const;
};

RowOutcome runBadInputRow(const BadInputRow& row, const RowPlan& plan, const std::filesystem::path& sourceRoot);

}  // namespace hardening
