// Start-up: the splash first, the main window after its click, the controls at the values of
// the start-up steps, the windows and pages where they belong, and a drawing panel that
// draws when asked.

#include <QCheckBox>
#include <QSpinBox>
#include <QTabWidget>
#include <QtTest>

#include <algorithm>
#include <memory>

#include "app/ui/controlWidgets.h"
#include "app/ui/pictures.h"
#include "core/settings.h"
#include "guiHelpers.h"

namespace {

// Pixels that are clearly neither grey nor the splash's blue-grey: the warm surface colours.
int WarmPixels(const QImage& image, const QRect& area) {
  int n = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x) {
      const QColor c = image.pixelColor(x, y);
      if (c.red() > c.blue() + 40) ++n;
    }
  return n;
}

}  // namespace

class TestStartUp : public QObject {
  Q_OBJECT

 private slots:
  void splashFirstThenTheMainWindow() {
    TDesktop d;
    d.Show();
    QVERIFY(QTest::qWaitForWindowExposed(&d.splash));
    QVERIFY(!d.main.isVisible());
    QVERIFY(!d.advanced.isVisible());
    QTest::mouseClick(d.splash.Picture(), Qt::RightButton);  // only a left click counts
    QVERIFY(d.splash.isVisible());
    QTest::mouseClick(d.splash.Picture(), Qt::LeftButton);
    QVERIFY(!d.splash.isVisible());
    QVERIFY(d.main.isVisible());
    QVERIFY(QTest::qWaitForWindowExposed(&d.main));
    QVERIFY(!d.advanced.isVisible());
  }

  void controlsHoldTheStartUpValues() {
    TDesktop d;
    TQtControlPanel& c = d.main.Controls();
    // "Disks 1" with no sender on "AbAb": stacked, sliders at 0, 1, 0.
    QCOMPARE(c.Position("ud_diameter"), 60);
    QCOMPARE(c.Position("ud_height"), 2);
    QCOMPARE(c.Position("ud_diax"), 20);
    QCOMPARE(c.Position("ud_diay"), 2);
    QCOMPARE(c.Position("ud_distance"), 83);
    QCOMPARE(c.Position("ud_subdiv"), 2);
    QCOMPARE(c.Position("ud_ccsub"), 0);
    QCOMPARE(c.Position("ud_presmooth"), 0);
    // The widgets show it, not only the panel's reading of them.
    QCOMPARE(c.As<QSpinBox>("ud_distance")->text(), QStringLiteral("83"));
    QVERIFY(c.As<QCheckBox>("cbsmooth")->isChecked());  // unchecked in the window definition
    QCOMPARE(c.As<TColorSwatch>("sh_col1")->Color(), Rgb(240, 200, 150));
    QCOMPARE(c.As<TColorSwatch>("sh_col12")->Color(), Rgb(200, 200, 200));
    const TAppState& app = d.main.App();
    QCOMPARE(app.Seifert.text, std::string("AbAb"));
    QCOMPARE(app.Seifert.nCross, 4);
    QVERIFY(!app.recomputeSuspended);
    QVERIFY(app.Settings.smoothShading);
  }

  void windowsAndPagesAreWhereTheyBelong() {
    TDesktop d;
    QCOMPARE(d.main.windowTitle(), QStringLiteral("Ostrel - Veltrane"));
    QCOMPARE(d.main.size(), QSize(793, 610));
    QCOMPARE(d.splash.size(), QSize(400, 300));
    QCOMPARE(d.splash.pos(), QPoint(179, 135));
    QVERIFY(d.splash.windowFlags() & Qt::FramelessWindowHint);
    QVERIFY(d.splash.windowFlags() & Qt::WindowStaysOnTopHint);
    QCOMPARE(d.advanced.size(), QSize(240, 576));
    QCOMPARE(d.advanced.windowTitle(), QStringLiteral("Advanced options"));
    QVERIFY(d.advanced.windowFlags() & Qt::WindowStaysOnTopHint);
    QCOMPARE(d.advanced.windowType(), Qt::Tool);

    auto* pages = d.main.findChild<QTabWidget*>("PageControl1");
    QVERIFY(pages);
    const QStringList expected = {"Main", "Display", "Shape", "Mesh", "Misc.", "Shape"};
    QCOMPARE(pages->count(), int(expected.size()));
    for (int i = 0; i < pages->count(); ++i) {
      QCOMPARE(pages->tabText(i), expected[i]);
      QCOMPARE(pages->isTabVisible(i), i < 5);  // the second "Shape" has no tab
    }
    QCOMPARE(pages->currentIndex(), 0);
    QCOMPARE(d.main.findChild<QWidget*>("panel_control")->width(), 241);
    QCOMPARE(d.main.findChild<QWidget*>("panel_message")->height(), 38);

    // The advanced controls live on their own window; hidden ones exist but stay hidden.
    TQtControlPanel& c = d.main.Controls();
    QCOMPARE(c.Widget("ud_blur")->window(), static_cast<QWidget*>(&d.advanced));
    QCOMPARE(c.Widget("ud_height")->window(), static_cast<QWidget*>(&d.main));
    for (const char* name : {"rb_flatdt", "Button2", "ud_r1", "cb_dir_light", "rail_image"})
      QVERIFY2(c.Widget(name)->isHidden(), name);
    QVERIFY(d.main.findChild<QWidget*>("group_Obsolete")->isHidden());
    QVERIFY(!d.main.findChild<QWidget*>("unplaced_controls"));
    QCOMPARE(c.As<TPicture>("rail_image")->Image().size(), QSize(64, 64));
    QCOMPARE(c.As<TPicture>("sky_image")->Image().size(), QSize(512, 256));
  }

  void drawingPanelDrawsWhenAsked() {
    const auto d = OpenDesktop();
    QVERIFY(d);
    TGLPanel* panel = d->main.GLPanel1();
    QVERIFY(panel);
    QTRY_VERIFY(panel->Active());
    TAppState& app = d->main.App();

    // Redraw asks for a frame, painted at the event loop's next pass.
    const int64_t before = panel->FramesDrawn();
    panel->Redraw();
    QTRY_COMPARE(panel->FramesDrawn(), before + 1);
    // A redraw request rebuilds the scene in its frame; a suspended one waits.
    const int64_t drawn = panel->FramesDrawn();
    d->main.Model().RequestRedraw();
    QTRY_COMPARE(panel->FramesDrawn(), drawn + 1);
    QVERIFY(!app.redrawDirty);
    app.recomputeSuspended = true;
    d->main.Model().RequestRedraw();
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
    QCOMPARE(panel->FramesDrawn(), drawn + 1);
    QVERIFY(app.redrawDirty);
    app.recomputeSuspended = false;

    // The surface is on the screen: warm surface colours over the silver background.
    const QImage frame = panel->grabFramebuffer();
    QVERIFY(!frame.isNull());
    const QRect middle(frame.width() / 4, frame.height() / 4, frame.width() / 2,
                       frame.height() / 2);
    QVERIFY(WarmPixels(frame, middle) > middle.width() * middle.height() / 50);
  }

  void splashPictureShowsTheStartSurface() {
    const QImage picture = MakeStartSplashPicture();
    QCOMPARE(picture.size(), QSize(400, 300));
    // The surface sits above the name and covers a good part of it.
    QVERIFY(WarmPixels(picture, QRect(0, 0, 400, 220)) > 400 * 220 / 20);
  }
};

QTEST_MAIN(TestStartUp)
#include "startUp_guitest.moc"
