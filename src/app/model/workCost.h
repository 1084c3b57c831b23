#pragma once
// What long work costs: the time a mesh build or an image export is expected to take, from
// the passes it makes over its vertices and the renderings it makes of its pixels. The window
// decides from it whether to show the busy state, build on a worker thread or ask first; the
// command line whether to announce the work.

#include <cstdint>
#include <string>

#include "core/exportFilter.h"
#include "core/settings.h"
#include "surface/seifert.h"

struct TWorkCost {
  int64_t vertices = 0;  // the vertex storage a build fills (0 for an export)
  int64_t steps = 0;     // loop steps the build reports to its progress, renderings of an export
  double seconds = 0;    // the time it is expected to take
};

// A build from the lay-out into `capacity` vertices (MeshCapacity: the grids times 4 per
// "Catm. Clark" level) with the passes `s` asks for.
TWorkCost MeshBuildCost(int64_t capacity, const TSettings& s);
// One "Refine" step of a mesh of `verts`, `edges` and `faces`.
TWorkCost RefineCost(int64_t verts, int64_t edges, int64_t faces);
// An export of a panelW x panelH panel with a scene of `sceneVertices` (mesh and link tubes):
// Scale² tiles of Anti-alias² renderings each.
TWorkCost ImageExportCost(const TExportSettings& s, int64_t panelW, int64_t panelH,
                          int64_t sceneVertices);
// The vertices a frame of `model` draws: the mesh and the link tubes' rings, as wide as
// `settings` and `refineCount` make them (racing doubles them).
int64_t SceneVertices(const TSeiffert& model, const TSettings& settings, int32_t refineCount,
                      bool racing);
// The first frame of a new mesh of `vertices`, which the window's busy state waits for.
double SceneDrawSeconds(int64_t vertices);

// Work expected to take longer than this asks first in the window and is announced on the
// command line.
constexpr double kAskWorkSeconds = 60;

// "about 1 minute", "about 4 minutes", "about 3 hours", "about 9 days".
std::string AboutDuration(double seconds);
// "This will take about N minutes. Go on?"
std::string LongWorkQuestion(double seconds);
