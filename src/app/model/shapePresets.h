#pragma once
// The shape presets: the three "Shape control" sliders and the current lay-out set the disk,
// band and mesh controls to coordinated values. They only write control positions; the
// values reach the geometry through ReadSettings and one Recompute.
// Arithmetic runs in long double; "nearest" is ties-to-even. Each written value is saturated
// to a 16-bit position, which the up-down then clamps to its range, and later steps read the
// clamped position back.

#include <span>
#include <string_view>

#include "appState.h"
#include "controlPanel.h"

// Checks "Smooth shading", puts the disk and band sizes back to their window values, then
// ApplyMeshSliders.
void ResetShapeDefaults(TControlPanel& controls);

// Resolution, Catm. Clark and Presmooth from the "Sharp".."Smooth" and "Coarse".."Fine"
// sliders.
void ApplyMeshSliders(TControlPanel& controls);

// Diameter, Height, band Width and Height, and Distance from the sliders, the lay-out radio
// buttons and "with T-joints".
void ApplyShapeSliders(TControlPanel& controls, TAppState& app);

// The disk diameter preset (as an up-down position), from the crossings of the text of
// ed_braid (parsed aside; the model is not touched). Uses the lay-out code of the last ReadSettings (app.Settings.layout), not the
// radio buttons as they are now.
long double DefaultDiskDiameter(const TControlPanel& controls, const TAppState& app);

// A real preset value as an up-down position: nearest, saturated to 16 bits. A NaN is a
// RangeError rather than a conversion.
int32_t PresetPosition(long double value);

// The write order of a lay-out button.
enum class TLayoutOrder : uint8_t {
  kRadioSliderTaperShift,       // "Disks 1", "Disks 2"
  kRadioSliderShiftTaper,       // stacked "Balls", "Braid"
  kTJointRadioShiftSliderTaper, // the flat buttons
};

struct TLayoutButton {
  std::string_view name;    // component name of the button
  std::string_view radio;   // lay-out radio button it checks
  int8_t tJoint;            // -1 leaves "with T-joints" as it is, else its new state
  bool sphereMax;           // "Flat".."Sphere" slider to its maximum (else its minimum)
  int32_t shift;
  int32_t taper;
  TLayoutOrder order;
};

struct TPresetKnot {
  std::string_view name;    // component name of the button
  std::string_view word;    // braid word it loads
};

std::span<const TLayoutButton> LayoutButtons();
std::span<const TPresetKnot> PresetKnots();
const TLayoutButton* FindLayoutButton(std::string_view name);
const TPresetKnot* FindPresetKnot(std::string_view name);
