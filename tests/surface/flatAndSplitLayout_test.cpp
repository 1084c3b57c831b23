#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <utility>

#include "core/rangeError.h"
#include "helpers.h"
#include "knots/braidWord.h"
#include "surface/seifert.h"

namespace {

TSeiffert Flat(const std::string& word) {
  TSeiffert m = ParsedModel(word);
  LayoutFlat(m, {});
  return m;
}

TSeiffert Split(const std::string& word, int32_t at, TSplitRotation& rot) {
  TSeiffert m = ParsedModel(word);
  TSettings s;
  s.splitAt = at;
  LayoutSplit(m, s, rot);
  return m;
}

int32_t SlotOf(const TSeiffert& m, int32_t tube, int32_t disk) {
  const TTube& t = m.tubes[tube];
  return m.End(t.endA.disk == disk ? t.endA : t.endB).slot;
}

}  // namespace

TEST(FlatLayout, TrefoilGridTwistsAndSortedEnds) {
  const TSeiffert m = Flat("AAA");
  ASSERT_EQ(m.nDisks, 6);
  ASSERT_EQ(m.nTubes, 7);  // 3 crossing bands, 2 row bands in each of 2 rows
  const float xs[] = {-1.25f, 0, 1.25f};
  for (int k = 1; k <= 3; ++k) {
    EXPECT_EQ(m.disks[2 * k - 1].centre, Vec3(xs[k - 1], -0.625, 0));
    EXPECT_EQ(m.disks[2 * k].centre, Vec3(xs[k - 1], 0.625, 0));
    EXPECT_EQ(m.tubes[k].twist, 1);
  }
  for (int t = 4; t <= 7; ++t) EXPECT_EQ(m.tubes[t].twist, 0);
  // The middle lower disk: right row band (slot 0), left row band (slot 4), crossing band (6).
  const TDisk& mid = m.disks[3];
  ASSERT_EQ(mid.nEnds, 3);
  EXPECT_EQ(mid.ends[0].slot, 0);
  EXPECT_EQ(mid.ends[1].slot, 4);
  EXPECT_EQ(mid.ends[2].slot, 6);
  EXPECT_EQ(mid.ends[2].tube, 2);
  EXPECT_EQ(CheckLayoutInvariants(m), "");

  // Row 2 of the figure eight meets its crossings as upper, lower, upper, lower strand.
  const TSeiffert f = Flat("AbAb");
  ASSERT_EQ(f.nTubes, 4 + 1 + 3 + 1);
  EXPECT_EQ(f.tubes[6].twist, -1);
  EXPECT_EQ(f.tubes[7].twist, 1);
  EXPECT_EQ(f.tubes[8].twist, -1);
  EXPECT_EQ(CheckLayoutInvariants(f), "");

  // The distance spreads the grid; the disks keep their diameter.
  TSeiffert wide = ParsedModel("AAA");
  TSettings s;
  s.diskDistance = 1;
  LayoutFlat(wide, s);
  EXPECT_FLOAT_EQ(wide.disks[5].centre.x, 2.0f);
  EXPECT_EQ(wide.disks[5].diameter, 1.0);
}

TEST(FlatLayout, TheWorkTablesHoldFiveHundredCrossings) {
  EXPECT_EQ(Flat(std::string(499, 'A') + "B").nDisks, 1000);
  EXPECT_THROW(Flat(std::string(501, 'A')), RangeError);
}

TEST(LayoutPostProcess, ReduceCancelsOppositeTwistsOnTwoEndDisks) {
  TSeiffert m = ParsedModel("Ab");
  LayoutStacked(m, {});
  const uint8_t side = m.disks[2].side;
  ReduceTwists(m);
  EXPECT_EQ(m.tubes[1].twist, 0);
  EXPECT_EQ(m.tubes[2].twist, 0);
  EXPECT_EQ(m.disks[2].side, 1 - side);
  ReduceTwists(m);  // a second pass finds nothing
  EXPECT_EQ(m.disks[2].side, 1 - side);

  TSeiffert same = ParsedModel("AB");  // equal twists, and zero twists, stay
  LayoutStacked(same, {});
  same.tubes[1].twist = same.tubes[2].twist = 0;
  ReduceTwists(same);
  EXPECT_EQ(same.disks[2].side, 1);
}

