#include "dynamicSmoothing.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <system_error>
#include <thread>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>
#define VELTRANE_AVX2 1
#endif

namespace {

// x^n for a small whole exponent (also negative): the force laws use only such powers.
double IntPow(double x, int32_t n) {
  double r = 1;
  for (int32_t i = 0; i < std::abs(n); ++i) r *= x;
  return n < 0 ? 1 / r : r;
}

bool IsKnot(const TVertex& v) { return v.tag == -1; }

// (x, y, z) as floats: forces and steps can leave the float range when the controls ask for
// extreme values, and the conversion must then give an infinity that the finiteness checks see.
Vec3 FloatVec(double x, double y, double z) {
  Vec3 v;
  v.x = ToFloat(x);
  v.y = ToFloat(y);
  v.z = ToFloat(z);
  return v;
}

// v x scale, shortened to `limit` when it is longer; `length` is its length before that. Done
// in double, so that a step too long for a float is shortened rather than lost; the result is
// non-finite only when v is.
Vec3 LimitedStep(const Vec3& v, double scale, double limit, double& length) {
  const double x = v.x * scale, y = v.y * scale, z = v.z * scale;
  length = std::sqrt(x * x + y * y + z * z);
  const double k = length > limit ? limit / length : 1.0;
  return FloatVec(x * k, y * k, z * k);
}

bool Finite(const Vec3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

// max that lets a NaN through, so that the convergence test sees it.
void Widen(double& maxMove, double step) {
  if (!(step <= maxMove)) maxMove = step;
}

// ---- Repulsion --------------------------------------------------------------------------

// Knot vertices in array order, one array per coordinate, so that the pair loop reads plain
// floats in a row.
struct TKnotPoints {
  std::vector<int32_t> vertex;
  std::vector<float> x, y, z;
};

// A vertex that feels the repulsion: the knot vertices it is paired with are the knot points
// [0, end), without its own slot `self` when it is on the knot itself.
struct TRepelled {
  int32_t vertex;
  int32_t self;  // its place among the knot points, or -1 for a surface vertex
  int32_t end;
};

// Each target's sum runs in kLanes partial sums, whatever the vector width, and is carried
// in double every kBlock points: the result is the same with 4- or 8-float vectors and for
// every split of the targets over threads, and float rounding does not pile up over long sums.
constexpr int32_t kLanes = 8;
constexpr int32_t kBlock = 256;

// Below this many pairs a second thread costs more than it saves.
constexpr int64_t kPairsPerThread = 1000000;
constexpr int32_t kMaxWorkers = 16;

template <int N>
inline float PowN(float x) {
  if constexpr (N == 1) {
    return x;
  } else {
    return PowN<N - 1>(x) * x;
  }
}

// The weight of one pair, d x weight being its force: (c / L)^N / L for L > minDist, else 0.
template <int N>
inline float PairWeight(float dx, float dy, float dz, float c, float minDist) {
  const float len = std::sqrt(dx * dx + dy * dy + dz * dz);
  const float inv = 1.0f / len;
  const float w = PowN<N>(c * inv) * inv;
  return len > minDist ? w : 0.0f;
}

// The pairs with the points [s, e) in whole rows of kLanes, point s + l into lane l; returns
// where the rows end. Each lane does exactly the operations of PairWeight, so every version
// gives the same sums.
template <int N>
int32_t RepelRows(const float* kx, const float* ky, const float* kz, int32_t s, int32_t e,
                  float tx, float ty, float tz, float c, float minDist, float* ax, float* ay,
                  float* az) {
#if defined(__SSE2__)
  static_assert(kLanes == 8);
  const __m128 vtx = _mm_set1_ps(tx), vty = _mm_set1_ps(ty), vtz = _mm_set1_ps(tz);
  const __m128 vc = _mm_set1_ps(c), vmin = _mm_set1_ps(minDist), one = _mm_set1_ps(1.0f);
  __m128 sx[2] = {_mm_setzero_ps(), _mm_setzero_ps()}, sy[2] = {sx[0], sx[0]},
         sz[2] = {sx[0], sx[0]};
  for (; s + kLanes <= e; s += kLanes) {
    for (int h = 0; h < 2; ++h) {
      const __m128 dx = _mm_sub_ps(vtx, _mm_loadu_ps(kx + s + 4 * h));
      const __m128 dy = _mm_sub_ps(vty, _mm_loadu_ps(ky + s + 4 * h));
      const __m128 dz = _mm_sub_ps(vtz, _mm_loadu_ps(kz + s + 4 * h));
      const __m128 len = _mm_sqrt_ps(
          _mm_add_ps(_mm_add_ps(_mm_mul_ps(dx, dx), _mm_mul_ps(dy, dy)), _mm_mul_ps(dz, dz)));
      const __m128 inv = _mm_div_ps(one, len);
      const __m128 q = _mm_mul_ps(vc, inv);
      __m128 w = q;
      for (int i = 1; i < N; ++i) w = _mm_mul_ps(w, q);
      w = _mm_and_ps(_mm_mul_ps(w, inv), _mm_cmpgt_ps(len, vmin));
      sx[h] = _mm_add_ps(sx[h], _mm_mul_ps(dx, w));
      sy[h] = _mm_add_ps(sy[h], _mm_mul_ps(dy, w));
      sz[h] = _mm_add_ps(sz[h], _mm_mul_ps(dz, w));
    }
  }
  for (int h = 0; h < 2; ++h) {
    _mm_storeu_ps(ax + 4 * h, sx[h]);
    _mm_storeu_ps(ay + 4 * h, sy[h]);
    _mm_storeu_ps(az + 4 * h, sz[h]);
  }
#else
  for (; s + kLanes <= e; s += kLanes)
    for (int32_t l = 0; l < kLanes; ++l) {
      const float dx = tx - kx[s + l], dy = ty - ky[s + l], dz = tz - kz[s + l];
      const float w = PairWeight<N>(dx, dy, dz, c, minDist);
      ax[l] += dx * w;
      ay[l] += dy * w;
      az[l] += dz * w;
    }
#endif
  return s;
}

#if defined(VELTRANE_AVX2)
// One row of eight points against target t: m = d x weight, lane by lane.
template <int N>
__attribute__((target("avx2"), always_inline)) inline void RowPartsAvx2(
    __m256 px, __m256 py, __m256 pz, __m256 tx, __m256 ty, __m256 tz, __m256 c, __m256 minDist,
    __m256& mx, __m256& my, __m256& mz) {
  const __m256 dx = _mm256_sub_ps(tx, px);
  const __m256 dy = _mm256_sub_ps(ty, py);
  const __m256 dz = _mm256_sub_ps(tz, pz);
  const __m256 len = _mm256_sqrt_ps(_mm256_add_ps(
      _mm256_add_ps(_mm256_mul_ps(dx, dx), _mm256_mul_ps(dy, dy)), _mm256_mul_ps(dz, dz)));
  const __m256 inv = _mm256_div_ps(_mm256_set1_ps(1.0f), len);
  const __m256 q = _mm256_mul_ps(c, inv);
  __m256 w = q;
  for (int i = 1; i < N; ++i) w = _mm256_mul_ps(w, q);
  w = _mm256_and_ps(_mm256_mul_ps(w, inv), _mm256_cmp_ps(len, minDist, _CMP_GT_OQ));
  mx = _mm256_mul_ps(dx, w);
  my = _mm256_mul_ps(dy, w);
  mz = _mm256_mul_ps(dz, w);
}

// The same row added to the sums: r = s + m.
template <int N>
__attribute__((target("avx2"), always_inline)) inline void RowAvx2(
    __m256 px, __m256 py, __m256 pz, __m256 tx, __m256 ty, __m256 tz, __m256 c, __m256 minDist,
    __m256 sx, __m256 sy, __m256 sz, __m256& rx, __m256& ry, __m256& rz) {
  __m256 mx, my, mz;
  RowPartsAvx2<N>(px, py, pz, tx, ty, tz, c, minDist, mx, my, mz);
  rx = _mm256_add_ps(sx, mx);
  ry = _mm256_add_ps(sy, my);
  rz = _mm256_add_ps(sz, mz);
}

// RepelRowsAvx2 for a knot point against the knot points after it, which also hands each of
// them its share: point s feels -m, the same numbers negated (t - p = -(p - t) exactly, and the
// weight depends on the distance alone), collected in g[s]. Summed in the order the later
// point's own pass would have summed them, this makes each knot pair's weight once.
template <int N>
__attribute__((target("avx2"))) void RepelRowsOnceAvx2(const float* kx, const float* ky,
                                                       const float* kz, int32_t s, int32_t e,
                                                       float tx, float ty, float tz, float c,
                                                       float minDist, float* ax, float* ay,
                                                       float* az, float* gx, float* gy, float* gz) {
  const __m256 vtx = _mm256_set1_ps(tx), vty = _mm256_set1_ps(ty), vtz = _mm256_set1_ps(tz);
  const __m256 vc = _mm256_set1_ps(c), vmin = _mm256_set1_ps(minDist);
  __m256 sx = _mm256_setzero_ps(), sy = sx, sz = sx;
  for (; s + kLanes <= e; s += kLanes) {
    __m256 mx, my, mz;
    RowPartsAvx2<N>(_mm256_loadu_ps(kx + s), _mm256_loadu_ps(ky + s), _mm256_loadu_ps(kz + s),
                    vtx, vty, vtz, vc, vmin, mx, my, mz);
    sx = _mm256_add_ps(sx, mx);
    sy = _mm256_add_ps(sy, my);
    sz = _mm256_add_ps(sz, mz);
    _mm256_storeu_ps(gx + s, _mm256_sub_ps(_mm256_loadu_ps(gx + s), mx));
    _mm256_storeu_ps(gy + s, _mm256_sub_ps(_mm256_loadu_ps(gy + s), my));
    _mm256_storeu_ps(gz + s, _mm256_sub_ps(_mm256_loadu_ps(gz + s), mz));
  }
  if (s < e) {  // g has room for a whole row past the last point
    const __m256i lane = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    const __m256i live = _mm256_cmpgt_epi32(_mm256_set1_epi32(e - s), lane);
    const __m256 keep = _mm256_castsi256_ps(live);
    __m256 mx, my, mz;
    RowPartsAvx2<N>(_mm256_maskload_ps(kx + s, live), _mm256_maskload_ps(ky + s, live),
                    _mm256_maskload_ps(kz + s, live), vtx, vty, vtz, vc, vmin, mx, my, mz);
    sx = _mm256_blendv_ps(sx, _mm256_add_ps(sx, mx), keep);
    sy = _mm256_blendv_ps(sy, _mm256_add_ps(sy, my), keep);
    sz = _mm256_blendv_ps(sz, _mm256_add_ps(sz, mz), keep);
    const __m256 ox = _mm256_loadu_ps(gx + s), oy = _mm256_loadu_ps(gy + s), oz = _mm256_loadu_ps(gz + s);
    _mm256_storeu_ps(gx + s, _mm256_blendv_ps(ox, _mm256_sub_ps(ox, mx), keep));
    _mm256_storeu_ps(gy + s, _mm256_blendv_ps(oy, _mm256_sub_ps(oy, my), keep));
    _mm256_storeu_ps(gz + s, _mm256_blendv_ps(oz, _mm256_sub_ps(oz, mz), keep));
  }
  _mm256_storeu_ps(ax, sx);
  _mm256_storeu_ps(ay, sy);
  _mm256_storeu_ps(az, sz);
}

// RepelRows on processors with 8-float vectors: the same lanes in one register.
template <int N>
__attribute__((target("avx2"))) int32_t RepelRowsAvx2(const float* kx, const float* ky,
                                                      const float* kz, int32_t s, int32_t e,
                                                      float tx, float ty, float tz, float c,
                                                      float minDist, float* ax, float* ay,
                                                      float* az) {
  static_assert(kLanes == 8);
  const __m256 vtx = _mm256_set1_ps(tx), vty = _mm256_set1_ps(ty), vtz = _mm256_set1_ps(tz);
  const __m256 vc = _mm256_set1_ps(c), vmin = _mm256_set1_ps(minDist);
  __m256 sx = _mm256_setzero_ps(), sy = sx, sz = sx;
  for (; s + kLanes <= e; s += kLanes)
    RowAvx2<N>(_mm256_loadu_ps(kx + s), _mm256_loadu_ps(ky + s), _mm256_loadu_ps(kz + s), vtx,
               vty, vtz, vc, vmin, sx, sy, sz, sx, sy, sz);
  // The last part row in the same lanes: a scalar tail costs a square root and a division per
  // point, as much as a whole row. Lanes past the end keep their sums untouched.
  if (s < e) {
    const __m256i lane = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    const __m256i live = _mm256_cmpgt_epi32(_mm256_set1_epi32(e - s), lane);
    const __m256 keep = _mm256_castsi256_ps(live);
    __m256 rx, ry, rz;
    RowAvx2<N>(_mm256_maskload_ps(kx + s, live), _mm256_maskload_ps(ky + s, live),
               _mm256_maskload_ps(kz + s, live), vtx, vty, vtz, vc, vmin, sx, sy, sz, rx, ry, rz);
    sx = _mm256_blendv_ps(sx, rx, keep);
    sy = _mm256_blendv_ps(sy, ry, keep);
    sz = _mm256_blendv_ps(sz, rz, keep);
    s = e;
  }
  _mm256_storeu_ps(ax, sx);
  _mm256_storeu_ps(ay, sy);
  _mm256_storeu_ps(az, sz);
  return s;
}

bool HasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}
#endif

// Adds to sum, over the knot points s in [s0, s1), d x (c / L)^N / L with d = t - point s and
// L = |d|; pairs at or below minDist give nothing. With c = lengthScale x repulsion^(1/N) this
// is repulsion x (L / lengthScale)^-N x d / L, the force law, without an intermediate power
// that leaves the float range before the force does. Point s goes to lane (s - b) mod kLanes
// of its block b.
template <int N>
void RepelRange(const TKnotPoints& k, int32_t s0, int32_t s1, float tx, float ty, float tz,
                float c, float minDist, double sum[3]) {
  const float* kx = k.x.data();
  const float* ky = k.y.data();
  const float* kz = k.z.data();
  // The sums in registers: the same additions, without a trip through memory for each.
  double sx = sum[0], sy = sum[1], sz = sum[2];
  for (int32_t b = s0; b < s1; b += kBlock) {
    const int32_t e = std::min(b + kBlock, s1);
    float ax[kLanes] = {}, ay[kLanes] = {}, az[kLanes] = {};
#if defined(VELTRANE_AVX2)
    int32_t s = HasAvx2()
                    ? RepelRowsAvx2<N>(kx, ky, kz, b, e, tx, ty, tz, c, minDist, ax, ay, az)
                    : RepelRows<N>(kx, ky, kz, b, e, tx, ty, tz, c, minDist, ax, ay, az);
#else
    int32_t s = RepelRows<N>(kx, ky, kz, b, e, tx, ty, tz, c, minDist, ax, ay, az);
#endif
    for (int32_t l = 0; s < e; ++s, ++l) {
      const float dx = tx - kx[s], dy = ty - ky[s], dz = tz - kz[s];
      const float w = PairWeight<N>(dx, dy, dz, c, minDist);
      ax[l] += dx * w;
      ay[l] += dy * w;
      az[l] += dz * w;
    }
    for (int32_t l = 0; l < kLanes; ++l) {
      sx += ax[l];
      sy += ay[l];
      sz += az[l];
    }
  }
  sum[0] = sx;
  sum[1] = sy;
  sum[2] = sz;
}

// The same for exponents the controls do not give, pair by pair in double.
void RepelRangeAnyPower(const TKnotPoints& k, int32_t s0, int32_t s1, const Vec3& t,
                        const TPairForces& f, double lengthScale, double sum[3]) {
  for (int32_t s = s0; s < s1; ++s) {
    const Vec3 d = t - Vec3(k.x[s], k.y[s], k.z[s]);
    const double len = d.Length();
    if (!(len > f.minDist)) continue;
    const double force = f.repulsion * IntPow(len / lengthScale, -(2 + f.alpha)) / len;
    sum[0] += d.x * force;
    sum[1] += d.y * force;
    sum[2] += d.z * force;
  }
}

// Everything one pair set needs in the pair loop.
struct TRepulsionLaw {
  int32_t power;  // 2 + alpha
  float c, minDist;
  const TPairForces* forces;
};

TRepulsionLaw MakeLaw(const TPairForces& f, double lengthScale) {
  TRepulsionLaw law;
  law.power = 2 + f.alpha;
  law.forces = &f;
  law.minDist = static_cast<float>(f.minDist);
  law.c = law.power > 0 ? static_cast<float>(lengthScale * std::pow(f.repulsion, 1.0 / law.power))
                        : 0.0f;
  return law;
}

void Repel(const TKnotPoints& k, int32_t s0, int32_t s1, const Vec3& t, const TRepulsionLaw& law,
           double lengthScale, double sum[3]) {
  if (s0 >= s1) return;
  switch (law.power) {
    case 2: return RepelRange<2>(k, s0, s1, t.x, t.y, t.z, law.c, law.minDist, sum);
    case 3: return RepelRange<3>(k, s0, s1, t.x, t.y, t.z, law.c, law.minDist, sum);
    case 4: return RepelRange<4>(k, s0, s1, t.x, t.y, t.z, law.c, law.minDist, sum);
    case 5: return RepelRange<5>(k, s0, s1, t.x, t.y, t.z, law.c, law.minDist, sum);
    case 6: return RepelRange<6>(k, s0, s1, t.x, t.y, t.z, law.c, law.minDist, sum);
    case 7: return RepelRange<7>(k, s0, s1, t.x, t.y, t.z, law.c, law.minDist, sum);
    case 8: return RepelRange<8>(k, s0, s1, t.x, t.y, t.z, law.c, law.minDist, sum);
    default: return RepelRangeAnyPower(k, s0, s1, t, *law.forces, lengthScale, sum);
  }
}

#if defined(VELTRANE_AVX2)
// Room for the collectors of RepelKnotOnce: past this the knot goes the plain way.
constexpr size_t kMaxCollectors = size_t{1} << 22;

// Every knot point against every other, each pair's weight made once: knot points in order,
// point i's sum over the points before it is what they have left in its collectors by then
// (one per block of kBlock points and lane, as its own pass would have summed them), and its
// pass over the points after it fills theirs. `g` holds the collectors, three planes of
// blocks x kLanes rows of `stride` floats, zero on entry; `slotTarget` gives each knot
// point's place in `sums`. The sums are those RepelRange gives, to the bit.
template <int N>
void RepelKnotOnce(const TKnotPoints& k, const std::vector<int32_t>& slotTarget, float c,
                   float minDist, size_t stride, std::vector<float>& g, std::vector<double>& sums) {
  const int32_t n = static_cast<int32_t>(k.x.size());
  const size_t plane = g.size() / 3;
  float* gx = g.data();
  float* gy = gx + plane;
  float* gz = gy + plane;
  const float* kx = k.x.data();
  const float* ky = k.y.data();
  const float* kz = k.z.data();
  for (int32_t i = 0; i < n; ++i) {
    double* sum = &sums[3 * static_cast<size_t>(slotTarget[static_cast<size_t>(i)])];
    double sx = sum[0], sy = sum[1], sz = sum[2];
    for (int32_t b = 0; b < i; b += kBlock)
      for (int32_t l = 0; l < kLanes; ++l) {
        const size_t at = (static_cast<size_t>(b / kBlock) * kLanes + l) * stride + i;
        sx += gx[at];
        sy += gy[at];
        sz += gz[at];
      }
    const size_t row = (static_cast<size_t>(i / kBlock) * kLanes + i % kLanes) * stride;
    for (int32_t b = i + 1; b < n; b += kBlock) {
      const int32_t e = std::min(b + kBlock, n);
      float ax[kLanes], ay[kLanes], az[kLanes];
      RepelRowsOnceAvx2<N>(kx, ky, kz, b, e, kx[i], ky[i], kz[i], c, minDist, ax, ay, az,
                           gx + row, gy + row, gz + row);
      for (int32_t l = 0; l < kLanes; ++l) {
        sx += ax[l];
        sy += ay[l];
        sz += az[l];
      }
    }
    sum[0] = sx;
    sum[1] = sy;
    sum[2] = sz;
  }
}

// RepelKnotOnce for the law's power; false for powers it does not cover.
bool RepelKnotOnce(const TKnotPoints& k, const std::vector<int32_t>& slotTarget,
                   const TRepulsionLaw& law, size_t stride, std::vector<float>& g,
                   std::vector<double>& sums) {
  switch (law.power) {
    case 2: RepelKnotOnce<2>(k, slotTarget, law.c, law.minDist, stride, g, sums); return true;
    case 3: RepelKnotOnce<3>(k, slotTarget, law.c, law.minDist, stride, g, sums); return true;
    case 4: RepelKnotOnce<4>(k, slotTarget, law.c, law.minDist, stride, g, sums); return true;
    case 5: RepelKnotOnce<5>(k, slotTarget, law.c, law.minDist, stride, g, sums); return true;
    case 6: RepelKnotOnce<6>(k, slotTarget, law.c, law.minDist, stride, g, sums); return true;
    case 7: RepelKnotOnce<7>(k, slotTarget, law.c, law.minDist, stride, g, sums); return true;
    case 8: RepelKnotOnce<8>(k, slotTarget, law.c, law.minDist, stride, g, sums); return true;
    default: return false;
  }
}
#endif

int32_t WorkerCount(int32_t asked, int64_t pairs, size_t targets) {
  int64_t n = asked;
  if (n <= 0) {
    n = std::max<int64_t>(1, std::thread::hardware_concurrency());
    n = std::min<int64_t>(n, pairs / kPairsPerThread + 1);
  }
  n = std::min<int64_t>({n, kMaxWorkers, static_cast<int64_t>(targets)});
  return static_cast<int32_t>(std::max<int64_t>(n, 1));
}

// Every knot vertex pushes every later vertex, and a later knot vertex pushes it back: as a
// sum per vertex, a knot vertex feels every other knot vertex, a surface vertex the knot
// vertices before it. Each vertex's sum is made by one thread in a fixed order, so the result
// does not depend on the number of threads.
void AddRepulsion(const std::vector<TVertex>& V, int32_t nVerts, const TSmoothingParams& P,
                  std::vector<Vec3>& force) {
  const bool knotOn = P.knot.repulsion > 0, otherOn = P.other.repulsion > 0;
  TKnotPoints k;
  std::vector<TRepelled> targets;
  for (int32_t i = 0; i < nVerts; ++i) {
    const TVertex& v = V[i];
    if (v.tag == -2) continue;
    const int32_t before = static_cast<int32_t>(k.vertex.size());
    if (IsKnot(v)) {
      k.vertex.push_back(i);
      k.x.push_back(v.pos.x);
      k.y.push_back(v.pos.y);
      k.z.push_back(v.pos.z);
      if (knotOn) targets.push_back({i, before, 0});
    } else if (otherOn && before > 0) {
      targets.push_back({i, -1, before});
    }
  }
  const int32_t nKnot = static_cast<int32_t>(k.vertex.size());
  int64_t pairs = 0;
  for (TRepelled& t : targets) {
    if (t.self >= 0) t.end = nKnot;
    pairs += t.end;
  }
  if (targets.empty()) return;

  const TRepulsionLaw knotLaw = MakeLaw(P.knot, P.lengthScale);
  const TRepulsionLaw otherLaw = MakeLaw(P.other, P.lengthScale);
  std::vector<double> sums(3 * targets.size(), 0.0);
  // The knot's pairs each once where the processor allows, before the rest.
  bool knotDone = false;
#if defined(VELTRANE_AVX2)
  if (HasAvx2() && knotOn && nKnot > 1) {
    const size_t stride = static_cast<size_t>(nKnot) + kLanes;
    const size_t blocks = (static_cast<size_t>(nKnot) + kBlock - 1) / kBlock;
    if (3 * blocks * kLanes * stride <= kMaxCollectors) {
      thread_local std::vector<float> collectors;
      thread_local std::vector<int32_t> slotTarget;
      collectors.assign(3 * blocks * kLanes * stride, 0.0f);
      slotTarget.assign(static_cast<size_t>(nKnot), 0);
      for (size_t i = 0; i < targets.size(); ++i)
        if (targets[i].self >= 0) slotTarget[static_cast<size_t>(targets[i].self)] = static_cast<int32_t>(i);
      knotDone = RepelKnotOnce(k, slotTarget, knotLaw, stride, collectors, sums);
    }
  }
#endif
  const auto work = [&](size_t from, size_t to) {
    for (size_t i = from; i < to; ++i) {
      const TRepelled& t = targets[i];
      const Vec3 pos = V[t.vertex].pos;
      double* sum = &sums[3 * i];
      if (t.self >= 0) {
        if (knotDone) continue;
        Repel(k, 0, t.self, pos, knotLaw, P.lengthScale, sum);
        Repel(k, t.self + 1, t.end, pos, knotLaw, P.lengthScale, sum);
      } else {
        Repel(k, 0, t.end, pos, otherLaw, P.lengthScale, sum);
      }
    }
  };

  // Contiguous runs of targets with about equal numbers of pairs.
  const int32_t nWorkers = WorkerCount(P.workers, pairs, targets.size());
  std::vector<size_t> cut(nWorkers + 1, targets.size());
  cut[0] = 0;
  int64_t done = 0;
  int32_t w = 1;
  for (size_t i = 0; i < targets.size() && w < nWorkers; ++i) {
    done += targets[i].end;
    while (w < nWorkers && double(done) * nWorkers >= double(pairs) * w) cut[w++] = i + 1;
  }
  std::vector<std::thread> threads;
  threads.reserve(nWorkers);
  for (int32_t i = 1; i < nWorkers; ++i) {
    try {
      threads.emplace_back(work, cut[i], cut[i + 1]);
    } catch (const std::system_error&) {
      work(cut[i], cut[i + 1]);  // no thread to be had: the same work, here
    }
  }
  work(cut[0], cut[1]);
  for (std::thread& t : threads) t.join();

  for (size_t i = 0; i < targets.size(); ++i)
    force[targets[i].vertex] += FloatVec(sums[3 * i], sums[3 * i + 1], sums[3 * i + 2]);
}

// ---- Collision test ---------------------------------------------------------------------

// Whether moving a knot vertex (position j of link l) to c, between its neighbours p and q,
// brings one of its two segments too close to a link segment that is not next to it.
bool TooCloseToSegment(const TSeiffert& model, const std::vector<TVertex>& V, int32_t l,
                       int32_t j, int32_t k, int32_t m, const Vec3& p, const Vec3& q,
                       const Vec3& c, double collisionDist) {
  const int32_t nk = model.links[k].nVerts;
  if (k == l) {
    const int32_t gap = std::abs(m - j);
    if (gap < 5 || nk - gap < 5) return false;
  }
  const std::vector<int32_t>& other = model.links[k].verts;
  const Vec3& a = V[other[m]].pos;
  const Vec3& b = V[other[(m + 1) % nk]].pos;
  return SegmentsTooClose(p, c, a, b, collisionDist) || SegmentsTooClose(q, c, a, b, collisionDist);
}

// The collision test against every link segment.
bool ScanBlocks(const TSeiffert& model, const std::vector<TVertex>& V, int32_t l, int32_t j,
                const Vec3& p, const Vec3& q, const Vec3& c, double collisionDist) {
  for (int32_t k = 0; k < model.nLinks; ++k)
    for (int32_t m = 0; m < model.links[k].nVerts; ++m)
      if (TooCloseToSegment(model, V, l, j, k, m, p, q, c, collisionDist)) return true;
  return false;
}

// The link segments filed under the cells of a uniform grid, so that a move is tested only
// against the segments near it. The grid is built once per iteration from the positions at its
// start: a segment is filed under every cell its box touches once grown by how far its ends may
// move in the iteration, so a segment that can come within the collision distance of a move is
// always found, and the test refuses exactly the moves the scan over all segments refuses.
class TSegmentGrid {
 public:
  // False when the grid cannot serve (a non-finite position or distance, a bad index): the
  // caller then scans every segment.
  bool Build(const TSeiffert& model, const std::vector<TVertex>& V, double maxStep,
             double collisionDist) {
    const int64_t nVertsRoom = static_cast<int64_t>(V.size());
    int64_t nSeg = 0;
    for (int32_t l = 0; l < model.nLinks; ++l) {
      const TLinkLine& line = model.links[l];
      if (line.nVerts < 0 || static_cast<size_t>(line.nVerts) > line.verts.size()) return false;
      nSeg += line.nVerts;
    }
    // Each segment goes under at most 8 cells; the counts stay far inside int32_t.
    if (nSeg == 0 || nSeg > (int64_t{1} << 24)) return false;
    if (!(collisionDist >= 0) || !std::isfinite(collisionDist) || !std::isfinite(maxStep))
      return false;

    // Bounds of the knot, the longest segment, and how often a vertex comes in the links (it
    // moves once for each).
    std::vector<int32_t> uses(V.size(), 0);
    double lo[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL}, hi[3] = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    double longest = 0, largest = 0;
    int32_t mostUses = 0;
    segLink.clear();
    segPos.clear();
    segLink.reserve(nSeg);
    segPos.reserve(nSeg);
    for (int32_t l = 0; l < model.nLinks; ++l) {
      const TLinkLine& line = model.links[l];
      for (int32_t m = 0; m < line.nVerts; ++m) {
        const int32_t a = line.verts[m], b = line.verts[(m + 1) % line.nVerts];
        if (a < 0 || a >= nVertsRoom || b < 0 || b >= nVertsRoom) return false;
        mostUses = std::max(mostUses, ++uses[a]);
        const Vec3& pa = V[a].pos;
        const Vec3& pb = V[b].pos;
        if (!Finite(pa)) return false;
        const double ca[3] = {pa.x, pa.y, pa.z}, cb[3] = {pb.x, pb.y, pb.z};
        for (int k = 0; k < 3; ++k) {
          lo[k] = std::min(lo[k], ca[k]);
          hi[k] = std::max(hi[k], ca[k]);
          longest = std::max(longest, std::abs(cb[k] - ca[k]));
          largest = std::max(largest, std::abs(ca[k]));
        }
        segLink.push_back(l);
        segPos.push_back(m);
      }
    }
    // Margins: the ends' movement, plus room for the rounding of float positions and of the
    // box arithmetic.
    const double slack = 1e-5 * (largest + std::abs(maxStep) * mostUses + collisionDist) + 1e-30;
    grow = std::abs(maxStep) * mostUses + slack;
    reach = collisionDist + slack;
    double cell = longest + 2 * grow + 2 * reach;
    if (!(cell > 0) || !std::isfinite(cell)) return false;
    // No more cells than a few per segment: the knot is a curve, most of its box is empty.
    const double cellLimit = 4.0 * double(nSeg) + 64;
    for (;;) {
      double count = 1;
      for (int k = 0; k < 3; ++k) {
        origin[k] = lo[k] - grow;
        count *= std::floor((hi[k] + grow - origin[k]) / cell) + 1;
      }
      if (count <= cellLimit) break;
      cell *= 1.5;
    }
    invCell = 1 / cell;
    for (int k = 0; k < 3; ++k)
      size[k] = static_cast<int32_t>(std::floor((hi[k] + grow - origin[k]) * invCell)) + 1;

    // File every segment under its cells: count, then place.
    start.assign(static_cast<size_t>(size[0]) * size[1] * size[2] + 1, 0);
    ForEachSegmentCell(model, V, nSeg, [&](int32_t, size_t at) { ++start[at + 1]; });
    for (size_t i = 1; i < start.size(); ++i) start[i] += start[i - 1];
    items.assign(start.back(), 0);
    std::vector<int32_t> next(start.begin(), start.end() - 1);
    ForEachSegmentCell(model, V, nSeg, [&](int32_t s, size_t at) { items[next[at]++] = s; });
    seen.assign(nSeg, -1);
    query = 0;
    return true;
  }

