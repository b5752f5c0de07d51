#include "RatioReporter.h"

#include <fmt/format.h>
#include <fmt/ostream.h>
#include <unistd.h>

#include <algorithm>

#include "Operation.h"

namespace bench {
namespace {

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t mid = values.size() / 2;
  return values.size() % 2 == 1 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

std::string readable(double nanoseconds) {
  if (nanoseconds >= 1e6) return fmt::format("{:.2f} ms", nanoseconds / 1e6);
  if (nanoseconds >= 1e3) return fmt::format("{:.2f} us", nanoseconds / 1e3);
  return fmt::format("{:.1f} ns", nanoseconds);
}

}  // namespace

RatioReporter::RatioReporter() : ConsoleReporter(::isatty(STDOUT_FILENO) ? OO_Defaults : OO_Tabular) {}

void RatioReporter::ReportRuns(const std::vector<Run>& reports) {
  ConsoleReporter::ReportRuns(reports);
  for (const Run& run : reports) {
    if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
    const double toNanoseconds = 1e9 / benchmark::GetTimeUnitMultiplier(run.time_unit);
    cpuNanoseconds_[run.run_name.function_name].push_back(run.GetAdjustedCPUTime() * toNanoseconds);
  }
}

void RatioReporter::printRatios(std::ostream& out) const {
  fmt::print(out, "\nRatios: median CPU time per run, operation / baseline, measured in this one run\n");
  fmt::print(out, "{:<26}{:>12}{:>12}{:>9}{:>9}  {}\n", "operation", "time", "baseline", "ratio", "target", "runs");
  for (const OperationPair& pair : operationPairs()) {
    const auto operation = cpuNanoseconds_.find(pair.name);
    const auto baseline = cpuNanoseconds_.find(std::string(pair.name) + "/baseline");
    if (operation == cpuNanoseconds_.end() || baseline == cpuNanoseconds_.end()) continue;
    const double time = median(operation->second), base = median(baseline->second);
    const double ratio = time / base;
    const bool met = !pair.target || ratio <= *pair.target;
    fmt::print(out, "{:<26}{:>12}{:>12}{:>9.2f}{:>9}  {}{}\n", pair.name, readable(time), readable(base), ratio,
               pair.target ? fmt::format("{:.1f}", *pair.target) : "-", operation->second.size(),
               met ? "" : "  MISSED");
  }
}

}  // namespace bench
