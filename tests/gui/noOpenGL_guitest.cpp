// A display without OpenGL: the program says so once and stays usable. (Qt itself fails when
// a window holds an OpenGL panel without OpenGL, so the window must not hold one then.)

#include <QLabel>
#include <QtTest>

#include <memory>
#include <string>

#include "guiHelpers.h"

namespace {

// The display's OpenGL is switched off before the application starts.
const bool kNoOpenGL = qputenv("QT_XCB_GL_INTEGRATION", "none");

}  // namespace

class TestNoOpenGL : public QObject {
  Q_OBJECT

 private slots:
  void oneMessageAndTheControlsStillWork() {
    QVERIFY(kNoOpenGL);
    TMessageBoxCloser closer;
    const auto d = OpenDesktop();
    QVERIFY(d);
    QTRY_COMPARE(closer.Answered(), 1);
    QVERIFY2(closer.LastText().contains(QStringLiteral("OpenGL")), qPrintable(closer.LastText()));

    TForm1& main = d->main;
    QVERIFY(!main.GLPanel1());
    QVERIFY(qobject_cast<QLabel*>(main.DrawingPanel()));
    QCOMPARE(main.DrawingPanel()->objectName(), QStringLiteral("GLPanel1"));
    QTRY_COMPARE(main.Controls().Text("ed_winw"), std::to_string(main.DrawingPanel()->width()));

    // Buttons, keys and redraw requests go on without a drawing panel.
    QTest::mouseClick(main.Controls().Widget("but_trefoil"), Qt::LeftButton);
    QCOMPARE(main.App().Seifert.text, std::string("AAA"));
    QTest::keyClick(&main, Qt::Key_Escape);
    QTRY_COMPARE(main.DrawingPanel()->size(), main.size());
    QTest::keyClick(&main, Qt::Key_Escape);
    main.Model().RequestRedraw();
    QTest::qWait(100);
    QCOMPARE(closer.Answered(), 1);
  }
};

QTEST_MAIN(TestNoOpenGL)
#include "noOpenGL_guitest.moc"