TEST(LayoutPostProcess, MultiTwistMergesTwoBandDisksAndReslots) {
  TSeiffert m = ParsedModel("AA");
  LayoutStacked(m, {});
  EXPECT_TRUE(MergeTwoBandDisks(m));
  EXPECT_FALSE(MergeTwoBandDisks(m));  // the self-band's disk is never chosen again
  ASSERT_EQ(m.nDisks, 1);
  ASSERT_EQ(m.nTubes, 1);
  EXPECT_EQ(m.tubes[1].twist, 2);
  EXPECT_EQ(m.tubes[1].endA.disk, 1);
  EXPECT_EQ(m.tubes[1].endB.disk, 1);
  EXPECT_EQ(CheckLayoutInvariants(m), "");

  // Stacked partners lie straight above or below (want 0): only an end at slot nSlots / 2
  // moves, two slots back when that is free.
  TSeiffert s = ParsedModel("AAA");  // slots 0, 2, 4 of 6
  LayoutStacked(s, {});
  s.disks[1].ends[2].slot = 3;
  ReslotEnds(s, 1);
  EXPECT_EQ(s.disks[1].ends[2].slot, 1);  // two slots back, free
  s.disks[1].ends[1].slot = 1;
  s.disks[1].ends[2].slot = 3;
  ReslotEnds(s, 1);
  EXPECT_EQ(s.disks[1].ends[2].slot, 5);  // back is taken: two slots on
  ReslotEnds(s, 2);
  EXPECT_EQ(s.disks[2].ends[2].slot, 4);  // not facing away: stays

  TSeiffert none;
  EXPECT_FALSE(LayoutUsable(none, {}));
  TSettings t;
  t.tJoints = true;
  EXPECT_TRUE(LayoutUsable(s, t));
  TSeiffert eight = ParsedModel("AbAb");
  LayoutStacked(eight, {});
  EXPECT_FALSE(AllDisksThreeEnds(eight));
  EXPECT_FALSE(LayoutUsable(eight, t));
  EXPECT_TRUE(LayoutUsable(eight, {}));
}

TEST(SplitLayout, TwoStacksSlotsAndRotations) {
  TSplitRotation fixed{false, 1, 1};
  const TSeiffert m = Split("AbAb", 2, fixed);
  ASSERT_EQ(m.nDisks, 3);
  // The stacks stand apart by the disks and their distance, and by the bulge of their bands
  // (pitch 0.45 times 1 + "Tube curve" 0.6), so that those never meet in the gap.
  const float half = 0.625f + 0.45f * 1.6f;
  EXPECT_NEAR(m.disks[1].centre.x, -half, 1e-6);
  EXPECT_NEAR(m.disks[2].centre.x, half, 1e-6);
  EXPECT_NEAR(m.disks[3].centre.x, half, 1e-6);
  EXPECT_EQ(m.disks[3].centre.z, 0.45f);
  EXPECT_EQ(m.disks[1].nSlots, 8);  // one slot pair for each of the four crossings
  EXPECT_EQ(m.disks[2].nSlots, 8);
  EXPECT_EQ(fixed.r1, 1);
  EXPECT_EQ(fixed.r2, 1);
  // Crossing 1 bridges the stacks. Rotations typed in fold the stacks as past strand 2, both
  // turned by r1: left slot 8/2 - 0 - 1 = 3, right 0 + 1 = 1, mirrored at the same y.
  EXPECT_EQ(SlotOf(m, 1, 1), 3);
  EXPECT_EQ(SlotOf(m, 1, 2), 1);
  EXPECT_EQ(CheckLayoutInvariants(m), "");

  // The bridging ends lie opposite each other on both disks; the cost counts the farthest
  // end from the middle, so both pairs turn to face +-y (left slots 2, 6; right 7 + 3, 3 + 3),
  // where they also line up in y.
  TSplitRotation search;
  const TSeiffert a = Split("AbAb", 2, search);
  EXPECT_EQ(search.r1, 0);
  EXPECT_EQ(search.r2, 3);
  EXPECT_EQ(SlotOf(a, 1, 1), 2);
  EXPECT_EQ(SlotOf(a, 1, 2), 2);
  EXPECT_EQ(SlotOf(a, 3, 2), 6);
  EXPECT_EQ(CheckLayoutInvariants(a), "");

  // Split at 0: one right stack starting one pitch up, no search.
  TSplitRotation zero;
  const TSeiffert z = Split("AbAb", 0, zero);
  EXPECT_FLOAT_EQ(z.disks[1].centre.z, 0.45f);
  EXPECT_EQ(zero.r1, 1);
  EXPECT_EQ(zero.r2, 1);
}

