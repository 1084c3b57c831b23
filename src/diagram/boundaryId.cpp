#include "diagram/boundaryId.h"

#include <map>
#include <mutex>
#include <stdexcept>

#include "diagram/diagramCodes.h"
#include "knots/census.h"

TLinkDiagram DTCodeDiagram(const std::string& code) { return DiagramFromPD(PDFromDT(code)); }

namespace {

struct TRowInvariants {
  TLaurent jones;      // of the DT code's diagram
  TLaurent alexander;  // of the braid closure (no chirality)
};

std::mutex cacheMutex;
std::map<std::string, TLaurent> dtJonesCache;
std::map<std::string, TLaurent> braidAlexanderCache;
std::map<std::string, TDiagramForm> dtFormCache;

TLaurent BraidAlexander(const std::string& word) {
  {
    std::lock_guard<std::mutex> lock(cacheMutex);
    auto it = braidAlexanderCache.find(word);
    if (it != braidAlexanderCache.end()) return it->second;
  }
  TLinkDiagram d = BraidClosureDiagram(word);
  SimplifyDiagram(d);
  TLaurent a = AlexanderPolynomial(d);
  std::lock_guard<std::mutex> lock(cacheMutex);
  braidAlexanderCache[word] = a;
  return a;
}

// The knot of one component alone, by name.
std::string ComponentName(const TLinkDiagram& d, size_t i, const TKnotTable& table) {
  TLinkDiagram one;
  std::vector<bool> keep(d.signs.size(), false);
  std::vector<int32_t> count(d.signs.size(), 0);
  for (const TPassage& p : d.components[i]) ++count[static_cast<size_t>(p.crossing)];
  std::vector<int32_t> renumber(d.signs.size(), -1);
  for (size_t k = 0; k < d.signs.size(); ++k)
    if (count[k] == 2) {
      renumber[k] = static_cast<int32_t>(one.signs.size());
      one.signs.push_back(d.signs[k]);
    }
  std::vector<TPassage> comp;
  for (const TPassage& p : d.components[i])
    if (renumber[static_cast<size_t>(p.crossing)] >= 0)
      comp.push_back({renumber[static_cast<size_t>(p.crossing)], p.over});
  if (comp.empty())
    one.freeCircles = 1;
  else
    one.components.push_back(std::move(comp));
  return IdentifyDiagram(one, table).name;
}

// A row whose polynomials are the boundary's, and whether the boundary is its mirror image.
struct TCandidate {
  std::string row;
  bool mirror = false;
};

// Census knots with the boundary's polynomials: the same or the mirrored Jones polynomial
// (kept as text, so that no state sum runs here), and the same Alexander polynomial, of their
// census diagrams.
void CensusCandidates(const TBoundaryId& id, std::vector<TCandidate>& out) {
  // Census knots have 11 or 12 crossings, so their Jones polynomials span 11 or 12 (in t).
  const int64_t span = static_cast<int64_t>(id.jonesPoly.coef.size()) - 1;
  if (span > 2 * 12) return;
  const TLaurent mirrored = MirrorJones(id.jonesPoly);
  const bool symmetric = mirrored == id.jonesPoly;
  const std::string jones = PolynomialText(id.jonesPoly, true);
  const std::string mirroredJones = symmetric ? jones : PolynomialText(mirrored, true);
  for (int32_t i = 0; i < kCensusRowCount; ++i) {
    const bool same = jones == kCensusJones[i];
    if (!same && mirroredJones != kCensusJones[i]) continue;
    const TCensusRow& row = kCensusRows[i];
    if (AlexanderPolynomial(DTCodeDiagram(row.dtCode)) != id.alexanderPoly) continue;
    bool isMirror = !same;
    // As for table rows: a Jones polynomial that reads the same at 1/t leaves it to the
    // signature.
    if (symmetric) {
      const int32_t rowSignature = DTCodeSignature(row.dtCode);
      isMirror = rowSignature != 0 && id.signature == -rowSignature;
    }
    out.push_back({row.name, isMirror});
  }
}

}  // namespace

TLaurent DTCodeJones(const std::string& dtCode) {
  {
    std::lock_guard<std::mutex> lock(cacheMutex);
    auto it = dtJonesCache.find(dtCode);
    if (it != dtJonesCache.end()) return it->second;
  }
  TLaurent j = JonesPolynomial(DTCodeDiagram(dtCode));
  std::lock_guard<std::mutex> lock(cacheMutex);
  dtJonesCache[dtCode] = j;
  return j;
}

namespace {

// The Goeritz form of a DT code's diagram; nullptr when our reader cannot draw the code.
const TDiagramForm* DTCodeForm(const std::string& dtCode) {
  {
    std::lock_guard<std::mutex> lock(cacheMutex);
    auto it = dtFormCache.find(dtCode);
    if (it != dtFormCache.end()) return it->second.determinant < 0 ? nullptr : &it->second;
  }
  TDiagramForm form;
  try {
    form = DiagramSignature(DTCodeDiagram(dtCode));
  } catch (const std::exception&) {
    form = TDiagramForm{};
    form.determinant = -1;  // a code our reader cannot draw tells nothing
  }
  std::lock_guard<std::mutex> lock(cacheMutex);
  // Map nodes stay put, so the pointer outlives later insertions.
  const TDiagramForm& kept = dtFormCache.emplace(dtCode, form).first->second;
  return kept.determinant < 0 ? nullptr : &kept;
}

}  // namespace

