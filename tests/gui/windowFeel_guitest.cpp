// The window as a user meets it: "Fit view", the wheel, the smallest window, the busy state of
// a long build, the knot-table box after a typed word, the marked braid field and "About".

#include <QAbstractItemView>
#include <QAbstractScrollArea>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QWheelEvent>
#include <QtTest>

#include <array>
#include <cmath>
#include <memory>
#include <string>

#include "app/model/surfaceSummary.h"
#include "app/ui/elidedLabel.h"
#include "app/ui/knotFinder.h"
#include "guiHelpers.h"

namespace {

// Where GL put a world point in the last frame: the matrices and viewport it read back.
// Pixels, x right, y down from the panel's top.
std::array<double, 2> Projected(const TView& v, const Vec3& p) {
  std::array<double, 4> eye{}, clip{};
  const std::array<double, 4> in{p.x, p.y, p.z, 1};
  for (int r = 0; r < 4; ++r)
    for (int k = 0; k < 4; ++k) eye[r] += v.ModelView[k * 4 + r] * in[k];
  for (int r = 0; r < 4; ++r)
    for (int k = 0; k < 4; ++k) clip[r] += v.Projection[k * 4 + r] * eye[k];
  const double x = (clip[0] / clip[3] + 1) / 2 * v.Viewport[2];
  const double y = (1 - clip[1] / clip[3]) / 2 * v.Viewport[3];
  return {x, y};
}

// Screenshots for people, written only when asked for.
void Shot(QWidget* w, const char* name) {
  const QByteArray dir = qgetenv("VELTRANE_SHOTS");
  if (!dir.isEmpty()) w->grab().save(QString::fromUtf8(dir) + "/" + name);
}

// The part of a frame that is not background: the box around every pixel that differs from
// its row's first pixel (the background is a vertical ramp, and a fitted model keeps clear of
// the panel's edges), and how many pixels differ.
struct TCover {
  QRect box;
  int64_t pixels = 0;
};
TCover Covered(const QImage& frame) {
  TCover c;
  for (int y = 0; y < frame.height(); ++y) {
    const QRgb edge = frame.pixel(0, y);
    for (int x = 1; x < frame.width(); ++x) {
      const QRgb p = frame.pixel(x, y);
      if (std::abs(qRed(p) - qRed(edge)) + std::abs(qGreen(p) - qGreen(edge)) +
              std::abs(qBlue(p) - qBlue(edge)) <= 24)
        continue;
      ++c.pixels;
      c.box |= QRect(x, y, 1, 1);
    }
  }
  return c;
}

}  // namespace

class TestWindowFeel : public QObject, protected TDesktopUnderTest {
  Q_OBJECT

 private:

  int Row(const std::string& name) {
    const auto& entries = App().KnotTable.entries;
    for (size_t i = 0; i < entries.size(); ++i)
      if (entries[i].rfind(name, 0) == 0) return static_cast<int>(i) + 1;
    return 0;
  }
  void Wheel(QWidget* w, QPoint at, int delta) {
    QWheelEvent e(at, w->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                  Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &e);
  }

 private slots:
  void init() { QVERIFY(Open()); }
  void cleanup() { d.reset(); }

