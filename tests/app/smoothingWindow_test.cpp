// The knot table's drop-down and dynamic smoothing through the window logic on the headless
// store: what the user's clicks do to the controls, the flags and the mesh.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "app/model/headlessWindow.h"
#include "core/rangeError.h"
#include "helpers.h"

namespace {

struct WindowTest : ::testing::Test {
  THeadlessWindow w;
  std::vector<std::string> questions;
  bool answer = true;

  void SetUp() override {
    w.window.askYesCancel = [this](const std::string& q) {
      questions.push_back(q);
      return answer;
    };
    w.window.StartUp();
  }
  void Choose(int index) {
    w.controls.SetItemIndex("cb_knottable", index);
    w.controls.Click("cb_knottable");
  }
  void Type(const std::string& word) {
    w.controls.SetText("ed_braid", word);
    w.window.BraidEntered();
  }
  void Smooth(int iterations) {
    w.controls.SetPosition("ud_seniter", iterations);
    w.controls.Click("but_sestart");
  }
  std::vector<Vec3> KnotPositions(int link = 0) const {
    std::vector<Vec3> p;
    for (int32_t v : w.app.Seifert.links[link].verts) p.push_back(w.app.Seifert.mesh.verts[v].pos);
    return p;
  }
};

}  // namespace

TEST_F(WindowTest, KnotTableAfterStartUp) {
  EXPECT_EQ(w.controls.ItemCount("cb_knottable"), 249);
  EXPECT_EQ(w.controls.ItemIndex("cb_knottable"), 1);
  EXPECT_EQ(w.app.KnotTable.entries[1], "4_1, genus 1 (AbAb)");
  EXPECT_EQ(w.app.KnotTable.entries.back(), "10_165, genus 2 (AABacBaBCCB)");
  // Selecting the start entry raised no change: no row is chosen and the word is the window's.
  EXPECT_EQ(w.app.selectedKnotRow, 0);
  EXPECT_EQ(w.app.recomputeCount, 3);
}

TEST_F(WindowTest, ChoosingARowLoadsItsWordWithThePresets) {
  w.controls.SetPosition("ud_diameter", 150);
  const int before = w.app.recomputeCount;
  Choose(0);
  EXPECT_EQ(w.controls.Text("ed_braid"), "AAA");
  EXPECT_EQ(w.app.selectedKnotRow, 1);
  EXPECT_EQ(w.controls.Position("ud_diameter"), 60);
  EXPECT_EQ(w.app.recomputeCount, before + 1);
  EXPECT_EQ(w.app.Seifert.nCross, 3);

  // A preset button keeps the row; a typed word confirmed with Enter clears it.
  w.controls.Click("but_trefoil");
  EXPECT_EQ(w.app.selectedKnotRow, 1);
  Type("AbAb");
  EXPECT_EQ(w.app.selectedKnotRow, 0);

  Choose(248);
  EXPECT_EQ(w.controls.Text("ed_braid"), "AABacBaBCCB");
  EXPECT_EQ(w.app.selectedKnotRow, 249);
  w.window.ChooseKnot(85);
  EXPECT_EQ(w.controls.Text("ed_braid"), "AABaBCbCDceDe");
  EXPECT_THROW(w.window.ChooseKnot(250), RangeError);
}

TEST_F(WindowTest, SmoothingRunsOnTheCoarseMeshAndStaysSmoothed) {
  w.controls.Click("but_trefoil");
  Smooth(40);
  EXPECT_TRUE(w.app.smoothed);
  EXPECT_FALSE(w.app.smoothingRunning);
  EXPECT_FALSE(w.controls.Checked("but_sestart"));
  EXPECT_EQ(w.controls.Position("ud_subdiv"), 1);
  EXPECT_EQ(w.controls.Position("ud_ccsub"), 0);
  EXPECT_TRUE(w.app.meanEdgeValid);
  EXPECT_TRUE(questions.empty());
  // The smoothed mesh survives recomputes; shape settings wait until "Reset".
  const std::vector<Vec3> smoothedKnot = KnotPositions();
  w.controls.SetPosition("ud_diameter", 150);
  EXPECT_EQ(KnotPositions(), smoothedKnot);
  EXPECT_EQ(Topology(w.app.Seifert.mesh).openEdges, 0);

  // A further "Smooth" continues from the smoothed mesh.
  Smooth(10);
  EXPECT_NE(KnotPositions(), smoothedKnot);

  w.controls.Click("Button5");
  EXPECT_FALSE(w.app.smoothed);
  EXPECT_FALSE(w.app.meanEdgeValid);
  EXPECT_EQ(w.controls.Position("ud_subdiv"), 2);
}

