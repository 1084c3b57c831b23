// The whole census as the command line writes it: `mesh --knot all --census --format ply -o DIR/`,
// 2,977 files on every core, start to end (one iteration; it takes tens of seconds).

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>

#include "cli/cliRun.h"

namespace {

void BM_CensusMeshFiles(benchmark::State& state) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("veltrane_census_bench_" + std::to_string(getpid()));
  for (auto _ : state) {
    std::filesystem::remove_all(dir);
    std::ostringstream out, err;
    const int status =
        RunCli({"mesh", "--knot", "all", "--census", "--format", "ply", "--quiet", "-o", dir.string() + "/"},
               out, err);
    if (status != 0) state.SkipWithError(err.str().c_str());
  }
  std::filesystem::remove_all(dir);
  state.counters["knots"] = 2977;
}

}  // namespace

BENCHMARK(BM_CensusMeshFiles)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
