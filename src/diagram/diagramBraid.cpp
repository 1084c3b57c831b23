#include "diagram/diagramBraid.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <utility>
#include <vector>

#include "core/disjointSets.h"
#include "diagram/diagramCodes.h"

namespace {

using TSlot = std::pair<int32_t, int32_t>;  // (crossing, slot)

// The diagram as a planar map: slots counter-clockwise, slot 0 the incoming under-strand, as in
// the PD code; the over-strand leaves through slot 1 on a right-handed crossing.
struct TMap {
  std::vector<std::array<TSlot, 4>> across;  // the (crossing, slot) at the other end of the edge
  std::vector<std::array<int8_t, 4>> out;    // 1 where the link leaves through the slot

  int32_t Crossings() const { return static_cast<int32_t>(across.size()); }
  int32_t OverIn(int32_t k) const { return out[static_cast<size_t>(k)][1] == 1 ? 3 : 1; }
  const TSlot& Across(const TSlot& s) const {
    return across[static_cast<size_t>(s.first)][static_cast<size_t>(s.second)];
  }
  bool Out(const TSlot& s) const {
    return out[static_cast<size_t>(s.first)][static_cast<size_t>(s.second)] == 1;
  }
  void Link(const TSlot& a, const TSlot& b) {
    across[static_cast<size_t>(a.first)][static_cast<size_t>(a.second)] = b;
    across[static_cast<size_t>(b.first)][static_cast<size_t>(b.second)] = a;
  }
};

// Faces and Seifert circles of the map. A side (k, i) is the edge leaving crossing k through
// slot i, seen with the face on its left.
struct TCells {
  std::vector<std::array<int32_t, 4>> face;    // of each side
  std::vector<std::array<int32_t, 4>> circle;  // of the edge at each slot
  std::vector<TSlot> circleStart;              // an exit on each circle
  int32_t nFaces = 0;
};

TCells Cells(const TMap& m) {
  const size_t n = m.across.size();
  TCells c;
  c.face.assign(n, {-1, -1, -1, -1});
  c.circle.assign(n, {-1, -1, -1, -1});
  auto faceAt = [&](const TSlot& s) -> int32_t& {
    return c.face[static_cast<size_t>(s.first)][static_cast<size_t>(s.second)];
  };
  auto circleAt = [&](const TSlot& s) -> int32_t& {
    return c.circle[static_cast<size_t>(s.first)][static_cast<size_t>(s.second)];
  };
  for (int32_t k = 0; k < m.Crossings(); ++k)
    for (int32_t i = 0; i < 4; ++i) {
      // A face is walked by turning left, one slot clockwise, at every crossing reached.
      for (TSlot s{k, i}; faceAt(s) < 0;) {
        faceAt(s) = c.nFaces;
        const TSlot end = m.Across(s);
        s = {end.first, (end.second + 3) % 4};
      }
      if (c.face[static_cast<size_t>(k)][static_cast<size_t>(i)] == c.nFaces) ++c.nFaces;
      // A circle follows the link and, smoothing each crossing, leaves it by the other
      // strand's exit.
      if (!m.Out({k, i}) || circleAt({k, i}) >= 0) continue;
      const int32_t id = static_cast<int32_t>(c.circleStart.size());
      c.circleStart.push_back({k, i});
      for (TSlot s{k, i}; circleAt(s) < 0;) {
        const TSlot end = m.Across(s);
        circleAt(s) = circleAt(end) = id;
        s = {end.first, end.second == 0 ? (m.OverIn(end.first) + 2) % 4 : 2};
      }
    }
  return c;
}

// Two sides of one face, on different circles, that both have the face on their left or both
// on their right: the circles run against each other there. False when no face has such a pair.
bool FindIncoherentPair(const TMap& m, const TCells& c, TSlot& a, TSlot& b) {
  // The first side of each face with the face on its left (index 1) and on its right (index 0).
  std::vector<std::array<TSlot, 2>> first(static_cast<size_t>(c.nFaces), {TSlot{-1, -1}, TSlot{-1, -1}});
  for (int32_t k = 0; k < m.Crossings(); ++k)
    for (int32_t i = 0; i < 4; ++i) {
      const TSlot s{k, i};
      TSlot& f = first[static_cast<size_t>(c.face[static_cast<size_t>(k)][static_cast<size_t>(i)])][m.Out(s) ? 1 : 0];
      if (f.first < 0) {
        f = s;
      } else if (c.circle[static_cast<size_t>(f.first)][static_cast<size_t>(f.second)] !=
                 c.circle[static_cast<size_t>(k)][static_cast<size_t>(i)]) {
        a = f;
        b = s;
        return true;
      }
    }
  return false;
}

// Vogel's move on sides a and b of one face, both with the face on the same side: a's edge is
// pushed across the face and over b's edge, which it then crosses twice, at X and Y.
//
//   a's ends  a'  <------------  k1           the face lies between the two edges; after the
//                 |          |                move a runs from k1 down through X, under b's
//   b's ends  k2 -Y----------X-> b'           edge, up through Y to a':
//                 |__________|
void VogelMove(TMap& m, const TSlot& a, const TSlot& b) {
  const TSlot aEnd = m.Across(a), bEnd = m.Across(b);
  const bool forward = m.Out(a);  // both edges run as their sides, else both against them
  const int32_t x = m.Crossings(), y = x + 1;
  m.across.resize(m.across.size() + 2);
  m.out.resize(m.out.size() + 2);
  // Arms of X and Y by compass point, E N W S (counter-clockwise); b's edge is the under-strand
  // running east when forward, so slot 0 is its entry in the west or the east.
  enum { kE, kN, kW, kS };
  const int32_t underIn = forward ? kW : kE;
  auto slot = [&](int32_t crossing, int32_t arm) { return TSlot{crossing, (arm - underIn + 4) % 4}; };
  auto setOut = [&](int32_t crossing, int32_t arm, bool leaves) {
    const TSlot s = slot(crossing, arm);
    m.out[static_cast<size_t>(s.first)][static_cast<size_t>(s.second)] = leaves ? 1 : 0;
  };
  for (int32_t c : {x, y}) {
    setOut(c, kE, forward);
    setOut(c, kW, !forward);
  }
  setOut(x, kS, forward);
  setOut(x, kN, !forward);
  setOut(y, kN, forward);
  setOut(y, kS, !forward);
  m.Link(a, slot(x, kN));
  m.Link(slot(x, kS), slot(y, kS));
  m.Link(slot(y, kN), aEnd);
  m.Link(b, slot(y, kW));
  m.Link(slot(y, kE), slot(x, kW));
  m.Link(slot(x, kE), bEnd);
}

[[noreturn]] void Broken(const std::string& what) {
  throw std::logic_error("BraidOfDiagram: " + what);
}

}  // namespace

