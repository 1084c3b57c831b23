// The reduced flat lay-out. The holes of the braid are placed one by one on a square grid: each
// becomes a strip of cells, and the cells around the strip are set to its neighbours in border
// order, which fixes where later holes go. Disks sit at the grid corners where three regions
// meet; bands follow the borders between regions.

#include "reducedFlatLayout.h"

#include <algorithm>
#include <string>
#include <vector>

#include "core/checked.h"
#include "core/rangeError.h"

namespace {

constexpr int32_t kGridSize = 101;     // cells 0..100 in each direction
constexpr int32_t kMaxBraidSize = 99;  // crossings and strands; the region grid needs one more
constexpr int32_t kMaxRingCells = 100;
constexpr int32_t kCentre = 50;  // where the first hole goes

std::string HoleName(int32_t h) { return "hole " + std::to_string(h); }

// A 101 x 101 grid of integers; every access is checked, so a lay-out that wanders off the
// grid is a RangeError rather than a stray write.
class TGrid {
 public:
  TGrid(const char* name, int32_t fill)
      : name_(name), cells_(static_cast<size_t>(kGridSize) * kGridSize, fill) {}

  int32_t& operator()(int32_t x, int32_t y) { return cells_[Index(x, y)]; }
  int32_t operator()(int32_t x, int32_t y) const { return cells_[Index(x, y)]; }

 private:
  size_t Index(int32_t x, int32_t y) const {
    if (x < 0 || x >= kGridSize || y < 0 || y >= kGridSize)
      throw RangeError(std::string("the reduced flat lay-out's ") + name_ + " has no cell (" +
                       std::to_string(x) + ", " + std::to_string(y) + "): positions run 0..100");
    return static_cast<size_t>(x) * kGridSize + static_cast<size_t>(y);
  }