TEST_F(WindowTest, SecondClickWeakStrongAndNewKnotsStopARun) {
  w.controls.Click("but_trefoil");
  int iterations = 0;
  const char* stopper = "but_sestart";
  w.window.processEvents = [&] {
    if (++iterations == 5) w.controls.Click(stopper);
  };
  for (const char* s : {"but_sestart", "but_weak", "but_strong"}) {
    stopper = s;
    iterations = 0;
    Smooth(1000);
    EXPECT_EQ(iterations, 5) << s;
    EXPECT_TRUE(w.app.smoothed) << s;
    EXPECT_FALSE(w.controls.Checked("but_sestart")) << s;
  }
  // A new knot ends the smoothed state, and with it the run; the new knot is shown.
  stopper = "but_figure8";
  iterations = 0;
  Smooth(1000);
  EXPECT_EQ(iterations, 5);
  EXPECT_FALSE(w.app.smoothed);
  EXPECT_EQ(w.app.Seifert.nCross, 4);
}

TEST_F(WindowTest, ChoosingATableRowAfterSmoothingShowsTheNewKnot) {
  Smooth(5);
  ASSERT_TRUE(w.app.smoothed);
  Choose(0);
  EXPECT_FALSE(w.app.smoothed);
  EXPECT_EQ(w.app.Seifert.nCross, 3);
  EXPECT_EQ(w.app.Seifert.nDisks, 2);
}

TEST_F(WindowTest, FineMeshesAskFirst) {
  Type("AABaBBCbbDcBDCAABaBBCbbDcBDCAABaBBCbbDcBDC");  // well over 4000 vertices when coarse
  answer = false;
  const int before = w.app.recomputeCount;
  Smooth(10);
  ASSERT_EQ(questions.size(), 1u);
  EXPECT_EQ(questions[0], "Trying to smooth fine mesh. Sure?");
  EXPECT_FALSE(w.app.smoothed);
  EXPECT_FALSE(w.app.smoothingRunning);
  EXPECT_FALSE(w.controls.Checked("but_sestart"));
  EXPECT_EQ(w.app.recomputeCount, before + 2);  // the preparation and the one after Cancel

  // Refining a mesh of 10001 vertices or more asks too; Cancel leaves it.
  ASSERT_GE(w.app.Seifert.mesh.nVerts, 4000);
  w.window.Button6Click();
  const int32_t faces = w.app.Seifert.mesh.nFaces;
  w.window.Button6Click();
  EXPECT_EQ(questions.back(), "Trying to refine a fine mesh. Sure?");
  EXPECT_EQ(w.app.Seifert.mesh.nFaces, faces);
  EXPECT_EQ(w.app.refineCount, 1);
}

TEST_F(WindowTest, RefineKeepsTheKnotAndDoublesItsVertices) {
  w.controls.Click("but_trefoil");
  Smooth(30);
  const std::vector<Vec3> knot = KnotPositions();
  const double meanEdge = w.app.meanEdge;
  w.controls.Click("Button6");
  EXPECT_EQ(w.app.refineCount, 1);
  EXPECT_DOUBLE_EQ(w.app.meanEdge, meanEdge / 2);
  ASSERT_EQ(w.app.Seifert.nLinks, 1);
  EXPECT_EQ(KnotPositions().size(), 2 * knot.size());
  for (const Vec3& p : knot) {
    const std::vector<Vec3> now = KnotPositions();
    EXPECT_NE(std::find(now.begin(), now.end(), p), now.end());
  }
  EXPECT_EQ(Topology(w.app.Seifert.mesh).openEdges, 0);
  EXPECT_TRUE(w.app.smoothed);
}

TEST_F(WindowTest, ConvergenceEndsTheRunButNeverBeforeTheFirstIteration) {
  // Without attraction and repulsion nothing moves: the first iteration's largest step is 0,
  // below 1e-5 of the mean edge, so the run stops right after it.
  w.controls.SetPosition("ud_hatr", 0);
  w.controls.SetPosition("ud_krep", 0);
  int iterations = 0;
  w.window.processEvents = [&] { ++iterations; };
  Smooth(1000);
  EXPECT_EQ(iterations, 1);
  EXPECT_EQ(w.app.maxMove, 0);
  EXPECT_TRUE(w.app.smoothed);
  EXPECT_FALSE(w.app.smoothingRunning);
}

TEST_F(WindowTest, TimeStepDecaysAndIsReadAgainOnEveryEdit) {
  w.controls.Click("but_trefoil");
  int iterations = 0;
  double dtAfterThree = 0;
  w.window.processEvents = [&] {
    if (++iterations == 3) {
      dtAfterThree = w.window.SmoothingParams().dt;
      w.controls.SetPosition("ud_sedt", 50);  // an edit of the group during the run
      EXPECT_DOUBLE_EQ(w.window.SmoothingParams().dt, 0.5);
    }
  };
  Smooth(4);
  EXPECT_NEAR(dtAfterThree, std::pow(0.99, 3), 1e-12);
  EXPECT_DOUBLE_EQ(w.window.SmoothingParams().dt, 0.5 * 0.99);
}

