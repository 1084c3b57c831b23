// The mesh build driver: grid sizes, storage, disk and band builders, the mesh-wide passes,
// the knot band, the link lines and the normals.

#include "buildMesh.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <new>
#include <string>
#include <vector>

#include "buildProgress.h"
#include "closedEdges.h"
#include "core/checked.h"
#include "subdivision.h"

namespace {

// The rows a band of `rows` rows needs for its length. The settings' counts are made for a
// band between neighbouring disks of the stacked lay-out, whose centres are one pitch (height
// + distance) apart; a band between disks further apart, as in the flat and split lay-outs,
// gets as many more as they are, up to kMaxLengthFactor times as many, or it would be a few
// straight pieces.
constexpr double kMaxLengthFactor = 8;

// A band of the Diagram lay-out turns along its route: rows kRouteRowsPerWidth times the
// resolution per band width of its length, up to kMaxRouteRows.
constexpr double kRouteRowsPerWidth = 0.5;
constexpr int32_t kMaxRouteRows = 4000;
int32_t RouteRows(const TSeiffert& model, const TSettings& s, const TTube& t, int32_t rows) {
  const TDisk &a = model.Disk(t.endA.disk), &b = model.Disk(t.endB.disk);
  double length = std::max(0.0, (t.route.front() - a.centre).Length() - a.diameter / 2) +
                  std::max(0.0, (t.route.back() - b.centre).Length() - b.diameter / 2);
  for (size_t i = 1; i < t.route.size(); ++i) length += (t.route[i] - t.route[i - 1]).Length();
  const double width = std::max(s.bandWidth, s.bandHeight);
  const double wanted = std::ceil(length / width * s.resolution * kRouteRowsPerWidth);
  if (!std::isfinite(wanted) || !(width > 0)) return rows;
  return static_cast<int32_t>(std::clamp(wanted, double(rows), double(kMaxRouteRows)));
}
int32_t LengthRows(const TSeiffert& model, const TSettings& s, const TTube& t, int32_t rows) {
  if (!t.route.empty()) return RouteRows(model, s, t, rows);
  const double pitch = s.diskHeight + s.diskDistance;
  const double factor =
      (FollowsWaypoints(model, t)
           ? WaypointLength(model, t)
           : (model.Disk(t.endA.disk).centre - model.Disk(t.endB.disk).centre).Length()) /
      pitch;
  if (!(pitch > 0) || !std::isfinite(factor) || rows <= 0) return rows;
  // Stacked neighbours are one pitch apart up to the rounding of single-precision positions:
  // they keep their rows.
  const double wanted = std::ceil(rows * std::clamp(factor, 1.0, kMaxLengthFactor) - 0.01);
  if (wanted > std::numeric_limits<int32_t>::max())
    throw RangeError("a band would need more rows than a mesh can hold; lower \"Resolution\" or \"Tube extra\"");
  return static_cast<int32_t>(wanted);
}

}  // namespace

void SetGridSizes(TSeiffert& model, const TSettings& s) {
  const int32_t res = s.resolution;
  for (int32_t di = 1; di <= model.nDisks; ++di) {
    TDisk& d = model.Disk(di);
    d.layoutSlots = d.nSlots;
    for (int32_t e = 0; e < d.nEnds && e < kMaxBandEnds; ++e) d.ends[e].layoutSlot = d.ends[e].slot;
    if (s.tJoints) {
      // A junction piece has its own grid; the ends keep the lay-out's slots (0..7).
      d.nSlots = CheckedAdd(CheckedMul(4, res), 1);
      d.nRings = CheckedAdd(CheckedMul(8, res), 1);
      continue;
    }
    d.nSlots = CheckedMul(d.nSlots, res);
    d.nRings = CheckedAdd(CheckedMul(d.nRings, res), 1);
    for (int32_t e = 0; e < d.nEnds && e < kMaxBandEnds; ++e) {
      TDiskTube& end = d.ends[e];
      end.slot = CheckedMul(end.slot, res);
      const double shift = (res / 2) * s.bandShift;
      end.row = double(d.nRings / 2) + (end.endFlag ? shift : -shift);
    }
  }
  for (int32_t ti = 1; ti <= model.nTubes; ++ti) {
    TTube& t = model.Tube(ti);
    const bool slotsDiffer = model.End(t.endA).slot != model.End(t.endB).slot;
    const int32_t twist = std::abs(t.twist);
    t.nAlong = CheckedMul(CheckedAdd(CheckedMul(2, s.tubeExtra), 8), res);
    if (s.tJoints) {
      t.nAcross = CheckedMul(8, res);
      if (slotsDiffer) t.nAlong /= 2;
      t.nAlong = std::max(t.nAlong, CheckedMul(4, twist));
      if (twist >= 2) t.nAlong = std::max(t.nAlong, CheckedMul(8, twist));
    } else {
      t.nAcross = std::max((res / 4) * 8, 8);
      if (slotsDiffer) t.nAlong /= 3;
      t.nAlong = std::max(t.nAlong, CheckedMul(4, twist));
    }
    t.nAlong = LengthRows(model, s, t, t.nAlong);
    // A tube needs its two end rings at least; fewer rows would leave it open.
    if (t.nAlong < 2) t.nAlong = 2;
  }
}

