// DT codes to hole records. The diagram lives in one vector of crossings owned by the run, and
// arms refer to each other by number, so crossings appended by Swap moves and splits never
// invalidate a reference and everything is freed however the run ends. Every walk around the
// diagram is bounded by four times the number of arms: a diagram drawn from a code that is not
// a planar knot may have walks that never close, and those are range errors, not hangs.

#include "dtCode.h"

#include <algorithm>
#include <string>
#include <vector>

#include "core/checked.h"
#include "core/rangeError.h"

namespace {

class TDiagram {
 public:
  std::vector<TCrossing> crossings;

  int32_t ArmCount() const { return static_cast<int32_t>(crossings.size()) * 4; }

  TArm& Arm(int32_t a) {
    if (a < 0 || a >= ArmCount())
      throw RangeError("the DT diagram has no arm " + std::to_string(a));
    return crossings[static_cast<size_t>(a / 4)].arms[static_cast<size_t>(a % 4)];
  }

  TCrossing& CrossingOf(int32_t a) { return crossings.at(static_cast<size_t>(Arm(a).crossing)); }

  // The arm k places further round the same crossing.
  static int32_t Rot(int32_t a, int32_t k) { return a - a % 4 + Mod(a % 4 + k, 4); }

  bool Linked(int32_t a) { return Arm(a).link != kNoArm; }

  int32_t Link(int32_t a) {
    const int32_t b = Arm(a).link;
    if (b == kNoArm)
      throw RangeError("the DT code does not draw a closed diagram (an arm of crossing " +
                       std::to_string(Arm(a).crossing + 1) + " is left open)");
    return b;
  }

  void Connect(int32_t a, int32_t b) {
    Arm(a).link = b;
    Arm(b).link = a;
  }

  // Appends a crossing with unlinked, unassigned, incoming arms; returns its list position.
  int32_t AddCrossing(bool mirror, int32_t sign) {
    if (static_cast<int32_t>(crossings.size()) >= kMaxDTDiagramCrossings)
      throw RangeError("the DT diagram grows beyond " + std::to_string(kMaxDTDiagramCrossings) +
                       " crossings");
    const int32_t c = static_cast<int32_t>(crossings.size());
    TCrossing& x = crossings.emplace_back();
    x.mirror = mirror;
    x.sign = sign;
    x.id = c + 1;
    for (int32_t i = 0; i < 4; ++i) {
      x.arms[static_cast<size_t>(i)].crossing = c;
      x.arms[static_cast<size_t>(i)].index = i;
    }
    return c;
  }

