#include "pipeline.h"

#include <cstdlib>
#include <vector>

#include "core/checked.h"
#include "knots/braidWord.h"
#include "knots/torusKnot.h"
#include "mesh/buildMesh.h"
#include "mesh/texCoords.h"
#include "diagram/diagramCodes.h"
#include "surface/dtCode.h"
#include "surface/reducedFlatLayout.h"

namespace {

// Whether a reduced flat lay-out is the whole surface: the braid does not fall apart (a gap
// without crossings would split it into parts the holes do not connect), and the disks and bands
// form a connected planar graph with exactly the knot's holes as its bounded faces. A hole the
// placement could not add is no reason by itself: the holes around it may still enclose it whole,
// so that it is a face of the grid all the same; only bands left out, or disks that no border
// reached, show a surface whose boundary is not the knot.
bool Complete(const TSeiffert& model, const THoleTable& holes) {
  std::vector<uint8_t> gapUsed(static_cast<size_t>(model.nStrands) + 1, 0);
  for (int32_t k = 1; k <= model.nCross; ++k)
    At(gapUsed, std::abs(At(model.gen, k, "crossing list")), "braid gaps") = 1;
  for (int32_t g = 1; g < model.nStrands; ++g)
    if (!gapUsed[g]) return false;
  if (model.nTubes - model.nDisks + 1 != holes.nHoles) return false;
  for (int32_t d = 1; d <= model.nDisks; ++d)
    if (model.Disk(d).nEnds == 0) return false;
  return true;
}

// The knot-table row whose knot code "Flat DT" or "Diagram" lays out: the chosen row, while the
// word is still that row's braid (a typed word or a preset replaces the knot).
const TKnotEntry* CodeKnot(const TAppState& app, const std::string& text, uint8_t layout) {
  if ((layout != kLayoutFlatDt && layout != kLayoutDiagram) || app.selectedKnotRow < 1 ||
      app.selectedKnotRow > app.KnotTable.count)
    return nullptr;
  const TKnotEntry& row = app.KnotTable.Row(app.selectedKnotRow);
  return row.braid == text ? &row : nullptr;
}

// The parsed word with one letter per crossing: a band of n half twists is n crossings.
std::string ExpandedWord(const TSeiffert& model) {
  std::string word;
  for (int32_t k = 1; k <= model.nCross; ++k) {
    const int32_t g = At(model.gen, k, "crossing list");
    const char letter = static_cast<char>((g > 0 ? 'A' : 'a') + std::abs(g) - 1);
    word.append(static_cast<size_t>(At(model.power, k, "crossing list")), letter);
  }
  return word;
}

}  // namespace

TPDCode DiagramLayoutCode(const TSeiffert& parsed, const TKnotEntry* codeKnot,
                          const TPDCode* typedCode) {
  // A typed code, a table row's diagram of the knot's genus, else the braid's closure as it is
  // drawn.
  if (typedCode) return *typedCode;
  return codeKnot ? PDFromDT(codeKnot->diagramCode)
                  : PDCode(BraidClosureDiagram(ExpandedWord(parsed)));
}