int64_t PhysicalMemoryBytes() {
  const long pages = sysconf(_SC_PHYS_PAGES), pageSize = sysconf(_SC_PAGESIZE);
  if (pages <= 0 || pageSize <= 0) return 0;
  return static_cast<int64_t>(std::min<long double>(static_cast<long double>(pages) * pageSize,
                                                    std::numeric_limits<int64_t>::max() / 2));
}

int64_t MeshCapacityLimit(int64_t memoryBytes) {
  // Unknown memory leaves the fixed cap alone.
  if (memoryBytes <= 0) return kMaxMeshCapacity;
  return std::min(kMaxMeshCapacity, memoryBytes / 2 / kMeshBytesPerVertex);
}

namespace {

// Why a mesh over `limit` (MeshCapacityLimit(memoryBytes)) is refused.
std::string OverLimit(int64_t limit, int64_t memoryBytes) {
  return limit < kMaxMeshCapacity
             ? "more than the " + std::to_string(limit) + " that fit in half of this machine's " +
                   std::to_string(memoryBytes >> 20) + " MB of memory"
             : "more than the largest mesh, " + std::to_string(kMaxMeshCapacity) + " vertices";
}

}  // namespace

std::string MeshTooLargeMessage(int64_t vertices, const std::string& reason) {
  const int64_t megabytes = (vertices * kMeshBytesPerVertex + (1 << 19)) >> 20;
  return "the mesh would need about " + std::to_string(vertices) + " vertices (about " +
         std::to_string(megabytes) + " MB): " + reason +
         "; lower \"Catm. Clark\", \"Resolution\" or \"Tube extra\", or use a shorter word";
}

int64_t MeshCapacity(const TSeiffert& model, const TSettings& s, int64_t memoryBytes) {
  int64_t n = 0;
  for (int32_t di = 1; di <= model.nDisks; ++di) {
    const TDisk& d = model.Disk(di);
    n = CheckedAdd64(n, CheckedMul64(d.nSlots, d.nRings));
  }
  for (int32_t ti = 1; ti <= model.nTubes; ++ti) {
    const TTube& t = model.Tube(ti);
    n = CheckedAdd64(n, CheckedMul64(t.nAcross, t.nAlong));
  }
  if (s.catmullClark < 0) throw RangeError("\"Catm. Clark\" cannot be negative");
  const int64_t limit = MeshCapacityLimit(memoryBytes);
  const auto refuse = [&](int64_t level, int64_t count) {
    // The estimate of the whole build, for the message: every remaining level quadruples it.
    const int64_t estimate = static_cast<int64_t>(std::min<long double>(
        count * std::pow(4.0L, s.catmullClark - level), std::numeric_limits<int64_t>::max() / 2));
    return RangeError(MeshTooLargeMessage(estimate, OverLimit(limit, memoryBytes)));
  };
  for (int32_t i = 0; i < s.catmullClark; ++i) {
    if (n > limit) throw refuse(i, n);
    n *= 4;
  }
  if (n > limit) throw refuse(s.catmullClark, n);
  return n;
}

