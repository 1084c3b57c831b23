// The 2,728 knots of 11 and 12 crossings: found by name, and laid out in the Diagram lay-out as
// a closed surface with one boundary curve and the census genus (its upper bound where the
// genus is not settled: the canonical genus of the best diagram); the braid word read off the
// census diagram closes as a knot. Regina checks their boundaries' knots
// (tests/oracle/typedCodes_test.py).

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "app/model/pipeline.h"
#include "diagram/boundaryId.h"
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

// The Jones polynomials compiled in are those of the census diagrams (else a census knot goes
// unnamed, or is named as another).
TEST(Census, CompiledJonesPolynomialsAreTheDiagrams) {
  for (int32_t i = 0; i < kCensusRowCount; ++i)
    ASSERT_EQ(PolynomialText(JonesPolynomial(DTCodeDiagram(kCensusRows[i].dtCode)), true),
              kCensusJones[i])
        << kCensusRows[i].name;
}

// Census knots with a table row's Jones and Alexander polynomials: each diagram is named with
// the other knot as the alternative; first the table row, unless the census knot was chosen.
TEST(Census, KnotsSharingATableRowsPolynomialsAreAlternatives) {
  const TKnotTable& table = Table();
  const auto has = [](const TBoundaryId& id, const std::string& knot) {
    for (const std::string& other : id.alternatives)
      if (other == knot || other == knot + " (mirror image)") return true;
    return false;
  };
  using TPair = std::pair<const char*, const char*>;
  for (const auto& [census, row] : {TPair{"12n_330", "10_84"}, TPair{"12n_438", "10_141"},
                                    TPair{"12n_447", "10_102"}, TPair{"12n_645", "10_27"}}) {
    SCOPED_TRACE(census);
    const TCensusRow* knot = FindCensusKnot(census);
    ASSERT_NE(knot, nullptr);
    const TBoundaryId chosen = IdentifyDiagram(DTCodeDiagram(knot->dtCode), table, census);
    EXPECT_EQ(chosen.name, census);  // its own diagram: not the mirror image
    EXPECT_TRUE(has(chosen, row));
    const TBoundaryId typed = IdentifyDiagram(DTCodeDiagram(knot->dtCode), table);
    EXPECT_EQ(typed.row, row);
    EXPECT_TRUE(has(typed, census));
    const TBoundaryId tableRow = IdentifyDiagram(DTCodeDiagram(table.Row(table.Find(row)).dtCode), table);
    EXPECT_EQ(tableRow.name, row);
    EXPECT_TRUE(has(tableRow, census));
  }
}
