// The braid laid out in the plane z = 0: one column per crossing, one row per strand. Each
// crossing gets a disk on both strands it exchanges, joined by the crossing's band; the disks of
// one strand are chained from left to right by row bands.

#include <cstdlib>
#include <string>

#include "core/checked.h"
#include "seifert.h"

namespace {

// The work tables hold this many disks.
constexpr int32_t kFlatTableSize = 1000;

struct TFlatCell {
  int32_t column = 0;  // crossing number
  int32_t row = 0;     // strand
  int32_t role = 0;    // 0: the crossing's lower strand, 1: its upper strand
};

}  // namespace

void LayoutFlat(TSeiffert& model, const TSettings& settings) {
  const int32_t nCross = model.nCross;
  const int32_t nDisks = CheckedMul(2, nCross);
  if (nDisks > kFlatTableSize)
    throw RangeError("the flat lay-out holds at most " + std::to_string(kFlatTableSize / 2) +
                     " crossings; the word has " + std::to_string(nCross));

  std::vector<TFlatCell> cells(static_cast<size_t>(nDisks) + 1);
  for (int32_t k = 1; k <= nCross; ++k) {
    const int32_t j = std::abs(At(model.gen, k, "crossing list"));
    cells[2 * k - 1] = {k, j, 0};
    cells[2 * k] = {k, CheckedAdd(j, 1), 1};
  }

  ResizeLayout(model, nDisks, CheckedMul(3, nCross));
  model.nTubes = 0;
  const double pitch = settings.diskDiameter + settings.diskDistance;
  const double offX = (nCross - 1) * pitch / 2;
  const double offY = (model.nStrands - 1) * pitch / 2;
  for (int32_t n = 1; n <= nDisks; ++n)
    InitDisk(model.disks[n],
             Vec3((cells[n].column - 1) * pitch - offX, (cells[n].row - 1) * pitch - offY, 0),
             settings.diskDiameter, settings.diskHeight, 8);

  // Slot 6 faces +y and slot 2 faces -y: each crossing band's ends face each other.
  for (int32_t k = 1; k <= nCross; ++k) {
    TTube& t = model.tubes[++model.nTubes];
    t.endA = AddEnd(model, 2 * k - 1, k, 6, 0);
    t.endB = AddEnd(model, 2 * k, k, 2, 0);
    t.twist = CheckedMul(model.gen[k] > 0 ? 1 : -1, At(model.power, k, "crossing list"));
  }

  // Row bands, row by row from left to right; a half twist where the strand changes from the
  // lower to the upper side of its crossings, or back.
  std::vector<std::vector<int32_t>> rows(static_cast<size_t>(model.nStrands) + 2);
  for (int32_t n = 1; n <= nDisks; ++n) At(rows, cells[n].row, "flat lay-out rows").push_back(n);
  for (const std::vector<int32_t>& row : rows) {
    for (size_t i = 1; i < row.size(); ++i) {
      const int32_t p = row[i - 1], q = row[i];
      const int32_t t = ++model.nTubes;
      TTube& tube = model.tubes[t];
      tube.endA = AddEnd(model, p, t, 0, 0);
      tube.endB = AddEnd(model, q, t, 4, 0);
      tube.twist = cells[p].role == cells[q].role ? 0 : (cells[p].role == 0 ? 1 : -1);
    }
  }

  for (int32_t n = 1; n <= nDisks; ++n) SortEnds(model, n);
  PropagateSides(model);
}
