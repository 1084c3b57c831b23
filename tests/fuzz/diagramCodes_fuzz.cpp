// Any text as a DT, PD or signed Gauss code (and as the "Code" field guesses its kind): the
// reader refuses it with std::invalid_argument, or
// draws a planar diagram that reads back as itself (a Gauss code: whose walk along each component
// meets the crossings over and under as the code says, one component a brace group, and whose
// code with over and under swapped draws the mirror image), whose Seifert circles fit together, and
// whose braid word closes as the same link on one strand per circle, and whose Diagram lay-out
// is a closed surface with one boundary curve per component of the code.
// The surface's Seifert form has rank 2 genus + components - pieces, the signature the Goeritz
// form gives, a unimodular intersection form for a knot, and one loop drawn per basis loop.

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "diagram/diagramBraid.h"
#include "diagram/diagramCodes.h"
#include "diagram/diagramPolynomials.h"
#include "diagram/diagramSignature.h"
#include "invariants/diagramForm.h"
#include "invariants/loopPaths.h"
#include "diagram/seifertCircles.h"
#include "fuzzSupport.h"
#include "knots/census.h"
#include "mesh/buildMesh.h"

namespace {

// Surfaces of codes this large are built; larger ones are only read, to keep a run short.
constexpr int32_t kMaxBuiltCrossings = 24;

// The components of an accepted Gauss code, each its numbers in order: the innermost brace
// groups, or the bare numbers.
std::vector<std::vector<int64_t>> GaussComponents(const std::string& code) {
  int32_t depth = 0, deepest = 0;
  for (char ch : code) {
    depth += ch == '{' ? 1 : ch == '}' ? -1 : 0;
    deepest = std::max(deepest, depth);
  }
  std::vector<std::vector<int64_t>> comps;
  if (deepest == 0) comps.emplace_back();
  depth = 0;
  for (size_t i = 0; i < code.size();) {
    if (code[i] == '{' && ++depth == deepest) comps.emplace_back();
    if (code[i] == '}') --depth;
    if (code[i] == '-' || (code[i] >= '0' && code[i] <= '9')) {
      size_t end = i + 1;
      while (end < code.size() && code[end] >= '0' && code[end] <= '9') ++end;
      comps.back().push_back(std::atoll(code.substr(i, end - i).c_str()));
      i = end;
    } else {
      ++i;
    }
  }
  return comps;
}

// The walk along each component, from the passage after the first (edges are numbered from the
// first passage's exit), passes the crossings as the code lists them: over where it is
// positive, the same crossing wherever it repeats a number, in any component. A component of
// two passages, both over, may be numbered from either (a PD code does not orient it otherwise):
// it is matched to the crossings the others name.
bool WalksAreTheGaussCode(const TLinkDiagram& link, const std::vector<std::vector<int64_t>>& comps) {
  if (link.components.size() != comps.size()) return false;
  auto twoOver = [&](size_t k) { return comps[k].size() == 2 && comps[k][0] > 0 && comps[k][1] > 0; };
  std::vector<size_t> start(comps.size(), 1);
  std::vector<std::pair<int64_t, int32_t>> named;  // |label| and crossing, in the other components
  for (size_t k = 0; k < comps.size(); ++k) {
    if (link.components[k].size() != comps[k].size()) return false;
    if (twoOver(k)) continue;
    for (size_t i = 0; i < comps[k].size(); ++i)
      named.push_back({std::llabs(comps[k][(i + 1) % comps[k].size()]), link.components[k][i].crossing});
  }
  for (size_t k = 0; k < comps.size(); ++k)
    if (twoOver(k))
      for (const auto& [label, crossing] : named)
        if (label == comps[k][0] && crossing == link.components[k][0].crossing) start[k] = 0;
  std::vector<std::pair<int64_t, TPassage>> all;
  for (size_t k = 0; k < comps.size(); ++k) {
    const size_t m = comps[k].size();
    for (size_t i = 0; i < m; ++i) all.push_back({comps[k][(i + start[k]) % m], link.components[k][i]});
  }
  for (size_t i = 0; i < all.size(); ++i) {
    if (all[i].second.over != (all[i].first > 0)) return false;
    for (size_t j = 0; j < i; ++j)
      if ((std::llabs(all[i].first) == std::llabs(all[j].first)) !=
          (all[i].second.crossing == all[j].second.crossing))
        return false;
  }
  return true;
}

// The code with over and under swapped everywhere.
std::string Negated(const std::string& code) {
  std::string out;
  for (size_t i = 0; i < code.size(); ++i) {
    if (code[i] == '-') continue;
    if (code[i] >= '0' && code[i] <= '9' && (i == 0 || code[i - 1] < '0' || code[i - 1] > '9'))
      if (i == 0 || code[i - 1] != '-') out += '-';
    out += code[i];
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TFuzzInput in(data, size);
  const uint8_t reader = in.Byte() % 3;
  const bool dt = reader == 0, gauss = reader == 2;
  const std::string code = in.Rest();
  // The same text as a knot's name, as "Find knot" and --knot read it: a census knot is found
  // under its own name, and only names of its form are found.
  if (const TCensusRow* knot = FindCensusKnot(code)) {
    Expect(FindCensusKnot(knot->name) == knot, "a census knot is not found by its own name");
    Expect(code.size() >= 5 && code.compare(0, 4, knot->name, 4) == 0, "a census knot found by another name");
  }
  // The window's one field tells the kinds apart by their form; a code of the kind it guesses
  // reads as that kind's reader reads it.
  const TCodeKind guess = GuessCodeKind(code);
  TPDCode pd;
  try {
    pd = ReadCode(code, guess);
  } catch (const std::invalid_argument&) {
  }
  if (guess == (dt ? TCodeKind::kDT : gauss ? TCodeKind::kGauss : TCodeKind::kPD)) {
    const TPDCode guessed = pd;
    pd.clear();
    try {
      pd = dt ? PDFromDT(code) : gauss ? PDFromGauss(code) : ReadPD(code);
    } catch (const std::invalid_argument&) {
    }
    Expect(pd == guessed, "the code reads otherwise through the field's guess of its kind");
  }
  pd.clear();
  try {
    pd = dt ? PDFromDT(code) : gauss ? PDFromGauss(code) : ReadPD(code);
  } catch (const std::invalid_argument&) {
    return 0;
  }
  Expect(!pd.empty(), "an accepted code without crossings");
  Expect(ReadPD(PDText(pd)) == pd, "the PD code does not read back as itself");
  if (dt) Expect(PDFromDT(code) == pd, "a second drawing of the DT code differs");
  const TLinkDiagram link = DiagramFromPD(pd);
  if (dt) Expect(link.Components() == 1, "a DT code drew more than one component");
  if (gauss) {
    Expect(PDFromGauss(code) == pd, "a second drawing of the Gauss code differs");
    const auto comps = GaussComponents(code);
    Expect(link.Components() == static_cast<int32_t>(comps.size()),
           "a Gauss code drew another number of components than its brace groups");
    Expect(WalksAreTheGaussCode(link, comps),
           "the link drawn from a Gauss code passes its crossings otherwise");
    // Over and under swapped draw the same curves, so every crossing changes sign: the mirror.
    TPDCode swapped;
    try {
      swapped = PDFromGauss(Negated(code));
    } catch (const std::invalid_argument& e) {
      Expect(false, std::string("the code with over and under swapped is refused: ") + e.what());
    }
    const TLinkDiagram mirror = DiagramFromPD(swapped);
    Expect(mirror.signs.size() == link.signs.size(), "the swapped code has other crossings");
    for (size_t c = 0; c < mirror.signs.size() && c < link.signs.size(); ++c)
      Expect(mirror.signs[c] == -link.signs[c], "swapping over and under does not mirror the drawing");
  }
  const TSeifertDiagram d = SeifertCircles(pd);
  Expect(d.nCrossings == static_cast<int32_t>(pd.size()), "circles of another crossing count");
  size_t visits = 0;
  for (const TSeifertCircle& c : d.circles) visits += c.crossings.size();
  Expect(visits == 2 * pd.size(), "the circles do not meet every crossing twice");
  for (const auto& cc : d.crossingCircles) Expect(cc[0] != cc[1] && cc[0] >= 0, "a crossing on one circle");
  const int32_t twice = d.nCrossings - static_cast<int32_t>(d.circles.size()) + 2 * d.pieces - d.components;
  Expect(twice >= 0 && twice % 2 == 0, "a canonical genus that is no whole number");

  // The braid word: refused past the letters' strands, else the same link on a strand a circle.
  const bool wide = d.circles.size() > static_cast<size_t>(kMaxBraidStrands);
  TDiagramBraid braid;
  try {
    braid = BraidOfDiagram(pd);
  } catch (const std::length_error&) {
    Expect(wide, "a braid word refused for a diagram of few circles");
  }
  Expect(!wide || braid.word.empty(), "a braid word on more strands than letters");
  if (!wide) {
    Expect(braid.strands == static_cast<int32_t>(d.circles.size()), "braid strands that are not the circles");
    Expect(braid.word.size() == pd.size() + 2 * static_cast<size_t>(braid.moves),
           "braid crossings that are not the diagram's and two a move");
    const TLinkDiagram closure = BraidClosureDiagram(braid.word);
    Expect(closure.Components() == link.Components(), "the braid closes with other components");
    try {
      if (d.nCrossings <= kMaxBuiltCrossings)
        Expect(JonesPolynomial(closure) == JonesPolynomial(link), "the braid closes as another link");
    } catch (const std::length_error&) {
    }  // a polynomial past its budget
  }
  if (d.nCrossings > kMaxBuiltCrossings) return 0;
  const TInvariants inv = ComputeDiagramInvariants(pd);
  Expect(inv.rank == 2 * inv.genus + inv.components - inv.surfaceParts,
         "a Seifert matrix of another rank than the surface's");
  Expect(inv.signature == DiagramSignature(link).signature,
         "the Seifert matrix's signature is not the Goeritz form's");
  if (inv.components == 1) {
    std::vector<std::vector<TPolynomial>> form(inv.seifert.size());
    for (size_t i = 0; i < form.size(); ++i)
      for (size_t j = 0; j < form.size(); ++j)
        form[i].push_back({inv.seifert[i][j] - inv.seifert[j][i]});
    const TPolynomial det = PolyDeterminant(form);
    Expect(det.size() == 1 && (det[0] == 1 || det[0] == -1),
           "the loops' intersection form of a knot's surface is not unimodular");
  }

  TSeiffert model;
  TSettings s = StartSettings();
  s.layout = kLayoutDiagram;
  try {
    LayoutDiagram(model, s, pd);
  } catch (const RangeError&) {
    return 0;  // a circle with more than 50 crossings
  }
  Expect(CheckLayoutInvariants(model).empty(), "lay-out invariants: " + CheckLayoutInvariants(model));
  BuildMesh(model, s, true, false);
  const TTopology t = Topology(model.mesh);
  Expect(t.openEdges == 0 && t.overfullEdges == 0, "the surface is not closed");
  Expect(t.Euler() == 2L * (model.nDisks - model.nTubes), "the closed surface has the wrong genus");
  Expect(model.nLinks == link.Components(), "boundary curves are not the code's components");
  const auto loops = LoopPaths(model, inv);
  Expect(loops.size() == static_cast<size_t>(inv.rank), "not every basis loop is drawn");
  return 0;
}
