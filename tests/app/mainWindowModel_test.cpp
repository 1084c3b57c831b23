// The window logic end to end on the headless store: start-up, the lay-out and preset
// buttons, handler bindings and recomputeSuspended.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <cctype>
#include <functional>
#include <vector>
#include <map>
#include <thread>

#include "app/model/headlessWindow.h"
#include "app/model/readSettings.h"
#include "app/model/ride.h"
#include "app/model/shapePresets.h"
#include "app/model/surfaceSummary.h"
#include "core/rangeError.h"
#include "fileHelpers.h"
#include "helpers.h"
#include "surface/holeDump.h"

namespace {

struct MainWindowTest : ::testing::Test {
  THeadlessWindow w;
  int frames = 0;

  void SetUp() override {
    w.window.drawFrame = [this] { ++frames; };
    w.window.StartUp();
  }
  int Pos(const char* name) const { return w.controls.Position(name); }
  // Typing a word and pressing Enter.
  void Type(const std::string& word) {
    w.controls.SetText("ed_braid", word);
    w.window.BraidEntered();
  }
  int Recomputes() const { return w.app.recomputeCount; }
};

const std::string kTwelve = "AbAbAbAbAbAb";

}  // namespace

TEST_F(MainWindowTest, StartState) {
  EXPECT_EQ(Pos("ud_diameter"), 60);
  EXPECT_EQ(Pos("ud_height"), 2);
  EXPECT_EQ(Pos("ud_diax"), 20);
  EXPECT_EQ(Pos("ud_diay"), 2);
  EXPECT_EQ(Pos("ud_distance"), 83);
  EXPECT_EQ(Pos("ud_subdiv"), 2);
  EXPECT_EQ(Pos("ud_ccsub"), 0);
  EXPECT_EQ(Pos("ud_presmooth"), 0);
  EXPECT_EQ(Pos("ud_shift"), 0);  // "Disks 1" with no sender
  EXPECT_TRUE(w.controls.Checked("cbsmooth"));

  const TSettings& s = w.app.Settings;
  EXPECT_DOUBLE_EQ(s.diskDiameter, 0.6);
  EXPECT_DOUBLE_EQ(s.diskHeight, 0.02);
  EXPECT_DOUBLE_EQ(s.bandWidth, 0.2);
  EXPECT_DOUBLE_EQ(s.bandHeight, 0.02);
  EXPECT_DOUBLE_EQ(s.diskDistance, 0.83);
  EXPECT_EQ(s.resolution, 4);
  EXPECT_TRUE(s.smoothShading);
  EXPECT_EQ(s.colors[0], Rgb(240, 200, 150));
  EXPECT_EQ(s.colors[11], Rgb(200, 200, 200));

  EXPECT_EQ(w.app.Seifert.text, "AbAb");
  EXPECT_EQ(w.app.Seifert.nCross, 4);
  EXPECT_FALSE(w.app.recomputeSuspended);
  EXPECT_FALSE(w.app.meanEdgeValid);
  EXPECT_TRUE(w.app.firstSmooth);
  // "Disks 1"'s NewKnot, then the two recomputes of start-up; each draws once.
  EXPECT_EQ(Recomputes(), 3);
  EXPECT_EQ(frames, 3);
  EXPECT_EQ(w.app.View.Centre, w.app.ModelCentre);
}

TEST_F(MainWindowTest, StackedBallsMakeSpheres) {
  w.controls.Click("but_balls_stacked");
  EXPECT_EQ(Pos("tb_sphere"), 10);
  EXPECT_EQ(Pos("ud_height"), 60);  // as high as wide
  EXPECT_EQ(Pos("ud_diay"), 20);
  EXPECT_EQ(Pos("ud_distance"), 25);

  // Smooth spheres are 40 high whatever their diameter.
  w.controls.SetPosition("tb_smooth", 7);
  EXPECT_EQ(Pos("ud_height"), 40);
  EXPECT_EQ(Pos("ud_distance"), 45);
}

TEST_F(MainWindowTest, LongWordClampsTheSphereHeight) {
  Type(kTwelve);
  EXPECT_EQ(Pos("ud_diameter"), 120);
  EXPECT_EQ(Pos("ud_distance"), 143);
  w.controls.Click("but_balls_stacked");
  EXPECT_EQ(Pos("ud_diameter"), 120);
  EXPECT_EQ(Pos("ud_height"), 100);  // 120 wanted, clamped
  EXPECT_EQ(Pos("ud_distance"), 45);  // from the clamped height
}

