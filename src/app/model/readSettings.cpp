#include "readSettings.h"

#include <string>

#include "core/checked.h"

namespace {

// A length whose position is 0 would make the geometry degenerate; it stays just above 0.
double NonZeroLength(int32_t position) {
  const double v = position / 100.0;
  return v == 0 ? 0.0001 : v;
}

}  // namespace

uint8_t LayoutCode(const TControlPanel& c) {
  if (c.Checked("rb_flat")) return kLayoutFlat;
  if (c.Checked("rb_flat2")) return kLayoutReducedFlat;
  if (c.Checked("rb_flatdt")) return kLayoutFlatDt;
  if (c.Checked("rb_split")) return kLayoutSplit;
  if (c.Checked("rb_diagram")) return kLayoutDiagram;
  return kLayoutStacked;
}

void ReadSettings(const TControlPanel& c, TAppState& app) {
  TSettings& s = app.Settings;
  s.resolution = CheckedMul(2, c.Position("ud_subdiv"));
  s.tubeExtra = c.Position("ud_tuberes");
  s.diskDiameter = c.Position("ud_diameter") / 100.0;
  s.diskTaper = c.Position("ud_taper") / 100.0;
  s.diskHeight = NonZeroLength(c.Position("ud_height"));
  s.diskDistance = c.Position("ud_distance") / 100.0;
  const int32_t rot = c.Position("ud_smoothrot");
  s.smoothRot = rot == 0 ? 0.0 : (rot - 1) / 10.0 + 1;
  s.multiTwist = c.Checked("cb_multitwist");
  s.reduce = c.Checked("cb_reduce");
  s.bandWidth = NonZeroLength(c.Position("ud_diax"));
  s.bandHeight = NonZeroLength(c.Position("ud_diay"));
  s.bandShift = c.Position("ud_shift") / 10.0;
  s.smoothDt = c.Position("ud_smdt") / 10.0;
  s.catmullClark = c.Position("ud_ccsub");
  s.minSurf = c.Position("ud_minsurf");
  s.presmoothNonBnd = c.Position("ud_psnonbnd");
  s.layout = LayoutCode(c);
  // T-joints exist only on the reduced flat lay-outs.
  s.tJoints = c.Checked("cb_tjoint") &&
              (s.layout == kLayoutReducedFlat || s.layout == kLayoutFlatDt);
  s.convexFlat2 = c.Checked("cb_convexflat2");
  s.simpleMorph = c.Checked("cb_simple_morph");
  s.minLinkSeg = c.Position("ud_minlinkseg") / 100.0;
  s.bezierTubes = c.Checked("cb_beziertubes");
  s.altPoleMesh = c.Checked("cb_simplemesh") && app.meshForSmoothing;
  s.reducedMesh = c.Checked("cb_reducedmesh") && !s.tJoints && app.meshForSmoothing;
  s.knotWidth = c.Position("ud_knwidth");
  s.tubeCurve = c.Position("ud_tubecurve") / 10.0;
  s.splitAt = c.Position("ud_split");
  s.smoothShading = c.Checked("cbsmooth");
  s.linkRadius = static_cast<double>(static_cast<long double>(c.Position("ud_linkdia")) *
                                     1.05L / 100 / 2);
  s.linkOffset = c.Position("ud_linkoffset") / 100.0;
  s.presmooth = c.Position("ud_presmooth");
  for (size_t i = 0; i < s.colors.size(); ++i)
    s.colors[i] = c.Color("sh_col" + std::to_string(i + 1));
  for (size_t i = 0; i < s.showSurface.size(); ++i)
    s.showSurface[i] = c.Checked("cb_shmat" + std::to_string(i + 1));
  // Smoothing collapses the slab into one sheet: its second side would be drawn over the first
  // (doubled wire-frame, z-fighting, half-buried knot tubes), so only side 0 stays on show
  // unless the knot is drawn double.
  if (app.smoothed && s.knotWidth == 0) s.showSurface[1] = false;
  const bool links = c.Checked("cb_showlinks");
  for (size_t i = 0; i < s.showLink.size(); ++i)
    s.showLink[i] = c.Checked("cb_shmat" + std::to_string(i + 4)) && links;
  s.showConstruction = c.Checked("sh_construct");
  s.autoCenter = c.Checked("cb_autocenter");
  s.smoothTubes = c.Checked("cb_smoothtubes");
  s.smoothDisks = c.Checked("cb_smoothdisks");
  s.transparency = c.Position("ud_transp");
  s.torusBig = c.Position("ud_tbig");
  s.torusSmall = c.Position("ud_tsmall");
  s.useTexture = app.racing ? c.Checked("cb_texturemappedrace") : c.Checked("cb_texturemapped");
  s.textureOnMesh = c.Checked("cb_texonmesh");
  s.textureWidth = c.Position("ud_twid");
  s.textureOffset = c.Position("ud_toff");
  s.textureStretch = c.Position("ud_tstretch");
  s.textureHideCracks = c.Checked("cb_texhidecracks");
}