TDiagramBraid BraidOfDiagram(const TPDCode& pd) {
  CheckPD(pd);
  const TOrientedPD oriented = OrientPD(pd);
  TMap m{oriented.across, oriented.out};
  TDiagramBraid result;
  TCells cells = Cells(m);
  const int32_t nCircles = static_cast<int32_t>(cells.circleStart.size());
  if (nCircles > kMaxBraidStrands)
    throw std::length_error("BraidOfDiagram: the diagram has " + std::to_string(nCircles) +
                            " Seifert circles, and a braid word has at most " +
                            std::to_string(kMaxBraidStrands) + " strands (letters A..Z)");
  result.strands = nCircles;

  // Moves, until no face lies between two circles that run against each other. Each move
  // makes one pair of circles fewer run against each other, so there are fewer moves than pairs.
  for (TSlot a, b; FindIncoherentPair(m, cells, a, b);) {
    if (++result.moves > nCircles * (nCircles - 1) / 2) Broken("the moves do not end");
    VogelMove(m, a, b);
    cells = Cells(m);
    if (static_cast<int32_t>(cells.circleStart.size()) != nCircles) Broken("a move changed the circles");
  }

  // Regions of the smoothed diagram: a crossing joins its corner between the entries with the
  // corner between the exits. The circles and regions of each piece form a path.
  const int32_t n = m.Crossings();
  TDisjointSets regionSets(static_cast<size_t>(cells.nFaces));
  for (int32_t k = 0; k < n; ++k) {
    const std::array<int32_t, 4>& f = cells.face[static_cast<size_t>(k)];
    if (m.OverIn(k) == 3)
      regionSets.Join(f[3], f[1]);
    else
      regionSets.Join(f[0], f[2]);
  }
  std::vector<std::array<int32_t, 2>> sides(static_cast<size_t>(nCircles));  // left, right region
  std::vector<std::vector<int32_t>> circlesAt(static_cast<size_t>(cells.nFaces));
  for (int32_t c = 0; c < nCircles; ++c) {
    const TSlot s = cells.circleStart[static_cast<size_t>(c)];
    const TSlot e = m.Across(s);
    sides[static_cast<size_t>(c)] = {
        regionSets.Find(cells.face[static_cast<size_t>(s.first)][static_cast<size_t>(s.second)]),
        regionSets.Find(cells.face[static_cast<size_t>(e.first)][static_cast<size_t>(e.second)])};
    for (int32_t r : sides[static_cast<size_t>(c)]) circlesAt[static_cast<size_t>(r)].push_back(c);
  }
  // Strand positions: each path walked from an end region, the pieces one after another.
  std::vector<int32_t> position(static_cast<size_t>(nCircles), -1);
  std::vector<int32_t> order;  // circles by position
  for (int32_t r0 = 0; r0 < cells.nFaces; ++r0) {
    if (circlesAt[static_cast<size_t>(r0)].size() != 1 || position[static_cast<size_t>(circlesAt[static_cast<size_t>(r0)][0])] >= 0)
      continue;
    int32_t region = r0, c = circlesAt[static_cast<size_t>(r0)][0];
    const bool fromRight = sides[static_cast<size_t>(c)][1] == r0;
    while (c >= 0) {
      const std::array<int32_t, 2>& lr = sides[static_cast<size_t>(c)];
      if ((lr[1] == region) != fromRight) Broken("two nested circles turn against each other");
      position[static_cast<size_t>(c)] = static_cast<int32_t>(order.size());
      order.push_back(c);
      region = lr[0] == region ? lr[1] : lr[0];
      const std::vector<int32_t>& next = circlesAt[static_cast<size_t>(region)];
      if (next.size() > 2) Broken("a region between more than two circles");
      c = next.size() == 2 ? next[next[0] == c ? 1 : 0] : -1;
      if (c >= 0 && position[static_cast<size_t>(c)] >= 0) Broken("the circles nest in a loop");
    }
  }
  if (static_cast<int32_t>(order.size()) != nCircles) Broken("circles outside every path");

  // The crossings along each circle, in the link's direction, and the gap between strands
  // each crossing sits in.
  std::vector<int32_t> gap(static_cast<size_t>(n));
  for (int32_t k = 0; k < n; ++k) {
    const int32_t p = position[static_cast<size_t>(cells.circle[static_cast<size_t>(k)][0])];
    const int32_t q = position[static_cast<size_t>(cells.circle[static_cast<size_t>(k)][static_cast<size_t>(m.OverIn(k))])];
    if (std::abs(p - q) != 1) Broken("a crossing between strands that are not neighbours");
    gap[static_cast<size_t>(k)] = std::min(p, q);
  }
  std::vector<std::vector<int32_t>> along(static_cast<size_t>(nCircles));  // by position
  for (int32_t c = 0; c < nCircles; ++c) {
    std::vector<int32_t>& seq = along[static_cast<size_t>(position[static_cast<size_t>(c)])];
    TSlot s = cells.circleStart[static_cast<size_t>(c)];
    do {
      const TSlot end = m.Across(s);
      seq.push_back(end.first);
      s = {end.first, end.second == 0 ? (m.OverIn(end.first) + 2) % 4 : 2};
    } while (s != cells.circleStart[static_cast<size_t>(c)]);
  }
  // Each circle's crossings from a cut made by one ray from the axis: a strand's sequence starts
  // at the first crossing that the strand below it, read from its own cut, shares with it.
  for (int32_t p = 1; p < nCircles; ++p) {
    const std::vector<int32_t>& below = along[static_cast<size_t>(p - 1)];
    std::vector<int32_t>& seq = along[static_cast<size_t>(p)];
    const auto shared = std::find_if(below.begin(), below.end(), [&](int32_t k) { return gap[static_cast<size_t>(k)] == p - 1; });
    if (shared == below.end()) continue;  // the first strand of another piece
    std::rotate(seq.begin(), std::find(seq.begin(), seq.end(), *shared), seq.end());
  }
  // The word: a crossing is next once it is next on both its strands.
  std::vector<size_t> head(static_cast<size_t>(nCircles), 0);
  result.word.reserve(static_cast<size_t>(n));
  for (bool progress = true; progress;) {
    progress = false;
    for (int32_t p = 0; p + 1 < nCircles; ++p) {
      const std::vector<int32_t>& lo = along[static_cast<size_t>(p)];
      const std::vector<int32_t>& hi = along[static_cast<size_t>(p + 1)];
      size_t& hl = head[static_cast<size_t>(p)];
      size_t& hh = head[static_cast<size_t>(p + 1)];
      while (hl < lo.size() && hh < hi.size() && lo[hl] == hi[hh]) {
        const int32_t k = lo[hl];
        const bool negative = m.out[static_cast<size_t>(k)][1] != 1;
        result.word.push_back(static_cast<char>((negative ? 'A' : 'a') + p));
        ++hl;
        ++hh;
        progress = true;
      }
    }
  }
  if (static_cast<int32_t>(result.word.size()) != n) Broken("the crossings admit no order around the axis");
  return result;
}
