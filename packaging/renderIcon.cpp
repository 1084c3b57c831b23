// Renders the program's SVG icon at the pixel sizes desktops look for, at build time, so the
// repository holds the drawing once.

#include <QGuiApplication>
#include <QImage>
#include <QImageReader>

#include <cstdio>

int main(int argc, char* argv[]) {
  if (argc < 4 || (argc - 2) % 2 != 0) {
    std::fprintf(stderr, "usage: renderIcon ICON.svg SIZE OUT.png [SIZE OUT.png ...]\n");
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication application(argc, argv);
  for (int i = 2; i + 1 < argc; i += 2) {
    const int size = QString::fromLocal8Bit(argv[i]).toInt();
    QImageReader reader(QString::fromLocal8Bit(argv[1]));
    reader.setScaledSize(QSize(size, size));
    const QImage image = reader.read();
    if (image.isNull() || !image.save(QString::fromLocal8Bit(argv[i + 1]), "PNG")) {
      std::fprintf(stderr, "renderIcon: %s at %d pixels: %s\n", argv[1], size,
                   qPrintable(reader.errorString()));
      return 1;
    }
  }
  return 0;
}
