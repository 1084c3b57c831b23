#pragma once
// Turns the surface lay-out into the closed quad mesh whose seams are the knot.

#include <cstdint>

#include "core/settings.h"
#include "surface/seifert.h"

// Largest vertex (and face) storage a build may ask for: with the edges about 4 GiB. Beyond it
// the build is refused before anything is allocated.
constexpr int64_t kMaxMeshCapacity = 16'000'000;

// full: a build from the lay-out (or, when smoothed, a refresh of the normals only);
// not full: one Refine step on the current mesh. racing turns on the crease normals.
void BuildMesh(TSeiffert& model, TSettings settings, bool full, bool smoothed,
               bool racing = false);

// The pieces of the build road, in the order the driver runs them.
void SetGridSizes(TSeiffert& model, const TSettings& settings);
int64_t MeshCapacity(const TSeiffert& model, const TSettings& settings);
void MeshDisk(TSeiffert& model, int32_t disk, const TSettings& settings);
void MeshTube(TSeiffert& model, int32_t tube, const TSettings& settings);
void DiskFaces(TSeiffert& model, int32_t disk, const TSettings& settings);
void BandFaces(TSeiffert& model, int32_t tube, const TSettings& settings);
void KnotBand(TMesh& mesh, int32_t knotWidth);
void TraceLinks(TSeiffert& model, double minLinkSeg);

// Width and height of a band's cross-section, compensated for presmoothing's shrinkage.
void BandSection(const TTube& tube, const TSettings& settings, double& w, double& h);