TEST_F(MainWindowTest, FlatButtons) {
  w.controls.Click("but_disks_flat");
  EXPECT_TRUE(w.controls.Checked("rb_flat2"));
  EXPECT_FALSE(w.controls.Checked("cb_tjoint"));
  EXPECT_EQ(Pos("ud_diameter"), 60);
  EXPECT_EQ(Pos("ud_distance"), 50);
  EXPECT_EQ(w.app.Settings.layout, kLayoutReducedFlat);

  w.controls.Click("but_ribbons");
  EXPECT_TRUE(w.controls.Checked("cb_tjoint"));
  EXPECT_EQ(Pos("ud_diax"), 30);
  EXPECT_EQ(Pos("ud_distance"), 40);

  w.controls.Click("but_tubes");
  EXPECT_EQ(Pos("ud_diax"), 30);
  EXPECT_EQ(Pos("ud_diay"), 30);
  EXPECT_EQ(Pos("ud_height"), 60);

  // "Braid" goes back to stacked, with shift and taper of its own.
  w.controls.Click("but_braid");
  EXPECT_TRUE(w.controls.Checked("rb_stacked"));
  EXPECT_EQ(Pos("ud_shift"), 2);
  EXPECT_EQ(Pos("ud_taper"), 100);
  EXPECT_EQ(Pos("tb_sphere"), 0);
  EXPECT_TRUE(w.controls.Checked("cb_tjoint"));  // left as it was
}

TEST_F(MainWindowTest, SmoothAndFineSliders) {
  w.controls.SetPosition("tb_smooth", 7);
  w.controls.SetPosition("tb_res", 3);
  EXPECT_EQ(Pos("ud_subdiv"), 1);
  EXPECT_EQ(Pos("ud_ccsub"), 3);
  EXPECT_EQ(Pos("ud_presmooth"), 16);
  EXPECT_EQ(w.app.Settings.catmullClark, 3);
  EXPECT_EQ(w.app.Settings.presmooth, 16);
}

TEST_F(MainWindowTest, DiameterPresetSeesTheLayoutOfTheLastRecompute) {
  Type(kTwelve);
  // The slider does not move, so nothing recomputes before the final NewKnot, which still
  // sees the stacked lay-out.
  w.controls.Click("but_disks_flat");
  EXPECT_EQ(Pos("ud_diameter"), 120);
  // Here the slider moves and recomputes first.
  w.controls.Click("but_balls_flat");
  EXPECT_EQ(Pos("ud_diameter"), 60);
  // Also straight from the stacked lay-out: the radio button is checked before the slider.
  Type(kTwelve);
  w.controls.Click("but_disks1");
  w.controls.Click("but_tubes");
  EXPECT_EQ(Pos("ud_diameter"), 60);

  // A radio button clicked by hand recomputes at once, so a slider move afterwards agrees.
  w.controls.Click("but_disks1");
  w.controls.Click("rb_flat");
  w.controls.SetPosition("tb_smooth", 1);
  EXPECT_EQ(Pos("ud_diameter"), 60);
}

TEST_F(MainWindowTest, LayoutButtonsEndWithARecomputeOfTheirFinalState) {
  for (const std::string& word : {std::string("AbAb"), kTwelve}) {
    for (const TLayoutButton& b : LayoutButtons()) {
      Type(word);
      const int before = Recomputes();
      w.controls.Click(b.name);
      EXPECT_FALSE(w.app.recomputeSuspended) << b.name;
      EXPECT_GT(Recomputes(), before) << b.name;
      EXPECT_TRUE(w.controls.Checked(b.radio)) << b.name;
      EXPECT_EQ(w.app.Seifert.text, word);
      // Nothing changed after the last recompute: its settings are the controls' values.
      const TSettings used = w.app.Settings;
      TAppState fresh;
      ReadSettings(w.controls, fresh);
      const TSettings& now = fresh.Settings;
      EXPECT_EQ(used.layout, now.layout) << b.name;
      EXPECT_EQ(used.diskDiameter, now.diskDiameter) << b.name;
      EXPECT_EQ(used.diskHeight, now.diskHeight) << b.name;
      EXPECT_EQ(used.diskDistance, now.diskDistance) << b.name;
      EXPECT_EQ(used.diskTaper, now.diskTaper) << b.name;
      EXPECT_EQ(used.bandWidth, now.bandWidth) << b.name;
      EXPECT_EQ(used.bandHeight, now.bandHeight) << b.name;
      EXPECT_EQ(used.bandShift, now.bandShift) << b.name;
      EXPECT_EQ(used.resolution, now.resolution) << b.name;
    }
  }
}

