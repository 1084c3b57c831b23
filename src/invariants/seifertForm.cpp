#include "invariants/seifertForm.h"

#include <algorithm>
#include <cstdlib>

#include "core/checked.h"
#include "core/disjointSets.h"
#include "core/rangeError.h"
#include "invariants/exactArithmetic.h"
#include "knots/braidWord.h"

static_assert(sizeof(long) == 8, "GMP's long must hold a 64-bit value");

namespace {

// The Seifert matrix itself stays small (twist counts are at most 99), so it is built in
// checked 64-bit steps; the polynomial and the signature are where numbers grow.
int64_t Add(int64_t a, int64_t b) {
  return CheckedAdd64(a, b);
}
int64_t Sub(int64_t a, int64_t b) {
  int64_t r;
  if (__builtin_sub_overflow(a, b, &r)) throw RangeError("integer overflow in a subtraction");
  return r;
}
int64_t Neg(int64_t a) {
  return Sub(0, a);
}

template <class I>
using TPoly = std::vector<I>;

template <class I>
void Trim(TPoly<I> &p) {
  while (!p.empty() && p.back() == I(0)) p.pop_back();
}

template <class I>
bool IsZero(const TPoly<I> &p) {
  return std::all_of(p.begin(), p.end(), [](const I &c) { return c == I(0); });
}

template <class I>
TPoly<I> Mul(const TPoly<I> &a, const TPoly<I> &b) {
  if (a.empty() || b.empty()) return {};
  TPoly<I> r(a.size() + b.size() - 1, I(0));
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i] != I(0))
      for (size_t j = 0; j < b.size(); ++j) r[i + j] = r[i + j] + a[i] * b[j];
  Trim(r);
  return r;
}

// a + sign * b
template <class I>
TPoly<I> Combine(const TPoly<I> &a, const TPoly<I> &b, int sign) {
  TPoly<I> r(std::max(a.size(), b.size()), I(0));
  for (size_t i = 0; i < r.size(); ++i) {
    const I x = i < a.size() ? a[i] : I(0), y = i < b.size() ? b[i] : I(0);
    if (sign > 0)
      r[i] = x + y;
    else
      r[i] = x - y;
  }
  Trim(r);
  return r;
}

template <class I>
TPoly<I> ExactDiv(TPoly<I> a, TPoly<I> b) {
  Trim(a);
  Trim(b);
  if (b.empty()) throw RangeError("polynomial division by zero");
  if (a.empty()) return {};
  if (a.size() < b.size()) throw RangeError("polynomial division is not exact");
  TPoly<I> q(a.size() - b.size() + 1, I(0));
  for (size_t k = q.size(); k-- > 0;) {
    const I lead = a[k + b.size() - 1];
    if (lead % b.back() != I(0)) throw RangeError("polynomial division is not exact");
    const I c = lead / b.back();
    q[k] = c;
    if (c != I(0))
      for (size_t j = 0; j < b.size(); ++j) a[k + j] = a[k + j] - c * b[j];
  }
  if (!IsZero(a)) throw RangeError("polynomial division is not exact");
  Trim(q);
  return q;
}

template <class I>
TPoly<I> Determinant(std::vector<std::vector<TPoly<I>>> m) {
  const size_t n = m.size();
  if (n == 0) return {I(1)};
  for (const auto &row : m)
    if (row.size() != n) throw RangeError("determinant of a matrix that is not square");
  // Fraction-free elimination: after step k every entry below and right of the
  // pivot is a minor of the original matrix, so the division by the previous
  // pivot is exact.
  TPoly<I> previous{I(1)};
  bool negate = false;
  for (size_t k = 0; k < n; ++k) {
    size_t p = k;
    while (p < n && IsZero(m[p][k])) ++p;
    if (p == n) return {};
    if (p != k) {
      std::swap(m[p], m[k]);
      negate = !negate;
    }
    for (size_t i = k + 1; i < n; ++i) {
      for (size_t j = k + 1; j < n; ++j)
        m[i][j] = ExactDiv(Combine(Mul(m[k][k], m[i][j]), Mul(m[i][k], m[k][j]), -1), previous);
      m[i][k].clear();
    }
    previous = m[k][k];
  }
  TPoly<I> det = m[n - 1][n - 1];
  Trim(det);
  if (negate)
    for (I &c : det) c = -c;
  return det;
}