  // Counts one step of a walk; a walk longer than four times the arms never closes.
  void Tick(int64_t& steps, const char* what) {
    if (++steps > 4 * static_cast<int64_t>(ArmCount()))
      throw RangeError(std::string("the DT diagram's ") + what + " does not close");
  }
};

// The numbers of the code, its last character (the closing bracket) left out.
std::vector<int64_t> ParseDT(const std::string& code) {
  std::vector<int64_t> numbers;
  bool negative = false;
  const size_t end = code.empty() ? 0 : code.size() - 1;
  for (size_t i = 0; i < end;) {
    const char ch = code[i];
    if (ch == '-') {
      negative = true;
      ++i;
    } else if (ch >= '0' && ch <= '9') {
      // Saturates far above any position a code of kMaxDTNumbers numbers can name.
      int64_t value = 0;
      for (; i < end && code[i] >= '0' && code[i] <= '9'; ++i)
        value = std::min<int64_t>(value * 10 + (code[i] - '0'), 1000000000);
      if (numbers.size() >= static_cast<size_t>(kMaxDTNumbers))
        throw RangeError("a DT code holds at most " + std::to_string(kMaxDTNumbers) + " numbers");
      numbers.push_back(negative ? -value : value);
      negative = false;
    } else {
      ++i;
    }
  }
  if (numbers.empty()) throw RangeError("the DT code holds no numbers");
  return numbers;
}

// The diagram: one crossing per pair of positions, the edges between consecutive positions
// (searching around the diagram drawn so far where the direct arm would cross it), and the
// orientation along the knot.
TDiagram BuildDiagram(const std::string& code) {
  const std::vector<int64_t> numbers = ParseDT(code);
  const int32_t n = static_cast<int32_t>(numbers.size());
  TDiagram d;
  // Odd positions first, so that a number naming one of them is caught as a repeat.
  std::vector<int32_t> atPosition(static_cast<size_t>(2 * n + 1), -1);
  for (int32_t i = 1; i <= n; ++i)
    atPosition[static_cast<size_t>(2 * i - 1)] =
        d.AddCrossing(numbers[static_cast<size_t>(i - 1)] > 0, 0);
  for (int32_t i = 1; i <= n; ++i) {
    const int64_t number = numbers[static_cast<size_t>(i - 1)];
    const int64_t position = number < 0 ? -number : number;
    if (position == 0)
      throw RangeError("a DT number is 0 (positions run 1.." + std::to_string(2 * n) + ")");
    if (position > 2 * n)
      throw RangeError("the DT number " + std::to_string(position) + " is larger than " +
                       std::to_string(2 * n) + ", twice the count of numbers");
    if (atPosition[static_cast<size_t>(position)] != -1)
      throw RangeError("the DT number " + std::to_string(position) +
                       " names a position that is already taken");
    atPosition[static_cast<size_t>(position)] = atPosition[static_cast<size_t>(2 * i - 1)];
  }

  int32_t q = 4 * atPosition[1] + 1;
  for (int32_t i = 2; i <= 2 * n; ++i) {
    const int32_t c = atPosition[static_cast<size_t>(i)];
    int32_t s = 4 * c + i % 2;
    const bool free = !d.Linked(TDiagram::Rot(s, 1)) && !d.Linked(TDiagram::Rot(s, 3));
    if (!free && !d.Linked(TDiagram::Rot(s, 2))) {
      s = q;
      int64_t steps = 0;
      do {
        s = d.Linked(s) ? TDiagram::Rot(d.Link(s), 1) : TDiagram::Rot(s, 1);
        d.Tick(steps, "search for a crossing's free arm");
      } while (s / 4 != c);
    }
    d.Connect(q, s);
    q = TDiagram::Rot(s, 2);
  }
  d.Connect(q, 4 * atPosition[1] + 3);

  const int32_t start = 4 * atPosition[1] + 1;
  int32_t x = start;
  int64_t steps = 0;
  do {
    d.Arm(x).out = true;
    const int32_t y = d.Link(x);
    d.Arm(y).out = false;
    x = TDiagram::Rot(y, 2);
    d.Tick(steps, "walk along the knot");
  } while (x != start);
  return d;
}

// Crossing signs from the orientation at arm 1 (or 3), reversed on mirrored crossings.
void SetSigns(TDiagram& d) {
  for (TCrossing& c : d.crossings) {
    const int32_t p = 4 * (c.id - 1) + (c.arms[1].out ? 1 : 3);
    c.sign = d.Arm(TDiagram::Rot(p, -1)).out ? -1 : 1;
    if (c.mirror) c.sign = -c.sign;
  }
}

// One step along a Seifert circle: an outgoing arm turns back one place at the far end of its
// edge, an incoming one crosses the edge beside it.
int32_t Step(TDiagram& d, int32_t x, bool o) {
  return o ? TDiagram::Rot(d.Link(x), -1) : d.Link(TDiagram::Rot(x, 1));
}

// Re-orients one strand from x until the arm before y.
void Carry(TDiagram& d, int32_t x, int32_t y) {
  const bool o = d.Arm(x).out;
  int64_t steps = 0;
  while (d.Link(x) != y) {
    d.Arm(d.Link(x)).out = !o;
    x = TDiagram::Rot(d.Link(x), 2);
    d.Arm(x).out = o;
    d.Tick(steps, "strand carried by a Swap move");
  }
}

// Takes the arm a, whose orientation breaks the Seifert circle being walked, and the arm b at
// the other end of its edge through up to two new crossings S and T, and re-orients the three
// strands that pass through them.
void Swap(TDiagram& d, int32_t a) {
  const int32_t b = d.Link(a);
  const int32_t a1 = TDiagram::Rot(a, 1), a2 = TDiagram::Rot(a, 2), a3 = TDiagram::Rot(a, 3);
  const int32_t b1 = TDiagram::Rot(b, 1), b2 = TDiagram::Rot(b, 2), b3 = TDiagram::Rot(b, 3);
  const int32_t la1 = d.Link(a1), la2 = d.Link(a2), la3 = d.Link(a3);
  const int32_t lb1 = d.Link(b1), lb2 = d.Link(b2), lb3 = d.Link(b3);
  const bool m = (d.Arm(b3).index % 2 == 1) ? d.CrossingOf(b3).mirror : !d.CrossingOf(b3).mirror;
  const int32_t s = la3 != b1 ? 4 * d.AddCrossing(!m, 0) : kNoArm;
  const int32_t t = la1 != b3 ? 4 * d.AddCrossing(!m, 0) : kNoArm;
  auto sArm = [&](int32_t i) { return s == kNoArm ? kNoArm : s + i; };
  auto tArm = [&](int32_t i) { return t == kNoArm ? kNoArm : t + i; };
  const int32_t pairs[][2] = {{la2, b},         {la3, sArm(3)}, {lb1, sArm(0)}, {lb2, a},
                              {lb3, tArm(0)},   {la1, tArm(1)}, {b1, sArm(2)},  {a3, sArm(1)},
                              {a1, tArm(3)},    {b3, tArm(2)},  {b2, a2}};
  for (const auto& pair : pairs)
    if (pair[0] != kNoArm && pair[1] != kNoArm) d.Connect(pair[0], pair[1]);
  Carry(d, la2, lb2);
  Carry(d, la3, la1);
  Carry(d, lb1, lb3);
}

// Seifert circles. Returns when every circle is found or after the last allowed Swap move.
void FindSeifertCircles(TDiagram& d) {
  for (TCrossing& c : d.crossings)
    for (TArm& arm : c.arms) arm.label = -2;
  for (int32_t i = 0; i < 4; ++i) {
    const int32_t p = i, p1 = TDiagram::Rot(p, 1);
    if (d.Arm(p).out && !d.Arm(p1).out) {
      d.Arm(p).label = -1;
      d.Arm(TDiagram::Rot(p, 2)).label = -1;
      d.Arm(p1).label = 0;
      d.Arm(TDiagram::Rot(p, 3)).label = 0;
      break;
    }
  }
  int32_t disks = 0, swaps = 0;
  while (swaps < kMaxSwapMoves) {
    // The seed whose walk meets the fewest arms of the other orientation, then the shortest.
    int32_t seed = kNoArm;
    int64_t bestDiffer = 0, bestLength = 0;
    for (int32_t a = 0; a < d.ArmCount(); ++a) {
      if (d.Arm(a).label != -1) continue;
      const bool o = d.Arm(a).out;
      int64_t length = 0, differ = 0;
      int32_t x = a;
      do {
        x = Step(d, x, o);
        d.Tick(length, "walk around a Seifert circle");
        if (d.Arm(x).out != o) ++differ;
      } while (x != a);
      if (seed == kNoArm || differ < bestDiffer || (differ == bestDiffer && length < bestLength)) {
        seed = a;
        bestDiffer = differ;
        bestLength = length;
      }
    }
    if (seed == kNoArm) return;

    // The first arm against the seed's orientation is swapped, and the search starts again.
    const bool o = d.Arm(seed).out;
    int32_t x = seed;
    int64_t steps = 0;
    bool swapped = false;
    do {
      x = Step(d, x, o);
      d.Tick(steps, "walk around a Seifert circle");
      if (d.Arm(x).out != o) {
        Swap(d, x);
        ++swaps;
        swapped = true;
        break;
      }
    } while (x != seed);
    if (swapped) continue;

    // A coherent circle: its arcs get its number, the arms beside them face arms. A later
    // circle may take an arm back to a seed, so the count of circles is bounded as well.
    if (disks >= d.ArmCount()) throw RangeError("the DT diagram's Seifert circles do not end");
    ++disks;
    steps = 0;
    do {
      x = Step(d, x, o);
      d.Tick(steps, "walk around a Seifert circle");
      d.Arm(x).label = disks;
      d.Arm(TDiagram::Rot(x, 1)).label = 0;
      d.Arm(TDiagram::Rot(x, 3)).label = 0;
      TArm& opposite = d.Arm(TDiagram::Rot(x, 2));
      if (opposite.label <= 0) opposite.label = -1;
    } while (x != seed);
  }
}

int32_t FaceStep(TDiagram& d, int32_t x) { return TDiagram::Rot(d.Link(x), -1); }

// Numbers the faces through the arms labelled 0; returns the number of faces.
int32_t NumberFaces(TDiagram& d) {
  int32_t faces = 0;
  for (int32_t a = 0; a < d.ArmCount(); ++a) {
    if (d.Arm(a).label != 0) continue;
    if (faces == kMaxHoles)
      throw RangeError("the DT diagram has more than " + std::to_string(kMaxHoles) + " faces");
    ++faces;
    int32_t x = a;
    int64_t steps = 0;
    do {
      d.Arm(x).label = -faces;
      x = FaceStep(d, x);
      d.Tick(steps, "walk around a face");
    } while (x != a);
  }
  return faces;
}

// The three-sided treatment: a circle of more than three arcs gets a new crossing N that cuts off a three-arc
// part, and the rest is split again until every piece has at most three arcs.
void Split(TDiagram& d, int32_t a, int32_t& nextLabel) {
  for (int32_t depth = 0;; ++depth) {
    if (depth > d.ArmCount()) throw RangeError("the DT diagram's circle splitting does not end");
    int32_t arcs = 0;
    int32_t p = a;
    int64_t steps = 0;
    do {
      p = d.Link(TDiagram::Rot(p, 1));
      ++arcs;
      d.Tick(steps, "walk around a Seifert circle");
    } while (p != a);
    if (arcs <= 3) return;

    const int32_t q = d.Link(a);
    const int32_t r = TDiagram::Rot(d.Link(TDiagram::Rot(a, 1)), 1);
    const int32_t s = d.Link(r);
    const int32_t n = 4 * d.AddCrossing(false, 0);
    nextLabel = CheckedAdd(nextLabel, 1);
    d.Connect(s, n + 0);
    d.Arm(n + 0).label = d.Arm(TDiagram::Rot(s, -1)).label;
    d.Connect(r, n + 1);
    d.Arm(n + 1).label = nextLabel;
    d.Connect(a, n + 2);
    d.Arm(n + 2).label = d.Arm(TDiagram::Rot(a, -1)).label;
    d.Connect(q, n + 3);
    d.Arm(n + 3).label = d.Arm(a).label;
    d.Arm(TDiagram::Rot(r, -1)).label = nextLabel;
    d.Arm(a).label = nextLabel;
    for (int32_t i = 0; i < 4; ++i) d.Arm(n + i).out = !d.Arm(n + i).out;
    if (arcs <= 4) return;
    a = n + 3;
  }
}

void SplitCircles(TDiagram& d) {
  int32_t nextLabel = 0;
  for (const TCrossing& c : d.crossings)
    for (const TArm& arm : c.arms) nextLabel = std::max(nextLabel, arm.label);
  for (int32_t c = 0; c < static_cast<int32_t>(d.crossings.size()); ++c)
    for (int32_t i = 0; i < 4; ++i)
      if (d.Arm(4 * c + i).label > 0) Split(d, 4 * c + i, nextLabel);
}

}  // namespace

