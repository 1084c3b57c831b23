#pragma once
// The reduced flat lay-out: the holes of the Seifert surface become areas of a square grid, a
// disk sits wherever three regions meet at a grid corner (a T-joint), and one band runs along
// each border between two regions, carrying the sum of the twists along that border.

#include <array>
#include <cstdint>
#include <vector>

#include "core/settings.h"
#include "seifert.h"

// Hole records 1..20 (record 0 is the outside), border entries 1..20 per hole.
constexpr int32_t kMaxHoles = 20;
constexpr int32_t kMaxHoleBorder = 20;

// One hole (or, as record 0, the outside) and the regions around it in counter-clockwise order.
struct THole {
  int32_t count = 0;   // border entries in use
  bool done = false;   // border built
  int32_t placed = 0;  // 0 not yet met, 1 some grid cell carries it, 2 placed
  int32_t cells = 0;   // grid cells set to it
  std::array<int32_t, kMaxHoleBorder + 1> neighbour{};  // region across entry k, 0 = outside
  std::array<int32_t, kMaxHoleBorder + 1> twist{};      // half twists along entry k
  int32_t lastX = 0, lastY = 0;                         // the last grid cell set to it
  int32_t minX = 0, maxX = 0, minY = 0, maxY = 0;       // its strip on the grid
  int32_t id = 0;  // the number the finished grid shows for it
};

struct THoleTable {
  int32_t nHoles = 0;
  int32_t outside = 0;  // the record that stands for the outside (0 unless a sort moved it)
  std::array<THole, kMaxHoles + 1> holes{};

  // Record 0..20; a RangeError outside.
  THole& Hole(int32_t h);
  const THole& Hole(int32_t h) const;
};

// One border entry before merging.
struct THoleBorderEntry {
  int32_t neighbour = 0;
  int32_t twist = 0;
};

// Stores a border in a hole record: runs of entries with the same neighbour become one entry
// with the sum of their twists, and a last entry facing the same region as the first is merged
// into it. More than 20 entries after merging is a RangeError.
void SetHoleBorder(THole& hole, int32_t holeNumber, const std::vector<THoleBorderEntry>& entries);

// Numbers the holes of the braid diagram (the regions between two consecutive crossings of one
// generator, gap by gap from the lowest, left to right within a gap) on a region grid and builds
// each one's border list; every id is the hole's own number. More than 99 crossings or strands,
// or more than 20 holes, is a RangeError.
void HolesFromBraid(const TSeiffert& model, THoleTable& table);

// Gives the outside record 0 again after a sort moved it to table.outside: the two records
// trade places and every neighbour number follows them.
void OutsideToRecordZero(THoleTable& table);

// Splits the neighbours of every hole with two or three border entries, all of them holes, until
// it has four: a neighbour a keeps the half of its border that faces the hole, a new hole takes
// the other half, and a twist-free border joins the two. Every hole, old or new, keeps its own
// number as `id`, which is what the placement grid shows and what the bands look corners up by.
// More than 20 holes or border entries is a RangeError, as is a border that does not list the
// hole it faces.
void SplitHoles(THoleTable& table);

// Lays the holes of a filled table (nHoles, and count, neighbour, twist, id of records
// 0..nHoles) out on the placement grid and fills nDisks, nTubes, disks and tubes of the model
// from it; the disk table holds 8 * nCross - 1 disks. Returns how many holes were placed: when
// that is less than nHoles the missing ones have no disks or bands, and when the first hole
// cannot be placed nothing is and nDisks is 0.
int32_t LayoutFromHoles(TSeiffert& model, const TSettings& settings, THoleTable& table);

// The holes of the model's braid, laid out by LayoutFromHoles.
void LayoutReducedFlat(TSeiffert& model, const TSettings& settings);