// Signature of a symmetric integer matrix by elimination over the rationals R.
template <class R>
int32_t SignatureOf(const std::vector<std::vector<int64_t>> &symmetric) {
  const size_t n = symmetric.size();
  std::vector<std::vector<R>> m(n, std::vector<R>(n));
  for (size_t i = 0; i < n; ++i) {
    if (symmetric[i].size() != n) throw RangeError("signature of a matrix that is not square");
    for (size_t j = 0; j < n; ++j) {
      if (symmetric[i][j] != symmetric.at(j).at(i))
        throw RangeError("signature of a matrix that is not symmetric");
      m[i][j] = R(static_cast<long>(symmetric[i][j]));
    }
  }
  const R zero(0L);
  std::vector<bool> active(n, true);
  int32_t signature = 0;
  for (size_t left = n; left > 0; --left) {
    size_t p = n;
    for (size_t i = 0; i < n && p == n; ++i)
      if (active[i] && m[i][i] != zero) p = i;
    if (p == n) {
      // Only zeros on the diagonal: a nonzero m[i][j] gives, after adding row
      // and column j to row and column i (a congruence), the diagonal entry 2
      // m[i][j].
      size_t a = n, b = n;
      for (size_t i = 0; i < n && a == n; ++i)
        for (size_t j = 0; j < n && active[i]; ++j)
          if (active[j] && i != j && m[i][j] != zero) {
            a = i;
            b = j;
            break;
          }
      if (a == n) break;  // the rest is zero
      for (size_t j = 0; j < n; ++j) m[a][j] = m[a][j] + m[b][j];
      for (size_t i = 0; i < n; ++i) m[i][a] = m[i][a] + m[i][b];
      p = a;
    }
    signature += m[p][p] > zero ? 1 : -1;
    active[p] = false;
    for (size_t i = 0; i < n; ++i) {
      if (!active[i] || m[i][p] == zero) continue;
      const R f = m[i][p] / m[p][p];
      for (size_t j = 0; j < n; ++j)
        if (active[j] && m[p][j] != zero) m[i][j] = m[i][j] - f * m[p][j];
    }
    for (size_t i = 0; i < n; ++i) m[i][p] = m[p][i] = zero;
  }
  return signature;
}

// det(I - B(beta)) of the reduced Burau matrix B, of size strands - 1, equals (1 + t + ... +
// t^(strands-1)) Delta(t) up to a unit: the Alexander polynomial of a closed braid without
// a matrix of its loops. Each letter is one column operation on the product; inverse letters
// are multiplied by t to stay polynomial.
template <class I>
TPoly<I> BurauDelta(const std::vector<int32_t> &gen, int32_t nStrands, int32_t nCross) {
  const size_t n = static_cast<size_t>(nStrands) - 1;
  std::vector<std::vector<TPoly<I>>> p(n, std::vector<TPoly<I>>(n));
  for (size_t i = 0; i < n; ++i) p[i][i] = {I(1)};
  auto timesT = [](TPoly<I> &a) {
    if (!a.empty()) a.insert(a.begin(), I(0));
  };
  size_t inverses = 0;
  for (int32_t k = 1; k <= nCross; ++k) {
    const size_t i = static_cast<size_t>(std::abs(gen[k])) - 1;
    const bool inverse = gen[k] < 0;
    inverses += inverse;
    // Column i becomes t P[., i-1] - t P[., i] + P[., i+1] (for an inverse t P[., i-1] -
    // P[., i] + P[., i+1], every other column times t).
    for (size_t row = 0; row < n; ++row) {
      TPoly<I> left = i >= 1 ? p[row][i - 1] : TPoly<I>{};
      TPoly<I> middle = p[row][i];
      timesT(left);
      if (!inverse) timesT(middle);
      TPoly<I> column = Combine(left, middle, -1);
      if (i + 1 < n) column = Combine(column, p[row][i + 1], 1);
      if (inverse)
        for (size_t j = 0; j < n; ++j)
          if (j != i) timesT(p[row][j]);
      p[row][i] = std::move(column);
    }
  }
  // det(t^m I - t^m B) with m the number of inverse letters.
  TPoly<I> tm(inverses + 1, I(0));
  tm.back() = I(1);
  for (size_t i = 0; i < n; ++i)
    for (size_t j = 0; j < n; ++j) p[i][j] = Combine(i == j ? tm : TPoly<I>{}, p[i][j], -1);
  const TPoly<I> det = Determinant(p);
  if (det.empty()) return {};
  return ExactDiv(det, TPoly<I>(static_cast<size_t>(nStrands), I(1)));
}