TEST_F(MainWindowTest, RecomputeSuspendedHoldsBackRecomputesAndFrames) {
  const int before = Recomputes();
  w.app.recomputeSuspended = true;
  w.app.redrawDirty = false;
  w.controls.SetPosition("ud_height", 50);
  w.controls.SetPosition("ud_transp", 20);  // a redraw-only control
  w.window.Recompute();
  EXPECT_EQ(Recomputes(), before);
  EXPECT_EQ(frames, 3);
  EXPECT_TRUE(w.app.redrawDirty);  // the redraw is remembered for later

  w.app.recomputeSuspended = false;
  w.controls.SetPosition("ud_height", 50);
  EXPECT_EQ(Recomputes(), before + 1);
  EXPECT_EQ(frames, 4);
  EXPECT_DOUBLE_EQ(w.app.Settings.diskHeight, 0.5);
}

TEST_F(MainWindowTest, EveryControlRunsItsBoundHandler) {
  // What a handler does, seen from outside: recomputes and frames.
  const std::map<THandler, std::pair<int, int>> effect = {
      {THandler::ed_heightChange, {1, 1}},   {THandler::rb_yClick, {1, 1}},
      {THandler::cb_autotwistClick, {1, 1}}, {THandler::Edit5Change, {1, 1}},
      {THandler::ed_ccsubChange, {0, 1}},    {THandler::ClickForceRedraw, {0, 1}},
      {THandler::cb_showlinksClick, {0, 1}}, {THandler::ud_twidChange, {0, 1}},
      {THandler::kNone, {0, 0}},             {THandler::Edit9Change, {0, 0}},
      {THandler::ud_imgscaleChange, {0, 0}}, {THandler::cb_world_lightClick, {0, 0}},
      {THandler::cb_texturemappedClick, {0, 0}},
  };
  int tested = 0;
  for (const TControlDef& d : ControlTable()) {
    if (d.kind != TControlKind::kUpDown && d.kind != TControlKind::kCheckBox) continue;
    ASSERT_TRUE(effect.count(d.handler)) << d.name;
    const auto [recomputes, draws] = effect.at(d.handler);
    const int r0 = Recomputes(), f0 = frames;
    if (d.kind == TControlKind::kUpDown)
      w.controls.SetPosition(d.name, w.controls.Position(d.name));
    else
      w.controls.Click(d.name);
    EXPECT_EQ(Recomputes() - r0, recomputes) << d.name;
    EXPECT_EQ(frames - f0, draws) << d.name;
    if (d.kind == TControlKind::kCheckBox) w.controls.Click(d.name);  // put it back
    ++tested;
  }
  EXPECT_GT(tested, 80);

  for (const char* radio : {"rb_split", "rb_flat", "rb_x", "rb_z"}) {
    const int r0 = Recomputes();
    w.controls.Click(radio);
    EXPECT_EQ(Recomputes() - r0, 1) << radio;
  }
  const int r0 = Recomputes();
  w.controls.Click("rb_flatdt");  // hidden: only redraws
  EXPECT_EQ(Recomputes(), r0);

  // The split lay-out writes its own fields under splitGuard without recomputing.
  w.app.splitGuard = true;
  w.controls.SetPosition("ud_r1", 7);
  EXPECT_EQ(Recomputes(), r0);
}

