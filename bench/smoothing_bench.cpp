// Iterations per second of the smoothing step on the mesh "Smooth" prepares.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
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

// The same on the mesh "Smooth" prepares in the window for a table row in a lay-out (radio
// button name), one thread.
void BM_SmoothStepWindow(benchmark::State& state, const char* knot, const char* layout) {
  THeadlessWindow w;
  w.window.StartUp();
  w.controls.Click(layout);
  TKnotTable table;
  FillKnotTable(table);
  w.window.ChooseKnot(table.Find(knot));
  w.controls.SetPosition("ud_subdiv", 1);
  w.controls.SetPosition("ud_ccsub", 0);
  w.app.meshForSmoothing = true;
  w.window.Recompute();
  TSeiffert& m = w.app.Seifert;
  ClassifyVertices(m.mesh);
  TSmoothingParams p = SmoothingParameters({}, MeanEdge(m.mesh));
  p.workers = 1;
  TNoise noise;
  // Steps from the relaxed middle of a run as well as its start: 100 of them, then again.
  const TSeiffert start = m;
  int32_t done = 0;
  for (auto _ : state) {
    if (done++ % 100 == 0) {
      state.PauseTiming();
      m = start;
      p.dt = 1.0;
      state.ResumeTiming();
    }
    benchmark::DoNotOptimize(SmoothStep(m, p, noise));
    p.dt *= p.dtDecay;
  }
  state.counters["verts"] = m.mesh.nVerts;
  state.counters["faces"] = m.mesh.nFaces;
}

// A whole "Smooth" in the window, to convergence, on a table row in a lay-out: what the user
// waits for.
void BM_SmoothRun(benchmark::State& state, const char* knot, const char* layout) {
  TKnotTable table;
  FillKnotTable(table);
  int32_t iterations = 0;
  for (auto _ : state) {
    state.PauseTiming();
    THeadlessWindow w;
    w.window.StartUp();
    w.controls.Click(layout);
    w.window.ChooseKnot(table.Find(knot));
    w.controls.SetChecked("cb_seshowintermediate", false);
    w.controls.SetPosition("ud_subdiv", 1);
    w.controls.SetPosition("ud_ccsub", 0);
    w.app.meshForSmoothing = true;
    w.window.Recompute();
    w.app.meshForSmoothing = false;
    w.app.smoothed = w.app.smoothingRunning = true;
    state.ResumeTiming();
    iterations = w.window.RunSmoothing();
  }
  state.counters["iterations"] = iterations;
}

// "Smooth" clicked on table row `row` (1-based) at the start settings, intermediate states
// shown but no frame ever due: the smoothing and the model's refresh per iteration, without the
// drawing. Run over every row to find the slowest; the counters give what was run and its end.
void BM_SmoothTableRow(benchmark::State& state) {
  TKnotTable table;
  FillKnotTable(table);
  const int32_t row = static_cast<int32_t>(state.range(0));
  if (row < 1 || row > table.count) {
    state.SkipWithError("no such table row");
    return;
  }
  int32_t iterations = 0;
  uint64_t hash = 0;
  for (auto _ : state) {
    state.PauseTiming();
    THeadlessWindow w;
    w.window.StartUp();
    w.window.ChooseKnot(row);
    w.window.frameDue = [] { return false; };
    w.window.processEvents = [&] { ++iterations; };
    iterations = 0;
    state.ResumeTiming();
    w.controls.Click("but_sestart");
    state.PauseTiming();
    // The final positions to the bit, so that runs of two builds can be compared.
    hash = 1469598103934665603ULL;
    const TMesh& mesh = w.app.Seifert.mesh;
    for (int32_t i = 0; i < mesh.nVerts; ++i)
      for (const float c : {mesh.verts[i].pos.x, mesh.verts[i].pos.y, mesh.verts[i].pos.z}) {
        uint32_t bits;
        std::memcpy(&bits, &c, sizeof bits);
        hash = (hash ^ bits) * 1099511628211ULL;
      }
    state.ResumeTiming();
  }
  char text[32];
  std::snprintf(text, sizeof text, " %016llx", static_cast<unsigned long long>(hash));
  state.SetLabel(table.Row(row).name + text);
  state.counters["iterations"] = iterations;
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
// The lay-outs whose bands come closest to one another.
BENCHMARK_CAPTURE(BM_SmoothStepWindow, Diagram10_123, "10_123", "rb_diagram")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SmoothStepWindow, Diagram8_1, "8_1", "rb_diagram")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SmoothStepWindow, Split10_123, "10_123", "rb_split")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SmoothRun, Diagram10_123, "10_123", "rb_diagram")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SmoothRun, Diagram8_1, "8_1", "rb_diagram")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SmoothRun, Stacked10_1, "10_1", "rb_stacked")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SmoothRun, Split10_123, "10_123", "rb_split")->Unit(benchmark::kMillisecond);
// Every table row; pick rows with --benchmark_filter='BM_SmoothTableRow/(12|249)$'.
BENCHMARK(BM_SmoothTableRow)->DenseRange(1, 249)->Iterations(1)->Unit(benchmark::kMillisecond);
