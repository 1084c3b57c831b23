// Iterations per second of the smoothing step on the mesh "Smooth" prepares.

#include <benchmark/benchmark.h>

#include <string>

#include "app/model/headlessWindow.h"
#include "knots/braidWord.h"
#include "knots/knotTable.h"
#include "mesh/buildMesh.h"
#include "mesh/subdivision.h"
#include "smoothing/dynamicSmoothing.h"

namespace {

// The braid word of a knot-table row.
std::string TableWord(const char* name) {
  TKnotTable table;
  FillKnotTable(table);
  return table.Row(table.Find(name)).braid;
}

// `resolution` 2 is "Resolution" 1, what "Smooth" sets; larger ones stand for a finer mesh.
// `workers` 0 takes one thread per core.
void BM_SmoothStep(benchmark::State& state, const std::string& word, int32_t resolution,
                   int32_t workers = 0) {
  THeadlessWindow w;
  w.window.StartUp();
  TSettings s = w.app.Settings;
  s.resolution = resolution;
  s.catmullClark = 0;
  s.altPoleMesh = s.reducedMesh = true;
  TSeiffert m;
  ParseBraidWord(word, m.gen, m.power, m.nStrands, m.nCross);
  LayoutStacked(m, s);
  BuildMesh(m, s, true, false);
  ClassifyVertices(m.mesh);
  TSmoothingParams p = SmoothingParameters({}, MeanEdge(m.mesh));
  p.workers = workers;
  TNoise noise;
  for (auto _ : state) {
    benchmark::DoNotOptimize(SmoothStep(m, p, noise));
    p.dt *= p.dtDecay;
  }
  int32_t knotVerts = 0;
  for (int32_t i = 0; i < m.mesh.nVerts; ++i) knotVerts += m.mesh.verts[i].tag == -1;
  state.counters["verts"] = m.mesh.nVerts;
  state.counters["knotVerts"] = knotVerts;
  state.counters["iter/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK_CAPTURE(BM_SmoothStep, FigureEight, std::string("AbAb"), 2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SmoothStep, Word14, std::string("AABaBBCbbDcBDC"), 2)
    ->Unit(benchmark::kMillisecond);
// Wall-clock time: the repulsion runs on every core.
BENCHMARK_CAPTURE(BM_SmoothStep, Knot10_1, TableWord("10_1"), 2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_SmoothStep, Knot10_1Resolution6, TableWord("10_1"), 6)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
// One thread: the speed of the code itself, whatever else the machine runs.
BENCHMARK_CAPTURE(BM_SmoothStep, Knot10_1OneWorker, TableWord("10_1"), 2, 1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SmoothStep, Knot10_1Resolution6OneWorker, TableWord("10_1"), 6, 1)
    ->Unit(benchmark::kMillisecond);
