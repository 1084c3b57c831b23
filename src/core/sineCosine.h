#pragma once
// Sine and cosine of one angle together, for the mesh builders' per-vertex angles.
//
// The library's functions cost about 14 ns a call here, much of it in saving and restoring the
// rounding mode; this evaluates both at once in plain arithmetic, to within two units in the
// last place of a double, far inside the single precision the positions are stored in.

#include <cmath>
#include <cstdint>

namespace sine_cosine_detail {

// pi/2 in three parts: the first two have 33 significant bits, so that k times either is exact
// for every |k| below 2^20 and the reduction loses nothing there.
constexpr double kHalfPi1 = 0x1.921fb54400000p+0;
constexpr double kHalfPi2 = 0x1.0b4611a600000p-34;
constexpr double kHalfPi3 = 0x1.3198a2e037073p-69;
constexpr double kTwoOverPi = 0x1.45f306dc9c883p-1;
// Adding and subtracting 1.5 x 2^52 rounds a double below 2^51 to the nearest whole number
// (ties to even) in the default rounding mode, without a library call.
constexpr double kRoundShift = 0x1.8p52;
// Beyond this the reduction above would lose bits: the library takes over.
constexpr double kReducedRange = 1e5;

// Taylor series on |r| <= pi/4; the first term left out is below 1e-19 there.
inline double SinKernel(double r) {
  const double z = r * r;
  const double p =
      -1.0 / 6 +
      z * (1.0 / 120 +
           z * (-1.0 / 5040 +
                z * (1.0 / 362880 +
                     z * (-1.0 / 39916800 +
                          z * (1.0 / 6227020800 +
                               z * (-1.0 / 1307674368000 + z * (1.0 / 355687428096000.0)))))));
  return r + r * z * p;
}

inline double CosKernel(double r) {
  const double z = r * r;
  const double p =
      1.0 / 24 +
      z * (-1.0 / 720 +
           z * (1.0 / 40320 +
                z * (-1.0 / 3628800 +
                     z * (1.0 / 479001600 +
                          z * (-1.0 / 87178291200.0 +
                               z * (1.0 / 20922789888000.0 + z * (-1.0 / 6402373705728000.0)))))));
  return 1 - 0.5 * z + z * z * p;
}

}  // namespace sine_cosine_detail

// s = sin(x), c = cos(x). NaN and infinities give NaN, as the library does.
inline void SinCos(double x, double& s, double& c) {
  using namespace sine_cosine_detail;
  if (!(std::fabs(x) <= kReducedRange)) {
    s = std::sin(x);
    c = std::cos(x);
    return;
  }
  const double k = (x * kTwoOverPi + kRoundShift) - kRoundShift;
  const double r = ((x - k * kHalfPi1) - k * kHalfPi2) - k * kHalfPi3;
  const double sr = SinKernel(r), cr = CosKernel(r);
  // k is a whole number below 2^17 in magnitude: its quadrant is its two lowest bits.
  switch (static_cast<int32_t>(k) & 3) {
    case 0: s = sr; c = cr; break;
    case 1: s = cr; c = -sr; break;
    case 2: s = -sr; c = -cr; break;
    default: s = -cr; c = sr; break;
  }
}
