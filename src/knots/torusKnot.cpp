#include "torusKnot.h"

#include <cmath>
#include <numeric>
#include <numbers>
#include <vector>

#include "core/checked.h"
#include "core/rangeError.h"

namespace {

constexpr double kPi = std::numbers::pi;

std::string Pair(int32_t a, int32_t b) {
  return "(" + std::to_string(a) + ", " + std::to_string(b) + ")";
}

}  // namespace

std::string TorusDescription(int32_t big, int32_t small) {
  const int32_t d = big > 0 && small > 0 ? std::gcd(big, small) : 1;
  if (d == 1) return "the " + Pair(big, small) + " torus knot";
  return "the " + Pair(big, small) + " torus link of " + std::to_string(d) + " components, each a " +
         Pair(big / d, small / d) + " torus knot; one is shown";
}

void BuildTorusKnot(TSeiffert& model, const TSettings& s) {
  if (s.torusBig < 1 || s.torusBig > 20 || s.torusSmall < 1 || s.torusSmall > 20)
    throw RangeError("torus windings run 1..20");
  const int32_t big = s.torusBig, small = s.torusSmall, res = s.resolution;
  if (res < 1) throw RangeError("the torus needs a resolution of at least 1");
  const double bigR = s.diskDiameter, tubeR = s.bandWidth;

  // Small windings still give a smooth torus: double until one side has 8 samples a unit.
  int32_t n1 = CheckedMul(small, res), n2 = CheckedMul(big, res);
  const int32_t enough = CheckedMul(8, res);
  while (n1 < enough && n2 < enough) {
    n1 = CheckedMul(2, n1);
    n2 = CheckedMul(2, n2);
  }
  const bool band = small % 2 == 1 && big == 2;
  const int32_t torusCount = CheckedMul(n1, n2);
  const int32_t bandVerts = band ? CheckedMul(2, CheckedAdd(n1, 1)) : 0;
  const int32_t nVerts = CheckedAdd(torusCount, bandVerts);

  TMesh& mesh = model.mesh;
  ReleaseOversizedStorage(mesh, nVerts);
  // Fresh records: nothing of the braid mesh (texture state, classes) may carry over.
  mesh.verts.assign(static_cast<size_t>(nVerts), TVertex{});
  mesh.faces.assign(static_cast<size_t>(nVerts), TFace{});  // the mesh keeps both the same size
  mesh.edges.clear();
  mesh.velocity.clear();
  mesh.nVerts = mesh.nFaces = mesh.nEdges = 0;
  const auto at = [n1, n2](int32_t row, int32_t col) { return Mod(row, n1) * n2 + Mod(col, n2); };

  // Each column's angle about the tube, once for all rows.
  std::vector<double> cosA(static_cast<size_t>(n2)), sinA(static_cast<size_t>(n2));
  for (int32_t c = 0; c < n2; ++c) {
    const double a = 2 * kPi * c / n2;
    cosA[static_cast<size_t>(c)] = std::cos(a);
    sinA[static_cast<size_t>(c)] = std::sin(a);
  }
  for (int32_t t = 0; t < n1; ++t) {
    const double u = 2 * kPi * t / n1 + kPi / 2, cosU = std::cos(u), sinU = std::sin(u);
    for (int32_t c = 0; c < n2; ++c) {
      const double ca = cosA[static_cast<size_t>(c)], sa = sinA[static_cast<size_t>(c)];
      TVertex& v = mesh.verts[static_cast<size_t>(t) * n2 + c];
      const double ring = bigR + tubeR * ca;
      v.pos = Vec3(ring * cosU, ring * sinU, tubeR * sa);
      v.normal = (-Vec3(ca * cosU, ca * sinU, sa)).Normalised();
      v.knotClass = 0;
    }
  }
  mesh.nVerts = torusCount;
  for (int32_t t = 0; t < n1; ++t)
    for (int32_t c = 0; c < n2; ++c)
      AddFace(mesh, at(t, c), at(t, c + 1), at(t + 1, c + 1), at(t + 1, c), 0);

  if (band) {
    // A strip across the tube that follows the knot: each pair is a knot point and the point
    // opposite it on the tube; after N1 steps the pair comes back exchanged.
    const int32_t half = n2 / 2, start = n1 / (big * small);
    for (int32_t k = 0; k <= n1; ++k) {
      const int32_t row = (start + k) % n1, col = (start + k) % n2;
      TVertex& a = mesh.verts[static_cast<size_t>(torusCount + 2 * k)];
      TVertex& b = mesh.verts[static_cast<size_t>(torusCount + 2 * k + 1)];
      a = mesh.verts[static_cast<size_t>(at(row, col))];
      b = mesh.verts[static_cast<size_t>(at(row, col + half))];
      const Vec3 d1 = mesh.verts[static_cast<size_t>(at(row + 1, col + 1))].pos - a.pos;
      const Vec3 d2 = a.pos - b.pos;
      // d1 x d2, not d2 x d1: the band's faces (a, b, next b, next a) wind that way, and a
      // normal against its face leaves both sides unlit under smooth shading.
      a.normal = b.normal = d1.Cross(d2).Normalised();
    }
    for (int32_t k = 0; k < n1; ++k) {
      const int32_t v = torusCount + 2 * k;
      AddFace(mesh, v, v + 1, v + 3, v + 2, 1);
    }
    mesh.nVerts = nVerts;
  }

  // The knot: one step along both directions at a time, until the walk is home again.
  model.nLinks = 1;
  model.links.assign(1, TLinkLine{});
  TLinkLine& link = model.links[0];
  link.verts.reserve(static_cast<size_t>(nVerts));
  int32_t row = 0, col = 0;
  do {
    link.verts.push_back(at(row, col));
    row = (row + 1) % n1;
    col = (col + 1) % n2;
  } while (row != 0 || col != 0);
  link.nVerts = static_cast<int32_t>(link.verts.size());

  // The lay-out and edges of the braid belong to a mesh that is gone; smoothing, seam shading
  // and the texture pass must not follow them into this one. The torus needs no edges: its
  // two kinds share no vertex, so there is no seam to shade.
  ResizeLayout(model, 0, 0);
  model.knotWidth = 0;
  mesh.fans.clear();
  ClassifyVertices(mesh);
  ComputeFaceNormals(mesh);
}
