#pragma once
// The main window's logic without the window: start-up, reading the controls, the recompute,
// new knots, the shape presets' handlers, the lay-out, preset-knot and colour buttons, and
// the dispatch of every control event to its bound handler. Written once against the control
// interface, so the Qt window and the headless store behave alike.
//
// Handlers run synchronously inside control writes (a write raises its event at once), so a
// handler that writes several controls sets recomputeSuspended first; errors of the model
// (RangeError) propagate to the caller, which reports them and keeps the state reached.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "appState.h"
#include "knots/census.h"
#include "controlPanel.h"
#include "mesh/buildMesh.h"
#include "mesh/buildProgress.h"
#include "pipeline.h"
#include "smoothing/dynamicSmoothing.h"
#include "workCost.h"

class TMainWindowModel {
 public:
  // Installs itself as the event sink of `controls`; both must outlive it.
  TMainWindowModel(TControlPanel& controls, TAppState& app);
  ~TMainWindowModel();
  TMainWindowModel(const TMainWindowModel&) = delete;
  TMainWindowModel& operator=(const TMainWindowModel&) = delete;

  // Hooks the window fills in; an empty hook does nothing.
  std::function<void()> drawFrame;            // draw one frame now
  std::function<void()> repaintBraidDiagram;
  // The colour dialog preset with the swatch's colour: the chosen colour, or none on Cancel.
  std::function<std::optional<uint32_t>(uint32_t)> chooseColor;
  // Lets the window handle pending events between two smoothing iterations.
  std::function<void()> processEvents;
  // Whether the display can take another frame now. The smoothing loop refreshes the model at
  // every iteration but asks for a frame only when this says so; without a hook every
  // iteration is drawn.
  std::function<bool()> frameDue;
  // Lets the window handle events until the display can take the ride's next frame; without a
  // hook the ride draws as fast as processEvents lets it.
  std::function<void()> waitForFrame;
  // A warning with Yes and Cancel; true for Yes. Without a hook the answer is Yes.
  std::function<bool(const std::string&)> askYesCancel;
  // A short note for the user that needs no answer (the window's bottom bar).
  std::function<void(const std::string&)> showNote;
  // Runs `work`, a mesh build expected to take long, so that the window stays responsive: on
  // another thread, with its progress shown and a Cancel that calls progress.Cancel(); returns
  // once `work` has returned. Without a hook the build runs on the caller's thread.
  std::function<void(const std::function<void()>& work, TBuildProgress& progress)> runLongBuild;
  // Long work starts (true: a busy cursor and a word in the status bar) or ends (false).
  std::function<void(bool)> showBusy;
  // After every recompute: "" when it built the field's knot, else the error that stopped it.
  std::function<void(const std::string&)> recomputeDone;
  // A question with Yes and No; true for Yes. Without a hook the answer is Yes.
  std::function<bool(const std::string&)> askYesNo;
  // Told the expected seconds before a build expected to take longer than kAskWorkSeconds,
  // ahead of its question: for a caller that asks nobody but says what is coming.
  std::function<void(double seconds)> longWorkAhead;
  // The machine's physical memory, which the question before a very large mesh build compares
  // with.
  int64_t memoryBytes = PhysicalMemoryBytes();
  // The vertex storage of the mesh on view, which a new one is built beside.
  int64_t ShownVertices() const { return static_cast<int64_t>(app.Seifert.mesh.verts.capacity()); }
  // Handlers that arrive with later parts of the program (smoothing, ride, export, torus
  // buttons, knot table, texture loading, window sizing).
  std::function<void(const TControlDef&)> pendingHandler;
  // Changes a button's caption ("START" / "STOP"); the headless store has none.
  std::function<void(std::string_view, const std::string&)> setCaption;
  // The drawing panel has created its textures; until then the texture and light boxes
  // do not recompute.
  bool texturesCreated = false;
  // While set, recomputes lay the surface out (handlers read the lay-out and the model centre)
  // but build no mesh: for a caller that shows only the state its last recompute leaves.
  bool meshesDeferred = false;

  // The value steps of the window's creation, ending with two recomputes.
  void StartUp();

  void ReadSettings();
  // Returns at once while recomputeSuspended; otherwise ReadSettings, refineCount := 0, the
  // pipeline on the text of ed_braid, RequestRedraw.
  void Recompute();
  // Marks the scene dirty and, unless recomputeSuspended, draws a frame.
  void RequestRedraw();
  // "Width", "Offset" or "Stretch" of the texture changed: new texture coordinates, redraw.
  void TextureBandChanged();
  // A picture was loaded into the surface (surface true) or the sky texture: the surface's
  // texture coordinates follow the new texture's size when textures are on; redraw.
  void TexturePictureLoaded(bool surface);
  // Puts the split lay-out's rotations into ud_r1 and ud_r2 under splitGuard.
  void WriteSplitRotation();
  // Clears the smoothed state, puts `text` into ed_braid and runs tb_SliderChange.
  void NewKnot(const std::string& text);
  // Shape presets with recomputeSuspended set, then one Recompute.
  void tb_SliderChange();

