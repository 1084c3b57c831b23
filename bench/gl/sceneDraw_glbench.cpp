// Frame times of the drawing code in a surfaceless EGL context (Mesa's software rasteriser
// when there is no GPU): replaying the scene list under a turning camera, and rebuilding the
// list (what every change of settings or geometry costs). A panel of the window's design size.

#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "app/model/headlessWindow.h"
#include "app/model/readSceneInputs.h"
#include "render/offscreenContext.h"
#include "render/sceneDraw.h"

namespace {

constexpr int kSize = 540;

struct TBenchScene {
  TOffscreenContext gl{kSize, kSize};
  THeadlessWindow w;
  TSceneInputs in;

  // The start knot, or `word` typed into the braid field with "Catm. Clark" levels.
  TBenchScene(const std::string& word, int catmullClark) {
    w.window.StartUp();
    if (!word.empty()) {
      w.controls.SetText("ed_braid", word);
      w.window.BraidEntered();
    }
    w.controls.SetPosition("ud_ccsub", catmullClark);
    in = ReadSceneInputs(w.controls);
    GLPanel1GLInit(w.app, kSize, kSize);
    Frame();
  }

  void Frame() {
    GLPanel1Redraw(w.app, in, kSize, kSize, [this] { w.window.ReadSettings(); });
    glFinish();
  }

  void Count(benchmark::State& state) {
    state.counters["faces"] = w.app.Seifert.mesh.nFaces;
    int links = 0;
    for (const TLinkLine& l : w.app.Seifert.links) links += l.nVerts;
    state.counters["linkVerts"] = links;
  }
};

void Replay(benchmark::State& state, const char* word) {
  TBenchScene scene(word, static_cast<int>(state.range(0)));
  for (auto _ : state) {
    scene.w.app.View.Yaw += 1;
    scene.Frame();
  }
  scene.Count(state);
}

void Rebuild(benchmark::State& state, const char* word) {
  TBenchScene scene(word, static_cast<int>(state.range(0)));
  for (auto _ : state) {
    scene.w.app.View.Yaw += 1;  // as in the replay, so the difference is the rebuild alone
    scene.w.app.redrawDirty = true;
    scene.Frame();
  }
  scene.Count(state);
}

void BM_FrameReplayStartKnot(benchmark::State& state) { Replay(state, ""); }
void BM_FrameRebuildStartKnot(benchmark::State& state) { Rebuild(state, ""); }
void BM_FrameReplay14Letters(benchmark::State& state) { Replay(state, "AABaBBCbbDcBDC"); }
void BM_FrameRebuild14Letters(benchmark::State& state) { Rebuild(state, "AABaBBCbbDcBDC"); }

}  // namespace

BENCHMARK(BM_FrameReplayStartKnot)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FrameRebuildStartKnot)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FrameReplay14Letters)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FrameRebuild14Letters)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