  // A lay-out in a plane is seen from above at an angle as soon as it is chosen, not edge-on:
  // it covers a good part of the panel. The View menu turns the camera, and "Fit view" there
  // turns a flat lay-out seen edge-on back to the oblique view.
  void flatLayoutCoversThePanelWhenChosen() {
    TGLPanel* panel = Main().GLPanel1();
    const auto covers = [&](const char* what) {
      const QImage frame = panel->grabFramebuffer();
      const TCover c = Covered(frame);
      const QString why = QStringLiteral("%1: %2 x %3 of %4 x %5, %6 pixels")
                              .arg(what).arg(c.box.width()).arg(c.box.height())
                              .arg(frame.width()).arg(frame.height()).arg(c.pixels);
      const double across = double(c.box.width()) / frame.width(),
                   upwards = double(c.box.height()) / frame.height();
      QVERIFY2(std::max(across, upwards) > 0.5 && std::min(across, upwards) > 0.2 &&
                   c.pixels > int64_t{frame.width()} * frame.height() / 40,
               qPrintable(why));
    };
    for (const char* radio : {"rb_flat", "rb_flat2", "rb_diagram"}) {
      Click("rb_stacked");
      Click(radio);
      covers(radio);
    }
    Shot(&Main(), "diagram_layout_chosen.png");
    // The Diagram lay-out stacks nested circles; the flat lay-out lies in one plane.
    C().SetChecked("rb_flat", true);
    QCOMPARE(App().Settings.layout, kLayoutFlat);
    auto* viewMenu = Main().findChild<QMenu*>(QStringLiteral("menu_view"));
    QVERIFY(viewMenu);
    auto action = [&](const char* name) {
      auto* a = Main().findChild<QAction*>(QString::fromLatin1(name));
      QVERIFY2(a && viewMenu->actions().contains(a), name);
      a->trigger();
    };
    action("act_view_top");
    QCOMPARE(App().View.Pitch, StandardViewAngles(TStandardView::kTop).pitch);
    covers("top");
    action("act_view_front");  // edge-on: a line
    QVERIFY2(Covered(panel->grabFramebuffer()).box.height() < panel->grabFramebuffer().height() / 8,
             qPrintable(QStringLiteral("%1 of %2, lay-out %3").arg(Covered(panel->grabFramebuffer()).box.height())
                            .arg(panel->grabFramebuffer().height()).arg(App().Settings.layout)));
    action("act_fit_view");
    QCOMPARE(App().View.Yaw, StandardViewAngles(TStandardView::kOblique).yaw);
    covers("fitted");
  }

  // The whole box of a 10-crossing knot lies inside the panel after "Fit view", seen at an
  // angle, in perspective and parallel projection, and fills it; the wheel zooms; F on the
  // view fits again, while f in a text field only types.
  void fitViewFramesTheWholeKnot() {
    TGLPanel* panel = Main().GLPanel1();
    const int row = Row("10_165");
    QVERIFY(row > 0);
    Main().Model().ChooseKnot(row);
    const TBox box = MeshBox(App().Seifert.mesh);
    QVERIFY(!box.empty);
    for (const bool iso : {false, true}) {
      C().SetChecked("cb_iso", iso);
      App().View.Yaw = 35;
      App().View.Pitch = -25;
      // The frames asked for so far are painted first: the one checked is the fit's.
      for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
      const int64_t frames = panel->FramesDrawn();
      Click("but_fitview");
      QTRY_VERIFY(panel->FramesDrawn() > frames);
      const TView& v = App().View;  // read back by the frame just drawn
      QCOMPARE(v.Viewport[2], panel->PixelWidth());
      double reach = 0;
      for (int i = 0; i < 8; ++i) {
        const Vec3 c(i & 1 ? box.hi.x : box.lo.x, i & 2 ? box.hi.y : box.lo.y,
                     i & 4 ? box.hi.z : box.lo.z);
        const auto [x, y] = Projected(v, c);
        QVERIFY2(x >= 0 && x <= v.Viewport[2] && y >= 0 && y <= v.Viewport[3],
                 qPrintable(QStringLiteral("corner %1 at %2, %3 (iso %4)").arg(i).arg(x).arg(y)
                                .arg(iso)));
        reach = std::max({reach, std::fabs(2 * x / v.Viewport[2] - 1),
                          std::fabs(2 * y / v.Viewport[3] - 1)});
      }
      QVERIFY2(reach > 0.75, qPrintable(QString::number(reach)));
      if (!iso) Shot(&Main(), "10_165_fit_view.png");
    }
    C().SetChecked("cb_iso", false);
    Click("but_fitview");
    const double fitted = App().View.Size;

    // The wheel: a notch away zooms in as a drag of a twentieth of the height down does.
    const int64_t frames = panel->FramesDrawn();
    Wheel(panel, QPoint(panel->width() / 3, panel->height() / 3), 120);
    QVERIFY(std::fabs(App().View.Size - 0.9 * fitted) < 1e-9 * fitted);
    QTRY_VERIFY(panel->FramesDrawn() > frames);
    Wheel(panel, QPoint(10, 10), -240);
    QVERIFY(std::fabs(App().View.Size - 0.9 * 1.2 * fitted) < 1e-9 * fitted);

    // A click gives the view the keyboard; F fits again.
    Main().activateWindow();
    QTest::mouseClick(panel, Qt::LeftButton, {}, QPoint(20, 20));
    QTRY_VERIFY(panel->hasFocus());
    QTest::keyClick(panel, Qt::Key_F);
    QVERIFY(std::fabs(App().View.Size - fitted) < 1e-6 * fitted);

    // In the braid field f is a letter.
    Wheel(panel, QPoint(10, 10), 120);
    const double zoomed = App().View.Size;
    auto* braid = C().As<QLineEdit>("ed_braid");
    braid->setFocus();
    braid->end(false);
    QTest::keyClick(braid, Qt::Key_F);
    QVERIFY(C().Text("ed_braid").back() == 'f');
    QCOMPARE(App().View.Size, zoomed);
  }

