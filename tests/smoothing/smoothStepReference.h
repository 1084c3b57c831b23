#pragma once
// The smoothing iteration written the plain way: every knot vertex against every later vertex,
// every knot move against every link segment. The product's SmoothStep must make the same
// moves; this copy stays simple so that it is obviously right. The segment test itself is the
// product's: what is compared is which segments each move is tested against.

#include <algorithm>
#include <cmath>
#include <vector>

#include "smoothing/dynamicSmoothing.h"

namespace reference {

inline double IntPow(double x, int32_t n) {
  double r = 1;
  for (int32_t i = 0; i < std::abs(n); ++i) r *= x;
  return n < 0 ? 1 / r : r;
}

inline Vec3 LimitedStep(const Vec3& v, double scale, double limit, double& length) {
  const double x = v.x * scale, y = v.y * scale, z = v.z * scale;
  length = std::sqrt(x * x + y * y + z * z);
  const double k = length > limit ? limit / length : 1.0;
  return Vec3(x * k, y * k, z * k);
}

// One iteration without noise, pressure or the non-finite guard. `refused` gets, for every
// link position in order, whether the collision test refused that move.
inline void SmoothStep(TSeiffert& model, const TSmoothingParams& P, std::vector<bool>& refused) {
  TMesh& mesh = model.mesh;
  std::vector<TVertex>& V = mesh.verts;
  const int32_t nVerts = mesh.nVerts;
  const auto isKnot = [](const TVertex& v) { return v.tag == -1; };
  std::vector<Vec3> F(static_cast<size_t>(nVerts));
  std::vector<Vec3>& vel = mesh.velocity;
  if (vel.size() < F.size()) vel.resize(F.size());

  for (int32_t i = 0; i < mesh.nEdges; ++i) {
    const int32_t ai = mesh.edges[i].a, bi = mesh.edges[i].b;
    TVertex& a = V[ai];
    TVertex& b = V[bi];
    const Vec3 d = a.pos - b.pos;
    const double L = d.Length();
    if (!(L > 0)) continue;
    const bool knotPair = isKnot(a) && isKnot(b);
    const TPairForces& f = knotPair ? P.knot : P.other;
    const Vec3 force = d * (f.attraction * IntPow(L / P.lengthScale, 1 + f.beta) / L);
    if (knotPair || !isKnot(a)) F[ai] -= force;
    if (knotPair || !isKnot(b)) F[bi] += force;
  }

  for (int32_t i = 0; i < nVerts; ++i) {
    if (!isKnot(V[i])) continue;
    TVertex& vi = V[i];
    for (int32_t j = i + 1; j < nVerts; ++j) {
      TVertex& vj = V[j];
      if (vj.tag == -2) continue;
      const bool knotPair = isKnot(vj);
      const TPairForces& f = knotPair ? P.knot : P.other;
      if (!(f.repulsion > 0)) continue;
      const Vec3 d = vi.pos - vj.pos;
      const double L = d.Length();
      if (!(L > f.minDist)) continue;
      const Vec3 force = d * (f.repulsion * IntPow(L / P.lengthScale, -(2 + f.alpha)) / L);
      if (knotPair) F[i] += force;
      F[j] -= force;
    }
  }

  refused.clear();
  for (int32_t l = 0; l < model.nLinks; ++l) {
    const std::vector<int32_t>& line = model.links[l].verts;
    const int32_t n = model.links[l].nVerts;
    for (int32_t j = 0; j < n; ++j) {
      TVertex& v = V[line[j]];
      const Vec3 p = V[line[(j + 1) % n]].pos;
      const Vec3 q = V[line[(j - 1 + n) % n]].pos;
      Vec3& u = vel[line[j]];
      u = u * P.damping + F[line[j]] * P.dt;
      double length = 0;
      const Vec3 c = v.pos + LimitedStep(u, P.dt, P.maxStep, length);
      bool blocked = false;
      for (int32_t k = 0; k < model.nLinks && !blocked && P.checkCollision; ++k) {
        const std::vector<int32_t>& other = model.links[k].verts;
        const int32_t nk = model.links[k].nVerts;
        for (int32_t m = 0; m < nk; ++m) {
          if (k == l) {
            const int32_t gap = std::abs(m - j);
            if (gap < 5 || n - gap < 5) continue;
          }
          const Vec3& a = V[other[m]].pos;
          const Vec3& b = V[other[(m + 1) % nk]].pos;
          if (::SegmentsTooClose(p, c, a, b, P.collisionDist) ||
              ::SegmentsTooClose(q, c, a, b, P.collisionDist)) {
            blocked = true;
            break;
          }
        }
      }
      refused.push_back(blocked);
      if (!blocked) v.pos = c;
    }
  }

  for (int32_t i = 0; i < nVerts; ++i) {
    TVertex& v = V[i];
    if (v.tag < 0) continue;
    double length = 0;
    v.pos += LimitedStep(F[i], P.dt * P.dt, P.maxStep, length);
  }
}

}  // namespace reference
