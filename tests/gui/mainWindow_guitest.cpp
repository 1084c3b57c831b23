// The main window at work: keyboard commands of both windows, "Hide controls", the preset and
// lay-out buttons, a typed braid word, errors of the model, the window-size fields, the mouse
// on the drawing panel, colour swatches, later features, the "Advanced options" window and
// closing.

#include <QRadioButton>
#include <QTimer>
#include <QCheckBox>
#include <QClipboard>
#include <QColorDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

#include <functional>
#include <memory>
#include <utility>
#include <string>

#include "core/settings.h"
#include "guiHelpers.h"

class TestMainWindow : public QObject, protected TDesktopUnderTest {
  Q_OBJECT

 private:
  QWidget* Panel() { return d->main.DrawingPanel(); }
  void Enter(const char* name) { QTest::keyClick(C().Widget(name), Qt::Key_Return); }

 private slots:
  void init() { QVERIFY(Open()); }
  void cleanup() { d.reset(); }

  void escapeTwiceRestoresTheLayout() {
    const QSize start = Panel()->size();
    QCOMPARE(start, QSize(793 - 241, 610 - 38));
    QCOMPARE(C().Text("ed_winw"), std::to_string(start.width()));

    // The window sees the key first, also when a control has the focus.
    QTest::keyClick(C().Widget("ed_braid"), Qt::Key_Escape);
    QVERIFY(Main().findChild<QWidget*>("panel_control")->isHidden());
    QVERIFY(Main().findChild<QWidget*>("panel_message")->isHidden());
    QTRY_COMPARE(Panel()->size(), Main().size());
    QCOMPARE(C().Text("ed_winh"), std::to_string(Main().height()));

    QTest::keyClick(&Main(), Qt::Key_Escape);
    QVERIFY(!Main().findChild<QWidget*>("panel_control")->isHidden());
    QVERIFY(!Main().findChild<QWidget*>("panel_message")->isHidden());
    QTRY_COMPARE(Panel()->size(), start);
    QCOMPARE(C().Text("ed_winw"), std::to_string(start.width()));

    // "Hide controls" does what the first Esc did.
    Click("but_fullscreen");
    QTRY_COMPARE(Panel()->size(), Main().size());
    QTest::keyClick(&Main(), Qt::Key_Escape);
    QTRY_COMPARE(Panel()->size(), start);
  }