// One band for two only where the knot stays: a disk whose bands return to one disk on both
// sides of another band there would become a loop through that band (5_2's top disk in
// "AAABaB"); bands between the split lay-out's stacks keep their path under the disks.
// Past split strand 2 the two stacks are the stacked lay-out folded over: a band within a stack
// stands straight (one slot on both disks), and a band between the stacks joins two rim points
// mirrored in x at the same y, so that the bows they hang in never cross.
TEST(SplitLayout, PastStrandTwoTheStacksAreTheStackedLayoutFolded) {
  for (const char* word : {"baaBDC", "AacBdCcbA", "baCcbcDdc", "AbCdAbCd", "ccBBaaDD"}) {
    TSeiffert probe = ParsedModel(word);
    // The search's rotation, and rotations typed in by hand: both stacks turn by r1.
    for (const TSplitRotation typed : {TSplitRotation{}, TSplitRotation{false, 5, -3},
                                       TSplitRotation{false, -7, 12}}) {
      for (int32_t at = 3; at <= probe.nStrands; ++at) {
        SCOPED_TRACE(std::string(word) + " at " + std::to_string(at) + " r1 " +
                     std::to_string(typed.r1) + " r2 " + std::to_string(typed.r2));
        TSplitRotation rot = typed;
        const TSeiffert m = Split(word, at, rot);
        ASSERT_EQ(CheckLayoutInvariants(m), "");
        if (rot.autoTwist) {
          EXPECT_EQ(rot.r1, rot.r2);
        } else {
          EXPECT_EQ(rot.r1, typed.r1);  // the fields keep what was typed
          EXPECT_EQ(rot.r2, typed.r2);
        }
        for (int32_t k = 1; k <= m.nTubes; ++k) {
          const TTube& t = m.tubes[k];
          const TDisk &a = m.Disk(t.endA.disk), &b = m.Disk(t.endB.disk);
          if (!t.hangs) {
            EXPECT_EQ(m.End(t.endA).slot, m.End(t.endB).slot) << "band " << k;
            continue;
          }
          const auto rim = [&](const TDisk& d, int32_t slot) {
            const double phi = 2 * std::numbers::pi * slot / d.nSlots;
            return std::pair{d.centre.x + std::cos(phi) * d.diameter / 2, -std::sin(phi) * d.diameter / 2};
          };
          const auto [xa, ya] = rim(a, m.End(t.endA).slot);
          const auto [xb, yb] = rim(b, m.End(t.endB).slot);
          EXPECT_NEAR(ya, yb, 1e-9) << "band " << k;
          EXPECT_NEAR(xa, -xb, 1e-6) << "band " << k;
        }
      }
    }
  }
}

TEST(LayoutPostProcess, MultiTwistKeepsDisksWhoseMergeWouldChangeTheKnot) {
  TSeiffert m = ParsedModel("AAABaB");
  LayoutStacked(m, {});
  EXPECT_FALSE(MergeTwoBandDisks(m));
  EXPECT_EQ(m.nDisks, 3);

  TSeiffert adjacent = ParsedModel("AAABB");  // nothing between the two B ends on disk 2
  LayoutStacked(adjacent, {});
  EXPECT_TRUE(MergeTwoBandDisks(adjacent));

  TSettings s;
  s.splitAt = 2;
  TSplitRotation rotation;
  TSeiffert split = ParsedModel("AB");  // disk 1 alone on the left, its one band bridging
  LayoutSplit(split, s, rotation);
  EXPECT_FALSE(MergeTwoBandDisks(split));
}
