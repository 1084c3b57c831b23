#include "braidDiagram.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "braidWord.h"
#include "core/rounding.h"

namespace {

constexpr uint32_t kBlack = 0x000000, kWhite = 0xFFFFFF, kRed = 0x0000FF;

}  // namespace

void DrawSegment(TCanvas& canvas, double x1, double y1, double x2, double y2) {
  canvas.MoveTo(RoundToInt(x1, "a diagram coordinate"), RoundToInt(y1, "a diagram coordinate"));
  canvas.LineTo(RoundToInt(x2, "a diagram coordinate"), RoundToInt(y2, "a diagram coordinate"));
}

void DrawBraid(const std::string& text, TCanvas& canvas, int32_t W, int32_t H) {
  std::vector<int32_t> gen, power;
  int32_t nStrands = 1, nCross = 0;
  ParseBraidWord(text, gen, power, nStrands, nCross);

  canvas.SetPen(kBlack, 1);
  canvas.SetBrush(kWhite);
  canvas.Rectangle(0, 0, W - 1, H - 1);
  if (nCross == 0) return;

  const int32_t m = 10;
  int32_t dx = RoundToInt(double(W - 2 * m) / nCross, "a column width");
  const int32_t dy = RoundToInt(double(H - 2 * m) / (nStrands - 1), "a strand spacing");
  dx = std::min(dx, dy);
  // Columns narrower than a pixel would all be drawn on top of each other (a pasted word of a
  // million letters is a million strokes at one place): the diagram shows the frame only.
  if (dx < 1) return;
  auto y = [&](int32_t j) { return double(H - m) - double(j - 1) * dy; };

  canvas.SetPen(kRed, 2);
  for (int32_t k = 1; k <= nCross; ++k) {
    double xl = m + double(k - 1) * dx, xr = xl + dx;
    const int32_t g = std::abs(gen[k]), p = std::abs(power[k]);
    for (int32_t j = 1; j <= nStrands; ++j)
      if (j != g && j != g + 1) DrawSegment(canvas, xl, y(j), xr, y(j));

    const double ya0 = y(g), yb0 = y(g + 1);
    if (p > 1) {
      // Several half twists share the column: stubs keep the strands joined to the next column.
      const double e = std::min<int32_t>(RoundToInt(0.1 * (xr - xl), "an inset"), 3);
      canvas.SetPen(kRed, 2);
      DrawSegment(canvas, xl, ya0, xl + e, ya0);
      DrawSegment(canvas, xr, ya0, xr - e, ya0);
      DrawSegment(canvas, xl, yb0, xl + e, yb0);
      DrawSegment(canvas, xr, yb0, xr - e, yb0);
      xl += e;
      xr -= e;
    }
    for (int32_t q = 1; q <= p; ++q) {
      const double ya = ya0 + RoundToInt(double(q - 1) * (yb0 - ya0) / p, "a crossing row");
      const double yb = ya0 + RoundToInt(double(q) * (yb0 - ya0) / p, "a crossing row");
      // Upper case: the strand entering at the lower position passes over; lower case: the other.
      const double under0 = gen[k] > 0 ? yb : ya, under1 = gen[k] > 0 ? ya : yb;
      canvas.SetPen(kRed, 2);
      DrawSegment(canvas, xl, under0, xr, under1);
      canvas.SetPen(kWhite, 7);
      DrawSegment(canvas, xl + 0.2 * (xr - xl), under1 + 0.2 * (under0 - under1),
                  xl + 0.8 * (xr - xl), under1 + 0.8 * (under0 - under1));
      canvas.SetPen(kRed, 2);
      DrawSegment(canvas, xl, under1, xr, under0);
    }
  }
}
