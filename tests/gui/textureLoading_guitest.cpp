// "Load..." of the surface and the sky picture through the file dialog: a 24-bit bitmap
// becomes the texture; a file that is no 24-bit bitmap or cannot be read is a message box and
// the textures stay as they were.

#include <QAbstractButton>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdlib>

#include <memory>

#include "app/ui/textureLoading.h"
#include "core/bitmapFile.h"
#include "guiHelpers.h"

namespace {

void WriteFile(const QString& path, const std::vector<uint8_t>& bytes) {
  QFile f(path);
  QVERIFY(f.open(QIODevice::WriteOnly));
  f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
}

}  // namespace

class TestTextureLoading : public QObject {
  Q_OBJECT

 private slots:
  void loadButtonsTakeBitmapsPngAndJpegAndRefuseEverythingElse() {
    QTemporaryDir dir;
    const TRgbPicture picture{300, 200, std::vector<uint8_t>(300 * 200 * 3, 120)};
    std::vector<uint8_t> good = WriteBitmap24(picture), eightBit = good;
    eightBit[28] = 8;
    WriteFile(dir.filePath("good.bmp"), good);
    WriteFile(dir.filePath("eight.bmp"), eightBit);
    WriteFile(dir.filePath("text.bmp"), {'h', 'e', 'l', 'l', 'o'});
    // 2100 x 600 pixels go into a 2048 x 512 texture in blocks of 2 x 2: 1050 x 300 are kept.
    const TRgbPicture large{2100, 600, std::vector<uint8_t>(2100 * 600 * 3, 80)};
    WriteFile(dir.filePath("large.bmp"), WriteBitmap24(large));
    // PNG, JPEG and GIF as another program writes them.
    for (const char* make : {"-size 100x60 xc:#ff0000 photo.png", "-size 40x20 xc:#00ff00 photo.jpg",
                             "-size 8x8 xc:#0000ff other.gif"})
      QCOMPARE(std::system(qPrintable(QStringLiteral("cd '%1' && convert %2").arg(dir.path(),
                                                                                   make))), 0);

    std::unique_ptr<TDesktop> d = OpenDesktop();
    QVERIFY(d);
    QTRY_VERIFY(d->main.GLPanel1()->Active());
    TQtControlPanel& c = d->main.Controls();
    TAppState& app = d->main.App();
    c.SetChecked("cb_texturemapped", true);
    QCOMPARE(app.SurfaceTexture.TexWidth, 64);

    // The chooser is answered through the window's hook: no dialog to race with.
    QString chosen;
    int asked = 0;
    QWidget* askedOver = nullptr;
    d->main.askOpenFileName = [&](QWidget* owner, const QString&, const QString&) {
      ++asked;
      askedOver = owner;
      return chosen;
    };
    QWidget* boxOwner = nullptr;
    TDialogAnswerer<QMessageBox> boxes([&](QMessageBox* box) {
      boxOwner = box->parentWidget() ? box->parentWidget()->window() : nullptr;
      box->accept();
    });
    const auto load = [&](const char* button, const QString& file) {
      chosen = file.isEmpty() ? QString() : dir.filePath(file);
      static_cast<QAbstractButton*>(c.Widget(button))->click();
    };

    load("but_loadbitmap", "good.bmp");
    QCOMPARE(boxes.Answered(), 0);
    QCOMPARE(app.SurfaceTexture.TexWidth, 512);
    QCOMPARE(app.SurfaceTexture.TexHeight, 256);
    // The coordinates follow the new texture's aspect: 2 along the link per unit of 1 before.
    const TSeiffert& m = app.Seifert;
    const TVertex& a = m.mesh.verts[m.links[0].verts[0]];
    const TVertex& b = m.mesh.verts[m.links[0].verts[1]];
    QVERIFY(std::abs(b.texU - a.texU - 40 * (b.pos - a.pos).Length()) < 1e-6);

    load("Button26", "good.bmp");
    QCOMPARE(app.SkyTexture.TexWidth, 512);
    QCOMPARE(app.SkyTexture.SMax, 300.0 / 512);
    load("Button26", "large.bmp");
    QCOMPARE(app.SkyTexture.TexWidth, 2048);
    QCOMPARE(app.SkyTexture.SMax, 1050.0 / 2048);
    const TRgbPicture* kept = d->main.Textures().Kept(false);
    QVERIFY(kept);
    QCOMPARE(kept->width, 1050);
    QCOMPARE(kept->height, 300);
    QCOMPARE(kept->rgb.size(), size_t{1050 * 300 * 3});

    load("but_loadbitmap", "photo.png");
    QCOMPARE(boxes.Answered(), 0);
    QCOMPARE(app.SurfaceTexture.TexWidth, 128);
    QCOMPARE(app.SurfaceTexture.SMax, 100.0 / 128);
    QCOMPARE(d->main.Textures().Kept(true)->rgb[0], uint8_t{255});
    load("Button26", "photo.jpg");
    QCOMPARE(boxes.Answered(), 0);
    QCOMPARE(app.SkyTexture.TexWidth, 64);
    QCOMPARE(app.SkyTexture.TMax, 20.0 / 32);
    QVERIFY(d->main.Textures().Kept(false)->rgb[1] > 240);
    load("but_loadbitmap", "good.bmp");

    for (const char* bad : {"eight.bmp", "text.bmp", "other.gif"}) {
      const int before = boxes.Answered();
      load("but_loadbitmap", bad);
      QTRY_COMPARE(boxes.Answered(), before + 1);
      QVERIFY2(boxes.LastText().startsWith("24 bit bitmap expected"), qPrintable(boxes.LastText()));
      QCOMPARE(app.SurfaceTexture.TexWidth, 512);
      // Both the chooser and the error open over the stay-on-top window that asked, not
      // half hidden under it.
      QCOMPARE(askedOver, c.Widget("but_loadbitmap")->window());
      QCOMPARE(boxOwner, c.Widget("but_loadbitmap")->window());
    }
    load("but_loadbitmap", "");  // Cancel: nothing happens
    QCOMPARE(app.SurfaceTexture.TexWidth, 512);
    QCOMPARE(asked, 10);

    // A file the dialog offered but that went away (or cannot be read) names itself.
    try {
      ReadPictureFile(dir.filePath("missing.bmp"));
      QFAIL("a missing file was read");
    } catch (const std::runtime_error& e) {
      QVERIFY2(QString(e.what()).startsWith("Cannot open"), e.what());
    }
  }
};

QTEST_MAIN(TestTextureLoading)
#include "textureLoading_guitest.moc"
