#pragma once
// The small interface that the window logic reads and writes controls through. The headless
// store implements it over plain values, the Qt windows over real widgets; both keep the
// toolkit's quirks that the logic depends on:
// - an up-down holds a signed 16-bit position clamped to its range; every position write
//   rewrites its edit text and raises its change event, also when the value was clamped or
//   did not change;
// - a track bar clamps to its range and raises its change event when its position changes;
// - a check box raises its click event when a write changes its state; a toggle button
//   pressed or released by the program raises nothing;
// - checking a radio button unchecks the others of its group and raises the click event of
//   the newly checked one; unchecking one raises nothing;
// - a plain edit field raises its change event when its text changes;
// - swatch colours and drop-down indexes written by the program raise nothing (their handlers
//   run on the user's mouse or list action, see ChooseColor and SelectItem).
// Events run synchronously, before the write returns, through the installed event sink.
// Unknown names and a kind that lacks the asked-for value are std::invalid_argument.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "controlTable.h"

class TControlPanel {
 public:
  using TEventSink = std::function<void(const TControlDef&)>;

  virtual ~TControlPanel() = default;

  // Up-down or track bar position (always inside its range).
  virtual int32_t Position(std::string_view name) const = 0;
  virtual void SetPosition(std::string_view name, int32_t value) = 0;

  // Check box, radio button or toggle button.
  virtual bool Checked(std::string_view name) const = 0;
  virtual void SetChecked(std::string_view name, bool checked) = 0;

  // Edit field text; for an up-down, the text of its edit field.
  virtual std::string Text(std::string_view name) const = 0;
  virtual void SetText(std::string_view name, const std::string& text) = 0;

  // Swatch colour, red + 256 x green + 65536 x blue.
  virtual uint32_t Color(std::string_view name) const = 0;
  virtual void SetColor(std::string_view name, uint32_t color) = 0;

  // Drop-down selection, -1 for none (also for an index outside the list). Replacing the
  // entries clears the selection.
  virtual int32_t ItemIndex(std::string_view name) const = 0;
  virtual void SetItemIndex(std::string_view name, int32_t index) = 0;
  virtual int32_t ItemCount(std::string_view name) const = 0;
  virtual void SetItems(std::string_view name, std::vector<std::string> items) = 0;

  // What the user's action raises: a button's click, a check box toggled, a radio button
  // checked, a swatch clicked (the colour dialog follows in the handler), a list entry chosen.
  virtual void Click(std::string_view name) = 0;

  void SetEventSink(TEventSink sink) { eventSink = std::move(sink); }

 protected:
  void Raise(const TControlDef& def) const {
    if (eventSink) eventSink(def);
  }

 private:
  TEventSink eventSink;
};