TEST_F(MainWindowTest, PresetKnotButtonsLoadTheirWords) {
  const std::map<std::string_view, std::string> words = {
      {"Trefoil", "AAA"},        {"Figure 8", "AbAb"},   {"Hopf ring", "AA"},
      {"5-foil", "AAAAA"},       {"6_2", "AAAbAb"},      {"6_1", "AABacBc"},
      {"Unknot", ""},            {"Two rings", "Aa"},    {"Whitehead", "AbAbb"},
      {"4-foil", "AAAA"},        {"Borromean", "AbAbAb"}, {"7-foil", "AAAAAAA"},
      {"6_3", "AAbAbb"},         {"5_2", "AAABaB"},      {"6-foil", "AAAAAA"},
      {"P 2,2,2", "A2A2A2"},     {"P 1,3,5", "AA3A5"},   {"P 1,-3,5", "Aa3A5"},
  };
  int clicked = 0;
  for (const TControlDef& d : ControlTable()) {
    if (d.handler != THandler::PresetKnotClick) continue;
    ASSERT_TRUE(words.count(d.caption)) << d.caption;
    const std::string& word = words.at(d.caption);
    w.controls.SetPosition("ud_height", 77);  // a hand-made change the preset overwrites
    w.controls.Click(d.name);
    ++clicked;
    EXPECT_EQ(w.controls.Text("ed_braid"), word);
    EXPECT_EQ(w.app.Seifert.text, word);
    const auto letters = std::count_if(word.begin(), word.end(),
                                       [](unsigned char ch) { return std::isalpha(ch); });
    EXPECT_EQ(w.app.Seifert.nCross, letters) << d.caption;
    EXPECT_NE(Pos("ud_height"), 77) << d.caption;
  }
  EXPECT_EQ(clicked, 18);
}

TEST_F(MainWindowTest, RepulsionButtonsOnlySetTheSmoothingFields) {
  const int before = Recomputes();
  w.app.smoothingRunning = true;
  w.controls.Click("but_strong");
  EXPECT_EQ(Pos("ud_alpha"), 2);
  EXPECT_EQ(Pos("ud_damp"), 40);
  EXPECT_FALSE(w.app.smoothingRunning);
  w.controls.Click("but_weak");
  EXPECT_EQ(Pos("ud_alpha"), 0);
  EXPECT_EQ(Pos("ud_damp"), 20);
  EXPECT_EQ(Recomputes(), before);
}

TEST_F(MainWindowTest, ColourButtonsAndDialogs) {
  int before = Recomputes();
  w.controls.Click("Button23");
  EXPECT_EQ(w.controls.Color("sh_background"), Rgb(62, 73, 96));
  EXPECT_EQ(w.controls.Color("sh_background2"), Rgb(207, 213, 224));
  w.controls.Click("button22");
  EXPECT_EQ(w.controls.Color("sh_background2"), Rgb(192, 192, 192));
  EXPECT_EQ(Recomputes(), before + 2);

  std::optional<uint32_t> answer = Rgb(1, 2, 3);
  w.window.chooseColor = [&](uint32_t) { return answer; };
  before = Recomputes();
  w.controls.Click("sh_col3");
  EXPECT_EQ(w.app.Settings.colors[2], Rgb(1, 2, 3));
  EXPECT_EQ(Recomputes(), before + 1);

  const int f0 = frames;
  w.controls.Click("sh_specular");  // appearance only: redraw
  EXPECT_EQ(w.controls.Color("sh_specular"), Rgb(1, 2, 3));
  EXPECT_EQ(Recomputes(), before + 1);
  EXPECT_EQ(frames, f0 + 1);

  answer.reset();  // Cancel
  w.controls.Click("sh_col4");
  EXPECT_EQ(w.controls.Color("sh_col4"), Rgb(240, 200, 150));
  EXPECT_EQ(Recomputes(), before + 1);
}

TEST_F(MainWindowTest, EnterAndResetStartTheKnotAfresh) {
  w.controls.SetPosition("ud_height", 50);
  w.app.smoothed = true;
  w.app.meanEdgeValid = true;
  w.app.selectedKnotRow = 5;
  w.app.smoothingRunning = true;
  Type("AAA");
  EXPECT_EQ(w.app.selectedKnotRow, 0);
  EXPECT_FALSE(w.app.smoothed);
  EXPECT_FALSE(w.app.meanEdgeValid);
  EXPECT_FALSE(w.app.smoothingRunning);
  EXPECT_EQ(Pos("ud_height"), 2);
  EXPECT_EQ(w.app.Seifert.nCross, 3);

  w.controls.SetPosition("ud_diameter", 150);
  w.controls.Click("Button5");
  EXPECT_EQ(Pos("ud_diameter"), 60);
}