bool Fits64(const mpz_class &a) {
  return a.fits_slong_p();
}
bool Fits64(TInt64) {
  return true;
}
int64_t To64(const mpz_class &a) {
  return a.get_si();
}
int64_t To64(TInt64 a) {
  return a.Get();
}

// Delta, the determinant and the signature from the Seifert matrix `v` (or, with `burau`, Delta
// from the word's Burau matrix) in the integers I; throws TOverflow on the fast road.
template <class I>
void Finish(TInvariants &r, bool burau, const std::vector<int32_t> &gen, int32_t nStrands,
            int32_t nCross) {
  const auto &v = r.seifert;
  const size_t n = v.size();
  TPoly<I> p;
  if (r.surfaceParts == 1) {
    if (burau) {
      p = BurauDelta<I>(gen, nStrands, nCross);
    } else {
      std::vector<std::vector<TPoly<I>>> m(n, std::vector<TPoly<I>>(n));
      for (size_t i = 0; i < n; ++i)
        for (size_t j = 0; j < n; ++j) {
          m[i][j] = {I(static_cast<long>(v[i][j])), -I(static_cast<long>(v[j][i]))};
          Trim(m[i][j]);
        }
      p = Determinant(m);
    }
    size_t low = 0;
    while (low < p.size() && p[low] == I(0)) ++low;
    p.erase(p.begin(), p.begin() + static_cast<std::ptrdiff_t>(std::min(low, p.size())));
    Trim(p);
    if (!p.empty()) {
      // Delta(1/t) = +-Delta(t): centred, the lowest power is minus the highest.
      r.alexanderLowest2 = -static_cast<int32_t>(p.size() - 1);
      I atOne(0);
      for (const I &c : p) atOne = atOne + c;
      const bool flip = atOne != I(0) ? atOne < I(0) : p.back() < I(0);
      if (flip)
        for (I &c : p) c = -c;
    }
  }
  I atMinusOne(0);
  for (size_t i = 0; i < p.size(); ++i) {
    if (i % 2)
      atMinusOne = atMinusOne - p[i];
    else
      atMinusOne = atMinusOne + p[i];
  }
  if (atMinusOne < I(0)) atMinusOne = -atMinusOne;

  std::vector<std::vector<int64_t>> sym(n, std::vector<int64_t>(n));
  for (size_t i = 0; i < n; ++i)
    for (size_t j = 0; j < n; ++j) sym[i][j] = Add(v[i][j], v[j][i]);
  r.signature = SignatureOf<typename TRationalOf<I>::Type>(sym);

  r.fits64 = Fits64(atMinusOne);
  r.alexanderDecimal.clear();
  for (const I &c : p) {
    r.fits64 = r.fits64 && Fits64(c);
    r.alexanderDecimal.push_back(Decimal(c));
  }
  r.alexander.clear();
  r.determinant = 0;
  if (r.fits64) {
    for (const I &c : p) r.alexander.push_back(To64(c));
    r.determinant = To64(atMinusOne);
  }
  r.determinantDecimal = Decimal(atMinusOne);
  r.alexanderText = LaurentText(r.alexanderDecimal, r.alexanderLowest2);
}

// Finish in 64 bits, again with GMP when a number outgrows them (or with GMP alone).
void FinishBothRoads(TInvariants &r, bool bigNumbers, bool burau, const std::vector<int32_t> &gen,
                     int32_t nStrands, int32_t nCross) {
  if (bigNumbers) {
    Finish<mpz_class>(r, burau, gen, nStrands, nCross);
    return;
  }
  try {
    Finish<TInt64>(r, burau, gen, nStrands, nCross);
  } catch (const TOverflow &) {
    Finish<mpz_class>(r, burau, gen, nStrands, nCross);
  }
}

