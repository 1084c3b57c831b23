// Bands become closed tubes of quads: they leave one disk through a hole cut into its grid and
// enter the other the same way, along a cubic Bezier centre line, turning their elliptical
// section by the band's half twists. The tube's two halves carry the surface's two sides.

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numbers>

#include "buildMesh.h"
#include "core/checked.h"

namespace {

constexpr double kPi = std::numbers::pi;
// A band between the split lay-out's stacks: how far below its ends it sags, per unit of their
// distance, and the share of the usual reach out of the rim it keeps.
constexpr double kHangDepth = 0.5;
constexpr double kHangReach = 0.5;

struct TFrame {
  Vec3 o, x, y, z;
};

// The closed ring of 8a grid entries around the square hole of half-size a at (r0, slot),
// starting at its left middle and going up first. Empties the inside of the square.
std::vector<int32_t> CutHole(TSeiffert& model, TDiskTube& end, int32_t a) {
  TDisk& d = model.Disk(end.disk);
  const int32_t r0 = d.nRings / 2, s = end.slot;
  auto G = [&](int64_t r, int64_t c) -> int32_t& { return d.grid[Mod(r, d.nRings)][Mod(c, d.nSlots)]; };
  std::vector<int32_t> ring;
  ring.reserve(8 * a);
  int32_t r = r0, c = s - a;
  ring.push_back(G(r, c));
  for (int i = 0; i < a; ++i) ring.push_back(G(--r, c));
  for (int i = 0; i < 2 * a; ++i) ring.push_back(G(r, ++c));
  for (int i = 0; i < 2 * a; ++i) ring.push_back(G(++r, c));
  for (int i = 0; i < 2 * a; ++i) ring.push_back(G(r, --c));
  for (int i = 0; i < a - 1; ++i) ring.push_back(G(--r, c));

  const int32_t anchor = G(r0, s);
  if (anchor != kNone) end.anchor = model.mesh.verts[anchor].pos;
  for (int32_t rr = r0 - a + 1; rr <= r0 + a - 1; ++rr)
    for (int32_t cc = s - a + 1; cc <= s + a - 1; ++cc) G(rr, cc) = kNone;
  for (int32_t v : ring)
    if (v == kNone) throw RangeError("two band holes overlap on one disk; lower \"Tube extra\" or raise \"Resolution\"");
  return ring;
}

// A junction piece's ring for this end, which must match the band's columns.
const std::vector<int32_t>& JunctionRing(const TDiskTube& end, int32_t c) {
  if (static_cast<int64_t>(end.ring.size()) != c)
    throw RangeError("a band's end ring does not match its junction piece");
  for (int32_t v : end.ring)
    if (v == kNone) throw RangeError("a junction piece's ring has a gap");
  return end.ring;
}

TFrame EndFrame(const TMesh& mesh, const std::vector<int32_t>& row) {
  const size_t c = row.size();
  TFrame f;
  Vec3 sum;
  for (int32_t v : row) sum += mesh.verts[v].pos;
  f.o = sum / double(c);
  Vec3 z;
  for (size_t i = 0; i < c; ++i)
    z += (mesh.verts[row[i]].pos - f.o).Cross(mesh.verts[row[(i + 1) % c]].pos - f.o);
  f.z = z.Normalised();
  f.y = (mesh.verts[row[0]].pos - f.o).Cross(f.z).Normalised();
  f.x = f.z.Cross(f.y).Normalised();
  return f;
}

Vec3 Local(const TFrame& f, const Vec3& p) {
  const Vec3 d = p - f.o;
  return Vec3(d.Dot(f.x), d.Dot(f.y), d.Dot(f.z));
}

Vec3 Bezier(const Vec3 (&p)[4], double t) {
  const double u = 1 - t;
  return p[0] * (u * u * u) + p[1] * (3 * u * u * t) + p[2] * (3 * u * t * t) + p[3] * (t * t * t);
}

Vec3 BezierDerivative(const Vec3 (&p)[4], double t) {
  const double u = 1 - t;
  return (p[1] - p[0]) * (3 * u * u) + (p[2] - p[1]) * (6 * u * t) + (p[3] - p[2]) * (3 * t * t);
}

Vec3 Cubic(const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& d, double t) {
  const double u = 1 - t;
  return a * (u * u * u) + b * (3 * u * u * t) + c * (3 * u * t * t) + d * (t * t * t);
}

// The centre line of a band that leaves a disk and returns to it (one band for two, left by
// "Multi-twist bands"). A single cubic between its two ends cuts across the disk when they lie
// far apart on the rim and folds on itself when they lie close, so the band makes a loop in
// the disk's plane instead: out of the rim, round the arc between its ends that no other band
// leaves, and back, far enough out that it turns no tighter than its own width. In the plane,
// measured against the loop's plane, its twist is what the two merged bands' twists were.
struct TLoopPath {
  Vec3 c, u, v, n;  // disk centre; the plane's axes as the disk grid has them, and its normal
  double rhoA = 0, rhoB = 0, phiA = 0, dphi = 0, zA = 0, zB = 0, reach = 0;

