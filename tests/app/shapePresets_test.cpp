// The slider presets on a bare control store: the exact tables the window promises, and
// the disk diameter rule.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "app/model/controlStore.h"
#include "app/model/shapePresets.h"
#include "core/rangeError.h"

TEST(ShapePresets, MeshSlidersGiveTheResolutionTable) {
  // Resolution / Catm. Clark by "Coarse".."Fine" (rows) and "Sharp".."Smooth" (columns).
  const int expected[4][8][2] = {
      {{1, 0}, {1, 0}, {1, 0}, {1, 0}, {1, 0}, {1, 0}, {1, 0}, {1, 0}},
      {{2, 0}, {2, 0}, {2, 0}, {2, 0}, {1, 1}, {1, 1}, {1, 1}, {1, 1}},
      {{4, 0}, {4, 0}, {2, 1}, {2, 1}, {2, 1}, {2, 1}, {1, 2}, {1, 2}},
      {{8, 0}, {8, 0}, {4, 1}, {4, 1}, {2, 2}, {2, 2}, {1, 3}, {1, 3}},
  };
  const int presmooth[8] = {0, 1, 2, 3, 4, 6, 10, 16};
  TControlStore c;
  for (int r = 0; r < 4; ++r) {
    for (int t = 0; t < 8; ++t) {
      c.SetPosition("tb_res", r);
      c.SetPosition("tb_smooth", t);
      ApplyMeshSliders(c);
      EXPECT_EQ(c.Position("ud_subdiv"), expected[r][t][0]) << "res " << r << " smooth " << t;
      EXPECT_EQ(c.Position("ud_ccsub"), expected[r][t][1]) << "res " << r << " smooth " << t;
      EXPECT_EQ(c.Position("ud_presmooth"), presmooth[t]) << "smooth " << t;
    }
  }
}

TEST(ShapePresets, DiskDiameterFollowsTheLastReadLayout) {
  TControlStore c;
  TAppState app;
  const std::pair<const char*, long double> stacked[] = {
      {"AbAb", 60}, {"AAAAAA", 60}, {"AAAAAAA", 70}, {"AbAbAbAbAbAb", 120}, {"A3A5", 60}, {"", 60}};
  for (const auto& [word, diameter] : stacked) {
    c.SetText("ed_braid", word);
    app.Settings.layout = kLayoutStacked;
    EXPECT_EQ(DefaultDiskDiameter(c, app), diameter) << word;
    app.Settings.layout = kLayoutSplit;
    EXPECT_EQ(DefaultDiskDiameter(c, app), diameter) << word;
  }

  c.SetText("ed_braid", "AbAbAbAbAbAb");
  for (uint8_t flat : {kLayoutFlat, kLayoutReducedFlat, kLayoutFlatDt}) {
    app.Settings.layout = flat;
    EXPECT_EQ(DefaultDiskDiameter(c, app), 60) << int(flat);
  }
  // The radio buttons as they are now do not count.
  c.SetChecked("rb_flat2", true);
  app.Settings.layout = kLayoutStacked;
  EXPECT_EQ(DefaultDiskDiameter(c, app), 120);
  // The word is parsed aside: the surface on view keeps its own until a recompute succeeds.
  EXPECT_EQ(app.Seifert.nCross, 0);
}

TEST(ShapePresets, PresetPositionRoundsHalvesToEvenAndSaturates) {
  EXPECT_EQ(PresetPosition(30.5L), 30);
  EXPECT_EQ(PresetPosition(31.5L), 32);
  EXPECT_EQ(PresetPosition(-2.5L), -2);
  EXPECT_EQ(PresetPosition(1e12L), 32767);
  EXPECT_EQ(PresetPosition(-1e12L), -32768);
  EXPECT_EQ(PresetPosition(std::numeric_limits<long double>::infinity()), 32767);
  EXPECT_THROW(PresetPosition(std::nanl("")), RangeError);
}

TEST(ShapePresets, VeryLongWordsClampTheDiameterInsteadOfOverflowing) {
  TControlStore c;
  TAppState app;
  c.SetText("ed_braid", std::string(400000, 'A'));
  ApplyShapeSliders(c, app);
  EXPECT_EQ(c.Position("ud_diameter"), 200);
  EXPECT_EQ(c.Position("ud_height"), 2);
  EXPECT_EQ(c.Position("ud_distance"), 200);  // 200 + 25 - 2, clamped by the control
}