TEST_F(MainWindowTest, ModelErrorsLeaveTheWindowWorking) {
  // 51 crossings on one generator put 51 band ends on disk 1.
  EXPECT_THROW(Type(std::string(51, 'A')), RangeError);
  EXPECT_FALSE(w.app.recomputeSuspended);
  Type("AAA");
  EXPECT_EQ(w.app.Seifert.nCross, 3);
  EXPECT_EQ(w.app.Seifert.nDisks, 2);
}

TEST_F(MainWindowTest, RefusedRecomputesLeaveTheStateTheyFound) {
  // What the user sees of a surface: its vertices, its knot, its flags, the hidden side and
  // the status line.
  struct TSeen {
    std::vector<Vec3> verts;
    int32_t nCross, nLinks;
    bool smoothed, meanEdgeValid, hiddenSide;
    int32_t refineSteps, selectedKnotRow;
    Vec3 modelCentre, viewCentre;
    std::string summary;
    bool operator==(const TSeen&) const = default;
  };
  const auto seen = [this] {
    TSeen s;
    const TMesh& m = w.app.Seifert.mesh;
    for (int32_t v = 0; v < m.nVerts; ++v) s.verts.push_back(m.verts[v].pos);
    s.nCross = w.app.Seifert.nCross;
    s.nLinks = w.app.Seifert.nLinks;
    s.smoothed = w.app.smoothed;
    s.meanEdgeValid = w.app.meanEdgeValid;
    w.window.ReadSettings();  // as the next frame does
    s.hiddenSide = !w.app.Settings.showSurface[1];
    s.refineSteps = w.app.refineSteps;
    s.selectedKnotRow = w.app.selectedKnotRow;
    s.modelCentre = w.app.ModelCentre;
    s.viewCentre = w.app.View.Centre;
    s.summary = SurfaceSummary(w.app);
    return s;
  };
  const std::string tooMany(51, 'A');  // 51 band ends on disk 1
  const std::vector<std::function<void()>> refusals = {
      [&] { Type(tooMany); },
      [&] {
        w.controls.SetText("ed_code", "4 6 8");
        w.window.CodeEntered();
      },
      [&] {
        w.controls.SetText("ed_braid", tooMany);
        w.controls.Click("Button5");
      },
      [&] {
        w.controls.SetText("ed_braid", tooMany);
        w.controls.Click("but_disks2");
      },
      [&] {
        w.controls.SetText("ed_braid", tooMany);
        w.controls.SetPosition("ud_height", 40);
      },
  };
  // From a plain surface of a table row, and from a smoothed and refined one.
  const std::vector<std::function<void()>> starts = {
      [&] { w.window.ChooseKnot(w.app.KnotTable.Find("5_2")); },
      [&] {
        w.controls.Click("but_trefoil");
        w.controls.SetPosition("ud_seniter", 3);
        w.controls.Click("but_sestart");
        w.controls.Click("Button6");
      },
  };
  for (size_t s = 0; s < starts.size(); ++s) {
    for (size_t r = 0; r < refusals.size(); ++r) {
      SCOPED_TRACE(testing::Message() << "start " << s << ", refusal " << r);
      starts[s]();
      const TSeen before = seen();
      try {
        refusals[r]();
      } catch (const std::exception&) {
      }
      if (s == 1 && r == 4) continue;  // a smoothed surface keeps its mesh: nothing refused
      ASSERT_TRUE(before.verts.size() > 0);
      const TSeen after = seen();
      EXPECT_TRUE(after == before);
      EXPECT_EQ(after.summary, before.summary);  // names the flags that changed
      EXPECT_EQ(after.nCross, before.nCross);
    }
  }
}