void KnotBand(TMesh& mesh, int32_t knotWidth) {
  for (int32_t i = 0; i < mesh.nVerts; ++i) mesh.verts[i].knotClass = -1;
  for (int32_t pass = 0; pass < knotWidth; ++pass) {
    for (int32_t fi = 0; fi < mesh.nFaces; ++fi) {
      const TFace& f = mesh.faces[fi];
      for (int32_t c : f.v) {
        int8_t& kc = mesh.verts[c].knotClass;
        if (kc >= 0 && kc != f.kind) kc = 2;
        else if (kc < 0) kc = static_cast<int8_t>(f.kind);
      }
    }
    for (int32_t fi = 0; fi < mesh.nFaces; ++fi) {
      TFace& f = mesh.faces[fi];
      bool same = true;
      for (int32_t c : f.v) same = same && mesh.verts[c].knotClass == f.kind;
      if (!same) f.kind = 2;
    }
  }
}

int32_t MaxKnotWidth(const TSeiffert& model, const TSettings& s) {
  // Every Catmull-Clark level doubles the faces across a band and the rows of a disk.
  const int32_t levels = std::clamp(s.catmullClark, 0, 20);
  int64_t widest = std::numeric_limits<int32_t>::max();
  for (int32_t ti = 1; ti <= model.nTubes; ++ti)
    widest = std::min(widest, ((int64_t{model.Tube(ti).nAcross} << levels) / 4) - 1);
  for (int32_t di = 1; di <= model.nDisks; ++di)
    widest = std::min(widest, ((int64_t{model.Disk(di).nRings - 1} / 2) << levels) - 1);
  return static_cast<int32_t>(std::max<int64_t>(widest, 0));
}

void TraceLinks(TSeiffert& model, double minLinkSeg) {
  TMesh& mesh = model.mesh;
  model.nLinks = 0;
  model.links.clear();
  const double minSq = minLinkSeg * minLinkSeg;
  // Each seam walk, keeping only the vertices further than minLinkSeg from the last one kept.
  for (const std::vector<int32_t>& walk : WalkSeams(mesh)) {
    TLinkLine line;
    line.verts.push_back(walk[0]);
    int32_t last = walk[0];
    for (size_t j = 1; j < walk.size(); ++j) {
      const int32_t next = walk[j];
      if ((mesh.verts[next].pos - mesh.verts[last].pos).LengthSq() > minSq) {
        line.verts.push_back(next);
        last = next;
      }
    }
    line.nVerts = static_cast<int32_t>(line.verts.size());
    model.links.push_back(std::move(line));
    ++model.nLinks;
  }
}

