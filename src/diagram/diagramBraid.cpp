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

[[noreturn]] void Broken(const std::string& what) {
  throw std::logic_error("BraidOfDiagram: " + what);
}

// The diagram as a planar map: slots counter-clockwise, slot 0 the incoming under-strand, as in
// the PD code; the over-strand leaves through slot 1 on a right-handed crossing.
struct TMap {
  std::vector<std::array<TSlot, 4>> across;  // the (crossing, slot) at the other end of the edge
  std::vector<std::array<int8_t, 4>> out;    // 1 where the link leaves through the slot

  int32_t Crossings() const { return static_cast<int32_t>(across.size()); }
  bool Negative(int32_t k) const { return out[static_cast<size_t>(k)][1] != 1; }
  int32_t OverIn(int32_t k) const { return Negative(k) ? 1 : 3; }
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
  // The next exit along a Seifert circle after exit s: smoothing the crossing reached, the
  // circle leaves it by the other strand's exit.
  TSlot NextOnCircle(const TSlot& s) const {
    const TSlot end = Across(s);
    return {end.first, end.second == 0 ? (OverIn(end.first) + 2) % 4 : 2};
  }
};

// Faces and Seifert circles of the map. A side (k, i) is the edge leaving crossing k through
// slot i, seen with the face on its left.
struct TCells {
  std::vector<std::array<int32_t, 4>> face;    // of each side
  std::vector<std::array<int32_t, 4>> circle;  // of the edge at each slot
  std::vector<TSlot> circleStart;              // an exit on each circle
  int32_t nFaces = 0;
  int32_t FaceAt(const TSlot& s) const {
    return face[static_cast<size_t>(s.first)][static_cast<size_t>(s.second)];
  }
  int32_t CircleAt(const TSlot& s) const {
    return circle[static_cast<size_t>(s.first)][static_cast<size_t>(s.second)];
  }
  int32_t Circles() const { return static_cast<int32_t>(circleStart.size()); }
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
      if (faceAt({k, i}) < 0) {
        for (TSlot s{k, i}; faceAt(s) < 0;) {
          faceAt(s) = c.nFaces;
          const TSlot end = m.Across(s);
          s = {end.first, (end.second + 3) % 4};
        }
        ++c.nFaces;
      }
      if (!m.Out({k, i}) || circleAt({k, i}) >= 0) continue;
      const int32_t id = c.Circles();
      c.circleStart.push_back({k, i});
      for (TSlot s{k, i}; circleAt(s) < 0; s = m.NextOnCircle(s)) circleAt(s) = circleAt(m.Across(s)) = id;
    }
  return c;
}

