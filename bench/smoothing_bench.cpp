// Iterations per second of the smoothing step on the mesh "Smooth" prepares.

#include <benchmark/benchmark.h>

#include "app/model/headlessWindow.h"
#include "knots/braidWord.h"
#include "mesh/buildMesh.h"
#include "mesh/subdivision.h"
#include "smoothing/dynamicSmoothing.h"

namespace {

void BM_SmoothStep(benchmark::State& state, const char* word) {
  THeadlessWindow w;
  w.window.StartUp();
  TSettings s = w.app.Settings;
  s.resolution = 2;  // "Resolution" 1
  s.catmullClark = 0;
  s.altPoleMesh = s.reducedMesh = true;
  TSeiffert m;
  ParseBraidWord(word, m.gen, m.power, m.nStrands, m.nCross);
  LayoutStacked(m, s);
  BuildMesh(m, s, true, false);
  ClassifyVertices(m.mesh);
  TSmoothingParams p = SmoothingParameters({}, MeanEdge(m.mesh));
  TNoise noise;
  for (auto _ : state) {
    benchmark::DoNotOptimize(SmoothStep(m, p, noise));
    p.dt *= p.dtDecay;
  }
  state.counters["verts"] = m.mesh.nVerts;
  state.counters["iter/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK_CAPTURE(BM_SmoothStep, FigureEight, "AbAb")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SmoothStep, Word14, "AABaBBCbbDcBDC")->Unit(benchmark::kMillisecond);
