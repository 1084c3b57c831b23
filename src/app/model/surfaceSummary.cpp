#include "surfaceSummary.h"

#include <cmath>
#include <numeric>

#include "core/disjointSets.h"
#include "invariants/diagramForm.h"
#include "knots/torusKnot.h"

int32_t SurfaceGenus(const TSeiffert& model) {
  if (model.nDisks < 1 || model.nLinks < 1 ||
      model.disks.size() <= static_cast<size_t>(model.nDisks) ||
      model.tubes.size() <= static_cast<size_t>(model.nTubes))
    return -1;
  // Connected pieces of the disk-and-band graph.
  TDisjointSets parts(static_cast<size_t>(model.nDisks) + 1);
  for (int32_t t = 1; t <= model.nTubes; ++t) {
    const TTube& tube = model.tubes[t];
    const int32_t a = tube.endA.disk, b = tube.endB.disk;
    if (a < 1 || a > model.nDisks || b < 1 || b > model.nDisks) return -1;
    parts.Join(a, b);
  }
  const int32_t pieces = parts.Count() - 1;  // element 0 is no disk
  const int32_t perCurve = model.knotWidth > 0 ? 2 : 1;
  if (model.nLinks % perCurve != 0) return -1;
  const int64_t curves = model.nLinks / perCurve;
  const int64_t chi = int64_t{model.nDisks} - model.nTubes;
  const int64_t twiceGenus = 2 * int64_t{pieces} - chi - curves;
  if (twiceGenus < 0 || twiceGenus % 2 != 0) return -1;
  return static_cast<int32_t>(twiceGenus / 2);
}

std::string GenusText(int32_t surfaceGenus, int32_t knotGenus) {
  if (surfaceGenus < 0) return "";
  std::string text = ", genus " + std::to_string(surfaceGenus);
  if (knotGenus < 0) return text;
  if (knotGenus == surfaceGenus) return text + " (the knot's genus)";
  return text + " (the knot's is " + std::to_string(knotGenus) + ")";
}

std::string SurfaceSummary(const TAppState& app, int32_t knotGenus) {
  const TSeiffert& s = app.Seifert;
  std::string text = std::to_string(s.mesh.nVerts);
  text.append(" vertices, ").append(std::to_string(s.mesh.nFaces)).append(" faces");
  if (!app.torusShown) {
    text.append(GenusText(SurfaceGenus(s), knotGenus));
  } else if (std::gcd(app.Settings.torusBig, app.Settings.torusSmall) > 1) {
    text.append(", ").append(TorusDescription(app.Settings.torusBig, app.Settings.torusSmall));
  }
  if (app.smoothed) text.append(", smoothed");
  if (app.refineSteps > 0)
    text.append(", refined \u00d7").append(std::to_string(app.refineSteps));
  return text;
}

TBox MeshBox(const TMesh& mesh) {
  TBox box;
  const int32_t n = std::min<int64_t>(mesh.nVerts, static_cast<int64_t>(mesh.verts.size()));
  for (int32_t i = 0; i < n; ++i) {
    const Vec3& p = mesh.verts[i].pos;
    if (std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z)) box.Add(p);
  }
  return box;
}

namespace {

bool ShowsDiagram(const TAppState& app) {
  return !app.torusShown && app.Settings.layout == kLayoutDiagram &&
         !app.Seifert.diagramCode.empty();
}

}  // namespace

TInvariants SurfaceInvariants(const TAppState& app, const std::string& braid) {
  if (ShowsDiagram(app)) return ComputeDiagramInvariants(app.Seifert.diagramCode);
  return ComputeInvariants(braid);
}

std::string InvariantsKey(const TAppState& app, const std::string& braid) {
  if (ShowsDiagram(app)) return "diagram " + PDText(app.Seifert.diagramCode);
  return "braid " + braid;
}
