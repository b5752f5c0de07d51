#include "RobustnessReport.h"

#include <fmt/format.h>

#include <algorithm>
#include <sstream>

namespace hardening {
namespace {

std::string yesNo(bool ok) { return ok ? "yes" : "**NO**"; }

std::string cell(const std::string& text) {
  std::string escaped;
  for (char c : text) escaped += c == '|' ? std::string("\\|") : std::string(1, c);
  return escaped;
}

std::string alphasText(const std::set<std::string>& alphas) {
  std::string text;
  for (const std::string& alpha : alphas) text += (text.empty() ? "" : ", ") + alpha;
  return text;
}

std::string matrixSection(const RobustnessFigures& f) {
  const auto failed =
      std::count_if(f.matrix.begin(), f.matrix.end(), [](const MatrixRow& r) { return !r.outcome.ok(); });
  double slowest = 0;
  for (const MatrixRow& r : f.matrix) slowest = std::max(slowest, r.outcome.end.wallSeconds);
  std::string text = fmt::format(
      "## Bad-input matrix\n\n"
      "Each row runs in a fresh host process that loads the real extension from a copy of the demo root, on the "
      "virtual clock. For each of the five styles the row's input is written (the sane settings for that style with "
      "the key's value replaced, or the whole file as described), the settings-changed notification is posted and a "
      "pill of each class is made (the luma-dodge one is also sent `animateView`); one virtual second passes each "
      "time. Then everything runs for {} virtual seconds more with a notification each second; the pills are "
      "removed, sane settings written back and posted, and after a {} s settle the census must hold nothing beyond "
      "the bare window. A host that has not ended within {} s of wall time is killed and counted as a hang.\n\n"
      "**{} rows, {} not ok**; the slowest row took {:.2f} s of wall time (fork, load and run).\n\n"
      "| Key | Value | Result | Wall s | Reads | Timer fires | Animations begun | Pill alphas seen |\n"
      "|---|---|---|---:|---:|---:|---:|---|\n",
      aurora::toSeconds(f.rowPlan.running), aurora::toSeconds(f.rowPlan.settle),
      std::chrono::duration<double>(f.rowPlan.wallLimit).count(), f.matrix.size(), failed, slowest);
  for (const MatrixRow& r : f.matrix) {
    const Activity& a = r.outcome.found.activity;
    text += fmt::format("| {} | {} | {} | {:.2f} | {} | {} | {} | {} |\n", cell(r.key), cell(r.value),
                        cell(r.outcome.verdict()), r.outcome.end.wallSeconds, a.preferenceReads, a.timerFires,
                        a.animationsBegun, cell(alphasText(r.outcome.found.alphas)));
  }
  return text + "\n";
}

std::string stormSection(const StormReport& s) {
  return fmt::format(
      "## Notification storm\n\n"
      "A host on the real clock runs a static-colour pill on the wave (0.05 s timer) and a luma-dodge pill on the "
      "spectrum (0.05 s steps). Another process posts the settings-changed notification {} times as fast as it can.\n\n"
      "| Figure | Value |\n|---|---:|\n"
      "| posts made | {} |\n| re-reads of the preferences file | {} |\n| re-reads off the main thread | {} |\n"
      "| settings-changed callbacks run | {} |\n| exactly one re-read per post | {} |\n"
      "| poster's time for all posts, s | {:.3f} |\n| from the first post to the last re-read, s | {:.3f} |\n"
      "| wave timer fires during the storm | {} |\n| longest gap between timer fires during the storm, ms | {:.1f} |\n"
      "| animations completed during the storm | {} |\n| host process | {} |\n\n",
      s.posts, s.posts, s.rereads, s.readsOffMainThread, s.callbacks, yesNo(s.exact()), s.postingSeconds,
      s.stormSeconds, s.waveFires, s.longestFireGapMs, s.animationsCompleted, s.host.describe());
}

std::string tornSection(const std::vector<std::pair<std::string, TornReport>>& runs) {
  std::string text =
      "## Torn writes\n\n"
      "One process rewrites the preferences file through `aurora::PreferencesFile::set` (read, change, write to a "
      "temporary file, rename over), each version with a 64 KiB padding string of its own letter and a check value; "
      "another re-reads it with `NSDictionary::dictionaryWithContentsOfFile` in a loop until it has seen the last "
      "version. A read is whole when version, padding and check agree.\n\n"
      "| Format | Writes | Writer's time, s | Reads | Whole | Torn | Went back | Versions seen | Clean |\n"
      "|---|---:|---:|---:|---:|---:|---:|---:|---|\n";
  for (const auto& [format, t] : runs) {
    text +=
        fmt::format("| {} | {} | {:.2f} | {} | {} | {} | {} | {} | {} |\n", format, t.written.writes, t.written.seconds,
                    t.read.reads, t.read.whole, t.read.torn, t.read.wentBack, t.read.versionsSeen, yesNo(t.clean()));
  }
  return text + "\n";
}

std::string soakSection(const SoakReport& s, const std::string& plan) {
  const Activity& a = s.activity;
  std::string text = fmt::format(
      "## Soak\n\n{}\n\n"
      "Pills churned: {}; views made: {}; preference reads: {}; notifications posted: {} (callbacks run: {}); timer "
      "fires: {}; animations begun: {}, completed: {}. Wall time: {:.1f} s.\n\n"
      "After the churn and the settle: {}. The window and the two long-lived pills need: {}. **Back to what the live "
      "pills need: {}.** Resident memory over the second half of the run (from the middle sample to the last): {:+} "
      "KiB.\n\n"
      "| Virtual hours | Views | Layers | Timers | Tasks | Animations | RSS KiB | Wall s |\n"
      "|---:|---:|---:|---:|---:|---:|---:|---:|\n",
      plan, s.pillsChurned, a.viewsMade, a.preferenceReads, a.notificationsPosted, a.callbacksDelivered, a.timerFires,
      a.animationsBegun, a.animationsCompleted, s.wallSeconds, describe(s.final), describe(s.expected),
      yesNo(s.countsBack()), s.residentGrowthKiB());
  for (const SoakSample& x : s.samples) {
    text += fmt::format("| {:.2f} | {} | {} | {} | {} | {} | {} | {:.1f} |\n", x.virtualHours, x.census.views,
                        x.census.layers, x.census.timers, x.census.pendingTasks, x.census.animations, x.residentKiB,
                        x.wallSeconds);
  }
  return text + "\n";
}

std::string fuzzSection(const std::string& tsv) {
  std::string text =
      "## Fuzzing\n\n"
      "The libFuzzer targets of `fuzz/` (clang, ASan + UBSan), each run from its seed corpus by `make fuzz`:\n\n"
      "| Target | Seconds | Executions | Corpus files | Edges covered | Features | Result "
      "|\n|---|---:|---:|---:|---:|---:|---|\n";
  std::istringstream lines(tsv);
  std::string line;
  std::getline(lines, line);  // the header
  while (std::getline(lines, line)) {
    std::string row;
    std::istringstream fields(line);
    for (std::string field; std::getline(fields, field, '\t');) row += " " + field + " |";
    text += "|" + row + "\n";
  }
  return text + "\n";
}

// The studio's figures come from another run (the release build, real
// attacking clients) and live beside its other load figures; this page only
// points there, so that a new run of this one never loses them.
const char* const kStudioSection =
    "## The studio under hostile clients\n\n"
    "Slow reads, slow headers, crowds of idle connections and polling against the studio's server are measured by "
    "`make studio-load` on the release build, not by this run: see "
    "[The studio under load](performance.md#the-studio-under-load) in docs/performance.md.\n";

}  // namespace

std::string robustnessMarkdown(const RobustnessFigures& f) {
  std::string text = fmt::format(
      "# Robustness figures\n\n"
      "Generated by `{}` ({} build) — do not edit; run `make robustness` again instead. Every figure below is what "
      "that run saw.\n\n",
      f.command, f.buildType);
  if (!f.matrix.empty()) text += matrixSection(f);
  if (f.storm) text += stormSection(*f.storm);
  if (!f.tornWrites.empty()) text += tornSection(f.tornWrites);
  if (f.soak) text += soakSection(*f.soak, f.soakPlan);
  if (!f.fuzzSummary.empty()) text += fuzzSection(f.fuzzSummary);
  return text + kStudioSection;
}

}  // namespace hardening
