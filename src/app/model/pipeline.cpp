#include "pipeline.h"

#include "knots/braidWord.h"
#include "mesh/buildMesh.h"

void RunPipeline(const std::string& text, TSeiffert& model, TSettings& settings, TAppState& app,
                 bool torusShow) {
  CheckSettings(settings);
  ++app.recomputeCount;
  if (torusShow) {
    // Torus knots arrive with their own builder; until then the braid road runs.
  }
  model.text = text;

  if (!app.smoothed) {
    ParseBraidWord(text, model.gen, model.power, model.nStrands, model.nCross);
    if (model.nCross == 0) {
      LayoutTrivial(model, settings);
    } else {
      // Only the stacked lay-out exists so far; the other lay-out codes use it until the flat,
      // reduced-flat and split lay-outs are added.
      LayoutStacked(model, settings);
      // T-joints need a reduced flat lay-out in which every disk has three ends.
      settings.tJoints = false;
    }
  }

  BuildMesh(model, settings, true, app.smoothed, app.racing);

  const float zFirst = model.Disk(1).centre.z;
  const float zLast = model.Disk(model.nDisks).centre.z;
  app.ModelCentre = Vec3(0, 0, (double(zLast) + zFirst) / 2);
  if (!app.smoothed && settings.autoCenter) app.View.Centre = app.ModelCentre;
}

std::string PipelineNote(const TAppState& app) {
  if (app.Settings.knotWidth <= app.Seifert.knotWidth) return "";
  return "\"Double knot, width:\" " + std::to_string(app.Settings.knotWidth) +
         " is more than the bands carry at this resolution; the knot is drawn " +
         std::to_string(app.Seifert.knotWidth) + " wide";
}
