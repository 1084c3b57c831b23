#pragma once
// An independent road to the Alexander polynomial of a braid's closure (every twist count 1):
// det(I - B(beta)) = (1 + t + ... + t^(n-1)) Delta(t) up to a unit, B the reduced Burau
// representation. Inverse letters are multiplied by t to stay polynomial.

#include <string>
#include <vector>

#include "invariants/seifertForm.h"
#include "knots/braidWord.h"

// Delta(t) from the Burau side, with the powers of t and the sign taken out (lowest coefficient
// positive); the empty polynomial for a split closure.
inline TPolynomial BurauAlexander(const std::string& word) {
  std::vector<int32_t> gen, power;
  int32_t nStrands = 1, nCross = 0;
  ParseBraidWord(word, gen, power, nStrands, nCross);
  const size_t n = static_cast<size_t>(nStrands) - 1;
  using TMatrix = std::vector<std::vector<TPolynomial>>;
  auto identity = [&](TPolynomial diag) {
    TMatrix m(n, std::vector<TPolynomial>(n));
    for (size_t i = 0; i < n; ++i) m[i][i] = diag;
    return m;
  };
  auto multiply = [&](const TMatrix& a, const TMatrix& b) {
    TMatrix c(n, std::vector<TPolynomial>(n));
    for (size_t i = 0; i < n; ++i)
      for (size_t j = 0; j < n; ++j)
        for (size_t k = 0; k < n; ++k)
          c[i][j] = PolySub(c[i][j], PolySub({}, PolyMul(a[i][k], b[k][j])));
    return c;
  };
  TMatrix product = identity({1});
  size_t inverses = 0;
  for (int32_t k = 1; k <= nCross; ++k) {
    const size_t i = static_cast<size_t>(std::abs(gen[k])) - 1;  // generator index from 0
    const bool inverse = gen[k] < 0;
    inverses += inverse;
    // sigma_i acts on rows i-1, i, i+1 (when they exist) of the reduced representation; the
    // inverse, times t, on the same rows.
    TMatrix s = identity(inverse ? TPolynomial{0, 1} : TPolynomial{1});
    if (!inverse) {
      s[i][i] = {0, -1};
      if (i >= 1) s[i - 1][i] = {0, 1};
      if (i + 1 < n) s[i + 1][i] = {1};
    } else {
      s[i][i] = {-1};
      if (i >= 1) s[i - 1][i] = {0, 1};
      if (i + 1 < n) s[i + 1][i] = {1};
    }
    product = multiply(product, s);
  }
  // det(t^m I - M) with M = t^m B.
  TPolynomial tm(inverses + 1, 0);
  tm.back() = 1;
  TMatrix a = identity(tm);
  for (size_t i = 0; i < n; ++i)
    for (size_t j = 0; j < n; ++j) a[i][j] = PolySub(a[i][j], product[i][j]);
  TPolynomial det = PolyDeterminant(a);
  TPolynomial cyclotomic(static_cast<size_t>(nStrands), 1);
  if (det.empty()) return {};
  TPolynomial delta = PolyExactDiv(det, cyclotomic);
  size_t low = 0;
  while (delta[low] == 0) ++low;
  delta.erase(delta.begin(), delta.begin() + static_cast<std::ptrdiff_t>(low));
  if (delta.front() < 0)
    for (int64_t& c : delta) c = -c;
  return delta;
}
