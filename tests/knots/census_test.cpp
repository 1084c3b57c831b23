// The 2,728 knots of 11 and 12 crossings: found by name, and laid out in the Diagram lay-out as
// a closed surface with one boundary curve and the census genus (its upper bound where the
// genus is not settled: the canonical genus of the best diagram); the braid word read off the
// census diagram closes as a knot. Regina checks their boundaries' knots
// (tests/oracle/typedCodes_test.py).

#include <gtest/gtest.h>

#include <string>

#include "app/model/pipeline.h"
#include "diagram/censusKnot.h"
#include "diagram/diagramCodes.h"
#include "helpers.h"
#include "knots/census.h"

TEST(Census, KnotsByNameLayOutClosedWithTheirGenus) {
  for (const TCensusRow& row : kCensusRows) ASSERT_EQ(FindCensusKnot(row.name), &row);
  EXPECT_EQ(FindCensusKnot("12n_0293"), FindCensusKnot("12n_293"));
  for (const char* none : {"", "13a_1", "11n_", "11n_0", "11x_3", "12n_889", "3_1", "11n_34 "})
    EXPECT_EQ(FindCensusKnot(none), nullptr) << none;

  int32_t settled = 0;
  for (int32_t i = 0; i < kCensusRowCount; i += SmallSample() ? 41 : 1) {
    const TCensusRow& row = kCensusRows[i];
    SCOPED_TRACE(row.name);
    TAppState app;
    FillKnotTable(app.KnotTable);
    const std::string code = CensusDiagramCode(row);
    const std::string braid = CensusBraidWord(row);
    app.typedCode = TAppState::TTypedCode{PDFromDT(code), code, braid, row.name};
    TSettings s = StartSettings();
    s.layout = kLayoutDiagram;
    RunPipeline(braid, app.Seifert, s, app);
    const TTopology t = Topology(app.Seifert.mesh);
    ASSERT_EQ(t.openEdges, 0);
    ASSERT_EQ(t.overfullEdges, 0);
    EXPECT_EQ(app.Seifert.nLinks, 1);
    // The closed mesh is the surface's double: Euler characteristic 2 (disks - bands).
    EXPECT_EQ(t.Euler(), 2L * (app.Seifert.nDisks - app.Seifert.nTubes));
    EXPECT_EQ((app.Seifert.nTubes - app.Seifert.nDisks + 1) / 2, row.genusHigh);
    settled += row.genusLow == row.genusHigh;
    // The braid lay-outs' word: a knot, on one strand per Seifert circle of the census diagram.
    s.layout = kLayoutStacked;
    TSeiffert stacked;
    RunPipeline(braid, stacked, s, app);
    EXPECT_EQ(stacked.nLinks, 1);
  }
  EXPECT_GT(settled, 0);
}
