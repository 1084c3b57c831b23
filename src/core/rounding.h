#pragma once
// Rounding to nearest, ties to even, and checked conversions of reals to integers.

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "rangeError.h"

// Nearest integer value, an exact half going to the even neighbour (31.5 -> 32, 30.5 -> 30).
inline long double RoundEven(long double x) { return std::nearbyintl(x); }
inline double RoundEven(double x) { return std::nearbyint(x); }

// Rounds to the nearest int32; NaN, infinity or a value outside int32 is a RangeError.
template <typename Real>
int32_t RoundToInt(Real x, const char* what = "value") {
  Real r = RoundEven(x);
  if (!(r >= Real(std::numeric_limits<int32_t>::min()) &&
        r <= Real(std::numeric_limits<int32_t>::max())))
    throw RangeError(std::string(what) + " is not a representable whole number");
  return static_cast<int32_t>(r);
}

// Truncates toward zero with the same checks.
template <typename Real>
int32_t TruncToInt(Real x, const char* what = "value") {
  if (!(x > Real(std::numeric_limits<int32_t>::min()) - 1 &&
        x < Real(std::numeric_limits<int32_t>::max()) + 1))
    throw RangeError(std::string(what) + " is not a representable whole number");
  return static_cast<int32_t>(x);
}