// Two sides of one face, on different circles, that both have the face on their left or both
// on their right: the circles run against each other there. False when no face has such a pair.
bool FindIncoherentPair(const TMap& m, const TCells& c, TSlot& a, TSlot& b) {
  // The first side of each face with the face on its right (index 0) and on its left (1).
  std::vector<std::array<TSlot, 2>> first(static_cast<size_t>(c.nFaces), {TSlot{-1, -1}, TSlot{-1, -1}});
  for (int32_t k = 0; k < m.Crossings(); ++k)
    for (int32_t i = 0; i < 4; ++i) {
      const TSlot s{k, i};
      TSlot& f = first[static_cast<size_t>(c.FaceAt(s))][m.Out(s) ? 1 : 0];
      if (f.first < 0) {
        f = s;
      } else if (c.CircleAt(f) != c.CircleAt(s)) {
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

// The strand of each circle of a closed braid: the regions of the smoothed diagram and its
// circles form a path in each piece, walked from an end, the pieces one after another. Every
// circle of a path must turn as the first does.
std::vector<int32_t> StrandPositions(const TMap& m, const TCells& cells) {
  // A crossing joins its corner between the entries with the corner between the exits.
  TDisjointSets regionSets(static_cast<size_t>(cells.nFaces));
  for (int32_t k = 0; k < m.Crossings(); ++k) {
    const std::array<int32_t, 4>& f = cells.face[static_cast<size_t>(k)];
    if (m.Negative(k))
      regionSets.Join(f[0], f[2]);
    else
      regionSets.Join(f[3], f[1]);
  }
  const size_t nCircles = cells.circleStart.size();
  std::vector<std::array<int32_t, 2>> sides(nCircles);  // the regions on the left, on the right
  std::vector<std::vector<int32_t>> circlesAt(static_cast<size_t>(cells.nFaces));
  for (size_t c = 0; c < nCircles; ++c) {
    const TSlot s = cells.circleStart[c];
    sides[c] = {regionSets.Find(cells.FaceAt(s)), regionSets.Find(cells.FaceAt(m.Across(s)))};
    for (int32_t r : sides[c]) circlesAt[static_cast<size_t>(r)].push_back(static_cast<int32_t>(c));
  }
  std::vector<int32_t> position(nCircles, -1);
  int32_t placed = 0;
  for (int32_t end = 0; end < cells.nFaces; ++end) {
    const std::vector<int32_t>& first = circlesAt[static_cast<size_t>(end)];
    if (first.size() != 1 || position[static_cast<size_t>(first[0])] >= 0) continue;
    int32_t c = first[0], region = end;
    const bool fromRight = sides[static_cast<size_t>(c)][1] == end;
    while (c >= 0) {
      if (position[static_cast<size_t>(c)] >= 0) Broken("the circles nest in a loop");
      const std::array<int32_t, 2>& lr = sides[static_cast<size_t>(c)];
      if ((lr[1] == region) != fromRight) Broken("two nested circles turn against each other");
      position[static_cast<size_t>(c)] = placed++;
      region = lr[fromRight ? 0 : 1];
      const std::vector<int32_t>& next = circlesAt[static_cast<size_t>(region)];
      if (next.size() > 2) Broken("a region between more than two circles");
      c = next.size() == 2 ? next[next[0] == c ? 1 : 0] : -1;
    }
  }
  if (placed != static_cast<int32_t>(nCircles)) Broken("circles on no path");
  return position;
}

// The word of a closed braid: each strand's crossings in the link's direction from a cut, the
// cuts made by one ray from the axis, merged in the order the ray sweeps them.
std::string ReadWord(const TMap& m, const TCells& cells, const std::vector<int32_t>& position) {
  const size_t nStrands = position.size();
  std::vector<int32_t> gap(static_cast<size_t>(m.Crossings()));  // the lower strand's position
  for (int32_t k = 0; k < m.Crossings(); ++k) {
    const std::array<int32_t, 4>& circles = cells.circle[static_cast<size_t>(k)];
    const int32_t p = position[static_cast<size_t>(circles[0])];
    const int32_t q = position[static_cast<size_t>(circles[static_cast<size_t>(m.OverIn(k))])];
    if (std::abs(p - q) != 1) Broken("a crossing between strands that are not neighbours");
    gap[static_cast<size_t>(k)] = std::min(p, q);
  }
  std::vector<std::vector<int32_t>> along(nStrands);  // crossings met, by strand
  for (size_t c = 0; c < nStrands; ++c) {
    std::vector<int32_t>& seq = along[static_cast<size_t>(position[c])];
    TSlot s = cells.circleStart[c];
    do {
      seq.push_back(m.Across(s).first);
      s = m.NextOnCircle(s);
    } while (s != cells.circleStart[c]);
  }
  // The ray crosses the sector of the annulus between two strands that ends at the lower
  // strand's first crossing with the upper one, so the upper strand's cut lies just before it.
  for (size_t p = 1; p < nStrands; ++p) {
    const std::vector<int32_t>& below = along[p - 1];
    const auto shared = std::find_if(below.begin(), below.end(), [&](int32_t k) {
      return gap[static_cast<size_t>(k)] == static_cast<int32_t>(p) - 1;
    });
    if (shared == below.end()) continue;  // the first strand of another piece
    std::rotate(along[p].begin(), std::find(along[p].begin(), along[p].end(), *shared), along[p].end());
  }
  // A crossing is next once it is next on both its strands.
  std::string word;
  word.reserve(static_cast<size_t>(m.Crossings()));
  std::vector<size_t> head(nStrands, 0);
  for (bool progress = true; progress;) {
    progress = false;
    for (size_t p = 0; p + 1 < nStrands; ++p) {
      const std::vector<int32_t>& lo = along[p];
      const std::vector<int32_t>& hi = along[p + 1];
      for (; head[p] < lo.size() && head[p + 1] < hi.size() && lo[head[p]] == hi[head[p + 1]];
           ++head[p], ++head[p + 1], progress = true)
        word.push_back(static_cast<char>((m.Negative(lo[head[p]]) ? 'A' : 'a') + p));
    }
  }
  if (static_cast<int32_t>(word.size()) != m.Crossings()) Broken("the crossings admit no order around the axis");
  return word;
}

}  // namespace

TDiagramBraid BraidOfDiagram(const TPDCode& pd) {
  CheckPD(pd);
  const TOrientedPD oriented = OrientPD(pd);
  TMap m{oriented.across, oriented.out};
  TCells cells = Cells(m);
  const int32_t nCircles = cells.Circles();
  if (nCircles > kMaxBraidStrands)
    throw std::length_error("BraidOfDiagram: the diagram has " + std::to_string(nCircles) +
                            " Seifert circles, and a braid word has at most " +
                            std::to_string(kMaxBraidStrands) + " strands (letters A..Z)");
  TDiagramBraid result;
  result.strands = nCircles;
  // Moves until no face lies between two circles that run against each other. Each move leaves
  // one pair of circles fewer that turn against each other, so there are fewer moves than pairs.
  for (TSlot a, b; FindIncoherentPair(m, cells, a, b);) {
    if (++result.moves > nCircles * (nCircles - 1) / 2) Broken("the moves do not end");
    VogelMove(m, a, b);
    cells = Cells(m);
    if (cells.Circles() != nCircles) Broken("a move changed the circles");
  }
  result.word = ReadWord(m, cells, StrandPositions(m, cells));
  return result;
}
