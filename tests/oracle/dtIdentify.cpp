// For the Regina oracle: reads knots one a line, "dt [4;6;2]" (a DT code, read by our DT
// reader) or "pd 2 6 3 5 4 2 5 1 ..." (a PD code of a knot, four edges a crossing), and prints
// for each a line of JSON with what our diagram module makes of it (PD code, Jones and Alexander
// polynomials, signature, determinant), or the error.

#include <map>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "diagram/boundaryId.h"

namespace {

// KnotInfo's convention: the under strand runs a -> c; the over strand d -> b at a positive
// crossing, labels rising along the knot (and wrapping once).
TLinkDiagram PDDiagram(const std::vector<int32_t>& flat) {
  if (flat.empty() || flat.size() % 4 != 0) throw std::invalid_argument("a PD code is four edges a crossing");
  const size_t n = flat.size() / 4;
  TLinkDiagram d;
  std::map<int32_t, std::pair<int32_t, bool>> entering;  // edge -> (crossing, over)
  std::map<std::pair<int32_t, bool>, int32_t> leaving;   // (crossing, over) -> edge
  for (size_t k = 0; k < n; ++k) {
    const int32_t a = flat[4 * k], b = flat[4 * k + 1], c = flat[4 * k + 2], e = flat[4 * k + 3];
    const bool positive = b == e + 1 || e - b > 1;
    d.signs.push_back(positive ? 1 : -1);
    const int32_t ki = static_cast<int32_t>(k);
    entering[a] = {ki, false};
    leaving[{ki, false}] = c;
    entering[positive ? e : b] = {ki, true};
    leaving[{ki, true}] = positive ? b : e;
  }
  if (entering.size() != 2 * n) throw std::invalid_argument("an edge enters two crossings");
  std::vector<TPassage> comp;
  int32_t edge = entering.begin()->first;
  for (size_t step = 0; step <= 2 * n; ++step) {
    const auto at = entering.at(edge);
    comp.push_back({at.first, at.second});
    edge = leaving.at(at);
    if (edge == entering.begin()->first) break;
  }
  if (comp.size() != 2 * n) throw std::invalid_argument("not a knot's PD code");
  d.components.push_back(std::move(comp));
  return d;
}

}  // namespace

int main() {
  TKnotTable table;
  FillKnotTable(table);
  std::string line;
  while (std::getline(std::cin, line)) {
    nlohmann::json j;
    j["input"] = line;
    try {
      std::istringstream in(line);
      std::string kind, rest;
      in >> kind;
      TBoundaryId id;
      if (kind == "dt") {
        in >> rest;
        id = IdentifyDiagram(DTCodeDiagram(rest), table);
        j["dtJones"] = PolynomialText(DTCodeJones(rest), true);
      } else {
        std::vector<int32_t> flat;
        for (int32_t x; in >> x;) flat.push_back(x);
        id = IdentifyDiagram(PDDiagram(flat), table);
      }
      j["pd"] = id.pd;
      j["jones"] = id.jones;
      j["alexander"] = id.alexander;
      j["signature"] = id.signature;
      j["determinant"] = id.determinant;
    } catch (const std::exception& e) {
      j["error"] = e.what();
    }
    std::cout << j.dump() << '\n';
  }
  return 0;
}
