#include "texCoords.h"

#include <algorithm>
#include <cmath>
#include <span>

namespace {

constexpr int8_t kAssigned = 0, kOnFront = 1, kUnreached = 2;

// The mesh as far as its counts and storage agree: every reference is checked before use.
class TTexMesh {
 public:
  explicit TTexMesh(TMesh& mesh)
      : mesh(mesh),
        nVerts(std::clamp<int64_t>(mesh.nVerts, 0, static_cast<int64_t>(mesh.verts.size()))),
        nEdges(std::clamp<int64_t>(mesh.nEdges, 0, static_cast<int64_t>(mesh.edges.size()))) {}

  int64_t VertexCount() const { return nVerts; }
  bool Valid(int64_t v) const { return v >= 0 && v < nVerts; }
  TVertex& V(int64_t v) { return mesh.verts[static_cast<size_t>(v)]; }

  std::span<const int32_t> Fan(int32_t v) const {
    const TVertex& x = mesh.verts[static_cast<size_t>(v)];
    if (x.nEdges <= 0 || x.fanStart < 0 ||
        int64_t{x.fanStart} + x.nEdges > static_cast<int64_t>(mesh.fans.size()))
      return {};
    return VEdges(mesh, v);
  }

  // The other end of edge e at v, or kNone.
  int32_t Other(int32_t e, int32_t v) const {
    if (e < 0 || e >= nEdges) return kNone;
    const TEdge& edge = mesh.edges[static_cast<size_t>(e)];
    const int32_t o = edge.a == v ? edge.b : edge.b == v ? edge.a : kNone;
    return Valid(o) ? o : kNone;
  }

  const TEdge* Edge(int32_t e) const {
    return e >= 0 && e < nEdges ? &mesh.edges[static_cast<size_t>(e)] : nullptr;
  }

 private:
  TMesh& mesh;
  int64_t nVerts, nEdges;
};

struct TScales {
  double u, v, base;
};

// Coordinates of a new front vertex from the assigned edges next to it: the point nearest to
// it on the edges W-X that run from an assigned neighbour W to the next assigned vertex X around
// W's fan, one step either way.
void AssignFromFront(TTexMesh& m, int32_t vi, const TScales& scale) {
  TVertex& v = m.V(vi);
  const Vec3 p = v.pos;
  double best = 1e11;
  bool found = false;
  int32_t nearestW = kNone;
  double nearestWDist = 0;
  for (int32_t e : m.Fan(vi)) {
    const int32_t wi = m.Other(e, vi);
    if (wi == kNone || m.V(wi).texState != kAssigned) continue;
    const TVertex& w = m.V(wi);
    const double dw = (p - w.pos).Length();
    if (nearestW == kNone || dw < nearestWDist) {
      nearestW = wi;
      nearestWDist = dw;
    }
    const std::span<const int32_t> fan = m.Fan(wi);
    const auto n = static_cast<int64_t>(fan.size());
    const int64_t start = std::find(fan.begin(), fan.end(), e) - fan.begin();
    if (start == n) continue;
    for (int64_t dir : {1, -1}) {
      for (int64_t step = 1; step < n; ++step) {
        const int32_t xi = m.Other(fan[static_cast<size_t>(((start + dir * step) % n + n) % n)], wi);
        if (xi == kNone || m.V(xi).texState != kAssigned) continue;
        const TVertex& x = m.V(xi);
        const Vec3 wx = x.pos - w.pos;
        double den = wx.LengthSq();
        if (den == 0) den = 0.00000001;
        double b = std::clamp((p - w.pos).Dot(wx) / den, 0.0, 1.0);
        const double d = (p - (w.pos + wx * b)).Length();
        if (d < best) {
          best = d;
          found = true;
          // Across the place where the coordinate along a link starts again, blending would
          // squeeze the whole picture into one face: take one end instead.
          if (std::abs(w.texU - x.texU) > 1) b = b >= 0.5 ? 1 : 0;
          v.texU = (1 - b) * w.texU + b * x.texU;
          v.texV = (1 - b) * w.texV + b * x.texV + d * scale.v;
        }
        break;
      }
    }
  }
  // No assigned edge next to it (a lone neighbour on the old front): continue from the nearest
  // assigned neighbour rather than leave the vertex at (0, 0), inside the band.
  if (!found && nearestW != kNone) {
    v.texU = m.V(nearestW).texU;
    v.texV = m.V(nearestW).texV + nearestWDist * scale.v;
  }
}

}  // namespace

void ComputeTexCoords(TMesh& mesh, const std::vector<TLinkLine>& links, int32_t nLinks,
                      const TTexCoordParams& params) {
  TTexMesh m(mesh);
  for (int64_t i = 0; i < m.VertexCount(); ++i) {
    m.V(i).texU = 0;
    m.V(i).texV = 0;
    m.V(i).texState = kUnreached;
  }
  // A band of width 0 shows nothing: every vertex lies outside it (the scales would divide by
  // the width).
  if (params.width <= 0) {
    for (int64_t i = 0; i < m.VertexCount(); ++i) {
      m.V(i).texV = kOutsideBand;
      m.V(i).texState = kAssigned;
    }
    return;
  }
  const double w = params.width;
  const double stretch = std::max(1, params.stretch);  // 0 would repeat the picture endlessly
  const double aspect = params.texWidth > 0 && params.texHeight > 0
                            ? static_cast<double>(params.texWidth) / params.texHeight
                            : 1.0;
  const TScales scale{aspect / (w / 100) / (stretch / 10), 100 / w, -1 - params.offset / w};

  std::vector<int32_t> front, next;
  const size_t lineCount = std::min(links.size(), static_cast<size_t>(std::max(nLinks, 0)));
  for (size_t l = 0; l < lineCount; ++l) {
    const TLinkLine& line = links[l];
    const size_t n = std::min(line.verts.size(), static_cast<size_t>(std::max(line.nVerts, 0)));
    double arc = 0;
    int32_t previous = kNone;
    for (size_t k = 0; k < n; ++k) {
      const int32_t vi = line.verts[k];
      if (!m.Valid(vi)) continue;
      if (previous != kNone) arc += (m.V(vi).pos - m.V(previous).pos).Length();
      previous = vi;
      TVertex& v = m.V(vi);
      v.texU = arc * scale.u;
      v.texV = scale.base;
      if (v.texState != kAssigned) front.push_back(vi);
      v.texState = kAssigned;
    }
  }

  while (!front.empty()) {
    next.clear();
    for (int32_t vi : front)
      for (int32_t e : m.Fan(vi)) {
        const int32_t o = m.Other(e, vi);
        if (o != kNone && m.V(o).texState == kUnreached) {
          m.V(o).texState = kOnFront;
          next.push_back(o);
        }
      }
    for (int32_t vi : front) m.V(vi).texState = kAssigned;
    front.swap(next);
    for (int32_t vi : front) AssignFromFront(m, vi, scale);
  }

  if (!params.hideCracks) return;
  // Faces at the seam where texU jumps back to 0 would show the whole picture squeezed; their
  // starting vertex is moved far outside the band.
  for (int64_t i = 0; i < m.VertexCount(); ++i) {
    const auto vi = static_cast<int32_t>(i);
    for (int32_t e : m.Fan(vi)) {
      const TEdge* edge = m.Edge(e);
      if (!edge || edge->a != vi || !m.Valid(edge->b)) continue;
      if (std::abs(m.V(vi).texU - m.V(edge->b).texU) > 10) {
        m.V(vi).texV = kOutsideBand;
        break;
      }
    }
  }
}
