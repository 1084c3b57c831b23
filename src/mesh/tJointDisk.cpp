// With T-joints a disk is a small flat junction piece where its three bands meet: a grid whose
// border splits into three closed rings, one per band end, so the bands attach along the piece
// without holes being cut.

#include <cmath>
#include <cstdlib>
#include <numbers>

#include "buildMesh.h"
#include "core/checked.h"

namespace {

constexpr double kPi = std::numbers::pi;

struct TJunctionAxes {
  Vec3 x1, x2, z;
  int32_t main = 0, second = 0, third = 0;  // end positions 0..2
};

void CheckJunction(const TDisk& d) {
  if (d.nEnds != 3) throw RangeError("a T-joint disk needs exactly three band ends");
  if (d.nSlots < 3 || d.nSlots % 2 == 0 || d.nRings - 1 != 2 * (d.nSlots - 1))
    throw RangeError("a T-joint disk's grid does not fit its three rings");
}

// The main end follows the largest gap between consecutive ends (the first on ties); the piece
// spans from it across to the second end.
TJunctionAxes Axes(const TDisk& d, const TSettings& s) {
  TJunctionAxes a;
  int32_t largest = -1;
  for (int32_t e = 0; e < 3; ++e) {
    const int32_t gap = Mod(int64_t{d.ends[(e + 1) % 3].slot} - d.ends[e].slot + 8, 8);
    if (gap > largest) {
      largest = gap;
      a.main = (e + 1) % 3;
    }
  }
  a.second = (a.main + 1) % 3;
  a.third = (a.second + 1) % 3;
  const double phi1 = 2 * kPi * d.ends[a.main].slot / 8;
  const double phi2 = 2 * kPi * d.ends[a.second].slot / 8 + kPi;
  a.x1 = Vec3(std::cos(phi1), std::sin(phi1), 0);
  a.x2 = Vec3(std::cos(phi2), std::sin(phi2), 0);
  if (d.ends[a.main].slot == 2 || d.ends[a.main].slot == 6) {
    a.x1 = Vec3(-a.x1.x, -a.x1.y, a.x1.z);
    a.x2 = Vec3(-a.x2.x, -a.x2.y, a.x2.z);
  }
  a.z = d.normal.Normalised();
  a.x1 *= s.bandWidth / 2;
  a.x2 *= s.bandWidth / 2;
  a.z *= s.bandHeight / 2;
  return a;
}

}  // namespace

void MeshTJointDisk(TSeiffert& model, int32_t di, const TSettings& s) {
  TDisk& d = model.Disk(di);
  TMesh& mesh = model.mesh;
  CheckJunction(d);
  const TJunctionAxes ax = Axes(d, s);
  const int32_t nS = d.nSlots, nR = d.nRings, hj = nS / 2, hi = nR / 2;
  d.top = d.centre;
  d.bottom = d.centre;

  // Indexed [column j][row i]; the first and last columns close into loops.
  d.grid.assign(nS, std::vector<int32_t>(nR, kNone));
  for (int32_t j = 0; j < nS; ++j) {
    for (int32_t i = 0; i < nR; ++i) {
      if ((j == 0 || j == nS - 1) && i == nR - 1) {
        d.grid[j][i] = d.grid[j][0];
        continue;
      }
      const int32_t a = std::abs(j - hj), b = std::abs(i - hi);
      const double A = a * (kPi / 2) / hj, B = b * kPi / hi - kPi / 2;
      double u, v;
      if (b <= hj) {
        u = double(a) / hj;
        v = std::sin(B);
      } else {
        const double t = double(b - hj) / hj, t2 = double(a) / hj;
        u = t * std::sin(A) + (1 - t) * a / hj;
        v = t2 * std::sin(B) + (1 - t2) * (b - hj) / hj;
      }
      double w = (b >= a + hj) ? std::cos(A) : std::cos(B);
      if (j < hj) u = -u;
      if (i < hi) w = -w;
      d.grid[j][i] = AddVertex(mesh, d.centre + ax.x1 * u + ax.x2 * v + ax.z * w, s.smoothDisks);
    }
  }

  // Each band end's ring runs along one part of the piece's border.
  const int32_t L = nR - 1;
  std::vector<int32_t>& ringMain = d.ends[ax.main].ring;
  std::vector<int32_t>& ringSecond = d.ends[ax.second].ring;
  std::vector<int32_t>& ringThird = d.ends[ax.third].ring;
  ringMain.assign(L, kNone);
  ringSecond.assign(L, kNone);
  ringThird.assign(L, kNone);
  for (int32_t i = 0; i < L; ++i) {
    ringMain[(hi + i) % L] = d.grid[nS - 1][i];
    ringSecond[i] = i < nS ? d.grid[nS - 1 - i][nR - 1] : d.grid[i - nS + 1][0];
    ringThird[(L - i) % L] = d.grid[0][i];
  }
}

void TJointDiskFaces(TSeiffert& model, int32_t di, const TSettings& s) {
  TDisk& d = model.Disk(di);
  CheckJunction(d);
  const bool flipped = !s.showConstruction && d.side == 0;
  for (int32_t i = 0; i + 1 < d.nRings; ++i)
    for (int32_t j = 0; j + 1 < d.nSlots; ++j)
      AddFace(model.mesh, d.grid[j][i], d.grid[j + 1][i], d.grid[j + 1][i + 1], d.grid[j][i + 1],
              flipped != (i < d.nRings / 2) ? 1 : 0);
}