  // At the smallest size the bottom bar's controls show whole and side by side, the drawing
  // panel keeps an area, and a long note is shortened with the whole note as its tooltip.
  void smallestWindowKeepsTheBottomBarWhole() {
    Main().resize(1, 1);
    QTRY_COMPARE(Main().size(), Main().minimumSize());
    QVERIFY(Main().minimumWidth() > 241);
    QWidget* bar = Main().findChild<QWidget*>("panel_message");
    QVERIFY(bar && bar->isVisible());
    QList<QWidget*> parts;
    for (const char* name : {"lab_show", "cb_showsurfaces", "cb_showlinks", "cbshline",
                             "but_sestart", "Button6", "Button5", "but_fitview"})
      parts << C().Widget(name);
    for (int i = 0; i < parts.size(); ++i) {
      QWidget* w = parts[i];
      QVERIFY2(w->isVisible() && bar->rect().contains(w->geometry()), w->objectName().toUtf8());
      // Buttons may be narrower than their style's favourite width, never than their caption.
      auto* b = qobject_cast<QPushButton*>(w);
      QVERIFY2(b ? w->width() >= b->fontMetrics().horizontalAdvance(b->text()) + 8
                 : w->width() >= w->sizeHint().width(),
               w->objectName().toUtf8());
      for (int j = i + 1; j < parts.size(); ++j)
        QVERIFY2(!w->geometry().intersects(parts[j]->geometry()),
                 (w->objectName() + " " + parts[j]->objectName()).toUtf8());
    }
    QVERIFY(Main().DrawingPanel()->width() >= 160 && Main().DrawingPanel()->height() >= 120);

    const QString note = QStringLiteral(
        "Camera 1 is not available yet, and this note is much longer than the status line");
    Main().Model().showNote(note.toStdString());
    auto* status = Main().findChild<TElidedLabel*>("lab_status");
    QVERIFY(status);
    QCOMPARE(status->toolTip(), note);
    QVERIFY(status->shownText().endsWith(QChar(0x2026)));
    QVERIFY(!Main().CountsText().isEmpty());
    Shot(&Main(), "bottom_bar_min_size.png");
  }

