// Time of one recompute (parse, lay-out, mesh build, centre) at the start settings.

#include <benchmark/benchmark.h>

#include "app/model/headlessWindow.h"
#include "app/model/pipeline.h"
#include "mesh/subdivision.h"

#include <algorithm>
#include <string>

namespace {

// The settings after the program's own start-up ("Disks 1", sliders 0/1/0).
TSettings StartSettings() {
  THeadlessWindow w;
  w.window.StartUp();
  return w.app.Settings;
}

void RunWord(benchmark::State& state, const char* word) {
  TAppState app;
  app.Settings = StartSettings();
  app.Settings.catmullClark = static_cast<int32_t>(state.range(0));
  for (auto _ : state) {
    TSettings s = app.Settings;
    RunPipeline(word, app.Seifert, s, app);
    benchmark::DoNotOptimize(app.Seifert.mesh.nFaces);
  }
  state.counters["faces"] = app.Seifert.mesh.nFaces;
  state.counters["verts"] = app.Seifert.mesh.nVerts;
}

void BM_PipelineFigureEight(benchmark::State& state) { RunWord(state, "AbAb"); }
void BM_Pipeline14Letters(benchmark::State& state) { RunWord(state, "AABaBBCbbDcBDC"); }

// One edge build of a mesh whose disk poles carry hundreds of edges (the word repeats every
// generator, so each pole fans out to a slot per band end); range(0) = repetitions.
void BM_BuildEdgesLargePoles(benchmark::State& state) {
  std::string word;
  for (int64_t i = 0; i < state.range(0); ++i) word += "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  TAppState app;
  TSettings s = StartSettings();
  RunPipeline(word, app.Seifert, s, app);
  int32_t largest = 0;
  for (int32_t v = 0; v < app.Seifert.mesh.nVerts; ++v)
    largest = std::max(largest, app.Seifert.mesh.verts[v].nEdges);
  for (auto _ : state) {
    BuildEdges(app.Seifert.mesh);
    benchmark::DoNotOptimize(app.Seifert.mesh.nEdges);
  }
  state.counters["faces"] = app.Seifert.mesh.nFaces;
  state.counters["largestFan"] = largest;
}

}  // namespace

BENCHMARK(BM_PipelineFigureEight)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Pipeline14Letters)->Arg(0)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildEdgesLargePoles)->Arg(6)->Arg(23)->Unit(benchmark::kMillisecond);

