// An export of the start knot as "Save image" makes it, in a surfaceless EGL context: "Scale"
// 4, "Anti-alias" 5 on a 540 x 540 panel, split into rendering, read-back and accumulation
// (the counters are seconds per export).

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>

#include "app/model/headlessWindow.h"
#include "cli/cliRun.h"
#include "cli/imageRender.h"

namespace {

void Export(benchmark::State& state, int filter) {
  TExportTimes total;
  for (auto _ : state) {
    THeadlessWindow w;
    w.window.StartUp();
    w.controls.SetPosition("ud_imgscale", 4);
    w.controls.SetPosition("ud_antialias", 5);
    w.controls.SetItemIndex("cb_filter", filter);
    TExportTimes times;
    benchmark::DoNotOptimize(RenderHeadless(w, 540, 540, &times));
    total.rendering += times.rendering;
    total.readBack += times.readBack;
    total.accumulation += times.accumulation;
    total.finishing += times.finishing;
  }
  const double n = static_cast<double>(state.iterations());
  auto seconds = [n](std::chrono::nanoseconds t) { return t.count() / 1e9 / n; };
  state.counters["render_s"] = seconds(total.rendering);
  state.counters["readback_s"] = seconds(total.readBack);
  state.counters["accumulate_s"] = seconds(total.accumulation);
  state.counters["borders+bitmap_s"] = seconds(total.finishing);
}

// `render --knot all --jobs 2`: the table's 249 pictures at the default "Anti-alias" 5 on two
// workers, start to end ("ms_a_picture" is the wall time over the pictures written).
void BM_TablePictures(benchmark::State& state) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                    ("veltrane_table_pictures_" + std::to_string(getpid()));
  int written = 0;
  for (auto _ : state) {
    std::filesystem::remove_all(dir);
    std::ostringstream out, err;
    RunCli({"render", "--knot", "all", "--jobs", "2", "--quiet", "-o", dir.string() + "/"}, out,
           err);
    int all = 0;
    if (std::sscanf(out.str().c_str(), "%d of %d", &written, &all) != 2 || written == 0)
      state.SkipWithError(("no summary line: " + err.str()).c_str());
  }
  std::filesystem::remove_all(dir);
  state.counters["pictures"] = written;
  state.counters["ms_a_picture"] = benchmark::Counter(
      written * 1e-3, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

}  // namespace

BENCHMARK(BM_TablePictures)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();
BENCHMARK_CAPTURE(Export, Box, 0)->Unit(benchmark::kSecond)->Iterations(2);
BENCHMARK_CAPTURE(Export, Mitchell, 3)->Unit(benchmark::kSecond)->Iterations(2);

BENCHMARK_MAIN();
