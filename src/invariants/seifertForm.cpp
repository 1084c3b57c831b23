#include "invariants/seifertForm.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <numeric>

#include "core/checked.h"
#include "core/disjointSets.h"
#include "core/rangeError.h"
#include "knots/braidWord.h"

namespace {

int64_t Add(int64_t a, int64_t b) {
  return CheckedAdd64(a, b);
}
int64_t Sub(int64_t a, int64_t b) {
  int64_t r;
  if (__builtin_sub_overflow(a, b, &r)) throw RangeError("integer overflow in a subtraction");
  return r;
}
int64_t Mul(int64_t a, int64_t b) {
  return CheckedMul64(a, b);
}
int64_t Neg(int64_t a) {
  return Sub(0, a);
}

void Trim(TPolynomial &p) {
  while (!p.empty() && p.back() == 0) p.pop_back();
}

bool IsZero(const TPolynomial &p) {
  return std::all_of(p.begin(), p.end(), [](int64_t c) { return c == 0; });
}

// Union-find over small index sets.
// A rational number in lowest terms, denominator positive, every step checked.
struct TRational {
  int64_t num = 0, den = 1;
};

TRational Make(int64_t num, int64_t den) {
  // gcd and negation are defined only above the lowest value.
  if (num == INT64_MIN || den == INT64_MIN) throw RangeError("integer overflow in a fraction");
  if (den < 0) {
    num = Neg(num);
    den = Neg(den);
  }
  const int64_t g = std::gcd(num, den);
  if (g > 1) {
    num /= g;
    den /= g;
  }
  return {num, den};
}

TRational RAdd(TRational a, TRational b) {
  const int64_t g = std::gcd(a.den, b.den);
  return Make(Add(Mul(a.num, b.den / g), Mul(b.num, a.den / g)), Mul(a.den / g, b.den));
}
TRational RMul(TRational a, TRational b) {
  const int64_t g1 = std::gcd(a.num, b.den), g2 = std::gcd(b.num, a.den);
  const int64_t n1 = g1 ? a.num / g1 : a.num, d2 = g1 ? b.den / g1 : b.den;
  const int64_t n2 = g2 ? b.num / g2 : b.num, d1 = g2 ? a.den / g2 : a.den;
  return Make(Mul(n1, n2), Mul(d1, d2));
}
TRational RNeg(TRational a) {
  return {Neg(a.num), a.den};
}
TRational RDiv(TRational a, TRational b) {
  if (b.num == 0) throw RangeError("division by zero in the signature");
  return RMul(a, Make(b.den, b.num));
}

}  // namespace

TPolynomial PolyMul(const TPolynomial &a, const TPolynomial &b) {
  if (a.empty() || b.empty()) return {};
  TPolynomial r(a.size() + b.size() - 1, 0);
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i] != 0)
      for (size_t j = 0; j < b.size(); ++j) r[i + j] = Add(r[i + j], Mul(a[i], b[j]));
  Trim(r);
  return r;
}

TPolynomial PolySub(const TPolynomial &a, const TPolynomial &b) {
  TPolynomial r(std::max(a.size(), b.size()), 0);
  for (size_t i = 0; i < r.size(); ++i)
    r[i] = Sub(i < a.size() ? a[i] : 0, i < b.size() ? b[i] : 0);
  Trim(r);
  return r;
}

TPolynomial PolyExactDiv(const TPolynomial &a0, const TPolynomial &b0) {
  TPolynomial a = a0, b = b0;
  Trim(a);
  Trim(b);
  if (b.empty()) throw RangeError("polynomial division by zero");
  if (a.empty()) return {};
  if (a.size() < b.size()) throw RangeError("polynomial division is not exact");
  TPolynomial q(a.size() - b.size() + 1, 0);
  for (size_t k = q.size(); k-- > 0;) {
    const int64_t lead = a[k + b.size() - 1];
    if (lead % b.back() != 0) throw RangeError("polynomial division is not exact");
    const int64_t c = lead / b.back();
    q[k] = c;
    if (c != 0)
      for (size_t j = 0; j < b.size(); ++j) a[k + j] = Sub(a[k + j], Mul(c, b[j]));
  }
  if (!IsZero(a)) throw RangeError("polynomial division is not exact");
  Trim(q);
  return q;
}

TPolynomial PolyDeterminant(std::vector<std::vector<TPolynomial>> m) {
  const size_t n = m.size();
  if (n == 0) return {1};
  for (const auto &row : m)
    if (row.size() != n) throw RangeError("determinant of a matrix that is not square");
  // Fraction-free elimination: after step k every entry below and right of the
  // pivot is a minor of the original matrix, so the division by the previous
  // pivot is exact.
  TPolynomial previous{1};
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
        m[i][j] =
            PolyExactDiv(PolySub(PolyMul(m[k][k], m[i][j]), PolyMul(m[i][k], m[k][j])), previous);
      m[i][k].clear();
    }
    previous = m[k][k];
  }
  TPolynomial det = m[n - 1][n - 1];
  Trim(det);
  if (negate)
    for (int64_t &c : det) c = Neg(c);
  return det;
}

