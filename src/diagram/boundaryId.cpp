#include "diagram/boundaryId.h"

#include <map>
#include <mutex>
#include <stdexcept>

#include "surface/dtCode.h"

namespace {

// The components of the code's diagram, walked from arm to arm, with the crossings' signs;
// `over(crossing, arm)` says whether the strand that enters there passes over.
template <typename Over>
TLinkDiagram WalkDT(const std::vector<TCrossing>& crossings, const char* who, Over&& over) {
  TLinkDiagram d;
  const size_t n = crossings.size();
  for (const TCrossing& c : crossings) d.signs.push_back(c.sign >= 0 ? 1 : -1);
  auto arm = [&](int32_t p) -> const TArm& {
    return crossings.at(static_cast<size_t>(p / 4)).arms.at(static_cast<size_t>(p % 4));
  };
  std::vector<bool> walked(4 * n, false);
  for (size_t start = 0; start < 4 * n; ++start) {
    if (walked[start] || !arm(static_cast<int32_t>(start)).out) continue;
    std::vector<TPassage> comp;
    int32_t out = static_cast<int32_t>(start);
    while (!walked[static_cast<size_t>(out)]) {
      walked[static_cast<size_t>(out)] = true;
      const int32_t in = arm(out).link;
      if (in < 0 || in >= static_cast<int32_t>(4 * n))
        throw std::logic_error(std::string(who) + ": unlinked arm");
      const int32_t c = in / 4, i = in % 4;
      comp.push_back({c, over(c, i)});
      out = 4 * c + (i + 2) % 4;
    }
    d.components.push_back(std::move(comp));
  }
  return d;
}

// The diagram the code draws, as a Gauss code: the strand through arms 0 and 2 is called over.
// That choice is free here, for the Kauffman bracket sees only the signs and which ends each
// smoothing joins.
TLinkDiagram DTDiagram(const std::string& code) {
  return WalkDT(DTCrossings(code), "DTDiagram", [](int32_t, int32_t i) { return i % 2 == 0; });
}

}  // namespace

TLinkDiagram DTCodeDiagram(const std::string& code) {
  const std::vector<TCrossing> crossings = DTCrossings(code);
  const size_t n = crossings.size();
  // Which strand is under follows from the sign and the arms' cyclic order: the over strand
  // enters three arms on from where the under strand enters at a positive crossing, one arm on at
  // a negative one. Were the order the other way round, every crossing would change over and
  // under and the plane would be reflected: the same knot.
  std::vector<int32_t> underIn(n, -1);
  for (size_t k = 0; k < n; ++k) {
    const TCrossing& c = crossings[k];
    int32_t in[2] = {-1, -1};  // the in-arm of the strand through arms 0, 2 and of 1, 3
    for (int32_t i = 0; i < 4; ++i)
      if (!c.arms.at(static_cast<size_t>(i)).out) in[i % 2] = i;
    if (in[0] < 0 || in[1] < 0 || c.sign == 0)
      throw std::invalid_argument("DTCodeDiagram: a crossing the code does not orient");
    const int32_t step = c.sign > 0 ? 3 : 1;
    underIn[k] = (in[0] + step) % 4 == in[1] ? in[0] : in[1];
  }
  return WalkDT(crossings, "DTCodeDiagram", [&](int32_t crossing, int32_t i) {
    return i % 2 != underIn[static_cast<size_t>(crossing)] % 2;
  });
}

namespace {

struct TRowInvariants {
  TLaurent jones;      // of the DT code's diagram
  TLaurent alexander;  // of the braid closure (no chirality)
};

std::mutex cacheMutex;
std::map<std::string, TLaurent> dtJonesCache;
std::map<std::string, TLaurent> braidAlexanderCache;
std::map<std::string, int32_t> dtSignatureCache;

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

}  // namespace

TLaurent DTCodeJones(const std::string& dtCode) {
  {
    std::lock_guard<std::mutex> lock(cacheMutex);
    auto it = dtJonesCache.find(dtCode);
    if (it != dtJonesCache.end()) return it->second;
  }
  TLaurent j = JonesPolynomial(DTDiagram(dtCode));
  std::lock_guard<std::mutex> lock(cacheMutex);
  dtJonesCache[dtCode] = j;
  return j;
}

int32_t DTCodeSignature(const std::string& dtCode) {
  {
    std::lock_guard<std::mutex> lock(cacheMutex);
    auto it = dtSignatureCache.find(dtCode);
    if (it != dtSignatureCache.end()) return it->second;
  }
  int32_t signature = 0;
  try {
    signature = DiagramSignature(DTCodeDiagram(dtCode)).signature;
  } catch (const std::exception&) {
    // a code our reader cannot draw tells nothing
  }
  std::lock_guard<std::mutex> lock(cacheMutex);
  dtSignatureCache[dtCode] = signature;
  return signature;
}

TBoundaryId IdentifyDiagram(TLinkDiagram diagram, const TKnotTable& table) {
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
    for (size_t i = 0; i < diagram.components.size(); ++i)
      id.componentNames.push_back(ComponentName(diagram, i, table));
    for (int32_t i = 0; i < diagram.freeCircles; ++i) id.componentNames.push_back("unknot");
    for (size_t i = 0; i < static_cast<size_t>(id.components); ++i)
      for (size_t j = i + 1; j < static_cast<size_t>(id.components); ++j)
        id.linkingNumbers.push_back(LinkingNumber(diagram, i, j));
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
  for (int32_t r = 1; r <= table.count; ++r) {
    const TKnotEntry& row = table.Row(r);
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
    const std::string name = row.name + (!same ? " (mirror image)" : "");
    if (!id.row.empty()) {
      id.alternatives.push_back(name);
      continue;
    }
    id.row = row.name;
    id.mirror = !same;
    id.name = name;
  }
  if (id.row.empty()) id.name = "not in the table";
  return id;
}

TBoundaryId IdentifyBoundary(const std::vector<std::vector<Vec3>>& lines, const TKnotTable& table) {
  return IdentifyDiagram(ProjectLines(lines), table);
}
