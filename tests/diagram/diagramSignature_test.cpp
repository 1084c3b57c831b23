// The signature and determinant of a diagram's Goeritz matrix, held against values known in
// closed form and against the braid surface's Seifert matrix, a road that shares nothing with it.

#include <gtest/gtest.h>

#include <cstdlib>
#include <numeric>
#include <stdexcept>
#include <string>

#include "diagram/boundaryId.h"
#include "diagram/diagramSignature.h"
#include "helpers.h"
#include "invariants/seifertForm.h"
#include "knots/knotTable.h"

namespace {

// The torus knot T(p, q) as the closure of (s1 ... s(p-1))^q, positive crossings (lower case).
std::string PositiveTorusWord(int p, int q) {
  std::string w;
  for (int k = 0; k < q; ++k)
    for (int i = 0; i < p - 1; ++i) w += static_cast<char>('a' + i);
  return w;
}

// Brieskorn's count for coprime p, q: each (i, j) with 0 < i < p, 0 < j < q adds -1 when
// i/p + j/q lies between 1/2 and 3/2, else +1 (so T(2, 3) is -2, T(3, 4) = 8_19 is -6).
int TorusSignature(int p, int q) {
  int s = 0;
  for (int i = 1; i < p; ++i)
    for (int j = 1; j < q; ++j) {
      const int x = 2 * (i * q + j * p);  // 4 pq (i/p + j/q) / 2
      s += (x > p * q && x < 3 * p * q) ? -1 : 1;
    }
  return s;
}

}  // namespace

TEST(DiagramSignature, KnownValuesAndMirrorImages) {
  for (int p = 2; p <= 5; ++p)
    for (int q = p + 1; q <= 9; ++q) {
      if (std::gcd(p, q) != 1) continue;
      SCOPED_TRACE("T(" + std::to_string(p) + "," + std::to_string(q) + ")");
      const TLinkDiagram d = BraidClosureDiagram(PositiveTorusWord(p, q));
      EXPECT_EQ(DiagramSignature(d).signature, TorusSignature(p, q));
      EXPECT_EQ(DiagramSignature(MirrorDiagram(d)).signature, -TorusSignature(p, q));
    }
  // 3_1 both ways round (AAA draws the left-handed one), 4_1 and 10_124 = T(3, 5) from their
  // table codes' braids, which draw the knot or its mirror image.
  EXPECT_EQ(DiagramSignature(BraidClosureDiagram("aaa")).signature, -2);
  EXPECT_EQ(DiagramSignature(BraidClosureDiagram("AAA")).signature, 2);
  EXPECT_EQ(DiagramSignature(BraidClosureDiagram("aBaB")).signature, 0);
  TKnotTable table;
  FillKnotTable(table);
  for (const char* name : {"8_19", "10_124"}) {
    const TKnotEntry& row = table.Row(table.Find(name));
    EXPECT_EQ(std::abs(DiagramSignature(BraidClosureDiagram(row.braid)).signature),
              std::string(name) == "8_19" ? 6 : 8)
        << name;
  }
  // The determinant of the Hopf link and of two circles apart.
  EXPECT_EQ(DiagramSignature(BraidClosureDiagram("aa")).determinant, 2);
  EXPECT_EQ(DiagramSignature(BraidClosureDiagram("ac")).determinant, 0);
}

// Two roads: the Goeritz matrix of the braid closure's picture and the Seifert matrix of the
// braid surface, over every table row and random words (knots, links and split links alike).
TEST(DiagramSignature, AgreesWithTheBraidSurfacesSeifertMatrix) {
  TKnotTable table;
  FillKnotTable(table);
  std::vector<std::string> words;
  for (int32_t r = 1; r <= table.count; ++r) words.push_back(table.Row(r).braid);
  // Past 64 bits on the way ((AbAb)^13, determinant 73681302245) and past 60 loops (T(2, 63),
  // T(2, 99)).
  std::string abab13;
  for (int i = 0; i < 13; ++i) abab13 += "AbAb";
  words.insert(words.end(), {abab13, std::string(63, 'A'), std::string(99, 'a')});
  for (const std::string& w : RandomWords(21, SmallSample() ? 60 : 400, 1, 18)) words.push_back(w);
  for (const std::string& w : words) {
    SCOPED_TRACE(w);
    const TInvariants inv = ComputeInvariants(w);
    const TDiagramForm form = DiagramSignature(BraidClosureDiagram(w));
    EXPECT_EQ(form.signature, inv.signature);
    EXPECT_EQ(form.determinant.get_str(), inv.determinantDecimal);
  }
}

// A Gauss code no planar picture has (the two-crossing "virtual trefoil") is refused.
TEST(DiagramSignature, RefusesACodeThatIsNotPlanar) {
  TLinkDiagram d;
  d.signs = {1, 1};
  d.components = {{{0, true}, {1, true}, {0, false}, {1, false}}};
  EXPECT_THROW(DiagramSignature(d), std::invalid_argument);
}

// Every table row's DT code, drawn over and under as KnotInfo reads it, is the knot of the row's
// braid or its mirror image (as their Jones polynomials say), with the signature to match.
TEST(DiagramSignature, TableCodesAgreeWithTheirBraids) {
  TKnotTable table;
  FillKnotTable(table);
  for (int32_t r = 1; r <= table.count; ++r) {
    const TKnotEntry& row = table.Row(r);
    SCOPED_TRACE(row.name);
    const TLinkDiagram dt = DTCodeDiagram(row.dtCode);
    const TLaurent jones = JonesPolynomial(dt);
    ASSERT_EQ(jones, DTCodeJones(row.dtCode));
    const TLaurent braidJones = JonesPolynomial(BraidClosureDiagram(row.braid));
    const int32_t braidSignature = ComputeInvariants(row.braid).signature;
    if (jones == MirrorJones(jones)) {
      // Jones cannot say which chirality the braid draws (9_42, 10_125)
      EXPECT_EQ(std::abs(DiagramSignature(dt).signature), std::abs(braidSignature));
    } else if (jones == braidJones) {
      EXPECT_EQ(DiagramSignature(dt).signature, braidSignature);
    } else {
      ASSERT_EQ(jones, MirrorJones(braidJones));
      EXPECT_EQ(DiagramSignature(dt).signature, -braidSignature);
    }
  }
}