  Vec3 At(double t) const {
    const double g = (1 - std::cos(kPi * t)) / 2;
    const double rho = rhoA + (rhoB - rhoA) * g + reach * std::sin(kPi * t);
    const double phi = phiA + dphi * g, z = zA + (zB - zA) * g;
    return c + u * (rho * std::cos(phi)) + v * (rho * std::sin(phi)) + n * z;
  }
  // The derivative in double precision: the band's frames take differences of it.
  void Derivatives(double t, double (&d1)[3], double (&d2)[3]) const {
    const double g = (1 - std::cos(kPi * t)) / 2, g1 = kPi / 2 * std::sin(kPi * t),
                 g2 = kPi * kPi / 2 * std::cos(kPi * t);
    const double rho = rhoA + (rhoB - rhoA) * g + reach * std::sin(kPi * t);
    const double r1 = (rhoB - rhoA) * g1 + reach * kPi * std::cos(kPi * t);
    const double r2 = (rhoB - rhoA) * g2 - reach * kPi * kPi * std::sin(kPi * t);
    const double phi = phiA + dphi * g, p1 = dphi * g1, p2 = dphi * g2;
    const double cp = std::cos(phi), sp = std::sin(phi);
    // Polar velocity and acceleration in the plane: (radial, tangential) components.
    const double vr = r1, vt = rho * p1;
    const double ar = r2 - rho * p1 * p1, at = rho * p2 + 2 * r1 * p1;
    const double z1 = (zB - zA) * g1, z2 = (zB - zA) * g2;
    const double ex[3] = {cp, sp, 0}, et[3] = {-sp, cp, 0};
    double plane1[3], plane2[3];
    for (int k = 0; k < 2; ++k) {
      plane1[k] = vr * ex[k] + vt * et[k];
      plane2[k] = ar * ex[k] + at * et[k];
    }
    plane1[2] = z1;
    plane2[2] = z2;
    const double U[3] = {u.x, u.y, u.z}, V[3] = {v.x, v.y, v.z}, N[3] = {n.x, n.y, n.z};
    for (int k = 0; k < 3; ++k) {
      d1[k] = U[k] * plane1[0] + V[k] * plane1[1] + N[k] * plane1[2];
      d2[k] = U[k] * plane2[0] + V[k] * plane2[1] + N[k] * plane2[2];
    }
  }
  Vec3 Derivative(double t) const {
    double d1[3], d2[3];
    Derivatives(t, d1, d2);
    return Vec3(d1[0], d1[1], d1[2]);
  }
  // The smallest radius of curvature along the loop, from samples.
  double TightestTurn() const {
    double least = std::numeric_limits<double>::infinity();
    for (int i = 1; i < 64; ++i) {
      double d1[3], d2[3];
      Derivatives(i / 64.0, d1, d2);
      const double cx = d1[1] * d2[2] - d1[2] * d2[1], cy = d1[2] * d2[0] - d1[0] * d2[2],
                   cz = d1[0] * d2[1] - d1[1] * d2[0];
      const double speed = std::sqrt(d1[0] * d1[0] + d1[1] * d1[1] + d1[2] * d1[2]);
      const double cross = std::sqrt(cx * cx + cy * cy + cz * cz);
      if (cross > 0) least = std::min(least, speed * speed * speed / cross);
    }
    return least;
  }
};

// Angle of p about the disk centre in the disk grid's own sense (slots count up with it).
double GridAngle(const TLoopPath& L, const Vec3& p) {
  const Vec3 d = p - L.c;
  return std::atan2(d.Dot(L.v), d.Dot(L.u));
}

double Wrap(double a) {  // into (0, 2 pi]
  a = std::fmod(a, 2 * kPi);
  if (a <= 0) a += 2 * kPi;
  return a;
}

TLoopPath LoopPath(const TSeiffert& model, const TTube& T, const Vec3& oA, const Vec3& oB,
                   double width) {
  const TDisk& d = model.Disk(T.endA.disk);
  TLoopPath L;
  L.c = d.centre;
  L.n = d.normal.Normalised();
  L.u = Vec3(0, 1, 0).Cross(L.n).Normalised();
  L.v = L.u.Cross(L.n);
  const double pA = GridAngle(L, oA), pB = GridAngle(L, oB);
  const auto inPlane = [&](const Vec3& p) {
    const Vec3 q = p - L.c;
    return std::hypot(q.Dot(L.u), q.Dot(L.v));
  };
  L.rhoA = inPlane(oA);
  L.rhoB = inPlane(oB);
  L.zA = (oA - L.c).Dot(L.n);
  L.zB = (oB - L.c).Dot(L.n);
  L.phiA = pA;
  // The ends lie next to each other in the disk's table (ends sorted by slot): the arc from one
  // to the next, in the grid's sense, has no other end on it. With two ends only, either arc
  // is free; the shorter one makes the smaller loop.
  const int32_t n = d.nEnds, ia = T.endA.end, ib = T.endB.end;
  const double up = Wrap(pB - pA), down = -Wrap(pA - pB);
  const bool upFree = n > 0 && (ia + 1) % n == ib, downFree = n > 0 && (ib + 1) % n == ia;
  if (upFree && downFree) L.dphi = up <= -down ? up : down;
  else if (upFree) L.dphi = up;
  else if (downFree) L.dphi = down;
  else L.dphi = up <= -down ? up : down;
  // Out far enough that the loop turns no tighter than the band is wide.
  L.reach = 1.5 * width;
  for (int i = 0; i < 40 && L.TightestTurn() < width; ++i) L.reach *= 1.2;
  return L;
}

// A chain of cubics through the ends and the waypoints, each cubic shaped as a band between
// two disks is, parted over t by the lengths of the chords.
struct TWaypointPath {
  std::vector<std::array<Vec3, 4>> pieces;
  std::vector<double> start;  // t where each piece begins; 1 closes the last

