// The control panel over real widgets behaves as the headless store does (the window logic
// is tested on the store), and a user's edit raises its event exactly once.

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QToolButton>
#include <QtTest>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/model/controlStore.h"
#include "app/ui/controlWidgets.h"
#include "app/ui/qtControlPanel.h"
#include "core/rangeError.h"
#include "core/settings.h"
#include "guiHelpers.h"

namespace {

using Step = std::function<void(TControlPanel&)>;

// A control's value in words, whatever its kind.
std::string Snapshot(const TControlPanel& c, const TControlDef& d) {
  switch (d.kind) {
    case TControlKind::kUpDown:
      return std::to_string(c.Position(d.name)) + " '" + c.Text(d.name) + "'";
    case TControlKind::kTrackBar:
      return std::to_string(c.Position(d.name));
    case TControlKind::kCheckBox:
    case TControlKind::kRadioButton:
    case TControlKind::kToggleButton:
      return c.Checked(d.name) ? "on" : "off";
    case TControlKind::kEdit:
    case TControlKind::kLabel:
      return c.Text(d.name);
    case TControlKind::kColorSwatch:
      return std::to_string(c.Color(d.name));
    case TControlKind::kDropDown:
      return std::to_string(c.ItemIndex(d.name)) + "/" + std::to_string(c.ItemCount(d.name));
    default:
      return "";
  }
}

// Runs the steps on a panel, writing down every raised event and every refused call.
std::vector<std::string> Play(TControlPanel& c, const std::vector<Step>& steps) {
  std::vector<std::string> log;
  c.SetEventSink([&log](const TControlDef& d) { log.emplace_back(d.name); });
  for (size_t i = 0; i < steps.size(); ++i) {
    try {
      steps[i](c);
    } catch (const std::invalid_argument&) {
      log.push_back("refused step " + std::to_string(i));
    }
  }
  c.SetEventSink(nullptr);
  return log;
}

}  // namespace

