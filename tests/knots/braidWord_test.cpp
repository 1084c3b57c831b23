#include "knots/braidWord.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct TParsed {
  std::vector<int32_t> gen, power;
  int32_t nStrands = -1, nCross = -1;
};

TParsed Parse(const std::string& text) {
  TParsed p;
  ParseBraidWord(text, p.gen, p.power, p.nStrands, p.nCross);
  return p;
}

std::vector<int32_t> Gens(const TParsed& p) { return {p.gen.begin() + 1, p.gen.begin() + 1 + p.nCross}; }
std::vector<int32_t> Powers(const TParsed& p) {
  return {p.power.begin() + 1, p.power.begin() + 1 + p.nCross};
}

}  // namespace

TEST(BraidWord, LettersAreSignedGenerators) {
  const TParsed p = Parse("AbAb");
  EXPECT_EQ(p.nCross, 4);
  EXPECT_EQ(p.nStrands, 3);
  EXPECT_EQ(Gens(p), (std::vector<int32_t>{1, -2, 1, -2}));
  EXPECT_EQ(Powers(p), (std::vector<int32_t>{1, 1, 1, 1}));

  const TParsed t = Parse("AAA");
  EXPECT_EQ(t.nStrands, 2);
  EXPECT_EQ(Gens(t), (std::vector<int32_t>{1, 1, 1}));

  EXPECT_EQ(Parse("E").nStrands, 6);
  const TParsed z = Parse("z");
  EXPECT_EQ(z.gen[1], -26);
  EXPECT_EQ(z.nStrands, 27);
}

TEST(BraidWord, DigitsAfterALetterAreItsTwistCount) {
  const TParsed p = Parse("A3b2");
  EXPECT_EQ(Gens(p), (std::vector<int32_t>{1, -2}));
  EXPECT_EQ(Powers(p), (std::vector<int32_t>{3, 2}));
  // A letter with a count stays one band.
  EXPECT_EQ(Parse("A2A2A2").nCross, 3);
  EXPECT_EQ(Powers(Parse("AA3A5")), (std::vector<int32_t>{1, 3, 5}));
}

TEST(BraidWord, SkippedCharactersKeepTheDigitRun) {
  EXPECT_EQ(Parse("3A").power[1], 1);  // leading digits have no letter to count
  for (const char* text : {"A 3", "A-3", "A;3"}) EXPECT_EQ(Parse(text).power[1], 3) << text;
  EXPECT_EQ(Parse("A0").power[1], 1);
  EXPECT_EQ(Parse("A0 0").power[1], 1);
}

TEST(BraidWord, LongDigitRunsAreOneNumberClampedTo99) {
  EXPECT_EQ(Parse("A12").power[1], 12);
  EXPECT_EQ(Parse("A1 2b").power[1], 12);
  EXPECT_EQ(Parse("A10").power[1], 10);
  EXPECT_EQ(Parse("A007").power[1], 7);
  EXPECT_EQ(Parse("A99999999999999999999999").power[1], kMaxTwistCount);
}

TEST(BraidWord, TextsWithoutLettersHaveNoCrossings) {
  for (const char* text : {"", "123 ;[]", "[4;6;2]", "  \t"}) {
    const TParsed p = Parse(text);
    EXPECT_EQ(p.nCross, 0) << text;
    EXPECT_EQ(p.nStrands, 1) << text;
  }
}

TEST(BraidWord, ArraysHaveOneEntryPerCharacter) {
  const TParsed p = Parse("A3b");
  EXPECT_EQ(p.gen.size(), 4u);
  EXPECT_EQ(p.power.size(), 4u);
  // Non-ASCII bytes are skipped, never read as letters.
  const TParsed u = Parse("A\xc3\xa9" "b");
  EXPECT_EQ(Gens(u), (std::vector<int32_t>{1, -2}));
}