TPoly<TInt64> Small(const TPolynomial &a) {
  return TPoly<TInt64>(a.begin(), a.end());
}
TPolynomial Plain(const TPoly<TInt64> &a) {
  TPolynomial r;
  for (TInt64 c : a) r.push_back(c.Get());
  return r;
}

// The 64-bit helpers the tests share: an overflow is a RangeError there.
template <class F>
auto Checked(F f) {
  try {
    return f();
  } catch (const TOverflow &) {
    throw RangeError("integer overflow beyond 64 bits");
  }
}

}  // namespace

TPolynomial PolyMul(const TPolynomial &a, const TPolynomial &b) {
  return Checked([&] { return Plain(Mul(Small(a), Small(b))); });
}

TPolynomial PolySub(const TPolynomial &a, const TPolynomial &b) {
  return Checked([&] { return Plain(Combine(Small(a), Small(b), -1)); });
}

TPolynomial PolyExactDiv(const TPolynomial &a, const TPolynomial &b) {
  return Checked([&] { return Plain(ExactDiv(Small(a), Small(b))); });
}

TPolynomial PolyDeterminant(std::vector<std::vector<TPolynomial>> m) {
  std::vector<std::vector<TPoly<TInt64>>> s;
  for (const auto &row : m) {
    s.emplace_back();
    for (const auto &e : row) s.back().push_back(Small(e));
  }
  return Checked([&] { return Plain(Determinant(std::move(s))); });
}

int32_t Signature(const std::vector<std::vector<int64_t>> &symmetric) {
  try {
    return SignatureOf<TRational64>(symmetric);
  } catch (const TOverflow &) {
    return SignatureOf<mpq_class>(symmetric);
  }
}

std::string LaurentText(const TPolynomial &c, int32_t lowest2) {
  std::vector<std::string> digits;
  for (int64_t x : c) digits.push_back(std::to_string(x));
  return LaurentText(digits, lowest2);
}

std::string LaurentText(const std::vector<std::string> &c, int32_t lowest2) {
  std::string text;
  for (size_t i = 0; i < c.size(); ++i) {
    if (c[i] == "0") continue;
    const int64_t e2 = static_cast<int64_t>(lowest2) + 2 * static_cast<int64_t>(i);
    const bool negative = !c[i].empty() && c[i][0] == '-';
    const std::string size = negative ? c[i].substr(1) : c[i];
    if (text.empty())
      text += negative ? "-" : "";
    else
      text += negative ? " - " : " + ";
    if (size != "1" || e2 == 0) text += size;
    if (e2 == 0) continue;
    text += "t";
    if (e2 == 2) continue;
    text += "^";
    if (e2 % 2 == 0)
      text += std::to_string(e2 / 2);
    else
      text += std::to_string(e2) + "/2";
  }
  return text.empty() ? "0" : text;
}

