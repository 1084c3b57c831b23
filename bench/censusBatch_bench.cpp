// The whole census as the command line writes it: `mesh --knot all --census --format ply -o DIR/`,
// 2,977 files on every core, start to end (one iteration; it takes tens of seconds).

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
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
    RunCli({"mesh", "--knot", "all", "--census", "--format", "ply", "--quiet", "-o", dir.string() + "/"},
           out, err);
    // "2970 of 2977 knots written into ...": a knot the lay-out refuses is counted, not fatal.
    int written = 0, all = 0;
    if (std::sscanf(out.str().c_str(), "%d of %d", &written, &all) != 2 || all != 2977)
      state.SkipWithError(("no summary line: " + err.str()).c_str());
    state.counters["written"] = written;
  }
  std::filesystem::remove_all(dir);
}

}  // namespace

BENCHMARK(BM_CensusMeshFiles)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
