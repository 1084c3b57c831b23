// Disks become closed lens-shaped slabs: a latitude-longitude grid on an ellipsoid whose grid is
// warped around every band end so that the band's square hole maps onto an elliptical patch of
// the band's cross-section.

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "buildMesh.h"
#include "core/checked.h"
#include "core/sineCosine.h"

namespace {

constexpr double kPi = std::numbers::pi;

struct TDiskFrame {
  Vec3 n, u, v;
};

TDiskFrame DiskFrame(const TDisk& d) {
  TDiskFrame f;
  f.n = d.normal.Normalised();
  f.u = Vec3(0, 1, 0).Cross(f.n).Normalised();
  f.v = f.u.Cross(f.n);
  return f;
}

// The ellipsoid point whose longitude and latitude have these cosines and sines.
Vec3 EllipsoidPoint(const TDisk& d, const TDiskFrame& f, double cosPhi, double sinPhi,
                    double cosTheta, double sinTheta) {
  return d.centre + (f.u * cosPhi + f.v * sinPhi) * (cosTheta * d.diameter / 2) +
         f.n * (sinTheta * d.height / 2);
}

double Longitude(int32_t nSlots, double x) { return 2 * kPi * x / nSlots; }
double Latitude(int32_t nRings, double y) { return kPi / 2 - kPi * y / (nRings - 1); }

// Position of the real grid point (column x, row y) on the disk's ellipsoid.
Vec3 PlainPoint(const TDisk& d, const TDiskFrame& f, int32_t nSlots, double x, double y) {
  double sinPhi, cosPhi, sinTheta, cosTheta;
  SinCos(Longitude(nSlots, x), sinPhi, cosPhi);
  SinCos(Latitude(d.nRings, y), sinTheta, cosTheta);
  return EllipsoidPoint(d, f, cosPhi, sinPhi, cosTheta, sinTheta);
}

// The cosines and sines of a whole grid's longitudes and latitudes: the points at whole columns
// and rows share them.
struct TGridAngles {
  std::vector<double> cosPhi, sinPhi, cosTheta, sinTheta;

  TGridAngles(int32_t nSlots, int32_t nRings)
      : cosPhi(nSlots), sinPhi(nSlots), cosTheta(nRings), sinTheta(nRings) {
    for (int32_t x = 0; x < nSlots; ++x) {
      cosPhi[x] = std::cos(Longitude(nSlots, x));
      sinPhi[x] = std::sin(Longitude(nSlots, x));
    }
    for (int32_t y = 0; y < nRings; ++y) {
      cosTheta[y] = std::cos(Latitude(nRings, y));
      sinTheta[y] = std::sin(Latitude(nRings, y));
    }
  }
};

// Parameter span that covers an arc of length `len` centred on t0 of the ellipse
// (A cos t, B sin t), found by stepping outward in hundredths of pi.
double ArcAngle(double A, double B, double t0, double len) {
  const double step = kPi / 100;
  auto point = [&](double t) {
    double s, c;
    SinCos(t, s, c);
    return Vec3(A * c, B * s, 0);
  };
  double tMinus = t0, tPlus = t0, total = 0;
  // Each step's outer points are the next step's inner ones.
  Vec3 atMinus = point(tMinus), atPlus = atMinus;
  // A degenerate ellipse never reaches the length: stop after one full turn.
  for (int i = 0; i < 100 && total < len; ++i) {
    const Vec3 nextMinus = point(tMinus - step), nextPlus = point(tPlus + step);
    total += (nextMinus - atMinus).Length() + (nextPlus - atPlus).Length();
    atMinus = nextMinus;
    atPlus = nextPlus;
    tMinus -= step;
    tPlus += step;
  }
  if (!(total > 0)) return tPlus - tMinus;
  return (tPlus - tMinus) * len / total;
}

}  // namespace

void BandSection(const TTube& tube, const TSettings& s, double& w, double& h) {
  w = s.bandWidth;
  h = s.bandHeight;
  if (s.presmooth > 0 && tube.nAcross > 0 && tube.nAlong > 0) {
    // Presmoothing shrinks the band; start it wider so that it ends at its set size.
    const double alpha = 2 * kPi / tube.nAcross;
    const double beta = kPi * std::abs(tube.twist) / tube.nAlong;
    const double k = (3 * std::cos(alpha) + 8 + 3 * std::cos(beta) + std::cos(alpha + beta) +
                      std::cos(alpha - beta)) / 16;
    const double f = std::pow(k, s.presmooth + 1);
    w /= f;
    h /= f;
  }
}

