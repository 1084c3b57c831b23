// Typed knot codes drawn as planar diagrams, and their Seifert circles. Regina checks the
// drawings themselves (tests/oracle/codes_test.py); here the circles, the nesting and the
// messages for codes that draw nothing.

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "diagram/boundaryId.h"
#include "diagram/diagramCodes.h"
#include "diagram/diagramPolynomials.h"
#include "diagram/seifertCircles.h"
#include "knots/knotTable.h"

namespace {

// The circles and regions of a diagram fit together as on the sphere: every crossing joins two
// different circles and lies in a region next to both, either between two circles of the same
// parent or between a circle and its parent; the circles meet every crossing twice.
void ExpectCirclesFit(const TSeifertDiagram& d) {
  size_t visits = 0;
  for (const TSeifertCircle& c : d.circles) {
    visits += c.crossings.size();
    EXPECT_NE(c.innerRegion, -1);
    EXPECT_EQ(c.depth, c.parent < 0 ? 0 : d.circles[static_cast<size_t>(c.parent)].depth + 1);
  }
  EXPECT_EQ(visits, 2 * static_cast<size_t>(d.nCrossings));
  for (int32_t k = 0; k < d.nCrossings; ++k) {
    const auto [a, b] = d.crossingCircles[static_cast<size_t>(k)];
    ASSERT_NE(a, b);
    const TSeifertCircle& ca = d.circles[static_cast<size_t>(a)];
    const TSeifertCircle& cb = d.circles[static_cast<size_t>(b)];
    const int32_t region = d.crossingRegion[static_cast<size_t>(k)];
    const bool siblings = ca.parent == cb.parent && ca.innerRegion != region && cb.innerRegion != region;
    const bool nested = (ca.parent == b && cb.innerRegion == region) ||
                        (cb.parent == a && ca.innerRegion == region);
    EXPECT_TRUE(siblings != nested) << "crossing " << k;
  }
}

}  // namespace

// Every table row's drawing code: the circles fit, the surface of the code the Diagram lay-out
// draws has the table genus, and the diagram is the one the identification reads from the
// row's DT code (same Jones polynomial, so the same chirality).
TEST(DiagramCodes, TableRowsDrawWithTheirGenusAndChirality) {
  TKnotTable table;
  FillKnotTable(table);
  int32_t replaced = 0;
  for (int32_t r = 1; r <= table.count; ++r) {
    const TKnotEntry& row = table.Row(r);
    SCOPED_TRACE(row.name);
    const TSeifertDiagram own = SeifertCircles(PDFromDT(row.dtCode));
    ExpectCirclesFit(own);
    EXPECT_EQ(own.components, 1);
    EXPECT_GE(own.CanonicalGenus(), row.genus);
    const TPDCode pd = PDFromDT(row.diagramCode);
    const TSeifertDiagram d = SeifertCircles(pd);
    ExpectCirclesFit(d);
    EXPECT_EQ(d.CanonicalGenus(), row.genus);
    replaced += row.diagramCode != row.dtCode;
    EXPECT_EQ(JonesPolynomial(DiagramFromPD(PDFromDT(row.dtCode))), DTCodeJones(row.dtCode));
    EXPECT_EQ(JonesPolynomial(DiagramFromPD(pd)), DTCodeJones(row.dtCode));
  }
  EXPECT_EQ(replaced, 18);
}

// A PD code typed in either form is the diagram it names; a code's circles follow its signs.
TEST(DiagramCodes, PDCodesOfKnotsAndLinks) {
  const TPDCode trefoil = ReadPD("X[1,5,2,4] X[3,1,4,6] X[5,3,6,2]");
  EXPECT_EQ(ReadPD("[[1,5,2,4],[3,1,4,6],[5,3,6,2]]"), trefoil);
  EXPECT_EQ(ReadPD("PD[X[1, 5, 2, 4], X[3, 1, 4, 6], X[5, 3, 6, 2]]"), trefoil);
  const TSeifertDiagram t = SeifertCircles(trefoil);
  EXPECT_EQ(t.circles.size(), 2u);
  EXPECT_EQ(t.CanonicalGenus(), 1);
  EXPECT_EQ(std::set<int32_t>(t.signs.begin(), t.signs.end()).size(), 1u);
  // The Hopf link and a two-component link of four crossings: components and circles.
  const TSeifertDiagram hopf = SeifertCircles(ReadPD("X[4,1,3,2] X[2,3,1,4]"));
  EXPECT_EQ(hopf.components, 2);
  EXPECT_EQ(hopf.circles.size(), 2u);
  EXPECT_EQ(hopf.CanonicalGenus(), 0);
  const TSeifertDiagram l4 = SeifertCircles(ReadPD("X[6,1,7,2] X[8,3,5,4] X[2,5,3,6] X[4,7,1,8]"));
  EXPECT_EQ(l4.components, 2);
  ExpectCirclesFit(l4);
}

