#include "workCost.h"

#include <algorithm>
#include <cmath>

#include "core/rangeError.h"
#include "render/linkTube.h"

// Calibration: a Release build on the development machine (two cores shared with other work;
// Mesa's llvmpipe for the drawing). The rates were fitted to the times that
// bench/workCost_bench.cpp (builds) and bench/gl/workCost_glbench.cpp (exports) measure and
// print beside the estimate: words from AbAb to the alphabet 25 times with every pass kind
// alone and together, exports of panels from 268 to 1080 pixels a side, filters of reach 0 to
// 20 and meshes of 2,000 to 500,000 vertices. The large cases come within a fifth; small
// meshes run faster per vertex (they stay in the caches), so their estimates come out high,
// which errs towards showing the busy state.
namespace {

// Build, in seconds per vertex and pass: laying out and filling the grids, then their edges
// (per grid vertex); a presmoothing pass over the grids, moving every vertex or keeping the
// seams; a Catmull-Clark level (per vertex it makes); a minimal-surface iteration and a pass
// of the knot band (per vertex of the finished mesh); the link lines, normals and the hand-over
// of the new surface (per vertex of the finished mesh).
constexpr double kGridSeconds = 3.5e-7;
constexpr double kPresmoothSeconds = 1.7e-7;
constexpr double kSeamPresmoothSeconds = 1.8e-7;
constexpr double kLevelSeconds = 2.6e-7;
constexpr double kMinimalSurfaceSeconds = 9.0e-8;
constexpr double kKnotBandSeconds = 1.0e-8;
constexpr double kFinishSeconds = 0.8e-7;
// The first frame of a new mesh: its display list compiled and drawn.
constexpr double kDrawSeconds = 6.0e-7;

// Export, in seconds: making the context; per rendering; per pixel rendered and read back;
// per pixel and filter shift spread into the accumulator (each rendering's pixels reach 2r + 1
// columns and rows); per scene vertex drawn; per pixel of the finished picture.
constexpr double kExportSetupSeconds = 0.05;
constexpr double kRenderingSeconds = 2.2e-3;
constexpr double kPixelSeconds = 8.0e-9;
constexpr double kSpreadSeconds = 2.0e-9;
constexpr double kSceneVertexSeconds = 2.7e-7;
constexpr double kPicturePixelSeconds = 3.0e-8;

// The loop steps the passes report (see buildProgress.h): a presmoothing pass visits every
// face, edge and vertex once; a level visits the faces and edges twice; a minimal-surface
// iteration its faces and vertices. A closed quad mesh has about as many faces as vertices and
// twice as many edges.
constexpr int64_t kPresmoothSteps = 4;           // per grid vertex
constexpr int64_t kLevelStepsPerOld = 7;         // per vertex of the level before
constexpr int64_t kMinimalSurfaceSteps = 2;      // per vertex

// Large enough products stay finite and ordered in double.
double D(int64_t n) { return static_cast<double>(n); }

int64_t Steps(double n) {
  return static_cast<int64_t>(std::min(n, 9.0e18));
}

}  // namespace

TWorkCost MeshBuildCost(int64_t capacity, const TSettings& s) {
  TWorkCost cost;
  if (capacity <= 0) return cost;
  cost.vertices = capacity;
  const int32_t levels = std::max(s.catmullClark, 0);
  const double finished = D(capacity);
  const double grids = std::ldexp(finished, -2 * levels);
  double seconds = grids * kGridSeconds + finished * kFinishSeconds;
  double steps = 0;
  if (s.presmooth > 0) {
    const int32_t seamKept = std::max(s.presmoothNonBnd, 0);
    seconds += grids * (s.presmooth * kPresmoothSeconds + seamKept * kSeamPresmoothSeconds);
    steps += grids * kPresmoothSteps * (double(s.presmooth) + seamKept);
  }
  for (int32_t l = 1; l <= levels; ++l) {
    const double made = std::ldexp(grids, 2 * l);
    seconds += made * kLevelSeconds;
    steps += made / 4 * kLevelStepsPerOld;
  }
  const int32_t iterations = std::max(s.minSurf, 0);
  seconds += finished * (iterations * kMinimalSurfaceSeconds +
                         std::max(s.knotWidth, 0) * kKnotBandSeconds);
  steps += finished * kMinimalSurfaceSteps * iterations;
  cost.seconds = seconds;
  cost.steps = Steps(steps);
  return cost;
}

TWorkCost RefineCost(int64_t verts, int64_t edges, int64_t faces) {
  TWorkCost cost;
  verts = std::max<int64_t>(verts, 0);
  edges = std::max<int64_t>(edges, 0);
  faces = std::max<int64_t>(faces, 0);
  const double made = D(verts) + D(edges) + D(faces);
  cost.vertices = Steps(std::max(made, 4 * D(faces)));
  cost.seconds = made * (kLevelSeconds + kFinishSeconds);
  cost.steps = Steps(2 * D(faces) + 2 * D(edges) + D(verts));
  return cost;
}

TWorkCost ImageExportCost(const TExportSettings& s, int64_t panelW, int64_t panelH,
                          int64_t sceneVertices) {
  TWorkCost cost;
  // The picture is read in multiples of 4 pixels, as the export reads it.
  const double pixels = D(std::max<int64_t>(panelW, 0) / 4 * 4) *
                        D(std::max<int64_t>(panelH, 0) / 4 * 4);
  const double tiles = D(std::max(s.scale, 1)) * std::max(s.scale, 1);
  const double renderings = tiles * std::max(s.antialias, 1) * std::max(s.antialias, 1);
  const int32_t spread = 2 * FilterRadius(s) + 1;
  const double perRendering = kRenderingSeconds + pixels * (kPixelSeconds + spread * kSpreadSeconds) +
                              D(std::max<int64_t>(sceneVertices, 0)) * kSceneVertexSeconds;
  cost.seconds =
      kExportSetupSeconds + renderings * perRendering + tiles * pixels * kPicturePixelSeconds;
  cost.steps = Steps(renderings);
  return cost;
}

int64_t SceneVertices(const TSeiffert& model, const TSettings& settings, int32_t refineCount,
                      bool racing) {
  int64_t ring = kMaxTubeRing;
  try {
    ring = std::max(TubeRingSize(settings, refineCount, racing), 0);
  } catch (const RangeError&) {
    // A ring too wide to draw is refused by the frame; the estimate takes the widest.
  }
  int64_t linkVerts = 0;
  for (const TLinkLine& line : model.links) linkVerts += std::max(line.nVerts, 0);
  return std::max(model.mesh.nVerts, 0) + linkVerts * ring;
}

double SceneDrawSeconds(int64_t vertices) { return D(std::max<int64_t>(vertices, 0)) * kDrawSeconds; }

std::string AboutDuration(double seconds) {
  // NaN and the infinities count as the longest; the counts stay far inside int64_t.
  const double s = std::isnan(seconds) ? 1e12 : std::clamp(seconds, 0.0, 1e12);
  const auto about = [](double n, const char* unit) {
    const auto whole = static_cast<int64_t>(std::max(1.0, std::nearbyint(n)));
    return "about " + std::to_string(whole) + " " + unit + (whole == 1 ? "" : "s");
  };
  if (s < 60) return about(s, "second");
  if (s < 2 * 3600) return about(s / 60, "minute");
  if (s < 2 * 86400) return about(s / 3600, "hour");
  return about(s / 86400, "day");
}

std::string LongWorkQuestion(double seconds) {
  return "This will take " + AboutDuration(seconds) + ". Go on?";
}
