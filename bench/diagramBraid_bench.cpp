// Braid words of the 11- and 12-crossing census's diagrams: the time for all of them, beside
// the time to draw their DT codes (the reading every census knot needs anyway), and the sizes
// of the words as counters.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "diagram/diagramBraid.h"
#include "diagram/diagramCodes.h"

namespace {

// The census's best diagrams, empty when the data folder is not there.
std::vector<std::string> CensusCodes() {
  std::ifstream in(std::string(VELTRANE_DATA_DIR) + "/census_11_12.tsv");
  std::vector<std::string> codes;
  size_t column = 0;
  for (std::string line; std::getline(in, line);) {
    std::vector<std::string> cells;
    std::stringstream row(line);
    for (std::string cell; std::getline(row, cell, '\t');) cells.push_back(cell);
    if (!cells.empty() && cells[0] == "name")
      column = static_cast<size_t>(std::find(cells.begin(), cells.end(), "best_dt") - cells.begin());
    else if (column < cells.size())
      codes.push_back(cells[column]);
  }
  return codes;
}

void BM_CensusDTDrawings(benchmark::State& state) {
  const std::vector<std::string> codes = CensusCodes();
  if (codes.empty()) state.SkipWithError("no census_11_12.tsv in the data folder");
  for (auto _ : state)
    for (const std::string& code : codes) benchmark::DoNotOptimize(PDFromDT(code).size());
  state.counters["codes"] = static_cast<double>(codes.size());
}

void BM_CensusBraidWords(benchmark::State& state) {
  const std::vector<std::string> codes = CensusCodes();
  if (codes.empty()) state.SkipWithError("no census_11_12.tsv in the data folder");
  std::vector<TPDCode> diagrams;
  for (const std::string& code : codes) diagrams.push_back(PDFromDT(code));
  std::vector<TDiagramBraid> braids(diagrams.size());
  for (auto _ : state)
    for (size_t i = 0; i < diagrams.size(); ++i) braids[i] = BraidOfDiagram(diagrams[i]);
  double strands = 0, letters = 0, moves = 0, maxStrands = 0, maxLetters = 0, maxMoves = 0;
  for (const TDiagramBraid& b : braids) {
    strands += b.strands;
    letters += static_cast<double>(b.word.size());
    moves += b.moves;
    maxStrands = std::max(maxStrands, static_cast<double>(b.strands));
    maxLetters = std::max(maxLetters, static_cast<double>(b.word.size()));
    maxMoves = std::max(maxMoves, static_cast<double>(b.moves));
  }
  const double n = std::max<double>(1, static_cast<double>(braids.size()));
  state.counters["codes"] = static_cast<double>(braids.size());
  state.counters["strandsMean"] = strands / n;
  state.counters["strandsMax"] = maxStrands;
  state.counters["lettersMean"] = letters / n;
  state.counters["lettersMax"] = maxLetters;
  state.counters["movesMean"] = moves / n;
  state.counters["movesMax"] = maxMoves;
}

}  // namespace

BENCHMARK(BM_CensusDTDrawings)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CensusBraidWords)->Unit(benchmark::kMillisecond);