TInvariants ComputeInvariants(const std::vector<int32_t> &gen, const std::vector<int32_t> &power,
                              int32_t nStrands, int32_t nCross, TRoads roads) {
  if (nCross < 0 || nStrands < 1 || gen.size() < static_cast<size_t>(nCross) + 1 ||
      power.size() < static_cast<size_t>(nCross) + 1)
    throw RangeError("braid tables shorter than the number of crossings");
  TInvariants r;
  r.nDisks = nCross == 0 ? 1 : nStrands;
  r.nBands = nCross;
  r.eulerCharacteristic = r.nDisks - r.nBands;

  // Signed half twists per band and the bands of each pair of neighbouring
  // disks in word order.
  std::vector<int64_t> twist(nCross + 1, 0);
  std::vector<std::vector<int32_t>> pairBands(r.nDisks + 1);
  for (int32_t k = 1; k <= nCross; ++k) {
    const int32_t g = gen[k];
    if (g == 0 || std::abs(g) >= r.nDisks) throw RangeError("a letter outside the braid's strands");
    twist[k] = (g > 0 ? 1 : -1) * static_cast<int64_t>(power[k]);
    if (power[k] < 1) throw RangeError("a twist count below 1");
    pairBands[std::abs(g)].push_back(k);
  }

  // Orientation: a side per disk, +1 when its positive side faces the disk
  // above.
  std::vector<int32_t> side(r.nDisks + 1, 1);
  std::vector<int32_t> pairOdd(r.nDisks + 1, 1);
  for (int32_t j = 1; j < r.nDisks; ++j) {
    const auto &bands = pairBands[j];
    if (!bands.empty()) {
      pairOdd[j] = static_cast<int32_t>(std::abs(twist[bands[0]]) % 2);
      for (int32_t k : bands)
        if (std::abs(twist[k]) % 2 != pairOdd[j])
          throw RangeError("the surface is not orientable: the bands between disks " +
                           std::to_string(j) + " and " + std::to_string(j + 1) +
                           " mix odd and even twist counts, so it has no Seifert matrix");
      side[j + 1] = pairOdd[j] ? side[j] : -side[j];
    }
  }

  // Boundary: each band end has a left and a right corner on its disk's rim.
  // Rim arcs join the right corner of one end to the left corner of the next
  // end around the disk; a band's edges join the corners straight across, or
  // crosswise when its twist is odd.
  auto corner = [](int32_t band, int32_t upper, int32_t right) {
    return 4 * (band - 1) + 2 * upper + right;
  };
  TDisjointSets boundary(static_cast<size_t>(4) * nCross);
  int32_t bareDisks = 0;
  for (int32_t d = 1; d <= r.nDisks; ++d) {
    std::vector<std::pair<int32_t, int32_t>> ends;  // (band, 1 for its upper end)
    for (int32_t k = 1; k <= nCross; ++k) {
      if (std::abs(gen[k]) == d) ends.push_back({k, 0});
      if (std::abs(gen[k]) == d - 1) ends.push_back({k, 1});
    }
    if (ends.empty()) ++bareDisks;
    for (size_t i = 0; i < ends.size(); ++i) {
      const auto &next = ends[(i + 1) % ends.size()];
      boundary.Join(corner(ends[i].first, ends[i].second, 1), corner(next.first, next.second, 0));
    }
  }
  for (int32_t k = 1; k <= nCross; ++k) {
    const int32_t cross = static_cast<int32_t>(std::abs(twist[k]) % 2);
    boundary.Join(corner(k, 0, 0), corner(k, 1, cross));
    boundary.Join(corner(k, 0, 1), corner(k, 1, 1 - cross));
  }
  r.components = boundary.Count() + bareDisks;

  TDisjointSets pieces(r.nDisks + 1);
  for (int32_t k = 1; k <= nCross; ++k) pieces.Join(std::abs(gen[k]), std::abs(gen[k]) + 1);
  r.surfaceParts = pieces.Count() - 1;  // element 0 is a piece of its own
  r.genus = (2 * r.surfaceParts - r.eulerCharacteristic - r.components) / 2;

  // The basis: consecutive bands between the same two disks.
  std::vector<std::vector<int32_t>> pairLoops(r.nDisks + 1);
  for (int32_t j = 1; j < r.nDisks; ++j)
    for (size_t i = 1; i < pairBands[j].size(); ++i) {
      pairLoops[j].push_back(static_cast<int32_t>(r.loops.size()));
      r.loops.push_back({j, pairBands[j][i - 1], pairBands[j][i]});
      r.loopSteps.push_back({{pairBands[j][i - 1], j + 1}, {pairBands[j][i], j}});
      if (r.loops.size() > static_cast<size_t>(kMaxLoops))
        throw RangeError("the invariants are computed for surfaces of at most " +
                         std::to_string(kMaxLoops) + " loops (the signature of more would take minutes)");
    }
  r.rank = static_cast<int32_t>(r.loops.size());
  const size_t n = r.loops.size();
  auto &v = r.seifert;
  v.assign(n, std::vector<int64_t>(n, 0));
  for (int32_t j = 1; j < r.nDisks; ++j) {
    const auto &here = pairLoops[j];
    for (size_t i = 0; i < here.size(); ++i) {
      const TLoop &a = r.loops[here[i]];
      // Half twists of both bands; each half twist of a positive crossing links
      // by -1/2.
      v[here[i]][here[i]] = Neg(Add(twist[a.bandUp], twist[a.bandDown])) / 2;
      if (i + 1 < here.size()) {
        // The next loop shares band a.bandDown. An odd band makes the two loops
        // cross once on the surface, on the side the disks' orientation
        // decides.
        const int64_t t = twist[a.bandDown];
        const int64_t delta = pairOdd[j] ? side[j + 1] : 0;
        v[here[i]][here[i + 1]] = Add(t, delta) / 2;
        v[here[i + 1]][here[i]] = Sub(t, delta) / 2;
      }
      // Loops of the pair above share disk j + 1: their paths across it cross
      // exactly when their bands interleave around the stack.
      if (j + 1 < r.nDisks)
        for (int32_t ib : pairLoops[j + 1]) {
          const TLoop &b = r.loops[ib];
          int64_t s = 0;
          if (a.bandUp < b.bandUp && b.bandUp < a.bandDown && a.bandDown < b.bandDown) s = 1;
          if (b.bandUp < a.bandUp && a.bandUp < b.bandDown && b.bandDown < a.bandDown) s = -1;
          // Of the two loops, the one on the positive side of disk j + 1 can be
          // lifted off the surface away from the other: that linking number is
          // zero.
          if (side[j + 1] > 0)
            v[ib][here[i]] = s;
          else
            v[here[i]][ib] = s;
        }
    }
  }

  // The entries above are those of the mirror image, in which an upper-case letter is a positive
  // crossing. The drawn surface is its reflection: every linking number changes sign, and with
  // each disk keeping the side that faces the disk above, each push-off keeps its direction.
  for (auto &row : v)
    for (int64_t &e : row) e = Neg(e);

  // Delta, the determinant and the signature: the Seifert matrix's polynomial up to
  // kMaxSeifertLoops loops, beyond that the Burau matrix where every band is a crossing; first in
  // 64 bits, again with GMP when a number outgrows them.
  bool singleTwists = true;
  for (int32_t k = 1; k <= nCross; ++k) singleTwists = singleTwists && std::abs(twist[k]) == 1;
  const bool burau = roads.burau || (n > static_cast<size_t>(kMaxSeifertLoops) && singleTwists);
  if (!burau && n > static_cast<size_t>(kMaxTwistedLoops))
    throw RangeError("the Alexander polynomial of a word with multi-twist bands is computed for at "
                     "most " + std::to_string(kMaxTwistedLoops) + " loops (this one has " +
                     std::to_string(n) + ")");
  FinishBothRoads(r, roads.bigNumbers, burau, gen, nStrands, nCross);
  return r;
}

