// The main window as the user feels it, driven through its real widgets under a virtual
// display: "Smooth" from the click until the run has converged, choosing a knot-table row (the
// time to its first frame and to an idle window), and a "Coarse..Fine" step. Each case starts
// from the state a knot chosen in the table leaves, untimed. "paints" counts the drawing
// panel's frames, "iterations" the smoothing steps, "mesh_sum" a checksum of the smoothed
// positions (equal sums: the same run); "late_paints" are frames still drawn after the window
// went idle, which would mean the idle time missed work.

#include <benchmark/benchmark.h>

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSlider>
#include <QtTest>

#include <chrono>
#include <memory>
#include <string>

#include "app/ui/controlWidgets.h"
#include "app/ui/desktop.h"
#include "app/ui/glPanel.h"

namespace {

using Clock = std::chrono::steady_clock;

TDesktop* desktop = nullptr;

TForm1& Main() { return desktop->main; }
TQtControlPanel& C() { return Main().Controls(); }
TAppState& App() { return Main().App(); }

// Runs the event loop until it has nothing left to do and would wait.
void WaitIdle() {
  QEventLoop loop;
  QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock,
                   &loop, &QEventLoop::quit);
  loop.exec();
}

// Frames drawn in a short grace after the window went idle (nothing should come).
int64_t LatePaints() {
  const int64_t frames = Main().GLPanel1()->FramesDrawn();
  QTest::qWait(60);
  return Main().GLPanel1()->FramesDrawn() - frames;
}

int Row(const std::string& name) {
  const auto& entries = App().KnotTable.entries;
  for (size_t i = 0; i < entries.size(); ++i)
    if (entries[i].rfind(name + ",", 0) == 0) return static_cast<int>(i) + 1;
  return 0;
}

// Chooses a row as the drop-down does when the user picks it.
void ChooseRow(int row) {
  auto* table = C().As<QComboBox>("cb_knottable");
  table->setCurrentIndex(row - 1);
  emit table->activated(row - 1);
}

double Ms(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double, std::milli>(b - a).count();
}

double MeshSum() {
  double sum = 0;
  const TMesh& mesh = App().Seifert.mesh;
  for (int32_t i = 0; i < mesh.nVerts; ++i) {
    const Vec3& p = mesh.verts[i].pos;
    sum += p.x + 2.0 * p.y + 3.0 * p.z;
  }
  return sum;
}

// The time the first frame painted after its making is on the screen: the window composes
// a paint once the paint event returns, and a call posted from the paint runs after that.
class TFirstFrame : public QObject {
 public:
  explicit TFirstFrame(QWidget* panel) : panel(panel) { panel->installEventFilter(this); }
  ~TFirstFrame() override { panel->removeEventFilter(this); }
  Clock::time_point at{};

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == panel && event->type() == QEvent::Paint && !posted) {
      posted = true;
      QMetaObject::invokeMethod(this, [this] { at = Clock::now(); }, Qt::QueuedConnection);
    }
    return false;
  }

 private:
  QWidget* panel;
  bool posted = false;
};

void Smooth(benchmark::State& state, const std::string& knot) {
  const int row = Row(knot);
  if (row == 0) {
    state.SkipWithError("no such table row");
    return;
  }
  int64_t iterations = 0;
  auto pump = Main().Model().processEvents;
  Main().Model().processEvents = [&] {
    ++iterations;
    if (pump) pump();
  };
  int64_t paints = 0, late = 0;
  for (auto _ : state) {
    ChooseRow(row);  // the knot at its start settings, not smoothed
    WaitIdle();
    iterations = 0;
    const int64_t frames = Main().GLPanel1()->FramesDrawn();
    const auto start = Clock::now();
    QTest::mouseClick(C().Widget("but_sestart"), Qt::LeftButton);
    WaitIdle();
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    paints = Main().GLPanel1()->FramesDrawn() - frames;
    late = LatePaints();
  }
  Main().Model().processEvents = pump;
  state.counters["iterations"] = static_cast<double>(iterations);
  state.counters["paints"] = static_cast<double>(paints);
  state.counters["late_paints"] = static_cast<double>(late);
  state.counters["mesh_sum"] = MeshSum();
}

void TableRow(benchmark::State& state, const std::string& knot) {
  const int row = Row(knot), other = Row("3_1");
  double toFrame = 0;
  int64_t paints = 0, late = 0;
  for (auto _ : state) {
    ChooseRow(other);
    WaitIdle();
    TGLPanel* panel = Main().GLPanel1();
    const int64_t frames = panel->FramesDrawn();
    TFirstFrame first(panel);
    const auto start = Clock::now();
    ChooseRow(row);
    WaitIdle();
    const auto idle = Clock::now();
    state.SetIterationTime(std::chrono::duration<double>(idle - start).count());
    toFrame += first.at == Clock::time_point{} ? Ms(start, idle) : Ms(start, first.at);
    paints = panel->FramesDrawn() - frames;
    late = LatePaints();
  }
  state.counters["to_frame_ms"] = toFrame / static_cast<double>(state.iterations());
  state.counters["paints"] = static_cast<double>(paints);
  state.counters["late_paints"] = static_cast<double>(late);
}

// "Coarse..Fine" one step finer, from the row's start position.
void ResolutionStep(benchmark::State& state, const std::string& knot) {
  const int row = Row(knot);
  auto* slider = C().As<QSlider>("tb_res");
  int64_t paints = 0, late = 0;
  for (auto _ : state) {
    ChooseRow(row);
    WaitIdle();
    const int from = slider->value();
    const int64_t frames = Main().GLPanel1()->FramesDrawn();
    const auto start = Clock::now();
    slider->setValue(from < slider->maximum() ? from + 1 : from - 1);
    WaitIdle();
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    paints = Main().GLPanel1()->FramesDrawn() - frames;
    late = LatePaints();
  }
  state.counters["paints"] = static_cast<double>(paints);
  state.counters["late_paints"] = static_cast<double>(late);
}

#define WINDOW_CASE(fn, knot, runs)                                           \
  BENCHMARK_CAPTURE(fn, knot, std::string(#knot).substr(1))                   \
      ->UseManualTime()                                                       \
      ->Unit(benchmark::kMillisecond)                                         \
      ->Iterations(runs)

WINDOW_CASE(Smooth, _3_1, 3);
WINDOW_CASE(Smooth, _8_19, 3);
WINDOW_CASE(Smooth, _10_165, 3);
WINDOW_CASE(TableRow, _10_165, 10);
WINDOW_CASE(ResolutionStep, _10_165, 10);

}  // namespace

int main(int argc, char** argv) {
  SetDefaultSurfaceFormat();
  QApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  auto owned = std::make_unique<TDesktop>();
  desktop = owned.get();
  desktop->Show();
  if (!QTest::qWaitForWindowExposed(&desktop->splash)) return 1;
  QTest::mouseClick(desktop->splash.Picture(), Qt::LeftButton);
  if (!QTest::qWaitForWindowExposed(&desktop->main) || !Main().GLPanel1() ||
      !QTest::qWaitFor([] { return Main().GLPanel1()->Active(); })) {
    std::fprintf(stderr, "the main window did not come up with its drawing panel\n");
    return 1;
  }
  Main().quitRequest = [] {};
  WaitIdle();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  desktop = nullptr;
  return 0;
}
