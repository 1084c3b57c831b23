// An export of the start knot as "Save image" makes it, in a surfaceless EGL context: "Scale"
// 4, "Anti-alias" 5 on a 540 x 540 panel, split into rendering, read-back and accumulation
// (the counters are seconds per export).

#include <benchmark/benchmark.h>

#include "app/model/headlessWindow.h"
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

}  // namespace

BENCHMARK_CAPTURE(Export, Box, 0)->Unit(benchmark::kSecond)->Iterations(2);
BENCHMARK_CAPTURE(Export, Mitchell, 3)->Unit(benchmark::kSecond)->Iterations(2);

BENCHMARK_MAIN();
