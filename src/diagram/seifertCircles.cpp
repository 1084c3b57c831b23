#include "diagram/seifertCircles.h"

#include <algorithm>
#include <stdexcept>

#include "core/disjointSets.h"
#include "diagram/diagramCodes.h"

namespace {

// The region/circle tree of one piece, walked from `root`: distances in steps region-circle.
std::vector<int32_t> TreeDistances(const TSeifertDiagram& d, int32_t nRegions, int32_t root) {
  std::vector<std::vector<int32_t>> circlesAt(static_cast<size_t>(nRegions));
  for (size_t c = 0; c < d.circles.size(); ++c) {
    circlesAt[static_cast<size_t>(d.circles[c].leftRegion)].push_back(static_cast<int32_t>(c));
    circlesAt[static_cast<size_t>(d.circles[c].rightRegion)].push_back(static_cast<int32_t>(c));
  }
  std::vector<int32_t> dist(static_cast<size_t>(nRegions), -1);
  std::vector<int32_t> queue{root};
  dist[static_cast<size_t>(root)] = 0;
  for (size_t q = 0; q < queue.size(); ++q) {
    const int32_t r = queue[q];
    for (int32_t c : circlesAt[static_cast<size_t>(r)]) {
      const TSeifertCircle& circle = d.circles[static_cast<size_t>(c)];
      const int32_t other = circle.leftRegion == r ? circle.rightRegion : circle.leftRegion;
      if (dist[static_cast<size_t>(other)] < 0) {
        dist[static_cast<size_t>(other)] = dist[static_cast<size_t>(r)] + 1;
        queue.push_back(other);
      }
    }
  }
  return dist;
}

}  // namespace

int32_t TSeifertDiagram::CanonicalGenus() const {
  return (nCrossings - static_cast<int32_t>(circles.size()) + 2 * pieces - components) / 2;
}