void MeshDisk(TSeiffert& model, int32_t di, const TSettings& s) {
  TDisk& d = model.Disk(di);
  TMesh& mesh = model.mesh;
  const TDiskFrame f = DiskFrame(d);
  d.top = d.centre + f.n * d.height;
  d.bottom = d.centre - f.n * d.height;

  const int32_t nSlots = d.nSlots, nRings = d.nRings;
  if (nSlots < 1 || nRings < 3) throw RangeError("a disk needs at least one column and three rows");
  d.grid.assign(nRings, std::vector<int32_t>(nSlots, kNone));
  for (int32_t y = 0; y < nRings; ++y) {
    const bool pole = (y == 0 || y == nRings - 1);
    for (int32_t x = 0; x < nSlots; ++x)
      d.grid[y][x] = (pole && x > 0) ? d.grid[y][0] : AddVertex(mesh, Vec3(), s.smoothDisks);
  }

  // The disk's vertices are numbered consecutively from its first pole. The warp around the
  // band holes places most of them; only those it does not reach (all of them without bands,
  // the columns past the reduced mesh's) take the plain ellipsoid point, which spares the
  // trigonometry of a pass that would be overwritten.
  const int32_t first = d.grid[0][0];
  std::vector<uint8_t> warped(static_cast<size_t>(mesh.nVerts - first), 0);
  auto place = [&](int32_t col, int32_t row, double x, double y) {
    const int32_t v = d.grid[row][col];
    mesh.verts[v].pos = PlainPoint(d, f, nSlots, x, y);
    warped[static_cast<size_t>(v - first)] = 1;
  };
  const auto placeTheRest = [&] {
    const TGridAngles angles(nSlots, nRings);
    for (int32_t y = 0; y < nRings; ++y)
      for (int32_t x = 0; x < nSlots; ++x) {
        const int32_t v = d.grid[y][x];
        if (!warped[static_cast<size_t>(v - first)])
          mesh.verts[v].pos = EllipsoidPoint(d, f, angles.cosPhi[x], angles.sinPhi[x],
                                             angles.cosTheta[y], angles.sinTheta[y]);
      }
  };
  if (d.nEnds == 0) {
    placeTheRest();
    return;
  }

  const int32_t nEnds = d.nEnds;
  const bool reduced = s.reducedMesh;
  const int32_t halfRes = s.resolution / 2;
  const int32_t M = reduced ? CheckedMul(CheckedMul(2, nEnds), s.resolution) : nSlots;
  if (M < 1 || M > nSlots) throw RangeError("the reduced disk mesh needs more columns than the disk has");
  const int32_t rMid = nRings / 2;
  struct TRowTerms {
    double dy, ny, cy, ty;
  };
  std::vector<TRowTerms> rows(static_cast<size_t>(nRings));

  for (int32_t step = 1; step <= nEnds; ++step) {
    const TDiskTube& P = d.ends[(step - 1) % nEnds];
    const TDiskTube& E = d.ends[step % nEnds];
    const TDiskTube& N = d.ends[(step + 1) % nEnds];
    const TTube& T = model.Tube(E.tube);

    // Hole half-sizes in column and row units.
    double w, h;
    BandSection(T, s, w, h);
    const double thetaE = E.row * kPi / (nRings - 1) - kPi / 2;
    double colHalf = ArcAngle(std::cos(thetaE) * d.diameter / 2, std::cos(thetaE) * d.diameter / 2,
                              0, w) * (nSlots / (2 * kPi)) * 0.5 * (3 * s.smoothDt + 1);
    if (colHalf > nSlots / 2) colHalf = nSlots / 2 - 2;
    double rowHalf = ArcAngle(d.diameter / 2, d.height / 2, thetaE, h) *
                     ((nRings - 1) / kPi) * 0.5 * (s.smoothDt + 1);
    if (rowHalf > nRings / 2) rowHalf = nRings / 2 - 2;

    int64_t c = E.slot;
    if (c <= P.slot) c += nSlots;
    int64_t n = N.slot;
    while (n <= c) n += nSlots;
    const int64_t mL = (P.slot + c) / 2, mR = (n + c) / 2;
    const int32_t a = T.nAcross / 8;

    int64_t x0 = mL, x1 = mR;
    if (reduced) {
      x0 = int64_t(step - 1) * 4 * halfRes;
      x1 = int64_t(step) * 4 * halfRes;
    }
    const int64_t xm = (x0 + x1) / 2;
    // The reduced mesh spreads its few columns over the end's range, all but the hole's: stretched
    // with the rest, the hole grew towards the range's width, bent round the rim and turned the
    // band's end frame by a quarter, so that a band without twist between disks of opposite sides
    // could take a full turn.
    const int64_t keep = std::min<int64_t>(a, std::min(xm - x0, x1 - xm));
    const auto spread = [&](int64_t from, int64_t to, double target, int64_t x) {
      // Column x between the hole's border `from` (at c +- keep) and the range border `to`.
      const double border = double(c) + double(from - xm);
      return to == from ? border : border + (target - border) * double(x - from) / double(to - from);
    };
    // What depends on the row alone, once per end rather than once per point.
    for (int32_t y = 0; y < nRings; ++y) {
      TRowTerms& r = rows[y];
      r.dy = y - rMid;
      r.ny = (std::abs(r.dy) - a) / (rMid - a);
      r.cy = (r.dy > 0) ? (nRings - 1) - E.row : E.row;
      r.ty = r.dy * r.cy / rMid + E.row;
    }
    for (int64_t x = x0; x <= x1; ++x) {
      double xs = double(x);
      if (reduced) {
        if (std::abs(x - xm) <= keep) xs = double(c + (x - xm));
        else if (x < xm) xs = spread(xm - keep, x0, double(mL), x);
        else xs = spread(xm + keep, x1, double(mR), x);
      }
      const int32_t col = Mod(x, M);
      const double dx = xs - c;
      const double sx = (dx <= 0) ? double(c - mL) : double(mR - c);
      const double sy = rMid;
      const double nx = (std::abs(dx) - a) / (sx - a);
      const double cx = (dx > 0) ? double(mR - c) : double(c - mL);
      const double tx0 = dx * cx / sx + c;
      for (int32_t y = 0; y < nRings; ++y) {
        const TRowTerms& r = rows[y];
        const double dy = r.dy, ny = r.ny, cy = r.cy;
        const double m = std::max(nx, ny);
        const double Rx = a + (sx - a) * m, Ry = a + (sy - a) * m, R = Rx + Ry;
        // R is 0 only at the hole's centre when the hole reaches as far across as along
        // (sx = sy): a point of the hole, never of a face, which any angle places.
        const double psi = R == 0 ? 0.0
                           : (nx > ny) ? std::abs(dy) * (kPi / 2) / R
                                       : (R - std::abs(dx)) * (kPi / 2) / R;
        double sinPsi, cosPsi;
        SinCos(psi, sinPsi, cosPsi);
        double X = cosPsi * (colHalf + (cx - colHalf) * m);
        if (dx < 0) X = -X;
        X += c;
        double Y = sinPsi * (rowHalf + (cy - rowHalf) * m);
        if (dy < 0) Y = -Y;
        Y += E.row;
        double px, py;
        if (s.simpleMorph) {
          const double wb = 3 * m * m - 2 * m * m * m;
          px = (1 - wb) * X + wb * xs;
          py = (1 - wb) * Y + wb * y;
        } else {
          const double mp = std::sqrt(std::abs(1 - (1 - m) * (1 - m)));
          const double wb = mp * mp;
          const double tx = (1 - wb) * tx0 + wb * xs;
          const double ty = (1 - wb) * r.ty + wb * y;
          px = (1 - mp) * X + mp * tx;
          py = (1 - mp) * Y + mp * ty;
        }
        place(col, y, px, py);
      }
    }
  }
  placeTheRest();

  if (reduced) {
    d.nSlots = M;
    for (int32_t e = 0; e < nEnds; ++e)
      d.ends[e].slot = Mod(int64_t(4 * (e + 1) + M - 6) * halfRes, M);
  }
}

