// What making an STL ready for a print costs: the self-intersection count over its triangles
// alone, and the whole STL export (thickening, foot and count) beside the PLY export of the
// same mesh, which does none of that. 10_165 at "Catm. Clark" 0, 1 and 2: about 13,000, 52,000
// and 208,000 triangles.

#include <benchmark/benchmark.h>

#include <memory>
#include <sstream>

#include "app/model/headlessWindow.h"
#include "app/model/meshExport.h"
#include "mesh/selfIntersection.h"

namespace {

std::unique_ptr<THeadlessWindow> Knot10_165(int32_t subdivisions) {
  auto w = std::make_unique<THeadlessWindow>();
  w->window.StartUp();
  w->window.ChooseKnot(w->app.KnotTable.Find("10_165"));
  w->controls.SetPosition("ud_ccsub", subdivisions);
  w->window.Recompute();
  return w;
}

void BM_SelfIntersections(benchmark::State& state) {
  const auto w = Knot10_165(static_cast<int32_t>(state.range(0)));
  const std::vector<Vec3> corners = StlTriangles(w->app);
  for (auto _ : state) benchmark::DoNotOptimize(FindSelfIntersections(corners).pairs);
  state.counters["triangles"] = static_cast<double>(corners.size() / 3);
}

// Arg 1: 0 STL, 1 PLY.
void BM_PrintExport(benchmark::State& state) {
  const auto w = Knot10_165(static_cast<int32_t>(state.range(0)));
  for (auto _ : state) {
    std::ostringstream out;
    if (state.range(1) == 0)
      WriteStl(w->app, out);
    else
      WritePly(w->app, out);
    benchmark::DoNotOptimize(out.tellp());
  }
}

}  // namespace

BENCHMARK(BM_SelfIntersections)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PrintExport)->ArgsProduct({{0, 1, 2}, {0, 1}})->Unit(benchmark::kMillisecond);
