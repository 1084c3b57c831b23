// The braid surface's algebra: hand-worked values, the whole knot table against the Burau
// representation and the table's genus, and invariance under the moves that keep the link.

#include <gtest/gtest.h>

#include <cctype>
#include <random>
#include <string>
#include <vector>

#include "core/rangeError.h"
#include "invariants/burauOracle.h"
#include "invariants/seifertForm.h"
#include "knots/knotTable.h"

namespace {

// Delta with the powers of t and the sign taken out, comparable with the Burau side.
TPolynomial Bare(TPolynomial d) {
  size_t low = 0;
  while (low < d.size() && d[low] == 0) ++low;
  d.erase(d.begin(), d.begin() + static_cast<std::ptrdiff_t>(low));
  if (!d.empty() && d.front() < 0)
    for (int64_t& c : d) c = -c;
  return d;
}

int64_t AtOne(const TInvariants& r) {
  int64_t s = 0;
  for (int64_t c : r.alexander) s += c;
  return s;
}

// Delta(-1) with its sign, from the symmetric normalisation (only for an even lowest power).
int64_t AtMinusOne(const TInvariants& r) {
  int64_t s = 0;
  for (size_t i = 0; i < r.alexander.size(); ++i)
    s += ((r.alexanderLowest2 / 2 + static_cast<int64_t>(i)) % 2 ? -1 : 1) * r.alexander[i];
  return s;
}

// The letters of a word with their twist digits, so that rotations keep each band whole.
std::vector<std::string> Letters(const std::string& word) {
  std::vector<std::string> out;
  for (char c : word) {
    if (std::isalpha(static_cast<unsigned char>(c))) out.push_back(std::string(1, c));
    else if (!out.empty()) out.back() += c;
  }
  return out;
}

std::string Join(const std::vector<std::string>& letters, size_t from) {
  std::string w;
  for (size_t i = 0; i < letters.size(); ++i) w += letters[(i + from) % letters.size()];
  return w;
}

// Random words on up to 4 strands; the twist counts of one generator share their parity so the
// surface is orientable; every fourth word has only single twists.
std::vector<std::string> RandomWords(int count) {
  std::mt19937 rng(13);
  std::vector<std::string> words;
  for (int n = 0; n < count; ++n) {
    const int len = 2 + static_cast<int>(rng() % 10);
    std::vector<int> parity(3, -1);
    std::string w;
    for (int k = 0; k < len; ++k) {
      const int g = static_cast<int>(rng() % 3);
      int p = n % 4 == 0 ? 1 : 1 + static_cast<int>(rng() % 4);
      if (parity[g] < 0) parity[g] = p % 2;
      if (p % 2 != parity[g]) ++p;
      w += static_cast<char>((rng() % 2 ? 'A' : 'a') + g);
      if (p > 1) w += static_cast<char>('0' + p);
    }
    words.push_back(w);
  }
  return words;
}

}  // namespace

// The slow roads (GMP from the start, the Burau matrix for Delta) give what the fast one gives,
// and the fast one hands over to GMP where 64 bits overflow, with the exact values.
TEST(SeifertForm, EveryRoadGivesTheSameInvariants) {
  std::vector<std::string> words = RandomWords(120);
  for (int32_t i = 0; i < kKnotRowCount; i += 4) words.push_back(kKnotRows[i].braid);
  for (const std::string& word : words) {
    SCOPED_TRACE(word);
    const TInvariants fast = ComputeInvariants(word);
    bool single = true;
    for (char c : word) single = single && !std::isdigit(static_cast<unsigned char>(c));
    for (const TRoads roads : {TRoads{true, false}, TRoads{false, single}, TRoads{true, single}}) {
      const TInvariants slow = ComputeInvariants(word, roads);
      EXPECT_EQ(slow.alexanderText, fast.alexanderText);
      EXPECT_EQ(slow.alexander, fast.alexander);
      EXPECT_EQ(slow.alexanderLowest2, fast.alexanderLowest2);
      EXPECT_EQ(slow.determinantDecimal, fast.determinantDecimal);
      EXPECT_EQ(slow.signature, fast.signature);
    }
  }
  // Beyond 64 bits: (AbAb)^13 overflows only on the way; A99 eight times, a pretzel link, ends
  // there; T(2,63), 63 letters A, has 62 loops, Delta = t^-31 - t^-30 + ... + t^31.
  std::string abab, pretzel;
  for (int k = 0; k < 13; ++k) abab += "AbAb";
  for (int k = 0; k < 8; ++k) pretzel += "A99";
  const TInvariants big = ComputeInvariants(abab);
  EXPECT_EQ(big.determinantDecimal, "73681302245");
  EXPECT_EQ(big.determinant, 73681302245);
  EXPECT_EQ(big.signature, 0);  // amphichiral
  const TInvariants p = ComputeInvariants(pretzel);
  EXPECT_EQ(p.components, 2);
  EXPECT_EQ(p.alexanderText, ComputeInvariants(pretzel, {true, false}).alexanderText);
  EXPECT_EQ(p.signature, 7);  // a definite form: every loop has self-linking 99 as drawn
  const TInvariants torus = ComputeInvariants(std::string(63, 'A'));
  EXPECT_EQ(torus.rank, 62);
  EXPECT_EQ(torus.alexanderLowest2, -62);
  ASSERT_EQ(torus.alexander.size(), 63u);
  for (size_t i = 0; i < 63; ++i) EXPECT_EQ(torus.alexander[i], i % 2 ? -1 : 1);
  EXPECT_EQ(torus.determinant, 63);
  EXPECT_EQ(torus.signature, 62);
  std::string heavy;
  for (int k = 0; k < 60; ++k) heavy += k % 2 ? "A9" : "B9";
  const TInvariants h = ComputeInvariants(heavy);
  EXPECT_FALSE(h.fits64);
  EXPECT_TRUE(h.alexander.empty());
  EXPECT_EQ(h.alexanderText, ComputeInvariants(heavy, {true, false}).alexanderText);
  EXPECT_EQ(h.alexanderText, LaurentText(h.alexanderDecimal, h.alexanderLowest2));
}