  // A build expected to take longer than a moment shows the busy cursor and "Building mesh…"
  // while it runs, and takes both back; a quick one shows neither. A very large one asks.
  void longRecomputeShowsTheBusyCursor() {
    TMainWindowModel& m = Main().Model();
    const auto show = m.showBusy;
    int busyCalls = 0;
    bool cursorShown = false;
    QString said;
    m.showBusy = [&](bool on) {
      show(on);
      if (!on) return;
      ++busyCalls;
      const QCursor* cursor = QGuiApplication::overrideCursor();
      cursorShown = cursor && cursor->shape() == Qt::WaitCursor;
      said = Main().StatusText();
    };
    m.Recompute();
    QCOMPARE(busyCalls, 0);
    C().SetPosition("ud_ccsub", 4);  // its change recomputes
    QCOMPARE(busyCalls, 1);
    QVERIFY(cursorShown);
    QCOMPARE(said, QStringLiteral("Building mesh\u2026"));
    QVERIFY(QGuiApplication::overrideCursor() == nullptr);
    QVERIFY(Main().StatusText() != said);
    QVERIFY(Main().CountsText().startsWith(
        QString::number(App().Seifert.mesh.nVerts) + QStringLiteral(" vertices, ")));
    m.showBusy = show;

    // A mesh that would take more than a quarter of the memory is asked about first; "No"
    // keeps the mesh on view and is not an error.
    C().SetPosition("ud_ccsub", 0);
    const int32_t verts = App().Seifert.mesh.nVerts;
    m.memoryBytes = 8 * int64_t{verts} * kMeshBytesPerVertex;
    TDialogAnswerer<QMessageBox> no([](QMessageBox* box) { box->button(QMessageBox::No)->click(); });
    C().SetPosition("ud_ccsub", 2);
    QCOMPARE(no.Answered(), 1);
    QVERIFY2(no.LastText().startsWith(QStringLiteral("This mesh needs about ")) &&
                 no.LastText().endsWith(QStringLiteral(" MB. Build it?")),
             qPrintable(no.LastText()));
    QCOMPARE(App().Seifert.mesh.nVerts, verts);
  }

  // The Invariants box shows all of its text for every knot, however much it grows or shrinks
  // from one to the next: each label is as high as a plain label says its text needs.
  void invariantsBoxShowsAllOfItsText() {
    for (const char* knot : {"10_165", "3_1", "9_40", "0_1", "8_19"}) {
      const int row = Row(knot);
      if (row == 0) continue;
      Main().Model().ChooseKnot(row);
      for (const char* name : {"lb_invariants", "lb_loops"}) {
        auto* label = Main().findChild<QLabel*>(QString::fromLatin1(name));
        QVERIFY(label);
        QLabel plain;
        plain.setWordWrap(true);
        plain.setTextFormat(label->textFormat());
        plain.setFont(label->font());
        plain.setText(label->text());
        QTRY_VERIFY2(label->height() >= plain.heightForWidth(label->width()),
                     qPrintable(QStringLiteral("%1 for %2: %3 high, needs %4")
                                    .arg(name, knot)
                                    .arg(label->height())
                                    .arg(plain.heightForWidth(label->width()))));
      }
    }
  }

