// The Seifert form of a diagram's canonical surface, held against the braid surface's (a closed
// braid's diagram has the braid surface as its canonical surface), the knot table's genus and
// the signatures known for torus knots and a few others. Regina checks the Alexander
// polynomial of every table row (tests/oracle/boundary_test.py).

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string>

#include "core/rangeError.h"
#include "diagram/diagramCodes.h"
#include "diagram/linkDiagram.h"
#include "helpers.h"
#include "invariants/diagramForm.h"
#include "invariants/seifertForm.h"

namespace {

TInvariants OfWord(const std::string& word) {
  return ComputeDiagramInvariants(PDCode(BraidClosureDiagram(word)));
}

TInvariants OfRow(const TKnotEntry& row) {
  return ComputeDiagramInvariants(PDFromDT(row.diagramCode));
}

// det(V - V^T): the intersection form of a surface with one boundary curve is unimodular.
int64_t IntersectionDeterminant(const TInvariants& r) {
  std::vector<std::vector<TPolynomial>> m(r.seifert.size());
  for (size_t i = 0; i < m.size(); ++i)
    for (size_t j = 0; j < m.size(); ++j) m[i].push_back({r.seifert[i][j] - r.seifert[j][i]});
  const TPolynomial det = PolyDeterminant(m);
  return det.empty() ? 0 : det[0];
}

// Each loop's walk goes from disk to disk through bands that join them.
void ExpectWalksClose(const TInvariants& r, const TPDCode& pd, const std::string& what) {
  const TSeifertDiagram d = SeifertCircles(pd);
  ASSERT_EQ(r.loopSteps.size(), static_cast<size_t>(r.rank)) << what;
  for (const auto& walk : r.loopSteps) {
    ASSERT_FALSE(walk.empty()) << what;
    for (size_t s = 0; s < walk.size(); ++s) {
      const TLoopStep& from = walk[(s + walk.size() - 1) % walk.size()];
      const auto& circles = d.crossingCircles.at(static_cast<size_t>(walk[s].band - 1));
      const int32_t a = circles[0] + 1, b = circles[1] + 1;
      EXPECT_TRUE((a == from.disk && b == walk[s].disk) || (b == from.disk && a == walk[s].disk))
          << what << ": band " << walk[s].band;
    }
  }
}

}  // namespace

TEST(DiagramForm, ClosedBraidsHaveTheBraidSurfacesInvariants) {
  int32_t compared = 0, sameLoops = 0;
  for (const std::string& word : RandomWords(2207, SmallSample() ? 60 : 400, 1, 14)) {
    // A strand no letter touches is a circle of its own, which a PD code does not hold.
    int32_t highest = 0, used = 0;
    for (char c : word) highest = std::max(highest, std::tolower(c) - 'a' + 1);
    for (int32_t g = 1; g <= highest; ++g)
      used += word.find(static_cast<char>('a' + g - 1)) != std::string::npos ||
              word.find(static_cast<char>('A' + g - 1)) != std::string::npos;
    if (used < highest) continue;
    ++compared;
    const TInvariants braid = ComputeInvariants(word);
    const TPDCode pd = PDCode(BraidClosureDiagram(word));
    const TInvariants diagram = ComputeDiagramInvariants(pd);
    EXPECT_EQ(diagram.genus, braid.genus) << word;
    EXPECT_EQ(diagram.rank, braid.rank) << word;
    EXPECT_EQ(diagram.signature, braid.signature) << word;
    EXPECT_EQ(diagram.alexanderText, braid.alexanderText) << word;
    EXPECT_EQ(diagram.determinantDecimal, braid.determinantDecimal) << word;
    if (braid.components == 1 && braid.surfaceParts == 1)
      EXPECT_EQ(std::abs(IntersectionDeterminant(diagram)), 1) << word;
    ExpectWalksClose(diagram, pd, word);
    // Where both roads chose loops through the same bands (the same loops, each perhaps the
    // other way round), the two matrices agree entry by entry, up to those signs.
    std::vector<size_t> same(diagram.loopSteps.size(), braid.loopSteps.size());
    auto bands = [](const std::vector<TLoopStep>& walk) {
      std::vector<int32_t> b;
      for (const TLoopStep& step : walk) b.push_back(step.band);
      std::sort(b.begin(), b.end());
      return b;
    };
    for (size_t i = 0; i < same.size(); ++i)
      for (size_t j = 0; j < braid.loopSteps.size(); ++j)
        if (bands(diagram.loopSteps[i]) == bands(braid.loopSteps[j])) same[i] = j;
    if (std::count(same.begin(), same.end(), braid.loopSteps.size()) > 0) continue;
    ++sameLoops;
    std::vector<int64_t> sign(same.size(), 0);
    for (size_t start = 0; start < same.size(); ++start) {
      if (sign[start] != 0) continue;
      sign[start] = 1;
      std::vector<size_t> queue{start};
      for (size_t q = 0; q < queue.size(); ++q)
        for (size_t j = 0; j < same.size(); ++j) {
          const size_t i = queue[q];
          const int64_t product = diagram.seifert[i][j] * braid.seifert[same[i]][same[j]] +
                                  diagram.seifert[j][i] * braid.seifert[same[j]][same[i]];
          if (sign[j] == 0 && product != 0) {
            sign[j] = sign[queue[q]] * (product > 0 ? 1 : -1);
            queue.push_back(j);
          }
        }
    }
    for (size_t i = 0; i < same.size(); ++i)
      for (size_t j = 0; j < same.size(); ++j)
        EXPECT_EQ(diagram.seifert[i][j], sign[i] * sign[j] * braid.seifert[same[i]][same[j]])
            << word;
  }
  EXPECT_GE(compared, SmallSample() ? 15 : 100);
  EXPECT_GE(sameLoops, compared / 4);
}

