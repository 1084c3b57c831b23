// For the oracle scripts: reads knots one a line, "dt [4;6;2]" or "dt 4 6 2" (a DT code),
// "pd [[1,5,2,4],...]" (a PD code) or "gauss -1 3 -2 1 -3 2" (a signed Gauss code), and prints for each a line of JSON with what our readers and
// diagram module make of it: the PD code as drawn, before any simplification, and the Jones and
// Alexander polynomials, signature and determinant, the Seifert form of the diagram's
// canonical surface, and the braid word read off the diagram with its strands and moves; or
// the error.

#include <iostream>
#include <string>

#include <nlohmann/json.hpp>

#include "diagram/boundaryId.h"
#include "diagram/diagramBraid.h"
#include "diagram/diagramCodes.h"
#include "invariants/diagramForm.h"

int main() {
  TKnotTable table;
  FillKnotTable(table);
  std::string line;
  while (std::getline(std::cin, line)) {
    nlohmann::json j;
    j["input"] = line;
    const size_t space = line.find(' ');
    const std::string kind = line.substr(0, space);
    const std::string code = space == std::string::npos ? "" : line.substr(space + 1);
    try {
      const TPDCode pd = kind == "pd" ? ReadPD(code) : kind == "gauss" ? PDFromGauss(code) : PDFromDT(code);
      j["drawn"] = PDText(pd);
      const TBoundaryId id = IdentifyDiagram(DiagramFromPD(pd), table);
      j["jones"] = id.jones;
      j["alexander"] = id.alexander;
      j["signature"] = id.signature;
      j["determinant"] = id.determinant;
      if (kind == "dt") j["dtJones"] = PolynomialText(DTCodeJones(code), true);
      try {
        const TDiagramBraid braid = BraidOfDiagram(pd);
        j["braid"] = braid.word;
        j["braidStrands"] = braid.strands;
        j["braidMoves"] = braid.moves;
      } catch (const std::length_error& e) {
        j["braidError"] = e.what();  // more circles than letters; the diagram's answers stand
      }
      // The canonical surface's Seifert form, as the Diagram lay-out's invariants give it.
      try {
        const TInvariants s = ComputeDiagramInvariants(pd);
        j["surface"] = {{"alexander", s.alexanderDecimal}, {"lowest2", s.alexanderLowest2},
                        {"signature", s.signature}, {"genus", s.genus}, {"rank", s.rank},
                        {"determinant", s.determinantDecimal}, {"seifert", s.seifert}};
      } catch (const std::exception& e) {
        j["surface"] = {{"error", e.what()}};
      }
    } catch (const std::exception& e) {
      j["error"] = e.what();
    }
    std::cout << j.dump() << '\n';
  }
  return 0;
}
