#include "buildRunner.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QProgressDialog>
#include <QTimer>

#include <atomic>
#include <cmath>
#include <thread>

#include "mesh/buildProgress.h"

namespace {

constexpr int kSteps = 1000;

}  // namespace

void RunLongBuild(QWidget* parent, const std::function<void()>& work, TBuildProgress& progress) {
  QProgressDialog box(QStringLiteral("Building the mesh\u2026"), QStringLiteral("Cancel"), 0,
                      kSteps, parent);
  box.setObjectName(QStringLiteral("build_progress"));
  box.setWindowTitle(QStringLiteral("Veltrane"));
  // The controls wait for the build; the view goes on drawing the surface it shows.
  box.setWindowModality(Qt::ApplicationModal);
  box.setMinimumDuration(0);
  box.setAutoClose(false);
  box.setAutoReset(false);
  const auto cancel = [&] {
    progress.Cancel();
    box.setLabelText(QStringLiteral("Stopping\u2026"));
  };
  QObject::connect(&box, &QProgressDialog::canceled, &box, cancel);
  // Esc closes the box without its canceled signal.
  QObject::connect(&box, &QDialog::rejected, &box, cancel);
  QTimer ticker;
  ticker.setInterval(100);
  QObject::connect(&ticker, &QTimer::timeout, &box, [&] {
    if (!progress.Cancelled())
      box.setValue(static_cast<int>(std::lround(progress.Fraction() * kSteps)));
  });
  // The busy cursor of the build would hide that the box takes clicks.
  QGuiApplication::setOverrideCursor(QCursor(Qt::ArrowCursor));
  box.show();
  ticker.start();

  std::atomic<bool> ended{false};
  std::thread worker([&] {
    work();
    ended.store(true);
    // Wakes the loop below, which then sees the end.
    QMetaObject::invokeMethod(qApp, [] {}, Qt::QueuedConnection);
  });
  while (!ended.load()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  worker.join();
  ticker.stop();
  QGuiApplication::restoreOverrideCursor();
}