int32_t DTCodeSignature(const std::string& dtCode) {
  const TDiagramForm* form = DTCodeForm(dtCode);
  return form ? form->signature : 0;
}

TBoundaryId IdentifyDiagram(TLinkDiagram diagram, const TKnotTable& table, std::string_view preferred) {
  SimplifyDiagram(diagram);
  if (diagram.Crossings() > kMaxNamedCrossings)
    throw std::length_error("IdentifyDiagram: more than 100 crossings are left after simplification");
  TBoundaryId id;
  id.components = diagram.Components();
  id.crossings = diagram.Crossings();
  id.pd = PDText(PDCode(diagram));
  id.jonesPoly = JonesPolynomial(diagram);
  id.jones = PolynomialText(id.jonesPoly, true);
  const TDiagramForm form = DiagramSignature(diagram);
  id.signature = form.signature;
  id.determinant = form.determinant.get_str();
  if (id.components != 1) {
    // In the order the components came in (the link lines'), whatever simplification freed.
    for (int32_t n = 0; n < id.components; ++n) {
      const size_t at = ComponentAt(diagram, n);
      id.componentNames.push_back(at < diagram.components.size() ? ComponentName(diagram, at, table)
                                                                 : "unknot");
    }
    for (int32_t i = 0; i < id.components; ++i)
      for (int32_t j = i + 1; j < id.components; ++j)
        id.linkingNumbers.push_back(LinkingNumber(diagram, ComponentAt(diagram, i), ComponentAt(diagram, j)));
    id.name = "not in the table";
    return id;
  }
  id.alexanderPoly = AlexanderPolynomial(diagram);
  id.alexander = PolynomialText(id.alexanderPoly, false);
  // The Goeritz matrix and the Alexander matrix are two roads to the one number.
  if (KnotDeterminant(id.alexanderPoly) != form.determinant)
    throw std::logic_error("IdentifyDiagram: the Goeritz and Alexander determinants differ");
  if (id.jonesPoly == TLaurent{0, {mpz_class(1)}} && id.alexanderPoly == TLaurent{0, {mpz_class(1)}}) {
    id.name = "unknot";
    return id;
  }
  const TLaurent mirrored = MirrorJones(id.jonesPoly);
  std::vector<TCandidate> candidates;
  for (int32_t r = 1; r <= table.count; ++r) {
    const TKnotEntry& row = table.Row(r);
    // Equal or mirrored Jones polynomials agree at t = -1, the determinant: the Goeritz
    // matrix's is far cheaper than the row's state sum and rules out most rows.
    if (const TDiagramForm* rowForm = DTCodeForm(row.dtCode);
        rowForm && rowForm->determinant != form.determinant)
      continue;
    TLaurent rowJones;
    try {
      rowJones = DTCodeJones(row.dtCode);
    } catch (const std::exception&) {
      continue;  // a row whose code draws nothing cannot be matched
    }
    bool same = rowJones == id.jonesPoly;
    const bool mirror = rowJones == mirrored;
    if (!same && !mirror) continue;
    if (BraidAlexander(row.braid) != id.alexanderPoly) continue;
    // A Jones polynomial that reads the same at 1/t cannot tell a knot from its mirror image
    // (9_42, 10_125); a signature other than 0 can.
    if (same && mirror) {
      const int32_t rowSignature = DTCodeSignature(row.dtCode);
      if (rowSignature != 0 && id.signature == -rowSignature) same = false;
    }
    candidates.push_back({row.name, !same});
  }
  CensusCandidates(id, candidates);
  if (candidates.empty()) {
    id.name = "not in the table";
    return id;
  }
  // Rows with the same polynomials cannot be told apart here: the knot the user chose comes
  // first when it is one of them, else the table's order (table rows before census knots).
  size_t first = 0;
  for (size_t i = 0; i < candidates.size(); ++i)
    if (!preferred.empty() && candidates[i].row == preferred) {
      first = i;
      break;
    }
  const auto named = [](const TCandidate& c) { return c.row + (c.mirror ? " (mirror image)" : ""); };
  id.row = candidates[first].row;
  id.mirror = candidates[first].mirror;
  id.name = named(candidates[first]);
  for (size_t i = 0; i < candidates.size(); ++i)
    if (i != first) id.alternatives.push_back(named(candidates[i]));
  return id;
}

TBoundaryId IdentifyBoundary(const std::vector<std::vector<Vec3>>& lines, const TKnotTable& table,
                             std::string_view preferred) {
  return IdentifyDiagram(ProjectLines(lines), table, preferred);
}
