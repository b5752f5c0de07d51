// auroraribbon-bench: every operation beside its baseline (Operation.h), then
// their ratios. Google Benchmark's flags apply; bench/ratios runs it with
// repetitions interleaved at random, so noise falls on both sides alike.
#include <benchmark/benchmark.h>

#include <iostream>
#include <string>

#include "Operation.h"
#include "RatioReporter.h"

namespace {

void registerTimed(const std::string& name, bench::OperationFactory factory) {
  benchmark::RegisterBenchmark(name.c_str(), [factory](benchmark::State& state) {
    const std::unique_ptr<bench::Operation> operation = factory();
    for (auto _ : state) operation->run();
  })->Unit(benchmark::kNanosecond);
}

}  // namespace

int main(int argc, char** argv) {
  for (const bench::OperationPair& pair : bench::operationPairs()) {
    registerTimed(pair.name, pair.operation);
    registerTimed(std::string(pair.name) + "/baseline", pair.baseline);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
  bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.printRatios(std::cout);
  benchmark::Shutdown();
  return 0;
}
