// "Smooth" in the window over table rows: the relaxed surface still bounds the row's knot, and
// no part of it has passed through another (bands through neighbouring bands or disks).

#include <gtest/gtest.h>

#include <string>

#include "app/model/headlessWindow.h"
#include "helpers.h"
#include "smoothingChecks.h"

TEST(SmoothingKeepsSurface, TableRowsKeepTheirKnotAndDoNotPassThroughThemselves) {
  TKnotTable table;
  FillKnotTable(table);
  // Rows whose bands passed through one another in 200 plain steps, and two that did not.
  const struct {
    const char* radio;
    std::vector<std::string> rows;
  } cases[] = {
      {"rb_diagram", {"5_2", "8_3", "8_11", "9_22", "9_46", "10_37", "10_117"}},
      {"rb_split", {"7_4", "8_3", "10_29", "10_85"}},
  };
  for (const auto& c : cases) {
    for (const std::string& name : c.rows) {
      SCOPED_TRACE(std::string(c.radio) + " " + name);
      THeadlessWindow w;
      w.window.StartUp();
      w.controls.Click(c.radio);
      w.window.ChooseKnot(table.Find(name));
      // The mesh "Smooth" makes, looked at before its first step.
      w.controls.SetPosition("ud_subdiv", 1);
      w.controls.SetPosition("ud_ccsub", 0);
      w.app.meshForSmoothing = true;
      w.window.Recompute();
      w.app.meshForSmoothing = false;
      const TSmoothingBaseline start = SmoothingBaseline(w.app.Seifert, table);
      ASSERT_EQ(start.name.rfind(name, 0), 0u) << start.name;
      w.controls.SetPosition("ud_seniter", 200);
      w.controls.Click("but_sestart");
      ASSERT_TRUE(w.app.smoothed);
      // Folds of quads round a corner they share are left to the mesh's resolution.
      EXPECT_EQ(SmoothingFault(w.app.Seifert, table, start, true, false), "");
    }
  }
}
