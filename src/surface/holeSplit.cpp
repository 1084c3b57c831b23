// The hole splitting for lay-outs whose holes come from a knot code: a hole with two or three
// neighbours, all of them holes, cannot sit on the grid as a strip with a T-joint at each side,
// so neighbours are halved until it has four.

#include <string>
#include <utility>
#include <vector>

#include "core/checked.h"
#include "core/rangeError.h"
#include "reducedFlatLayout.h"

namespace {

using TEntry = THoleBorderEntry;

std::vector<TEntry> Entries(const THole& hole) {
  std::vector<TEntry> list;
  for (int32_t k = 1; k <= hole.count; ++k)
    list.push_back({hole.neighbour[static_cast<size_t>(k)], hole.twist[static_cast<size_t>(k)]});
  return list;
}

void SetEntries(THole& hole, int32_t h, const std::vector<TEntry>& list) {
  if (list.size() > static_cast<size_t>(kMaxHoleBorder))
    throw RangeError("splitting the holes gives hole " + std::to_string(h) + " " +
                     std::to_string(list.size()) + " border entries; at most 20 fit");
  hole.count = static_cast<int32_t>(list.size());
  for (size_t k = 0; k < list.size(); ++k) {
    hole.neighbour[k + 1] = list[k].neighbour;
    hole.twist[k + 1] = list[k].twist;
  }
}

// Entry x of a border with positions 1..size taken cyclically, as a 0-based index.
size_t At(const std::vector<TEntry>& list, int64_t x) {
  return static_cast<size_t>(Mod(x - 1, static_cast<int32_t>(list.size())));
}

// The entry of hole `in` that faces `a` between `before` and `after` (counter-clockwise
// around `in`); the first entry facing `a` when none has that context, as can happen
// where borders repeat.
size_t FindEntry(const std::vector<TEntry>& list, int32_t in, int32_t a, int32_t before,
                 int32_t after) {
  const int64_t n = static_cast<int64_t>(list.size());
  for (int64_t x = 1; x <= n; ++x)
    if (list[At(list, x)].neighbour == a && list[At(list, x - 1)].neighbour == before &&
        list[At(list, x + 1)].neighbour == after)
      return At(list, x);
  for (int64_t x = 1; x <= n; ++x)
    if (list[At(list, x)].neighbour == a) return At(list, x);
  throw RangeError("the hole borders disagree: region " + std::to_string(in) +
                   " does not list hole " + std::to_string(a) + " as a neighbour");
}

// Orders the holes to split around s: unsplit holes first, preferring those that keep at least
// four entries once halved, then the larger.
bool Before(const THoleTable& t, int32_t a, int32_t b) {
  const THole &ha = t.Hole(a), &hb = t.Hole(b);
  if (ha.placed == 0 && hb.placed != 0) {
    if (ha.count > 3) return true;
    if (hb.count > 3) return false;
  }
  return ha.count > hb.count;
}

// Splits hole a along a line from its border with s to the middle of its border: a keeps
// the half that faces s, the new hole l the other half.
void SplitHole(THoleTable& t, int32_t s, int32_t a) {
  const std::vector<TEntry> border = Entries(t.Hole(a));
  const int64_t count = static_cast<int64_t>(border.size());
  int64_t b = 0;
  for (int64_t x = 1; x <= count && b == 0; ++x)
    if (border[At(border, x)].neighbour == s) b = x;
  if (b == 0)
    throw RangeError("the hole borders disagree: hole " + std::to_string(a) +
                     " does not list hole " + std::to_string(s) + " as a neighbour");
  const int64_t f = b + count / 2;
  const auto nb = [&](int64_t x) { return border[At(border, x)].neighbour; };

  if (t.nHoles == kMaxHoles)
    throw RangeError("splitting the holes needs more than 20 holes");
  const int32_t l = ++t.nHoles;
  t.Hole(a).placed = 1;
  THole& made = t.Hole(l);
  made = THole{};
  made.placed = 1;
  made.id = l;

  // Where s and g met a, the border now meets a and l; the twist stays with a.
  {
    std::vector<TEntry> list = Entries(t.Hole(s));
    const size_t k = FindEntry(list, s, a, nb(b + 1), nb(b - 1));
    list.insert(list.begin() + static_cast<std::ptrdiff_t>(k) + 1, TEntry{l, 0});
    SetEntries(t.Hole(s), s, list);
  }
  const int32_t g = nb(f);
  {
    std::vector<TEntry> list = Entries(t.Hole(g));
    const size_t k = FindEntry(list, g, a, nb(f + 1), nb(f - 1));
    list.insert(list.begin() + static_cast<std::ptrdiff_t>(k), TEntry{l, 0});
    SetEntries(t.Hole(g), g, list);
  }
  // The regions along l's half now face l.
  for (int64_t x = f + 1; Mod(x - b, static_cast<int32_t>(count)) != 0; ++x) {
    const int32_t other = nb(x);
    std::vector<TEntry> list = Entries(t.Hole(other));
    list[FindEntry(list, other, a, nb(x + 1), nb(x - 1))].neighbour = l;
    SetEntries(t.Hole(other), other, list);
  }

  std::vector<TEntry> kept, taken;
  for (int64_t x = b; x <= f; ++x) kept.push_back(border[At(border, x)]);
  kept.push_back({l, 0});
  // From f round to b; both ends are shared with a, which keeps their twists.
  const int64_t end = f == b ? f : b + count;
  for (int64_t x = f; x <= end; ++x)
    taken.push_back({nb(x), x == f || x == end ? 0 : border[At(border, x)].twist});
  taken.push_back({a, 0});
  SetEntries(t.Hole(a), a, kept);
  SetEntries(t.Hole(l), l, taken);
}

}  // namespace

void OutsideToRecordZero(THoleTable& table) {
  const int32_t o = table.outside;
  if (o < 0 || o > table.nHoles)
    throw RangeError("the outside is record " + std::to_string(o) + " of a table of " +
                     std::to_string(table.nHoles) + " holes");
  if (o == 0) return;
  std::swap(table.Hole(0), table.Hole(o));
  for (int32_t h = 0; h <= table.nHoles; ++h) {
    THole& hole = table.Hole(h);
    for (int32_t k = 1; k <= hole.count && k <= kMaxHoleBorder; ++k) {
      int32_t& v = hole.neighbour[static_cast<size_t>(k)];
      v = v == o ? 0 : v == 0 ? o : v;
    }
  }
  table.Hole(0).id = 0;
  table.Hole(o).id = o;
  table.outside = 0;
}

void SplitHoles(THoleTable& t) {
  for (int32_t h = 1; h <= t.nHoles; ++h) {
    t.Hole(h).placed = 0;
    t.Hole(h).id = h;
  }
  const int32_t n = t.nHoles;
  for (int32_t s = 1; s <= n; ++s) {
    const std::vector<TEntry> border = Entries(t.Hole(s));
    if (border.size() != 2 && border.size() != 3) continue;
    bool allHoles = true;
    for (const TEntry& e : border) allHoles = allHoles && e.neighbour != 0;
    if (!allHoles) continue;

    std::vector<int32_t> q;
    for (const TEntry& e : border) q.push_back(e.neighbour);
    for (size_t i = 0; i + 1 < q.size(); ++i)
      for (size_t j = i + 1; j < q.size(); ++j)
        if (Before(t, q[j], q[i])) std::swap(q[i], q[j]);
    for (size_t i = 0; i < 4 - border.size(); ++i) SplitHole(t, s, q[i]);
  }
}
