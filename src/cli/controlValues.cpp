#include "controlValues.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <vector>

#include "core/printableText.h"
#include "core/settings.h"

namespace {

using enum TControlKind;

std::string Quote(std::string_view s) { return "'" + Abbreviated(s) + "'"; }

int64_t ClampWithWarning(int64_t value, int64_t low, int64_t high, std::string_view name,
                         std::string_view typed, std::ostream& warn) {
  const int64_t clamped = std::clamp(value, low, high);
  if (clamped != value)
    warn << "warning: " << name << "=" << Abbreviated(typed) << " is outside " << low << ".." << high
         << "; clamped to " << clamped << "\n";
  return clamped;
}

bool ParseSwitch(std::string_view text, std::string_view name) {
  if (text == "1" || text == "true" || text == "on") return true;
  if (text == "0" || text == "false" || text == "off") return false;
  throw TCliError(std::string(name) + " takes 0 or 1, not " + Quote(text));
}

// "r,g,b" with each part 0..255, or one whole number red + 256 x green + 65536 x blue.
uint32_t ParseColour(std::string_view text, std::string_view name, std::ostream& warn) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  while (true) {
    const size_t comma = text.find(',', start);
    parts.push_back(text.substr(start, comma == std::string_view::npos ? comma : comma - start));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  if (parts.size() == 1) {
    const int64_t v = ParseWholeNumber(text, name);
    return static_cast<uint32_t>(ClampWithWarning(v, 0, 0xFFFFFF, name, text, warn));
  }
  if (parts.size() != 3)
    throw TCliError(std::string(name) + " takes a colour as r,g,b or one number, not " +
                    Quote(text));
  uint32_t rgb[3];
  for (size_t i = 0; i < 3; ++i) {
    const int64_t v = ParseWholeNumber(parts[i], name);
    rgb[i] = static_cast<uint32_t>(ClampWithWarning(v, 0, 255, name, parts[i], warn));
  }
  return Rgb(rgb[0], rgb[1], rgb[2]);
}

}  // namespace

int64_t ParseWholeNumber(std::string_view text, std::string_view what) {
  std::string_view digits = text;
  bool negative = false;
  if (!digits.empty() && (digits[0] == '-' || digits[0] == '+')) {
    negative = digits[0] == '-';
    digits.remove_prefix(1);
  }
  int base = 10;
  if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
    base = 16;
    digits.remove_prefix(2);
  }
  uint64_t magnitude = 0;
  const auto [end, ec] =
      std::from_chars(digits.data(), digits.data() + digits.size(), magnitude, base);
  if (digits.empty() || end != digits.data() + digits.size() ||
      (ec != std::errc() && ec != std::errc::result_out_of_range))
    throw TCliError(std::string(what) + " takes a whole number, not " + Quote(text));
  constexpr uint64_t kMax = std::numeric_limits<int64_t>::max();
  if (ec == std::errc::result_out_of_range || magnitude > kMax)
    return negative ? std::numeric_limits<int64_t>::min() : std::numeric_limits<int64_t>::max();
  return negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
}

void SplitAssignment(const std::string& text, std::string& name, std::string& value) {
  const size_t eq = text.find('=');
  if (eq == std::string::npos || eq == 0)
    throw TCliError("--set takes NAME=VALUE, not " + Quote(text));
  name = text.substr(0, eq);
  value = text.substr(eq + 1);
}

void ApplySetting(THeadlessWindow& w, const std::string& name, const std::string& value,
                  std::ostream& warn) {
  const TControlDef* d = FindControl(name);
  if (!d) throw TCliError("there is no control named " + Quote(name));
  switch (d->kind) {
    case kUpDown:
    case kTrackBar: {
      const int64_t v = ParseWholeNumber(value, name);
      const int64_t clamped = ClampWithWarning(v, RangeLow(*d), RangeHigh(*d), name, value, warn);
      w.controls.SetPosition(name, static_cast<int32_t>(clamped));
      return;
    }
    case kCheckBox:
    case kRadioButton:
      w.controls.SetChecked(name, ParseSwitch(value, name));
      return;
    case kEdit:
      w.controls.SetText(name, value);
      return;
    case kColorSwatch:
      w.window.ColorChosen(name, ParseColour(value, name, warn));
      return;
    case kDropDown: {
      const int64_t count = w.controls.ItemCount(name);
      if (count == 0) throw TCliError(name + " has no entries to choose from");
      const int64_t v = ParseWholeNumber(value, name);
      const int64_t clamped = ClampWithWarning(v, 0, count - 1, name, value, warn);
      w.controls.SetItemIndex(name, static_cast<int32_t>(clamped));
      w.controls.Click(name);
      return;
    }
    default:
      throw TCliError(Quote(name) + " holds no value that can be set");
  }
}
