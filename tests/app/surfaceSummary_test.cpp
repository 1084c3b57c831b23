// What the window tells at a glance: the genus of the built surface, the counts line, the
// question before a very large mesh, and how messages name controls.

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <numeric>
#include <string>
#include <vector>

#include "app/model/controlTable.h"
#include "app/model/headlessWindow.h"
#include "app/model/surfaceSummary.h"

namespace {

// Components of the braid's closure: the cycles of the permutation its letters make.
int ClosureComponents(const std::string& word, int strands) {
  std::vector<int> perm(strands);
  std::iota(perm.begin(), perm.end(), 0);
  for (const char c : word) {
    const int g = (c >= 'a' ? c - 'a' : c - 'A');
    std::swap(perm[g], perm[g + 1]);
  }
  std::vector<bool> seen(strands, false);
  int cycles = 0;
  for (int s = 0; s < strands; ++s) {
    if (seen[s]) continue;
    ++cycles;
    for (int t = s; !seen[t]; t = perm[t]) seen[t] = true;
  }
  return cycles;
}

int Strands(const std::string& word) {
  int highest = 0;
  for (const char c : word) highest = std::max(highest, (c >= 'a' ? c - 'a' : c - 'A') + 1);
  return highest + 1;
}

}  // namespace

// Seifert's construction on a braid closure that uses every gap: a connected surface of one
// disk per strand and one band per letter, so 2g = letters - strands + 2 - components. Holds
// in every lay-out, smoothed or not, with the knot drawn double or single.
TEST(SurfaceGenus, MatchesTheBraidClosureOverManyWords) {
  THeadlessWindow w;
  w.window.StartUp();
  const std::vector<std::string> words = {"AAA",      "AbAb",       "AAAAA",   "AAbAAb",
                                          "AbCbAbCb", "AAbaCbAcBc", "AA",      "ABAB",
                                          "AbcBaCbC", "AAAbAAbAb",  "AbAbAbAb"};
  for (const char* layout : {"rb_stacked", "rb_flat", "rb_flat2"}) {
    for (const std::string& word : words) {
      w.controls.SetChecked(layout, true);
      w.controls.SetText("ed_braid", word);
      w.window.BraidEntered();
      const int letters = static_cast<int>(word.size());
      const int twice = letters - Strands(word) + 2 - ClosureComponents(word, Strands(word));
      ASSERT_EQ(twice % 2, 0) << word;
      EXPECT_EQ(SurfaceGenus(w.app.Seifert), twice / 2) << layout << " " << word;
      const std::string summary = SurfaceSummary(w.app);
      EXPECT_EQ(summary, std::to_string(w.app.Seifert.mesh.nVerts) + " vertices, " +
                             std::to_string(w.app.Seifert.mesh.nFaces) + " faces, genus " +
                             std::to_string(twice / 2))
          << word;
    }
  }
  // The state words follow the counts. A smoothed mesh stays refined through recomputes
  // (they only refresh its normals); a new knot is built unrefined.
  w.app.smoothed = true;
  w.window.Button6Click();
  w.window.Button6Click();
  w.window.Recompute();
  EXPECT_NE(SurfaceSummary(w.app).find(", smoothed, refined \u00d72"), std::string::npos)
      << SurfaceSummary(w.app);
  w.window.BraidEntered();
  EXPECT_EQ(SurfaceSummary(w.app).find("refined"), std::string::npos);
  // Held against the knot's genus where the boundary names a table knot.
  EXPECT_NE(SurfaceSummary(w.app, SurfaceGenus(w.app.Seifert)).find(" (the knot's genus)"),
            std::string::npos);
  EXPECT_EQ(GenusText(3, 2), ", genus 3 (the knot's is 2)");
  EXPECT_EQ(GenusText(-1, 2), "");
  // The torus has no lay-out to take a genus from.
  w.app.torusShown = true;
  w.app.Settings.torusBig = 2;
  w.app.Settings.torusSmall = 3;
  EXPECT_EQ(SurfaceSummary(w.app).find("genus"), std::string::npos);
  EXPECT_EQ(SurfaceSummary(w.app).find("torus"), std::string::npos);
  // Windings with a common factor show one component of a link, and say so.
  w.app.Settings.torusBig = 4;
  w.app.Settings.torusSmall = 6;
  EXPECT_NE(SurfaceSummary(w.app).find(", the (4, 6) torus link of 2 components, each a (2, 3) "
                                       "torus knot; one is shown"),
            std::string::npos)
      << SurfaceSummary(w.app);
  // A model that is not laid out has no genus rather than a made-up one.
  EXPECT_EQ(SurfaceGenus(TSeiffert{}), -1);
}

