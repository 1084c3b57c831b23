#include "app/model/pipeline.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "core/rangeError.h"
#include "helpers.h"
#include "knots/knotTable.h"

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

TEST(Pipeline, TheSettingsRecordIsCheckedAtTheEntry) {
  // Values no control gives, each once open meshes or non-finite vertices without a word.
  const std::vector<std::pair<const char*, void (*)(TSettings&)>> cases = {
      {"resolution", [](TSettings& s) { s.resolution = 1; }},
      {"resolution", [](TSettings& s) { s.resolution = 5; }},
      {"resolution", [](TSettings& s) { s.resolution = 0; }},
      {"diskDiameter", [](TSettings& s) { s.diskDiameter = 1e39; }},
      {"diskHeight", [](TSettings& s) { s.diskHeight = std::nan(""); }},
      {"bandWidth", [](TSettings& s) { s.bandWidth = 0; }},
      {"bandShift", [](TSettings& s) { s.bandShift = -1e30; }},
      {"catmullClark", [](TSettings& s) { s.catmullClark = -1; }},
      {"knotWidth", [](TSettings& s) { s.knotWidth = -3; }},
      {"layout", [](TSettings& s) { s.layout = 9; }},
  };
  for (const auto& [field, spoil] : cases) {
    TAppState app;
    TSettings s = StartSettings();
    RunPipeline("AAA", app.Seifert, s, app);
    const int32_t faces = app.Seifert.mesh.nFaces;
    spoil(s);
    try {
      RunPipeline("AbAb", app.Seifert, s, app);
      ADD_FAILURE() << field << ": accepted";
    } catch (const RangeError& e) {
      EXPECT_NE(std::string(e.what()).find(field), std::string::npos) << e.what();
    }
    EXPECT_EQ(app.Seifert.nCross, 3) << field << ": the model was touched";
    EXPECT_EQ(app.Seifert.mesh.nFaces, faces);
  }
}

// A hole the placement could not add may still be enclosed whole by the others: the reduced flat
// lay-out of 10_96 and 10_120 keeps its disks and bands (Regina confirms the knot in the surface
// sweep); 10_67's lay-out leaves bands out and falls back to the flat one.
TEST(Pipeline, ReducedFlatFallsBackOnlyWhenTheLayoutMissesBands) {
  for (const auto& [name, keeps] : {std::pair{"10_96", true}, {"10_120", true}, {"10_67", false}}) {
    SCOPED_TRACE(name);
    std::string braid;
    for (int32_t i = 0; i < kKnotRowCount; ++i)
      if (std::string(kKnotRows[i].name) == name) braid = kKnotRows[i].braid;
    ASSERT_FALSE(braid.empty());
    TAppState app;
    TSettings s = StartSettings();
    s.layout = kLayoutFlat;
    RunPipeline(braid, app.Seifert, s, app, false, false);
    const int32_t flatDisks = app.Seifert.nDisks;
    s = StartSettings();
    s.layout = kLayoutReducedFlat;
    RunPipeline(braid, app.Seifert, s, app, false, false);
    EXPECT_EQ(app.Seifert.nDisks != flatDisks, keeps);
  }
}

// A surface from a knot code is judged on its grid: a refined surface with the knot band is
// shown exactly when its full build bounds the knot, and otherwise the flat lay-out's is.
TEST(Pipeline, ACodeSurfaceIsJudgedOnItsGridAsOnItsFullBuild) {
  TKnotTable table;
  FillKnotTable(table);
  int32_t refused = 0;
  for (int32_t row = 1; row <= table.count; ++row) {
    TAppState app;
    app.KnotTable = table;
    app.selectedKnotRow = row;
    TSettings s = StartSettings();
    s.layout = kLayoutFlatDt;
    s.catmullClark = 1;
    s.knotWidth = 1;
    const std::string& word = table.Row(row).braid;
    TPipelineRun full = StartPipeline(word, s, app, false, true);
    PipelineLayout(full);
    if (!full.fromCode) continue;
    ASSERT_TRUE(BuildMesh(full.model, full.settings, true, false));
    EnsureEdges(full.model.mesh);  // the last refinement leaves them to their readers
    const TMesh& m = full.model.mesh;
    bool bounds = m.nEdges == 2 * m.nFaces && full.model.nLinks == 2;
    for (int32_t e = 0; bounds && e < m.nEdges; ++e) bounds = m.edges[e].f2 != kNone;

    RunPipeline(word, app.Seifert, s, app);
    SCOPED_TRACE(word);
    EXPECT_EQ(app.layoutNote.empty(), bounds) << app.layoutNote;
    if (bounds) {
      EXPECT_EQ(app.Seifert.mesh.nFaces, m.nFaces);
      EXPECT_EQ(app.Seifert.nLinks, 2);
    } else {
      ++refused;
      EXPECT_EQ(app.Seifert.nDisks, 2 * app.Seifert.nCross) << "the flat lay-out is shown";
      EXPECT_EQ(app.Seifert.nLinks, 2);
    }
  }
  EXPECT_GT(refused, 0) << "no table row exercises the refusal";
}