  const char* name_;
  std::vector<int32_t> cells_;
};

// Half twists of crossing k: the letter's sign times its count.
int32_t CrossingTwist(const TSeiffert& model, int32_t k) {
  const int32_t g = At(model.gen, k, "crossing list");
  const int32_t sign = g > 0 ? 1 : (g < 0 ? -1 : 0);
  return CheckedMul(sign, At(model.power, k, "crossing list"));
}

// The border of hole h, whose run of cells in row r of the region grid starts at column s:
// the crossing on its left, its lower strand left to right, the crossing on its right, its
// upper strand right to left.
std::vector<THoleBorderEntry> BraidBorder(const TSeiffert& model, const TGrid& g, int32_t h,
                                          int32_t r, int32_t s) {
  int32_t e = s;
  while (g(e + 1, r) == h) ++e;

  std::vector<THoleBorderEntry> list;
  list.push_back({g(s - 1, r), CrossingTwist(model, s)});

  // Along each strand the twists are those of the flat lay-out's row bands: +1 where the
  // strand leaves the hole's crossing pair for the neighbouring gap, -1 where it comes back.
  const size_t lower = list.size();
  int32_t firstChange = -1;
  for (int32_t j = s; j <= e; ++j) {
    list.push_back({g(j, r - 1), 0});
    if (firstChange < 0 && g(j, r - 1) != g(j + 1, r - 1)) firstChange = j;
  }
  if (firstChange >= 0) {
    list[lower + static_cast<size_t>(firstChange - s)].twist = 1;
    list[lower + static_cast<size_t>(e - s)].twist = -1;
  }

  list.push_back({g(e + 1, r), CrossingTwist(model, e + 1)});

  const size_t upper = list.size();
  firstChange = -1;
  for (int32_t j = e; j >= s; --j) {
    list.push_back({g(j, r + 1), 0});
    if (firstChange < 0 && g(j, r + 1) != g(j - 1, r + 1)) firstChange = j;
  }
  if (firstChange >= 0) {
    list[upper + static_cast<size_t>(e - firstChange)].twist = 1;
    list[upper + static_cast<size_t>(e - s)].twist = -1;
  }
  return list;
}

// Border entry numbers of a hole run 1..count cyclically.
int32_t NextEntry(const THole& hole, int32_t k) { return Mod(k, hole.count) + 1; }
int32_t PrevEntry(const THole& hole, int32_t k) { return k - 1 == 0 ? hole.count : k - 1; }
int32_t WrapEntry(const THole& hole, int64_t k) { return Mod(k - 1, hole.count) + 1; }

// The placement grid: hole numbers, 0 for the outside, -1 for empty cells.
struct TPlacement {
  THoleTable& table;
  TGrid p{"placement grid", -1};
  int32_t minX = kCentre, maxX = kCentre, minY = kCentre, maxY = kCentre;
};

void SetCell(TPlacement& pl, int32_t x, int32_t y, int32_t v) {
  int32_t& cell = pl.p(x, y);
  THole& hole = pl.table.Hole(v);
  if (cell != v) {
    hole.cells = CheckedAdd(hole.cells, 1);
    cell = v;
  }
  if (hole.placed == 0) hole.placed = 1;
  hole.lastX = x;
  hole.lastY = y;
}

// A filled table must name only its own records, or placement would chase regions that
// are not there.
void CheckHoleTable(const THoleTable& table) {
  if (table.nHoles < 0 || table.nHoles > kMaxHoles)
    throw RangeError("the reduced flat lay-out holds at most 20 holes (the table has " +
                     std::to_string(table.nHoles) + ")");
  for (int32_t h = 0; h <= table.nHoles; ++h) {
    const THole& hole = table.Hole(h);
    if (hole.count < 0 || hole.count > kMaxHoleBorder)
      throw RangeError("the reduced flat lay-out holds at most 20 border entries on one hole (" +
                       HoleName(h) + " has " + std::to_string(hole.count) + ")");
    for (int32_t k = 1; k <= hole.count; ++k) {
      const int32_t v = hole.neighbour[static_cast<size_t>(k)];
      if (v < 0 || v > table.nHoles)
        throw RangeError("the reduced flat lay-out's " + HoleName(h) + " borders region " +
                         std::to_string(v) + ", outside 0.." + std::to_string(table.nHoles));
    }
  }
}

// Cells of the first hole and the order in which its neighbours go around it, by its count:
// n is the neighbour number, 0 for the hole's own cells.
struct TStartCell {
  int32_t x, y, n;
};

const std::vector<TStartCell>& StartCells(int32_t count) {
  static const std::vector<TStartCell> none;
  static const std::vector<TStartCell> cells[] = {
      {{50, 50, 0}, {50, 51, 1}, {49, 50, 1}, {50, 49, 1}, {51, 50, 2}},
      {{50, 50, 0}, {49, 50, 1}, {50, 49, 1}, {51, 50, 2}, {50, 51, 3}},
      {{50, 50, 0}, {50, 49, 1}, {51, 50, 2}, {50, 51, 3}, {49, 50, 4}},
      {{50, 50, 0}, {51, 50, 0}, {50, 49, 1}, {51, 49, 1}, {52, 50, 2}, {51, 51, 3},
       {50, 51, 4}, {49, 50, 5}},
      {{50, 50, 0}, {51, 50, 0}, {50, 49, 1}, {51, 49, 2}, {52, 50, 3}, {51, 51, 4},
       {50, 51, 5}, {49, 50, 6}},
  };
  return count >= 2 && count <= 6 ? cells[count - 2] : none;
}

// Picks and lays the first hole at the grid centre; false when its count places nothing.
bool PlaceFirstHole(TPlacement& pl) {
  THoleTable& t = pl.table;
  if (t.nHoles == 0) return false;
  int32_t a = 1;
  for (int32_t i = 2; i <= t.nHoles; ++i) {
    const int32_t ca = t.Hole(a).count, ci = t.Hole(i).count;
    if (ca == 4) break;  // a four-sided hole is kept once found
    if (ci == 4 || ci == 6 || (ci == 5 && ca != 5 && ca != 6) || ci < ca) a = i;
  }
  THole& hole = t.Hole(a);
  hole.placed = 2;
  hole.lastX = hole.lastY = kCentre;
  hole.minX = hole.maxX = hole.minY = hole.maxY = kCentre;

  // Neighbours are counted from the first entry that faces the outside.
  int32_t c = 1;
  for (int32_t k = 1; k <= hole.count; ++k)
    if (hole.neighbour[static_cast<size_t>(k)] == 0) {
      c = k;
      break;
    }
  const std::vector<TStartCell>& cells = StartCells(hole.count);
  for (const TStartCell& cell : cells) {
    if (cell.n == 0) {
      pl.p(cell.x, cell.y) = a;  // the hole's own cells do not count as cells set to it
      continue;
    }
    int32_t k = c;
    for (int32_t i = 1; i < cell.n; ++i) k = NextEntry(hole, k);
    SetCell(pl, cell.x, cell.y, hole.neighbour[static_cast<size_t>(k)]);
  }
  return !cells.empty();
}

// The next hole to place: one that some cell carries, preferring four-sided holes, then fewer
// border entries, then more cells already set to it. 0 when there is none.
int32_t ChooseNextHole(const THoleTable& t) {
  int32_t j = 0;
  for (int32_t i = 1; i <= t.nHoles; ++i) {
    const THole& hi = t.Hole(i);
    if (hi.placed != 1) continue;
    if (j == 0) {
      j = i;
      continue;
    }
    const THole& hj = t.Hole(j);
    if (hj.count == 4) continue;
    if (hi.count == 4 || hi.count < hj.count || (hi.count == hj.count && hi.cells > hj.cells))
      j = i;
  }
  return j;
}

struct TRingCell {
  int32_t x, y, value, match;
};

// The border entry of hole facing region v when exactly one entry does, else -1.
int32_t MatchEntry(const THole& hole, int32_t v) {
  int32_t match = -1, found = 0;
  for (int32_t k = 1; k <= hole.count; ++k)
    if (hole.neighbour[static_cast<size_t>(k)] == v) {
      match = k;
      ++found;
    }
  return found == 1 ? match : -1;
}

// Places hole j as a strip and writes its neighbours around it; false when the strip cannot
// take all of its borders, which ends the placement.
bool AddHole(TPlacement& pl, int32_t j) {
  THole& h = pl.table.Hole(j);
  h.placed = 2;

  // The strip is the run of j's cells through its last cell, grown into empty cells until its
  // ring has a cell for every border entry.
  h.minX = h.maxX = h.lastX;
  h.minY = h.maxY = h.lastY;
  while (pl.p(h.maxX + 1, h.minY) == j) ++h.maxX;
  while (pl.p(h.minX - 1, h.minY) == j) --h.minX;
  while (pl.p(h.minX, h.maxY + 1) == j) ++h.maxY;
  while (pl.p(h.minX, h.minY - 1) == j) --h.minY;
  auto width = [&] { return h.maxX - h.minX + 1; };
  auto height = [&] { return h.maxY - h.minY + 1; };
  auto tooSmall = [&] {
    return CheckedAdd(CheckedMul(2, CheckedMul(width(), height())), 2) < h.count;
  };
  if (height() == 1) {
    while (tooSmall() && pl.p(h.maxX + 1, h.minY) == -1) SetCell(pl, ++h.maxX, h.minY, j);
    while (tooSmall() && pl.p(h.minX - 1, h.minY) == -1) SetCell(pl, --h.minX, h.minY, j);
  } else {
    while (tooSmall() && pl.p(h.minX, h.maxY + 1) == -1) SetCell(pl, h.minX, ++h.maxY, j);
    while (tooSmall() && pl.p(h.minX, h.minY - 1) == -1) SetCell(pl, h.minX, --h.minY, j);
  }
  if ((width() > 1 && height() > 1) || tooSmall()) return false;

  // The ring runs counter-clockwise around the strip, as the border entries do.
  const int32_t n = CheckedAdd(CheckedMul(2, std::max(width(), height())), 2);
  if (n > kMaxRingCells)
    throw RangeError("the reduced flat lay-out's ring around a hole holds at most 100 cells (" +
                     HoleName(j) + " needs " + std::to_string(n) + ")");
  std::vector<TRingCell> ring;
  auto add = [&](int32_t x, int32_t y) {
    const int32_t v = pl.p(x, y);
    ring.push_back({x, y, v, v < 0 ? -1 : MatchEntry(h, v)});
  };
  if (height() == 1) {
    add(h.minX - 1, h.minY);
    for (int32_t x = h.minX; x <= h.maxX; ++x) add(x, h.minY - 1);
    add(h.maxX + 1, h.minY);
    for (int32_t x = h.maxX; x >= h.minX; --x) add(x, h.minY + 1);
  } else {
    add(h.minX, h.minY - 1);
    for (int32_t y = h.minY; y <= h.maxY; ++y) add(h.maxX + 1, y);
    add(h.minX, h.maxY + 1);
    for (int32_t y = h.maxY; y >= h.minY; --y) add(h.minX - 1, y);
  }

  // Cells are numbered 1..n; an anchor is a cell matched to a neighbouring hole, which fixes
  // the entries of the cells beside it. The test reads the matches as they stand, so an entry
  // given to a cell can make it an anchor for a later rule.
  auto match = [&](int32_t i) -> int32_t& { return At(ring, i - 1, "hole ring").match; };
  auto anchor = [&](int32_t i) {
    const int32_t k = match(i);
    return k > 0 && h.neighbour[static_cast<size_t>(k)] > 0;
  };
  const int32_t m = n / 2 + 1;
  if (anchor(1)) {
    match(2) = NextEntry(h, match(1));
    match(n) = PrevEntry(h, match(1));
  } else if (anchor(2)) {
    match(1) = PrevEntry(h, match(2));
  } else if (anchor(n)) {
    match(1) = NextEntry(h, match(n));
  }
  if (anchor(m)) {
    match(m + 1) = NextEntry(h, match(m));
    match(m - 1) = PrevEntry(h, match(m));
  } else if (anchor(m + 1)) {
    match(m) = PrevEntry(h, match(m + 1));
  } else if (anchor(m - 1)) {
    match(m) = NextEntry(h, match(m - 1));
  }
  if (n == 4) {
    if (anchor(2)) {
      match(3) = NextEntry(h, match(2));
      match(1) = PrevEntry(h, match(2));
    }
    if (anchor(4)) {
      match(1) = NextEntry(h, match(4));
      match(3) = PrevEntry(h, match(4));
    }
  }

  // Fill the gaps between matched cells with the entries between theirs; spare cells go to the
  // first entry that faces the outside, so the outside absorbs the slack.
  int32_t s = 0;
  for (int32_t i = 1; i <= n && s == 0; ++i)
    if (match(i) > 0) s = i;
  if (s == 0)
    throw RangeError("the reduced flat lay-out found no cell around " + HoleName(j) +
                     " that matches one of its borders");
  int32_t a = s;
  do {
    int32_t b = a % n + 1, between = 0;
    while (match(b) <= 0) {
      b = b % n + 1;
      ++between;
    }
    const int32_t i = match(a);
    int32_t e = match(b);
    if (e < i) e += h.count;
    int32_t surplus = between - (e - i - 1);
    int32_t g = i;
    if (surplus > 0)
      for (int32_t k = i; k <= e; ++k)
        if (h.neighbour[static_cast<size_t>(WrapEntry(h, k))] == 0) {
          g = k;
          break;
        }
    int32_t current = i;
    for (int32_t x = a % n + 1; x != b; x = x % n + 1) {
      if (current == g && surplus > 0) --surplus;
      else ++current;
      match(x) = WrapEntry(h, current);
    }
    a = b;
  } while (a != s);

  for (const TRingCell& cell : ring)
    SetCell(pl, cell.x, cell.y, h.neighbour[static_cast<size_t>(cell.match)]);
  return true;
}

// Grid bounds: the box around every hole cell, never smaller than the centre cell. With
// clear, every cell of 1..100 that holds no hole becomes outside.
void GridBounds(TPlacement& pl, bool clear) {
  pl.minX = pl.maxX = pl.minY = pl.maxY = kCentre;
  for (int32_t x = 1; x < kGridSize; ++x)
    for (int32_t y = 1; y < kGridSize; ++y) {
      int32_t& v = pl.p(x, y);
      if (v > 0) {
        pl.minX = std::min(pl.minX, x);
        pl.maxX = std::max(pl.maxX, x);
        pl.minY = std::min(pl.minY, y);
        pl.maxY = std::max(pl.maxY, y);
      } else if (clear) {
        v = 0;
      }
    }
}

// The eight neighbours of a cell, counter-clockwise from the lower right.
constexpr int32_t kRoundX[8] = {1, 1, 1, 0, -1, -1, -1, 0};
constexpr int32_t kRoundY[8] = {-1, 0, 1, 1, 1, 0, -1, -1};

// Fills outside cells that form a notch between two regions, so the lay-out gets fewer
// concave corners and thus fewer needless T-joints.
void FillNotches(TPlacement& pl) {
  for (int32_t y = pl.minY; y <= pl.maxY; ++y)
    for (int32_t x = pl.minX; x <= pl.maxX; ++x) {
      if (pl.p(x, y) != 0) continue;
      int32_t r[8];
      for (int k = 0; k < 8; ++k) r[k] = pl.p(x + kRoundX[k], y + kRoundY[k]);
      for (int s = 0; s < 8; s += 2) {
        auto at = [&](int k) { return r[(s + k) % 8]; };
        if (at(0) == 0 && at(6) == 0 && at(7) == 0 && at(1) == at(2) && at(4) == at(5) &&
            at(3) != 0) {
          pl.p(x, y) = at(3);
          break;
        }
      }
    }
}

// Turns the grid clockwise so that its fullest side lies at the bottom.
void TurnFullestSideDown(TPlacement& pl) {
  int32_t full[4] = {0, 0, 0, 0};  // bottom, right, top, left
  for (int32_t x = pl.minX; x <= pl.maxX; ++x) {
    full[0] += pl.p(x, pl.minY) != 0;
    full[2] += pl.p(x, pl.maxY) != 0;
  }
  for (int32_t y = pl.minY; y <= pl.maxY; ++y) {
    full[1] += pl.p(pl.maxX, y) != 0;
    full[3] += pl.p(pl.minX, y) != 0;
  }
  int side = 0;
  for (int k = 1; k < 4; ++k)
    if (full[k] > full[side]) side = k;
  if (side == 0) return;

  // Cosine and sine of 90, 180 and 270 degrees.
  const int32_t cosT[4] = {1, 0, -1, 0}, sinT[4] = {0, 1, 0, -1};
  const int32_t ct = cosT[side], st = sinT[side];
  const int32_t cx = (pl.minX + pl.maxX) / 2, cy = (pl.minY + pl.maxY) / 2;
  const int32_t radius = std::max(pl.maxX - pl.minX, pl.maxY - pl.minY) / 2 + 2;
  const int32_t span = 2 * radius + 1;
  std::vector<int32_t> old(static_cast<size_t>(span) * static_cast<size_t>(span));
  for (int32_t u = -radius; u <= radius; ++u)
    for (int32_t v = -radius; v <= radius; ++v)
      old[static_cast<size_t>((u + radius) * span + v + radius)] = pl.p(cx + u, cy + v);
  for (int32_t u = -radius; u <= radius; ++u)
    for (int32_t v = -radius; v <= radius; ++v)
      pl.p(cx + u * ct + v * st, cy + v * ct - u * st) =
          old[static_cast<size_t>((u + radius) * span + v + radius)];
  GridBounds(pl, false);
}

// One grid corner where three regions meet, the regions counter-clockwise.
struct TCorner {
  int32_t x, y;
  std::array<int32_t, 3> regions;
};

// The disk (1-based) whose corner regions are (u, v, w) in this cyclic order; 0 when none.
int32_t FindCorner(const std::vector<TCorner>& corners, int32_t u, int32_t v, int32_t w) {
  for (size_t d = 0; d < corners.size(); ++d) {
    const std::array<int32_t, 3>& r = corners[d].regions;
    for (int k = 0; k < 3; ++k)
      if (r[k] == u && r[(k + 1) % 3] == v && r[(k + 2) % 3] == w)
        return static_cast<int32_t>(d + 1);
  }
  return 0;
}

// The slot of the grid edge that leaves the corner with region u on one side and v on the
// other (u first counter-clockwise): 0 towards +x, 6 towards +y, 4 towards -x, else 2.
int32_t EdgeSlot(const TGrid& p, const TCorner& c, int32_t u, int32_t v) {
  const int32_t x = c.x, y = c.y;
  if (p(x + 1, y) == u && p(x + 1, y + 1) == v) return 0;
  if (p(x + 1, y + 1) == u && p(x, y + 1) == v) return 6;
  if (p(x, y + 1) == u && p(x, y) == v) return 4;
  return 2;
}

}  // namespace