TEST(SeifertForm, HandWorkedValues) {
  struct TCase {
    const char* word;
    int32_t components, genus, rank;
    const char* alexander;
    int64_t determinant;
    int32_t signature;
  };
  const TCase cases[] = {
      {"", 1, 0, 0, "1", 1, 0},                        // unknot, one disk
      {"AAA", 1, 1, 2, "t^-1 - 1 + t", 3, 2},           // 3_1, left-handed as drawn
      {"aaa", 1, 1, 2, "t^-1 - 1 + t", 3, -2},          // its mirror
      {"AbAb", 1, 1, 2, "-t^-1 + 3 - t", 5, 0},         // 4_1
      {"AAAAA", 1, 2, 4, "t^-2 - t^-1 + 1 - t + t^2", 5, 4},  // 5_1
      {"AAABaB", 1, 2, 4, "2t^-1 - 3 + 2t", 7, 2},     // 5_2 (the braid surface is not minimal)
      {"AA", 2, 0, 1, "-t^-1/2 + t^1/2", 2, 1},        // Hopf link
      {"AAAA", 2, 1, 3, "-t^-3/2 + t^-1/2 - t^1/2 + t^3/2", 4, 3},  // T(2,4)
      {"AC", 2, 0, 0, "0", 0, 0},                       // split unlink: two pieces
      {"A3", 1, 0, 0, "1", 1, 0},                       // one band of three half twists: a disk
      {"A3A", 2, 0, 1, "-2t^-1/2 + 2t^1/2", 4, 1},     // annulus with two full twists
      {"A2A2A2", 3, 0, 2, "3t^-1 - 6 + 3t", 12, 2},    // pretzel P(2,2,2) as built
      {"a2a2a2", 3, 0, 2, "3t^-1 - 6 + 3t", 12, -2},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.word);
    const TInvariants r = ComputeInvariants(c.word);
    EXPECT_EQ(r.components, c.components);
    EXPECT_EQ(r.genus, c.genus);
    EXPECT_EQ(r.rank, c.rank);
    EXPECT_EQ(r.rank, r.surfaceParts == 1 ? 2 * r.genus + r.components - 1 : r.rank);
    EXPECT_EQ(r.alexanderText, c.alexander);
    EXPECT_EQ(r.determinant, c.determinant);
    EXPECT_EQ(r.signature, c.signature);
  }
  const TInvariants trefoil = ComputeInvariants("AAA");
  EXPECT_EQ(trefoil.seifert, (std::vector<std::vector<int64_t>>{{1, -1}, {0, 1}}));
  EXPECT_EQ(trefoil.loops.size(), 2u);
  EXPECT_EQ(trefoil.loops[1].bandUp, 2);
  EXPECT_EQ(trefoil.loops[1].bandDown, 3);
  EXPECT_EQ(trefoil.alexander, (TPolynomial{1, -1, 1}));
  EXPECT_EQ(trefoil.alexanderLowest2, -2);
}

