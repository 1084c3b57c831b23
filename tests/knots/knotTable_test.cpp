#include "knots/knotTable.h"

#include <gtest/gtest.h>

#include <array>

#include "core/rangeError.h"
#include "knots/braidWord.h"
#include "helpers.h"

TEST(KnotTable, RowsInTableOrder) {
  const TKnotTable& t = Table();
  ASSERT_EQ(t.count, 249);
  ASSERT_EQ(t.entries.size(), 249u);
  EXPECT_EQ(t.Row(1).name, "3_1");
  EXPECT_EQ(t.Row(85).name, "10_1");
  EXPECT_EQ(t.Row(249).name, "10_165");
  // The 8_18 .. 9_1 rows follow the order of names (32 to 36).
  EXPECT_EQ(t.Find("8_17"), 31);
  EXPECT_EQ(t.Find("8_18"), 32);
  EXPECT_EQ(t.Find("9_1"), 36);
  EXPECT_EQ(t.entries.front(), "3_1, genus 1 (AAA)");
  EXPECT_EQ(t.entries[1], "4_1, genus 1 (AbAb)");
  EXPECT_EQ(t.entries.back(), "10_165, genus 2 (AABacBaBCCB)");
}

TEST(KnotTable, TabledRowsExactly) {
  struct TExpected {
    const char *name, *altName, *braid;
    int32_t genus;
    const char* dt;
  };
  const TExpected rows[] = {
      {"3_1", "3a_1", "AAA", 1, "[4;6;2]"},
      {"4_1", "4a_1", "AbAb", 1, "[4;6;8;2]"},
      {"5_1", "5a_2", "AAAAA", 2, "[6;8;10;2;4]"},
      {"5_2", "5a_1", "AAABaB", 1, "[4;8;10;2;6]"},
      {"6_1", "6a_3", "AABacBc", 1, "[4;8;12;10;2;6]"},
      {"6_2", "6a_2", "AAAbAb", 2, "[4;8;10;12;2;6]"},
      {"6_3", "6a_1", "AAbAbb", 2, "[4;8;10;2;12;6]"},
      {"7_1", "7a_7", "AAAAAAA", 3, "[8;10;12;14;2;4;6]"},
      {"7_2", "7a_4", "AAABaBCbC", 1, "[4;10;14;12;2;8;6]"},
      {"7_3", "7a_5", "AAAAABaB", 2, "[6;10;12;14;2;4;8]"},
      {"7_4", "7a_6", "AABaBBCbC", 1, "[6;10;12;14;4;2;8]"},
      {"7_5", "7a_3", "AAAABaBB", 2, "[4;10;12;14;2;8;6]"},
      {"7_6", "7a_2", "AAbACbC", 2, "[4;8;12;2;14;6;10]"},
      {"7_7", "7a_1", "AbAbCbC", 2, "[4;8;10;12;2;14;6]"},
      {"8_18", "8a_12", "AbAbAbAb", 3, "[6;8;10;12;14;16;2;4]"},
      {"8_19", "8n_3", "AAABAAAB", 3, "[4;8;-12;2;-14;-16;-6;-10]"},
      {"8_20", "8n_1", "AAAbaaab", 2, "[4;8;-12;2;-14;-6;-16;-10]"},
      {"8_21", "8n_2", "AAABaaBB", 2, "[4;8;-12;2;14;-6;16;10]"},
      {"9_1", "9a_41", "AAAAAAAAA", 4, "[10;12;14;16;18;2;4;6;8]"},
      {"9_35", "9a_40", "AABaBBCbbDcBDC", 1, "[8;12;16;14;18;4;2;6;10]"},
      {"10_1", "10a_75", "AABaBCbCDceDe", 1, "[4;12;20;18;16;14;2;10;8;6]"},
      {"10_2", "10a_59", "AAAAAAAbAb", 4, "[4;12;14;16;18;20;2;6;8;10]"},
      {"10_123", "10a_121", "AbAbAbAbAb", 4, "[8;10;12;14;16;18;20;2;4;6]"},
      {"10_124", "10n_21", "AAAAABAAAB", 4, "[4;8;-14;2;-16;-18;-20;-6;-10;-12]"},
      {"10_165", "10n_37", "AABacBaBCCB", 2, "[6;8;14;18;16;4;-20;10;2;-12]"},
  };
  for (const TExpected& e : rows) {
    const int32_t row = Table().Find(e.name);
    ASSERT_GT(row, 0) << e.name;
    const TKnotEntry& r = Table().Row(row);
    EXPECT_EQ(r.altName, e.altName) << e.name;
    EXPECT_EQ(r.braid, e.braid) << e.name;
    EXPECT_EQ(r.genus, e.genus) << e.name;
    EXPECT_EQ(r.dtCode, e.dt) << e.name;
  }
}

TEST(KnotTable, GenusCountsAndNonAlternatingRows) {
  std::array<int, 5> genus{};
  for (int32_t i = 1; i <= Table().count; ++i) {
    const TKnotEntry& r = Table().Row(i);
    ASSERT_TRUE(r.genus >= 1 && r.genus <= 4) << r.name;
    ++genus[r.genus];
    // Negative DT entries exactly on the non-alternating knots.
    const bool nonAlternating = r.altName.find('n') != std::string::npos;
    EXPECT_EQ(r.dtCode.find('-') != std::string::npos, nonAlternating) << r.name;
    std::vector<int32_t> gen, power;
    int32_t nStrands = 0, nCross = 0;
    ParseBraidWord(r.braid, gen, power, nStrands, nCross);
    EXPECT_TRUE(nCross >= 3 && nCross <= 14) << r.name;
    EXPECT_LE(nStrands, 6) << r.name;
  }
  EXPECT_EQ(genus[1], 14);
  EXPECT_EQ(genus[2], 83);
  EXPECT_EQ(genus[3], 125);
  EXPECT_EQ(genus[4], 27);
}

TEST(KnotTable, LimitsAreRangeErrors) {
  TKnotTable t;
  FillKnotTable(t);
  EXPECT_THROW(t.Row(0), RangeError);
  EXPECT_THROW(t.Row(250), RangeError);
  EXPECT_EQ(t.Find("11_1"), 0);
  for (int i = 250; i <= kKnotTableCapacity; ++i) AddKnot(t, "x", "x", "A", 1, "[]");
  EXPECT_EQ(t.count, 300);
  EXPECT_THROW(AddKnot(t, "x", "x", "A", 1, "[]"), RangeError);
  // Filling again starts over.
  FillKnotTable(t);
  EXPECT_EQ(t.count, 249);
  EXPECT_EQ(t.entries.size(), 249u);
}
