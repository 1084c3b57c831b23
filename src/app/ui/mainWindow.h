#pragma once
// The main window: the drawing panel, the control panel of tabbed pages and the bottom bar.
// It owns the program's state and the window logic (TMainWindowModel), wires every control
// event to that logic through the error guard, and handles the keyboard of both windows, the
// mouse on the drawing panel, "Hide controls", the window-size fields and closing.

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <string_view>

#include "app/model/appState.h"
#include "app/model/framePacer.h"
#include "app/model/mainWindowModel.h"
#include "qtControlPanel.h"
#include "textureLoading.h"

class QKeyEvent;
class QLabel;
class QMenuBar;
class TElidedLabel;
class QTabWidget;
class TForm2;
struct TInvariants;
class TGLPanel;
class Tforma;

class TForm1 : public QWidget {
  Q_OBJECT
 public:
  // Builds the window and its controls (also those of `advanced`), runs the start-up steps
  // and stays hidden until the splash picture is clicked.
  TForm1(TForm2& splash, Tforma& advanced, QWidget* parent = nullptr);
  ~TForm1() override;

  TAppState& App() { return app; }
  TQtControlPanel& Controls() { return controls; }
  const TTextureLoader& Textures() const { return textures; }
  TMainWindowModel& Model() { return model; }
  // The OpenGL panel; nullptr when the platform has no usable OpenGL.
  TGLPanel* GLPanel1() const { return glPanel; }
  // The drawing area: the OpenGL panel, or the placeholder that stands in for it.
  QWidget* DrawingPanel() const { return drawingPanel; }

  // F1, Ctrl+C and Esc, for either window. True when the key was used.
  // `receiver`: the widget the key went to.
  bool FormKeyDown(QKeyEvent* event, QWidget* receiver);
  // "Hide controls": the drawing panel takes the whole window.
  void but_fullscreenClick();
  // Esc with the controls hidden: the control panel and the bottom bar come back.
  void ShowControls();

  // How often Ctrl+C asked to copy the image, and F1 to start the ride.
  int CopyImageRequests() const { return copyImageRequests; }
  int RideRequests() const { return rideRequests; }
  // The note in the status line (what the last key command or a failed frame said).
  QString StatusText() const;
  // The status line's counts: "V vertices, F faces, genus g", and the state.
  QString CountsText() const;

  // "Fit view" (also F on the drawing panel): the whole model fills the panel.
  void FitViewClick();
  // Help, "About Veltrane": version, what the program does, keyboard and mouse.
  void ShowAbout();

  // The save dialog; tests answer it themselves. Returns the chosen name (empty: cancelled)
  // and sets `filter` to the chosen one of `filters`.
  std::function<QString(const QString& filters, QString& filter)> askSaveFileName;
  // The open dialog of "Load..." (owner, caption, filters); tests answer it themselves.
  std::function<QString(QWidget* owner, const QString& caption, const QString& filters)>
      askOpenFileName;
  // An image export is running.
  bool ExportBusy() const { return exportBusy; }

  // What closing the window does after clearing the loop flags; ends the program by default.
  std::function<void()> quitRequest;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  // Runs a handler; an error it throws is shown over `owner` (this window when null).
  bool Run(const std::function<void()>& body, QWidget* owner = nullptr);
  void BuildWindow(Tforma& advanced);
  void ConnectPanel();
  void PendingHandler(const TControlDef& def);
  void NotAvailable(const TControlDef& def);
  void LoadPictureClick(const TControlDef& def);
  void GLPanel1Resize();
  void RefreshImageLabels();
  void WindowSizeEntered();
  void CopyImage();
  void but_save_picClick(std::string_view sender);
  void but_export_meshClick();
  void StartRide();
  void ShowStatus(const QString& text);
  // A busy cursor and "Building mesh…" while a large build runs.
  void ShowBusy(bool on);
  // A red frame and `error` as the tool tip on a text field that shows what the view does not
  // (a refused word or code), or the field plain again (error empty).
  void MarkField(std::string_view name, const QString& error);
  // Enter in the "Code" field.
  void CodeEntered();
  // The status line's counts follow the surface on view.
  void UpdateCounts();
  void Frame();
  // The "Invariants" box for the knot of the last recompute, and the loops on its mesh.
  void ShowInvariants();
  void UpdateLoopPaths();
  void HighlightLoops(const QString& link);
  void ReportNoOpenGL(const QString& why);
  // The loops' frames at the pace of the display the window is on.
  double NowMs() const;
  bool FrameDue();
  void WaitForFrame();

  QString glProblem;  // why there is no OpenGL panel; empty when there is one
  TAppState app;
  TQtControlPanel controls;
  TMainWindowModel model;
  Tforma& advanced;
  TTextureLoader textures;
  TFramePacer framePacer;
  QElapsedTimer frameClock;

  TGLPanel* glPanel = nullptr;
  QLabel* invariantsBox = nullptr;  // "lb_invariants"
  QLabel* loopsBox = nullptr;       // "lb_loops"
  QString invariantsText;           // the box's lines above its boundary line
  QWidget* drawingPanel = nullptr;
  bool glProblemReported = false;
  QWidget* panel1 = nullptr;
  QWidget* panelControl = nullptr;
  QWidget* panelMessage = nullptr;
  QTabWidget* pageControl = nullptr;
  QMenuBar* menuBar = nullptr;
  TElidedLabel* status = nullptr;
  TElidedLabel* counts = nullptr;
  QTimer statusTimer;
  int copyImageRequests = 0;
  // The export's tile and sample state, read by every frame; no tiling outside an export.
  TExportTile exportTile;
  bool exportBusy = false;
  QString lastSaveName;  // the save dialog starts there
  QString lastMeshName, lastMeshFilter;  // and the mesh export's dialog there
  int rideRequests = 0;
  std::string invariantsBraid;  // what the "Invariants" box shows (InvariantsKey)
  std::unique_ptr<TInvariants> invariants;  // its values; null when it has none
  // "boundary: 5_2" for the mesh on view, named again only when the mesh is another one (a
  // recompute, a refinement, the end of a smoothing run), not on every smoothing frame.
  const std::string& BoundaryText();
  void ShowBoundaryInBox();
  std::string boundaryText;
  int32_t knotGenus = -1;  // of the knot boundaryText names, -1 when not known
  std::array<int64_t, 6> boundaryKey{-1, -1, -1, -1, -1, -1};
};
