// Catmull-Clark refinement of a level-0 surface mesh: our passes, and what "Catm. Clark" 3 adds
// to a recompute, beside OpenSubdiv's uniform refinement of the same mesh in the same run; then
// both as processes of their own (a veltrane-cli run against a small program that refines the
// same level-0 mesh with OpenSubdiv), for their time and their peak memory.
//
//   build/bench/veltrane_bench --benchmark_filter='Subdivision|Osd' --benchmark_repetitions=5
//
// Compare BM_SubdivisionPasses/L with BM_OsdUniform/L, BM_SubdivisionCcSub3Added with
// BM_OsdUniform/3, BM_ProcessCliInfo/3 with BM_ProcessOsd/3 (the child's CPU time), and the
// bytesPerVertex counters of BM_PeakMemoryCli/4 and BM_PeakMemoryOsd/4: the peak resident
// memory the level adds to the same program at level 0, per vertex of the last level.

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
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
// level 0, then the passes, each but the last handing the next level its edges; the last
// leaves its own deferred, as the peer builds no edges for its last level.
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
    for (int l = 0; l < levels; ++l)
      SubdivisionPassOnEdges(mesh, true, true,
                             l + 1 < levels ? TNextEdges::kBuilt : TNextEdges::kDeferred);
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

// One run of a program as a child process: its CPU time (user and system), its peak resident
// memory and what it printed.
struct TChildRun {
  double cpuSeconds = 0;
  int64_t maxRssBytes = 0;
  std::string output;
  bool ok = false;
};

TChildRun RunChild(const std::vector<std::string>& args) {
  TChildRun run;
  int out[2];
  if (pipe(out) != 0) return run;
  const pid_t pid = fork();
  if (pid < 0) return run;
  if (pid == 0) {
    dup2(out[1], STDOUT_FILENO);
    const int devNull = open("/dev/null", O_WRONLY);
    if (devNull >= 0) dup2(devNull, STDERR_FILENO);
    close(out[0]);
    close(out[1]);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(out[1]);
  char buffer[4096];
  for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;) run.output.append(buffer, n);
  close(out[0]);
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid) return run;
  run.cpuSeconds = usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
                   1e-6 * (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
  run.maxRssBytes = int64_t{usage.ru_maxrss} * 1024;
  run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return run;
}

std::vector<std::string> CliInfo(int level) {
  return {VELTRANE_CLI_PATH, "info", kWord, "--set", "ud_ccsub=" + std::to_string(level),
          "--json"};
}

// The vertex count after `levels` refinements of the level-0 mesh: every level adds a vertex
// per face and edge; on a closed mesh there are twice as many edges as faces.
int64_t VertsAtLevel(int levels) {
  const TMesh& start = LevelZero();
  int64_t verts = start.nVerts, faces = start.nFaces;
  for (int l = 0; l < levels; ++l) {
    verts += 3 * faces;
    faces *= 4;
  }
  return verts;
}

// A veltrane-cli run of "info --json" at level range(0), a fresh process each time.
void BM_ProcessCliInfo(benchmark::State& state) {
  const int level = static_cast<int>(state.range(0));
  for (auto _ : state) {
    const TChildRun run = RunChild(CliInfo(level));
    if (!run.ok) {
      state.SkipWithError("veltrane-cli failed");
      return;
    }
    state.SetIterationTime(run.cpuSeconds);
  }
}
BENCHMARK(BM_ProcessCliInfo)
    ->Arg(3)
    ->UseManualTime()
    ->ComputeStatistics("min", Min)
    ->Unit(benchmark::kMillisecond);

// The peak memory a level adds to a program, per vertex of that level: the same program's run
// at level 0 is the base (code, start-up, the level-0 mesh).
void PeakMemory(benchmark::State& state, const std::vector<std::string>& atLevel,
                const std::vector<std::string>& atZero, int64_t verts) {
  int64_t peak = 0, base = 0;
  for (auto _ : state) {
    const TChildRun zero = RunChild(atZero), run = RunChild(atLevel);
    if (!zero.ok || !run.ok || verts <= 0) {
      state.SkipWithError("the child run failed");
      return;
    }
    peak = run.maxRssBytes;
    base = zero.maxRssBytes;
    state.SetIterationTime(run.cpuSeconds);
  }
  state.counters["bytesPerVertex"] = static_cast<double>(peak - base) / static_cast<double>(verts);
  state.counters["peakMB"] = static_cast<double>(peak) / (1 << 20);
  state.counters["verts"] = static_cast<double>(verts);
}

void BM_PeakMemoryCli(benchmark::State& state) {
  const int level = static_cast<int>(state.range(0));
  PeakMemory(state, CliInfo(level), CliInfo(0), VertsAtLevel(level));
}
BENCHMARK(BM_PeakMemoryCli)->Arg(4)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

#ifdef VELTRANE_HAVE_OSD
using namespace OpenSubdiv;

std::vector<std::string> OsdRun(int level) {
  return {VELTRANE_OSD_UNIFORM_PATH, kWord, std::to_string(level)};
}

// The small OpenSubdiv program at level range(0), a fresh process each time.
void BM_ProcessOsd(benchmark::State& state) {
  const int level = static_cast<int>(state.range(0));
  for (auto _ : state) {
    const TChildRun run = RunChild(OsdRun(level));
    if (!run.ok) {
      state.SkipWithError("the OpenSubdiv program failed");
      return;
    }
    state.SetIterationTime(run.cpuSeconds);
  }
}
BENCHMARK(BM_ProcessOsd)
    ->Arg(3)
    ->UseManualTime()
    ->ComputeStatistics("min", Min)
    ->Unit(benchmark::kMillisecond);

// Its vertices: those of the last level, as it prints them.
void BM_PeakMemoryOsd(benchmark::State& state) {
  const int level = static_cast<int>(state.range(0));
  const TChildRun probe = RunChild(OsdRun(level));
  PeakMemory(state, OsdRun(level), OsdRun(0), probe.ok ? std::atoll(probe.output.c_str()) : 0);
}
BENCHMARK(BM_PeakMemoryOsd)->Arg(4)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

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