  // A typed word or a preset replaces the table knot: the box then shows no row. Its list is
  // as wide as its longest entry. A refused word marks the field until a good one is built.
  void knotTableBoxAndBraidFieldFollowTheWord() {
    auto* table = C().As<QComboBox>("cb_knottable");
    auto* braid = C().As<QLineEdit>("ed_braid");
    const int row = Row("10_165");
    Main().Model().ChooseKnot(row);
    QCOMPARE(table->currentIndex(), row - 1);
    TypeInto(braid, QStringLiteral("AAA"));
    QTest::keyClick(braid, Qt::Key_Return);
    QCOMPARE(table->currentIndex(), -1);
    QVERIFY(table->currentText().isEmpty());
    Main().Model().ChooseKnot(row);
    Click("but_figure8");
    QCOMPARE(table->currentIndex(), -1);
    int widest = 0;
    for (int i = 0; i < table->count(); ++i)
      widest = std::max(widest, table->fontMetrics().horizontalAdvance(table->itemText(i)));
    QVERIFY(table->view()->minimumWidth() >= widest);

    {
      TMessageBoxCloser closer;
      TypeInto(braid, QString(51, QLatin1Char('A')));
      QTest::keyClick(braid, Qt::Key_Return);
      QCOMPARE(closer.Answered(), 1);
      QVERIFY2(closer.LastText().startsWith(QStringLiteral("A disk holds")),
               qPrintable(closer.LastText()));
    }
    QVERIFY(!braid->styleSheet().isEmpty());
    QVERIFY(braid->toolTip().startsWith(QStringLiteral("A disk holds at most 50 band ends")));
    TypeInto(braid, QStringLiteral("AbAb"));
    QTest::keyClick(braid, Qt::Key_Return);
    QVERIFY(braid->styleSheet().isEmpty());
    QVERIFY(!braid->toolTip().contains(QStringLiteral("50 band ends")));

    // The code field under it: a code that does not read is marked and changes nothing; one
    // that reads shows its diagram's surface; a word entered afterwards clears it.
    auto* code = C().As<QLineEdit>("ed_code");
    const int32_t verts = App().Seifert.mesh.nVerts;
    {
      TMessageBoxCloser closer;
      TypeInto(code, QStringLiteral("4 6 8"));
      QTest::keyClick(code, Qt::Key_Return);
      QCOMPARE(closer.Answered(), 1);
      QVERIFY2(closer.LastText().contains(QStringLiteral("8 is too large for 3 crossings")),
               qPrintable(closer.LastText()));
    }
    QVERIFY(!code->styleSheet().isEmpty());
    QCOMPARE(App().Seifert.mesh.nVerts, verts);
    TypeInto(code, QStringLiteral("[4;6;2]"));
    QTest::keyClick(code, Qt::Key_Return);
    QVERIFY(code->styleSheet().isEmpty());
    QVERIFY(C().Checked("rb_diagram"));
    QCOMPARE(App().Seifert.nTubes, 3);
    // Its invariants are those of the surface drawn: KnotInfo's 3_1, the right-handed trefoil.
    const QString box = Main().findChild<QLabel*>(QStringLiteral("lb_invariants"))->text();
    QVERIFY2(box.contains(QStringLiteral("(diagram surface)")) &&
                 box.contains(QStringLiteral("signature -2")),
             qPrintable(box));
    QCOMPARE(braid->text(), QStringLiteral("AbAb"));
    QTest::keyClick(braid, Qt::Key_Return);
    QVERIFY(code->text().isEmpty());
    QCOMPARE(App().Seifert.nTubes, 4);
  }

  // Any knot of up to 12 crossings by name: a census knot shows its diagram's surface, its name
  // and genus; a table name chooses the row; a name that is no knot is refused and changes
  // nothing. The list filters all 2,977 knots.
  void knotFinderShowsEveryKnotByName() {
    auto* finder = Main().findChild<TKnotFinder*>(QStringLiteral("knotFinder"));
    QVERIFY(finder);
    auto* box = Main().findChild<QLabel*>(QStringLiteral("lb_invariants"));
    const auto find = [&](const QString& name) {
      TypeInto(finder->Field(), name);
      QTest::keyClick(finder->Field(), Qt::Key_Return);
    };
    find(QStringLiteral("11n_34"));
    QVERIFY(App().typedCode && App().typedCode->knot == "11n_34");
    QVERIFY(C().Checked("rb_diagram"));
    QVERIFY2(box->text().startsWith(QStringLiteral("11n_34, genus 0 to 3")), qPrintable(box->text()));
    QVERIFY2(Main().CountsText().contains(QStringLiteral("genus 3")), qPrintable(Main().CountsText()));
    find(QStringLiteral("12n_0293"));
    QVERIFY(App().typedCode && App().typedCode->knot == "12n_293");
    find(QStringLiteral("5_2"));
    QVERIFY(!App().typedCode);
    QCOMPARE(App().selectedKnotRow, Row("5_2"));
    const int32_t verts = App().Seifert.mesh.nVerts;
    {
      TMessageBoxCloser closer;
      find(QStringLiteral("13a_1"));
      QCOMPARE(closer.Answered(), 1);
      QVERIFY2(closer.LastText().contains(QStringLiteral("no knot of up to 12 crossings"), Qt::CaseInsensitive), qPrintable(closer.LastText()));
    }
    QVERIFY(!finder->Field()->styleSheet().isEmpty());
    QCOMPARE(App().Seifert.mesh.nVerts, verts);

    TKnotListDialog* list = finder->ListDialog();
    list->findChild<QComboBox*>(QStringLiteral("cb_listcrossings"))->setCurrentIndex(11 - 2);
    list->findChild<QComboBox*>(QStringLiteral("cb_listalternating"))->setCurrentIndex(2);
    QCOMPARE(list->findChild<QLabel*>(QStringLiteral("lb_knotcount"))->text(), QStringLiteral("185 knots"));
  }

