// auroraribbon-opcount NAME[/baseline] RUNS: prepares one operation (or its
// baseline), runs it once so that first-use work is not counted, then RUNS
// times inside bench::runCounted, the one function that
// bench/callgrind-counts tells callgrind to count.
#include <cstdio>
#include <exception>
#include <optional>
#include <string_view>

#include "Operation.h"
#include "aurora/StrictNumbers.h"

namespace bench {

[[gnu::noinline]] void runCounted(Operation& operation, long runs) {
  for (long i = 0; i < runs; ++i) operation.run();
}

}  // namespace bench

int main(int argc, char** argv) {
  const auto runs = argc == 3 ? aurora::readInteger(argv[2]) : std::nullopt;
  if (!runs || *runs <= 0) {
    std::fprintf(stderr, "usage: auroraribbon-opcount NAME[/baseline] RUNS\n");
    return 2;
  }
  try {
    std::string_view name = argv[1];
    const bool baseline = name.ends_with("/baseline");
    if (baseline) name.remove_suffix(std::string_view("/baseline").size());
    const bench::OperationPair& pair = bench::findPair(name);
    const auto operation = (baseline ? pair.baseline : pair.operation)();
    operation->run();
    bench::runCounted(*operation, *runs);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "auroraribbon-opcount: %s\n", error.what());
    return 1;
  }
  return 0;
}