  // The collision test of ScanBlocks, over the segments filed near the move.
  bool Blocks(const TSeiffert& model, const std::vector<TVertex>& V, int32_t l, int32_t j,
              const Vec3& p, const Vec3& q, const Vec3& c, double collisionDist) {
    int32_t c0[3], c1[3];
    const double a[3] = {p.x, p.y, p.z}, b[3] = {q.x, q.y, q.z}, e[3] = {c.x, c.y, c.z};
    for (int k = 0; k < 3; ++k) {
      c0[k] = Cell(std::min({a[k], b[k], e[k]}) - reach, k);
      c1[k] = Cell(std::max({a[k], b[k], e[k]}) + reach, k);
    }
    ++query;
    for (int32_t z = c0[2]; z <= c1[2]; ++z)
      for (int32_t y = c0[1]; y <= c1[1]; ++y)
        for (int32_t x = c0[0]; x <= c1[0]; ++x) {
          const size_t at = CellIndex(x, y, z);
          for (int32_t i = start[at]; i < start[at + 1]; ++i) {
            const int32_t s = items[i];
            if (seen[s] == query) continue;
            seen[s] = query;
            if (TooCloseToSegment(model, V, l, j, segLink[s], segPos[s], p, q, c, collisionDist))
              return true;
          }
        }
    return false;
  }

