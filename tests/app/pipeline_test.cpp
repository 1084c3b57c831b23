#include "app/model/pipeline.h"

#include <gtest/gtest.h>

#include "core/rangeError.h"
#include "helpers.h"

TEST(Pipeline, WordsWithoutLettersGiveTheTrivialLayoutInEveryMode) {
  for (const char* word : {"", "123 ;[]", "[4;6;2]"}) {
    for (uint8_t layout : {kLayoutStacked, kLayoutFlat, kLayoutReducedFlat, kLayoutFlatDt, kLayoutSplit}) {
      TAppState app;
      TSettings s = StartSettings();
      s.layout = layout;
      RunPipeline(word, app.Seifert, s, app);
      EXPECT_EQ(app.Seifert.nCross, 0);
      EXPECT_EQ(app.Seifert.nDisks, 1);
      EXPECT_EQ(app.Seifert.nTubes, 0);
      EXPECT_EQ(app.Seifert.nLinks, 1);
      EXPECT_EQ(app.ModelCentre, Vec3(0, 0, 0));
    }
  }
}

TEST(Pipeline, CentreIsHalfTheStackAndFollowsAutoCenter) {
  TAppState app;
  TSettings s = StartSettings();
  RunPipeline("AbAb", app.Seifert, s, app);
  // Three disks 0.02 high, 0.83 apart: the top disk sits at 2 x 0.85.
  EXPECT_NEAR(app.ModelCentre.z, 0.85, 1e-6);
  EXPECT_EQ(app.View.Centre, app.ModelCentre);

  s.autoCenter = false;
  app.View.Centre = Vec3(1, 2, 3);
  RunPipeline("AAA", app.Seifert, s, app);
  EXPECT_NEAR(app.ModelCentre.z, 0.425, 1e-6);
  EXPECT_EQ(app.View.Centre, Vec3(1, 2, 3));
}

TEST(Pipeline, SmoothedStateKeepsTheMeshWhateverTheSettings) {
  TAppState app;
  TSettings s = StartSettings();
  RunPipeline("AAA", app.Seifert, s, app);
  const int32_t faces = app.Seifert.mesh.nFaces;
  const Vec3 first = app.Seifert.mesh.verts[0].pos;

  app.smoothed = true;
  s.diskDiameter = 1.5;
  s.catmullClark = 1;
  app.View.Centre = Vec3(4, 4, 4);
  RunPipeline("AbAb", app.Seifert, s, app);  // a new text does not re-parse either
  EXPECT_EQ(app.Seifert.nCross, 3);
  EXPECT_EQ(app.Seifert.mesh.nFaces, faces);
  EXPECT_EQ(app.Seifert.mesh.verts[0].pos, first);
  EXPECT_EQ(app.View.Centre, Vec3(4, 4, 4));  // the view is not re-centred on a smoothed knot
}

TEST(Pipeline, RangeErrorKeepsTheLayoutReached) {
  TAppState app;
  TSettings s = StartSettings();
  RunPipeline("AAA", app.Seifert, s, app);
  s.catmullClark = 10;
  EXPECT_THROW(RunPipeline("AABaBBCbbDcBDC", app.Seifert, s, app), RangeError);
  // The lay-out of the new word was built; its mesh was refused before any allocation.
  EXPECT_EQ(app.Seifert.nCross, 14);
  EXPECT_EQ(app.Seifert.nTubes, 14);
}
