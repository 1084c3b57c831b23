// The control table's consistency and the headless store's toolkit behaviour: clamping,
// which writes raise events, radio groups.

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/model/controlStore.h"

namespace {

// Records every raised event by control name.
struct TEventLog {
  std::vector<std::string> names;
  void Attach(TControlStore& store) {
    store.SetEventSink([this](const TControlDef& d) { names.emplace_back(d.name); });
  }
};

}  // namespace

TEST(ControlTable, NamesAreUniqueAndStartValuesFitTheirControls) {
  std::set<std::string_view> names;
  std::map<std::string_view, int> checkedPerGroup;
  for (const TControlDef& d : ControlTable()) {
    EXPECT_TRUE(names.insert(d.name).second) << "duplicate " << d.name;
    EXPECT_EQ(FindControl(d.name), &d);
    if (d.kind == TControlKind::kUpDown || d.kind == TControlKind::kTrackBar) {
      EXPECT_GE(d.start, RangeLow(d)) << d.name;
      EXPECT_LE(d.start, RangeHigh(d)) << d.name;
    }
    if (d.kind == TControlKind::kRadioButton) {
      EXPECT_FALSE(d.radioGroup.empty()) << d.name;
      checkedPerGroup[d.radioGroup] += d.start;
    }
    if (d.handler == THandler::tb_SliderChange) {
      EXPECT_EQ(d.kind, TControlKind::kTrackBar);
    }
  }
  for (const auto& [group, checked] : checkedPerGroup) EXPECT_EQ(checked, 1) << group;
  EXPECT_EQ(FindControl("no_such_control"), nullptr);
}

TEST(ControlStore, UpDownClampsToItsRangeAndSixteenBits) {
  TControlStore s;
  s.SetPosition("ud_height", 500);
  EXPECT_EQ(s.Position("ud_height"), 100);
  EXPECT_EQ(s.Text("ud_height"), "100");
  s.SetPosition("ud_height", -3);
  EXPECT_EQ(s.Position("ud_height"), 0);
  s.SetPosition("ud_taper", -70000);  // beyond 16 bits, then the range
  EXPECT_EQ(s.Position("ud_taper"), -100);

  // A reversed range (Min 100, Max -100) clamps between its smaller and larger end.
  ASSERT_EQ(FindControl("ud_rscale")->min, 100);
  s.SetPosition("ud_rscale", 150);
  EXPECT_EQ(s.Position("ud_rscale"), 100);
  s.SetPosition("ud_rscale", -150);
  EXPECT_EQ(s.Position("ud_rscale"), -100);
  s.SetPosition("ud_rscale", -7);
  EXPECT_EQ(s.Position("ud_rscale"), -7);

  // Typing into the field moves the position the same way.
  s.SetText("ud_diameter", "99999999999999999999999");
  EXPECT_EQ(s.Position("ud_diameter"), 200);
  s.SetText("ud_diameter", "-5");
  EXPECT_EQ(s.Position("ud_diameter"), 1);
  EXPECT_THROW(s.SetText("ud_diameter", "12a"), std::invalid_argument);
}

TEST(ControlStore, WhichWritesRaiseEvents) {
  TControlStore s;
  TEventLog log;
  log.Attach(s);

  // An up-down rewrites its field on every write: clamped or unchanged, it raises.
  s.SetPosition("ud_height", 20);
  s.SetPosition("ud_height", 900);
  EXPECT_EQ(log.names, (std::vector<std::string>{"ud_height", "ud_height"}));

  // Track bars and check boxes raise only on a change.
  log.names.clear();
  s.SetPosition("tb_res", 1);
  s.SetPosition("tb_res", 99);  // clamped to 3: a change
  s.SetPosition("tb_res", 3);
  s.SetChecked("cb_tjoint", false);
  s.SetChecked("cb_tjoint", true);
  EXPECT_EQ(log.names, (std::vector<std::string>{"tb_res", "cb_tjoint"}));
  EXPECT_EQ(s.Position("tb_res"), 3);

  // Colours and list indexes set by the program raise nothing.
  log.names.clear();
  s.SetColor("sh_col1", 0x123456);
  s.SetItemIndex("cb_filter", 3);
  s.SetChecked("but_sestart", true);
  EXPECT_TRUE(log.names.empty());
  EXPECT_EQ(s.Color("sh_col1"), 0x123456u);
  EXPECT_EQ(s.ItemIndex("cb_filter"), 3);
  s.SetItemIndex("cb_filter", 5);  // past the list: no selection
  EXPECT_EQ(s.ItemIndex("cb_filter"), -1);
}

TEST(ControlStore, RadioButtonsExcludeEachOtherWithinTheirGroup) {
  TControlStore s;
  TEventLog log;
  log.Attach(s);
  s.SetChecked("rb_flat2", true);
  EXPECT_TRUE(s.Checked("rb_flat2"));
  EXPECT_FALSE(s.Checked("rb_stacked"));
  EXPECT_TRUE(s.Checked("rb_y"));  // another group is untouched
  s.Click("rb_flat2");             // already checked: nothing new
  s.SetChecked("rb_flat2", false); // unchecking raises nothing
  EXPECT_EQ(log.names, (std::vector<std::string>{"rb_flat2"}));
  EXPECT_FALSE(s.Checked("rb_stacked"));
}

TEST(ControlStore, EventsSeeTheNewValue) {
  // Handlers run inside the write and read the controls back; they must see the new state.
  TControlStore s;
  int seen = -1;
  s.SetEventSink([&](const TControlDef&) { seen = s.Position("ud_distance"); });
  s.SetPosition("ud_distance", 500);
  EXPECT_EQ(seen, 200);
}

TEST(ControlStore, UnknownNamesAndWrongKindsAreRefused) {
  TControlStore s;
  EXPECT_THROW(s.Position("ud_nothing"), std::invalid_argument);
  EXPECT_THROW(s.Checked("ud_height"), std::invalid_argument);
  EXPECT_THROW(s.SetPosition("cb_tjoint", 1), std::invalid_argument);
  EXPECT_THROW(s.Color("ed_braid"), std::invalid_argument);
  EXPECT_THROW(s.Click("lab_show"), std::invalid_argument);
}
