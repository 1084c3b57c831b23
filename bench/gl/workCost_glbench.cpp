// The cost estimate of an image export against the time the export takes, in a surfaceless
// EGL context ("estimate_s" beside the measured time; "ratio" is estimate / measured). The
// cases vary the renderings, the panel's pixels, the filter's reach and the scene's size, each
// a few seconds at most; the export rates in app/model/workCost.cpp are fitted to them.

#include <benchmark/benchmark.h>

#include <chrono>
#include <utility>
#include <vector>

#include "app/model/exportControls.h"
#include "app/model/headlessWindow.h"
#include "app/model/workCost.h"
#include "cli/imageRender.h"

namespace {

void Export(benchmark::State& state, int panel, std::vector<std::pair<const char*, int32_t>> positions,
            int filter) {
  double measured = 0, estimate = 0;
  for (auto _ : state) {
    THeadlessWindow w;
    w.window.StartUp();
    for (const auto& [name, value] : positions) w.controls.SetPosition(name, value);
    w.controls.SetItemIndex("cb_filter", filter);
    const TAppState& a = w.app;
    estimate = ImageExportCost(ReadExportSettings(w.controls), panel, panel,
                               SceneVertices(a.Seifert, a.Settings, a.refineCount, a.racing))
                   .seconds;
    const auto start = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(RenderHeadless(w, panel, panel));
    measured += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  measured /= static_cast<double>(state.iterations());
  state.counters["measured_s"] = measured;
  state.counters["estimate_s"] = estimate;
  state.counters["ratio"] = estimate / measured;
}

#define EXPORT(name, ...) \
  BENCHMARK_CAPTURE(Export, name, __VA_ARGS__)->Unit(benchmark::kSecond)->Iterations(1)

EXPORT(start_aa1, 540, {{"ud_antialias", 1}}, 0);
EXPORT(start_aa5, 540, {}, 0);
EXPORT(start_aa12, 540, {{"ud_antialias", 12}}, 0);
EXPORT(start_scale4_aa3, 540, {{"ud_imgscale", 4}, {"ud_antialias", 3}}, 0);
EXPORT(start_small_aa12, 268, {{"ud_antialias", 12}}, 0);
EXPORT(start_large_aa6, 1080, {{"ud_antialias", 6}}, 0);
EXPORT(start_mitchell_aa5, 540, {}, 3);
EXPORT(start_lanczos_blur1000_aa5, 540, {{"ud_blur", 1000}}, 4);
EXPORT(start_cc3_aa4, 540, {{"ud_ccsub", 3}, {"ud_antialias", 4}}, 0);
EXPORT(start_cc4_aa2, 540, {{"ud_ccsub", 4}, {"ud_antialias", 2}}, 0);

}  // namespace

BENCHMARK_MAIN();
