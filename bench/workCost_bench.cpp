// The cost estimate of a mesh build against the time the build takes: one recompute of a
// window (lay-out, build, hand-over) per case, with the estimate beside it ("estimate_s";
// "ratio" is estimate / measured). The cases take every pass kind alone and together, from the
// start word to the alphabet 25 times, each a few seconds at most; the rates in
// app/model/workCost.cpp are fitted to them.

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include "app/model/headlessWindow.h"
#include "app/model/pipeline.h"
#include "app/model/workCost.h"

namespace {

std::string Alphabet(int times) {
  std::string word;
  for (int i = 0; i < times; ++i) word += "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  return word;
}

void Build(benchmark::State& state, std::string word,
           std::vector<std::pair<const char*, int32_t>> positions) {
  double measured = 0, estimate = 0;
  int32_t verts = 0;
  for (auto _ : state) {
    THeadlessWindow w;
    w.window.meshesDeferred = true;
    w.window.StartUp();
    w.controls.SetText("ed_braid", word);
    w.window.BraidEntered();
    for (const auto& [name, value] : positions) w.controls.SetPosition(name, value);
    w.window.meshesDeferred = false;
    // The estimate the recompute makes, from the same lay-out.
    w.window.ReadSettings();
    TPipelineRun run = StartPipeline(word, w.app.Settings, w.app, false, true);
    PipelineLayout(run);
    estimate = MeshBuildCost(PipelineMeshSize(run), run.settings).seconds;
    const auto start = std::chrono::steady_clock::now();
    w.window.Recompute();
    measured += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    verts = w.app.Seifert.mesh.nVerts;
  }
  measured /= static_cast<double>(state.iterations());
  state.counters["verts"] = verts;
  state.counters["measured_s"] = measured;
  state.counters["estimate_s"] = estimate;
  state.counters["ratio"] = estimate / measured;
}

#define BUILD(name, ...) \
  BENCHMARK_CAPTURE(Build, name, __VA_ARGS__)->Unit(benchmark::kSecond)->Iterations(1)

BUILD(start, "AbAb", {});
BUILD(start_cc4, "AbAb", {{"ud_ccsub", 4}});
BUILD(start_cc6, "AbAb", {{"ud_ccsub", 6}});
BUILD(start_res10_cc2, "AbAb", {{"ud_subdiv", 10}, {"ud_ccsub", 2}});
BUILD(start_minsurf2000, "AbAb", {{"ud_minsurf", 2000}});
BUILD(start_res3_minsurf2000, "AbAb", {{"ud_subdiv", 3}, {"ud_minsurf", 2000}});
BUILD(start_presmooth100_nonbnd100_cc2, "AbAb",
      {{"ud_presmooth", 100}, {"ud_psnonbnd", 100}, {"ud_ccsub", 2}});
BUILD(start_knotwidth_cc3, "AbAb", {{"ud_knwidth", 10}, {"ud_ccsub", 3}});
BUILD(w650, Alphabet(25), {});
BUILD(w650_cc1, Alphabet(25), {{"ud_ccsub", 1}});
BUILD(w650_minsurf20, Alphabet(25), {{"ud_minsurf", 20}});
BUILD(w650_presmooth5_cc1, Alphabet(25), {{"ud_presmooth", 5}, {"ud_ccsub", 1}});
BUILD(w650_presmooth20_cc1, Alphabet(25), {{"ud_presmooth", 20}, {"ud_ccsub", 1}});
BUILD(w650_presmooth1_nonbnd5_cc1, Alphabet(25),
      {{"ud_presmooth", 1}, {"ud_psnonbnd", 5}, {"ud_ccsub", 1}});
BUILD(w100_cc2, Alphabet(4), {{"ud_ccsub", 2}});

}  // namespace
