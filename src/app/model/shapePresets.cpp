#include "shapePresets.h"

#include "pipeline.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "controlStore.h"
#include "core/checked.h"
#include "core/rangeError.h"
#include "core/rounding.h"
#include "knots/braidWord.h"

namespace {

constexpr TLayoutButton kLayoutButtons[] = {
    {"but_disks1", "rb_stacked", -1, false, 0, 0, TLayoutOrder::kRadioSliderTaperShift},
    {"but_disks2", "rb_stacked", -1, false, 2, 0, TLayoutOrder::kRadioSliderTaperShift},
    {"but_balls_stacked", "rb_stacked", -1, true, 0, 0, TLayoutOrder::kRadioSliderShiftTaper},
    {"but_disks_flat", "rb_flat2", 0, false, 0, 0, TLayoutOrder::kTJointRadioShiftSliderTaper},
    {"but_ribbons", "rb_flat2", 1, false, 0, 0, TLayoutOrder::kTJointRadioShiftSliderTaper},
    {"but_balls_flat", "rb_flat2", 0, true, 0, 0, TLayoutOrder::kTJointRadioShiftSliderTaper},
    {"but_tubes", "rb_flat2", 1, true, 0, 0, TLayoutOrder::kTJointRadioShiftSliderTaper},
    {"but_braid", "rb_stacked", -1, false, 2, 100, TLayoutOrder::kRadioSliderShiftTaper},
};

constexpr TPresetKnot kPresetKnots[] = {
    {"but_trefoil", "AAA"},      {"but_figure8", "AbAb"},    {"but_hopf", "AA"},
    {"but_5foil", "AAAAA"},      {"but_6_2", "AAAbAb"},      {"but_6_1", "AABacBc"},
    {"but_unknot", ""},          {"but_tworings", "Aa"},     {"but_whitehead", "AbAbb"},
    {"but_4foil", "AAAA"},       {"but_borromean", "AbAbAb"}, {"but_7foil", "AAAAAAA"},
    {"but_6_3", "AAbAbb"},       {"but_5_2", "AAABaB"},      {"but_6foil", "AAAAAA"},
    {"but_p222", "A2A2A2"},      {"but_p135", "AA3A5"},      {"but_p1m35", "Aa3A5"},
};

// Slider position over slider maximum; 0 when the slider has no range.
long double SliderFraction(const TControlPanel& c, const char* name) {
  const TControlDef* d = FindControl(name);
  const int32_t max = d ? RangeHigh(*d) : 0;
  return max == 0 ? 0.0L : static_cast<long double>(c.Position(name)) / max;
}

}  // namespace

int32_t PresetPosition(long double value) {
  if (std::isnan(value)) throw RangeError("a shape preset is not a number");
  const long double r = RoundEven(value);
  if (r <= std::numeric_limits<int16_t>::min()) return std::numeric_limits<int16_t>::min();
  if (r >= std::numeric_limits<int16_t>::max()) return std::numeric_limits<int16_t>::max();
  return static_cast<int32_t>(r);
}

void ResetShapeDefaults(TControlPanel& c) {
  c.SetChecked("cbsmooth", true);
  c.SetPosition("ud_height", 20);
  c.SetPosition("ud_diameter", 100);
  c.SetPosition("ud_distance", 25);
  c.SetPosition("ud_diax", 10);
  c.SetPosition("ud_diay", 10);
  c.SetPosition("ud_smdt", 0);
  ApplyMeshSliders(c);
}

void ApplyMeshSliders(TControlPanel& c) {
  const TControlDef* smooth = FindControl("tb_smooth");
  const int32_t m = smooth ? RangeHigh(*smooth) : 0;
  const int32_t t = c.Position("tb_smooth");
  const int32_t r = c.Position("tb_res");

  // Smoother settings trade resolution for subdivision levels: k halvings of the resolution.
  const int32_t k = m == 0 ? 0 : PresetPosition(static_cast<long double>(m - t) * r / m);
  c.SetPosition("ud_subdiv", 1);
  // Sixteen doublings already reach the largest 16-bit position; more change nothing.
  for (int32_t i = 0; i < std::min(k, 16); ++i)
    c.SetPosition("ud_subdiv", CheckedMul(2, c.Position("ud_subdiv")));
  c.SetPosition("ud_ccsub", CheckedAdd(r, -k));

  if (t == 0) {
    c.SetPosition("ud_presmooth", 0);
  } else {
    // 16 ^ ((t - 1) / (m - 1)), the base taken to the power t - 1 as the window does.
    const long double base = std::pow(16.0L, 1.0L / (m - 1));
    c.SetPosition("ud_presmooth", PresetPosition(std::pow(base, static_cast<long double>(t - 1))));
  }
}

long double DefaultDiskDiameter(const TControlPanel& c, const TAppState& app) {
  // Parsed aside: the surface on view stays that of its own word until a recompute succeeds.
  TSeiffert model;
  ParseBraidWord(c.Text("ed_braid"), model.gen, model.power, model.nStrands, model.nCross);
  // A typed code, which only the Diagram lay-out draws (its radio is checked as the code is
  // entered), grows with the code's crossings as a word does with its letters.
  const TPDCode* code = TypedCodeFor(app, c.Text("ed_braid"), kLayoutDiagram);
  const uint8_t layout = code && c.Checked("rb_diagram") ? kLayoutDiagram : app.Settings.layout;
  if (layout == kLayoutFlat || layout == kLayoutReducedFlat || layout == kLayoutFlatDt)
    return 60;
  // Stacked and split lay-outs grow with the word: 10 per letter from 6 letters on.
  const int64_t crossings =
      code && layout == kLayoutDiagram ? static_cast<int64_t>(code->size()) : model.nCross;
  if (crossings < 6) return 60;
  return 60.0L * static_cast<long double>(crossings) / 6;
}

void ApplyShapeSliders(TControlPanel& c, TAppState& app) {
  const long double s = SliderFraction(c, "tb_smooth");
  const long double p = SliderFraction(c, "tb_sphere");

  c.SetPosition("ud_diameter", PresetPosition(DefaultDiskDiameter(c, app)));
  const int32_t d = c.Position("ud_diameter");

  // Spheres get disks as high as they are wide (less when smooth); flat disks are thin.
  c.SetPosition("ud_height", PresetPosition((d * (1 - s) + 40 * s) * p + 2 * (1 - p)));

  const bool stacked = c.Checked("rb_stacked");
  const bool tJoint = c.Checked("cb_tjoint");
  const int32_t w = (tJoint && !stacked) ? 30 : 20;
  c.SetPosition("ud_diax", w);
  c.SetPosition("ud_diay", PresetPosition(w * p + 2 * (1 - p)));

  int32_t distance;
  if (stacked)
    distance = CheckedAdd(CheckedAdd(d, 25), -c.Position("ud_height"));
  else if (tJoint)
    distance = CheckedAdd(100, -d);
  else
    distance = CheckedAdd(d, -10);
  c.SetPosition("ud_distance", distance);
}

std::span<const TLayoutButton> LayoutButtons() { return kLayoutButtons; }
std::span<const TPresetKnot> PresetKnots() { return kPresetKnots; }

const TLayoutButton* FindLayoutButton(std::string_view name) {
  for (const TLayoutButton& b : kLayoutButtons)
    if (b.name == name) return &b;
  return nullptr;
}

const TPresetKnot* FindPresetKnot(std::string_view name) {
  for (const TPresetKnot& b : kPresetKnots)
    if (b.name == name) return &b;
  return nullptr;
}