// A typed code is drawn in the Diagram lay-out until a word, a table row or a preset replaces
// it; Reset and the lay-out radios keep it.
TEST_F(MainWindowTest, ATypedCodeHoldsUntilAWordOrKnotReplacesIt) {
  const auto enter = [&](const std::string& code) {
    w.controls.SetText("ed_code", code);
    w.window.CodeEntered();
  };
  const auto showsCode = [&](int32_t crossings) {
    return w.controls.Checked("rb_diagram") && w.app.Seifert.nTubes == crossings &&
           w.app.typedCode && !w.controls.Text("ed_code").empty();
  };
  const std::vector<std::pair<std::string, std::function<void()>>> endings = {
      {"word", [&] { Type("AbAb"); }},
      {"table row", [&] { w.window.ChooseKnot(w.app.KnotTable.Find("5_2")); }},
      {"preset", [&] { w.controls.Click("but_trefoil"); }},
  };
  for (const auto& [what, end] : endings) {
    SCOPED_TRACE(what);
    enter("X[1,9,2,8] X[3,10,4,11] X[5,3,6,2] X[7,1,8,12] X[9,4,10,5] X[11,7,12,6]");  // 6_1
    ASSERT_TRUE(showsCode(6));
    w.controls.Click("Button5");
    EXPECT_TRUE(showsCode(6));
    w.controls.SetChecked("rb_stacked", true);  // the braid lay-outs show the word
    EXPECT_EQ(w.app.Seifert.nTubes, w.app.Seifert.nCross);
    w.controls.SetChecked("rb_diagram", true);
    EXPECT_TRUE(showsCode(6));
    end();
    EXPECT_FALSE(w.app.typedCode);
    EXPECT_EQ(w.controls.Text("ed_code"), "");
  }
}

TEST_F(MainWindowTest, ResetViewButtonRecentresAndRecomputes) {
  w.app.View.Yaw = 40;
  w.app.View.Size = 9;
  const int before = Recomputes();
  w.controls.Click("but_projreset");
  EXPECT_EQ(w.app.View.Yaw, 0);
  EXPECT_EQ(w.app.View.Size, 3.0);
  EXPECT_EQ(Recomputes(), before + 1);
}

// A lay-out in a plane first appears from the oblique angle, fitted by the next frame; a change
// between such lay-outs keeps the user's view; the stacked one comes back in its start view.
TEST_F(MainWindowTest, EachKindOfLayoutFirstAppearsInItsStartView) {
  const TViewAngles oblique = StandardViewAngles(TStandardView::kOblique);
  EXPECT_EQ(w.app.View.Yaw, 0);
  EXPECT_FALSE(w.app.View.FitPending);
  for (const char* radio : {"rb_flat", "rb_flat2", "rb_split", "rb_diagram"}) {
    SCOPED_TRACE(radio);
    w.controls.Click("rb_stacked");
    w.app.View.Yaw = 12;
    w.app.View.Size = 5;
    w.controls.Click(radio);
    EXPECT_EQ(w.app.View.Yaw, oblique.yaw);
    EXPECT_EQ(w.app.View.Pitch, oblique.pitch);
    EXPECT_TRUE(w.app.View.FitPending);
    w.app.View.FitPending = false;  // as the frame does
    w.app.View.Yaw = 50;
    w.controls.Click(std::string(radio) == "rb_flat" ? "rb_flat2" : "rb_flat");
    EXPECT_EQ(w.app.View.Yaw, 50);
    EXPECT_FALSE(w.app.View.FitPending);
    // "Reset" of the projection gives the flat start view again.
    w.controls.Click("but_projreset");
    EXPECT_EQ(w.app.View.Yaw, oblique.yaw);
    EXPECT_TRUE(w.app.View.FitPending);
    w.controls.Click("rb_stacked");
    EXPECT_EQ(w.app.View.Yaw, 0);
    EXPECT_EQ(w.app.View.Pitch, 0);
    EXPECT_EQ(w.app.View.Size, 3.0);
    EXPECT_FALSE(w.app.View.FitPending);
  }
}

TEST_F(MainWindowTest, SplitSearchWritesItsRotationsBackWithoutAnotherRecompute) {
  const int before = Recomputes();
  w.controls.Click("rb_split");
  EXPECT_EQ(Recomputes(), before + 1);
  EXPECT_EQ(Pos("ud_r1"), 0);  // "AbAb" at 2: the bridging ends turn to face +-y
  EXPECT_EQ(Pos("ud_r2"), 3);
  EXPECT_FALSE(w.app.splitGuard);

  // Without the search, hand-set rotations are applied as they stand.
  w.controls.SetChecked("cb_autotwist", false);
  w.controls.SetPosition("ud_r1", 2);
  EXPECT_EQ(Pos("ud_r1"), 2);
  EXPECT_EQ(w.app.Seifert.End(w.app.Seifert.tubes[1].endA).layoutSlot, 2 + 2);

  // The flat lay-outs build what they name: the figure eight as two junctions; the Hopf ring's
  // one hole places nothing, so it falls back to the flat lay-out without T-joints.
  w.controls.Click("but_ribbons");
  EXPECT_EQ(w.app.Seifert.nDisks, 2);
  EXPECT_TRUE(w.app.Settings.tJoints);
  w.controls.Click("but_hopf");
  EXPECT_EQ(w.app.Seifert.nDisks, 4);
  EXPECT_FALSE(w.app.Settings.tJoints);
  EXPECT_TRUE(w.controls.Checked("cb_tjoint"));
}