  int32_t Piece(double t, double& local) const {
    size_t i = 0;
    while (i + 1 < pieces.size() && t >= start[i + 1]) ++i;
    const double end = i + 1 < pieces.size() ? start[i + 1] : 1.0;
    local = end > start[i] ? (t - start[i]) / (end - start[i]) : 0;  // a piece of no length
    return static_cast<int32_t>(i);
  }
  Vec3 At(double t) const {
    double u;
    const auto& p = pieces[Piece(t, u)];
    return Bezier({p[0], p[1], p[2], p[3]}, u);
  }
  Vec3 Derivative(double t) const {
    double u;
    const auto& p = pieces[Piece(t, u)];
    return BezierDerivative({p[0], p[1], p[2], p[3]}, u);
  }
};

// Each piece's start on the path's parameter, in proportion to the chord lengths before it
// (evenly where the path has no length).
void PartByChords(TWaypointPath& path, const std::vector<double>& lengths, double total) {
  double at = 0;
  for (double len : lengths) {
    path.start.push_back(total > 0 ? at / total : double(path.start.size()) / lengths.size());
    at += len;
  }
}

TWaypointPath WaypointPath(const TTube& T, const Vec3& oA, const Vec3& zA, const Vec3& oB,
                           const Vec3& zB, double curve) {
  std::vector<Vec3> points{oA}, headings{zA};
  for (const TTube::TWaypoint& w : T.via) {
    points.push_back(w.point);
    headings.push_back(w.heading);
  }
  points.push_back(oB);
  headings.push_back(zB);
  TWaypointPath path;
  double total = 0;
  std::vector<double> lengths;
  for (size_t i = 0; i + 1 < points.size(); ++i) {
    const Vec3 &p = points[i], &q = points[i + 1], &dp = headings[i], &dq = headings[i + 1];
    const double dist = (q - p).Length();
    const double k = (2.0 / 3 - dp.Dot(dq) / 3) * curve;
    path.pieces.push_back({p, p + dp * (k * dist), q - dq * (k * dist), q});
    lengths.push_back(dist);
    total += dist;
  }
  PartByChords(path, lengths, total);
  return path;
}

// The centre line of a Diagram lay-out band: through its end rings and the points of its route,
// a cubic between each two, leaving and reaching a point along the line from the point before
// to the point after (along the rings' axes at the ends), parted over t by chord lengths.
TWaypointPath RoutePath(const std::vector<Vec3>& route, const Vec3& oA, const Vec3& zA, const Vec3& oB,
                        const Vec3& zB) {
  std::vector<Vec3> points{oA};
  points.insert(points.end(), route.begin(), route.end());
  points.push_back(oB);
  std::vector<Vec3> headings(points.size());
  headings.front() = zA;
  headings.back() = zB;
  for (size_t i = 1; i + 1 < points.size(); ++i) headings[i] = (points[i + 1] - points[i - 1]).Normalised();
  // A route's first and last points, where level with the ends, end the bands' straight starts
  // out of the rims; above or below one they are part of its turn over the rim.
  const size_t n = points.size();
  if (n > 2 && std::fabs(points[1].z - points[0].z) < 1e-6) headings[1] = (points[1] - points[0]).Normalised();
  if (n > 2 && std::fabs(points[n - 2].z - points[n - 1].z) < 1e-6)
    headings[n - 2] = (points[n - 1] - points[n - 2]).Normalised();
  TWaypointPath path;
  double total = 0;
  std::vector<double> lengths;
  for (size_t i = 0; i + 1 < points.size(); ++i) {
    const Vec3 &p = points[i], &q = points[i + 1];
    const double dist = (q - p).Length();
    path.pieces.push_back({p, p + headings[i] * (dist / 3), q - headings[i + 1] * (dist / 3), q});
    lengths.push_back(dist);
    total += dist;
  }
  PartByChords(path, lengths, total);
  return path;
}

}  // namespace

