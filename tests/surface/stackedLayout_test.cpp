#include <gtest/gtest.h>

#include "core/rangeError.h"
#include "helpers.h"
#include "knots/braidWord.h"
#include "surface/seifert.h"

TEST(StackedLayout, TrefoilHasTwoDisksAndThreeBands) {
  const TSeiffert m = StackedModel("AAA", {});
  ASSERT_EQ(m.nDisks, 2);
  ASSERT_EQ(m.nTubes, 3);
  EXPECT_FLOAT_EQ(m.disks[1].centre.z, 0.0f);
  EXPECT_FLOAT_EQ(m.disks[2].centre.z, 0.45f);  // height 0.2 + distance 0.25
  for (int d = 1; d <= 2; ++d) {
    EXPECT_EQ(m.disks[d].nSlots, 6);
    for (int e = 0; e < 3; ++e) EXPECT_EQ(m.disks[d].ends[e].slot, 2 * e);
  }
  for (int t = 1; t <= 3; ++t) EXPECT_EQ(m.tubes[t].twist, 1);
  EXPECT_EQ(m.disks[2].side, m.disks[1].side);
  EXPECT_EQ(CheckLayoutInvariants(m), "");
}

TEST(StackedLayout, FigureEightAlternatesTwists) {
  const TSeiffert m = StackedModel("AbAb", {});
  ASSERT_EQ(m.nDisks, 3);
  ASSERT_EQ(m.nTubes, 4);
  const int32_t twists[] = {1, -1, 1, -1};
  for (int t = 1; t <= 4; ++t) {
    const TTube& tube = m.tubes[t];
    EXPECT_EQ(tube.twist, twists[t - 1]);
    EXPECT_EQ(m.End(tube.endA).slot, 2 * (t - 1));
    EXPECT_EQ(m.End(tube.endB).slot, 2 * (t - 1));
    EXPECT_EQ(m.End(tube.endA).endFlag, 0);
    EXPECT_EQ(m.End(tube.endB).endFlag, 1);
    EXPECT_EQ(tube.endB.disk, tube.endA.disk + 1);
  }
  EXPECT_EQ(m.disks[1].nSlots, 8);
  EXPECT_EQ(CheckLayoutInvariants(m), "");
}

TEST(StackedLayout, EvenTwistFlipsTheSideAbove) {
  const TSeiffert m = StackedModel("A2", {});
  EXPECT_EQ(m.tubes[1].twist, 2);
  EXPECT_EQ(m.disks[1].side, 1);
  EXPECT_EQ(m.disks[2].side, 0);
  EXPECT_EQ(StackedModel("a3", {}).tubes[1].twist, -3);
}

TEST(StackedLayout, TaperWidensOneEndOfTheStack) {
  TSettings s;
  s.diskTaper = 0.5;
  TSeiffert m = StackedModel("AB", s);
  EXPECT_DOUBLE_EQ(m.disks[1].diameter, 2.0);
  EXPECT_DOUBLE_EQ(m.disks[2].diameter, 1.5);
  EXPECT_DOUBLE_EQ(m.disks[3].diameter, 1.0);
  s.diskTaper = -0.5;
  m = StackedModel("AB", s);
  EXPECT_DOUBLE_EQ(m.disks[1].diameter, 1.0);
  EXPECT_DOUBLE_EQ(m.disks[2].diameter, 1.5);
  EXPECT_DOUBLE_EQ(m.disks[3].diameter, 2.0);
}

TEST(StackedLayout, ZeroHeightStillSeparatesTheDisks) {
  TSettings s;
  s.diskHeight = 0.0001;
  const TSeiffert m = StackedModel("AB", s);
  EXPECT_NEAR(m.disks[2].centre.z - m.disks[1].centre.z, 0.2501, 1e-6);
  EXPECT_NEAR(m.disks[3].centre.z - m.disks[2].centre.z, 0.2501, 1e-6);
}

TEST(StackedLayout, SkippedGeneratorLeavesALooseDisk) {
  const TSeiffert m = StackedModel("AC", {});
  EXPECT_EQ(m.nDisks, 4);
  EXPECT_EQ(m.disks[2].nEnds, 1);
  EXPECT_EQ(m.disks[3].nEnds, 1);
  EXPECT_EQ(m.disks[3].side, 1);  // no band joins disk 3 to disk 2
}

TEST(StackedLayout, FiftyOneCrossingsOnOneDiskIsARangeError) {
  EXPECT_NO_THROW(StackedModel(std::string(50, 'A'), {}));
  EXPECT_THROW(StackedModel(std::string(51, 'A'), {}), RangeError);
  // 26 on each side of disk 2: 52 ends there.
  EXPECT_THROW(StackedModel(std::string(26, 'A') + std::string(26, 'B'), {}), RangeError);
}
