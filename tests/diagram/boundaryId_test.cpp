// Diagrams of link lines: their polynomials, simplification and the name of the knot every
// table row's surface bounds.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/model/boundaryReport.h"
#include "app/model/headlessWindow.h"
#include "diagram/boundaryId.h"
#include "helpers.h"
#include "invariants/seifertForm.h"

namespace {

// A circle of n points in the plane z = 0.
std::vector<Vec3> Circle(int n, double r, double cx) {
  std::vector<Vec3> c;
  for (int i = 0; i < n; ++i) {
    const double a = 2 * M_PI * i / n;
    c.push_back({cx + r * std::cos(a), r * std::sin(a), 0.0});
  }
  return c;
}

}  // namespace

// Braid closures of known knots and links, including their mirror images (lower case is the
// positive crossing): the polynomials, and the linking number of two-component links.
TEST(Diagram, PolynomialsOfKnownClosures) {
  struct TCase {
    const char* word;
    const char* jones;
    const char* alexander;
    int32_t components, linking;
  };
  const TCase cases[] = {
      {"aaa", "-t^4 + t^3 + t", "t^2 - t + 1", 1, 0},         // right-handed trefoil
      {"AAA", "t^-1 + t^-3 - t^-4", "t^2 - t + 1", 1, 0},
      {"aBaB", "t^2 - t + 1 - t^-1 + t^-2", "t^2 - 3t + 1", 1, 0},
      {"abababab", "-t^8 + t^5 + t^3", "t^6 - t^5 + t^3 - t + 1", 1, 0},  // T(3,4) = 8_19
      {"aa", "-t^(5/2) - t^(1/2)", "", 2, 1},                 // positive Hopf link
      {"AA", "-t^(-1/2) - t^(-5/2)", "", 2, -1},
      {"aAa", "1", "1", 1, 0},                                 // simplifies to no crossing
      {"a", "1", "1", 1, 0},
  };
  const TKnotTable& table = Table();
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.word);
    const TBoundaryId id = IdentifyDiagram(BraidClosureDiagram(c.word), table);
    EXPECT_EQ(id.jones, c.jones);
    EXPECT_EQ(id.alexander, c.alexander);
    EXPECT_EQ(id.components, c.components);
    if (c.components == 2) {
      ASSERT_EQ(id.linkingNumbers.size(), 1u);
      EXPECT_EQ(id.linkingNumbers[0], c.linking);
    }
    const TBoundaryId mirror = IdentifyDiagram(MirrorDiagram(BraidClosureDiagram(c.word)), table);
    EXPECT_EQ(mirror.jonesPoly, MirrorJones(id.jonesPoly));
    EXPECT_EQ(mirror.alexander, id.alexander);
  }
  EXPECT_EQ(IdentifyDiagram(BraidClosureDiagram("aB"), table).name, "unknot");
  EXPECT_EQ(IdentifyDiagram(BraidClosureDiagram("abababab"), table).name, "8_19");
  // The state sum has a budget: a long narrow diagram is summed, a wide one (T(10,10), whose
  // every order keeps some 20 edges open) refused at once instead of after seconds.
  const TLaurent t63 = JonesPolynomial(BraidClosureDiagram(std::string(63, 'a')));
  mpz_class atOne = 0;  // V(1) = 1 for every knot
  for (const mpz_class& c : t63.coef) atOne += c;
  EXPECT_EQ(atOne, 1);
  std::string wide;
  for (int i = 0; i < 10; ++i) wide += "abcdefghi";
  EXPECT_THROW(JonesPolynomial(BraidClosureDiagram(wide)), std::length_error);
}