 private:
  int32_t Cell(double v, int k) const {
    const double i = std::floor((v - origin[k]) * invCell);
    return static_cast<int32_t>(std::clamp(i, 0.0, double(size[k] - 1)));
  }
  size_t CellIndex(int32_t x, int32_t y, int32_t z) const {
    return (static_cast<size_t>(z) * size[1] + y) * size[0] + x;
  }
  template <class F>
  void ForEachSegmentCell(const TSeiffert& model, const std::vector<TVertex>& V, int64_t nSeg,
                          F&& f) const {
    for (int32_t s = 0; s < static_cast<int32_t>(nSeg); ++s) {
      int32_t c0[3], c1[3];
      SegmentCells(model, V, s, c0, c1);
      for (int32_t z = c0[2]; z <= c1[2]; ++z)
        for (int32_t y = c0[1]; y <= c1[1]; ++y)
          for (int32_t x = c0[0]; x <= c1[0]; ++x) f(s, CellIndex(x, y, z));
    }
  }
  void SegmentCells(const TSeiffert& model, const std::vector<TVertex>& V, int32_t s,
                    int32_t c0[3], int32_t c1[3]) const {
    const TLinkLine& line = model.links[segLink[s]];
    const Vec3& pa = V[line.verts[segPos[s]]].pos;
    const Vec3& pb = V[line.verts[(segPos[s] + 1) % line.nVerts]].pos;
    const double a[3] = {pa.x, pa.y, pa.z}, b[3] = {pb.x, pb.y, pb.z};
    for (int k = 0; k < 3; ++k) {
      c0[k] = Cell(std::min(a[k], b[k]) - grow, k);
      c1[k] = Cell(std::max(a[k], b[k]) + grow, k);
    }
  }

