#pragma once
// The surface lay-out model: Seifert disks joined by half-twisted bands, plus the mesh and the
// link lines built from them. Disks and bands are numbered from 1; element 0 is unused.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/settings.h"
#include "core/vec3.h"
#include "diagram/linkDiagram.h"
#include "mesh/meshModel.h"

// A disk holds at most this many band ends.
constexpr int32_t kMaxBandEnds = 50;

// A rows-by-columns table of vertex indices (kNone = empty).
using TPntGrid = std::vector<std::vector<int32_t>>;

// Where a band end lives: the disk's number and the position in its end table.
struct TEndRef {
  int32_t disk = 0;
  int32_t end = kNone;
  bool operator==(const TEndRef&) const = default;
};

struct TDiskTube {
  int32_t slot = 0;
  double row = 0;
  Vec3 anchor;
  uint8_t endFlag = 0;   // 1 for the upper end of a stacked band
  int32_t disk = 0;      // the disk that holds this end
  int32_t tube = 0;      // the band
  std::vector<int32_t> ring;  // end ring on a T-joint disk
  int32_t layoutSlot = 0;     // `slot` as the lay-out gave it, before the mesh builder's grid
};

struct TDisk {
  Vec3 centre;
  Vec3 normal;
  int32_t nSlots = 0;
  int32_t nRings = 0;
  double diameter = 0;
  double height = 0;
  int32_t nEnds = 0;
  std::array<TDiskTube, kMaxBandEnds> ends{};
  TPntGrid grid;
  Vec3 top, bottom;
  uint8_t side = 1;
  uint8_t visited = 0;
  int32_t layoutSlots = 0;  // `nSlots` as the lay-out gave it, before the mesh builder's grid
};

struct TTube {
  TEndRef endA, endB;
  int32_t twist = 0;
  // A band of the split lay-out between its two stacks: it hangs below the disks it joins.
  bool hangs = false;
  // The disks a merged band ("Multi-twist bands") passed before the merge, from endA to endB:
  // for each, the rim points where the band entered and left it, with its heading there.
  struct TWaypoint {
    Vec3 point, heading;
  };
  std::vector<TWaypoint> via;
  // A band of the Diagram lay-out follows its drawing: the points its centre line passes
  // between its two ends, from endA to endB (empty elsewhere).
  std::vector<Vec3> route;
  TPntGrid grid;
  bool sameSide = false;
  int32_t nAcross = 0;
  int32_t nAlong = 0;
};

struct TSeiffert {
  std::string text;
  std::vector<int32_t> gen;
  std::vector<int32_t> power;
  int32_t nStrands = 1;
  int32_t nCross = 0;
  int32_t nDisks = 0;
  int32_t nTubes = 0;
  int32_t nLinks = 0;
  int32_t knotWidth = 0;  // the "Double knot" width the mesh was built with, after limiting
  // The PD code the Diagram lay-out drew (disk c + 1 its Seifert circle c, band k + 1 its
  // crossing k); empty for every other lay-out.
  std::vector<std::array<int32_t, 4>> diagramCode;
  std::vector<TDisk> disks;
  std::vector<TTube> tubes;
  std::vector<TLinkLine> links;
  TMesh mesh;

  TDisk& Disk(int32_t i);
  const TDisk& Disk(int32_t i) const;
  TTube& Tube(int32_t i);
  const TTube& Tube(int32_t i) const;
  TDiskTube& End(const TEndRef& r);
  const TDiskTube& End(const TEndRef& r) const;
};

// Sizes the disk and band arrays for n disks and m bands (plus the unused element 0),
// clearing every element.
void ResizeLayout(TSeiffert& model, int32_t nDisks, int32_t nTubes);

// Appends a band end to disk d and returns its place; a 51st end is a RangeError.
TEndRef AddEnd(TSeiffert& model, int32_t d, int32_t tube, int32_t slot, uint8_t endFlag);

// The band end at the other end of e's band.
TEndRef OtherEnd(const TSeiffert& model, const TEndRef& e);

// A disk of a lay-out: axis +z, three rings, no band ends yet.
void InitDisk(TDisk& disk, const Vec3& centre, double diameter, double height, int32_t nSlots,
              uint8_t side = 1);

// One disk at the origin, no bands: the surface of a word without letters.
void LayoutTrivial(TSeiffert& model, const TSettings& settings);

// Orders a disk's ends by ascending slot (stable), re-aiming the bands at the moved ends.
void SortEnds(TSeiffert& model, int32_t disk);

// Sets every disk's side from the parity of the band twists, starting each part at side 1.
void PropagateSides(TSeiffert& model);

// Remove one disk or band, moving the later ones down and mending references.
void DeleteDisk(TSeiffert& model, int32_t index);
void DeleteTube(TSeiffert& model, int32_t index);

// One disk per strand stacked along z, one band per crossing.
void LayoutStacked(TSeiffert& model, const TSettings& settings);

// The braid in the plane z = 0: two disks per crossing, chained along each strand. More than
// 500 crossings is a RangeError.
void LayoutFlat(TSeiffert& model, const TSettings& settings);

// The canonical surface of a planar diagram (a checked PD code): one disk per Seifert circle
// (the circles of a region side by side in one plane, one level above the disk of the circle
// around them, which holds them all), placed region by region by barycentric drawings, one band
// per crossing with a half twist against the crossing's sign, each band following its drawn
// path (TTube::route). A circle of more than 50 crossings, or a drawing that leaves a circle no
// room, is a RangeError.
void LayoutDiagram(TSeiffert& model, const TSettings& settings, const TPDCode& pd);

// The rotations of the split lay-out's two stacks: read from the rotation fields, and written
// back by the search when autoTwist is set.
struct TSplitRotation {
  bool autoTwist = true;
  int32_t r1 = 1;  // left stack; both stacks where they are folded (see LayoutSplit)
  int32_t r2 = 1;  // right stack, where the stacks are not folded
};

// The stacked lay-out cut into two stacks at strand settings.splitAt. From strand 3 on, and at
// strand 2 without the search, the lower stack is folded over beside the other and both turn by
// r1.
void LayoutSplit(TSeiffert& model, const TSettings& settings, TSplitRotation& rotation);

// Lay-out post-processing. ReduceTwists cancels pairs of opposite twists on disks that carry
// only those two bands; MergeTwoBandDisks replaces the highest such disk whose two bands can be
// one without changing the boundary by one band carrying both twists (false when none is left);
// ReslotEnds moves an end that faces straight away from its partner two slots aside.
void ReduceTwists(TSeiffert& model);
bool MergeTwoBandDisks(TSeiffert& model);
void ReslotEnds(TSeiffert& model, int32_t disk);
// Whether a merged band follows the disks it passed before the merge: only where they and its
// own disks lie in one plane (a flat lay-out), where a band drawn straight between its ends
// would cut across other disks in that plane. The length of the way it then goes, from disk
// centre over the waypoints to disk centre.
bool FollowsWaypoints(const TSeiffert& model, const TTube& tube);
double WaypointLength(const TSeiffert& model, const TTube& tube);
// Every disk has exactly three band ends (true without disks).
bool AllDisksThreeEnds(const TSeiffert& model);
// The lay-out has disks, and three ends on each when T-joints are asked for.
bool LayoutUsable(const TSeiffert& model, const TSettings& settings);

// Checks the model's invariants (ends and bands refer to each other, slots in range);
// returns an empty string when they hold, else a description of the first fault.
std::string CheckLayoutInvariants(const TSeiffert& model);
