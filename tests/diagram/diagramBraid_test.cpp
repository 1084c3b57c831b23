// Braid words read off link diagrams. Regina checks the words' knots as well
// (tests/oracle/braids_test.py); here every code of the table and the census, links, split
// diagrams and the strand limit.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "diagram/diagramBraid.h"
#include "diagram/diagramCodes.h"
#include "diagram/diagramPolynomials.h"
#include "diagram/seifertCircles.h"
#include "knots/braidWord.h"
#include "knots/knotTable.h"

namespace {

// The census's DT codes: every best diagram of the data folder's file when it is there, else
// the sample kept with the oracle.
std::vector<std::string> CensusCodes() {
  std::string path = std::string(VELTRANE_DATA_DIR) + "/census_11_12.tsv";
  std::string column = "best_dt";
  if (!std::filesystem::exists(path)) {
    path = VELTRANE_CENSUS_SAMPLE;
    column = "dtCode";
  }
  std::ifstream in(path);
  std::vector<std::string> codes;
  size_t index = 0;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> cells;
    std::stringstream row(line);
    for (std::string cell; std::getline(row, cell, '\t');) cells.push_back(cell);
    if (cells.empty()) continue;
    if (cells[0] == "name") {
      index = static_cast<size_t>(std::find(cells.begin(), cells.end(), column) - cells.begin());
      continue;
    }
    if (index < cells.size()) codes.push_back(cells[index]);
  }
  return codes;
}

// The word's closure is the diagram's link, chirality and orientation included (the Jones
// polynomial tells a chiral knot from its mirror image and sees linking numbers), on one
// strand per Seifert circle, with two crossings more per move, and the braid parser reads it
// on as many strands.
void ExpectBraidOfDiagram(const TPDCode& pd) {
  const TDiagramBraid b = BraidOfDiagram(pd);
  const TSeifertDiagram circles = SeifertCircles(pd);
  EXPECT_EQ(b.strands, static_cast<int32_t>(circles.circles.size()));
  EXPECT_EQ(b.word.size(), pd.size() + 2 * static_cast<size_t>(b.moves));
  const TLinkDiagram closure = BraidClosureDiagram(b.word);
  const TLinkDiagram diagram = DiagramFromPD(pd);
  EXPECT_EQ(closure.Components(), diagram.Components());
  EXPECT_EQ(JonesPolynomial(closure), JonesPolynomial(diagram)) << b.word;
  std::vector<int32_t> gen, power;
  int32_t nStrands = 0, nCross = 0;
  ParseBraidWord(b.word, gen, power, nStrands, nCross);
  EXPECT_EQ(nCross, static_cast<int32_t>(b.word.size()));
  if (circles.pieces == 1) {
    EXPECT_EQ(nStrands, b.strands);
  }
}

// n copies of a PD code side by side, each with its own edge labels: a split diagram.
TPDCode SplitCopies(const TPDCode& pd, int32_t n, const TPDCode& last = {}) {
  TPDCode all;
  int32_t offset = 0;
  for (int32_t c = 0; c <= n; ++c) {
    const TPDCode& part = c < n ? pd : last;
    int32_t top = 0;
    for (auto x : part) {
      for (int32_t& e : x) {
        top = std::max(top, e);
        e += offset;
      }
      all.push_back(x);
    }
    offset += top;
  }
  return all;
}

}  // namespace

TEST(DiagramBraid, EveryTableAndCensusCodeClosesAsItsKnot) {
  TKnotTable table;
  FillKnotTable(table);
  for (int32_t r = 1; r <= table.count; ++r) {
    SCOPED_TRACE(table.Row(r).name);
    ExpectBraidOfDiagram(PDFromDT(table.Row(r).dtCode));
    ExpectBraidOfDiagram(PDFromDT(table.Row(r).diagramCode));
  }
  const std::vector<std::string> census = CensusCodes();
  EXPECT_GE(census.size(), 60u);
  for (const std::string& code : census) {
    SCOPED_TRACE(code);
    ExpectBraidOfDiagram(PDFromDT(code));
  }
}

// Links, kinks, split diagrams; the strand limit of the letters A..Z.
TEST(DiagramBraid, LinksSplitDiagramsAndTheStrandLimit) {
  const TPDCode hopf = ReadPD("X[4,1,3,2] X[2,3,1,4]");
  const TPDCode trefoil = ReadPD("X[1,5,2,4] X[3,1,4,6] X[5,3,6,2]");
  const TPDCode figureEight = PDFromDT("4 6 8 2");
  for (const TPDCode& pd :
       {hopf, ReadPD("X[1,1,2,2]"), ReadPD("X[6,1,7,2] X[8,3,5,4] X[2,5,3,6] X[4,7,1,8]"),
        SplitCopies(trefoil, 1, figureEight), SplitCopies(hopf, 2, trefoil),
        PDCode(BraidClosureDiagram("AbAbcDcDeF")), PDCode(BraidClosureDiagram("ABCDabcd"))})
    ExpectBraidOfDiagram(pd);
  // 12 Hopf links and a figure eight: 27 circles, the most the letters give.
  const TDiagramBraid widest = BraidOfDiagram(SplitCopies(hopf, 12, figureEight));
  EXPECT_EQ(widest.strands, kMaxBraidStrands);
  EXPECT_NE(widest.word.find_first_of("zZ"), std::string::npos);
  EXPECT_THROW(BraidOfDiagram(SplitCopies(hopf, 13, trefoil)), std::length_error);
  EXPECT_THROW(BraidOfDiagram({{1, 2, 3, 4}}), std::invalid_argument);
  EXPECT_THROW(BraidOfDiagram({}), std::invalid_argument);
}