  double origin[3] = {0, 0, 0};
  double invCell = 1, grow = 0, reach = 0;
  int32_t size[3] = {1, 1, 1};
  std::vector<int32_t> start, items;    // the segments of cell i: items[start[i] .. start[i + 1])
  std::vector<int32_t> segLink, segPos;  // segment s: link and position of its first end
  std::vector<int32_t> seen;             // the last query that met segment s
  int32_t query = 0;
};

// ---- Surface guard ----------------------------------------------------------------------
//
// Surface vertices move without looking at one another, so a band could pass through a
// neighbouring band or disk. Two quads of one side that share no vertex can only start to
// cross when a corner of one meets the other, or an edge of one meets an edge of the other;
// the gap between such features shrinks in a step by at most the steps of their corners. So
// every vertex of two quads that are `gap` apart steps at most kGapShare x gap: the gap can
// close to a tenth in one step but never to nothing. Quads further apart than
// maxStep / kGapShare impose nothing, which leaves the moves of a mesh whose sides keep clear
// of themselves exactly as they were.

constexpr double kGapShare = 0.45;

struct D3 {
  double x = 0, y = 0, z = 0;
  D3() = default;
  D3(const Vec3& v) : x(v.x), y(v.y), z(v.z) {}
  D3(double a, double b, double c) : x(a), y(b), z(c) {}
  D3 operator+(const D3& o) const { return {x + o.x, y + o.y, z + o.z}; }
  D3 operator-(const D3& o) const { return {x - o.x, y - o.y, z - o.z}; }
  D3 operator*(double s) const { return {x * s, y * s, z * s}; }
  double Dot(const D3& o) const { return x * o.x + y * o.y + z * o.z; }
};

// Squared distance between the segments (p0, p1) and (q0, q1), in double.
double SegmentGap2(const D3& p0, const D3& p1, const D3& q0, const D3& q1) {
  const D3 u = p1 - p0, w = q1 - q0, r = p0 - q0;
  const double a = u.Dot(u), c = w.Dot(w), f = w.Dot(r);
  double s = 0, t = 0;
  if (a <= 1e-30 && c <= 1e-30) return r.Dot(r);
  if (a <= 1e-30) {
    t = std::clamp(f / c, 0.0, 1.0);
  } else {
    const double cc = u.Dot(r);
    if (c <= 1e-30) {
      s = std::clamp(-cc / a, 0.0, 1.0);
    } else {
      const double b = u.Dot(w);
      const double den = a * c - b * b;
      s = den > 1e-30 ? std::clamp((b * f - cc * c) / den, 0.0, 1.0) : 0.0;
      t = (b * s + f) / c;
      if (t < 0) {
        t = 0;
        s = std::clamp(-cc / a, 0.0, 1.0);
      } else if (t > 1) {
        t = 1;
        s = std::clamp((b - cc) / a, 0.0, 1.0);
      }
    }
  }
  const D3 d = p0 + u * s - q0 - w * t;
  return d.Dot(d);
}

// Squared distance from p to the triangle (a, b, c); a triangle without area is its edges.
double TriangleGap2(const D3& p, const D3& a, const D3& b, const D3& c) {
  const D3 ab = b - a, ac = c - a, ap = p - a;
  const D3 n(ab.y * ac.z - ab.z * ac.y, ab.z * ac.x - ab.x * ac.z, ab.x * ac.y - ab.y * ac.x);
  const double nn = n.Dot(n);
  const double scale = std::max(ab.Dot(ab), ac.Dot(ac));
  if (!(nn > 1e-24 * scale * scale)) {
    return std::min({SegmentGap2(p, p, a, b), SegmentGap2(p, p, b, c), SegmentGap2(p, p, c, a)});
  }
  // The foot of p in the plane, in barycentric terms; outside the triangle the nearest point
  // lies on an edge.
  const D3 cross1(ab.y * ap.z - ab.z * ap.y, ab.z * ap.x - ab.x * ap.z, ab.x * ap.y - ab.y * ap.x);
  const D3 cross2(ap.y * ac.z - ap.z * ac.y, ap.z * ac.x - ap.x * ac.z, ap.x * ac.y - ap.y * ac.x);
  const double w = cross1.Dot(n) / nn, v = cross2.Dot(n) / nn;
  if (v >= 0 && w >= 0 && v + w <= 1) {
    const double h = ap.Dot(n);
    return h * h / nn;
  }
  return std::min({SegmentGap2(p, p, a, b), SegmentGap2(p, p, b, c), SegmentGap2(p, p, c, a)});
}

// An axis-aligned box, to rule feature pairs out cheaply.
struct TBox3 {
  double lo[3], hi[3];
};

TBox3 BoxOf(std::initializer_list<const D3*> points) {
  TBox3 b{{HUGE_VAL, HUGE_VAL, HUGE_VAL}, {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL}};
  for (const D3* p : points) {
    const double c[3] = {p->x, p->y, p->z};
    for (int k = 0; k < 3; ++k) {
      b.lo[k] = std::min(b.lo[k], c[k]);
      b.hi[k] = std::max(b.hi[k], c[k]);
    }
  }
  return b;
}

// Squared gap between two boxes: at most the distance of any points in them.
double BoxGap2(const TBox3& a, const TBox3& b) {
  double sum = 0;
  for (int k = 0; k < 3; ++k) {
    const double g = std::max({0.0, a.lo[k] - b.hi[k], b.lo[k] - a.hi[k]});
    sum += g * g;
  }
  return sum;
}

// Smallest gap between the features of two quads, each taken as both of its triangulations
// (a reader of the mesh may cut a bent quad along either diagonal); `reach` when that is
// smaller, since larger gaps are of no interest.
double QuadGap(const D3 p[4], const D3 q[4], double reach) {
  static constexpr int kTri[4][3] = {{0, 1, 2}, {0, 2, 3}, {0, 1, 3}, {1, 2, 3}};
  static constexpr int kEdge[6][2] = {{0, 1}, {1, 2}, {2, 3}, {3, 0}, {0, 2}, {1, 3}};
  TBox3 triP[4], triQ[4], edgeP[6], edgeQ[6], pointP[4], pointQ[4];
  for (int t = 0; t < 4; ++t) {
    triP[t] = BoxOf({&p[kTri[t][0]], &p[kTri[t][1]], &p[kTri[t][2]]});
    triQ[t] = BoxOf({&q[kTri[t][0]], &q[kTri[t][1]], &q[kTri[t][2]]});
    pointP[t] = BoxOf({&p[t]});
    pointQ[t] = BoxOf({&q[t]});
  }
  for (int e = 0; e < 6; ++e) {
    edgeP[e] = BoxOf({&p[kEdge[e][0]], &p[kEdge[e][1]]});
    edgeQ[e] = BoxOf({&q[kEdge[e][0]], &q[kEdge[e][1]]});
  }
  double best = reach * reach;
  for (int i = 0; i < 4; ++i)
    for (int t = 0; t < 4; ++t) {
      const int* c = kTri[t];
      if (BoxGap2(pointP[i], triQ[t]) < best)
        best = std::min(best, TriangleGap2(p[i], q[c[0]], q[c[1]], q[c[2]]));
      if (BoxGap2(pointQ[i], triP[t]) < best)
        best = std::min(best, TriangleGap2(q[i], p[c[0]], p[c[1]], p[c[2]]));
    }
  for (int e = 0; e < 6; ++e)
    for (int f = 0; f < 6; ++f)
      if (BoxGap2(edgeP[e], edgeQ[f]) < best)
        best = std::min(best, SegmentGap2(p[kEdge[e][0]], p[kEdge[e][1]], q[kEdge[f][0]], q[kEdge[f][1]]));
  return std::sqrt(best);
}

// Whether the quads lie further than `reach` apart along some axis: the line of their
// centres, the coordinate axes or either quad's normal. A cheap lower bound of the gap,
// which settles most pairs of neighbours in a sheet and of sheets side by side.
bool Separated(const D3 p[4], const D3 q[4], double reach, bool coordinateAxes = true) {
  const auto normal = [](const D3* v) {
    const D3 a = v[2] - v[0], b = v[3] - v[1];
    return D3(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
  };
  const D3 axes[6] = {p[0] + p[1] + p[2] + p[3] - q[0] - q[1] - q[2] - q[3], normal(p), normal(q),
                      D3(1, 0, 0), D3(0, 1, 0), D3(0, 0, 1)};
  for (int k = 0; k < (coordinateAxes ? 6 : 3); ++k) {
    const D3& axis = axes[k];
    const double len2 = axis.Dot(axis);
    if (!(len2 > 0) || !std::isfinite(len2)) continue;
    double pLo = HUGE_VAL, pHi = -HUGE_VAL, qLo = HUGE_VAL, qHi = -HUGE_VAL;
    for (int u = 0; u < 4; ++u) {
      const double a = p[u].Dot(axis), b = q[u].Dot(axis);
      pLo = std::min(pLo, a);
      pHi = std::max(pHi, a);
      qLo = std::min(qLo, b);
      qHi = std::max(qHi, b);
    }
    const double r = reach * std::sqrt(len2) * (1 + 1e-9);
    if (pLo - qHi >= r || qLo - pHi >= r) return true;
  }
  return false;
}

// The pairs of quads of one side that share no vertex and lie within `reach` of one another
// (quads whose corners are not all in the mesh take no part), for positions `pos`.
std::vector<std::pair<int32_t, int32_t>> NearQuadPairs(const TMesh& mesh, int32_t nFaces,
                                                       const std::vector<Vec3>& pos, double reach) {
  std::vector<std::pair<int32_t, int32_t>> pairs;
  const int32_t nVerts = static_cast<int32_t>(pos.size());
  struct TBox {
    float lo[3], hi[3];
    int32_t face, kind;
    int32_t cell0[3];  // the cell of its low corner
  };
  std::vector<TBox> boxes;
  boxes.reserve(static_cast<size_t>(nFaces));
  std::vector<float> extents;
  double lo[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL}, hi[3] = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
  for (int32_t f = 0; f < nFaces; ++f) {
    const TFace& q = mesh.faces[static_cast<size_t>(f)];
    TBox b{{HUGE_VALF, HUGE_VALF, HUGE_VALF}, {-HUGE_VALF, -HUGE_VALF, -HUGE_VALF}, f, q.kind, {0, 0, 0}};
    bool ok = true;
    for (int k = 0; k < 4 && ok; ++k) {
      ok = q.v[k] >= 0 && q.v[k] < nVerts;
      if (!ok) break;
      const Vec3& v = pos[static_cast<size_t>(q.v[k])];
      const float c[3] = {v.x, v.y, v.z};
      for (int a = 0; a < 3; ++a) {
        b.lo[a] = std::min(b.lo[a], c[a]);
        b.hi[a] = std::max(b.hi[a], c[a]);
      }
    }
    if (!ok) continue;
    float extent = 0;
    for (int a = 0; a < 3; ++a) {
      // Grown by half the reach, and a little for the float rounding: two boxes that overlap
      // hold every pair closer than the reach.
      const float grow = static_cast<float>(0.5 * reach) * 1.0001f +
                         1e-6f * std::max(std::abs(b.lo[a]), std::abs(b.hi[a]));
      b.lo[a] -= grow;
      b.hi[a] += grow;
      extent = std::max(extent, b.hi[a] - b.lo[a]);
      lo[a] = std::min(lo[a], double(b.lo[a]));
      hi[a] = std::max(hi[a], double(b.hi[a]));
    }
    extents.push_back(extent);
    boxes.push_back(b);
  }
  if (boxes.size() < 2) return pairs;
  // Boxes of one side together: each cell then lists its boxes side by side, and a box meets
  // only those of its own side (the two sides of a sheet lie on one another).
  std::stable_sort(boxes.begin(), boxes.end(), [](const TBox& a, const TBox& b) { return a.kind < b.kind; });

  // A grid of cells about a typical box across; every box goes under the cells it overlaps, and
  // a pair is taken up in the one cell that holds the low corner of their overlap.
  std::nth_element(extents.begin(), extents.begin() + extents.size() / 2, extents.end());
  double cell = 1.5 * extents[extents.size() / 2];
  if (!(cell > 0) || !std::isfinite(cell)) return pairs;
  const double cellLimit = 2.0 * double(boxes.size()) + 64;
  int32_t size[3];
  for (;;) {
    double count = 1;
    for (int k = 0; k < 3; ++k) count *= std::floor((hi[k] - lo[k]) / cell) + 1;
    if (count <= cellLimit) break;
    cell *= 1.5;
  }
  for (int k = 0; k < 3; ++k) size[k] = static_cast<int32_t>(std::floor((hi[k] - lo[k]) / cell)) + 1;
  const double inv = 1 / cell;
  const auto cellOf = [&](double v, int k) {
    const double i = std::floor((v - lo[k]) * inv);
    return static_cast<int32_t>(std::clamp(i, 0.0, double(size[k] - 1)));
  };
  for (TBox& b : boxes)
    for (int k = 0; k < 3; ++k) b.cell0[k] = cellOf(b.lo[k], k);
  const auto forCells = [&](const TBox& b, auto&& f) {
    int32_t c1[3];
    for (int k = 0; k < 3; ++k) c1[k] = cellOf(b.hi[k], k);
    for (int32_t z = b.cell0[2]; z <= c1[2]; ++z)
      for (int32_t y = b.cell0[1]; y <= c1[1]; ++y)
        for (int32_t x = b.cell0[0]; x <= c1[0]; ++x)
          f((static_cast<size_t>(z) * size[1] + y) * size[0] + x);
  };
  std::vector<int32_t> first(static_cast<size_t>(size[0]) * size[1] * size[2] + 1, 0);
  for (const TBox& b : boxes) forCells(b, [&](size_t at) { ++first[at + 1]; });
  for (size_t i = 1; i < first.size(); ++i) first[i] += first[i - 1];
  std::vector<int32_t> items(static_cast<size_t>(first.back()));
  {
    std::vector<int32_t> next(first.begin(), first.end() - 1);
    for (size_t i = 0; i < boxes.size(); ++i)
      forCells(boxes[i], [&](size_t at) { items[static_cast<size_t>(next[at]++)] = static_cast<int32_t>(i); });
  }
  for (int32_t z = 0; z < size[2]; ++z)
    for (int32_t y = 0; y < size[1]; ++y)
      for (int32_t x = 0; x < size[0]; ++x) {
        const size_t at = (static_cast<size_t>(z) * size[1] + y) * size[0] + x;
        const int32_t here[3] = {x, y, z};
        for (int32_t u = first[at]; u < first[at + 1]; ++u) {
          const TBox& a = boxes[static_cast<size_t>(items[static_cast<size_t>(u)])];
          for (int32_t w = u + 1; w < first[at + 1]; ++w) {
            const TBox& b = boxes[static_cast<size_t>(items[static_cast<size_t>(w)])];
            if (a.kind != b.kind) break;
            bool apart = false, owner = true;
            for (int k = 0; k < 3; ++k) {
              apart = apart || a.lo[k] > b.hi[k] || b.lo[k] > a.hi[k];
              owner = owner && std::max(a.cell0[k], b.cell0[k]) == here[k];
            }
            if (apart || !owner) continue;
            const TFace& fa = mesh.faces[static_cast<size_t>(a.face)];
            const TFace& fb = mesh.faces[static_cast<size_t>(b.face)];
            bool shared = false;
            for (int i = 0; i < 4; ++i)
              for (int j = 0; j < 4; ++j) shared = shared || fa.v[i] == fb.v[j];
            if (!shared) pairs.emplace_back(std::min(a.face, b.face), std::max(a.face, b.face));
          }
        }
      }
  return pairs;
}

// The near pairs of the last iterations, kept while no vertex has gone further than half the
// margin from where they were found: every pair that is within the reach now was then within
// the reach and the margin. Which pairs are kept never changes a result (extra pairs are
// settled as far apart), only the time.
struct TNearPairCache {
  std::vector<int32_t> corners;  // the quads' corners when the pairs were found
  std::vector<Vec3> pos;
  double reach = 0, margin = 0;
  std::vector<std::pair<int32_t, int32_t>> pairs;
};

const std::vector<std::pair<int32_t, int32_t>>& CachedNearQuadPairs(const TMesh& mesh, int32_t nFaces,
                                                                    const std::vector<Vec3>& pos,
                                                                    double reach, double margin) {
  thread_local TNearPairCache cache;
  bool valid = cache.pos.size() == pos.size() && cache.corners.size() == 4 * size_t(nFaces) &&
               reach <= cache.reach;
  for (int32_t f = 0; f < nFaces && valid; ++f)
    for (int k = 0; k < 4; ++k) valid = valid && cache.corners[4 * size_t(f) + k] == mesh.faces[size_t(f)].v[k];
  const double allowed2 = 0.25 * (cache.reach + cache.margin - reach) * (cache.reach + cache.margin - reach);
  for (size_t i = 0; i < pos.size() && valid; ++i) {
    const D3 d = D3(pos[i]) - D3(cache.pos[i]);
    valid = d.Dot(d) <= allowed2;
  }
  if (valid) return cache.pairs;
  cache.corners.resize(4 * size_t(nFaces));
  for (int32_t f = 0; f < nFaces; ++f)
    for (int k = 0; k < 4; ++k) cache.corners[4 * size_t(f) + k] = mesh.faces[size_t(f)].v[k];
  cache.pos = pos;
  cache.reach = reach;
  cache.margin = margin;
  cache.pairs = NearQuadPairs(mesh, nFaces, pos, reach + margin);
  return cache.pairs;
}

// Shortens the steps `delta` (vertex i from start[i] to start[i] + delta[i]) where two quads
// of one side that share no vertex would otherwise close their gap by more than 2 kGapShare
// of it: every corner of such a pair then steps at most kGapShare x gap. Points of the two quads
// move relative to one another by at most the largest difference of their corners' steps, so
// pairs that move together are left alone, however close. Shortening a step can upset a pair
// that shared the vertex and was fine, so the pairs are looked at in rounds, each round's
// limits applied together (the result does not hang on the order of the pairs), until none
// is left. `maxStep` bounds every step. Returns whether any step was shortened.
bool GuardSurfaceSteps(const TMesh& mesh, const std::vector<Vec3>& start, std::vector<D3>& delta,
                       double maxStep) {
  const int32_t nFaces = std::min<int32_t>(mesh.nFaces, static_cast<int32_t>(mesh.faces.size()));
  const int32_t nVerts = static_cast<int32_t>(std::min(start.size(), delta.size()));
  if (nFaces < 2 || !(maxStep > 0) || !std::isfinite(maxStep)) return false;
  double longest = 0, largest = 0;
  for (int32_t i = 0; i < nVerts; ++i) {
    const D3& d = delta[static_cast<size_t>(i)];
    longest = std::max(longest, d.Dot(d));
    const Vec3& v = start[static_cast<size_t>(i)];
    if (!Finite(v)) return false;
    largest = std::max({largest, double(std::abs(v.x)), double(std::abs(v.y)), double(std::abs(v.z))});
  }
  longest = std::sqrt(longest);  // the square root of the largest is the largest square root
  if (!(longest > 0) || !std::isfinite(longest)) return false;
  // Two quads close in by at most their two longest steps.
  const double stepBound = std::max(longest, maxStep);
  const std::vector<std::pair<int32_t, int32_t>>& pairs =
      CachedNearQuadPairs(mesh, nFaces, start, stepBound / kGapShare, 4 * stepBound);
  if (pairs.empty()) return false;

  // Per quad: the ball round its corners, and its corners' steps as a mean and the largest
  // departure from it, so that most pairs are settled without looking at their corners.
  // The scratch is kept from one iteration to the next: a run calls this hundreds of times on
  // one mesh, and only the quads in pairs are read.
  struct TMotion {
    D3 centre, mean;
    double radius = 0, spread = 0;
    double lo[3], hi[3];  // the box round its corners
    double longest = 0;   // its corners' longest step
  };
  struct TScratch {
    std::vector<TMotion> motion;
    std::vector<uint8_t> inPair, changed;
    std::vector<double> most;
    std::vector<int32_t> limited;
  };
  thread_local TScratch scratch;
  std::vector<TMotion>& motion = scratch.motion;
  std::vector<uint8_t>& inPair = scratch.inPair;
  motion.resize(static_cast<size_t>(nFaces));
  inPair.assign(static_cast<size_t>(nFaces), 0);
  for (const auto& [pf, qf] : pairs) inPair[static_cast<size_t>(pf)] = inPair[static_cast<size_t>(qf)] = 1;
  const auto summarise = [&](int32_t f) {
    const TFace& q = mesh.faces[static_cast<size_t>(f)];
    TMotion& m = motion[static_cast<size_t>(f)];
    m.centre = m.mean = D3();
    for (int i = 0; i < 4; ++i) {
      m.centre = m.centre + D3(start[static_cast<size_t>(q.v[i])]) * 0.25;
      m.mean = m.mean + delta[static_cast<size_t>(q.v[i])] * 0.25;
    }
    m.radius = m.spread = m.longest = 0;
    for (int i = 0; i < 4; ++i) {
      const D3& d = delta[static_cast<size_t>(q.v[i])];
      const D3 r = D3(start[static_cast<size_t>(q.v[i])]) - m.centre;
      const D3 e = d - m.mean;
      m.radius = std::max(m.radius, r.Dot(r));
      m.spread = std::max(m.spread, e.Dot(e));
      m.longest = std::max(m.longest, d.Dot(d));
    }
    m.longest = std::sqrt(m.longest);
    m.radius = std::sqrt(m.radius) * (1 + 1e-12);
    m.spread = std::sqrt(m.spread) * (1 + 1e-12);
    for (int k = 0; k < 3; ++k) {
      m.lo[k] = HUGE_VAL;
      m.hi[k] = -HUGE_VAL;
    }
    for (int i = 0; i < 4; ++i) {
      const Vec3& v = start[static_cast<size_t>(q.v[i])];
      const double c[3] = {v.x, v.y, v.z};
      for (int k = 0; k < 3; ++k) {
        m.lo[k] = std::min(m.lo[k], c[k]);
        m.hi[k] = std::max(m.hi[k], c[k]);
      }
    }
  };
  for (int32_t f = 0; f < nFaces; ++f)
    if (inPair[static_cast<size_t>(f)]) summarise(f);

  // Float positions round each step to about 1e-7 of the coordinates.
  const double slack = 1e-6 * largest;
  std::vector<uint8_t>& changed = scratch.changed;
  std::vector<double>& most = scratch.most;
  std::vector<int32_t>& limited = scratch.limited;
  changed.assign(static_cast<size_t>(nVerts), 1);
  most.assign(static_cast<size_t>(nVerts), HUGE_VAL);
  bool any = false;
  for (;;) {
    limited.clear();
    for (const auto& [pf, qf] : pairs) {
      const TFace& fa = mesh.faces[static_cast<size_t>(pf)];
      const TFace& fb = mesh.faces[static_cast<size_t>(qf)];
      bool touched = false;
      for (int i = 0; i < 4; ++i)
        touched = touched || changed[static_cast<size_t>(fa.v[i])] || changed[static_cast<size_t>(fb.v[i])];
      if (!touched) continue;
      const TMotion& ma = motion[static_cast<size_t>(pf)];
      const TMotion& mb = motion[static_cast<size_t>(qf)];
      // Boxes apart along an axis by more than the reach of the quads' longest steps: the
      // box test below, with an upper bound of its reach (corners' steps differ by at most
      // the sum of their lengths; the margins cover the rounding, also of tiny steps), refuses them too.
      {
        const double r = (ma.longest + mb.longest) * (1 + 1e-6) / (2 * kGapShare) + 1e-140;
        bool apart = false;
        for (int k = 0; k < 3; ++k) apart = apart || ma.lo[k] - mb.hi[k] >= r || mb.lo[k] - ma.hi[k] >= r;
        if (apart) continue;
      }
      {
        const D3 dm = ma.mean - mb.mean, dc = ma.centre - mb.centre;
        const double bound = std::sqrt(dm.Dot(dm)) + ma.spread + mb.spread;
        const double apart = std::sqrt(dc.Dot(dc)) - ma.radius - mb.radius;
        if (bound * (1 + 1e-9) < 2 * kGapShare * apart) continue;
      }
      double rel2 = 0;
      for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
          const D3 d = delta[static_cast<size_t>(fa.v[i])] - delta[static_cast<size_t>(fb.v[j])];
          rel2 = std::max(rel2, d.Dot(d));
        }
      if (!(rel2 > 0)) continue;
      const double within = std::sqrt(rel2) / (2 * kGapShare);  // further apart is safe
      D3 p[4], q[4];
      for (int i = 0; i < 4; ++i) {
        p[i] = D3(start[static_cast<size_t>(fa.v[i])]);
        q[i] = D3(start[static_cast<size_t>(fb.v[i])]);
      }
      // Separated's coordinate axes first, from the boxes: the same test on the same numbers.
      {
        const double r = within * (1 + 1e-9);
        bool apart = false;
        for (int k = 0; k < 3; ++k) apart = apart || ma.lo[k] - mb.hi[k] >= r || mb.lo[k] - ma.hi[k] >= r;
        if (apart) continue;
      }
      if (Separated(p, q, within, false)) continue;
      const double gap = QuadGap(p, q, within);
      if (!(gap < within)) continue;
      // Quads that touch (within the rounding) hold still against each other: letting them
      // go would let a pair squeezed that close pass through.
      const double share = std::max(0.0, kGapShare * gap - slack);
      for (const int32_t v : {fa.v[0], fa.v[1], fa.v[2], fa.v[3], fb.v[0], fb.v[1], fb.v[2], fb.v[3]}) {
        const D3& d = delta[static_cast<size_t>(v)];
        if (!(d.Dot(d) > share * share) || !(share < most[static_cast<size_t>(v)])) continue;
        if (most[static_cast<size_t>(v)] == HUGE_VAL) limited.push_back(v);
        most[static_cast<size_t>(v)] = share;
      }
    }
    if (limited.empty()) break;
    std::fill(changed.begin(), changed.end(), 0);
    for (const int32_t v : limited) {
      D3& d = delta[static_cast<size_t>(v)];
      const double len = std::sqrt(d.Dot(d)), share = most[static_cast<size_t>(v)];
      d = len > 0 ? d * (share / len) : D3();
      most[static_cast<size_t>(v)] = HUGE_VAL;
      changed[static_cast<size_t>(v)] = 1;
    }
    for (int32_t f = 0; f < nFaces; ++f) {
      if (!inPair[static_cast<size_t>(f)]) continue;
      const TFace& q = mesh.faces[static_cast<size_t>(f)];
      bool moved = false;
      for (int i = 0; i < 4; ++i) moved = moved || changed[static_cast<size_t>(q.v[i])];
      if (moved) summarise(f);
    }
    any = true;
  }
  return any;
}

}  // namespace