// Polylines with kinks and overlapping loops simplify to what they are; bad lines are refused.
TEST(Diagram, ProjectionOfPolylines) {
  const TKnotTable& table = Table();
  // Two circles apart, and one looping three times round in the plane with rising height
  // (a coil, the unknot with two kinks).
  std::vector<Vec3> coil;
  for (int i = 0; i < 90; ++i) {
    const double a = 2 * M_PI * i / 30.0;
    const double r = 1 + 0.3 * std::sin(2 * M_PI * i / 90.0);
    coil.push_back({r * std::cos(a) + 0.5 * i / 90.0, r * std::sin(a), 0.02 * i});
  }
  const TBoundaryId unknot = IdentifyBoundary({coil}, table);
  EXPECT_EQ(unknot.name, "unknot");
  EXPECT_EQ(unknot.crossings, 0);
  const TBoundaryId apart = IdentifyBoundary({Circle(12, 1, 0), Circle(12, 1, 5)}, table);
  EXPECT_EQ(apart.components, 2);
  EXPECT_EQ(apart.crossings, 0);
  EXPECT_EQ(apart.jones, "-t^(1/2) - t^(-1/2)");
  // A Hopf link (a circle and one through it, upright) beside a lone circle, in every order
  // of the three lines: names and linking numbers follow the lines, whichever come free of
  // crossings in view or after simplification.
  std::vector<Vec3> through;
  for (const Vec3& p : Circle(12, 1, 1)) through.push_back({p.x, 0.0, p.y});
  const std::vector<std::vector<Vec3>> hopf = {Circle(12, 1, 0), through, Circle(12, 1, 8)};
  for (const std::array<size_t, 3>& o : {std::array<size_t, 3>{0, 1, 2}, {2, 0, 1}, {0, 2, 1}}) {
    const TBoundaryId id = IdentifyBoundary({hopf[o[0]], hopf[o[1]], hopf[o[2]]}, table);
    ASSERT_EQ(id.linkingNumbers.size(), 3u);
    // Pairs (0,1), (0,2), (1,2): only the pair of Hopf lines links, once.
    for (size_t i = 0, k = 0; i < 3; ++i)
      for (size_t j = i + 1; j < 3; ++j, ++k)
        EXPECT_EQ(std::abs(id.linkingNumbers[k]), (o[i] == 2 || o[j] == 2) ? 0 : 1) << i << j;
  }

  EXPECT_THROW(IdentifyBoundary({{Vec3(0, 0, 0), Vec3(1, 0, 0)}}, table), std::invalid_argument);
  EXPECT_THROW(IdentifyBoundary({{Vec3(0, 0, 0), Vec3(1, 0, 0), Vec3(NAN, 0, 0)}}, table),
               std::invalid_argument);
  // Two circles through the same point meet in space: no view shows them generically.
  std::vector<Vec3> tilted;
  for (const Vec3& p : Circle(12, 1, 2)) tilted.push_back({p.x, 0.0, p.y});
  EXPECT_THROW(IdentifyBoundary({Circle(12, 1, 0), tilted}, table), std::invalid_argument);
}

// The stacked surface of every table row bounds the row's knot, named first, in the chirality
// its braid word draws (an upper-case letter a negative crossing), seen against the row's DT code.
TEST(Diagram, EveryRowsSurfaceBoundsItsKnot) {
  const TKnotTable& table = Table();
  for (int32_t r = 1; r <= table.count; r += SmallSample() ? 5 : 1) {
    const TKnotEntry& row = table.Row(r);
    SCOPED_TRACE(row.name);
    THeadlessWindow w;
    w.window.StartUp();
    w.window.ChooseKnot(r);
    const TBoundaryReport b = IdentifySurfaceBoundary(w.app.Seifert, table, ChosenKnot(w.app));
    ASSERT_TRUE(b.ok) << b.error;
    const TLaurent braid = JonesPolynomial(BraidClosureDiagram(row.braid));
    const TLaurent dt = DTCodeJones(row.dtCode);
    ASSERT_TRUE(braid == dt || braid == MirrorJones(dt));
    // Where Jones cannot tell the chirality, the signature of the braid surface does.
    const int32_t braidSignature = ComputeInvariants(row.braid).signature;
    const bool mirror = braid != dt || (braid == MirrorJones(braid) && braidSignature != 0 &&
                                        braidSignature == -DTCodeSignature(row.dtCode));
    // The chosen row comes first of those that share its polynomials (10_25 and 10_56).
    EXPECT_EQ(b.id.name, row.name + (mirror ? " (mirror image)" : ""));
    // The picture's Goeritz matrix and the surface's Seifert matrix see one knot.
    EXPECT_EQ(b.id.signature, ComputeInvariants(row.braid).signature);
  }
}