namespace {

void Normals(TMesh& mesh, bool racing) { ComputeNormals(mesh, racing); }

// Storage for `levels` refinements of the mesh as it is, to the vertex: each level adds a
// vertex per face and edge, two edges per edge and four per face, and four faces per face.
// That is never more than the capacity the build was allowed (a grid of n vertices has fewer
// than n faces and at most n vertices, so level l stays below n x 4^l), and it holds the room a
// presmoothing pass takes, so passes find room exactly where they did in that capacity.
void ResizeForLevels(TMesh& mesh, int32_t levels) {
  int64_t verts = mesh.nVerts, faces = mesh.nFaces, edges = mesh.nEdges;
  for (int32_t l = 0; l < levels; ++l) {
    verts = CheckedAdd64(CheckedAdd64(verts, edges), faces);
    edges = CheckedAdd64(CheckedMul64(2, edges), CheckedMul64(4, faces));
    faces = CheckedMul64(4, faces);
  }
  mesh.verts.resize(static_cast<size_t>(std::max<int64_t>(verts, mesh.nVerts)));
  mesh.faces.resize(static_cast<size_t>(std::max<int64_t>(faces, mesh.nFaces)));
}

// A pass that keeps the seams, on a mesh whose edges are built.
void ClassifiedPass(TMesh& mesh, bool refine) {
  ClassifyVertices(mesh);
  SubdivisionPassOnEdges(mesh, refine, false);
}

// BuildMesh's steps; `size` is the vertex count of the mesh being built, for the message when
// an allocation fails.
bool BuildSteps(TSeiffert& model, TSettings s, bool full, bool smoothed, bool racing,
                int64_t& size, const TMeshSizeHook& sizeHook, const TGridCheck& gridCheck) {
  TMesh& mesh = model.mesh;
  if (smoothed && full) {
    TraceLinks(model, s.minLinkSeg);
    Normals(mesh, racing);
    return true;
  }
  if (!full) {
    EnsureEdges(mesh);
    // One more level needs a vertex per vertex, edge and face, and four faces per face.
    const int64_t verts = CheckedAdd64(CheckedAdd64(mesh.nVerts, mesh.nEdges), mesh.nFaces);
    const int64_t need = std::max(verts, CheckedMul64(4, mesh.nFaces));
    const int64_t memory = PhysicalMemoryBytes(), limit = MeshCapacityLimit(memory);
    if (need > limit) throw RangeError(MeshTooLargeMessage(need, OverLimit(limit, memory)));
    size = need;
    if (sizeHook) sizeHook(need);
    PrepareRefine(mesh);
    BuildEdges(mesh);
    ClassifiedPass(mesh, true);
    TraceLinks(model, s.minLinkSeg);
    Normals(mesh, racing);
    return true;
  }

  // The disk warp and the reduced disk mesh take a disk's ends in table order as their order
  // around the rim; the split lay-out's right stack and the multi-twist reslotting leave tables
  // out of that order, which would join the bands in another order and change the knot.
  for (int32_t d = 1; d <= model.nDisks; ++d) SortEnds(model, d);
  SetGridSizes(model, s);
  const int64_t capacity = MeshCapacity(model, s);
  size = capacity;
  if (sizeHook) sizeHook(capacity);
  ReleaseOversizedStorage(mesh, capacity);
  // The grids need the level-0 storage only (with room for a presmoothing pass); the levels get
  // theirs once the grids are counted. Clear and refill rather than replace: a recompute of the
  // same knot reuses the storage.
  int64_t grids = capacity;
  for (int32_t i = 0; i < s.catmullClark && grids > 0; ++i) grids /= 4;
  const int64_t gridStorage = s.catmullClark == 0 ? capacity : std::min(capacity, 4 * grids);
  mesh.verts.clear();
  mesh.faces.clear();
  mesh.edges.clear();
  mesh.velocity.clear();
  mesh.verts.resize(static_cast<size_t>(gridStorage));
  mesh.faces.resize(static_cast<size_t>(gridStorage));
  mesh.nVerts = mesh.nFaces = mesh.nEdges = 0;

  for (int32_t d = 1; d <= model.nDisks; ++d)
    s.tJoints ? MeshTJointDisk(model, d, s) : MeshDisk(model, d, s);
  for (int32_t t = 1; t <= model.nTubes; ++t) MeshTube(model, t, s);
  for (int32_t d = 1; d <= model.nDisks; ++d)
    s.tJoints ? TJointDiskFaces(model, d, s) : DiskFaces(model, d, s);
  for (int32_t t = 1; t <= model.nTubes; ++t) BandFaces(model, t, s);

  // Edges once for the grids; every pass leaves them built for the faces it leaves, and the
  // minimal-surface iterations move vertices only.
  BuildCheck();
  BuildGridEdges(mesh);
  BuildCheck();
  if (gridCheck && !gridCheck(model)) return false;
  if (s.catmullClark > 0) ResizeForLevels(mesh, s.catmullClark);
  if (s.presmooth > 0) {
    for (int32_t i = 0; i < s.presmooth; ++i) SubdivisionPassOnEdges(mesh, false, true);
    for (int32_t i = 0; i < s.presmoothNonBnd; ++i) ClassifiedPass(mesh, false);
  }
  // The last level's edges are left to whatever reads them.
  for (int32_t i = 0; i < s.catmullClark; ++i) {
    BuildCheck();
    SubdivisionPassOnEdges(mesh, true, true,
                           i + 1 < s.catmullClark ? TNextEdges::kBuilt : TNextEdges::kDeferred);
  }
  BuildCheck();
  if (s.minSurf > 0) MinimalSurfaceIterations(mesh, s.minSurf, true);
  BuildCheck();

  model.knotWidth = std::min(std::max(s.knotWidth, 0), MaxKnotWidth(model, s));
  KnotBand(mesh, model.knotWidth);
  BuildCheck();
  TraceLinks(model, s.minLinkSeg);
  BuildCheck();
  Normals(mesh, racing);
  return true;
}

}  // namespace

bool BuildMesh(TSeiffert& model, TSettings settings, bool full, bool smoothed, bool racing,
               const TMeshSizeHook& sizeHook, const TGridCheck& gridCheck) {
  int64_t size = model.mesh.nVerts;
  try {
    return BuildSteps(model, settings, full, smoothed, racing, size, sizeHook, gridCheck);
  } catch (const std::bad_alloc&) {
    // The estimate fits the machine, but the memory free now does not hold it.
    throw RangeError(MeshTooLargeMessage(size, "more than the free memory holds"));
  }
}