// Codes that draw nothing are refused with a message that names the fault.
TEST(DiagramCodes, BadCodesAreRefusedByName) {
  struct TBad {
    TPDCode (*read)(const std::string&);
    const char* code;
    const char* message;
  };
  const TBad bad[] = {
      {PDFromDT, "4 8 2", "a DT code holds each even number 2..6 once; 8 is too large for 3 crossings"},
      {PDFromDT, "[4;7;2]", "7 is odd"},
      {PDFromDT, "4 4 2", "4 appears twice"},
      {PDFromDT, "0 2", "0 is too small"},
      {PDFromDT, "[4;6;2", "bracket is not closed"},
      {PDFromDT, "", "holds no numbers"},
      {PDFromDT, "4 6 2 x", "holds 'x'"},
      {PDFromDT, "4 - 6 2", "minus sign"},
      {PDFromDT, "[14;10;8;12;6;-2;4]", "this DT code has no planar diagram"},
      {PDFromDT, "[-18;4;12;-6;16;8;10;2;14]", "this DT code has no planar diagram"},
      {ReadPD, "X[1,5,2,4] X[3,1,4,6] X[5,3,7,2]", "crossing 2 of the PD code names strand 6 once"},
      {ReadPD, "X[1,5,2,4] X[3,1,4,6] X[5,3,6,2] X[1,2,3,4]", "is named 3 times"},
      {ReadPD, "X[1,5,2] X[3,1,4,6]", "names 3 strands, not 4"},
      {ReadPD, "X[0,5,2,4]", "numbered 1"},
      {ReadPD, "X[1,2,3,4]]", "never opened"},
      {ReadPD, "X[1,5,2,4", "not closed"},
      {ReadPD, "Y[1,2,1,2]", "holds 'Y'"},
      {ReadPD, "X[1,4,2,3] X[1,3,2,4]", "of the PD code cannot be oriented"},
      // The trefoil with one crossing's cyclic order reversed: the edges pair up, the faces
      // are too few for the plane.
      {ReadPD, "X[1,4,2,5] X[3,1,4,6] X[5,3,6,2]", "this PD code has no planar diagram"},
      {PDFromGauss, "-1 3 -2 1 -3", "odd count of numbers"},
      {PDFromGauss, "-1 3 -2 1 -3 4", "4 is not one of them"},
      {PDFromGauss, "-1 3 -2 -1 -3 2", "crossing 1 is under twice"},
      {PDFromGauss, "-1 1 -1 1", "crossing 1 comes a third time"},
      {PDFromGauss, "{-1, 2, 1, -2}", "this Gauss code has no planar diagram"},
      {PDFromGauss, "{-1 3 -2 1 -3 2", "of the Gauss code is not closed"},
      {PDFromGauss, "{{1,-2},{2}}", "odd count of numbers"},
      {PDFromGauss, "{{1,-2},{-1,3}}", "3 in component 2 is not one of them"},
      {PDFromGauss, "{{1,-2},{1,-2}}", "crossing 1 is over twice"},
      {PDFromGauss, "{{1,-2,-1,3},{-3,3}}", "crossing 3 comes a third time in component 2"},
      {PDFromGauss, "{{1,-2,3},{-1,2,-3}}", "components 1 and 2 cross 3 times"},
      {PDFromGauss, "{{1,-1},{}}", "component 2 of the Gauss code crosses nothing"},
      {PDFromGauss, "{{1,-2},-1,2}", "outside its component's braces"},
      {PDFromGauss, "{{{1,-2},{-1,2}}}", "nested too deep"},
      {PDFromGauss, "{{1,-2},{-1,2}} {{1,-1}}", "goes on after its closing brace"},
      {PDFromGauss, "1 -1 {2,-2}", "opens a brace after numbers"},
      // A strand through a loop that no other strand closes, beside a split kink, and joined.
      {PDFromGauss, "{{1,-2,-1,2},{3,-3}}", "this Gauss code has no planar diagram"},
      {PDFromGauss, "{{1,-2,-1,2,3,-4},{-3,4}}", "this Gauss code has no planar diagram"},
      {PDFromGauss, "-1 3 -2 1 -3 2 a", "holds 'a'"},
      {PDFromGauss, "0 0", "0 is not one of them"},
  };
  for (const TBad& b : bad) {
    SCOPED_TRACE(b.code);
    try {
      b.read(b.code);
      ADD_FAILURE() << "accepted";
    } catch (const std::invalid_argument& e) {
      EXPECT_NE(std::string(e.what()).find(b.message), std::string::npos) << e.what();
    }
  }
}