// The build asks first when the new mesh and the one on view (it is built beside it) take more
// than a quarter of the memory, or when it will take long, whatever the machine holds; "No"
// keeps the mesh that was shown and is no error; "Yes" builds. Sizes at the edges of the
// 64-bit range are not misreported.
TEST(MeshSizeQuestion, AsksAboveAQuarterOfTheMemoryAndNoKeepsTheOldMesh) {
  const int64_t gigabyte = 1'000'000'000;
  EXPECT_EQ(BuildQuestion(1000, 0.01, gigabyte), "");
  EXPECT_EQ(BuildQuestion(1000, 0.01, 0), "");  // memory unknown
  const int64_t quarter = gigabyte / 4 / kMeshBytesPerVertex;
  EXPECT_EQ(BuildQuestion(quarter, 1, gigabyte), "");
  const std::string q = BuildQuestion(quarter + 100, 1, gigabyte);
  EXPECT_EQ(q.rfind("This mesh needs about ", 0), 0u) << q;
  EXPECT_NE(q.find(" MB. Build it?"), std::string::npos);
  EXPECT_NE(BuildQuestion(quarter / 2 + 100, 1, gigabyte, quarter / 2), "");
  EXPECT_NE(BuildQuestion(std::numeric_limits<int64_t>::max(), 1e300, 1).find("MB"),
            std::string::npos);
  // A long build asks, on machines of every size; with too little memory as well, in one
  // question.
  for (const int64_t memory : {int64_t{0}, 16 * gigabyte, 1024 * gigabyte}) {
    SCOPED_TRACE(memory);
    EXPECT_EQ(BuildQuestion(1000, kAskWorkSeconds, memory), "");
    EXPECT_EQ(BuildQuestion(1000, 300, memory), "This will take about 5 minutes. Go on?");
  }
  EXPECT_EQ(BuildQuestion(quarter + 100, 300, gigabyte).find(" and will take about 5 minutes to "
                                                            "build. Build it?"),
            q.find(". Build it?"));

  THeadlessWindow w;
  std::vector<std::string> asked, notes;
  bool answer = false;
  w.window.askYesNo = [&](const std::string& question) {
    asked.push_back(question);
    return answer;
  };
  w.window.showNote = [&](const std::string& note) { notes.push_back(note); };
  w.window.StartUp();
  ASSERT_TRUE(asked.empty());
  const int32_t verts = w.app.Seifert.mesh.nVerts;
  // A machine so small that the next mesh and the one on view take more than a quarter of it.
  w.window.memoryBytes = 12 * int64_t{verts} * kMeshBytesPerVertex;
  w.window.Recompute();
  ASSERT_TRUE(asked.empty());
  w.controls.SetPosition("ud_ccsub", 1);  // its change recomputes; no throw: "No" is no error
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(w.app.Seifert.mesh.nVerts, verts);
  ASSERT_FALSE(notes.empty());
  EXPECT_NE(notes.back().find("not built"), std::string::npos);
  w.controls.SetPosition("ud_ccsub", 0);
  w.window.Button6Click();  // "Refine" asks too
  EXPECT_EQ(asked.size(), 2u);
  EXPECT_EQ(w.app.Seifert.mesh.nVerts, verts);
  EXPECT_EQ(w.app.refineCount, 0);
  answer = true;
  w.controls.SetPosition("ud_ccsub", 1);
  EXPECT_EQ(asked.size(), 3u);
  EXPECT_GT(w.app.Seifert.mesh.nVerts, 3 * verts);
}

// Every control a message can name is named by words a user can find on the screen.
TEST(ControlTitle, NamesEveryControlRecognisably) {
  for (const TControlDef& def : ControlTable()) {
    const std::string title = ControlTitle(def);
    ASSERT_FALSE(title.empty()) << def.name;
    // A bare number in quotes ("1") says nothing about which control it is.
    EXPECT_FALSE(title.size() >= 3 && title.front() == '"' &&
                 title.find_first_not_of("0123456789", 1) == title.size() - 1)
        << def.name << ": " << title;
  }
  EXPECT_EQ(ControlTitle(*FindControl("but_cam1")), "Camera 1");
  EXPECT_EQ(ControlTitle(*FindControl("Button5")), "\"Reset\"");
}
