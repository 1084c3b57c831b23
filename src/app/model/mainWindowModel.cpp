#include "mainWindowModel.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>
#include <stdexcept>
#include <string>

#include "core/rangeError.h"
#include "core/settings.h"
#include "diagram/censusKnot.h"
#include "diagram/diagramCodes.h"
#include "mesh/buildMesh.h"
#include "mesh/buildProgress.h"
#include "mesh/subdivision.h"
#include "pipeline.h"
#include "readSettings.h"
#include "render/view.h"
#include "shapePresets.h"
#include "surface/holeDump.h"

namespace {

const char* const kMeshNotBuilt = "The mesh was not built; the view shows the last one";

const char* const kTorusAsBuilt =
    "The torus is shown as built: \"Smooth\" and \"Refine\" work on braid surfaces";

}  // namespace

std::string BuildQuestion(int64_t vertices, double seconds, int64_t memoryBytes,
                          int64_t shownVertices) {
  if (vertices <= 0) return "";
  // In long double: the products can pass the 64-bit range for a refused estimate.
  const long double bytes = static_cast<long double>(vertices) * kMeshBytesPerVertex;
  const long double held =
      bytes + static_cast<long double>(std::max<int64_t>(shownVertices, 0)) * kMeshBytesPerVertex;
  const bool large = memoryBytes > 0 && held > memoryBytes / 4.0L;
  const bool slow = seconds > kAskWorkSeconds;
  if (!large && !slow) return "";
  if (!large) return LongWorkQuestion(seconds);
  const long double largest = static_cast<long double>(std::numeric_limits<int64_t>::max() / 2);
  const auto megabytes = static_cast<int64_t>(std::min(std::nearbyint(bytes / (1 << 20)), largest));
  std::string question = "This mesh needs about ";
  question.append(std::to_string(megabytes)).append(" MB");
  if (slow) question.append(" and will take ").append(AboutDuration(seconds)).append(" to build");
  return question.append(". Build it?");
}

const uint32_t kStartSwatchColors[12] = {
    Rgb(240, 200, 150), Rgb(200, 120, 33), Rgb(200, 120, 33),  Rgb(240, 200, 150),
    Rgb(100, 100, 250), Rgb(150, 150, 250), Rgb(252, 225, 118), Rgb(120, 231, 250),
    Rgb(250, 139, 120), Rgb(153, 250, 120), Rgb(100, 100, 100), Rgb(200, 200, 200),
};

TMainWindowModel::TMainWindowModel(TControlPanel& c, TAppState& a) : controls(c), app(a) {
  controls.SetEventSink([this](const TControlDef& def) { HandleEvent(def); });
}

TMainWindowModel::~TMainWindowModel() { controls.SetEventSink(nullptr); }

void TMainWindowModel::StartUp() {
  // Writing the start values raises change events; none of them may recompute yet.
  app.recomputeSuspended = true;

  for (size_t i = 0; i < 12; ++i)
    controls.SetColor("sh_col" + std::to_string(i + 1), kStartSwatchColors[i]);
  ResetView(app.View, app.ModelCentre);
  app.smoothed = false;
  app.meshForSmoothing = false;

  ResetShapeDefaults(controls);
  FillKnotTable(app.KnotTable);
  controls.SetItems("cb_knottable", app.KnotTable.entries);
  controls.SetItemIndex("cb_knottable", 1);  // the start word's row; raises no event
  LayoutButtonClick("");

  app.recomputeSuspended = false;
  Recompute();
  ResetView(app.View, app.ModelCentre);
  Recompute();

  app.meanEdgeValid = false;
  app.firstSmooth = true;
  app.racing = false;
  RidePreset(controls, 1);
  but_restartClick();
}

void TMainWindowModel::ReadSettings() { ::ReadSettings(controls, app); }