double MeanEdge(const TMesh& mesh) {
  if (mesh.nEdges <= 0) return 0.01;
  double sum = 0;
  for (int32_t i = 0; i < mesh.nEdges; ++i) {
    const TEdge& e = mesh.edges[i];
    sum += (mesh.verts[e.b].pos - mesh.verts[e.a].pos).Length();
  }
  const double mean = sum / mesh.nEdges;
  return mean > 0 && std::isfinite(mean) ? mean : 0.01;
}

TSmoothingParams SmoothingParameters(const TSmoothingControls& c, double meanEdge) {
  TSmoothingParams p;
  p.iterations = c.iterations;
  p.dt = c.timeStep * 0.01;
  p.dtDecay = 1 - c.dtDecay / 1000.0;
  p.damping = c.damping / 100.0;
  TPairForces f;
  f.attraction = c.attraction / 10.0;
  f.repulsion = c.repulsion / 10000.0;
  f.alpha = c.alpha;
  f.beta = c.beta;
  f.minDist = 0.02 * meanEdge;
  p.knot = f;
  p.other = f;
  const double scale = c.scale == 0 ? 1.0 : double(c.scale);
  p.lengthScale = scale * scale * meanEdge;
  p.noiseOn = c.noise != 0;
  p.noise = c.noise / 100.0;
  p.pressure = c.pressure / 10.0;
  p.checkCollision = c.checkCollision;
  p.showIntermediate = c.showIntermediate;
  p.meanEdge = meanEdge;
  p.maxStep = 0.1 * meanEdge;
  p.collisionDist = 0.15 * meanEdge;
  p.collisionDist2 = p.collisionDist * p.collisionDist;
  return p;
}