TEST(DiagramForm, TableRowsHaveTheKnotsGenusAndMirrorsTheOppositeSignature) {
  const TKnotTable& table = Table();
  for (int32_t i = 1; i <= table.count; ++i) {
    const TKnotEntry& row = table.Row(i);
    const TPDCode pd = PDFromDT(row.diagramCode);
    const TInvariants r = ComputeDiagramInvariants(pd);
    EXPECT_EQ(r.genus, row.genus) << row.name;
    EXPECT_EQ(r.rank, 2 * r.genus) << row.name;
    EXPECT_EQ(std::abs(IntersectionDeterminant(r)), 1) << row.name;
    // |Delta(-1)| is odd for a knot, and the signature is 0 mod 4 exactly when it is 1 mod 4.
    ASSERT_EQ(r.determinant % 2, 1) << row.name;
    EXPECT_EQ(r.signature % 4 == 0, r.determinant % 4 == 1) << row.name;
    const TInvariants mirror = ComputeDiagramInvariants(PDCode(MirrorDiagram(DiagramFromPD(pd))));
    EXPECT_EQ(mirror.signature, -r.signature) << row.name;
    EXPECT_EQ(mirror.alexanderText, r.alexanderText) << row.name;
    ExpectWalksClose(r, pd, row.name);
  }
  EXPECT_EQ(std::abs(OfRow(table.Row(table.Find("8_19"))).signature), 6);
  EXPECT_EQ(std::abs(OfRow(table.Row(table.Find("10_124"))).signature), 8);
}

TEST(DiagramForm, TorusKnotsHaveTheirKnownSignatures) {
  // T(2, n): |signature| n - 1; T(3, 4): 6; T(3, 5): 8; T(4, 5): 8 (and upper case letters, the
  // drawing's negative crossings, give the positive sign).
  EXPECT_EQ(OfWord("AAA").signature, 2);
  EXPECT_EQ(OfWord("aaaaaaa").signature, -6);
  EXPECT_EQ(OfWord("ABABABAB").signature, 6);
  EXPECT_EQ(OfWord("ABABABABAB").signature, 8);
  EXPECT_EQ(OfWord("ABCABCABCABCABC").signature, 8);
  EXPECT_EQ(OfWord("AAA").seifert, (std::vector<std::vector<int64_t>>{{1, -1}, {0, 1}}));
}

TEST(DiagramForm, TooManyLoopsIsARangeError) {
  EXPECT_THROW(OfWord(std::string(kMaxSeifertLoops + 2, 'A')), RangeError);
  EXPECT_NO_THROW(OfWord(std::string(kMaxSeifertLoops + 1, 'A')));
}
