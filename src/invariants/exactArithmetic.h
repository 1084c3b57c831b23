#pragma once
// The two integer types the invariants are computed in: a 64-bit integer whose every step is
// checked, the fast road, and GMP's integers, the road taken when the fast one overflows. Both
// serve the same templates, so the two roads give the same numbers.

#include <gmpxx.h>

#include <climits>
#include <cstdint>
#include <numeric>
#include <string>

#include "core/rangeError.h"

// Thrown by the fast road when a value would leave 64 bits; the caller starts again with GMP.
struct TOverflow {};

class TInt64 {
 public:
  TInt64() = default;
  TInt64(int64_t v) : v_(v) {}  // NOLINT: an integer literal is a value of either road
  int64_t Get() const { return v_; }

  friend TInt64 operator+(TInt64 a, TInt64 b) {
    int64_t r;
    if (__builtin_add_overflow(a.v_, b.v_, &r)) throw TOverflow{};
    return r;
  }
  friend TInt64 operator-(TInt64 a, TInt64 b) {
    int64_t r;
    if (__builtin_sub_overflow(a.v_, b.v_, &r)) throw TOverflow{};
    return r;
  }
  friend TInt64 operator*(TInt64 a, TInt64 b) {
    int64_t r;
    if (__builtin_mul_overflow(a.v_, b.v_, &r)) throw TOverflow{};
    return r;
  }
  // Truncating, as GMP's; the lowest value over -1 is the one quotient that overflows.
  friend TInt64 operator/(TInt64 a, TInt64 b) {
    if (b.v_ == -1) return -a;
    return a.v_ / b.v_;
  }
  friend TInt64 operator%(TInt64 a, TInt64 b) { return b.v_ == -1 ? 0 : a.v_ % b.v_; }
  TInt64 operator-() const { return TInt64(0) - *this; }
  TInt64& operator+=(TInt64 b) { return *this = *this + b; }
  TInt64& operator-=(TInt64 b) { return *this = *this - b; }
  friend bool operator==(TInt64 a, TInt64 b) { return a.v_ == b.v_; }
  friend bool operator!=(TInt64 a, TInt64 b) { return a.v_ != b.v_; }
  friend bool operator<(TInt64 a, TInt64 b) { return a.v_ < b.v_; }
  friend bool operator>(TInt64 a, TInt64 b) { return a.v_ > b.v_; }

 private:
  int64_t v_ = 0;
};

inline std::string Decimal(TInt64 a) { return std::to_string(a.Get()); }
inline std::string Decimal(const mpz_class& a) { return a.get_str(); }
inline int Sign(TInt64 a) { return a.Get() > 0 ? 1 : (a.Get() < 0 ? -1 : 0); }
inline int Sign(const mpz_class& a) { return sgn(a); }

// A fraction of the fast road in lowest terms, denominator positive, every step checked.
class TRational64 {
 public:
  TRational64() = default;
  TRational64(int64_t n) : num_(n) {}  // NOLINT: integers are fractions
  TRational64(TInt64 n, TInt64 d) {
    // gcd and negation are defined only above the lowest value.
    if (n.Get() == INT64_MIN || d.Get() == INT64_MIN) throw TOverflow{};
    if (d.Get() < 0) {
      n = -n;
      d = -d;
    }
    const int64_t g = std::gcd(n.Get(), d.Get());
    num_ = g > 1 ? n.Get() / g : n.Get();
    den_ = g > 1 ? d.Get() / g : d.Get();
  }
  friend TRational64 operator+(TRational64 a, TRational64 b) {
    const int64_t g = std::gcd(a.den_, b.den_);
    return {TInt64(a.num_) * (b.den_ / g) + TInt64(b.num_) * (a.den_ / g),
            TInt64(a.den_ / g) * b.den_};
  }
  friend TRational64 operator-(TRational64 a, TRational64 b) {
    return a + TRational64(-TInt64(b.num_), TInt64(b.den_));
  }
  friend TRational64 operator*(TRational64 a, TRational64 b) {
    const int64_t g1 = std::gcd(a.num_, b.den_), g2 = std::gcd(b.num_, a.den_);
    return {TInt64(g1 ? a.num_ / g1 : a.num_) * (g2 ? b.num_ / g2 : b.num_),
            TInt64(g2 ? a.den_ / g2 : a.den_) * (g1 ? b.den_ / g1 : b.den_)};
  }
  friend TRational64 operator/(TRational64 a, TRational64 b) {
    if (b.num_ == 0) throw RangeError("division by zero in the signature");
    return a * TRational64(TInt64(b.den_), TInt64(b.num_));
  }
  friend bool operator==(TRational64 a, TRational64 b) {
    return a.num_ == b.num_ && a.den_ == b.den_;
  }
  friend bool operator!=(TRational64 a, TRational64 b) { return !(a == b); }
  friend bool operator>(TRational64 a, TRational64 b) { return (a - b).num_ > 0; }

 private:
  int64_t num_ = 0, den_ = 1;
};

// The rationals of each road.
template <class I>
struct TRationalOf;
template <>
struct TRationalOf<TInt64> {
  using Type = TRational64;
};
template <>
struct TRationalOf<mpz_class> {
  using Type = mpq_class;
};