TEST_F(MainWindowTest, RideButtons) {
  // The start state ran preset "1" and Restart; preset "2" turns the car round.
  EXPECT_EQ(Pos("ud_roll"), 90);
  w.controls.Click("but_cam2");
  EXPECT_EQ(Pos("ud_speed"), -10);
  EXPECT_EQ(Pos("ud_roll"), -90);
  EXPECT_EQ(Pos("ud_pitch"), 180);
  w.controls.Click("but_cam4");
  EXPECT_EQ(Pos("ud_speed"), 10);
  EXPECT_FALSE(w.controls.Checked("cb_showsurfaces"));

  // "Refine" doubles the knot line's points; the car keeps its place on it.
  TRideState& ride = w.app.ride;
  uint32_t now = 0;
  for (int f = 0; f < 5; ++f)
    RideStep(ride, w.app.Seifert, ReadRideControls(w.controls), [&] { return now += 40; },
             false, Vec3(0, 0, 1));
  const Vec3 before = ride.prevPos;
  const int32_t n = w.app.Seifert.links[0].nVerts;
  w.controls.Click("Button6");
  ASSERT_GT(w.app.Seifert.links[0].nVerts, n);
  const TRideCamera after = RideStep(ride, w.app.Seifert, ReadRideControls(w.controls),
                                     [&] { return now += 1; }, false, Vec3(0, 0, 1));
  EXPECT_LT((ride.prevPos - before).Length(), 0.05);
  EXPECT_TRUE(std::isfinite(after.p.x));

  // Without a knot line to ride, START says why and springs back.
  w.app.Seifert.nLinks = 0;
  EXPECT_THROW(w.controls.Click("but_start_race"), RangeError);
  EXPECT_FALSE(w.controls.Checked("but_start_race"));
  EXPECT_FALSE(w.app.racing);
}

TEST_F(MainWindowTest, HiddenDumpHolesButtonWritesTheReportHere) {
  const TTempFolder folder;
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(folder.path);
  bool forwarded = false;
  w.window.pendingHandler = [&](const TControlDef&) { forwarded = true; };
  w.controls.Click("Button2");
  // A folder that cannot take the file: the error reaches the handler's caller.
  std::filesystem::current_path("/proc");
  EXPECT_THROW(w.controls.Click("Button2"), std::runtime_error);
  std::filesystem::current_path(before);
  EXPECT_FALSE(forwarded);
  EXPECT_EQ(ReadFile(folder / "aaa.txt"), HoleDumpText().text);
}

TEST(MainWindowDeferred, MeshesDeferredUntilTheLastRecomputeGiveTheSameSurface) {
  // Each case: the clicks a command-line run makes before its one mesh build.
  const std::vector<std::function<void(THeadlessWindow&)>> cases = {
      [](THeadlessWindow& w) { w.window.ChooseKnot(w.app.KnotTable.Find("5_2")); },
      [](THeadlessWindow& w) {
        w.controls.Click("rb_split");
        w.controls.SetChecked("cb_autotwist", true);
        w.window.ChooseKnot(w.app.KnotTable.Find("6_2"));
      },
      [](THeadlessWindow& w) {
        w.controls.Click("but_tubes");
        w.controls.SetPosition("ud_ccsub", 2);
      },
      [](THeadlessWindow& w) {
        w.controls.Click("rb_flatdt");
        w.window.ChooseKnot(w.app.KnotTable.Find("7_4"));
      },
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(i);
    THeadlessWindow now, later;
    later.window.meshesDeferred = true;
    for (THeadlessWindow* w : {&now, &later}) {
      w->window.StartUp();
      cases[i](*w);
    }
    EXPECT_EQ(later.app.Seifert.mesh.nFaces, 0);  // nothing built yet
    later.window.meshesDeferred = false;
    for (THeadlessWindow* w : {&now, &later}) w->window.Recompute();
    const TMesh &a = now.app.Seifert.mesh, &b = later.app.Seifert.mesh;
    ASSERT_EQ(a.nVerts, b.nVerts);
    ASSERT_EQ(a.nFaces, b.nFaces);
    for (int32_t v = 0; v < a.nVerts; ++v) ASSERT_EQ(a.verts[v].pos, b.verts[v].pos);
    EXPECT_EQ(now.app.View.Centre, later.app.View.Centre);
    EXPECT_EQ(now.app.Seifert.nLinks, later.app.Seifert.nLinks);
  }
}

