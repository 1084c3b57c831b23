// Catmull-Clark refinement of a level-0 surface mesh: our passes, and what "Catm. Clark" 3 adds
// to a recompute, beside OpenSubdiv's uniform refinement of the same mesh in the same run.
//
//   build/bench/veltrane_bench --benchmark_filter='Subdivision|Osd' --benchmark_repetitions=5
//
// Compare BM_SubdivisionPasses/L with BM_OsdUniform/L, and BM_SubdivisionCcSub3Added with
// BM_OsdUniform/3.

#include <benchmark/benchmark.h>

#include <time.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "app/model/appState.h"
#include "app/model/headlessWindow.h"
#include "app/model/pipeline.h"
#include "mesh/buildMesh.h"
#include "mesh/subdivision.h"

#ifdef VELTRANE_HAVE_OSD
#include <opensubdiv/far/primvarRefiner.h>
#include <opensubdiv/far/topologyDescriptor.h>
#include <opensubdiv/far/topologyRefinerFactory.h>
#endif

namespace {

constexpr const char* kWord = "AABaBBCbbDcBDC";

TSettings StartSettings() {
  THeadlessWindow w;
  w.window.StartUp();
  return w.app.Settings;
}

// The level-0 mesh of the word at the start settings, as a recompute builds it.
const TMesh& LevelZero() {
  static const TMesh mesh = [] {
    TAppState app;
    TSettings s = StartSettings();
    s.catmullClark = 0;
    RunPipeline(kWord, app.Seifert, s, app);
    return app.Seifert.mesh;
  }();
  return mesh;
}

// The machine is shared by other builds, so the benchmarks time this thread's CPU time: what
// the others take of the cores then does not count as ours.
// The fastest of the repetitions: the run least disturbed by the others on the machine.
double Min(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

double Now() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// range(0) passes over a copy of the level-0 mesh: storage for the last level, the edges of
// level 0, then the passes, each but the last handing the next level its edges (as the peer
// builds no edges for its last level).
void BM_SubdivisionPasses(benchmark::State& state) {
  const int levels = static_cast<int>(state.range(0));
  const TMesh& start = LevelZero();
  int64_t verts = start.nVerts, faces = start.nFaces;
  for (int l = 0; l < levels; ++l) {
    verts += 3 * faces;  // a face point, and two edges per face on a closed mesh
    faces *= 4;
  }
  TMesh mesh;
  for (auto _ : state) {
    mesh = start;
    mesh.edges.clear();
    mesh.fans.clear();
    const double t0 = Now();
    mesh.verts.resize(static_cast<size_t>(verts));
    mesh.faces.resize(static_cast<size_t>(faces));
    BuildEdges(mesh);
    for (int l = 0; l < levels; ++l) SubdivisionPassOnEdges(mesh, true, true, l + 1 < levels);
    benchmark::DoNotOptimize(mesh.nFaces);
    state.SetIterationTime(Now() - t0);
  }
  state.counters["faces"] = mesh.nFaces;
}

// The time "Catm. Clark" 3 adds to a recompute of the word: the recompute at level 3 less the
// one at level 0, both in the same iteration.
void BM_SubdivisionCcSub3Added(benchmark::State& state) {
  const TSettings start = StartSettings();
  TAppState app;
  for (auto _ : state) {
    TSettings s0 = start;
    s0.catmullClark = 0;
    double t0 = Now();
    RunPipeline(kWord, app.Seifert, s0, app);
    const double level0 = Now() - t0;
    TSettings s3 = start;
    s3.catmullClark = 3;
    t0 = Now();
    RunPipeline(kWord, app.Seifert, s3, app);
    const double level3 = Now() - t0;
    state.SetIterationTime(std::max(level3 - level0, 0.0));
  }
  state.counters["faces"] = app.Seifert.mesh.nFaces;
}

#ifdef VELTRANE_HAVE_OSD
using namespace OpenSubdiv;

struct TOsdPoint {
  float p[3];
  void Clear() { p[0] = p[1] = p[2] = 0; }
  void AddWithWeight(const TOsdPoint& src, float w) {
    p[0] += w * src.p[0];
    p[1] += w * src.p[1];
    p[2] += w * src.p[2];
  }
};

// OpenSubdiv's uniform refinement of the same level-0 mesh (only the vertices that faces use):
// topology from the descriptor, range(0) levels, positions level by level.
void BM_OsdUniform(benchmark::State& state) {
  const int levels = static_cast<int>(state.range(0));
  const TMesh& start = LevelZero();
  std::vector<int> index(static_cast<size_t>(start.nVerts), -1), corners, sizes;
  std::vector<TOsdPoint> base;
  for (int32_t i = 0; i < start.nFaces; ++i) {
    sizes.push_back(4);
    for (int32_t c : start.faces[i].v) {
      if (index[c] < 0) {
        index[c] = static_cast<int>(base.size());
        const Vec3& p = start.verts[c].pos;
        base.push_back({{p.x, p.y, p.z}});
      }
      corners.push_back(index[c]);
    }
  }
  Far::TopologyDescriptor desc;
  desc.numVertices = static_cast<int>(base.size());
  desc.numFaces = start.nFaces;
  desc.numVertsPerFace = sizes.data();
  desc.vertIndicesPerFace = corners.data();
  Sdc::Options options;
  options.SetVtxBoundaryInterpolation(Sdc::Options::VTX_BOUNDARY_EDGE_ONLY);
  using Factory = Far::TopologyRefinerFactory<Far::TopologyDescriptor>;
  int64_t lastVerts = 0;
  for (auto _ : state) {
    const double t0 = Now();
    Far::TopologyRefiner* refiner =
        Factory::Create(desc, Factory::Options(Sdc::SCHEME_CATMARK, options));
    refiner->RefineUniform(Far::TopologyRefiner::UniformOptions(levels));
    std::vector<TOsdPoint> points(static_cast<size_t>(refiner->GetNumVerticesTotal()));
    std::copy(base.begin(), base.end(), points.begin());
    Far::PrimvarRefiner primvar(*refiner);
    TOsdPoint* src = points.data();
    for (int l = 1; l <= levels; ++l) {
      TOsdPoint* dst = src + refiner->GetLevel(l - 1).GetNumVertices();
      primvar.Interpolate(l, src, dst);
      src = dst;
    }
    benchmark::DoNotOptimize(points.data());
    lastVerts = refiner->GetLevel(levels).GetNumVertices();
    delete refiner;
    state.SetIterationTime(Now() - t0);
  }
  state.counters["verts"] = static_cast<double>(lastVerts);
}
BENCHMARK(BM_OsdUniform)
    ->DenseRange(1, 3)
    ->UseManualTime()
    ->ComputeStatistics("min", Min)
    ->Unit(benchmark::kMillisecond);
#endif

}  // namespace

BENCHMARK(BM_SubdivisionPasses)
    ->DenseRange(1, 3)
    ->UseManualTime()
    ->ComputeStatistics("min", Min)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SubdivisionCcSub3Added)
    ->UseManualTime()
    ->ComputeStatistics("min", Min)
    ->Unit(benchmark::kMillisecond);
