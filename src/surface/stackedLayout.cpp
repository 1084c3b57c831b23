// One disk per braid strand, stacked along z; one band per crossing, the bands going around
// the stack in word order.

#include <cstdlib>

#include "core/checked.h"
#include "core/rounding.h"
#include "seifert.h"

void LayoutStacked(TSeiffert& model, const TSettings& settings) {
  const int32_t nDisks = model.nStrands;
  const int32_t nCross = model.nCross;
  ResizeLayout(model, nDisks, nCross);

  const int32_t nSlots = CheckedMul(2, nCross);
  for (int32_t i = 1; i <= nDisks; ++i) {
    double diameter = settings.diskDiameter;
    if (settings.diskTaper > 0)
      diameter += (nDisks - i) * settings.diskTaper;  // the lowest disk is the widest
    else
      diameter -= (i - 1) * settings.diskTaper;
    InitDisk(model.disks[i], Vec3(0, 0, (i - 1) * (settings.diskHeight + settings.diskDistance)),
             diameter, settings.diskHeight, nSlots);
  }

  for (int32_t k = 1; k <= nCross; ++k) {
    const int32_t g = At(model.gen, k, "crossing list");
    const int32_t j = std::abs(g);
    const int32_t slot =
        RoundToInt(double(k - 1) * model.Disk(j).nSlots / nCross, "band slot");
    const TEndRef lower = AddEnd(model, j, k, slot, 0);
    const TEndRef upper = AddEnd(model, j + 1, k, slot, 1);
    TTube& t = model.tubes[k];
    t.endA = lower;
    t.endB = upper;
    t.twist = CheckedMul(g > 0 ? 1 : -1, At(model.power, k, "crossing list"));
  }

  // The side of each disk follows from the last band that joins it to the disk below.
  model.disks[1].side = 1;
  for (int32_t i = 2; i <= nDisks; ++i) {
    TDisk& d = model.disks[i];
    for (int32_t e = 0; e < d.nEnds; ++e) {
      const TEndRef other = OtherEnd(model, {i, e});
      if (other.disk != i - 1) continue;
      const bool odd = model.Tube(d.ends[e].tube).twist % 2 != 0;
      const uint8_t below = model.disks[i - 1].side;
      d.side = odd ? below : static_cast<uint8_t>(1 - below);
    }
  }
}