void TMainWindowModel::Recompute() {
  if (app.recomputeSuspended) return;
  const TSettings shownSettings = app.Settings;
  ReadSettings();
  // The new surface is built beside the one on view, which stays as it is (with its settings
  // record) unless every step succeeds.
  bool built = false;
  try {
    TPipelineRun run = StartPipeline(controls.Text("ed_braid"), app.Settings, app,
                                     controls.Checked("cb_torus"), !meshesDeferred);
    run.splitRotation = {controls.Checked("cb_autotwist"), controls.Position("ud_r1"),
                         controls.Position("ud_r2")};
    ++app.recomputeCount;
    if (run.smoothed) run.model = app.Seifert;
    PipelineLayout(run);
    built = BuildRunMesh(run);
    if (built) CommitPipeline(run, app);
  } catch (const std::exception& e) {
    app.Settings = shownSettings;
    ++refusedRecomputes;
    if (recomputeDone) recomputeDone(e.what());
    throw;
  } catch (...) {
    app.Settings = shownSettings;
    ++refusedRecomputes;
    throw;
  }
  if (!built) {
    app.Settings = shownSettings;
    ++refusedRecomputes;
    if (showNote) showNote(kMeshNotBuilt);
    return;
  }
  WriteSplitRotation();
  StartViewOfLayout();
  app.refineCount = 0;
  // A mesh built anew from the lay-out has not been refined; a smoothed one is kept.
  if (!app.smoothed || app.torusShown) app.refineSteps = 0;
  if (holdFrame) {
    // The model is up to date; the window hears of it with a later frame.
    frameHeld = true;
    app.redrawDirty = true;
    app.ride.speed = 0;
    return;
  }
  ShowRecompute();
}

void TMainWindowModel::ShowRecompute() {
  frameHeld = false;
  if (recomputeDone) recomputeDone("");
  if (showNote) {
    if (const std::string note = PipelineNote(app); !note.empty()) showNote(note);
  }
  RequestRedraw();
}

void TMainWindowModel::ShowHeldRecompute() {
  if (frameHeld && !app.terminating) ShowRecompute();
  frameHeld = false;
}

bool TMainWindowModel::BuildRunMesh(TPipelineRun& run) {
  return RunMeshBuild(MeshBuildCost(PipelineMeshSize(run), run.settings),
                      [&] { PipelineMesh(run); });
}

bool TMainWindowModel::RunMeshBuild(const TWorkCost& cost, const std::function<void()>& build) {
  const int64_t size = cost.vertices;
  // A build over the limit is refused by the build itself, before it allocates.
  if (size <= MeshCapacityLimit(PhysicalMemoryBytes())) {
    if (cost.seconds > kAskWorkSeconds && longWorkAhead) longWorkAhead(cost.seconds);
    if (const std::string question = BuildQuestion(size, cost.seconds, memoryBytes, ShownVertices());
        !question.empty() && askYesNo && !askYesNo(question))
      return false;
  }
  // The busy state lasts until the new scene is drawn: a large mesh takes its time there too.
  const bool busy = cost.seconds + SceneDrawSeconds(size) > kLongWorkSeconds && showBusy;
  if (busy) showBusy(true);
  struct TBusyEnd {
    const TMainWindowModel& owner;
    bool shown;
    ~TBusyEnd() {
      if (shown && owner.showBusy) owner.showBusy(false);
    }
  } busyEnd{*this, busy};
  TBuildProgress progress;
  progress.Plan(cost.steps);
  std::exception_ptr failure;
  const auto work = [&] {
    const TBuildScope scope(&progress);
    try {
      build();
    } catch (const TBuildCancelled&) {
    } catch (...) {
      failure = std::current_exception();
    }
  };
  if (runLongBuild && cost.seconds > kBackgroundBuildSeconds)
    runLongBuild(work, progress);
  else
    work();
  // A stop asked for counts even when the build got to its end first.
  if (progress.Cancelled()) return false;
  if (failure) std::rethrow_exception(failure);
  return true;
}

void TMainWindowModel::TextureBandChanged() {
  ReadSettings();
  ComputeSurfaceTexCoords(app.Seifert, app.Settings, app.SurfaceTexture);
  RequestRedraw();
}

void TMainWindowModel::TexturePictureLoaded(bool surface) {
  ReadSettings();
  if (surface && app.Settings.useTexture)
    ComputeSurfaceTexCoords(app.Seifert, app.Settings, app.SurfaceTexture);
  RequestRedraw();
}