int32_t Signature(const std::vector<std::vector<int64_t>> &symmetric) {
  const size_t n = symmetric.size();
  std::vector<std::vector<TRational>> m(n, std::vector<TRational>(n));
  for (size_t i = 0; i < n; ++i) {
    if (symmetric[i].size() != n) throw RangeError("signature of a matrix that is not square");
    for (size_t j = 0; j < n; ++j) {
      if (symmetric[i][j] != symmetric.at(j).at(i))
        throw RangeError("signature of a matrix that is not symmetric");
      m[i][j] = Make(symmetric[i][j], 1);
    }
  }
  std::vector<bool> active(n, true);
  int32_t signature = 0;
  for (size_t left = n; left > 0; --left) {
    size_t p = n;
    for (size_t i = 0; i < n && p == n; ++i)
      if (active[i] && m[i][i].num != 0) p = i;
    if (p == n) {
      // Only zeros on the diagonal: a nonzero m[i][j] gives, after adding row
      // and column j to row and column i (a congruence), the diagonal entry 2
      // m[i][j].
      size_t a = n, b = n;
      for (size_t i = 0; i < n && a == n; ++i)
        for (size_t j = 0; j < n && active[i]; ++j)
          if (active[j] && i != j && m[i][j].num != 0) {
            a = i;
            b = j;
            break;
          }
      if (a == n) break;  // the rest is zero
      for (size_t j = 0; j < n; ++j) m[a][j] = RAdd(m[a][j], m[b][j]);
      for (size_t i = 0; i < n; ++i) m[i][a] = RAdd(m[i][a], m[i][b]);
      p = a;
    }
    signature += m[p][p].num > 0 ? 1 : -1;
    active[p] = false;
    for (size_t i = 0; i < n; ++i) {
      if (!active[i] || m[i][p].num == 0) continue;
      const TRational f = RDiv(m[i][p], m[p][p]);
      for (size_t j = 0; j < n; ++j)
        if (active[j]) m[i][j] = RAdd(m[i][j], RNeg(RMul(f, m[p][j])));
    }
    for (size_t i = 0; i < n; ++i) m[i][p] = m[p][i] = {0, 1};
  }
  return signature;
}

std::string LaurentText(const TPolynomial &c, int32_t lowest2) {
  std::string text;
  for (size_t i = 0; i < c.size(); ++i) {
    if (c[i] == 0) continue;
    const int64_t e2 = static_cast<int64_t>(lowest2) + 2 * static_cast<int64_t>(i);
    const bool negative = c[i] < 0;
    const uint64_t size = negative ? 0 - static_cast<uint64_t>(c[i]) : static_cast<uint64_t>(c[i]);
    if (text.empty())
      text += negative ? "-" : "";
    else
      text += negative ? " - " : " + ";
    if (size != 1 || e2 == 0) text += std::to_string(size);
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
                              int32_t nStrands, int32_t nCross) {
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
      if (r.loops.size() > static_cast<size_t>(kMaxLoops))
        throw RangeError("the invariants are computed for surfaces of at most " +
                         std::to_string(kMaxLoops) + " loops");
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

  // Alexander polynomial.
  try {
    if (r.surfaceParts == 1) {
      std::vector<std::vector<TPolynomial>> m(n, std::vector<TPolynomial>(n));
      for (size_t i = 0; i < n; ++i)
        for (size_t j = 0; j < n; ++j) {
          m[i][j] = {v[i][j], Neg(v[j][i])};
          Trim(m[i][j]);
        }
      TPolynomial p = PolyDeterminant(m);
      size_t low = 0;
      while (low < p.size() && p[low] == 0) ++low;
      p.erase(p.begin(), p.begin() + static_cast<std::ptrdiff_t>(std::min(low, p.size())));
      Trim(p);
      if (!p.empty()) {
        // Centred: the lowest power keeps its distance to -n/2 as the highest
        // to n/2.
        r.alexanderLowest2 = static_cast<int32_t>(2 * low) - static_cast<int32_t>(n);
        int64_t atOne = 0;
        for (int64_t c : p) atOne = Add(atOne, c);
        const bool flip = atOne != 0 ? atOne < 0 : p.back() < 0;
        if (flip)
          for (int64_t &c : p) c = Neg(c);
      }
      r.alexander = p;
    }
    int64_t atMinusOne = 0;
    for (size_t i = 0; i < r.alexander.size(); ++i)
      atMinusOne = Add(atMinusOne, i % 2 ? Neg(r.alexander[i]) : r.alexander[i]);
    r.determinant = atMinusOne < 0 ? Neg(atMinusOne) : atMinusOne;
    r.alexanderText = LaurentText(r.alexander, r.alexanderLowest2);

    std::vector<std::vector<int64_t>> sym(n, std::vector<int64_t>(n));
    for (size_t i = 0; i < n; ++i)
      for (size_t j = 0; j < n; ++j) sym[i][j] = Add(v[i][j], v[j][i]);
    r.signature = Signature(sym);
  } catch (const RangeError &e) {
    throw RangeError("the invariants of this word need numbers beyond 64 bits (" +
                     std::string(e.what()) + ")");
  }
  return r;
}

TInvariants ComputeInvariants(const std::string &braid) {
  std::vector<int32_t> gen, power;
  int32_t nStrands = 1, nCross = 0;
  ParseBraidWord(braid, gen, power, nStrands, nCross);
  return ComputeInvariants(gen, power, nStrands, nCross);
}

std::string InvariantsSummary(const TInvariants &r) {
  std::string s = "Genus " + std::to_string(r.genus) + " (braid surface), rank " +
                  std::to_string(r.rank) + "\n\xce\x94(t) = " + r.alexanderText + "\nDeterminant " +
                  std::to_string(r.determinant) + ", signature " + std::to_string(r.signature);
  if (r.components > 1) s += "\nA link of " + std::to_string(r.components) + " components";
  if (r.surfaceParts > 1) s += ", split (" + std::to_string(r.surfaceParts) + " pieces)";
  return s;
}
