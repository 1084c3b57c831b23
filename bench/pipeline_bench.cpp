// Time of one recompute (parse, lay-out, mesh build, centre) at the start settings.

#include <benchmark/benchmark.h>

#include "app/model/headlessWindow.h"
#include "app/model/pipeline.h"
#include "core/rangeError.h"
#include "knots/knotTable.h"
#include "mesh/closedEdges.h"
#include "mesh/subdivision.h"
#include "surface/dtCode.h"

#include <algorithm>
#include <chrono>
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

// The passes of a build over the grid mesh of the table's last row at start settings, each on
// its own and with the mesh already in the cache: range(0) 0 = the grid edge build, 1 = the
// general edge build, 2 = the normals.
void BM_GridPasses(benchmark::State& state) {
  TKnotTable table;
  FillKnotTable(table);
  TAppState app;
  TSettings s = StartSettings();
  RunPipeline(table.Row(table.count).braid, app.Seifert, s, app);
  TMesh& mesh = app.Seifert.mesh;
  for (auto _ : state) {
    switch (state.range(0)) {
      case 0: BuildGridEdges(mesh); break;
      case 1: BuildEdges(mesh); break;
      default: ComputeNormals(mesh); break;
    }
    benchmark::DoNotOptimize(mesh.nEdges);
  }
  state.counters["verts"] = mesh.nVerts;
}

// Every knot-table row in one lay-out (range(0) = lay-out code, 5 the row's diagram; range(1) = 1 asks for
// T-joints), start settings otherwise. Counters: the slowest row (its number and time), how many
// rows kept the lay-out, fell back to the flat one or stopped at a fixed bound, and how many
// kept T-joints.
void BM_PipelineTableLayout(benchmark::State& state) {
  TKnotTable table;
  FillKnotTable(table);
  const TSettings start = StartSettings();
  double slowest = 0;
  int32_t slowestRow = 0, kept = 0, flat = 0, errors = 0, tJoints = 0;
  for (auto _ : state) {
    kept = flat = errors = tJoints = 0;
    for (int32_t row = 1; row <= table.count; ++row) {
      TAppState app;
      TSettings s = start;
      s.layout = static_cast<uint8_t>(state.range(0));
      if (s.layout == kLayoutDiagram) {
        // The row chosen in the table, so that its diagram of the knot's genus is laid out.
        app.KnotTable = table;
        app.selectedKnotRow = row;
      }
      s.tJoints = state.range(1) != 0;
      const auto t0 = std::chrono::steady_clock::now();
      try {
        RunPipeline(table.Row(row).braid, app.Seifert, s, app);
        // The flat lay-out has two disks per crossing, the others fewer.
        (s.layout != kLayoutFlat && app.Seifert.nDisks == 2 * app.Seifert.nCross ? flat : kept)++;
        tJoints += s.tJoints;
      } catch (const RangeError&) {
        ++errors;
      }
      const double ms =
          std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
      if (ms > slowest) {
        slowest = ms;
        slowestRow = row;
      }
    }
  }
  state.counters["slowestMs"] = slowest;
  state.counters["slowestRow"] = slowestRow;
  state.counters["kept"] = kept;
  state.counters["flat"] = flat;
  state.counters["errors"] = errors;
  state.counters["tJoints"] = tJoints;
}

// The hole finding, three-sided treatment on, over the DT codes of all 249 table rows.
void BM_HolesFromDT(benchmark::State& state) {
  int64_t holes = 0;
  for (auto _ : state) {
    holes = 0;
    for (const TKnotRow& row : kKnotRows) {
      THoleTable table;
      holes += HolesFromDT(row.dtCode, true, table);
    }
    benchmark::DoNotOptimize(holes);
  }
  state.counters["holes"] = static_cast<double>(holes);
}

}  // namespace

BENCHMARK(BM_HolesFromDT)->Unit(benchmark::kMicrosecond);
// The whole table at start settings in one model, as a window that steps through the knot
// table recomputes it: storage is reused from knot to knot.
void BM_PipelineTableOneModel(benchmark::State& state) {
  TKnotTable table;
  FillKnotTable(table);
  const TSettings start = StartSettings();
  TAppState app;
  int64_t verts = 0;
  for (auto _ : state) {
    verts = 0;
    for (int32_t row = 1; row <= table.count; ++row) {
      TSettings s = start;
      RunPipeline(table.Row(row).braid, app.Seifert, s, app);
      verts += app.Seifert.mesh.nVerts;
    }
  }
  state.counters["verts"] = static_cast<double>(verts);
}

BENCHMARK(BM_PipelineTableOneModel)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PipelineTableLayout)
    ->ArgsProduct({{0, 1, 2, 4, 5}, {0}})
    ->Args({2, 1})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PipelineFigureEight)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Pipeline14Letters)->Arg(0)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GridPasses)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BuildEdgesLargePoles)->Arg(6)->Arg(23)->Unit(benchmark::kMillisecond);