void InvariantsFromSeifertMatrix(TInvariants &r, TRoads roads) {
  const size_t n = r.seifert.size();
  if (n > static_cast<size_t>(kMaxSeifertLoops))
    throw RangeError("the Alexander polynomial of a diagram surface is computed for at most " +
                     std::to_string(kMaxSeifertLoops) + " loops (this one has " +
                     std::to_string(n) + ")");
  for (const auto &row : r.seifert)
    if (row.size() != n) throw RangeError("a Seifert matrix that is not square");
  FinishBothRoads(r, roads.bigNumbers, false, {}, 0, 0);
}

TInvariants ComputeInvariants(const std::string &braid, TRoads roads) {
  std::vector<int32_t> gen, power;
  int32_t nStrands = 1, nCross = 0;
  ParseBraidWord(braid, gen, power, nStrands, nCross);
  return ComputeInvariants(gen, power, nStrands, nCross, roads);
}

std::string InvariantsSummary(const TInvariants &r) {
  std::string s = "Genus " + std::to_string(r.genus) + " (" + r.surfaceName + "), rank " +
                  std::to_string(r.rank) + "\n\xce\x94(t) = " + r.alexanderText + "\nDeterminant " +
                  r.determinantDecimal + ", signature " + std::to_string(r.signature);
  if (r.components > 1) s += "\nA link of " + std::to_string(r.components) + " components";
  if (r.surfaceParts > 1) s += ", split (" + std::to_string(r.surfaceParts) + " pieces)";
  return s;
}
