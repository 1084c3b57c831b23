#include "pipeline.h"

#include <cstdlib>
#include <vector>

#include "core/checked.h"
#include "knots/braidWord.h"
#include "knots/torusKnot.h"
#include "mesh/buildMesh.h"
#include "mesh/texCoords.h"
#include "surface/reducedFlatLayout.h"

namespace {

// Whether a reduced flat lay-out is the whole surface: the braid does not fall apart (a gap
// without crossings would split it into parts the holes do not connect), every hole is placed,
// and the disks and bands form a connected planar graph with exactly those holes as its bounded
// faces. Holes that did not fit on the grid, or disks that no border reached, would leave bands
// out and show a surface whose boundary is not the knot.
bool Complete(const TSeiffert& model, const THoleTable& holes, int32_t placed) {
  std::vector<uint8_t> gapUsed(static_cast<size_t>(model.nStrands) + 1, 0);
  for (int32_t k = 1; k <= model.nCross; ++k)
    At(gapUsed, std::abs(At(model.gen, k, "crossing list")), "braid gaps") = 1;
  for (int32_t g = 1; g < model.nStrands; ++g)
    if (!gapUsed[g]) return false;
  if (placed != holes.nHoles || model.nTubes - model.nDisks + 1 != holes.nHoles) return false;
  for (int32_t d = 1; d <= model.nDisks; ++d)
    if (model.Disk(d).nEnds == 0) return false;
  return true;
}

// The lay-out the radio buttons chose, for a braid with crossings.
void LayOut(TSeiffert& model, TSettings& settings, TAppState& app) {
  switch (settings.layout) {
    case kLayoutStacked:
      LayoutStacked(model, settings);
      break;
    case kLayoutSplit:
      LayoutSplit(model, settings, app.splitRotation);
      break;
    case kLayoutFlat:
      LayoutFlat(model, settings);
      break;
    default: {
      // "Flat DT" takes its holes from the braid too until knot codes are read.
      THoleTable holes;
      HolesFromBraid(model, holes);
      const int32_t placed = LayoutFromHoles(model, settings, holes);
      if (!LayoutUsable(model, settings) || !Complete(model, holes, placed))
        LayoutFlat(model, settings);
      settings.tJoints = settings.tJoints && AllDisksThreeEnds(model);
      return;
    }
  }
  // T-joints need a reduced flat lay-out in which every disk has three ends.
  settings.tJoints = false;
}

}  // namespace

void RunPipeline(const std::string& text, TSeiffert& model, TSettings& settings, TAppState& app,
                 bool torusShow) {
  CheckSettings(settings);
  ++app.recomputeCount;
  app.torusShown = torusShow;
  if (torusShow) {
    BuildTorusKnot(model, settings);
    settings.tJoints = false;
    // The torus replaced the mesh that smoothing worked on; the next braid is built anew.
    app.smoothed = false;
    app.ModelCentre = Vec3(0, 0, 0);
    if (settings.autoCenter) app.View.Centre = app.ModelCentre;
    return;
  }
  model.text = text;

  if (!app.smoothed) {
    ParseBraidWord(text, model.gen, model.power, model.nStrands, model.nCross);
    if (model.nCross == 0) {
      LayoutTrivial(model, settings);
      settings.tJoints = false;  // a disk without bands is no junction
    } else {
      LayOut(model, settings, app);
    }
    if (settings.reduce) ReduceTwists(model);
    if (settings.multiTwist) {
      while (MergeTwoBandDisks(model)) {
      }
      for (int32_t d = 1; d <= model.nDisks; ++d) ReslotEnds(model, d);
    }
  }

  BuildMesh(model, settings, true, app.smoothed, app.racing);

  const float zFirst = model.Disk(1).centre.z;
  const float zLast = model.Disk(model.nDisks).centre.z;
  app.ModelCentre = Vec3(0, 0, (double(zLast) + zFirst) / 2);
  if (!app.smoothed && settings.autoCenter) app.View.Centre = app.ModelCentre;
  if (settings.useTexture) ComputeSurfaceTexCoords(model, settings, app.SurfaceTexture);
}

void ComputeSurfaceTexCoords(TSeiffert& model, const TSettings& settings,
                             const TTextureRecord& texture) {
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
  if (app.Settings.knotWidth <= app.Seifert.knotWidth) return "";
  return "\"Double knot, width:\" " + std::to_string(app.Settings.knotWidth) +
         " is more than the bands carry at this resolution; the knot is drawn " +
         std::to_string(app.Seifert.knotWidth) + " wide";
}
