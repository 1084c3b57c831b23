// "Save image", "Copy image" and "Export mesh..." in the window: what the command line renders
// and writes, the caption while an export runs, a second click that cancels, and a mesh file
// that holds what is shown.

#include <QClipboard>
#include <QFileDialog>
#include <QScreen>
#include <QImage>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <QtTest>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "fileHelpers.h"
#include "guiHelpers.h"

class TestImageExport : public QObject, protected TDesktopUnderTest {
  Q_OBJECT

 private:
  QPushButton* Button(const char* name) { return C().As<QPushButton>(name); }

  // Answers the save dialog with `path` and filter number `filter` (JPEG, bitmap, PNG).
  void AnswerSaveWith(const QString& path, int filter) {
    Main().askSaveFileName = [path, filter](const QString& filters, QString& chosen) {
      chosen = filters.split(QStringLiteral(";;")).at(filter);
      return path;
    };
  }

 private slots:
  void init() {
    QVERIFY(Open());
    Main().Model().askYesCancel = [](const std::string&) { return true; };
  }
  void cleanup() { d.reset(); }

  void savedImageEqualsTheCommandLinesRender() {
    TTempFolder folder;
    C().SetPosition("ud_imgscale", 2);
    AnswerSaveWith(QString::fromStdString(folder / "window"), 2);
    QTest::mouseClick(Button("but_save"), Qt::LeftButton);
    const QImage window(QString::fromStdString(folder / "window.png"));
    QVERIFY(!window.isNull());
    const int panelW = Main().GLPanel1()->PixelWidth(), panelH = Main().GLPanel1()->PixelHeight();
    QCOMPARE(window.size(), QSize(panelW / 4 * 4 * 2, panelH / 4 * 4 * 2));
    // Another reader takes the PNG as what it is.
    QProcess identify;
    identify.start(QStringLiteral("identify"),
                   {"-format", "%m %w %h", QString::fromStdString(folder / "window.png")});
    QVERIFY(identify.waitForFinished(60000));
    QCOMPARE(QString::fromUtf8(identify.readAllStandardOutput()),
             QStringLiteral("PNG %1 %2").arg(window.width()).arg(window.height()));
    QCOMPARE(Button("but_save")->text(), QStringLiteral("Save image"));

    QProcess cli;
    cli.start(QStringLiteral(VELTRANE_CLI),
              {"render", "--width", QString::number(panelW), "--height", QString::number(panelH),
               "--scale", "2", "-o", QString::fromStdString(folder / "cli.png")});
    QVERIFY(cli.waitForFinished(120000));
    QCOMPARE(cli.exitCode(), 0);
    const QImage headless(QString::fromStdString(folder / "cli.png"));
    QCOMPARE(headless.size(), window.size());
    int worst = 0;
    for (int y = 0; y < window.height(); ++y)
      for (int x = 0; x < window.width(); ++x) {
        const QRgb a = window.pixel(x, y), b = headless.pixel(x, y);
        worst = std::max({worst, std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                          std::abs(qBlue(a) - qBlue(b))});
      }
    QVERIFY2(worst <= 1, qPrintable(QStringLiteral("differs by %1 levels").arg(worst)));

    // "Copy image" puts the same size on the clipboard.
    QTest::mouseClick(Button("but_copy"), Qt::LeftButton);
    QCOMPARE(QApplication::clipboard()->image().size(), window.size());
  }

