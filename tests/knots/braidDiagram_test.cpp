#include "knots/braidDiagram.h"

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

namespace {

constexpr uint32_t kRed = 0x0000FF, kWhite = 0xFFFFFF;

struct TSegment {
  int32_t x1, y1, x2, y2;
  uint32_t colour;
  int32_t width;
  bool operator==(const TSegment&) const = default;
  friend void PrintTo(const TSegment& s, std::ostream* os) {
    *os << "(" << s.x1 << "," << s.y1 << ")-(" << s.x2 << "," << s.y2 << ") colour " << s.colour
        << " width " << s.width;
  }
};

// Records what is drawn: the box and every pen segment with its pen.
class TRecordingCanvas : public TCanvas {
 public:
  std::vector<TSegment> segments;
  int rectangles = 0;
  void SetPen(uint32_t c, int32_t w) override { colour = c, width = w; }
  void SetBrush(uint32_t) override {}
  void Rectangle(int32_t, int32_t, int32_t, int32_t) override { ++rectangles; }
  void MoveTo(int32_t x, int32_t y) override { px = x, py = y; }
  void LineTo(int32_t x, int32_t y) override {
    segments.push_back({px, py, x, y, colour, width});
    px = x, py = y;
  }

  std::vector<TSegment> InColour(uint32_t c) const {
    std::vector<TSegment> r;
    for (const TSegment& s : segments)
      if (s.colour == c) r.push_back(s);
    return r;
  }

 private:
  uint32_t colour = 0;
  int32_t width = 0, px = 0, py = 0;
};

TRecordingCanvas Draw(const std::string& word) {
  TRecordingCanvas c;
  DrawBraid(word, c, 207, 97);
  return c;
}

}  // namespace

TEST(BraidDiagram, FigureEightColumnsAndStrands) {
  const TRecordingCanvas c = Draw("AbAb");
  EXPECT_EQ(c.rectangles, 1);
  // dy = nearest(38.5) = 38 (half to even); dx = min(nearest(46.75), 38) = 38.
  // Column 1 (A): strand 3 passes straight at y = 11; the crossing joins y = 87 and y = 49.
  const std::vector<TSegment> red = c.InColour(kRed);
  EXPECT_EQ(red[0], (TSegment{10, 11, 48, 11, kRed, 2}));
  EXPECT_EQ(red[1], (TSegment{10, 49, 48, 87, kRed, 2}));  // under-strand, lower to upper
  EXPECT_EQ(red[2], (TSegment{10, 87, 48, 49, kRed, 2}));  // over-strand
  // Column 2 (b): strand 1 straight at y = 87; negative crossing between y = 49 and y = 11.
  EXPECT_EQ(red[3], (TSegment{48, 87, 86, 87, kRed, 2}));
  EXPECT_EQ(red[4], (TSegment{48, 49, 86, 11, kRed, 2}));  // under-strand, upper entry
  EXPECT_EQ(red[5], (TSegment{48, 11, 86, 49, kRed, 2}));  // over-strand
  // The last column ends at x = 10 + 4 x 38 = 162, short of the right edge.
  EXPECT_EQ(red.back().x2, 162);
  // Gaps: white, 7 wide, along the over-strand between 20 % and 80 % of the column.
  const std::vector<TSegment> gaps = c.InColour(kWhite);
  ASSERT_EQ(gaps.size(), 4u);
  EXPECT_EQ(gaps[0], (TSegment{18, 79, 40, 57, kWhite, 7}));
  EXPECT_EQ(gaps[1], (TSegment{56, 19, 78, 41, kWhite, 7}));
}

TEST(BraidDiagram, TrefoilUsesTheStrandSpacingAsColumnWidth) {
  const TRecordingCanvas c = Draw("AAA");
  // dy = 77, dx = min(62, 77) = 62.
  const std::vector<TSegment> red = c.InColour(kRed);
  ASSERT_EQ(red.size(), 6u);
  EXPECT_EQ(red[0], (TSegment{10, 10, 72, 87, kRed, 2}));
  EXPECT_EQ(red[5], (TSegment{134, 87, 196, 10, kRed, 2}));
}

TEST(BraidDiagram, EmptyWordIsAnEmptyBox) {
  for (const char* w : {"", "123 ;[]"}) {
    const TRecordingCanvas c = Draw(w);
    EXPECT_EQ(c.rectangles, 1);
    EXPECT_TRUE(c.segments.empty());
  }
}

TEST(BraidDiagram, TwistCountsAreStackedCrossings) {
  const TRecordingCanvas c = Draw("A3");
  // One column of dx = min(187, 77) = 77; inset e = min(nearest(7.7), 3) = 3.
  const std::vector<TSegment> red = c.InColour(kRed);
  ASSERT_EQ(red.size(), 4u + 3 * 2);
  EXPECT_EQ(red[0], (TSegment{10, 87, 13, 87, kRed, 2}));
  EXPECT_EQ(red[1], (TSegment{87, 87, 84, 87, kRed, 2}));
  EXPECT_EQ(red[2], (TSegment{10, 10, 13, 10, kRed, 2}));
  EXPECT_EQ(red[3], (TSegment{87, 10, 84, 10, kRed, 2}));
  // Three crossings between y = 87 and y = 10, each a third of the way (rounded).
  EXPECT_EQ(red[4], (TSegment{13, 61, 84, 87, kRed, 2}));
  EXPECT_EQ(red[6], (TSegment{13, 36, 84, 61, kRed, 2}));
  EXPECT_EQ(red[8], (TSegment{13, 10, 84, 36, kRed, 2}));
  EXPECT_EQ(c.InColour(kWhite).size(), 3u);
}

TEST(BraidDiagram, LongWordsGetNarrowColumns) {
  const TRecordingCanvas c = Draw("AABaBBCbbDcBDC");
  // Five strands: dy = nearest(77 / 4) = 19; dx = min(nearest(187 / 14) = 13, 19) = 13.
  const std::vector<TSegment> red = c.InColour(kRed);
  EXPECT_EQ(red[0].x1, 10);
  EXPECT_EQ(red[0].x2, 23);
  EXPECT_EQ(red.back().x2, 10 + 14 * 13);
}

TEST(BraidDiagram, ColumnsNarrowerThanAPixelAreNotDrawn) {
  // 187 pixels of columns: 187 letters fit, 400 would all land on one spot.
  EXPECT_FALSE(Draw(std::string(187, 'A')).segments.empty());
  const TRecordingCanvas c = Draw(std::string(400, 'A') + std::string(1'000'000, 'b'));
  EXPECT_EQ(c.rectangles, 1);
  EXPECT_TRUE(c.segments.empty());
}
