// Reading the controls into the settings record: the conversions that are not plain
// position / 100 and the values that combine several controls and flags.

#include <gtest/gtest.h>

#include "app/model/controlStore.h"
#include "app/model/readSettings.h"

namespace {

struct ReadSettingsTest : ::testing::Test {
  TControlStore controls;
  TAppState app;
  const TSettings& Read() {
    ReadSettings(controls, app);
    return app.Settings;
  }
};

}  // namespace

TEST_F(ReadSettingsTest, LinkRadiusInExtendedPrecision) {
  // 4 x 1.05 / 100 / 2.
  EXPECT_DOUBLE_EQ(Read().linkRadius, 0.021);
  EXPECT_FALSE(Read().smoothShading);  // only start-up checks "Smooth shading"
}

TEST_F(ReadSettingsTest, ZeroLengthsBecomeTiny) {
  controls.SetPosition("ud_height", 0);
  controls.SetPosition("ud_diax", 0);
  controls.SetPosition("ud_diay", 0);
  controls.SetPosition("ud_taper", 0);
  const TSettings& s = Read();
  EXPECT_EQ(s.diskHeight, 0.0001);
  EXPECT_EQ(s.bandWidth, 0.0001);
  EXPECT_EQ(s.bandHeight, 0.0001);
  EXPECT_EQ(s.diskTaper, 0.0);  // only the three sizes are kept off zero
}

TEST_F(ReadSettingsTest, SmoothRotIsZeroOrStepsOfATenthFromOne) {
  const std::pair<int, double> cases[] = {{0, 0.0}, {1, 1.0}, {3, 1.2}, {10, 1.9}};
  for (const auto& [position, value] : cases) {
    controls.SetPosition("ud_smoothrot", position);
    EXPECT_DOUBLE_EQ(Read().smoothRot, value) << position;
  }
}

TEST_F(ReadSettingsTest, LayoutCodeAndTJoints) {
  controls.SetChecked("cb_tjoint", true);
  const std::pair<const char*, uint8_t> cases[] = {
      {"rb_flat", kLayoutFlat},   {"rb_flat2", kLayoutReducedFlat}, {"rb_flatdt", kLayoutFlatDt},
      {"rb_split", kLayoutSplit}, {"rb_stacked", kLayoutStacked}};
  for (const auto& [radio, code] : cases) {
    controls.SetChecked(radio, true);
    const TSettings& s = Read();
    EXPECT_EQ(s.layout, code) << radio;
    // T-joints only exist on the reduced flat lay-outs, whatever the box says.
    EXPECT_EQ(s.tJoints, code == kLayoutReducedFlat || code == kLayoutFlatDt) << radio;
  }
  // No button checked at all reads as Stacked.
  controls.SetChecked("rb_stacked", false);
  EXPECT_EQ(Read().layout, kLayoutStacked);
}

TEST_F(ReadSettingsTest, SmoothingMeshSwitchesNeedTheSmoothingRecompute) {
  EXPECT_FALSE(Read().altPoleMesh);
  EXPECT_FALSE(Read().reducedMesh);
  app.meshForSmoothing = true;
  EXPECT_TRUE(Read().altPoleMesh);
  EXPECT_TRUE(Read().reducedMesh);
  // A reduced mesh cannot carry T-joints.
  controls.SetChecked("rb_flat2", true);
  controls.SetChecked("cb_tjoint", true);
  EXPECT_FALSE(Read().reducedMesh);
  EXPECT_TRUE(Read().altPoleMesh);
}

TEST_F(ReadSettingsTest, ShowFlagsCombineBoxesAndState) {
  EXPECT_TRUE(Read().showSurface[1]);
  app.smoothed = true;
  EXPECT_FALSE(Read().showSurface[1]);  // a smoothed mesh is one sheet: one side is drawn
  EXPECT_TRUE(Read().showSurface[2]);
  controls.SetPosition("ud_knwidth", 3);
  EXPECT_TRUE(Read().showSurface[1]);  // unless the knot is drawn double

  controls.SetChecked("cb_shmat5", false);
  const TSettings& s = Read();
  EXPECT_TRUE(s.showLink[0]);
  EXPECT_FALSE(s.showLink[1]);
  controls.SetChecked("cb_showlinks", false);
  for (bool shown : Read().showLink) EXPECT_FALSE(shown);
}
