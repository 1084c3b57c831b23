// The control store through a headless window: any read or write of any control of the table,
// in any order, with the change handlers running as in the window. Oracles: the store keeps
// each control's rules (positions inside their range, an up-down's text mirrors its position,
// one radio button per group, colours of 24 bits, a drop-down index inside its list), no
// failed handler leaves recomputes switched off, and after every write that went through the
// model holds its invariants. Costly controls are capped so that one input stays cheap.

#include <charconv>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/model/headlessWindow.h"
#include "fuzzSupport.h"

namespace {

using enum TControlKind;

// Highest value written to a control whose cost grows with it; tb_res feeds "Resolution" and
// "Catm. Clark" through the shape presets.
const std::map<std::string_view, int64_t> kCaps = {
    {"ud_subdiv", 3}, {"ud_ccsub", 1},   {"ud_presmooth", 4}, {"ud_minsurf", 3},
    {"ud_psnonbnd", 3}, {"ud_seniter", 3}, {"ud_tuberes", 4},  {"tb_res", 2},
};
constexpr size_t kMaxLetters = 16;

bool TooCostly(std::string_view name, int64_t value) {
  const auto it = kCaps.find(name);
  return it != kCaps.end() && value > it->second;
}

// Text typed into an up-down moves its position; the cap applies to what it would read as.
bool TooCostlyText(std::string_view name, const std::string& text) {
  if (name == "ed_braid") {
    size_t letters = 0;
    for (char c : text) letters += (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    return letters > kMaxLetters;
  }
  if (!kCaps.contains(name)) return false;
  int64_t n = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
  return ec == std::errc::result_out_of_range || (ec == std::errc() && TooCostly(name, n));
}

void CheckStore(const TControlStore& c) {
  std::map<std::string_view, int> checkedInGroup;
  for (const TControlDef& d : ControlTable()) {
    const std::string name(d.name);
    switch (d.kind) {
      case kUpDown: {
        const int32_t p = c.Position(d.name);
        Expect(p >= RangeLow(d) && p <= RangeHigh(d), name + " left its range: " +
                                                          std::to_string(p));
        Expect(c.Text(d.name) == std::to_string(p), name + "'s text does not mirror its position");
        break;
      }
      case kTrackBar: {
        const int32_t p = c.Position(d.name);
        Expect(p >= RangeLow(d) && p <= RangeHigh(d), name + " left its range");
        break;
      }
      case kRadioButton:
        checkedInGroup[d.radioGroup] += c.Checked(d.name);
        break;
      case kColorSwatch:
        Expect(c.Color(d.name) <= 0xFFFFFFu, name + " holds more than 24 bits of colour");
        break;
      case kDropDown: {
        const int32_t i = c.ItemIndex(d.name);
        Expect(i >= -1 && i < c.ItemCount(d.name), name + "'s index lies outside its list");
        break;
      }
      default:
        break;
    }
  }
  for (const auto& [group, n] : checkedInGroup)
    Expect(n <= 1, std::to_string(n) + " radio buttons of group " + std::string(group) +
                       " are checked");
}

// One read or write; returns what it did, or "" when it was skipped as too costly.
std::string Apply(THeadlessWindow& w, TFuzzInput& in, int& refines, std::string& typed) {
  const auto table = ControlTable();
  const TControlDef& d = table[static_cast<size_t>(in.Int(0, static_cast<int32_t>(table.size()) - 1))];
  const std::string name(d.name);
  TControlStore& c = w.controls;
  switch (in.Byte() % 8) {
    case 0: {  // a position, mostly near the range, sometimes anything
      const int32_t v = in.Bool() ? in.Int(RangeLow(d) - 5, RangeHigh(d) + 5) : in.Int32();
      if (TooCostly(d.name, std::clamp<int64_t>(v, RangeLow(d), RangeHigh(d)))) return "";
      c.SetPosition(d.name, v);
      return "SetPosition(" + name + ", " + std::to_string(v) + ")";
    }
    case 1: {
      const bool checked = in.Bool();
      c.SetChecked(d.name, checked);
      return "SetChecked(" + name + ", " + std::to_string(checked) + ")";
    }
    case 2: {
      const std::string text = in.Text(24);
      if (TooCostlyText(d.name, text)) return "";
      typed += text;
      c.SetText(d.name, text);
      return "SetText(" + name + ", \"" + text + "\")";
    }
    case 3:
      c.SetColor(d.name, static_cast<uint32_t>(in.Int32()));
      return "SetColor(" + name + ")";
    case 4: {
      const int32_t index = in.Int(-3, 300);
      c.SetItemIndex(d.name, index);
      return "SetItemIndex(" + name + ", " + std::to_string(index) + ")";
    }
    case 5: {
      std::vector<std::string> items(in.Byte() % 4);
      for (auto& item : items) typed += item = in.Text(8);
      c.SetItems(d.name, std::move(items));
      return "SetItems(" + name + ")";
    }
    case 6:
      // Smoothing prepares a coarse mesh itself; each Refine quadruples the faces.
      if (d.name == "Button6" && ++refines > 1) return "";
      c.Click(d.name);
      return "Click(" + name + ")";
    default:
      // Reads raise no event and may refuse the kind.
      if (d.kind == kUpDown || d.kind == kTrackBar) (void)c.Position(d.name);
      else (void)c.Text(d.name);
      return "a read of " + name;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TFuzzInput in(data, size);
  THeadlessWindow w;
  // Mostly coarse, so that the two dozen writes of an input stay cheap.
  StartFromCopy(w, size % 4 != 0);
  w.controls.SetPosition("ud_seniter", 1);
  bool stale = false;  // a handler failed: the model may hold a half-built state until rebuilt
  int refines = 0;
  std::string typed;  // what messages may quote back
  // VELTRANE_FUZZ_TRACE=1 lists the operations of an input, to read a finding.
  static const bool trace = std::getenv("VELTRANE_FUZZ_TRACE") != nullptr;

  // One operation as the window runs an event: a model error is reported and the window goes on.
  const auto event = [&](const char* when) {
    const int32_t recomputes = w.app.recomputeCount;
    std::string done;
    try {
      done = Apply(w, in, refines, typed);
      if (w.app.recomputeCount != recomputes) stale = false;
      if (trace && !done.empty()) std::fprintf(stderr, "%s%s\n", when, done.c_str());
    } catch (const std::exception& e) {
      if (trace) std::fprintf(stderr, "%serror: %s\n", when, e.what());
      ExpectDeliberate(e, typed);
      stale = true;
    }
    return done;
  };
  // The dialogs answer from the input; between smoothing iterations the user may act again
  // (stop, change a field, load another knot), twice per input at most.
  w.window.chooseColor = [&in](uint32_t) -> std::optional<uint32_t> {
    if (in.Bool()) return static_cast<uint32_t>(in.Int32());
    return std::nullopt;
  };
  w.window.askYesCancel = [&in](const std::string&) { return in.Bool(); };
  int nested = 0;
  w.window.processEvents = [&] {
    if (nested < 2 && in.Byte() % 4 == 0) {
      ++nested;
      event("  during smoothing: ");
    }
  };

  for (int op = 0; op < 24 && !in.Empty(); ++op) {
    const std::string done = event("");
    Expect(!w.app.recomputeSuspended, "a handler left recomputes switched off");
    CheckStore(w.controls);
    if (done.empty() || stale) continue;
    const bool fresh = !w.app.smoothed && w.app.refineCount == 0;
    CheckModel(w.app, {.fresh = fresh}, done);
  }
  return 0;
}
