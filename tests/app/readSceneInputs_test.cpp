// The frame's control reading: each field comes from its own control, and the up axis follows
// the captions of the radio buttons rather than their names.

#include <gtest/gtest.h>

#include "app/model/controlStore.h"
#include "app/model/readSceneInputs.h"
#include "core/settings.h"

namespace {

TEST(ReadSceneInputs, UpAxisFollowsTheCaptions) {
  TControlStore c;
  EXPECT_EQ(ReadSceneInputs(c).upAxis, TUpAxis::kZ);  // rb_y "Z up" is the start choice
  c.SetChecked("rb_z", true);                         // "Y up"
  EXPECT_EQ(ReadSceneInputs(c).upAxis, TUpAxis::kY);
  c.SetChecked("rb_x", true);                         // "X up"
  EXPECT_EQ(ReadSceneInputs(c).upAxis, TUpAxis::kX);
  // No button checked reads as "Z up".
  c.SetChecked("rb_x", false);
  EXPECT_EQ(ReadSceneInputs(c).upAxis, TUpAxis::kZ);
}

// Every field gets a value that no other control holds, so a field read from the wrong
// control (the two backgrounds swapped, the two light angles swapped) shows up.
TEST(ReadSceneInputs, EachFieldReadsItsOwnControl) {
  TControlStore c;
  c.SetChecked("cb_showsurfaces", false);
  c.SetChecked("cbshline", true);
  c.SetColor("sh_background", Rgb(1, 2, 3));
  c.SetColor("sh_background2", Rgb(4, 5, 6));
  c.SetColor("sh_specular", Rgb(7, 8, 9));
  c.SetPosition("ud_shininess", 321);
  c.SetPosition("ud_linewidth", 7);
  c.SetChecked("cb_useskystand", true);
  c.SetChecked("cb_useskyrace", false);
  c.SetPosition("ud_foc_length", 135);
  c.SetChecked("cb_iso", true);
  c.SetPosition("ud_lr_light", -35);
  c.SetPosition("ud_ud_light", 60);
  c.SetChecked("cb_world_light", true);
  c.SetChecked("cb_dir_light", false);

  const TSceneInputs in = ReadSceneInputs(c);
  EXPECT_FALSE(in.showSurfaces);
  EXPECT_TRUE(in.showMeshLines);
  EXPECT_EQ(in.backgroundTop, Rgb(1, 2, 3));
  EXPECT_EQ(in.backgroundBottom, Rgb(4, 5, 6));
  EXPECT_EQ(in.specular, Rgb(7, 8, 9));
  EXPECT_EQ(in.shininess, 321);
  EXPECT_EQ(in.lineWidth, 7);
  EXPECT_TRUE(in.skyStandard);
  EXPECT_FALSE(in.skyRacing);
  EXPECT_EQ(in.focalLength, 135);
  EXPECT_TRUE(in.isometric);
  EXPECT_EQ(in.lightLeftRight, -35);
  EXPECT_EQ(in.lightUpDown, 60);
  EXPECT_TRUE(in.lightFixedToWorld);
  EXPECT_FALSE(in.directionalLight);
  // Not a control: a frame outside an export is never tiled.
  EXPECT_EQ(in.tile.tileCount, 0);
  EXPECT_EQ(in.tile.sampleCount, 1);
}

TEST(ReadSceneInputs, StartStateMatchesTheWindowDefinition) {
  const TSceneInputs in = ReadSceneInputs(TControlStore());
  EXPECT_TRUE(in.showSurfaces);
  EXPECT_FALSE(in.showMeshLines);
  EXPECT_EQ(in.backgroundTop, Rgb(192, 192, 192));
  EXPECT_EQ(in.backgroundBottom, Rgb(192, 192, 192));
  EXPECT_EQ(in.specular, Rgb(128, 128, 128));
  EXPECT_EQ(in.focalLength, 50);
  EXPECT_EQ(in.lightLeftRight, 10);
  EXPECT_EQ(in.lightUpDown, 25);
  EXPECT_TRUE(in.directionalLight);
  EXPECT_TRUE(in.skyRacing);
  EXPECT_FALSE(in.skyStandard);
}

}  // namespace