std::vector<TCrossing> DTCrossings(const std::string& code) {
  TDiagram d = BuildDiagram(code);
  SetSigns(d);
  return d.crossings;
}

int32_t HolesFromDT(const std::string& code, bool threeSided, THoleTable& table) {
  TDiagram d = BuildDiagram(code);
  FindSeifertCircles(d);
  const int32_t faces = NumberFaces(d);
  SetSigns(d);
  if (threeSided) SplitCircles(d);

  // The largest face (the first on ties) is the outside, label 0; later faces move down.
  int32_t outside = 0, outsideSize = 0;
  for (int32_t f = 1; f <= faces; ++f) {
    int32_t first = kNoArm;
    for (int32_t a = 0; a < d.ArmCount() && first == kNoArm; ++a)
      if (d.Arm(a).label == -f) first = a;
    if (first == kNoArm) continue;
    int64_t size = 0;
    int32_t x = first;
    do {
      x = FaceStep(d, x);
      d.Tick(size, "walk around a face");
    } while (x != first);
    if (size > outsideSize) {
      outside = f;
      outsideSize = static_cast<int32_t>(size);
    }
  }
  for (TCrossing& c : d.crossings)
    for (TArm& arm : c.arms) {
      if (outside > 0 && arm.label == -outside) arm.label = 0;
      else if (outside > 0 && arm.label < -outside) arm.label += 1;
    }
  const int32_t nHoles = std::max(faces - 1, 0);

  // Each face's border, walked from its first arm, across each crossing to the face
  // opposite, with the twist that draws that crossing.
  table = THoleTable{};
  table.nHoles = nHoles;
  for (int32_t a = 0; a < d.ArmCount(); ++a) {
    const int32_t label = d.Arm(a).label;
    if (label > 0) continue;
    THole& hole = table.Hole(-label);
    if (hole.count != 0) continue;
    std::vector<THoleBorderEntry> entries;
    int32_t y = a;
    int64_t steps = 0;
    do {
      const int32_t across = d.Arm(TDiagram::Rot(y, 2)).label;
      // A band of twist +1 is drawn as a negative crossing.
      entries.push_back({across < 0 ? -across : across, -d.CrossingOf(y).sign});
      y = FaceStep(d, y);
      d.Tick(steps, "walk around a face");
    } while (y != a);
    SetHoleBorder(hole, -label, entries);
  }

  // Records by entry count, largest first, and the neighbours renumbered to match.
  std::array<int32_t, kMaxHoles + 1> place{};
  for (int32_t h = 0; h <= kMaxHoles; ++h) place[static_cast<size_t>(h)] = h;
  std::array<int32_t, kMaxHoles + 1> at = place;  // at[p]: the old number of the record at p
  for (int32_t i = 0; i < nHoles; ++i)
    for (int32_t j = i + 1; j <= nHoles; ++j)
      if (table.Hole(i).count < table.Hole(j).count) {
        std::swap(table.Hole(i), table.Hole(j));
        std::swap(at[static_cast<size_t>(i)], at[static_cast<size_t>(j)]);
      }
  for (int32_t p = 0; p <= nHoles; ++p) place[static_cast<size_t>(at[static_cast<size_t>(p)])] = p;
  table.outside = place[0];  // the sort may move the outside away from record 0
  for (int32_t h = 0; h <= nHoles; ++h) {
    THole& hole = table.Hole(h);
    hole.id = h;
    for (int32_t k = 1; k <= hole.count; ++k) {
      int32_t& nb = hole.neighbour[static_cast<size_t>(k)];
      if (nb >= 0 && nb <= kMaxHoles) nb = place[static_cast<size_t>(nb)];
    }
  }
  return nHoles;
}