TEST_F(MainWindowTest, LargeBuildsShowTheBusyStateWhileTheyRun) {
  std::vector<bool> calls;
  w.window.showBusy = [&](bool on) { calls.push_back(on); };
  w.controls.SetPosition("ud_ccsub", 3);  // about 129,000 vertices: quick enough
  EXPECT_TRUE(calls.empty());
  w.controls.Click("Button6");  // a Refine to about 516,000: more than 0.3 s
  EXPECT_EQ(calls, (std::vector<bool>{true, false}));
  calls.clear();
  w.controls.SetPosition("ud_ccsub", 4);
  EXPECT_EQ(calls, (std::vector<bool>{true, false}));
  // Back to a small mesh: the large one's storage goes back to the system.
  w.controls.SetPosition("ud_ccsub", 0);
  EXPECT_LT(w.app.Seifert.mesh.verts.capacity(), 100'000u);
  EXPECT_LT(w.app.Seifert.mesh.edges.capacity(), 200'000u);
}

TEST_F(MainWindowTest, LongBuildsRunOffThisThreadAndACancelKeepsTheMeshOnView) {
  std::vector<std::string> notes;
  w.window.showNote = [&](const std::string& note) { notes.push_back(note); };
  bool cancel = true;
  int runs = 0;
  double reached = 0;
  w.window.runLongBuild = [&](const std::function<void()>& work, TBuildProgress& progress) {
    ++runs;
    if (cancel) progress.Cancel();
    std::thread worker(work);
    worker.join();
    reached = progress.Fraction();
  };
  w.controls.SetPosition("ud_ccsub", 1);  // quick: built here
  EXPECT_EQ(runs, 0);
  const std::string summary = SurfaceSummary(w.app);
  const int32_t verts = w.app.Seifert.mesh.nVerts;
  const Vec3 first = w.app.Seifert.mesh.verts[0].pos;
  const int32_t recomputes = Recomputes();
  w.controls.SetPosition("ud_ccsub", 5);  // about 2 million vertices
  ASSERT_EQ(runs, 1);
  EXPECT_EQ(Recomputes(), recomputes + 1);
  EXPECT_EQ(w.app.Seifert.mesh.nVerts, verts);
  EXPECT_EQ(w.app.Seifert.mesh.verts[0].pos, first);
  EXPECT_EQ(SurfaceSummary(w.app), summary);
  EXPECT_EQ(w.app.Settings.catmullClark, 1);  // the settings of the surface on view
  ASSERT_FALSE(notes.empty());
  EXPECT_NE(notes.back().find("not built"), std::string::npos);
  EXPECT_LT(reached, 0.1);  // stopped at its first look

  cancel = false;
  w.window.Recompute();
  EXPECT_EQ(runs, 2);
  EXPECT_GT(w.app.Seifert.mesh.nVerts, 100 * verts / 8);
  EXPECT_EQ(Topology(w.app.Seifert.mesh).openEdges, 0);
  EXPECT_GT(reached, 0.5);  // the estimate of the work is not far off

  // "Refine" of that mesh goes the same way, and its Cancel keeps the mesh unrefined.
  cancel = true;
  const int32_t built = w.app.Seifert.mesh.nVerts;
  w.controls.Click("Button6");
  EXPECT_EQ(runs, 3);
  EXPECT_EQ(w.app.Seifert.mesh.nVerts, built);
  EXPECT_EQ(w.app.refineSteps, 0);
}