void TMainWindowModel::WriteSplitRotation() {
  // The search's result goes back into the rotation fields without another recompute.
  app.splitGuard = true;
  controls.SetPosition("ud_r1", app.splitRotation.r1);
  controls.SetPosition("ud_r2", app.splitRotation.r2);
  app.splitGuard = false;
}

void TMainWindowModel::RequestRedraw() {
  app.redrawDirty = true;
  app.ride.speed = 0;  // after a change the car falls back to the set velocity
  if (!app.recomputeSuspended && drawFrame) drawFrame();
}

void TMainWindowModel::EndTypedCode() {
  if (!app.typedCode) return;
  app.typedCode.reset();
  controls.SetText("ed_code", "");
}

void TMainWindowModel::NewKnot(const std::string& text) {
  KeepKnotStateIfRefused([&] {
    if (app.typedCode && app.typedCode->braid != text) EndTypedCode();
    app.smoothed = false;
    app.meanEdgeValid = false;
    controls.SetText("ed_braid", text);
    if (repaintBraidDiagram) repaintBraidDiagram();
    tb_SliderChange();
  });
}

void TMainWindowModel::KeepKnotStateIfRefused(const std::function<void()>& body) {
  // What a new knot clears; the surface on view goes on being what they say when its
  // recompute is refused.
  const bool smoothed = app.smoothed, meanEdgeValid = app.meanEdgeValid,
             smoothingRunning = app.smoothingRunning;
  const int32_t selectedKnotRow = app.selectedKnotRow;
  const auto typedCode = app.typedCode;
  const std::string codeText = controls.Text("ed_code");
  const int32_t refusedBefore = refusedRecomputes;
  const auto restore = [&] {
    app.smoothed = smoothed;
    app.meanEdgeValid = meanEdgeValid;
    app.smoothingRunning = smoothingRunning;
    app.selectedKnotRow = selectedKnotRow;
    app.typedCode = typedCode;
    controls.SetText("ed_code", codeText);
  };
  try {
    body();
  } catch (...) {
    if (refusedRecomputes != refusedBefore) restore();
    throw;
  }
  if (refusedRecomputes != refusedBefore) restore();
}

void TMainWindowModel::tb_SliderChange() {
  app.recomputeSuspended = true;
  try {
    ResetShapeDefaults(controls);
    ApplyShapeSliders(controls, app);
  } catch (...) {
    // A failed preset must not leave every later recompute switched off.
    app.recomputeSuspended = false;
    throw;
  }
  app.recomputeSuspended = false;
  Recompute();
}

void TMainWindowModel::BraidEntered() {
  KeepKnotStateIfRefused([&] {
    EndTypedCode();
    app.selectedKnotRow = 0;
    // The box shows no table row for a word of the user's own.
    controls.SetItemIndex("cb_knottable", -1);
    if (repaintBraidDiagram) repaintBraidDiagram();
    Button5Click();
  });
}

void TMainWindowModel::CodeEntered() {
  const std::string text = controls.Text("ed_code");
  EnterCode(ReadCode(text, GuessCodeKind(text)), text);
}

void TMainWindowModel::ChooseKnotNamed(const std::string& name) {
  if (const int32_t row = app.KnotTable.Find(name); row > 0) {
    ChooseKnot(row);
  } else if (const TCensusRow* knot = FindCensusKnot(name)) {
    ChooseCensusKnot(*knot);
  } else {
    throw std::invalid_argument("no knot of up to 12 crossings is named '" +
                                name.substr(0, 40) + "' (3_1 .. 10_165, 11a_1 .. 12n_888)");
  }
}

void TMainWindowModel::ChooseCensusKnot(const TCensusRow& row) {
  // The braid lay-outs show the knot too, through a braid word read off its diagram.
  const std::string code = CensusDiagramCode(row);
  const std::string braid = CensusBraidWord(row);
  KeepKnotStateIfRefused([&] {
    controls.SetText("ed_braid", braid);
    if (repaintBraidDiagram) repaintBraidDiagram();
    EnterCode(PDFromDT(code), code, row.name);
  });
}

