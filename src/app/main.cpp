// The desktop program: the three windows and the message loop.

#include <QApplication>

#include "app/ui/desktop.h"
#include "app/ui/glPanel.h"
#include "mesh/meshModel.h"

int main(int argc, char* argv[]) {
  // The drawing panel's surface must be chosen before any window exists.
  SetDefaultSurfaceFormat();
  KeepFreedStorageForReuse();
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Veltrane"));
  QApplication::setApplicationDisplayName(QStringLiteral("Veltrane"));
  TDesktop desktop;
  desktop.Show();
  return QApplication::exec();
}