void DecayTimeStep(TSmoothingParams& params) {
  params.dt = std::max(params.dt * params.dtDecay, kMinTimeStep);
}

int32_t TNoise::Next10000() {
  // xorshift64*: plenty for jitter, and the same sequence on every machine.
  state ^= state >> 12;
  state ^= state << 25;
  state ^= state >> 27;
  return static_cast<int32_t>(((state * 0x2545F4914F6CDD1DULL) >> 33) % 10000);
}

double SegmentDistance2(const Vec3& p0, const Vec3& p1, const Vec3& q0, const Vec3& q1) {
  // Closest points of two segments: minimise over s, t in [0, 1], re-projecting after each
  // clamp so that the answer is the true distance, also for parallel or degenerate segments.
  const Vec3 u = p1 - p0, w = q1 - q0, r = p0 - q0;
  const double a = u.Dot(u), c = w.Dot(w), f = w.Dot(r);
  double s = 0, t = 0;
  if (a <= 1e-30 && c <= 1e-30) return r.LengthSq();
  if (a <= 1e-30) {
    t = std::clamp(f / c, 0.0, 1.0);
  } else {
    const double cc = u.Dot(r);
    if (c <= 1e-30) {
      s = std::clamp(-cc / a, 0.0, 1.0);
    } else {
      const double b = u.Dot(w);
      const double den = a * c - b * b;
      s = den > 1e-30 ? std::clamp((b * f - cc * c) / den, 0.0, 1.0) : 0.0;
      t = (b * s + f) / c;
      if (t < 0) {
        t = 0;
        s = std::clamp(-cc / a, 0.0, 1.0);
      } else if (t > 1) {
        t = 1;
        s = std::clamp((b - cc) / a, 0.0, 1.0);
      }
    }
  }
  return (p0 + u * s - q0 - w * t).LengthSq();
}

