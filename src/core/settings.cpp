#include "settings.h"

#include <cmath>
#include <string>

#include "rangeError.h"

namespace {

// Far beyond any control (positions are 16-bit, lengths a hundredth of them), and far enough
// inside the float range that squares and sums of lengths stay finite.
constexpr double kMaxLength = 1e4;

void Whole(const char* field, int64_t value, int64_t low, int64_t high) {
  if (value < low || value > high)
    throw RangeError("settings: " + std::string(field) + " must be from " + std::to_string(low) +
                     " to " + std::to_string(high) + ", not " + std::to_string(value));
}

void Length(const char* field, double value, bool positive = false) {
  if (!std::isfinite(value) || std::abs(value) > kMaxLength || (positive && !(value > 0)))
    throw RangeError("settings: " + std::string(field) + " must be a finite length" +
                     (positive ? " above 0" : "") + " of at most " +
                     std::to_string(int64_t(kMaxLength)) + ", not " + std::to_string(value));
}

}  // namespace

void CheckSettings(const TSettings& s) {
  Whole("resolution", s.resolution, 2, 60);
  if (s.resolution % 2 != 0)
    throw RangeError("settings: resolution must be even, not " + std::to_string(s.resolution));
  Whole("tubeExtra", s.tubeExtra, -10, 10);
  Whole("catmullClark", s.catmullClark, 0, 10);
  Whole("minSurf", s.minSurf, 0, 2000);
  Whole("presmoothNonBnd", s.presmoothNonBnd, 0, 100);
  Whole("presmooth", s.presmooth, 0, 100);
  Whole("knotWidth", s.knotWidth, 0, 100);
  Whole("layout", s.layout, kLayoutStacked, kLayoutDiagram);
  Whole("splitAt", s.splitAt, 0, 10);
  Whole("transparency", s.transparency, 0, 100);
  Whole("torusBig", s.torusBig, 1, 20);
  Whole("torusSmall", s.torusSmall, 1, 20);
  Length("diskDiameter", s.diskDiameter, true);
  Length("diskTaper", s.diskTaper);
  Length("diskHeight", s.diskHeight, true);
  Length("diskDistance", s.diskDistance, true);
  Length("smoothRot", s.smoothRot);
  Length("bandWidth", s.bandWidth, true);
  Length("bandHeight", s.bandHeight, true);
  Length("bandShift", s.bandShift);
  Length("smoothDt", s.smoothDt);
  Length("minLinkSeg", s.minLinkSeg);
  Length("tubeCurve", s.tubeCurve);
  Length("linkRadius", s.linkRadius);
  Length("linkOffset", s.linkOffset);
}
