#include "controlStore.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <stdexcept>

namespace {

using enum TControlKind;

}  // namespace

int32_t SaturateInt16(int64_t value) {
  return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int16_t>::min(),
                                                  std::numeric_limits<int16_t>::max()));
}

TControlStore::TControlStore() : table(ControlTable()) {
  values.resize(table.size());
  for (size_t i = 0; i < table.size(); ++i) {
    const TControlDef& d = table[i];
    index.emplace(d.name, i);
    TValue& v = values[i];
    v.number = d.start;
    if (d.kind == kUpDown) {
      v.number = std::clamp(SaturateInt16(d.start), RangeLow(d), RangeHigh(d));
      v.text = std::to_string(v.number);
    } else {
      v.text = std::string(d.kind == kEdit ? d.startText : d.caption);
    }
    for (std::string_view item : d.items) v.items.emplace_back(item);
  }
}

size_t TControlStore::IndexOf(std::string_view name) const {
  const auto it = index.find(name);
  if (it == index.end()) throw std::invalid_argument("no control named " + std::string(name));
  return it->second;
}

size_t TControlStore::Require(std::string_view name,
                              std::initializer_list<TControlKind> kinds) const {
  const size_t i = IndexOf(name);
  if (std::find(kinds.begin(), kinds.end(), Def(i).kind) == kinds.end())
    throw std::invalid_argument("control " + std::string(name) +
                                " does not hold that kind of value");
  return i;
}

int32_t TControlStore::Position(std::string_view name) const {
  return values[Require(name, {kUpDown, kTrackBar})].number;
}

void TControlStore::SetPosition(std::string_view name, int32_t value) {
  const size_t i = Require(name, {kUpDown, kTrackBar});
  const TControlDef& d = Def(i);
  TValue& v = values[i];
  if (d.kind == kUpDown) {
    v.number = std::clamp(SaturateInt16(value), RangeLow(d), RangeHigh(d));
    v.text = std::to_string(v.number);
    Raise(d);
    return;
  }
  const int32_t clamped = std::clamp(value, RangeLow(d), RangeHigh(d));
  if (clamped == v.number) return;
  v.number = clamped;
  Raise(d);
}

bool TControlStore::Checked(std::string_view name) const {
  return values[Require(name, {kCheckBox, kRadioButton, kToggleButton})].number != 0;
}

void TControlStore::SetChecked(std::string_view name, bool checked) {
  const size_t i = Require(name, {kCheckBox, kRadioButton, kToggleButton});
  const TControlDef& d = Def(i);
  TValue& v = values[i];
  if ((v.number != 0) == checked) return;
  v.number = checked ? 1 : 0;
  if (d.kind == kToggleButton) return;  // a toggle button pressed by the program stays quiet
  if (d.kind == kRadioButton) {
    if (!checked) return;  // unchecking a radio button raises nothing
    for (size_t j = 0; j < table.size(); ++j)
      if (j != i && table[j].kind == kRadioButton && table[j].radioGroup == d.radioGroup)
        values[j].number = 0;
  }
  Raise(d);
}

std::string TControlStore::Text(std::string_view name) const {
  return values[Require(name, {kEdit, kUpDown, kLabel})].text;
}

void TControlStore::SetText(std::string_view name, const std::string& text) {
  const size_t i = Require(name, {kEdit, kUpDown, kLabel});
  const TControlDef& d = Def(i);
  if (d.kind == kUpDown) {
    // Typing into an up-down's field moves its position as far as its range allows.
    int64_t n = 0;
    const char* first = text.data();
    const char* last = first + text.size();
    const auto [end, ec] = std::from_chars(first, last, n);
    if (ec == std::errc::result_out_of_range)
      n = (text.starts_with('-')) ? std::numeric_limits<int64_t>::min()
                                  : std::numeric_limits<int64_t>::max();
    else if (ec != std::errc() || end != last)
      throw std::invalid_argument("\"" + text + "\" is not a whole number for " +
                                  std::string(name));
    SetPosition(name, SaturateInt16(n));
    return;
  }
  TValue& v = values[i];
  if (v.text == text) return;
  v.text = text;
  if (d.kind == kEdit) Raise(d);
}

uint32_t TControlStore::Color(std::string_view name) const {
  return static_cast<uint32_t>(values[Require(name, {kColorSwatch})].number);
}

void TControlStore::SetColor(std::string_view name, uint32_t color) {
  values[Require(name, {kColorSwatch})].number = static_cast<int32_t>(color & 0xFFFFFFu);
}

int32_t TControlStore::ItemIndex(std::string_view name) const {
  return values[Require(name, {kDropDown})].number;
}

void TControlStore::SetItemIndex(std::string_view name, int32_t index) {
  const size_t i = Require(name, {kDropDown});
  const int32_t count = static_cast<int32_t>(values[i].items.size());
  values[i].number = (index >= 0 && index < count) ? index : -1;
}

int32_t TControlStore::ItemCount(std::string_view name) const {
  return static_cast<int32_t>(values[Require(name, {kDropDown})].items.size());
}

void TControlStore::SetItems(std::string_view name, std::vector<std::string> items) {
  const size_t i = Require(name, {kDropDown});
  values[i].items = std::move(items);
  values[i].number = -1;
}

void TControlStore::Click(std::string_view name) {
  const size_t i = IndexOf(name);
  const TControlDef& d = Def(i);
  switch (d.kind) {
    case kCheckBox:
      SetChecked(name, values[i].number == 0);
      return;
    case kRadioButton:
      SetChecked(name, true);
      return;
    case kToggleButton:
      values[i].number = values[i].number == 0 ? 1 : 0;
      Raise(d);
      return;
    case kButton:
    case kColorSwatch:
    case kDropDown:
      Raise(d);
      return;
    default:
      throw std::invalid_argument("control " + std::string(name) + " cannot be clicked");
  }
}
