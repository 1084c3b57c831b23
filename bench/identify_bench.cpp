// Time to name the knot a surface bounds: projection of its link lines, simplification, the
// Jones and Alexander polynomials and the table match (row polynomials already cached).

#include <benchmark/benchmark.h>

#include "app/model/boundaryReport.h"
#include "app/model/headlessWindow.h"
#include "knots/braidWord.h"
#include "knots/knotTable.h"
#include "mesh/buildMesh.h"
#include "mesh/subdivision.h"
#include "smoothing/dynamicSmoothing.h"

namespace {

void Identify(benchmark::State& state, const TSeiffert& model, const TKnotTable& table,
              const char* name) {
  IdentifySurfaceBoundary(model, table);  // fills the table's cache
  TBoundaryReport r;
  for (auto _ : state) {
    r = IdentifySurfaceBoundary(model, table);
    benchmark::DoNotOptimize(r.id.crossings);
  }
  if (!r.ok) state.SkipWithError(r.error.c_str());
  else if (r.id.row != name) state.SkipWithError(("named " + r.id.name).c_str());
  size_t points = 0;
  for (const auto& line : LinkPolylines(model)) points += line.size();
  state.counters["points"] = static_cast<double>(points);
  state.counters["crossings"] = r.id.crossings;
}

// The surface of a table row at the start settings, as choosing the row shows it.
void BM_IdentifyStart(benchmark::State& state, const char* name) {
  THeadlessWindow w;
  w.window.StartUp();
  w.window.ChooseKnot(w.app.KnotTable.Find(name));
  Identify(state, w.app.Seifert, w.app.KnotTable, name);
}

// The same knot's smoothing mesh after `steps` smoothing steps: the link lines have moved
// off the lay-out's planes.
void BM_IdentifySmoothed(benchmark::State& state, const char* name, int32_t steps) {
  THeadlessWindow w;
  w.window.StartUp();
  TSettings s = w.app.Settings;
  s.resolution = 2;
  s.catmullClark = 0;
  s.altPoleMesh = s.reducedMesh = true;
  TSeiffert m;
  const std::string word = w.app.KnotTable.Row(w.app.KnotTable.Find(name)).braid;
  ParseBraidWord(word, m.gen, m.power, m.nStrands, m.nCross);
  LayoutStacked(m, s);
  BuildMesh(m, s, true, false);
  ClassifyVertices(m.mesh);
  TSmoothingParams p = SmoothingParameters({}, MeanEdge(m.mesh));
  TNoise noise;
  for (int32_t i = 0; i < steps; ++i) {
    SmoothStep(m, p, noise);
    p.dt *= p.dtDecay;
  }
  Identify(state, m, w.app.KnotTable, name);
}

}  // namespace

BENCHMARK_CAPTURE(BM_IdentifyStart, Knot5_2, "5_2")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_IdentifyStart, Knot10_124, "10_124")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_IdentifyStart, Knot10_1, "10_1")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_IdentifySmoothed, Knot10_1, "10_1", 200)->Unit(benchmark::kMillisecond);
