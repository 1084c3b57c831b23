#include <benchmark/benchmark.h>

#include "mesh/meshModel.h"

// The programs keep freed mesh storage for reuse from start-up on; so do the benchmarks, or
// they would time page faults the programs never take.
int main(int argc, char** argv) {
  KeepFreedStorageForReuse();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