  // Enter released in ed_braid: clears the table row and a typed code, then "Reset".
  void BraidEntered();
  // Enter released in ed_code: reads the code (DT, PD or signed Gauss, told apart by their
  // form) and shows its diagram's surface in the Diagram lay-out. A code that does not read is
  // std::invalid_argument naming the fault, and nothing changes.
  void CodeEntered();
  // The same for a code read already; `text` is what the field then shows, `knot` the census
  // knot it draws ("" for none).
  void EnterCode(TPDCode pd, const std::string& text, const std::string& knot = "");
  // A knot of the 11- and 12-crossing census: its best diagram's code, by name.
  void ChooseCensusKnot(const TCensusRow& row);
  // Any knot of up to 12 crossings by name: a table row as the drop-down chooses it, a census
  // knot by its diagram. std::invalid_argument for a name that is neither.
  void ChooseKnotNamed(const std::string& name);
  // Back to the braid road: the typed code is forgotten and its field cleared.
  void EndTypedCode();
  void Button5Click();                              // "Reset" under the view
  void LayoutButtonClick(std::string_view sender);  // "" = start-up's call of "Disks 1"
  void PresetKnotClick(std::string_view sender);
  void RepulsionClick(std::string_view sender);     // "Weak" or "Strong"
  // The ride: camera presets "1".."4", "Restart", "START"/"STOP" (a loop drawing frames
  // until the second click), "Pause" (read by every step).
  void RideButtonClick(std::string_view sender);
  void but_restartClick();
  void but_start_raceClick();
  void button22Click();                             // "Gray"
  void Button23Click();                             // "Ramp"
  void DumpHolesClick();                            // hidden "Dump holes": writes aaa.txt
  void ResetViewClick();
  void TorusButtonClick(std::string_view sender);   // "Swap", "Torus", "Band"
  // The colour dialog of a swatch was answered with OK.
  void ColorChosen(std::string_view swatch, uint32_t color);

  // The knot table: the user chose drop-down entry `index` (row index + 1).
  void cb_knottableChange();
  // Chooses a table row as the drop-down does (for the command line).
  void ChooseKnot(int32_t row);

  // Dynamic smoothing: the smoothing group's fields into the parameters (meanEdge first when
  // it is not valid); "Smooth" starts or stops a run; the loop itself; "Refine".
  void ReadSmoothingParameters();
  void but_sestartClick();
  // Runs until the iteration count, convergence, or a cleared running/smoothed flag; returns
  // the number of iterations.
  int32_t RunSmoothing();
  void Button6Click();
  const TSmoothingParams& SmoothingParams() const { return smoothingParams; }

  // Runs the handler bound to `control` in the table.
  void HandleEvent(const TControlDef& control);

 private:
  bool AskYesCancel(const std::string& question) const {
    return askYesCancel ? askYesCancel(question) : true;
  }
  // After a recompute: the start view when the lay-out on view became or stopped being a
  // lay-out in a plane.
  void StartViewOfLayout();
  // The mesh step of a recompute, after the question before a very large build; a long one
  // through runLongBuild. False when the user declined or cancelled it.
  bool BuildRunMesh(TPipelineRun& run);
  // A mesh build of that cost: the question before a very large or long one, the busy state,
  // and a long one through runLongBuild. False when the user declined or cancelled it; the
  // build's errors are thrown here.
  bool RunMeshBuild(const TWorkCost& cost, const std::function<void()>& build);
  // Runs a handler that starts a new knot; when a recompute in it is refused, the flags it
  // cleared (smoothed, meanEdgeValid, the running smoothing, the table row) come back.
  void KeepKnotStateIfRefused(const std::function<void()>& body);

  // The part of a recompute the window sees: the field marks, the note, the frame.
  void ShowRecompute();
  // Shows a recompute whose frame was held back, if there is one.
  void ShowHeldRecompute();

  TControlPanel& controls;
  TAppState& app;
  bool holdFrame = false;  // the next recompute refreshes the model only
  bool frameHeld = false;  // a recompute since the last frame has not been shown
  TSmoothingParams smoothingParams;
  TNoise noise;
  int32_t refusedRecomputes = 0;  // recomputes that failed, or whose build was declined
};

// The start view of a lay-out in a plane: the oblique angles, fitted by the next frame.
void FlatStartView(TView& view);

// Work expected to last longer than this shows the busy state.
constexpr double kLongWorkSeconds = 0.3;
// Mesh builds expected to last longer than this run through runLongBuild: beyond half a
// second a window that stops drawing is seen to hang.
constexpr double kBackgroundBuildSeconds = 0.5;
// The question before a build of `vertices` vertices expected to take `seconds`, beside a mesh
// of `shownVertices` on view: "This mesh needs about N MB. Build it?" when the two take more
// than a quarter of `memoryBytes` (0: unknown); "This will take about N minutes. Go on?" when
// the build is expected to take longer than kAskWorkSeconds; both in one question when both
// hold; "" when neither does.
std::string BuildQuestion(int64_t vertices, double seconds, int64_t memoryBytes,
                          int64_t shownVertices = 0);

// The swatch colours start-up sets, in the order sh_col1 .. sh_col12.
extern const uint32_t kStartSwatchColors[12];