  void ctrlCCopiesOnlyWithoutShiftOrAlt() {
    QTest::keyClick(&Main(), Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(&Main(), Qt::Key_C, Qt::ControlModifier | Qt::AltModifier);
    QTest::keyClick(&Main(), Qt::Key_C);
    QCOMPARE(Main().CopyImageRequests(), 0);
    QTest::keyClick(&Main(), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(Main().CopyImageRequests(), 1);
    // Keys of the "Advanced options" window go to the same handler.
    Click("but_advanced");
    QTest::keyClick(C().Widget("ud_blur"), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(Main().CopyImageRequests(), 2);
    // Selected text in an edit field is copied too.
    auto* braid = C().As<QLineEdit>("ed_braid");
    braid->setFocus();
    braid->selectAll();
    QTest::keyClick(braid, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(Main().CopyImageRequests(), 3);
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("AbAb"));

    // F1 restarts and starts the ride; it runs, frame after frame, until START is pressed
    // again (here from a timer, while the ride's loop lets events through).
    auto* start = Main().findChild<QPushButton*>("but_start_race");
    QString captionWhileRiding;
    bool carMoved = false;
    QTimer::singleShot(400, [&] {
      captionWhileRiding = start->text();
      carMoved = Main().App().ride.frac != 0;  // Restart put it at the start of a segment
      start->click();
    });
    QTest::keyClick(&Main(), Qt::Key_F1);
    QCOMPARE(Main().RideRequests(), 1);
    QCOMPARE(captionWhileRiding, QStringLiteral("STOP"));
    QCOMPARE(start->text(), QStringLiteral("START"));
    QVERIFY(!start->isChecked());
    QVERIFY(!Main().App().racing);
    QVERIFY(carMoved);
  }

  void presetAndLayoutButtonsSetTheirValues() {
    Click("but_trefoil");
    QCOMPARE(C().Text("ed_braid"), std::string("AAA"));
    QCOMPARE(App().Seifert.text, std::string("AAA"));
    QCOMPARE(App().Seifert.nCross, 3);

    auto invariants = [this] {
      return Main().findChild<QLabel*>(QStringLiteral("lb_invariants"))->text();
    };
    QVERIFY2(invariants().contains(QStringLiteral("t^-1 - 1 + t")), qPrintable(invariants()));
    QVERIFY(invariants().contains(QStringLiteral("signature 2")));  // the left-handed trefoil
    QVERIFY2(invariants().endsWith(QStringLiteral("\nboundary: 3_1 (mirror image)")), qPrintable(invariants()));
    QVERIFY2(Main().CountsText().endsWith(QStringLiteral("; boundary: 3_1 (mirror image)")),
             qPrintable(Main().CountsText()));

    Click("but_figure8");
    QCOMPARE(App().Seifert.text, std::string("AbAb"));
    QVERIFY2(invariants().contains(QStringLiteral("-t^-1 + 3 - t")), qPrintable(invariants()));
    // "Show loops": one chain per loop on the current mesh, rebuilt by each recompute.
    auto* showLoops = Main().findChild<QCheckBox*>(QStringLiteral("cb_showloops"));
    showLoops->setChecked(true);
    QCOMPARE(App().loopPaths.size(), 2u);
    // Loops are traced on the stacked and Diagram lay-outs; elsewhere the box says so.
    C().As<QRadioButton>("rb_flat")->click();  // on a page not on view
    QVERIFY(App().loopPaths.empty());
    QVERIFY(!showLoops->isEnabled());
    QVERIFY(showLoops->text().contains(QStringLiteral("(stacked, Diagram)")));
    // The Diagram lay-out: the invariants and loops of the diagram's own surface.
    C().As<QRadioButton>("rb_diagram")->click();
    QVERIFY(showLoops->isEnabled());
    QCOMPARE(App().loopPaths.size(), 2u);
    QVERIFY2(invariants().contains(QStringLiteral("(diagram surface)")), qPrintable(invariants()));
    QVERIFY(invariants().contains(QStringLiteral("-t^-1 + 3 - t")));
    C().As<QRadioButton>("rb_stacked")->click();
    QVERIFY2(invariants().contains(QStringLiteral("(braid surface)")), qPrintable(invariants()));
    QVERIFY(showLoops->isEnabled());
    QCOMPARE(showLoops->text(), QStringLiteral("Show loops"));
    QCOMPARE(App().loopPaths.size(), 2u);
    Click("but_trefoil");
    QCOMPARE(App().loopPaths.size(), 2u);
    QVERIFY(!App().loopPaths[0].empty() && App().loopPaths[0][0] < App().Seifert.mesh.nVerts);
    Click("but_figure8");
    Click("but_balls_stacked");
    QCOMPARE(C().Position("tb_sphere"), 10);
    QCOMPARE(C().As<QSpinBox>("ud_height")->value(), 60);
    QCOMPARE(C().As<QSpinBox>("ud_diay")->value(), 20);
    QCOMPARE(C().As<QSpinBox>("ud_distance")->value(), 25);
    QCOMPARE(App().Settings.diskHeight, 0.6);  // and the last recompute used them
  }

  void enterInTheBraidFieldRunsReset() {
    C().SetPosition("ud_height", 50);  // a hand-made change, undone by the new knot
    App().smoothed = true;
    TypeInto(C().As<QLineEdit>("ed_braid"), QStringLiteral("AAAAA"));
    QCOMPARE(App().Seifert.text, std::string("AbAb"));  // typing alone changes nothing
    Enter("ed_braid");
    QCOMPARE(App().Seifert.text, std::string("AAAAA"));
    QCOMPARE(App().Seifert.nCross, 5);
    QCOMPARE(C().Position("ud_height"), 2);
    QVERIFY(!App().smoothed);

    // A surface without a Seifert form is built and shown; the box says why it has no values.
    TypeInto(C().As<QLineEdit>("ed_braid"), QStringLiteral("AbA2"));
    Enter("ed_braid");
    QCOMPARE(App().Seifert.nCross, 3);
    const QString text = Main().findChild<QLabel*>(QStringLiteral("lb_invariants"))->text();
    QVERIFY2(text.contains(QStringLiteral("not orientable")), qPrintable(text));
  }

  void modelErrorsShowAMessageAndTheProgramGoesOn() {
    TMessageBoxCloser closer;
    // 51 crossings on one generator: the first disk would need 51 band ends.
    TypeInto(C().As<QLineEdit>("ed_braid"), QString(51, QLatin1Char('A')));
    Enter("ed_braid");
    QCOMPARE(closer.Answered(), 1);
    QVERIFY2(closer.LastText().contains(QStringLiteral("50 band ends")),
             qPrintable(closer.LastText()));
    QVERIFY(!App().recomputeSuspended);

    // The controls still work.
    const int recomputes = App().recomputeCount;
    const int64_t frames = Main().GLPanel1()->FramesDrawn();
    Click("but_trefoil");
    QCOMPARE(App().Seifert.text, std::string("AAA"));
    QVERIFY(App().recomputeCount > recomputes);
    QTRY_VERIFY(Main().GLPanel1()->FramesDrawn() > frames);
    QCOMPARE(closer.Answered(), 1);
  }

  void windowSizeFieldsResizeTheWindow() {
    const QSize window = Main().size();
    {
      TMessageBoxCloser closer;
      TypeInto(C().As<QLineEdit>("ed_winw"), QStringLiteral("wide"));
      Enter("ed_winw");
      QCOMPARE(closer.Answered(), 1);
      QVERIFY(closer.LastText().contains(QStringLiteral("'wide' is not a valid integer value")));
      TypeInto(C().As<QLineEdit>("ed_winw"), QStringLiteral("0"));
      Enter("ed_winh");
      QCOMPARE(closer.Answered(), 2);
      QCOMPARE(Main().size(), window);
    }
    // (Not below the window's smallest size, whose bottom bar shows all its controls.)
    TypeInto(C().As<QLineEdit>("ed_winw"), QStringLiteral("500"));
    TypeInto(C().As<QLineEdit>("ed_winh"), QStringLiteral("300"));
    Enter("ed_winh");
    QTRY_COMPARE(Panel()->size(), QSize(500, 300));
    QCOMPARE(C().Text("ed_winw"), std::string("500"));

    // The labels beside "Scale" and "Anti-alias" follow the panel and their fields.
    QCOMPARE(C().Text("lab_imgscale"), std::string("500 x 300"));
    QCOMPARE(C().Text("lab_aa"), std::string("25 samples"));
    C().SetPosition("ud_imgscale", 3);
    QCOMPARE(C().Text("lab_imgscale"), std::string("1500 x 900"));
    C().SetPosition("ud_antialias", 1);
    QCOMPARE(C().Text("lab_aa"), std::string(""));
    C().SetPosition("ud_antialias", 2);
    QCOMPARE(C().Text("lab_aa"), std::string("4 samples"));
  }

  void mouseDragTurnsTheView() {
    TGLPanel* panel = Main().GLPanel1();
    const TView before = App().View;
    const int recomputes = App().recomputeCount;
    const int64_t frames = panel->FramesDrawn();
    QTest::mousePress(panel, Qt::LeftButton, {}, QPoint(100, 100));
    QTest::mouseMove(panel, QPoint(130, 90));
    QTest::mouseRelease(panel, Qt::LeftButton, {}, QPoint(130, 90));
    // One degree per pixel: right turns the yaw down, up turns the pitch up.
    QCOMPARE(App().View.Yaw, before.Yaw - 30);
    QCOMPARE(App().View.Pitch, before.Pitch + 10);
    QCOMPARE(App().View.DragMode, uint8_t(0));
    QTRY_VERIFY(panel->FramesDrawn() > frames);
    QCOMPARE(App().recomputeCount, recomputes);  // only the camera moved
  }

  void colourSwatchesAskForAColour() {
    const int recomputes = App().recomputeCount;
    {
      TDialogAnswerer<QColorDialog> cancel([](QColorDialog* dialog) { dialog->reject(); });
      Click("sh_col1");
      QCOMPARE(cancel.Answered(), 1);
    }
    QCOMPARE(C().Color("sh_col1"), Rgb(240, 200, 150));
    QCOMPARE(App().recomputeCount, recomputes);
    {
      TDialogAnswerer<QColorDialog> choose([](QColorDialog* dialog) {
        dialog->setCurrentColor(QColor(10, 20, 30));
        dialog->accept();
      });
      Click("sh_col1");
      QCOMPARE(choose.Answered(), 1);
    }
    QCOMPARE(C().Color("sh_col1"), Rgb(10, 20, 30));
    QCOMPARE(App().Settings.colors[0], Rgb(10, 20, 30));  // a surface colour recomputes
    QCOMPARE(App().recomputeCount, recomputes + 1);

    // A background colour only redraws.
    const int64_t frames = Main().GLPanel1()->FramesDrawn();
    {
      TDialogAnswerer<QColorDialog> choose([](QColorDialog* dialog) {
        dialog->setCurrentColor(QColor(1, 2, 3));
        dialog->accept();
      });
      Click("sh_background");
    }
    QCOMPARE(C().Color("sh_background"), Rgb(1, 2, 3));
    QCOMPARE(App().recomputeCount, recomputes + 1);
    QVERIFY(Main().GLPanel1()->FramesDrawn() > frames);
  }

  void torusSwapAndFocalLengthNeedNoQuestions() {
    TMessageBoxCloser closer;
    Click("but_swap_torus");
    QCOMPARE(C().Position("ud_tbig"), 3);
    QCOMPARE(C().Position("ud_tsmall"), 2);
    Click("but_swap_torus");
    // Focal length: typing and Enter both redraw.
    const int64_t frames = Main().GLPanel1()->FramesDrawn();
    Enter("ud_foc_length");
    QTRY_VERIFY(Main().GLPanel1()->FramesDrawn() > frames);
    QCOMPARE(closer.Answered(), 0);
  }

  void smoothRunsInTheWindowAndResetLeavesIt() {
    C().SetPosition("ud_seniter", 30);
    const int64_t frames = Main().GLPanel1()->FramesDrawn();
    Click("but_sestart");
    // The run happened inside the click: the toggle is released and the model is smoothed;
    // its frames came at the display's pace, the last state among them.
    QVERIFY(App().smoothed);
    QVERIFY(!App().smoothingRunning);
    QVERIFY(!C().Checked("but_sestart"));
    QCOMPARE(C().Position("ud_subdiv"), 1);
    QTRY_VERIFY(Main().GLPanel1()->FramesDrawn() > frames);
    Click("Button5");
    QVERIFY(!App().smoothed);
    QCOMPARE(C().Position("ud_subdiv"), 2);  // the presets of a new knot again
  }

  // Every change of the view, with whatever else changed in the window meanwhile, is painted
  // once: requests before the paint make one frame, and other widgets' repaints none.
  void eachChangeOfTheViewPaintsItOnce() {
    TGLPanel* panel = Main().GLPanel1();
    QWidget* counts = Main().findChild<QWidget*>(QStringLiteral("lab_counts"));
    const auto settle = [] {
      for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
    };
    const std::pair<const char*, std::function<void()>> changes[] = {
        {"requests", [&] {
           panel->Redraw();
           counts->update();
           Main().Model().RequestRedraw();
         }},
        {"preset knot", [&] { Click("but_figure8"); }},
        {"subdivision", [&] { C().SetPosition("ud_ccsub", 1); }},
    };
    for (const auto& [what, change] : changes) {
      settle();
      const int64_t frames = panel->FramesDrawn();
      change();
      QTRY_VERIFY2(panel->FramesDrawn() > frames, what);
      settle();
      QVERIFY2(panel->FramesDrawn() == frames + 1, what);
    }
    settle();
    const int64_t frames = panel->FramesDrawn();
    counts->update();
    Main().findChild<QWidget*>(QStringLiteral("lb_invariants"))->update();
    settle();
    QCOMPARE(panel->FramesDrawn(), frames);
  }

  void advancedOptionsOpenAndOnlyHide() {
    QVERIFY(!d->advanced.isVisible());
    Click("but_advanced");
    QVERIFY(QTest::qWaitForWindowExposed(&d->advanced));
    // Esc in the advanced window reaches the main window's handler.
    QTest::keyClick(C().Widget("ud_roll"), Qt::Key_Escape);
    QVERIFY(Main().findChild<QWidget*>("panel_control")->isHidden());
    QTest::keyClick(C().Widget("ud_roll"), Qt::Key_Escape);
    QVERIFY(!Main().findChild<QWidget*>("panel_control")->isHidden());

    QPointer<QWidget> roll = C().Widget("ud_roll");
    d->advanced.close();
    QVERIFY(!d->advanced.isVisible());
    QVERIFY(roll);
    C().SetPosition("ud_roll", 45);
    Click("but_advanced");
    QVERIFY(d->advanced.isVisible());
    QCOMPARE(C().Position("ud_roll"), 45);
  }

  void closingClearsTheLoopFlags() {
    int quits = 0;
    Main().quitRequest = [&quits] { ++quits; };
    App().racing = true;
    App().smoothingRunning = true;
    App().smoothed = true;
    Click("but_advanced");
    Main().close();
    QVERIFY(App().exportCancel);
    QVERIFY(!App().racing && !App().smoothingRunning && !App().smoothed);
    QCOMPARE(quits, 1);
    QVERIFY(!d->advanced.isVisible());
  }

  void closingDuringSmoothingEndsTheRun() {
    int quits = 0;
    Main().quitRequest = [&quits] { ++quits; };
    C().SetPosition("ud_seniter", 30000);
    // The window is closed from inside the run, while it lets events through.
    int iterations = 0;
    const auto pump = Main().Model().processEvents;
    Main().Model().processEvents = [&] {
      if (++iterations == 5) Main().close();
      pump();
    };
    Click("but_sestart");
    Main().Model().processEvents = pump;
    QCOMPARE(iterations, 5);
    QVERIFY(!App().smoothingRunning);
    QVERIFY(!App().smoothed);
    QCOMPARE(quits, 1);
    QVERIFY(!C().Checked("but_sestart"));
  }
};

QTEST_MAIN(TestMainWindow)
#include "mainWindow_guitest.moc"