THole& THoleTable::Hole(int32_t h) {
  if (h < 0 || h > kMaxHoles)
    throw RangeError("the reduced flat lay-out holds at most 20 holes (" + HoleName(h) +
                     " asked for)");
  return holes[static_cast<size_t>(h)];
}

const THole& THoleTable::Hole(int32_t h) const {
  if (h < 0 || h > kMaxHoles)
    throw RangeError("the reduced flat lay-out holds at most 20 holes (" + HoleName(h) +
                     " asked for)");
  return holes[static_cast<size_t>(h)];
}

void SetHoleBorder(THole& hole, int32_t holeNumber, const std::vector<THoleBorderEntry>& entries) {
  std::vector<THoleBorderEntry> merged;
  for (const THoleBorderEntry& entry : entries) {
    if (!merged.empty() && merged.back().neighbour == entry.neighbour)
      merged.back().twist = CheckedAdd(merged.back().twist, entry.twist);
    else
      merged.push_back(entry);
  }
  if (merged.size() > 1 && merged.back().neighbour == merged.front().neighbour) {
    merged.front().twist = CheckedAdd(merged.front().twist, merged.back().twist);
    merged.pop_back();
  }
  if (merged.size() > static_cast<size_t>(kMaxHoleBorder))
    throw RangeError("the reduced flat lay-out holds at most 20 border entries on one hole (" +
                     HoleName(holeNumber) + " has " + std::to_string(merged.size()) + ")");
  hole.count = static_cast<int32_t>(merged.size());
  for (size_t k = 0; k < merged.size(); ++k) {
    hole.neighbour[k + 1] = merged[k].neighbour;
    hole.twist[k + 1] = merged[k].twist;
  }
}

