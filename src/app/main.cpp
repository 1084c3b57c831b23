// The desktop program: the three windows and the message loop.

#include <QApplication>
#include <QIcon>

#include <cstdio>
#include <cstring>

#include "app/ui/desktop.h"
#include "app/ui/glPanel.h"
#include "mesh/meshModel.h"

namespace {

// Answered before the toolkit starts, so they work without a display.
bool AnswerInformationOptions(int argc, char* argv[]) {
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
      std::printf(
          "Usage: veltrane [--help] [--version] [Qt options]\n"
          "Builds, shows and exports Seifert surfaces of knots and links in a window.\n\n"
          "  -h, --help     print this help and exit\n"
          "  -v, --version  print the version and exit\n\n"
          "The toolkit's own options (-platform, -style, ...) are accepted too.\n"
          "The same work without a window: veltrane-cli --help.\n");
      return true;
    }
    if (std::strcmp(arg, "--version") == 0 || std::strcmp(arg, "-v") == 0) {
      std::printf("veltrane %s\n", VELTRANE_VERSION);
      return true;
    }
  }
  return false;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (AnswerInformationOptions(argc, argv)) return 0;
  // The drawing panel's surface must be chosen before any window exists.
  SetDefaultSurfaceFormat();
  KeepFreedStorageForReuse();
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Veltrane"));
  QApplication::setApplicationDisplayName(QStringLiteral("Veltrane"));
  QApplication::setApplicationVersion(QStringLiteral(VELTRANE_VERSION));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/veltrane.svg")));
  TDesktop desktop;
  desktop.Show();
  return QApplication::exec();
}