void TMainWindowModel::EnterCode(TPDCode pd, const std::string& text, const std::string& knot) {
  KeepKnotStateIfRefused([&] {
    app.typedCode = TAppState::TTypedCode{std::move(pd), text, controls.Text("ed_braid"), knot};
    controls.SetText("ed_code", text);
    app.selectedKnotRow = 0;
    controls.SetItemIndex("cb_knottable", -1);
    // The radio's own recompute would run before the code's state is complete.
    app.recomputeSuspended = true;
    controls.SetChecked("rb_diagram", true);
    app.recomputeSuspended = false;
    Button5Click();
  });
}

void TMainWindowModel::Button5Click() {
  KeepKnotStateIfRefused([&] {
    app.smoothingRunning = false;
    app.smoothed = false;
    app.meanEdgeValid = false;
    NewKnot(controls.Text("ed_braid"));
  });
}

void TMainWindowModel::LayoutButtonClick(std::string_view sender) {
  const TLayoutButton* b = FindLayoutButton(sender.empty() ? "but_disks1" : sender);
  if (!b) throw std::invalid_argument("no lay-out button named " + std::string(sender));
  const TControlDef* sphere = FindControl("tb_sphere");
  const int32_t spherePosition = b->sphereMax ? RangeHigh(*sphere) : RangeLow(*sphere);

  app.recomputeSuspended = true;
  // A slider that moves raises tb_SliderChange at once, which recomputes; the writes after
  // it may recompute on their own. The NewKnot at the end decides the final state.
  switch (b->order) {
    case TLayoutOrder::kRadioSliderTaperShift:
      controls.SetChecked(b->radio, true);
      controls.SetPosition("tb_sphere", spherePosition);
      controls.SetPosition("ud_taper", b->taper);
      controls.SetPosition("ud_shift", b->shift);
      break;
    case TLayoutOrder::kRadioSliderShiftTaper:
      controls.SetChecked(b->radio, true);
      controls.SetPosition("tb_sphere", spherePosition);
      controls.SetPosition("ud_shift", b->shift);
      controls.SetPosition("ud_taper", b->taper);
      break;
    case TLayoutOrder::kTJointRadioShiftSliderTaper:
      if (b->tJoint >= 0) controls.SetChecked("cb_tjoint", b->tJoint != 0);
      controls.SetChecked(b->radio, true);
      controls.SetPosition("ud_shift", b->shift);
      controls.SetPosition("tb_sphere", spherePosition);
      controls.SetPosition("ud_taper", b->taper);
      break;
  }
  NewKnot(controls.Text("ed_braid"));
}

void TMainWindowModel::PresetKnotClick(std::string_view sender) {
  const TPresetKnot* k = FindPresetKnot(sender);
  if (!k) throw std::invalid_argument("no preset knot button named " + std::string(sender));
  // A preset replaces the table knot: the box shows no row.
  controls.SetItemIndex("cb_knottable", -1);
  EndTypedCode();
  NewKnot(std::string(k->word));
}

void TMainWindowModel::RepulsionClick(std::string_view sender) {
  const bool strong = sender == "but_strong";
  controls.SetPosition("ud_alpha", strong ? 2 : 0);
  controls.SetPosition("ud_damp", strong ? 40 : 20);
  app.smoothingRunning = false;
}

void TMainWindowModel::button22Click() {
  controls.SetColor("sh_background", Rgb(192, 192, 192));
  controls.SetColor("sh_background2", Rgb(192, 192, 192));
  Recompute();
}

void TMainWindowModel::Button23Click() {
  controls.SetColor("sh_background", Rgb(62, 73, 96));
  controls.SetColor("sh_background2", Rgb(207, 213, 224));
  Recompute();
}

void TMainWindowModel::TorusButtonClick(std::string_view sender) {
  app.recomputeSuspended = true;
  if (sender == "but_swap_torus") {
    const int32_t big = controls.Position("ud_tbig");
    controls.SetPosition("ud_tbig", controls.Position("ud_tsmall"));
    controls.SetPosition("ud_tsmall", big);
  } else {
    controls.SetChecked("cb_shmat1", sender == "but_show_torus");
  }
  app.recomputeSuspended = false;
  Recompute();
}

void TMainWindowModel::ResetViewClick() {
  ResetView(app.View, app.ModelCentre);
  if (app.flatLayoutShown) FlatStartView(app.View);
  Recompute();
}

