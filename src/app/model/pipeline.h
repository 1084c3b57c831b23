#pragma once
// The recompute pipeline: parse, lay out, mesh, centre, texture coordinates.

#include <optional>
#include <string>

#include "appState.h"
#include "mesh/buildMesh.h"

// One recompute's work, done beside the surface on view and put in its place only when every
// step succeeded. It holds copies of all it reads, so its steps may run on another thread
// while the window goes on drawing the old surface.
struct TPipelineRun {
  std::string text;
  TSettings settings;  // tJoints is cleared when the lay-out cannot carry T-joints
  bool torusShow = false;
  bool buildMesh = true;
  bool smoothed = false;  // keep the smoothed mesh: only its links and normals are made anew
  bool racing = false;
  TSplitRotation splitRotation;        // in, and out from the split lay-out's search
  std::optional<TKnotEntry> codeKnot;  // the table row whose knot code "Flat DT" lays out
  std::optional<TPDCode> typedCode;    // a typed code, which "Diagram" lays out before all else
  TTextureRecord surfaceTexture;
  TSeiffert model;  // empty, or a copy of the smoothed surface to keep
  bool fromCode = false;
  std::string layoutNote;
  Vec3 modelCentre;
};

// The typed code the Diagram lay-out of `text` draws, or null (another lay-out, no code, or a
// word changed since the code was entered).
const TPDCode* TypedCodeFor(const TAppState& app, const std::string& text, uint8_t layout);

// The run of `text` with `settings` from the window's state, with an empty model (a smoothed
// run needs the smoothed surface put there). Settings out of range are a RangeError here,
// before anything is built.
TPipelineRun StartPipeline(const std::string& text, const TSettings& settings,
                           const TAppState& app, bool torusShow, bool buildMesh);
// Parse, lay-out and post-processing (or the whole torus), and the model centre.
void PipelineLayout(TPipelineRun& run);
// The vertex storage the mesh step will fill (0 when it builds no new mesh); a RangeError when
// that is more than a build may take. Changes nothing.
int64_t PipelineMeshSize(const TPipelineRun& run);
// The mesh, its check for a surface from a knot code, the texture coordinates. Reports to the
// thread's build progress and stops with TBuildCancelled when asked to.
void PipelineMesh(TPipelineRun& run, const TMeshSizeHook& sizeHook = nullptr);
// Puts a finished run in the place of app's surface: model, settings, flags, centres. A run
// that built no mesh takes over the one on view.
void CommitPipeline(TPipelineRun& run, TAppState& app);

// Runs the pipeline on `text` into `model`. `settings` may be changed (tJoints is cleared when
// the lay-out cannot carry T-joints). torusShow: the torus "Show" box is checked.
// Range errors of the model propagate; the model keeps the state it had reached.
// buildMesh false stops after the lay-out and the model centre: the mesh, the link lines and
// the texture coordinates are left as they were. sizeHook is told the size of each mesh build.
void RunPipeline(const std::string& text, TSeiffert& model, TSettings& settings, TAppState& app,
                 bool torusShow = false, bool buildMesh = true,
                 const TMeshSizeHook& sizeHook = nullptr);

// The diagram the Diagram lay-out draws for a parsed word (model.gen, power, nCross): a typed
// code (`typedCode`, may be null), the table row's code of the knot's genus when `codeKnot` is
// the row chosen, else the word's closure as the braid diagram draws it. Throws as PDFromDT.
TPDCode DiagramLayoutCode(const TSeiffert& parsed, const TKnotEntry* codeKnot,
                          const TPDCode* typedCode = nullptr);

// The surface picture's texture coordinates on model's mesh, from the band settings and the
// surface texture's size.
void ComputeSurfaceTexCoords(TSeiffert& model, const TSettings& settings,
                             const TTextureRecord& texture);

// What the user should know about the last run, or "": "Flat DT" fell back to the flat lay-out
// (and why), or the "Double knot" width asked for was more than the bands carry and the knot
// was drawn narrower.
std::string PipelineNote(const TAppState& app);
