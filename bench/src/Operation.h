// What the benchmarks measure: operations of the extension, the platform and
// the simulator, each beside a baseline of the least work it needs, so that
// every result is a ratio of two times taken in one run.
//
// An Operation is prepared when it is made and then run again and again; each
// run does the work once. The benchmark program times the runs; the counting
// program runs them under callgrind.
//
//   std::unique_ptr<bench::Operation> wave = bench::findPair("wave_update").operation();
//   wave->run();
//
// Main thread only: operations drive the platform's main run loop.
#pragma once

#include <memory>
#include <optional>
#include <span>
#include <string_view>

namespace bench {

class Operation {
 public:
  virtual ~Operation() = default;
  virtual void run() = 0;
};

using OperationFactory = std::unique_ptr<Operation> (*)();

struct OperationPair {
  const char* name;              // "wave_update"
  OperationFactory operation;    // the work itself
  OperationFactory baseline;     // the least work it needs
  std::optional<double> target;  // the highest acceptable ratio, if there is one
};

// Every pair, in the order they are reported.
std::span<const OperationPair> operationPairs();
// The pair of that name; throws std::invalid_argument naming the known ones.
const OperationPair& findPair(std::string_view name);

}  // namespace bench
