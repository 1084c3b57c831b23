// DT codes to holes: the crossings the code draws, the whole knot table through the hole
// report, and codes that must be refused rather than read out of bounds.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/rangeError.h"
#include "knots/knotTable.h"
#include "surface/dtCode.h"
#include "surface/holeDump.h"

namespace {

std::vector<int> Signs(const std::string& code) {
  std::vector<int> signs;
  for (const TCrossing& c : DTCrossings(code)) signs.push_back(c.sign);
  return signs;
}

// "[a;b;c]"
std::string Code(const std::vector<int>& numbers) {
  std::string text = "[";
  for (size_t i = 0; i < numbers.size(); ++i) text.append(i ? ";" : "").append(std::to_string(numbers[i]));
  return text + "]";
}

// The (2, n) torus knot, n odd: "[4;6;2]" for n = 3.
std::string TorusCode(int n) {
  std::vector<int> numbers;
  for (int i = 0; i < n; ++i) numbers.push_back(n + 1 + 2 * i > 2 * n ? 1 + 2 * i - n : n + 1 + 2 * i);
  return Code(numbers);
}

}  // namespace

TEST(DTCode, MirrorAndSignFollowTheNumbersSign) {
  const std::vector<TCrossing> trefoil = DTCrossings("[4;6;2]");
  ASSERT_EQ(trefoil.size(), 3u);
  for (const TCrossing& c : trefoil) {
    EXPECT_TRUE(c.mirror);
    EXPECT_TRUE(c.sign == 1 || c.sign == -1);
  }
  // An alternating diagram: all three crossings of the trefoil have one sign.
  EXPECT_EQ(trefoil[0].sign, trefoil[1].sign);
  EXPECT_EQ(trefoil[1].sign, trefoil[2].sign);

  // A negative number clears its crossing's mirror and flips only that crossing's sign, for
  // every crossing of several table codes.
  for (const std::vector<int>& numbers : std::vector<std::vector<int>>{
           {4, 6, 2}, {4, 8, 2, 6}, {6, 8, 10, 2, 4}, {4, 10, 14, 12, 2, 8, 6}}) {
    const std::vector<int> plain = Signs(Code(numbers));
    for (size_t i = 0; i < numbers.size(); ++i) {
      std::vector<int> negated = numbers;
      negated[i] = -negated[i];
      const std::vector<TCrossing> crossings = DTCrossings(Code(negated));
      ASSERT_EQ(crossings.size(), plain.size());
      for (size_t k = 0; k < plain.size(); ++k) {
        EXPECT_EQ(crossings[k].mirror, k != i) << Code(negated);
        EXPECT_EQ(crossings[k].sign, k == i ? -plain[k] : plain[k]) << Code(negated);
      }
    }
  }
}

TEST(DTCode, EveryTableRowFinishesWithAConsistentTable) {
  for (const TKnotRow& row : kKnotRows) {
    THoleTable table, again;
    int32_t n = 0;
    ASSERT_NO_THROW(n = HolesFromDT(row.dtCode, true, table)) << row.name;
    EXPECT_EQ(n, table.nHoles);
    ASSERT_GE(n, 0);
    ASSERT_LE(n, kMaxHoles);
    for (int32_t h = 0; h <= n; ++h) {
      const THole& hole = table.holes[h];
      EXPECT_EQ(hole.id, h);
      EXPECT_GE(hole.count, 1) << row.name << " record " << h;
      // Sorted by entry count, largest first.
      if (h > 0) {
        EXPECT_LE(hole.count, table.holes[h - 1].count) << row.name;
      }
      for (int32_t k = 1; k <= hole.count; ++k) {
        EXPECT_GE(hole.neighbour[k], 0) << row.name;
        EXPECT_LE(hole.neighbour[k], n) << row.name;
        EXPECT_NE(hole.neighbour[k], h) << row.name << " record " << h << " faces itself";
      }
    }
    HolesFromDT(row.dtCode, true, again);
    for (int32_t h = 0; h <= n; ++h) {
      EXPECT_EQ(again.holes[h].count, table.holes[h].count) << row.name;
      EXPECT_EQ(again.holes[h].neighbour, table.holes[h].neighbour) << row.name;
      EXPECT_EQ(again.holes[h].twist, table.holes[h].twist) << row.name;
    }
  }
}

TEST(DTCode, HoleReportOfTheTable) {
  const THoleDump dump = HoleDumpText();
  // The figures the hole finding gives for the 249 built-in codes; a change in any step of it
  // moves rows between the two.
  EXPECT_EQ(dump.ok, 180);
  EXPECT_EQ(dump.wrong, 69);
  const std::string& t = dump.text;
  ASSERT_GE(t.size(), 2u);
  EXPECT_EQ(t.substr(t.size() - 2), "\r\n");
  int rows = 0;
  size_t lines = 0;
  for (size_t at = 0; at < t.size();) {
    const size_t end = t.find("\r\n", at);
    ASSERT_NE(end, std::string::npos);
    const std::string line = t.substr(at, end - at);
    EXPECT_EQ(line.find('\n'), std::string::npos);
    if (line.rfind("KNOT ", 0) == 0) ++rows;
    at = end + 2;
    ++lines;
  }
  EXPECT_EQ(rows, kKnotRowCount);
  EXPECT_EQ(t.rfind("OK = 180; WRONG = 69\r\n"), t.size() - 22);
  EXPECT_EQ(t.find("KNOT 3_1 Genus 1 OK nhole = 2\r\nH0 "), 0u);
  // 8_3 is one of the rows whose count is off: a WRONG row line keeps its hole lines.
  EXPECT_NE(t.find("KNOT 8_3 Genus 1 WRONG nhole = 4\r\nH0 "), std::string::npos);
}

TEST(DTCode, BadCodesAreRangeErrors) {
  // The (2, n) torus knots: n - 1 holes, twice their genus, up to 19; 21 crossings give more than 20 faces.
  for (int n = 3; n <= 19; n += 2) {
    THoleTable table;
    EXPECT_EQ(HolesFromDT(TorusCode(n), true, table), n - 1) << TorusCode(n);
  }
  for (const std::string& code : std::vector<std::string>{
           "", "[", "[]", "x", "[-", "[0]", "[99]", "[4;6;2", "[1;2]", "[3;4]", "[4;4;2]",
           "[4;6;-0]", "[99999999999999999999;2]", "[4;2]", "[6;8;2;4]", TorusCode(21),
           TorusCode(101)}) {
    THoleTable table;
    try {
      HolesFromDT(code, true, table);
      ADD_FAILURE() << "no error for \"" << code << "\"";
    } catch (const RangeError& e) {
      EXPECT_NE(std::string(e.what()), "") << code;
    }
  }
  EXPECT_THROW(DTCrossings("[]"), RangeError);
  // The closing character is never read, whatever it is.
  EXPECT_EQ(DTCrossings("[4;6;2x").size(), 3u);
}
