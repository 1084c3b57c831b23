// A long mesh build in the window: it runs beside the surface on view behind a progress box,
// the window goes on drawing, and Esc or "Cancel" keeps the mesh and the state it had.

#include <QProgressDialog>
#include <QPushButton>
#include <QtTest>

#include <functional>

#include "app/model/surfaceSummary.h"
#include "guiHelpers.h"

class TestLongBuild : public QObject, protected TDesktopUnderTest {
  Q_OBJECT

 private:
  // Starts the long build `build` twice and leaves each time by the box, by key and by button:
  // the mesh, the counts, the view and the status stay those of the surface on view.
  void CancelEachWay(const std::function<void()>& build) {
    const int32_t verts = App().Seifert.mesh.nVerts;
    const QString counts = Main().CountsText();
    const std::string summary = SurfaceSummary(App());
    const TView view = App().View;
    const int recomputes = App().recomputeCount;

    for (const bool byKey : {true, false}) {
      bool seen = false, drawn = false, meshKept = false;
      // Runs from inside the build's event handling, once the box is up.
      QMetaObject::invokeMethod(
          this,
          [&] {
            auto* box = qobject_cast<QProgressDialog*>(QApplication::activeModalWidget());
            seen = box && box->isVisible();
            meshKept = App().Seifert.mesh.nVerts == verts;
            const int64_t before = Main().GLPanel1()->FramesDrawn();
            Main().GLPanel1()->Redraw();
            QTRY_VERIFY(Main().GLPanel1()->FramesDrawn() > before);
            drawn = true;
            if (!box) return;
            if (byKey) {
              QTest::keyClick(box, Qt::Key_Escape);
            } else {
              auto* cancel = box->findChild<QPushButton*>();
              QVERIFY(cancel);
              QTest::mouseClick(cancel, Qt::LeftButton);
            }
          },
          Qt::QueuedConnection);
      build();
      QVERIFY(seen);
      QVERIFY(drawn);
      QVERIFY(meshKept);
      QCOMPARE(App().Seifert.mesh.nVerts, verts);
      QCOMPARE(Main().CountsText(), counts);
      QCOMPARE(SurfaceSummary(App()), summary);
      QCOMPARE(App().View.Centre, view.Centre);
      QVERIFY(Main().StatusText().contains(QStringLiteral("not built")));
      QVERIFY(QApplication::activeModalWidget() == nullptr);
      QVERIFY(QGuiApplication::overrideCursor() == nullptr);
    }
    QVERIFY(App().recomputeCount > recomputes);
  }

 private slots:
  void init() {
    QVERIFY(Open());
    // The question before a build this long is answered Yes.
    Main().Model().askYesNo = [](const std::string&) { return true; };
  }
  void cleanup() { d.reset(); }

  void cancelKeepsTheMeshOnViewAndTheWindowDrawsMeanwhile() {
    Click("rb_flat");
    Main().Model().ChooseKnot(App().KnotTable.Find("10_165"));
    const int start = C().Position("ud_ccsub");
    CancelEachWay([&] {
      C().SetPosition("ud_ccsub", start);  // built at once; the call above waits
      C().SetPosition("ud_ccsub", 5);      // 9.8 million vertices
    });
  }

  // Few vertices but many passes: the work, not the mesh's size, sends it to the worker.
  void manyPassesOverASmallMeshGoThroughTheWorker() {
    C().SetText("ed_braid", "AbAbAbAbAbAb");
    Main().Model().BraidEntered();
    // The field only redraws; the next recompute builds with it.
    C().SetPosition("ud_minsurf", 2000);
    CancelEachWay([&] { Main().Model().Recompute(); });
  }
};

QTEST_MAIN(TestLongBuild)
#include "longBuild_guitest.moc"