void MeshTube(TSeiffert& model, int32_t ti, const TSettings& s) {
  TTube& T = model.Tube(ti);
  TMesh& mesh = model.mesh;
  TDiskTube& endA = model.End(T.endA);
  TDiskTube& endB = model.End(T.endB);
  const uint8_t sideA = model.Disk(T.endA.disk).side;
  T.sameSide = sideA == model.Disk(T.endB.disk).side;

  const int32_t c = T.nAcross, a = c / 8, L = T.nAlong - 1;
  if (c < 8 || c % 8 != 0 || L < 1) throw RangeError("a band needs a multiple of 8 columns and two rows");

  const std::vector<int32_t> ringA = s.tJoints ? JunctionRing(endA, c) : CutHole(model, endA, a);
  const std::vector<int32_t> ringB = s.tJoints ? JunctionRing(endB, c) : CutHole(model, endB, a);

  // Offsets that line the tube's two halves up with the two sides of the disks.
  const bool odd = T.twist % 2 != 0;
  int32_t offA, offB;
  if (T.sameSide) {
    if (odd) { offA = sideA ? 0 : -c / 2;     offB = sideA ? -c / 2 : 0; }
    else     { offA = sideA ? c / 4 : -c / 4; offB = sideA ? c / 4 : -c / 4; }
  } else {
    if (odd) { offA = sideA ? 0 : c / 2;      offB = sideA ? 0 : 3 * c / 2; }
    else     { offA = sideA ? c / 4 : -c / 4; offB = sideA ? 3 * c / 4 : c / 4; }
  }

  T.grid.assign(T.nAlong, std::vector<int32_t>(c, kNone));
  for (int32_t i = 0; i < c; ++i) T.grid[0][i] = ringA[Mod(int64_t(i) + offA + c, c)];
  for (int32_t j = 0; j < c; ++j) T.grid[L][j] = ringB[Mod(int64_t(2) * c + offB - j, c)];

  const TFrame EA = EndFrame(mesh, T.grid[0]);
  const TFrame EB = EndFrame(mesh, T.grid[L]);

  const double dist = (EA.o - EB.o).Length();
  const double k = (2.0 / 3 - EA.z.Dot(EB.z) / 3) * s.tubeCurve;
  Vec3 P[4] = {EA.o, EA.o + EA.z * (k * dist), EB.o - EB.z * (k * dist), EB.o};
  // The bands between the split lay-out's two stacks are the stacked lay-out's bands between
  // those two disks, swung round with the lower stack: each hangs below the disks as a U, so
  // that they pass neither through each other nor through a disk (drawn straight across, they
  // changed the knot of 33 table rows). Their reach out of the rim is halved: at a high "Curve"
  // the long ones would swing out past each other.
  if (T.hangs) {
    P[1] = EA.o + EA.z * (kHangReach * k * dist);
    P[2] = EB.o - EB.z * (kHangReach * k * dist);
    P[1].z -= kHangDepth * dist;
    P[2].z -= kHangDepth * dist;
  }

  double w, h;
  BandSection(T, s, w, h);
  const bool routed = !T.route.empty() && !s.tJoints;
  const TWaypointPath routePath = routed ? RoutePath(T.route, EA.o, EA.z, EB.o, EB.z) : TWaypointPath{};
  const bool loop = !routed && T.endA.disk == T.endB.disk && !s.tJoints;
  const TLoopPath loopPath = loop ? LoopPath(model, T, EA.o, EB.o, w) : TLoopPath{};
  // In one plane, the band's frames keep the plane's normal: the chain's straight and curved
  // pieces would otherwise give frames a quarter turn apart.
  const bool waypoints = !routed && !loop && FollowsWaypoints(model, T);
  const TWaypointPath waypointPath =
      waypoints ? WaypointPath(T, EA.o, EA.z, EB.o, EB.z, s.tubeCurve) : TWaypointPath{};
  const Vec3 planeNormal = model.Disk(T.endA.disk).normal.Normalised();
  const auto centre = [&](double t) {
    return routed ? routePath.At(t) : loop ? loopPath.At(t) : waypoints ? waypointPath.At(t) : Bezier(P, t);
  };
  const auto direction = [&](double t) {
    return routed ? routePath.Derivative(t)
           : loop ? loopPath.Derivative(t)
                  : waypoints ? waypointPath.Derivative(t) : BezierDerivative(P, t);
  };

  std::vector<Vec3> RA(c), RB(c), S(c);
  for (int32_t i = 0; i < c; ++i) {
    RA[i] = Local(EA, mesh.verts[T.grid[0][i]].pos);
    RB[i] = Local(EB, mesh.verts[T.grid[L][i]].pos);
  }
  const double sx = odd ? w / 2 : h / 2, sy = odd ? h / 2 : w / 2;
  for (int32_t j = 0; j < c; ++j)
    S[j] = Vec3(std::cos(2 * kPi * j / c) * sx, -std::sin(2 * kPi * j / c) * sy, 0);

  // One frame per row along the centre line, kept from flipping.
  std::vector<TFrame> F(L + 1);
  // A routed band climbs and turns at once: its frames are carried along the line without
  // turning about it, so that the band gets its half twists and no more.
  for (int32_t i = 0; routed && i <= L; ++i) {
    TFrame& f = F[i];
    f.o = centre(double(i) / L);
    f.z = direction(double(i) / L).Normalised();
    const Vec3 before = i > 0 ? F[i - 1].x : (std::fabs(f.z.z) < 0.9 ? Vec3(0, 0, 1) : Vec3(1, 0, 0));
    Vec3 x = before - f.z * before.Dot(f.z);
    if (x.Length() < 1e-9) x = i > 0 ? F[i - 1].y : Vec3(0, 1, 0);
    f.x = x.Normalised();
    f.y = f.x.Cross(f.z);
  }
  for (int32_t i = 0; !routed && i <= L; ++i) {
    const double t = double(i) / L;
    TFrame& f = F[i];
    f.o = centre(t);
    f.z = direction(t).Normalised();
    Vec3 D = direction(t + 0.01).Normalised() - f.z;
    if (D.Length() < 1e-6) D = Vec3(0, 0, 1);
    f.x = waypoints ? planeNormal : f.z.Cross(D).Normalised();
    f.y = f.x.Cross(f.z);
    if (i > 0 && f.x.Dot(F[i - 1].x) < 0) {
      f.x = -f.x;
      f.y = -f.y;
    }
  }

  for (int32_t i = 1; i < L; ++i)
    for (int32_t j = 0; j < c; ++j) T.grid[i][j] = AddVertex(mesh, Vec3(), s.smoothTubes);

  const double alphaA = std::atan2(EA.y.Dot(F[0].x), EA.x.Dot(F[0].x));
  double alphaB = std::atan2(EB.y.Dot(F[L].x), EB.x.Dot(F[L].x));
  if (odd) alphaB += kPi;
  if (alphaA - alphaB > kPi) alphaB += 2 * kPi;
  else if (alphaA - alphaB < -kPi) alphaB -= 2 * kPi;

  for (int32_t i = 1; i < L; ++i) {
    double t = double(i) / L;
    if (s.smoothRot > 0) {
      const double cc = -std::cos(kPi * t);
      const double sg = (cc > 0) - (cc < 0);
      t = (sg * std::pow(std::abs(cc), 1 / s.smoothRot) + 1) / 2;
    }
    const double rho = -(alphaA * (1 - t) + alphaB * t) - T.twist * kPi * t;
    const double cr = std::cos(rho), sr = std::sin(rho);
    const TFrame& f = F[i];
    for (int32_t j = 0; j < c; ++j) {
      Vec3 p;
      if (s.bezierTubes) {
        p = Cubic(RA[j], S[j], S[j], RB[j], t);
      } else {
        const double sh = s.smoothDt / 2;
        if (t < sh) p = Cubic(RA[j], S[j], S[j], S[j], t / sh);
        else if (t > 1 - sh) p = Cubic(S[j], S[j], S[j], RB[j], (t - (1 - sh)) / sh);
        else p = S[j];
      }
      mesh.verts[T.grid[i][j]].pos = f.o + f.x * (double(p.x) * cr - double(p.y) * sr) +
                                     f.y * (double(p.x) * sr + double(p.y) * cr) + f.z * double(p.z);
    }
  }
}

void BandFaces(TSeiffert& model, int32_t ti, const TSettings& s) {
  TTube& T = model.Tube(ti);
  TMesh& mesh = model.mesh;
  const int32_t c = T.nAcross, L = T.nAlong - 1;
  const int32_t k0 = s.showConstruction ? 1 : 0;
  const bool odd = T.twist % 2 != 0;
  for (int32_t i = 0; i < L; ++i) {
    for (int32_t j = 0; j < c; ++j) {
      const int32_t x = odd ? j : (j + c / 4) % c;
      const int32_t kind = odd ? (j < c / 2 ? k0 : 1) : (j < c / 2 ? 1 : k0);
      AddFace(mesh, T.grid[i + 1][x], T.grid[i + 1][(x + 1) % c], T.grid[i][(x + 1) % c],
              T.grid[i][x], kind);
    }
  }
}
