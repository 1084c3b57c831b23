#include "surface/seifert.h"

#include <gtest/gtest.h>

#include "core/rangeError.h"
#include "helpers.h"
#include "knots/braidWord.h"

namespace {

// Two disks joined by bands with the given twists, ends in the given slot order on disk 1.
//   disk 1 ---- band k ---- disk 2
TSeiffert TwoDisks(const std::vector<int32_t>& twists, const std::vector<int32_t>& slots) {
  TSeiffert m;
  ResizeLayout(m, 2, static_cast<int32_t>(twists.size()));
  for (int d = 1; d <= 2; ++d) m.disks[d].nSlots = 100;
  for (size_t k = 0; k < twists.size(); ++k) {
    const int32_t t = static_cast<int32_t>(k + 1);
    m.tubes[t].endA = AddEnd(m, 1, t, slots[k], 0);
    m.tubes[t].endB = AddEnd(m, 2, t, slots[k], 1);
    m.tubes[t].twist = twists[k];
  }
  return m;
}

}  // namespace

TEST(Seifert, TrivialLayoutIsOneDiskWithoutBands) {
  TSeiffert m;
  TSettings s;
  LayoutTrivial(m, s);
  EXPECT_EQ(m.nDisks, 1);
  EXPECT_EQ(m.nTubes, 0);
  EXPECT_EQ(m.disks[1].nSlots, 4);
  EXPECT_EQ(m.disks[1].centre, Vec3(0, 0, 0));
  EXPECT_EQ(m.disks[1].side, 1);
}

TEST(Seifert, SortEndsKeepsEveryBandOnItsEnds) {
  TSeiffert m = TwoDisks({1, 1, 1, 1}, {30, 10, 20, 10});
  SortEnds(m, 1);
  const TDisk& d = m.disks[1];
  EXPECT_EQ(d.ends[0].slot, 10);
  EXPECT_EQ(d.ends[1].slot, 10);
  EXPECT_EQ(d.ends[2].slot, 20);
  EXPECT_EQ(d.ends[3].slot, 30);
  // Equal slots keep their order: band 2 came before band 4.
  EXPECT_EQ(d.ends[0].tube, 2);
  EXPECT_EQ(d.ends[1].tube, 4);
  EXPECT_EQ(CheckLayoutInvariants(m), "");
  for (int t = 1; t <= 4; ++t) EXPECT_EQ(m.End(m.tubes[t].endA).tube, t);
}

TEST(Seifert, SortEndsHandlesABandWithBothEndsOnOneDisk) {
  TSeiffert m;
  ResizeLayout(m, 1, 1);
  m.disks[1].nSlots = 10;
  m.tubes[1].endA = AddEnd(m, 1, 1, 7, 0);
  m.tubes[1].endB = AddEnd(m, 1, 1, 3, 1);
  SortEnds(m, 1);
  EXPECT_EQ(m.End(m.tubes[1].endA).slot, 7);
  EXPECT_EQ(m.End(m.tubes[1].endB).slot, 3);
  EXPECT_EQ(CheckLayoutInvariants(m), "");
}

TEST(Seifert, PropagateSidesFlipsOnOddTwistsOfEitherSign) {
  for (int32_t twist : {1, -1, 3, -3}) {
    TSeiffert m = TwoDisks({twist}, {0});
    PropagateSides(m);
    EXPECT_EQ(m.disks[1].side, 1);
    EXPECT_EQ(m.disks[2].side, 0) << twist;
  }
  for (int32_t twist : {0, 2, -2}) {
    TSeiffert m = TwoDisks({twist}, {0});
    m.disks[2].side = 0;
    PropagateSides(m);
    EXPECT_EQ(m.disks[2].side, 1) << twist;
  }
}

TEST(Seifert, PropagateSidesStartsEveryPartAtSideOne) {
  // "AC": strands 1-2 and 3-4 are not joined; disk 3 starts its own part.
  TSeiffert m = StackedModel("AC", {});
  PropagateSides(m);
  EXPECT_EQ(m.disks[1].side, 1);
  EXPECT_EQ(m.disks[2].side, 0);
  EXPECT_EQ(m.disks[3].side, 1);
  EXPECT_EQ(m.disks[4].side, 0);
}

TEST(Seifert, FiftyBandEndsFitAndTheFiftyFirstIsARangeError) {
  TSeiffert m;
  ResizeLayout(m, 1, 51);
  m.disks[1].nSlots = 200;
  for (int i = 1; i <= kMaxBandEnds; ++i) AddEnd(m, 1, i, i, 0);
  EXPECT_EQ(m.disks[1].nEnds, 50);
  EXPECT_THROW(AddEnd(m, 1, 51, 51, 0), RangeError);
  EXPECT_EQ(m.disks[1].nEnds, 50);
}

TEST(Seifert, DeleteDiskAndTubeMendReferences) {
  TSeiffert m = StackedModel("AbAb", {});  // 3 disks, 4 bands
  // The later bands move down and their ends follow them.
  DeleteTube(m, 1);
  EXPECT_EQ(m.nTubes, 3);
  for (int t = 1; t <= 3; ++t) {
    EXPECT_EQ(m.End(m.tubes[t].endA).tube, t);
    EXPECT_EQ(m.End(m.tubes[t].endB).tube, t);
  }
  // "B" leaves disk 1 without bands; deleting it moves the other two down.
  TSeiffert d = StackedModel("B", {});  // disk 1 has no bands
  DeleteDisk(d, 1);
  EXPECT_EQ(d.nDisks, 2);
  EXPECT_EQ(d.End(d.tubes[1].endA).disk, 1);
  EXPECT_EQ(d.End(d.tubes[1].endB).disk, 2);
  EXPECT_EQ(CheckLayoutInvariants(d), "");
  EXPECT_THROW(DeleteDisk(d, 5), RangeError);
}