void TMainWindowModel::StartViewOfLayout() {
  // Each kind of lay-out first appears in its own start view: the stacked one as the program
  // starts, one in a plane from the oblique angle (edge-on it shows a line), fitted by the
  // next frame. A change within a kind keeps the view the user has.
  const bool flat = !app.torusShown && app.Settings.layout != kLayoutStacked;
  if (flat == app.flatLayoutShown) return;
  app.flatLayoutShown = flat;
  if (flat) {
    FlatStartView(app.View);
  } else {
    ResetView(app.View, app.View.Centre);
    app.View.FitPending = false;
  }
}

void FlatStartView(TView& view) {
  SetStandardView(view, TStandardView::kOblique);
  view.FitPending = true;
}

void TMainWindowModel::ColorChosen(std::string_view swatch, uint32_t color) {
  const TControlDef* d = FindControl(swatch);
  if (!d || d->kind != TControlKind::kColorSwatch)
    throw std::invalid_argument("no colour swatch named " + std::string(swatch));
  controls.SetColor(swatch, color);
  if (d->handler == THandler::sh_col1MouseDown)
    Recompute();
  else if (d->handler == THandler::sh_diffuseMouseDown)
    RequestRedraw();
}

void TMainWindowModel::HandleEvent(const TControlDef& c) {
  using H = THandler;
  switch (c.handler) {
    case H::kNone:
      return;
    case H::ed_heightChange:
    case H::rb_yClick:
    case H::cb_autotwistClick:
      Recompute();
      return;
    case H::ed_ccsubChange:
    case H::ClickForceRedraw:
    case H::cb_showlinksClick:
      RequestRedraw();
      return;
    case H::ud_twidChange:
      TextureBandChanged();
      return;
    case H::Edit5Change:
      // The split lay-out writes these fields itself while it runs.
      if (!app.splitGuard) Recompute();
      return;
    case H::tb_SliderChange:
      tb_SliderChange();
      return;
    case H::Edit9Change:
      ReadSmoothingParameters();
      return;
    case H::cb_knottableChange:
      cb_knottableChange();
      return;
    case H::but_sestartClick:
      but_sestartClick();
      return;
    case H::Button6Click:
      Button6Click();
      return;
    case H::sh_col1MouseDown:
    case H::sh_diffuseMouseDown:
      if (chooseColor) {
        if (const auto chosen = chooseColor(controls.Color(c.name))) ColorChosen(c.name, *chosen);
      }
      return;
    case H::cb_world_lightClick:
    case H::cb_texturemappedClick:
      if (texturesCreated) Recompute();
      return;
    case H::LayoutButtonClick:
      LayoutButtonClick(c.name);
      return;
    case H::PresetKnotClick:
      PresetKnotClick(c.name);
      return;
    case H::RepulsionClick:
      RepulsionClick(c.name);
      return;
    case H::Button5Click:
      Button5Click();
      return;
    case H::button22Click:
      button22Click();
      return;
    case H::Button23Click:
      Button23Click();
      return;
    case H::ResetViewClick:
      ResetViewClick();
      return;
    case H::RideButtonClick:
      RideButtonClick(c.name);
      return;
    case H::TorusButtonClick:
      TorusButtonClick(c.name);
      return;
    case H::DumpHolesClick:
      DumpHolesClick();
      return;
    case H::ud_imgscaleChange:
    case H::but_save_picClick:
    case H::but_export_meshClick:
    case H::but_advancedClick:
    case H::but_fullscreenClick:
    case H::LoadPictureClick:
    case H::FitViewClick:
      if (pendingHandler) pendingHandler(c);
      return;
  }
}

void TMainWindowModel::DumpHolesClick() {
  // The hidden report goes to the current folder; a write failure reaches the handler's guard.
  DumpHoles(kHoleDumpFile);
}

void TMainWindowModel::cb_knottableChange() {
  const int32_t row = controls.ItemIndex("cb_knottable") + 1;
  const TKnotEntry& knot = app.KnotTable.Row(row);
  KeepKnotStateIfRefused([&] {
    EndTypedCode();
    app.selectedKnotRow = row;
    controls.SetText("ed_braid", knot.braid);
    if (repaintBraidDiagram) repaintBraidDiagram();
    app.smoothed = false;
    app.meanEdgeValid = false;
    tb_SliderChange();
  });
}