bool SegmentsTooClose(const Vec3& p0, const Vec3& p1, const Vec3& q0, const Vec3& q1,
                      double collisionDist) {
  // Quick rejection: segments whose extents are apart by more than the distance on one axis.
  const float pa[2][3] = {{p0.x, p0.y, p0.z}, {p1.x, p1.y, p1.z}};
  const float qa[2][3] = {{q0.x, q0.y, q0.z}, {q1.x, q1.y, q1.z}};
  for (int k = 0; k < 3; ++k) {
    const double pMin = std::min(pa[0][k], pa[1][k]), pMax = std::max(pa[0][k], pa[1][k]);
    const double qMin = std::min(qa[0][k], qa[1][k]), qMax = std::max(qa[0][k], qa[1][k]);
    if (qMin - pMax > collisionDist || pMin - qMax > collisionDist) return false;
  }
  return SegmentDistance2(p0, p1, q0, q1) < collisionDist * collisionDist;
}

double SmoothStep(TSeiffert& model, const TSmoothingParams& P, TNoise& noise) {
  TMesh& mesh = model.mesh;
  std::vector<TVertex>& V = mesh.verts;
  const int32_t nVerts = mesh.nVerts;
  double maxMove = 0;
  // Each vertex's force, later its step; the velocities of the knot vertices persist from one
  // iteration to the next (a table shorter than the mesh counts as zero beyond its end).
  std::vector<Vec3> force(static_cast<size_t>(nVerts));
  std::vector<Vec3>& velocity = mesh.velocity;
  if (velocity.size() < force.size()) velocity.resize(force.size());

  // Noise: a random kick of every knot vertex, inside the unit ball.
  if (P.noiseOn && P.dt > 0) {
    const double scale = P.noise * P.meanEdge / P.dt;
    for (int32_t i = 0; i < nVerts; ++i) {
      if (!IsKnot(V[i])) continue;
      Vec3 q;
      do {
        q = Vec3(2.0 * noise.Next10000() / 10000 - 1, 2.0 * noise.Next10000() / 10000 - 1,
                 2.0 * noise.Next10000() / 10000 - 1);
      } while (q.LengthSq() >= 1);
      force[i] = q * scale;
    }
  }

  // Attraction along the edges; the surface does not pull the knot.
  for (int32_t i = 0; i < mesh.nEdges; ++i) {
    const int32_t ai = mesh.edges[i].a, bi = mesh.edges[i].b;
    const TVertex& a = V[ai];
    const TVertex& b = V[bi];
    const Vec3 d = a.pos - b.pos;
    const double L = d.Length();
    if (!(L > 0)) continue;  // no direction: no pull
    const bool knotPair = IsKnot(a) && IsKnot(b);
    const TPairForces& f = knotPair ? P.knot : P.other;
    const double pull = f.attraction * IntPow(L / P.lengthScale, 1 + f.beta) / L;
    const Vec3 pullForce = FloatVec(d.x * pull, d.y * pull, d.z * pull);
    if (knotPair || !IsKnot(a)) force[ai] -= pullForce;
    if (knotPair || !IsKnot(b)) force[bi] += pullForce;
  }

  // Repulsion of every knot vertex against every later vertex. Isolated vertices (tag -2)
  // neither move nor push the knot, so they are left out.
  if (P.knot.repulsion > 0 || P.other.repulsion > 0) AddRepulsion(V, nVerts, P, force);

  // Pressure: every vertex is pushed along its normal towards its non-knot neighbours' plane.
  if (P.pressure > 0) {
    for (int32_t i = 0; i < nVerts; ++i) {
      const TVertex& v = V[i];
      for (int32_t ei : VEdges(mesh, i)) {
        const TEdge& e = mesh.edges[ei];
        const TVertex& w = V[e.a == i ? e.b : e.a];
        if (IsKnot(w)) continue;
        const double push = -P.pressure * (w.pos - v.pos).Dot(v.normal);
        force[i] += FloatVec(v.normal.x * push, v.normal.y * push, v.normal.z * push);
      }
    }
  }

  // Knot vertices move with damped velocity unless the move brings a neighbouring segment too
  // close to another part of the knot. Moves take effect at once, so what they change is noted
  // first: a non-finite result takes the whole iteration back.
  struct TUndo {
    int32_t vertex;
    Vec3 pos, velocity;
  };
  std::vector<TUndo> undo;
  {
    size_t moves = 0;
    for (int32_t l = 0; l < model.nLinks; ++l) moves += static_cast<size_t>(std::max(0, model.links[l].nVerts));
    undo.reserve(std::min(moves, static_cast<size_t>(nVerts) * 4));
  }
  bool finite = true;
  const auto takeBack = [&] {
    for (auto it = undo.rbegin(); it != undo.rend(); ++it) {
      V[it->vertex].pos = it->pos;
      velocity[it->vertex] = it->velocity;
    }
  };
  // The positions before any move, for the guard that keeps the surface from passing
  // through itself.
  std::vector<Vec3> start;
  const bool guardOn = P.checkCollision && P.keepSurfaceApart;
  if (guardOn) {
    start.resize(static_cast<size_t>(nVerts));
    for (int32_t i = 0; i < nVerts; ++i) start[static_cast<size_t>(i)] = V[i].pos;
  }
  // Kept from call to call: its tables then keep their storage over a run.
  thread_local TSegmentGrid grid;
  const bool gridOn = P.checkCollision && grid.Build(model, V, P.maxStep, P.collisionDist);
  for (int32_t l = 0; l < model.nLinks && finite; ++l) {
    const std::vector<int32_t>& line = model.links[l].verts;
    const int32_t n = model.links[l].nVerts;
    for (int32_t j = 0; j < n; ++j) {
      TVertex& v = V[line[j]];
      const Vec3 p = V[line[(j + 1) % n]].pos;
      const Vec3 q = V[line[(j - 1 + n) % n]].pos;
      Vec3& vel = velocity[line[j]];
      undo.push_back({line[j], v.pos, vel});
      vel = vel * P.damping + force[line[j]] * P.dt;
      double length = 0;
      const Vec3 c = v.pos + LimitedStep(vel, P.dt, P.maxStep, length);
      if (!Finite(c) || !Finite(vel)) {
        finite = false;
        break;
      }
      if (P.checkCollision && (gridOn ? grid.Blocks(model, V, l, j, p, q, c, P.collisionDist)
                                      : ScanBlocks(model, V, l, j, p, q, c, P.collisionDist)))
        continue;
      Widen(maxMove, length);
      v.pos = c;
    }
  }

  // Surface vertices follow their force; the step is measured before it is limited. They move
  // independently, so every new position is checked before the first one is stored.
  const double dt2 = P.dt * P.dt;
  for (int32_t i = 0; i < nVerts && finite; ++i) {
    const TVertex& v = V[i];
    if (v.tag < 0) continue;
    double length = 0;
    force[i] = LimitedStep(force[i], dt2, P.maxStep, length);  // from force to step
    Widen(maxMove, length);
    finite = Finite(v.pos + force[i]);
  }
  if (!finite || !std::isfinite(maxMove)) {
    takeBack();
    throw TSmoothingError(
        "Smoothing stopped: the next iteration would move vertices to non-finite positions. "
        "The surface keeps its last finite state; lower \"Time step\", \"Attraction\" or "
        "\"Repulsion\", or raise \"scale\".");
  }
  // Every step is known now, the knot's taken, the surface's to come: where two parts of the
  // surface would close in on one another too fast, both take shorter steps (a knot vertex
  // goes part of the way back).
  if (guardOn) {
    std::vector<D3> delta(static_cast<size_t>(nVerts));
    for (int32_t i = 0; i < nVerts; ++i) {
      const size_t k = static_cast<size_t>(i);
      delta[k] = V[i].tag >= 0 ? D3(force[i]) : D3(V[i].pos) - D3(start[k]);
    }
    if (GuardSurfaceSteps(mesh, start, delta, P.maxStep)) {
      for (int32_t i = 0; i < nVerts; ++i) {
        const size_t k = static_cast<size_t>(i);
        const D3& d = delta[k];
        if (V[i].tag >= 0) {
          force[i] = FloatVec(d.x, d.y, d.z);
        } else {
          // Exact where the step was kept: the difference of two floats and its sum are.
          V[i].pos = FloatVec(start[k].x + d.x, start[k].y + d.y, start[k].z + d.z);
        }
      }
    }
  }
  for (int32_t i = 0; i < nVerts; ++i) {
    TVertex& v = V[i];
    if (v.tag >= 0) v.pos += force[i];
  }
  return maxMove;
}