namespace {

// The holes of the knot's code, with the outside as record 0 and the split neighbours, laid
// out; false (and the reason in layoutNote) when the code's surface cannot be laid out.
bool LayOutFromCode(TSeiffert& model, const TSettings& settings, std::string& layoutNote,
                    const TKnotEntry& knot) {
  THoleTable holes;
  try {
    HolesFromDT(knot.dtCode, true, holes);
    OutsideToRecordZero(holes);
    SplitHoles(holes);
    LayoutFromHoles(model, settings, holes);
  } catch (const RangeError& e) {
    layoutNote = e.what();
    return false;
  }
  if (!LayoutUsable(model, settings) || !Complete(model, holes)) {
    layoutNote = "not every hole of the knot code found its place on the grid";
    return false;
  }
  return true;
}

// The lay-out the radio buttons chose, for a braid with crossings. True when the surface came
// from a knot code, which the mesh must still confirm.
bool LayOut(TPipelineRun& run) {
  TSeiffert& model = run.model;
  TSettings& settings = run.settings;
  switch (settings.layout) {
    case kLayoutStacked:
      LayoutStacked(model, settings);
      break;
    case kLayoutSplit:
      LayoutSplit(model, settings, run.splitRotation);
      break;
    case kLayoutFlat:
      LayoutFlat(model, settings);
      break;
    case kLayoutDiagram: {
      TPDCode pd = DiagramLayoutCode(model, run.codeKnot ? &*run.codeKnot : nullptr,
                                     run.typedCode ? &*run.typedCode : nullptr);
      LayoutDiagram(model, settings, pd);
      model.diagramCode = std::move(pd);
      break;
    }
    default: {
      if (run.codeKnot && settings.layout == kLayoutFlatDt) {
        if (LayOutFromCode(model, settings, run.layoutNote, *run.codeKnot)) {
          settings.tJoints = settings.tJoints && AllDisksThreeEnds(model);
          return true;
        }
        LayoutFlat(model, settings);
        break;
      }
      THoleTable holes;
      HolesFromBraid(model, holes);
      LayoutFromHoles(model, settings, holes);
      if (!LayoutUsable(model, settings) || !Complete(model, holes))
        LayoutFlat(model, settings);
      settings.tJoints = settings.tJoints && AllDisksThreeEnds(model);
      return false;
    }
  }
  // T-joints need a reduced flat lay-out in which every disk has three ends.
  settings.tJoints = false;
  return false;
}

// Half way up the stack of disks: the first and the last disk's heights.
Vec3 LayoutCentre(const TSeiffert& model) {
  const float zFirst = model.Disk(1).centre.z;
  const float zLast = model.Disk(model.nDisks).centre.z;
  return Vec3(0, 0, (double(zLast) + zFirst) / 2);
}

void PostProcess(TSeiffert& model, const TSettings& settings) {
  if (settings.reduce) ReduceTwists(model);
  if (settings.multiTwist) {
    while (MergeTwoBandDisks(model)) {
    }
    for (int32_t d = 1; d <= model.nDisks; ++d) ReslotEnds(model, d);
  }
}

// Whether the mesh of a surface from a knot code bounds the knot: closed (every edge has two
// faces, so there are exactly twice as many edges as quads) and one boundary curve, drawn as
// `curves` link lines (two with the knot band).
std::string CodeSurfaceProblem(const TSeiffert& model, int32_t curves) {
  const TMesh& mesh = model.mesh;
  bool closed = mesh.nFaces > 0 && int64_t{mesh.nEdges} == 2 * int64_t{mesh.nFaces};
  for (int32_t e = 0; closed && e < mesh.nEdges; ++e) closed = mesh.edges[e].f2 != kNone;
  if (!closed) return "the surface from the knot code is not closed";
  if (model.nLinks != curves)
    return "the surface from the knot code has " + std::to_string(model.nLinks / curves) +
           " boundary curves, not the one knot";
  return "";
}

}  // namespace

const TPDCode* TypedCodeFor(const TAppState& app, const std::string& text, uint8_t layout) {
  if (!app.typedCode || layout != kLayoutDiagram || app.typedCode->braid != text) return nullptr;
  return &app.typedCode->pd;
}

TPipelineRun StartPipeline(const std::string& text, const TSettings& settings,
                           const TAppState& app, bool torusShow, bool buildMesh) {
  CheckSettings(settings);
  TPipelineRun run;
  run.text = text;
  run.settings = settings;
  run.torusShow = torusShow;
  run.buildMesh = buildMesh;
  run.smoothed = app.smoothed && !torusShow;
  run.racing = app.racing;
  run.splitRotation = app.splitRotation;
  if (const TKnotEntry* knot = CodeKnot(app, text, settings.layout)) run.codeKnot = *knot;
  if (const TPDCode* code = TypedCodeFor(app, text, settings.layout)) run.typedCode = *code;
  run.surfaceTexture = app.SurfaceTexture;
  run.layoutNote = app.layoutNote;
  return run;
}

void PipelineLayout(TPipelineRun& run) {
  TSeiffert& model = run.model;
  TSettings& settings = run.settings;
  if (run.torusShow) {
    model.diagramCode.clear();
    BuildTorusKnot(model, settings);
    settings.tJoints = false;
    run.modelCentre = Vec3(0, 0, 0);
    return;
  }
  model.text = run.text;
  if (!run.smoothed) {
    run.layoutNote.clear();
    model.diagramCode.clear();
    ParseBraidWord(run.text, model.gen, model.power, model.nStrands, model.nCross);
    if (model.nCross == 0 && !run.typedCode) {
      LayoutTrivial(model, settings);
      settings.tJoints = false;  // a disk without bands is no junction
    } else {
      run.fromCode = LayOut(run);
    }
    PostProcess(model, settings);
  }
  run.modelCentre = LayoutCentre(model);
}

int64_t PipelineMeshSize(const TPipelineRun& run) {
  if (run.torusShow || run.smoothed || !run.buildMesh) return 0;
  // The grid sizes of a copy of the lay-out: the build sets them on its own.
  TSeiffert plan;
  plan.nDisks = run.model.nDisks;
  plan.nTubes = run.model.nTubes;
  plan.disks = run.model.disks;
  plan.tubes = run.model.tubes;
  for (int32_t d = 1; d <= plan.nDisks; ++d) SortEnds(plan, d);
  SetGridSizes(plan, run.settings);
  return MeshCapacity(plan, run.settings);
}