void TMainWindowModel::ChooseKnot(int32_t row) {
  app.KnotTable.Row(row);  // range check before the list changes
  controls.SetItemIndex("cb_knottable", row - 1);
  cb_knottableChange();
}

void TMainWindowModel::ReadSmoothingParameters() {
  if (!app.meanEdgeValid) {
    EnsureEdges(app.Seifert.mesh);
    app.meanEdge = MeanEdge(app.Seifert.mesh);
    app.meanEdgeValid = true;
  }
  TSmoothingControls c;
  c.iterations = controls.Position("ud_seniter");
  c.timeStep = controls.Position("ud_sedt");
  c.dtDecay = controls.Position("ud_dtfac");
  c.damping = controls.Position("ud_damp");
  c.attraction = controls.Position("ud_hatr");
  c.repulsion = controls.Position("ud_krep");
  c.alpha = controls.Position("ud_alpha");
  c.beta = controls.Position("ud_beta");
  c.scale = controls.Position("ud_rscale");
  c.noise = controls.Position("ud_noise");
  c.pressure = controls.Position("ud_pressure");
  c.checkCollision = controls.Checked("cb_checkcol");
  c.showIntermediate = controls.Checked("cb_seshowintermediate");
  smoothingParams = SmoothingParameters(c, app.meanEdge);
}

void TMainWindowModel::but_sestartClick() {
  // A second click stops the run in progress; the loop notices after its iteration.
  if (app.smoothingRunning) {
    app.smoothingRunning = false;
    return;
  }
  if (controls.Checked("cb_torus")) {
    // The torus is rebuilt from its windings at every recompute; smoothing would be undone.
    controls.SetChecked("but_sestart", false);
    if (showNote) showNote(kTorusAsBuilt);
    return;
  }
  if (app.firstSmooth) {
    app.firstSmooth = false;
    app.meanEdgeValid = false;
  }
  app.smoothingRunning = true;
  const auto release = [this] { controls.SetChecked("but_sestart", false); };

  // Smoothing works on the coarse mesh: one resolution step, no subdivision.
  app.recomputeSuspended = true;
  controls.SetPosition("ud_subdiv", 1);
  controls.SetPosition("ud_ccsub", 0);
  app.recomputeSuspended = false;
  app.meshForSmoothing = true;
  try {
    Recompute();
  } catch (...) {
    app.meshForSmoothing = false;
    app.smoothingRunning = false;
    release();
    throw;
  }
  app.meshForSmoothing = false;

  if (app.Seifert.mesh.nVerts > 4000 && !AskYesCancel("Trying to smooth fine mesh. Sure?")) {
    app.smoothingRunning = false;
    Recompute();
    release();
    return;
  }
  app.smoothed = true;
  try {
    RunSmoothing();
  } catch (...) {
    app.smoothingRunning = false;
    release();
    throw;
  }
  app.smoothingRunning = false;
  release();
}

int32_t TMainWindowModel::RunSmoothing() {
  const bool showIntermediate = controls.Checked("cb_seshowintermediate");
  const int32_t iterations = controls.Position("ud_seniter");
  ReadSmoothingParameters();
  TMesh& mesh = app.Seifert.mesh;
  ClassifyVertices(mesh);
  mesh.velocity.assign(static_cast<size_t>(mesh.nVerts), Vec3());
  app.maxMove = 1.0e9;

  int32_t done = 0;
  frameHeld = false;
  try {
    while (done < iterations && app.smoothingRunning && app.smoothed) {
      try {
        app.maxMove = SmoothStep(app.Seifert, smoothingParams, noise);
      } catch (const TSmoothingError&) {
        // The step took itself back; the normals still belong to the last finite state unless
        // the intermediate results were not shown.
        app.smoothingRunning = false;
        if (!showIntermediate && !app.terminating) Recompute();
        throw;
      }
      DecayTimeStep(smoothingParams);
      if (showIntermediate) {
        // Every iteration refreshes what the next one reads (links, normals), as a recompute
        // does; only the iterations the display can show also draw a frame.
        holdFrame = frameDue && !frameDue();
        try {
          Recompute();
        } catch (...) {
          holdFrame = false;
          throw;
        }
        holdFrame = false;
      }
      // Handlers run here: they may stop the run, change its parameters or load a new knot.
      if (processEvents) processEvents();
      ++done;
      if (1.0e-5 * app.meanEdge > app.maxMove) app.smoothingRunning = false;
    }
  } catch (...) {
    // The last state reached is on view, whatever stopped the run; the error is what the
    // window reports.
    if (frameHeld && !app.terminating) {
      try {
        RequestRedraw();
      } catch (...) {
      }
    }
    frameHeld = false;
    throw;
  }
  ShowHeldRecompute();
  if (!showIntermediate && !app.terminating) Recompute();
  return done;
}