void HolesFromBraid(const TSeiffert& model, THoleTable& table) {
  if (model.nCross < 0 || model.nCross > kMaxBraidSize)
    throw RangeError("the reduced flat lay-out takes at most 99 crossings (the braid has " +
                     std::to_string(model.nCross) + ")");
  if (model.nStrands < 0 || model.nStrands > kMaxBraidSize)
    throw RangeError("the reduced flat lay-out takes at most 99 strands (the braid has " +
                     std::to_string(model.nStrands) + ")");
  table = THoleTable{};
  TGrid g("region grid", 0);

  // G[c][r] is the region after crossing c in the gap between strands r and r + 1.
  for (int32_t r = 1; r <= model.nStrands - 1; ++r) {
    int32_t previous = 0;
    for (int32_t k = 1; k <= model.nCross; ++k) {
      const int32_t gen = At(model.gen, k, "crossing list");
      if (gen != r && gen != -r) continue;
      if (previous > 0) {
        if (table.nHoles == kMaxHoles)
          throw RangeError("the reduced flat lay-out holds at most 20 holes");
        ++table.nHoles;
        for (int32_t c = previous; c < k; ++c) g(c, r) = table.nHoles;
      }
      previous = k;
    }
  }
  for (int32_t h = 1; h <= table.nHoles; ++h) table.Hole(h).id = h;

  table.Hole(0).done = true;  // the outside has no border of its own
  for (int32_t r = 1; r <= model.nStrands - 1; ++r)
    for (int32_t c = 1; c <= model.nCross - 1; ++c) {
      const int32_t h = g(c, r);
      THole& hole = table.Hole(h);
      if (hole.done) continue;
      SetHoleBorder(hole, h, BraidBorder(model, g, h, r, c));
      hole.done = true;
    }
}