  // An export during the ride holds the car ("Pause" down) and lets it go afterwards; a tiled
  // one draws every tile from the same car and camera, so the picture has no seams.
  void anExportDuringTheRidePausesIt() {
    C().SetPosition("ud_imgscale", 2);
    QPushButton* start = Button("but_start_race");
    bool pausedWhileExporting = false, pausedAfter = true, ridingAfter = false;
    bool carHeld = false;
    QTimer::singleShot(300, [&] {
      // Runs inside the ride's loop; the export pumps messages every sixth rendering.
      const TRideState before = Main().App().ride;
      QTimer::singleShot(0, [&] {
        pausedWhileExporting = C().Checked("but_pause");
        const TRideState& now = Main().App().ride;
        carHeld = now.index == before.index && now.frac == before.frac &&
                  now.speed == before.speed && now.lastTick == before.lastTick;
      });
      QTest::mouseClick(Button("but_copy"), Qt::LeftButton);
      pausedAfter = C().Checked("but_pause");
      ridingAfter = Main().App().racing;
      start->click();
    });
    QTest::mouseClick(start, Qt::LeftButton);
    QVERIFY(carHeld);
    QVERIFY(pausedWhileExporting);
    QVERIFY(!pausedAfter);
    QVERIFY(ridingAfter);
    QVERIFY(!Main().App().racing);
    QVERIFY(!QApplication::clipboard()->image().isNull());
  }

  void secondClickCancelsAndLeavesTheOldFile() {
    TTempFolder folder;
    PutFile(folder / "old.bmp", "old");
    C().SetPosition("ud_antialias", 20);  // 400 renderings: long enough to click into
    AnswerSaveWith(QString::fromStdString(folder / "old.bmp"), 1);
    QString captionWhileBusy;
    QTimer::singleShot(50, this, [&] {
      captionWhileBusy = Button("but_save")->text();
      QTest::mouseClick(Button("but_save"), Qt::LeftButton);
    });
    QTest::mouseClick(Button("but_save"), Qt::LeftButton);
    QCOMPARE(captionWhileBusy, QStringLiteral("CANCEL"));
    QVERIFY(!Main().ExportBusy());
    QCOMPARE(Button("but_save")->text(), QStringLiteral("Save image"));
    QCOMPARE(ReadFile(folder / "old.bmp"), std::string("old"));
    QCOMPARE(Entries(folder.path), std::set<std::string>{"old.bmp"});
    QCOMPARE(Main().GLPanel1()->SwapBB, true);
  }

  // An export expected to take hours asks first; "No" renders nothing and writes nothing.
  void aLongExportAsksFirst() {
    TTempFolder folder;
    C().SetPosition("ud_imgscale", 12);
    C().SetPosition("ud_antialias", 100);
    std::vector<std::string> asked;
    Main().Model().askYesNo = [&](const std::string& question) {
      asked.push_back(question);
      return false;
    };
    AnswerSaveWith(QString::fromStdString(folder / "long.png"), 2);
    const int64_t frames = Main().GLPanel1()->FramesDrawn();
    QTest::mouseClick(Button("but_save"), Qt::LeftButton);
    QCOMPARE(asked.size(), size_t{1});
    QVERIFY2(asked[0].starts_with("This will take about ") && asked[0].ends_with(" Go on?"),
             asked[0].c_str());
    QCOMPARE(Entries(folder.path), std::set<std::string>{});
    QVERIFY(Main().GLPanel1()->FramesDrawn() - frames < 2);
    QVERIFY(!Main().ExportBusy());
  }