void TMainWindowModel::Button6Click() {
  if (controls.Checked("cb_torus")) {
    if (showNote) showNote(kTorusAsBuilt);
    return;
  }
  if (app.Seifert.mesh.nVerts >= 10001 && !AskYesCancel("Trying to refine a fine mesh. Sure?"))
    return;
  // One more level needs a vertex per vertex, edge and face, and four faces per face.
  const TMesh& shown = app.Seifert.mesh;
  const TWorkCost cost = RefineCost(shown.nVerts, EdgeCount(shown), shown.nFaces);
  // Refined beside the surface on view, from copies: the window draws meanwhile. The Refine
  // road classifies the vertices itself before its seam-keeping pass.
  TSeiffert refined = app.Seifert;
  const TSettings settings = app.Settings;
  const bool smoothed = app.smoothed, racing = app.racing;
  if (!RunMeshBuild(cost, [&] { BuildMesh(refined, settings, false, smoothed, racing); })) {
    if (showNote) showNote(kMeshNotBuilt);
    return;
  }
  app.Seifert = std::move(refined);
  app.meanEdge *= 0.5;
  ++app.refineCount;
  ++app.refineSteps;
  if (app.Settings.useTexture)
    ComputeSurfaceTexCoords(app.Seifert, app.Settings, app.SurfaceTexture);
  ClassifyVertices(app.Seifert.mesh);
  CarryRideOver(app.ride, app.Seifert);
  RequestRedraw();
  app.smoothingRunning = false;
}

void TMainWindowModel::RideButtonClick(std::string_view sender) {
  if (sender.starts_with("but_cam")) {
    RidePreset(controls, sender.back() - '0');
  } else if (sender == "but_restart") {
    but_restartClick();
  } else if (sender == "but_start_race") {
    but_start_raceClick();
  }
  // "Pause" is read by every ride step.
}

void TMainWindowModel::but_restartClick() {
  RideRestart(app.ride, app.Seifert, ReadRideControls(controls), RideTickCount());
}

void TMainWindowModel::but_start_raceClick() {
  if (app.racing) {
    app.racing = false;  // the running loop ends after its frame
    return;
  }
  const auto release = [this] {
    controls.SetChecked("but_start_race", false);
    if (setCaption) setCaption("but_start_race", "START");
  };
  // A ride needs a knot line of four points or more for its spline.
  if (const std::string problem = RideProblem(app.Seifert, controls.Position("ud_ilink"));
      !problem.empty()) {
    release();
    throw RangeError(problem);
  }
  app.racing = true;
  if (setCaption) setCaption("but_start_race", "STOP");
  controls.SetChecked("but_start_race", true);
  try {
    app.ride.lastTick = RideTickCount();
    Recompute();  // the scene for the ride: textures, finer tubes, crease normals
    app.ride.speed = 0;
    app.ride.gravity = 0;
    // Frames need a window to draw in; without one there is nothing to ride.
    while (app.racing && drawFrame && processEvents) {
      app.rideControls = ReadRideControls(controls);
      if (app.smoothingRunning) Recompute();
      else drawFrame();
      if (waitForFrame)
        waitForFrame();
      else
        processEvents();
    }
  } catch (...) {
    app.racing = false;
    release();
    throw;
  }
  app.racing = false;
  release();
  if (!app.terminating) Recompute();
}