TEST(SeifertForm, EveryTableRowAgreesWithBurauAndItsGenus) {
  for (int32_t i = 0; i < kKnotRowCount; ++i) {
    const TKnotRow& row = kKnotRows[i];
    SCOPED_TRACE(row.name);
    const TInvariants r = ComputeInvariants(row.braid);
    ASSERT_EQ(r.components, 1);
    EXPECT_EQ(Bare(r.alexander), BurauAlexander(row.braid));
    EXPECT_EQ(AtOne(r), 1);
    const int64_t span2 = static_cast<int64_t>(r.alexander.size()) - 1;
    EXPECT_EQ(r.alexanderLowest2, -span2);  // symmetric
    for (size_t k = 0; k < r.alexander.size(); ++k)
      EXPECT_EQ(r.alexander[k], r.alexander[r.alexander.size() - 1 - k]);
    // Alternating knots: the span is twice the genus, and the surface is at least that big.
    if (std::string(row.altName).find('a') != std::string::npos) {
      EXPECT_EQ(span2, 2 * row.genus);
    }
    EXPECT_GE(r.genus, row.genus);
    // Signature: even, at most the rank, and 0 mod 4 exactly when Delta(-1) > 0.
    EXPECT_EQ(r.signature % 2, 0);
    EXPECT_LE(std::abs(r.signature), r.rank);
    EXPECT_EQ(r.signature % 4 == 0, AtMinusOne(r) > 0);
    EXPECT_EQ(r.determinant % 2, 1);
  }
}

TEST(SeifertForm, LinkMovesLeaveTheInvariantsAlone) {
  std::vector<std::string> words = RandomWords(300);
  for (int32_t i = 0; i < kKnotRowCount; i += 3) words.push_back(kKnotRows[i].braid);
  for (const std::string& word : words) {
    SCOPED_TRACE(word);
    const TInvariants r = ComputeInvariants(word);
    auto same = [&](const std::string& other, bool mirror) {
      SCOPED_TRACE(other);
      const TInvariants q = ComputeInvariants(other);
      EXPECT_EQ(q.alexander, r.alexander);
      EXPECT_EQ(q.determinant, r.determinant);
      EXPECT_EQ(q.signature, mirror ? -r.signature : r.signature);
      EXPECT_EQ(q.components, r.components);
    };
    const std::vector<std::string> letters = Letters(word);
    // Conjugation: the bands turn around the stack.
    for (size_t s = 1; s < letters.size(); ++s) same(Join(letters, s), false);
    // A cancelling pair of a generator whose bands are single-twisted or absent, anywhere.
    std::vector<int32_t> gen, power;
    int32_t nStrands = 1, nCross = 0;
    ParseBraidWord(word, gen, power, nStrands, nCross);
    for (int32_t g = 1; g < nStrands; ++g) {
      bool odd = true;
      for (int32_t k = 1; k <= nCross; ++k) odd &= std::abs(gen[k]) != g || power[k] % 2 == 1;
      if (!odd) continue;
      for (size_t at = 0; at <= letters.size(); at += 2) {
        std::vector<std::string> longer = letters;
        const char up = static_cast<char>('A' + g - 1);
        longer.insert(longer.begin() + static_cast<std::ptrdiff_t>(at),
                      {std::string(1, up), std::string(1, static_cast<char>(up + 32))});
        same(Join(longer, 0), false);
      }
    }
    // A new strand joined by one crossing (a stabilisation), and the mirror image.
    same(word + static_cast<char>('A' + nStrands - 1), false);
    std::string mirrored = word;
    for (char& c : mirrored)
      if (std::isalpha(static_cast<unsigned char>(c))) c ^= 32;
    same(mirrored, true);
    // Knots: Delta(1) = 1 whatever the twists.
    if (r.components == 1) {
      EXPECT_EQ(AtOne(r), 1);
    }
  }
}

TEST(SeifertForm, SurfacesWithoutAFormAreRefused) {
  // Odd and even bands between the same two disks: a band with a Moebius twist in a loop.
  try {
    ComputeInvariants("AbA2");
    ADD_FAILURE() << "a non-orientable surface was given a Seifert matrix";
  } catch (const RangeError& e) {
    EXPECT_NE(std::string(e.what()).find("not orientable"), std::string::npos);
  }
  EXPECT_THROW(ComputeInvariants(std::string(kMaxLoops + 2, 'A')), RangeError);  // memory
  std::string twisted = "A3";
  for (int k = 0; k < kMaxTwistedLoops + 1; ++k) twisted += "A";
  EXPECT_THROW(ComputeInvariants(twisted), RangeError);

  // The signature of forms with zeros on the diagonal and of a definite one.
  EXPECT_EQ(Signature({{0, 1}, {1, 0}}), 0);
  EXPECT_EQ(Signature({{0, 2, 0}, {2, 0, 0}, {0, 0, 0}}), 0);
  EXPECT_EQ(Signature({{-2, 1, 0}, {1, -2, 1}, {0, 1, -2}}), -3);
  EXPECT_EQ(Signature({{1, 3}, {3, 1}}), 0);
  EXPECT_THROW(Signature({{0, 1}, {2, 0}}), RangeError);
}