void DiskFaces(TSeiffert& model, int32_t di, const TSettings& s) {
  TDisk& d = model.Disk(di);
  TMesh& mesh = model.mesh;
  const int32_t N = d.nSlots, L = d.nRings - 1;
  const int32_t kTop = s.showConstruction ? 0 : 1 - d.side;
  const int32_t kBottom = s.showConstruction ? 0 : d.side;
  auto G = [&](int32_t r, int64_t x) { return d.grid[r][Mod(x, N)]; };

  // The alternative cap pairs quads over four columns; with fewer than eight columns (a disk
  // with one band end) it would fold onto itself, so such a disk keeps the plain cap.
  const bool altPole = s.altPoleMesh && d.nEnds != 2 && N >= 8 && N % 4 == 0;
  if (altPole) {
    for (int32_t i = 0; i < N; i += 4) {
      AddFace(mesh, G(1, i), G(1, i + 1), G(1, i + 2), G(1, i + 3), kTop);
      AddFace(mesh, G(1, i), G(1, i + 3), G(1, i + 4), G(0, 0), kTop);
    }
  } else {
    for (int32_t i = 0; i < N; i += 2) AddFace(mesh, G(0, 0), G(1, i), G(1, i + 1), G(1, i + 2), kTop);
  }
  for (int32_t i = 1; i <= L - 2; ++i)
    for (int32_t j = 0; j < N; ++j)
      AddFace(mesh, G(i + 1, j), G(i + 1, j + 1), G(i, j + 1), G(i, j),
              i < d.nRings / 2 ? kTop : kBottom);
  if (altPole) {
    for (int32_t j = 0; j < N; j += 4) {
      AddFace(mesh, G(L - 1, j + 3), G(L - 1, j + 2), G(L - 1, j + 1), G(L - 1, j), kBottom);
      AddFace(mesh, G(L, 0), G(L - 1, j + 4), G(L - 1, j + 3), G(L - 1, j), kBottom);
    }
  } else {
    for (int32_t j = 0; j < N; j += 2)
      AddFace(mesh, G(L - 1, j + 2), G(L - 1, j + 1), G(L - 1, j), G(L, 0), kBottom);
  }
}
