#pragma once
// Turns the surface lay-out into the closed quad mesh whose seams are the knot.

#include <cstdint>
#include <functional>
#include <string>

#include "core/settings.h"
#include "surface/seifert.h"

// Largest vertex (and face) storage a build may ask for: with the edges about 4 GiB. Beyond it
// the build is refused before anything is allocated.
constexpr int64_t kMaxMeshCapacity = 16'000'000;

// What one unit of that storage costs: a vertex and a face record, two edges, four fan entries
// and the scratch of a subdivision pass.
constexpr int64_t kMeshBytesPerVertex =
    sizeof(TVertex) + sizeof(TFace) + 2 * sizeof(TEdge) + 4 * sizeof(int32_t) + 32;

// The machine's physical memory in bytes (0 when it cannot be told).
int64_t PhysicalMemoryBytes();

// The storage a build may ask for on a machine with `memoryBytes` of memory: the mesh may take
// half of it, and never more than kMaxMeshCapacity.
int64_t MeshCapacityLimit(int64_t memoryBytes);

// The message for a mesh of `vertices` that cannot be built: its size and the controls that
// make it smaller.
std::string MeshTooLargeMessage(int64_t vertices, const std::string& reason);

// Told the vertex storage a build or Refine step is about to fill, before it starts: long work
// can be announced.
using TMeshSizeHook = std::function<void(int64_t vertices)>;

// Shown the grid mesh of a full build, its edges built, before the passes that refine and
// smooth it; false stops the build there.
using TGridCheck = std::function<bool(TSeiffert& model)>;

// full: a build from the lay-out (or, when smoothed, a refresh of the normals only);
// not full: one Refine step on the current mesh. racing turns on the crease normals.
// False when gridCheck stopped the build: the mesh is then the grid, without its knot band,
// link lines or normals.
bool BuildMesh(TSeiffert& model, TSettings settings, bool full, bool smoothed,
               bool racing = false, const TMeshSizeHook& sizeHook = nullptr,
               const TGridCheck& gridCheck = nullptr);

// The pieces of the build road, in the order the driver runs them.
void SetGridSizes(TSeiffert& model, const TSettings& settings);
// The vertex storage the build needs; a RangeError naming the estimate when it exceeds
// MeshCapacityLimit(memoryBytes).
int64_t MeshCapacity(const TSeiffert& model, const TSettings& settings,
                     int64_t memoryBytes = PhysicalMemoryBytes());
void MeshDisk(TSeiffert& model, int32_t disk, const TSettings& settings);
// With T-joints: a flat junction piece where the disk's three bands meet; each end gets the
// ring of piece vertices its band attaches to.
void MeshTJointDisk(TSeiffert& model, int32_t disk, const TSettings& settings);
void TJointDiskFaces(TSeiffert& model, int32_t disk, const TSettings& settings);
void MeshTube(TSeiffert& model, int32_t tube, const TSettings& settings);
void DiskFaces(TSeiffert& model, int32_t disk, const TSettings& settings);
void BandFaces(TSeiffert& model, int32_t tube, const TSettings& settings);
void KnotBand(TMesh& mesh, int32_t knotWidth);
// The widest knot band the grid carries: each pass of KnotBand widens the band on both sides of
// both seams of a band, so from a quarter of the band's faces across on, the two seams merge
// and the knot is lost (no link line, or loops around the disk cores); on a disk it is half
// its rows from rim to pole. Needs the grid sizes (SetGridSizes).
int32_t MaxKnotWidth(const TSeiffert& model, const TSettings& settings);
void TraceLinks(TSeiffert& model, double minLinkSeg);

// Width and height of a band's cross-section, compensated for presmoothing's shrinkage.
void BandSection(const TTube& tube, const TSettings& settings, double& w, double& h);