void PipelineMesh(TPipelineRun& run, const TMeshSizeHook& sizeHook) {
  if (run.torusShow || !run.buildMesh) return;
  TSeiffert& model = run.model;
  TSettings& settings = run.settings;
  // A surface from the knot code that does not bound the knot is never shown. Its grid tells:
  // refinement and smoothing keep a closed grid closed and its seams the same curves, so the
  // passes are not spent on a surface that the flat lay-out replaces.
  const auto gridBoundsTheKnot = [&](TSeiffert& grid) {
    TraceLinks(grid, settings.minLinkSeg);
    run.layoutNote = CodeSurfaceProblem(grid, 1);
    return run.layoutNote.empty();
  };
  const bool complete = BuildMesh(model, settings, true, run.smoothed, run.racing, sizeHook,
                                  run.fromCode ? TGridCheck(gridBoundsTheKnot) : nullptr);
  if (run.fromCode && complete) {
    // Its closedness is read off the edges, which the last refinement may have left unbuilt.
    EnsureEdges(model.mesh);
    run.layoutNote = CodeSurfaceProblem(model, model.knotWidth > 0 ? 2 : 1);
  }
  if (run.fromCode && !run.layoutNote.empty()) {
    LayoutFlat(model, settings);
    settings.tJoints = false;
    PostProcess(model, settings);
    run.modelCentre = LayoutCentre(model);
    BuildMesh(model, settings, true, run.smoothed, run.racing, sizeHook);
  }
  if (settings.useTexture) ComputeSurfaceTexCoords(model, settings, run.surfaceTexture);
}

namespace {

// Everything of a finished run but its model, into the window's state.
void CommitState(const TPipelineRun& run, TAppState& app) {
  app.Settings = run.settings;
  app.torusShown = run.torusShow;
  // The torus replaced the mesh that smoothing worked on; the next braid is built anew.
  if (run.torusShow) app.smoothed = false;
  app.splitRotation = run.splitRotation;
  app.layoutNote = run.layoutNote;
  app.ModelCentre = run.modelCentre;
  if (!run.smoothed && run.settings.autoCenter) app.View.Centre = app.ModelCentre;
}

}  // namespace

void CommitPipeline(TPipelineRun& run, TAppState& app) {
  if (!run.buildMesh && !run.torusShow) {
    // The mesh, the link lines and the texture coordinates are left as they were.
    std::swap(run.model.mesh, app.Seifert.mesh);
    std::swap(run.model.links, app.Seifert.links);
    run.model.nLinks = app.Seifert.nLinks;
    run.model.knotWidth = app.Seifert.knotWidth;
  }
  app.Seifert = std::move(run.model);
  CommitState(run, app);
}

void RunPipeline(const std::string& text, TSeiffert& model, TSettings& settings, TAppState& app,
                 bool torusShow, bool buildMesh, const TMeshSizeHook& sizeHook) {
  TPipelineRun run = StartPipeline(text, settings, app, torusShow, buildMesh);
  ++app.recomputeCount;
  // In place: whatever fails, the model keeps the state it had reached.
  run.model = std::move(model);
  try {
    PipelineLayout(run);
    PipelineMesh(run, sizeHook);
  } catch (...) {
    model = std::move(run.model);
    settings = run.settings;
    throw;
  }
  model = std::move(run.model);
  settings = run.settings;
  CommitState(run, app);
}

void ComputeSurfaceTexCoords(TSeiffert& model, const TSettings& settings,
                             const TTextureRecord& texture) {
  EnsureEdges(model.mesh);  // the texture front moves along the edges
  TTexCoordParams p;
  p.width = settings.textureWidth;
  p.offset = settings.textureOffset;
  p.stretch = settings.textureStretch;
  p.hideCracks = settings.textureHideCracks;
  p.texWidth = texture.TexWidth;
  p.texHeight = texture.TexHeight;
  ComputeTexCoords(model.mesh, model.links, model.nLinks, p);
}

std::string PipelineNote(const TAppState& app) {
  if (!app.layoutNote.empty())
    return "\"Flat DT\": " + app.layoutNote + "; the flat lay-out is shown";
  if (app.Settings.knotWidth <= app.Seifert.knotWidth) return "";
  return "\"Double knot, width:\" " + std::to_string(app.Settings.knotWidth) +
         " is more than the bands carry at this resolution; the knot is drawn " +
         std::to_string(app.Seifert.knotWidth) + " wide";
}