  // The window and the command line write the same file from the same state; a name typed
  // without an extension gets the filter's; a "Show" box that is off leaves its faces out; a
  // folder that is not there is a message, and the window goes on.
  void exportedMeshIsWhatIsShown() {
    TTempFolder folder;
    C().SetChecked("cb_shmat2", false);  // side 1 off
    QVERIFY(!C().Checked("cb_shmat2"));
    AnswerSaveWith(QString::fromStdString(folder / "window"), 1);  // glTF
    QTest::mouseClick(Button("but_export_mesh"), Qt::LeftButton);
    const std::string window = ReadFile(folder / "window.glb");
    QVERIFY(!window.empty());
    QVERIFY(Main().StatusText().contains(QStringLiteral("window.glb")));

    QProcess cli;
    cli.start(QStringLiteral(VELTRANE_CLI),
              {"mesh", "--set", "cb_shmat2=0", "-o", QString::fromStdString(folder / "cli.glb")});
    QVERIFY(cli.waitForFinished(120000));
    QCOMPARE(cli.exitCode(), 0);
    QVERIFY(ReadFile(folder / "cli.glb") == window);
    QProcess reader;
    reader.start(QStringLiteral("assimp"),
                 {"info", QString::fromStdString(folder / "window.glb"), "-r"});
    QVERIFY(reader.waitForFinished(60000));
    const QString text = QString::fromUtf8(reader.readAllStandardOutput());
    // Side 1 off leaves side 0 open: both of its colours, as two sheets, and none of side 1.
    QVERIFY2(text.contains(QStringLiteral("'kind0 front'")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("'kind0 back'")), qPrintable(text));
    QVERIFY2(!text.contains(QStringLiteral("'kind1 ")), qPrintable(text));

    TMessageBoxCloser closer;
    AnswerSaveWith(QString::fromStdString(folder / "missing/knot.stl"), 0);
    QTest::mouseClick(Button("but_export_mesh"), Qt::LeftButton);
    QTRY_COMPARE(closer.Answered(), 1);
    QVERIFY2(closer.LastText().contains(QStringLiteral("cannot write"), Qt::CaseInsensitive),
             qPrintable(closer.LastText()));
    QVERIFY(Main().isVisible());
  }

  // A surface that passes through itself is written all the same, and the status line says
  // where a print of it would fail. One face is stretched across the whole model to make it so.
  void exportOfAnIntersectingSurfaceWarns() {
    TTempFolder folder;
    TMesh& mesh = App().Seifert.mesh;
    Vec3 lo = mesh.verts[0].pos, hi = lo;
    for (int32_t v = 0; v < mesh.nVerts; ++v) {
      const Vec3& p = mesh.verts[v].pos;
      lo = Vec3(std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z));
      hi = Vec3(std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z));
    }
    const float x = (lo.x + hi.x) / 2;
    const Vec3 across[4] = {{x, lo.y - 1, lo.z - 1}, {x, hi.y + 1, lo.z - 1},
                            {x, hi.y + 1, hi.z + 1}, {x, lo.y - 1, hi.z + 1}};
    for (int k = 0; k < 4; ++k) mesh.verts[mesh.faces[0].v[k]].pos = across[k];
    AnswerSaveWith(QString::fromStdString(folder / "crossed.stl"), 0);
    QTest::mouseClick(Button("but_export_mesh"), Qt::LeftButton);
    QVERIFY(!ReadFile(folder / "crossed.stl").empty());
    QVERIFY2(QRegularExpression(QStringLiteral("the surface intersects itself in [0-9]+ places?; "
                                               "a print of it will fail"))
                 .match(Main().StatusText())
                 .hasMatch(),
             qPrintable(Main().StatusText()));
  }

  // The mesh is written while the window waits: the view the file dialog covered is drawn
  // again before the write, not after it.
  void viewShowsWhileTheMeshIsWritten() {
    TTempFolder folder;
    const QImage before = PanelOnScreen();
    TDialogAnswerer<QFileDialog> answerer([&](QFileDialog* dialog) {
      dialog->selectFile(QString::fromStdString(folder / "shown.stl"));
      static_cast<QDialog*>(dialog)->accept();  // public there
    });
    QTest::mouseClick(Button("but_export_mesh"), Qt::LeftButton);
    QCOMPARE(answerer.Answered(), 1);
    QVERIFY(!ReadFile(folder / "shown.stl").empty());
    // No event has been handled since the write: what the screen shows was drawn before it.
    QCOMPARE(PanelOnScreen(), before);
  }

 private:
  QImage PanelOnScreen() {
    TGLPanel* panel = Main().GLPanel1();
    const QPoint at = panel->mapToGlobal(QPoint(0, 0));
    return QGuiApplication::primaryScreen()
        ->grabWindow(0, at.x(), at.y(), panel->width(), panel->height())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
  }
};

QTEST_MAIN(TestImageExport)
#include "imageExport_guitest.moc"