TEST_F(WindowTest, HostileSmoothingControlsNeverStoreANonFinitePosition) {
  // Each row is a set of in-range control values that once produced NaN or infinity: a
  // length scale of 0, a time step decaying to 0 under noise, and forces that grow without
  // bound. A run either ends normally or stops with a message; the mesh stays finite.
  int stopped = 0;
  const std::vector<std::vector<std::pair<const char*, int>>> cases = {
      {{"ud_rscale", 0}},
      {{"ud_dtfac", 1000}, {"ud_noise", 1}},
      {{"ud_dtfac", 1000}, {"ud_noise", 1000}},
      {{"ud_krep", 10000}, {"ud_alpha", 6}, {"ud_rscale", 100}, {"ud_damp", 100},
       {"ud_sedt", 10000}},
  };
  for (const auto& settings : cases) {
    w.controls.Click("Button5");
    for (const auto& [name, value] : settings) w.controls.SetPosition(name, value);
    std::vector<Vec3> before;
    w.window.processEvents = [&] {
      before.clear();
      for (int32_t i = 0; i < w.app.Seifert.mesh.nVerts; ++i)
        before.push_back(w.app.Seifert.mesh.verts[i].pos);
    };
    try {
      Smooth(300);
    } catch (const TSmoothingError& e) {
      ++stopped;
      EXPECT_NE(std::string(e.what()).find("last finite state"), std::string::npos);
      EXPECT_FALSE(w.app.smoothingRunning);
      EXPECT_FALSE(w.controls.Checked("but_sestart"));
      // The iteration that failed took itself back.
      for (int32_t i = 0; i < w.app.Seifert.mesh.nVerts; ++i)
        ASSERT_EQ(w.app.Seifert.mesh.verts[i].pos, before[i]);
    }
    for (int32_t i = 0; i < w.app.Seifert.mesh.nVerts; ++i) {
      const Vec3& p = w.app.Seifert.mesh.verts[i].pos;
      ASSERT_TRUE(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z))
          << settings.front().first << " vertex " << i;
    }
    EXPECT_GT(w.window.SmoothingParams().dt, 0) << settings.front().first;
    for (const auto& [name, value] : settings)
      w.controls.SetPosition(name, FindControl(name)->start);
  }
  EXPECT_LE(stopped, 1);  // only the runaway forces may need the stop
}

TEST(SmoothingFrames, AtTheDisplaysPaceTheRunIsAsItWasAndItsLastStateIsDrawn) {
  // However seldom the display takes a frame, every iteration sees the state a drawn one
  // would (pressure reads the normals each recompute refreshes), the run ends where it
  // ended with a frame per iteration, and its last state is drawn once it is over.
  struct TRun {
    std::vector<Vec3> positions;
    int iterations = 0, frames = 0, lastFramed = -1;
  };
  // dueEvery: the display takes every n-th frame asked for; 0 none, -1 no pacing at all.
  const auto run = [](const char* knot, int pressure, int dueEvery) {
    THeadlessWindow w;
    w.window.StartUp();
    w.controls.Click(knot);
    w.controls.SetPosition("ud_pressure", pressure);
    w.controls.SetPosition("ud_seniter", 120);
    TRun r;
    int asked = 0;
    w.window.processEvents = [&] { ++r.iterations; };
    w.window.drawFrame = [&] {
      ++r.frames;
      r.lastFramed = r.iterations;
    };
    if (dueEvery >= 0)
      w.window.frameDue = [&] { return dueEvery > 0 && ++asked % dueEvery == 0; };
    w.controls.Click("but_sestart");
    for (int32_t i = 0; i < w.app.Seifert.mesh.nVerts; ++i)
      r.positions.push_back(w.app.Seifert.mesh.verts[i].pos);
    return r;
  };
  for (const char* knot : {"but_trefoil", "but_figure8"}) {
    for (int pressure : {0, 300}) {
      const TRun every = run(knot, pressure, -1);
      EXPECT_GE(every.frames, every.iterations) << knot;
      for (int dueEvery : {0, 1, 7}) {
        const TRun paced = run(knot, pressure, dueEvery);
        const std::string what = std::string(knot) + " pressure " + std::to_string(pressure) +
                                 ", every " + std::to_string(dueEvery);
        EXPECT_EQ(paced.iterations, every.iterations) << what;
        EXPECT_EQ(paced.positions, every.positions) << what;
        // The preparation's frame, the due ones, and the last state's.
        const int due = dueEvery > 0 ? paced.iterations / dueEvery : 0;
        EXPECT_LE(paced.frames, due + 2) << what;
        EXPECT_GE(paced.lastFramed, paced.iterations - 1) << what;
      }
    }
  }
}