class TestQtControlPanel : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QWidget> owner;
  std::unique_ptr<TQtControlPanel> panel;
  std::vector<std::string> events;

  void Record() {
    events.clear();
    panel->SetEventSink([this](const TControlDef& d) { events.emplace_back(d.name); });
  }

 private slots:
  void init() {
    owner = std::make_unique<QWidget>();
    panel = std::make_unique<TQtControlPanel>(owner.get());
    owner->resize(300, 300);
    owner->show();
    QVERIFY(QTest::qWaitForWindowExposed(owner.get()));
  }
  void cleanup() {
    panel.reset();
    owner.reset();
  }

  void everyControlStartsAsInTheHeadlessStore() {
    const TControlStore store;
    for (const TControlDef& d : ControlTable()) {
      const QString name = QString::fromUtf8(d.name.data(), static_cast<qsizetype>(d.name.size()));
      QWidget* w = owner->findChild<QWidget*>(name);
      QVERIFY2(w, qPrintable(name));
      QCOMPARE(w, panel->Widget(d.name));
      QCOMPARE(Snapshot(*panel, d), Snapshot(store, d));
      QCOMPARE(w->isHidden(), d.hidden);
    }
  }

  // The same writes on both panels raise the same events in the same order and leave the same
  // values: clamping, saturation, unchanged writes, radio groups, quiet toggles and swatches.
  void writesBehaveAsInTheHeadlessStore() {
    const std::vector<Step> steps = {
        [](TControlPanel& c) { c.SetPosition("ud_height", 500); },      // clamped, raises
        [](TControlPanel& c) { c.SetPosition("ud_height", 100); },      // unchanged, raises
        [](TControlPanel& c) { c.SetPosition("ud_shift", -70000); },    // 16 bits, then range
        [](TControlPanel& c) { c.SetPosition("ud_rscale", 150); },      // reversed range
        [](TControlPanel& c) { c.SetPosition("tb_smooth", 0); },        // unchanged: quiet
        [](TControlPanel& c) { c.SetPosition("tb_smooth", 99); },
        [](TControlPanel& c) { c.SetPosition("tb_smooth", 7); },
        [](TControlPanel& c) { c.SetChecked("cbsmooth", true); },
        [](TControlPanel& c) { c.SetChecked("cbsmooth", true); },
        [](TControlPanel& c) { c.SetChecked("rb_split", true); },
        [](TControlPanel& c) { c.SetChecked("rb_stacked", true); },
        [](TControlPanel& c) { c.SetChecked("rb_stacked", false); },    // none checked, quiet
        [](TControlPanel& c) { c.SetChecked("but_sestart", true); },    // toggle: quiet
        [](TControlPanel& c) { c.SetText("ed_braid", "AAA"); },
        [](TControlPanel& c) { c.SetText("ed_braid", "AAA"); },
        [](TControlPanel& c) { c.SetText("lab_aa", "25 samples"); },
        [](TControlPanel& c) { c.SetText("ud_foc_length", "37"); },
        [](TControlPanel& c) { c.SetText("ud_foc_length", "99999"); },
        [](TControlPanel& c) { c.SetText("ud_foc_length", "-99999999999999999999"); },
        [](TControlPanel& c) { c.SetText("ud_foc_length", "abc"); },
        [](TControlPanel& c) { c.SetText("ud_foc_length", ""); },
        [](TControlPanel& c) { c.SetColor("sh_col3", Rgb(1, 2, 3)); },
        [](TControlPanel& c) { c.SetColor("sh_col4", 0xFF000000u | Rgb(4, 5, 6)); },
        [](TControlPanel& c) { c.SetItems("cb_knottable", {"3_1", "4_1"}); },
        [](TControlPanel& c) { c.SetItemIndex("cb_knottable", 1); },
        [](TControlPanel& c) { c.SetItemIndex("cb_filter", 7); },       // outside: none
        [](TControlPanel& c) { c.Click("but_trefoil"); },
        [](TControlPanel& c) { c.Click("cb_iso"); },
        [](TControlPanel& c) { c.Click("rb_x"); },
        [](TControlPanel& c) { c.Click("rb_x"); },                      // already checked
        [](TControlPanel& c) { c.Click("but_pause"); },
        [](TControlPanel& c) { c.Click("sh_col1"); },
        [](TControlPanel& c) { c.Click("cb_knottable"); },
        [](TControlPanel& c) { c.Click("lab_show"); },
        [](TControlPanel& c) { (void)c.Position("cbsmooth"); },
        [](TControlPanel& c) { (void)c.Checked("no_such_control"); },
    };
    TControlStore store;
    const std::vector<std::string> expected = Play(store, steps);
    const std::vector<std::string> got = Play(*panel, steps);
    QCOMPARE(got, expected);
    for (const TControlDef& d : ControlTable()) QCOMPARE(Snapshot(*panel, d), Snapshot(store, d));
    // A few values spelled out, so that the two cannot agree on a wrong answer.
    QCOMPARE(panel->Position("ud_shift"), -20);
    QCOMPARE(panel->Position("ud_rscale"), 100);
    QCOMPARE(panel->Position("ud_foc_length"), 5);
    QCOMPARE(panel->Text("ud_foc_length"), std::string("5"));
    QVERIFY(!panel->Checked("rb_stacked") && !panel->Checked("rb_split"));
    QCOMPARE(panel->Color("sh_col4"), Rgb(4, 5, 6));
  }

  void userEditsRaiseOnce() {
    Record();
    auto* spin = panel->As<QSpinBox>("ud_height");
    spin->setFocus();
    spin->selectAll();
    QTest::keyClicks(spin, "57");
    QCOMPARE(panel->Position("ud_height"), 57);
    QCOMPARE(events, (std::vector<std::string>{"ud_height", "ud_height"}));  // "5", then "57"

    Record();
    QTest::mouseClick(panel->As<QCheckBox>("cb_iso"), Qt::LeftButton);
    QTest::mouseClick(panel->As<QRadioButton>("rb_flat"), Qt::LeftButton);
    QTest::mouseClick(panel->As<TColorSwatch>("sh_col2"), Qt::LeftButton);
    QTest::keyClick(panel->As<QSlider>("tb_res"), Qt::Key_Right);
    QTest::keyClicks(panel->As<QLineEdit>("ed_braid"), "Ab");
    QCOMPARE(events, (std::vector<std::string>{"cb_iso", "rb_flat", "sh_col2", "tb_res",
                                               "ed_braid", "ed_braid"}));
    QVERIFY(panel->Checked("cb_iso"));
    QVERIFY(panel->Checked("rb_flat") && !panel->Checked("rb_stacked"));
    QCOMPARE(panel->Position("tb_res"), 2);
    QCOMPARE(panel->Text("ed_braid"), std::string("AbAbAb"));

    // A handler that writes other controls: each write raises once, nothing twice.
    events.clear();
    panel->SetEventSink([this](const TControlDef& d) {
      events.emplace_back(d.name);
      if (d.name == "cbshline") {
        panel->SetPosition("tb_sphere", 10);
        panel->SetChecked("cb_tjoint", true);
      }
    });
    QTest::mouseClick(panel->As<QCheckBox>("cbshline"), Qt::LeftButton);
    QCOMPARE(events, (std::vector<std::string>{"cbshline", "tb_sphere", "cb_tjoint"}));
  }

  void arrowsFollowTheRangeAndDirection() {
    Record();
    // "scale" runs from 100 down to -100: its up arrow lowers the value.
    auto* scale = panel->As<QSpinBox>("ud_rscale");
    scale->stepBy(1);
    QCOMPARE(panel->Position("ud_rscale"), 1);
    // The light's left/right field has arrows pointing sideways and steps of 5.
    auto* right = owner->findChild<QToolButton*>("ud_lr_light_right");
    QVERIFY(right);
    QTest::mouseClick(right, Qt::LeftButton);
    QCOMPARE(panel->Position("ud_lr_light"), 15);
    QCOMPARE(events, (std::vector<std::string>{"ud_rscale", "ud_lr_light"}));
    panel->SetPosition("ud_lr_light", 90);
    QTest::mouseClick(right, Qt::LeftButton);  // at the top: no change, no event
    QCOMPARE(panel->Position("ud_lr_light"), 90);
    QCOMPARE(events.size(), size_t(3));
  }

  // What a user action's handler throws goes to the guard; nothing reaches Qt's event loop.
  void handlerErrorsOfUserActionsGoToTheGuard() {
    panel->SetEventSink([](const TControlDef&) { throw RangeError("a disk holds at most 50"); });
    QString caught;
    panel->userActionGuard = [&caught](QWidget*, const std::function<void()>& body) {
      try {
        body();
      } catch (const std::exception& e) {
        caught = QString::fromUtf8(e.what());
      }
    };
    QTest::mouseClick(panel->As<QCheckBox>("cb_iso"), Qt::LeftButton);
    QCOMPARE(caught, QStringLiteral("a disk holds at most 50"));
    // A program write is no user action: its error reaches the caller.
    QVERIFY_THROWS_EXCEPTION(RangeError, panel->SetPosition("ud_height", 3));
    // Without a guard the error is dropped with a warning.
    panel->userActionGuard = nullptr;
    QTest::ignoreMessage(QtWarningMsg, "a disk holds at most 50");
    QTest::mouseClick(panel->As<QCheckBox>("cb_iso"), Qt::LeftButton);
    QVERIFY(!panel->Checked("cb_iso"));
  }
};

QTEST_MAIN(TestQtControlPanel)
#include "controlPanel_guitest.moc"