int32_t LayoutFromHoles(TSeiffert& model, const TSettings& settings, THoleTable& table) {
  CheckHoleTable(table);
  for (int32_t h = 0; h <= table.nHoles; ++h) {
    table.Hole(h).placed = 0;
    table.Hole(h).cells = 0;
  }
  TPlacement pl{table};

  int32_t nPlaced = 0;
  if (PlaceFirstHole(pl)) {
    nPlaced = 1;
    for (int32_t j = ChooseNextHole(table); j != 0; j = ChooseNextHole(table)) {
      if (!AddHole(pl, j)) break;
      ++nPlaced;
      GridBounds(pl, false);
    }
  }
  GridBounds(pl, true);
  if (settings.convexFlat2) FillNotches(pl);
  TurnFullestSideDown(pl);
  for (int32_t x = pl.minX; x <= pl.maxX; ++x)
    for (int32_t y = pl.minY; y <= pl.maxY; ++y)
      if (pl.p(x, y) > 0) pl.p(x, y) = table.Hole(pl.p(x, y)).id;

  // Disks at the corners where exactly three regions meet; the disk table has 8 places per
  // crossing, the first unused.
  const int32_t diskPlaces = std::max(CheckedMul(8, model.nCross) - 1, 0);
  std::vector<TCorner> corners;
  for (int32_t x = pl.minX - 1; x <= pl.maxX + 1; ++x)
    for (int32_t y = pl.minY - 1; y <= pl.maxY + 1; ++y) {
      const int32_t around[4] = {pl.p(x, y), pl.p(x + 1, y), pl.p(x + 1, y + 1), pl.p(x, y + 1)};
      auto cell = [&](int i) { return std::max(around[i % 4], 0); };  // empty reads as outside
      TCorner corner{x, y, {}};
      int32_t changes = 0;
      for (int i = 0; i < 4; ++i)
        if (cell(i) != cell(i + 1)) {
          if (changes < 3) corner.regions[static_cast<size_t>(changes)] = cell(i);
          ++changes;
        }
      if (changes != 3) continue;
      if (static_cast<int32_t>(corners.size()) == diskPlaces)
        throw RangeError("the reduced flat lay-out holds at most " + std::to_string(diskPlaces) +
                         " disks (8 per crossing, less one)");
      corners.push_back(corner);
    }

  ResizeLayout(model, diskPlaces, 0);
  model.nDisks = static_cast<int32_t>(corners.size());
  const double pitch = settings.diskDiameter + settings.diskDistance;
  const double xoff = pitch / 2 - pitch * (pl.maxX - pl.minX) / 2;
  const double yoff = pitch / 2 - pitch * (pl.maxY - pl.minY) / 2;
  for (int32_t d = 1; d <= model.nDisks; ++d) {
    const TCorner& c = corners[static_cast<size_t>(d - 1)];
    InitDisk(model.Disk(d), Vec3((c.x - pl.minX) * pitch + xoff, (c.y - pl.minY) * pitch + yoff, 0),
             settings.diskDiameter, settings.diskHeight, 8);
  }

  // One band per border, made by the higher-numbered side (the outside is 0): it joins the
  // T-joints at the border's two ends.
  const int32_t tubePlaces = std::max(CheckedMul(3, model.nDisks) - 1, 0);
  model.tubes.assign(static_cast<size_t>(tubePlaces) + 1, TTube{});
  model.nTubes = 0;
  for (int32_t h = 1; h <= table.nHoles; ++h) {
    const THole& hole = table.Hole(h);
    for (int32_t i = 1; i <= hole.count; ++i) {
      const auto nb = [&](int32_t k) { return hole.neighbour[static_cast<size_t>(k)]; };
      const int32_t a = nb(PrevEntry(hole, i)), b = nb(i), c = nb(NextEntry(hole, i));
      if (h < b) continue;
      const int32_t d = FindCorner(corners, h, a, b), e = FindCorner(corners, h, b, c);
      if (d == 0 || e == 0) continue;
      if (model.nTubes == tubePlaces)
        throw RangeError("the reduced flat lay-out holds at most " + std::to_string(tubePlaces) +
                         " bands (3 per disk, less one)");
      const int32_t t = ++model.nTubes;
      TTube& tube = model.Tube(t);
      tube.endA = AddEnd(model, d, t, EdgeSlot(pl.p, corners[static_cast<size_t>(d - 1)], b, h), 0);
      tube.endB = AddEnd(model, e, t, EdgeSlot(pl.p, corners[static_cast<size_t>(e - 1)], h, b), 0);
      tube.twist = hole.twist[static_cast<size_t>(i)];
    }
  }
  for (int32_t d = 1; d <= model.nDisks; ++d) SortEnds(model, d);
  PropagateSides(model);
  return nPlaced;
}

void LayoutReducedFlat(TSeiffert& model, const TSettings& settings) {
  // "Flat DT" with a chosen table knot takes its holes from the knot's code instead (see the
  // pipeline); every other use starts from the braid.
  THoleTable table;
  HolesFromBraid(model, table);
  LayoutFromHoles(model, settings, table);
}
