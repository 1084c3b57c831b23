// Every lay-out over every table knot and preset word: a closed surface with the knot as its
// seam, or a clear error at one of the lay-outs' fixed bounds.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "app/model/pipeline.h"
#include "app/model/shapePresets.h"
#include "core/rangeError.h"
#include "helpers.h"

namespace {

struct TLayoutCase {
  const char* name;
  uint8_t layout;
  int32_t splitAt = 2;
  bool tJoints = false, reduce = false, multiTwist = false;
  bool smoothingMesh = false;  // the mesh "Smooth" asks for: reduced disks, other pole caps
};

std::vector<std::string> SweepWords() {
  TKnotTable table;
  FillKnotTable(table);
  std::vector<std::string> words;
  for (int32_t row = 1; row <= table.count; row += SmallSample() ? 7 : 1)
    words.push_back(table.Row(row).braid);
  for (const TPresetKnot& p : PresetKnots()) words.emplace_back(p.word);
  // Words whose reduced flat lay-out leaves holes or disks out, and random ones.
  words.insert(words.end(), {"aCCBAcCAcbAAcbCAb", "AC", "AB", "A2bA3B"});
  std::mt19937 rng(11);
  for (int i = 0; i < (SmallSample() ? 10 : 40); ++i) {
    std::string w;
    for (int k = 0, n = 2 + static_cast<int>(rng() % 16); k < n; ++k)
      w += static_cast<char>((rng() % 2 ? 'A' : 'a') + rng() % 4);
    words.push_back(w);
  }
  return words;
}

}  // namespace

TEST(LayoutSweep, EveryLayoutGivesAClosedSurfaceOrAClearError) {
  const TLayoutCase cases[] = {
      {"stacked", kLayoutStacked},
      {"flat", kLayoutFlat},
      {"reduced flat", kLayoutReducedFlat},
      {"reduced flat, T-joints", kLayoutReducedFlat, 2, true},
      {"flat DT, T-joints", kLayoutFlatDt, 2, true},
      {"split 0", kLayoutSplit, 0},
      {"split 1", kLayoutSplit, 1},
      {"split 2", kLayoutSplit, 2},
      {"split 3", kLayoutSplit, 3},
      {"flat, reduce, multi-twist", kLayoutFlat, 2, false, true, true},
      {"stacked, multi-twist", kLayoutStacked, 2, false, false, true},
      {"reduced flat, T-joints, reduce", kLayoutReducedFlat, 2, true, true, false},
      {"split 2, smoothing mesh", kLayoutSplit, 2, false, false, false, true},
      {"flat, multi-twist, smoothing mesh", kLayoutFlat, 2, false, false, true, true},
  };
  for (const TLayoutCase& c : cases) {
    for (const std::string& word : SweepWords()) {
      SCOPED_TRACE(std::string(c.name) + " \"" + word + "\"");
      TAppState app;
      TSettings s = StartSettings();
      s.layout = c.layout;
      s.splitAt = c.splitAt;
      s.tJoints = c.tJoints;
      s.reduce = c.reduce;
      s.multiTwist = c.multiTwist;
      s.reducedMesh = s.altPoleMesh = c.smoothingMesh;
      try {
        RunPipeline(word, app.Seifert, s, app);
      } catch (const RangeError& e) {
        // Only the reduced flat lay-out has bounds that table words can reach.
        ASSERT_TRUE(c.layout == kLayoutReducedFlat || c.layout == kLayoutFlatDt) << e.what();
        continue;
      }
      const TSeiffert& m = app.Seifert;
      ASSERT_EQ(CheckLayoutInvariants(m), "");
      if (s.tJoints) {
        ASSERT_TRUE(AllDisksThreeEnds(m));
      }
      std::vector<bool> used(m.nStrands + 1, false);  // generators that occur
      for (int k = 1; k <= m.nCross; ++k) used[std::abs(m.gen[k])] = true;
      const TTopology t = Topology(m.mesh);
      ASSERT_EQ(t.openEdges, 0);
      ASSERT_EQ(t.overfullEdges, 0);
      ASSERT_EQ(t.Euler(), 2L * (m.nDisks - m.nTubes));
      // Every lay-out is the braid's surface: one disk per strand and one band per crossing,
      // up to moves that keep the Euler characteristic, when no generator is missing.
      if (std::count(used.begin() + 1, used.end() - 1, true) == m.nStrands - 1) {
        ASSERT_EQ(m.nDisks - m.nTubes, m.nStrands - m.nCross);
      }
      bool allOdd = true;
      for (int k = 1; k <= m.nCross; ++k) allOdd = allOdd && m.power[k] % 2 != 0;
      if (allOdd) {
        ASSERT_EQ(m.nLinks, LayoutComponents(m, c.layout));
      }
    }
  }
}

TEST(LayoutSweep, TJointsHoldOnlyForReducedFlatLayoutsWithThreeEndedDisks) {
  for (uint8_t layout : {kLayoutStacked, kLayoutFlat, kLayoutSplit}) {
    TAppState app;
    TSettings s = StartSettings();
    s.layout = layout;
    s.tJoints = true;  // as if the box were checked and the settings read anyway
    RunPipeline("AAA", app.Seifert, s, app);
    EXPECT_FALSE(s.tJoints) << int(layout);
  }
  TAppState app;
  TSettings s = StartSettings();
  s.layout = kLayoutReducedFlat;
  s.tJoints = true;
  RunPipeline("AAA", app.Seifert, s, app);
  EXPECT_TRUE(s.tJoints);
  EXPECT_EQ(app.Seifert.nDisks, 2);
  s.tJoints = true;
  RunPipeline("AA", app.Seifert, s, app);  // one hole that places nothing: the flat lay-out
  EXPECT_FALSE(s.tJoints);
  EXPECT_EQ(app.Seifert.nDisks, 4);
  s.tJoints = true;
  RunPipeline("", app.Seifert, s, app);  // one disk without bands is no junction
  EXPECT_FALSE(s.tJoints);
}

TEST(LayoutSweep, FlatDtShowsTheKnotCodesSurfaceWholeOrFallsBack) {
  TKnotTable table;
  FillKnotTable(table);
  int fromCode = 0;
  for (bool tJoints : {false, true}) {
    for (int32_t row = 1; row <= table.count; ++row) {
      SCOPED_TRACE(table.Row(row).name + (tJoints ? ", T-joints" : ""));
      TAppState app;
      FillKnotTable(app.KnotTable);
      app.selectedKnotRow = row;
      TSettings s = StartSettings();
      s.layout = kLayoutFlatDt;
      s.tJoints = tJoints;
      RunPipeline(table.Row(row).braid, app.Seifert, s, app);
      const TSeiffert& m = app.Seifert;
      const TTopology t = Topology(m.mesh);
      ASSERT_EQ(t.openEdges, 0);
      ASSERT_EQ(t.overfullEdges, 0);
      ASSERT_EQ(t.Euler(), 2L * (m.nDisks - m.nTubes));
      ASSERT_EQ(m.nLinks, 1);
      if (!app.layoutNote.empty()) {
        ASSERT_NE(PipelineNote(app).find("the flat lay-out is shown"), std::string::npos);
        continue;
      }
      // One boundary curve on a planar graph of disks and bands: genus = holes / 2.
      ASSERT_EQ((m.nTubes - m.nDisks + 1) % 2, 0);
      ++fromCode;
    }
  }
  // A regression in the code road shows as fewer knots drawn from their codes (346 of 498).
  EXPECT_GE(fromCode, 340);
}