TSeifertDiagram SeifertCircles(const TPDCode& pd) {
  CheckPD(pd);
  const TOrientedPD m = OrientPD(pd);
  const int32_t n = static_cast<int32_t>(pd.size());
  TSeifertDiagram d;
  d.nCrossings = n;
  d.components = DiagramFromPD(pd).Components();
  for (int32_t k = 0; k < n; ++k) d.signs.push_back(m.out[static_cast<size_t>(k)][1] == 1 ? 1 : -1);
  auto across = [&](int32_t k, int32_t i) {
    return m.across[static_cast<size_t>(k)][static_cast<size_t>(i)];
  };

  // Faces, each walked by turning one slot clockwise at every crossing reached.
  d.face.assign(static_cast<size_t>(n), {-1, -1, -1, -1});
  std::vector<int32_t> faceSize;
  for (int32_t k = 0; k < n; ++k)
    for (int32_t i = 0; i < 4; ++i) {
      if (d.face[static_cast<size_t>(k)][static_cast<size_t>(i)] >= 0) continue;
      faceSize.push_back(0);
      int32_t x = k, s = i;
      while (d.face[static_cast<size_t>(x)][static_cast<size_t>(s)] < 0) {
        d.face[static_cast<size_t>(x)][static_cast<size_t>(s)] = d.nFaces;
        ++faceSize.back();
        const auto [x2, s2] = across(x, s);
        x = x2;
        s = (s2 + 3) % 4;
      }
      ++d.nFaces;
    }

  // Pieces of the diagram.
  TDisjointSets pieceSets(static_cast<size_t>(n));
  for (int32_t k = 0; k < n; ++k)
    for (int32_t i = 0; i < 4; ++i) pieceSets.Join(k, across(k, i).first);
  std::vector<int32_t> pieceId(static_cast<size_t>(n), -1);
  d.piece.assign(static_cast<size_t>(n), 0);
  for (int32_t k = 0; k < n; ++k) {
    int32_t& id = pieceId[static_cast<size_t>(pieceSets.Find(k))];
    if (id < 0) id = d.pieces++;
    d.piece[static_cast<size_t>(k)] = id;
  }

  // Smoothing a crossing joins the corner between its two exits with the corner between its two
  // entries: on a right-handed crossing the corners at slots 1-2 and 3-0, else 2-3 and 0-1.
  TDisjointSets regionSets(static_cast<size_t>(d.nFaces));
  std::vector<int32_t> entryCorner(static_cast<size_t>(n));
  for (int32_t k = 0; k < n; ++k) {
    const bool right = d.signs[static_cast<size_t>(k)] > 0;
    const std::array<int32_t, 4>& f = d.face[static_cast<size_t>(k)];
    entryCorner[static_cast<size_t>(k)] = right ? f[3] : f[0];
    regionSets.Join(right ? f[1] : f[2], entryCorner[static_cast<size_t>(k)]);
  }
  std::vector<int32_t> regionId(static_cast<size_t>(d.nFaces), -1);
  int32_t nRegions = 0;
  d.faceRegion.assign(static_cast<size_t>(d.nFaces), -1);
  for (int32_t f = 0; f < d.nFaces; ++f) {
    int32_t& id = regionId[static_cast<size_t>(regionSets.Find(f))];
    if (id < 0) id = nRegions++;
    d.faceRegion[static_cast<size_t>(f)] = id;
  }
  for (int32_t k = 0; k < n; ++k)
    d.crossingRegion.push_back(d.faceRegion[static_cast<size_t>(entryCorner[static_cast<size_t>(k)])]);

  // Circles: arriving through slot 0 the circle leaves by the over-strand's exit, arriving on the
  // over-strand it leaves through slot 2.
  std::vector<std::array<uint8_t, 4>> walked(static_cast<size_t>(n), {0, 0, 0, 0});
  d.crossingCircles.assign(static_cast<size_t>(n), {-1, -1});
  for (int32_t k0 = 0; k0 < n; ++k0)
    for (int32_t i0 = 0; i0 < 4; ++i0) {
      if (m.out[static_cast<size_t>(k0)][static_cast<size_t>(i0)] != 1 ||
          walked[static_cast<size_t>(k0)][static_cast<size_t>(i0)])
        continue;
      TSeifertCircle circle;
      const int32_t id = static_cast<int32_t>(d.circles.size());
      circle.leftRegion = d.faceRegion[static_cast<size_t>(d.face[static_cast<size_t>(k0)][static_cast<size_t>(i0)])];
      const auto [kb, ib] = across(k0, i0);
      circle.rightRegion = d.faceRegion[static_cast<size_t>(d.face[static_cast<size_t>(kb)][static_cast<size_t>(ib)])];
      int32_t k = k0, i = i0;
      while (!walked[static_cast<size_t>(k)][static_cast<size_t>(i)]) {
        walked[static_cast<size_t>(k)][static_cast<size_t>(i)] = 1;
        const auto [k2, i2] = across(k, i);
        const int32_t overOut = d.signs[static_cast<size_t>(k2)] > 0 ? 1 : 3;
        const int32_t leave = i2 == 0 ? overOut : 2;
        circle.crossings.push_back(k2);
        circle.edgeSlots.push_back(leave);
        std::array<int32_t, 2>& cc = d.crossingCircles[static_cast<size_t>(k2)];
        (cc[0] < 0 ? cc[0] : cc[1]) = id;
        k = k2;
        i = leave;
      }
      d.circles.push_back(std::move(circle));
    }

  // Nesting, piece by piece, from the region whose farthest circle is nearest.
  std::vector<int32_t> regionPiece(static_cast<size_t>(nRegions), -1);
  for (int32_t k = 0; k < n; ++k)
    for (int32_t i = 0; i < 4; ++i)
      regionPiece[static_cast<size_t>(d.faceRegion[static_cast<size_t>(d.face[static_cast<size_t>(k)][static_cast<size_t>(i)])])] =
          d.piece[static_cast<size_t>(k)];
  d.regionParent.assign(static_cast<size_t>(nRegions), -1);
  d.outerFace.assign(static_cast<size_t>(d.pieces), -1);
  std::vector<int32_t> dist(static_cast<size_t>(nRegions), -1);
  for (int32_t p = 0; p < d.pieces; ++p) {
    int32_t root = -1, best = 0;
    for (int32_t r = 0; r < nRegions; ++r) {
      if (regionPiece[static_cast<size_t>(r)] != p) continue;
      const std::vector<int32_t> from = TreeDistances(d, nRegions, r);
      const int32_t far = *std::max_element(from.begin(), from.end());
      if (root < 0 || far < best) {
        root = r;
        best = far;
      }
    }
    const std::vector<int32_t> from = TreeDistances(d, nRegions, root);
    for (int32_t r = 0; r < nRegions; ++r)
      if (regionPiece[static_cast<size_t>(r)] == p) dist[static_cast<size_t>(r)] = from[static_cast<size_t>(r)];
    for (int32_t f = 0; f < d.nFaces; ++f)
      if (d.faceRegion[static_cast<size_t>(f)] == root &&
          (d.outerFace[static_cast<size_t>(p)] < 0 ||
           faceSize[static_cast<size_t>(f)] > faceSize[static_cast<size_t>(d.outerFace[static_cast<size_t>(p)])]))
        d.outerFace[static_cast<size_t>(p)] = f;
  }
  // Circles in order of their distance from the outside, so a parent comes before its children.
  std::vector<int32_t> order(d.circles.size());
  for (size_t c = 0; c < order.size(); ++c) order[c] = static_cast<int32_t>(c);
  auto outerDist = [&](int32_t c) {
    const TSeifertCircle& x = d.circles[static_cast<size_t>(c)];
    return std::min(dist[static_cast<size_t>(x.leftRegion)], dist[static_cast<size_t>(x.rightRegion)]);
  };
  std::stable_sort(order.begin(), order.end(), [&](int32_t a, int32_t b) { return outerDist(a) < outerDist(b); });
  for (int32_t c : order) {
    TSeifertCircle& x = d.circles[static_cast<size_t>(c)];
    const bool leftInside = dist[static_cast<size_t>(x.leftRegion)] > dist[static_cast<size_t>(x.rightRegion)];
    if (x.leftRegion == x.rightRegion || dist[static_cast<size_t>(x.leftRegion)] < 0)
      throw std::logic_error("SeifertCircles: a circle does not separate two regions");
    x.innerRegion = leftInside ? x.leftRegion : x.rightRegion;
    const int32_t outer = leftInside ? x.rightRegion : x.leftRegion;
    x.counterClockwise = leftInside;
    x.parent = d.regionParent[static_cast<size_t>(outer)];
    x.depth = x.parent < 0 ? 0 : d.circles[static_cast<size_t>(x.parent)].depth + 1;
    d.regionParent[static_cast<size_t>(x.innerRegion)] = c;
  }
  return d;
}
