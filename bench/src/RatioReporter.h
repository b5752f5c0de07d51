// The benchmark program's console output, followed by the ratio of each
// operation to its baseline: the median CPU time per run of each, over every
// repetition, both measured in this one run of the program.
//
//   bench::RatioReporter reporter;
//   benchmark::RunSpecifiedBenchmarks(&reporter);
//   reporter.printRatios(std::cout);
//
// Benchmarks are named "NAME" and "NAME/baseline" (see Operation.h). The
// reporter keeps every run's time until it is destroyed; Google Benchmark
// calls it on the main thread.
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace bench {

class RatioReporter final : public benchmark::ConsoleReporter {
 public:
  // In colour on a terminal only.
  RatioReporter();
  void ReportRuns(const std::vector<Run>& reports) override;
  // One line per operation that ran with its baseline; a ratio above its
  // target is marked MISSED.
  void printRatios(std::ostream& out) const;

 private:
  std::map<std::string, std::vector<double>> cpuNanoseconds_;
};

}  // namespace bench