  // The wheel over a drop-down box or a spin field that has no focus scrolls the page on and
  // leaves the control alone; a focused control takes it.
  void wheelScrollsThePageNotTheControlUnderIt() {
    Main().resize(Main().width(), Main().minimumHeight());
    auto* table = C().As<QComboBox>("cb_knottable");
    QWidget* spin = C().Widget("ud_ccsub");
    QAbstractScrollArea* page = nullptr;
    for (QWidget* up = table->parentWidget(); up && !page; up = up->parentWidget())
      page = qobject_cast<QAbstractScrollArea*>(up);
    QVERIFY(page);
    QTRY_VERIFY(page->verticalScrollBar()->maximum() > 0);
    const int row = Row("5_2");
    Main().Model().ChooseKnot(row);
    C().Widget("ed_braid")->setFocus();
    const int32_t subdivisions = C().Position("ud_ccsub");
    page->verticalScrollBar()->setValue(0);
    Wheel(table, QPoint(5, 5), -120);
    QVERIFY(page->verticalScrollBar()->value() > 0);
    Wheel(spin, QPoint(5, 5), 120);
    QCOMPARE(table->currentIndex(), row - 1);
    QCOMPARE(C().Position("ud_ccsub"), subdivisions);
    // Focus is given only in the active window; on a loaded machine the window may not be
    // active yet, so the test waits for both rather than assuming them.
    Main().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&Main()));
    table->setFocus();
    QTRY_VERIFY(table->hasFocus());
    Wheel(table, QPoint(5, 5), -120);
    QCOMPARE(table->currentIndex(), row);
  }

  // Fields with a cryptic caption explain themselves, on the field and on its caption.
  void crypticCaptionsHaveTooltips() {
    for (const char* name : {"ud_shift", "ud_tubecurve", "ud_taper", "ud_alpha", "ud_beta",
                             "ud_rscale", "ud_damp", "ud_presmooth", "ud_shininess",
                             "ed_braid"}) {
      QWidget* field = C().Widget(name);
      QVERIFY2(field && field->toolTip().size() > 20, name);
      bool captioned = false;
      for (QLabel* label : Main().findChildren<QLabel*>())
        if (label->buddy() == field) captioned = label->toolTip() == field->toolTip();
      QVERIFY2(captioned, name);
    }
    QVERIFY(C().Widget("ed_braid")->toolTip().contains(QStringLiteral("upper case = over")));
  }

  // Help, "About Veltrane": the version, what the program does, keys and mouse.
  void aboutBoxTellsVersionKeysAndMouse() {
    auto* menu = Main().findChild<QMenuBar*>("menu_bar");
    QVERIFY(menu && menu->isVisible());
    QString text;
    TDialogAnswerer<QMessageBox> answer([&](QMessageBox* box) {
      text = box->text();
      Shot(box, "about_box.png");
      box->accept();
    });
    Main().findChild<QAction*>("act_about")->trigger();
    QCOMPARE(answer.Answered(), 1);
    for (const char* part : {"Veltrane " VELTRANE_VERSION, "Seifert", "Wheel", "Esc", "Ctrl+C",
                             "F1", "Fit view"})
      QVERIFY2(text.contains(QLatin1String(part), Qt::CaseInsensitive), part);
  }
};

QTEST_MAIN(TestWindowFeel)
#include "windowFeel_guitest.moc"
