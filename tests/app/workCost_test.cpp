// The cost estimate: more work never costs less, the examples of minutes are flagged and the
// start settings are not, and the passes of a build count their steps and stop when asked,
// however small the mesh they run over.

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <limits>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/model/headlessWindow.h"
#include "app/model/pipeline.h"
#include "app/model/workCost.h"
#include "mesh/buildProgress.h"

namespace {

using TPositions = std::vector<std::pair<const char*, int32_t>>;

std::string Alphabet(int times) {
  std::string word;
  for (int i = 0; i < times; ++i) word += "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  return word;
}

// The recompute's run of `word` with the controls set, laid out but not built.
TPipelineRun LaidOut(const std::string& word, const TPositions& positions) {
  THeadlessWindow w;
  w.window.meshesDeferred = true;
  w.window.StartUp();
  for (const auto& [name, value] : positions) w.controls.SetPosition(name, value);
  w.window.ReadSettings();
  TPipelineRun run = StartPipeline(word, w.app.Settings, w.app, false, true);
  PipelineLayout(run);
  return run;
}

TWorkCost BuildCost(const std::string& word, const TPositions& positions) {
  const TPipelineRun run = LaidOut(word, positions);
  return MeshBuildCost(PipelineMeshSize(run), run.settings);
}

TEST(WorkCost, MoreWorkNeverCostsLessAndTheLongExamplesAreFlagged) {
  // Each build below adds work to the one before it.
  const std::vector<std::pair<std::string, TPositions>> builds = {
      {"AbAb", {}},
      {"AbAb", {{"ud_minsurf", 50}}},
      {"AbAb", {{"ud_minsurf", 50}, {"ud_presmooth", 20}, {"ud_ccsub", 2}}},
      {"AbAb", {{"ud_minsurf", 50}, {"ud_presmooth", 20}, {"ud_psnonbnd", 20}, {"ud_ccsub", 3}}},
      {Alphabet(25), {{"ud_minsurf", 50}, {"ud_presmooth", 20}, {"ud_psnonbnd", 20},
                      {"ud_ccsub", 1}}},
      {Alphabet(25), {{"ud_minsurf", 2000}, {"ud_presmooth", 20}, {"ud_psnonbnd", 20},
                      {"ud_ccsub", 1}}}};
  TWorkCost before{0, -1, 0};  // the first build makes no passes: no steps
  for (const auto& [word, positions] : builds) {
    SCOPED_TRACE(word.size());
    const TWorkCost cost = BuildCost(word, positions);
    EXPECT_GT(cost.seconds, before.seconds);
    EXPECT_GT(cost.steps, before.steps);
    EXPECT_GE(cost.vertices, before.vertices);
    before = cost;
  }
  EXPECT_LT(BuildCost("AbAb", {}).seconds + SceneDrawSeconds(BuildCost("AbAb", {}).vertices),
            kLongWorkSeconds);
  EXPECT_GT(BuildCost(Alphabet(25), {{"ud_minsurf", 2000}}).seconds, kAskWorkSeconds);
  // 2,000 passes over a mesh of a few thousand vertices: no question, but the worker.
  const TWorkCost small = BuildCost("AbAbAbAbAbAb", {{"ud_minsurf", 2000}});
  EXPECT_LT(small.vertices, 10'000);
  EXPECT_GT(small.seconds, kBackgroundBuildSeconds);
  EXPECT_LT(small.seconds, kAskWorkSeconds);

  // Exports: renderings, pixels, the filter's reach and the scene each add.
  const TExportSettings start;
  TExportSettings more = start, lanczos = start, huge = start;
  more.antialias = 6;
  lanczos.filter = TFilterKind::kLanczos;
  lanczos.blur = 1000;
  huge.scale = 12;
  huge.antialias = 100;
  const double base = ImageExportCost(start, 540, 540, 6000).seconds;
  EXPECT_LT(base, kLongWorkSeconds * 10);
  for (const double larger :
       {ImageExportCost(more, 540, 540, 6000).seconds, ImageExportCost(start, 1080, 540, 6000).seconds,
        ImageExportCost(lanczos, 540, 540, 6000).seconds,
        ImageExportCost(start, 540, 540, 600'000).seconds})
    EXPECT_GT(larger, base);
  EXPECT_GT(ImageExportCost(huge, 540, 540, 6000).seconds, 3600);
  EXPECT_EQ(ImageExportCost(huge, 540, 540, 6000).steps, 144 * 10'000);
  // Out-of-range input gives an estimate, not undefined arithmetic.
  TExportSettings wild = start;
  wild.scale = -5;
  wild.antialias = std::numeric_limits<int32_t>::max();
  wild.blur = -1;
  EXPECT_TRUE(std::isfinite(ImageExportCost(wild, -1, 1 << 30, -1).seconds));
  TSettings s;
  s.catmullClark = 60;
  s.minSurf = std::numeric_limits<int32_t>::max();
  EXPECT_GE(MeshBuildCost(std::numeric_limits<int64_t>::max(), s).steps, 0);
}

TEST(WorkCost, DurationsAreSaidInTheirUnit) {
  const std::vector<std::pair<double, std::string>> cases = {
      {-3, "about 1 second"},          {0.4, "about 1 second"},
      {45, "about 45 seconds"},        {61, "about 1 minute"},
      {306, "about 5 minutes"},        {3 * 3600 + 100, "about 3 hours"},
      {9 * 86400, "about 9 days"},     {std::nan(""), "about 11574074 days"},
      {std::numeric_limits<double>::infinity(), "about 11574074 days"}};
  for (const auto& [seconds, said] : cases) EXPECT_EQ(AboutDuration(seconds), said) << seconds;
  EXPECT_EQ(LongWorkQuestion(306), "This will take about 5 minutes. Go on?");
}

// A build's passes over a small mesh count what they do (the plan is not far off) and stop
// within a loop of a Cancel: 2,000 minimal-surface iterations, and 200 presmoothing passes.
TEST(WorkCost, PassesOverASmallMeshCountTheirStepsAndStopWhenAsked) {
  for (const TPositions& positions :
       {TPositions{{"ud_minsurf", 2000}},
        TPositions{{"ud_subdiv", 3}, {"ud_presmooth", 100}, {"ud_psnonbnd", 100}, {"ud_ccsub", 1}}}) {
    SCOPED_TRACE(positions.front().first);
    for (const bool cancel : {false, true}) {
      TPipelineRun run = LaidOut("AbAbAbAbAbAb", positions);
      const TWorkCost cost = MeshBuildCost(PipelineMeshSize(run), run.settings);
      TBuildProgress progress;
      progress.Plan(cost.steps);
      std::atomic<bool> cancelled{false}, ended{false};
      int64_t doneAtCancel = 0;
      std::thread worker([&] {
        const TBuildScope scope(&progress);
        try {
          PipelineMesh(run);
        } catch (const TBuildCancelled&) {
          cancelled = true;
        }
        ended = true;
      });
      if (cancel) {
        while (progress.Done() == 0 && !ended) std::this_thread::yield();
        progress.Cancel();
        doneAtCancel = progress.Done();
      }
      worker.join();
      EXPECT_EQ(cancelled.load(), cancel);
      if (cancel) {
        // Within one loop over the mesh of the stop, and far from the end.
        EXPECT_LE(progress.Done() - doneAtCancel, 4 * cost.vertices + kBuildStepsPerLook);
        EXPECT_LT(progress.Done(), cost.steps / 2);
      } else {
        EXPECT_GT(progress.Done(), cost.steps / 2);
        EXPECT_LT(progress.Done(), cost.steps * 2);
      }
    }
  }
}

}  // namespace
