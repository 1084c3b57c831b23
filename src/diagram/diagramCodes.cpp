#include "diagram/diagramCodes.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <map>
#include <stdexcept>

namespace {

[[noreturn]] void Refuse(const std::string& what) { throw std::invalid_argument(what); }

// Reads an integer at text[i] (optional minus); saturates far above any code we accept.
int64_t ReadInteger(const std::string& text, size_t& i) {
  bool negative = false;
  if (text[i] == '-') {
    negative = true;
    ++i;
  }
  int64_t value = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i)
    value = std::min<int64_t>(value * 10 + (text[i] - '0'), 1'000'000'000);
  return negative ? -value : value;
}

std::string CharText(char ch) {
  if (std::isprint(static_cast<unsigned char>(ch))) return std::string("'") + ch + "'";
  return "byte " + std::to_string(static_cast<unsigned char>(ch));
}

// ---- DT codes: the curve drawn in the plane one position at a time ----
//
// The drawing so far is the path from a start point S (just before position 1) through the
// positions reached to the head H. A first visit of a crossing marks a point on the path; a
// second visit must reach that point from a face it borders, and crosses the strand there from
// the left or from the right. Where the face touches both sides of the strand, both are tried.

struct TDTDrawing {
  int32_t n = 0;
  std::vector<int32_t> at;             // crossing of each position 1..2n
  std::vector<int32_t> first, second;  // positions of each crossing's visits
  std::vector<int8_t> eps;  // +1 when the second visit crosses the first from its right
  int64_t work = 0;
  // Scratch tables for one face walk.
  std::vector<int32_t> dartVertex, dartIndex, rotation, rotationStart;
  std::vector<uint8_t> inFace;
};

// Darts of the path with head edge k: edge i (0..k) runs from vertex T(i) to vertex T(i + 1);
// dart 2i leaves T(i) along it, dart 2i + 1 leaves T(i + 1) back. Vertex 0 is S, vertex
// 1 + c is crossing c, vertex n + 1 is H. Fills the counter-clockwise order of darts at every
// vertex and marks the face that H lies in.
void HeadFace(TDTDrawing& d, int32_t k) {
  const int32_t nv = d.n + 2;
  const int32_t nDarts = 2 * (k + 1);
  d.rotationStart.assign(static_cast<size_t>(nv + 1), 0);
  d.rotation.assign(static_cast<size_t>(nDarts), 0);
  d.dartVertex.assign(static_cast<size_t>(nDarts), 0);
  d.dartIndex.assign(static_cast<size_t>(nDarts), 0);
  // Counter-clockwise orders: a crossing's second strand runs left to right across the first
  // (eps -1) or right to left (eps +1).
  std::vector<std::vector<int32_t>> around(static_cast<size_t>(nv));
  around[0] = {0};
  around[static_cast<size_t>(d.n + 1)] = {2 * k + 1};
  for (int32_t c = 0; c < d.n; ++c) {
    const int32_t i = d.first[static_cast<size_t>(c)], j = d.second[static_cast<size_t>(c)];
    if (i > k) continue;
    const int32_t out1 = 2 * i, in1 = 2 * i - 1;
    if (j > k) {
      around[static_cast<size_t>(1 + c)] = {out1, in1};
      continue;
    }
    const int32_t out2 = 2 * j, in2 = 2 * j - 1;
    if (d.eps[static_cast<size_t>(c)] > 0)
      around[static_cast<size_t>(1 + c)] = {out1, out2, in1, in2};
    else
      around[static_cast<size_t>(1 + c)] = {out1, in2, in1, out2};
  }
  for (int32_t v = 0; v < nv; ++v) {
    const std::vector<int32_t>& a = around[static_cast<size_t>(v)];
    d.rotationStart[static_cast<size_t>(v + 1)] =
        d.rotationStart[static_cast<size_t>(v)] + static_cast<int32_t>(a.size());
    for (size_t x = 0; x < a.size(); ++x) {
      const int32_t dart = a[x];
      d.rotation[static_cast<size_t>(d.rotationStart[static_cast<size_t>(v)]) + x] = dart;
      d.dartVertex[static_cast<size_t>(dart)] = v;
      d.dartIndex[static_cast<size_t>(dart)] = static_cast<int32_t>(x);
    }
  }
  // The face to the left of a dart: at its far end, turn to the next dart clockwise from the
  // way back.
  d.inFace.assign(static_cast<size_t>(nDarts), 0);
  const int32_t start = 2 * k;
  int32_t x = start;
  do {
    d.inFace[static_cast<size_t>(x)] = 1;
    ++d.work;
    const int32_t back = x ^ 1;
    const int32_t v = d.dartVertex[static_cast<size_t>(back)];
    const int32_t s = d.rotationStart[static_cast<size_t>(v)];
    const int32_t deg = d.rotationStart[static_cast<size_t>(v + 1)] - s;
    const int32_t idx = d.dartIndex[static_cast<size_t>(back)];
    x = d.rotation[static_cast<size_t>(s + (idx + deg - 1) % deg)];
  } while (x != start);
}

// Draws positions p..2n onto the drawing of positions 1..p-1; false when no way is left.
bool DrawFrom(TDTDrawing& d, int32_t p) {
  if (d.work > kMaxDTDrawingWork)
    Refuse("this DT code takes too long to draw (more than " + std::to_string(kMaxDTDrawingWork) +
           " steps)");
  if (p > 2 * d.n) {
    // The path closes at S, which must border the head's face.
    HeadFace(d, 2 * d.n);
    return d.inFace[1] != 0;
  }
  const int32_t c = d.at[static_cast<size_t>(p)];
  if (d.first[static_cast<size_t>(c)] == p) return DrawFrom(d, p + 1);
  HeadFace(d, p - 1);
  const int32_t i = d.first[static_cast<size_t>(c)];
  const bool fromLeft = d.inFace[static_cast<size_t>(2 * (i - 1))] != 0;
  const bool fromRight = d.inFace[static_cast<size_t>(2 * i + 1)] != 0;
  if (fromRight) {
    d.eps[static_cast<size_t>(c)] = 1;
    if (DrawFrom(d, p + 1)) return true;
  }
  if (fromLeft) {
    d.eps[static_cast<size_t>(c)] = -1;
    if (DrawFrom(d, p + 1)) return true;
  }
  d.eps[static_cast<size_t>(c)] = 0;
  return false;
}

std::string CrossingList(const std::vector<std::pair<int32_t, int32_t>>& uses) {
  std::string s;
  for (size_t i = 0; i < uses.size(); ++i) {
    if (i > 0) s += i + 1 == uses.size() ? " and " : ", ";
    s += std::to_string(uses[i].first + 1);
  }
  return s;
}

}  // namespace

TOrientedPD OrientPD(const TPDCode& pd) {
  const int32_t n = static_cast<int32_t>(pd.size());
  if (n == 0) Refuse("the PD code has no crossings");
  if (n > kMaxCodeCrossings)
    Refuse("a PD code has at most " + std::to_string(kMaxCodeCrossings) + " crossings");
  std::map<int32_t, std::vector<std::pair<int32_t, int32_t>>> uses;
  for (int32_t k = 0; k < n; ++k)
    for (int32_t i = 0; i < 4; ++i) {
      const int32_t l = pd[static_cast<size_t>(k)][static_cast<size_t>(i)];
      if (l < 1)
        Refuse("crossing " + std::to_string(k + 1) + " of the PD code names strand " +
               std::to_string(l) + "; strands are numbered from 1");
      uses[l].push_back({k, i});
    }
  TOrientedPD m;
  m.across.resize(static_cast<size_t>(n));
  m.out.assign(static_cast<size_t>(n), {-1, -1, -1, -1});
  for (const auto& [label, u] : uses) {
    if (u.size() == 1)
      Refuse("crossing " + std::to_string(u[0].first + 1) + " of the PD code names strand " +
             std::to_string(label) + " once");
    if (u.size() > 2)
      Refuse("strand " + std::to_string(label) + " is named " + std::to_string(u.size()) +
             " times in the PD code (crossings " + CrossingList(u) + "), not twice");
    m.across[static_cast<size_t>(u[0].first)][static_cast<size_t>(u[0].second)] = u[1];
    m.across[static_cast<size_t>(u[1].first)][static_cast<size_t>(u[1].second)] = u[0];
  }
  // The under-strand enters at slot 0 and leaves at slot 2; every edge leaves one end and
  // enters the other, and an over-strand enters at one of slots 1, 3 and leaves at the other.
  std::vector<std::pair<int32_t, int32_t>> queue;
  auto set = [&](int32_t k, int32_t i, int8_t o) {
    int8_t& cur = m.out[static_cast<size_t>(k)][static_cast<size_t>(i)];
    if (cur == o) return;
    if (cur != -1) {
      const int32_t l = pd[static_cast<size_t>(k)][static_cast<size_t>(i)];
      Refuse("strand " + std::to_string(l) + " of the PD code cannot be oriented: it would " +
             "both enter and leave crossing " + std::to_string(k + 1));
    }
    cur = o;
    queue.push_back({k, i});
  };
  for (int32_t k = 0; k < n; ++k) {
    set(k, 0, 0);
    set(k, 2, 1);
  }
  for (int32_t next = 0;; ++next) {
    while (!queue.empty()) {
      const auto [k, i] = queue.back();
      queue.pop_back();
      const int8_t o = m.out[static_cast<size_t>(k)][static_cast<size_t>(i)];
      const auto [k2, i2] = m.across[static_cast<size_t>(k)][static_cast<size_t>(i)];
      set(k2, i2, static_cast<int8_t>(1 - o));
      set(k, (i + 2) % 4, static_cast<int8_t>(1 - o));
    }
    // A component that passes over at all its crossings: the numbering along it decides.
    while (next < n && m.out[static_cast<size_t>(next)][1] != -1) ++next;
    if (next >= n) break;
    const int32_t b = pd[static_cast<size_t>(next)][1], d = pd[static_cast<size_t>(next)][3];
    set(next, 3, (b == d + 1 || d > b + 1) ? 0 : 1);
  }
  return m;
}

std::vector<int32_t> ReadDTNumbers(const std::string& text) {
  std::vector<int64_t> numbers;
  bool open = false, closed = false;
  for (size_t i = 0; i < text.size();) {
    const char ch = text[i];
    if (ch == '-' || std::isdigit(static_cast<unsigned char>(ch))) {
      if (closed) Refuse("the DT code goes on after its closing bracket");
      if (ch == '-' && (i + 1 >= text.size() || !std::isdigit(static_cast<unsigned char>(text[i + 1]))))
        Refuse("a minus sign in the DT code stands before no number");
      if (static_cast<int32_t>(numbers.size()) >= kMaxCodeCrossings)
        Refuse("a DT code has at most " + std::to_string(kMaxCodeCrossings) + " numbers");
      numbers.push_back(ReadInteger(text, i));
      continue;
    }
    if (ch == '[' && !open && numbers.empty()) {
      open = true;
    } else if (ch == ']' && open && !closed) {
      closed = true;
    } else if (ch != ' ' && ch != ';' && ch != ',' && ch != '\t') {
      Refuse("the DT code holds " + CharText(ch) + "; it is even numbers such as 4 6 2 or [4;6;2]");
    }
    ++i;
  }
  if (open && !closed) Refuse("the DT code's bracket is not closed");
  if (numbers.empty()) Refuse("the DT code holds no numbers");
  const int64_t n = static_cast<int64_t>(numbers.size());
  const std::string rule = "a DT code holds each even number 2.." + std::to_string(2 * n) + " once; ";
  std::vector<bool> seen(static_cast<size_t>(2 * n + 1), false);
  std::vector<int32_t> result;
  for (int64_t v : numbers) {
    const int64_t a = v < 0 ? -v : v;
    if (a % 2 != 0) Refuse(rule + std::to_string(a) + " is odd");
    if (a == 0) Refuse(rule + "0 is too small");
    if (a > 2 * n)
      Refuse(rule + std::to_string(a) + " is too large for " + std::to_string(n) +
             (n == 1 ? " crossing" : " crossings"));
    if (seen[static_cast<size_t>(a)]) Refuse(rule + std::to_string(a) + " appears twice");
    seen[static_cast<size_t>(a)] = true;
    result.push_back(static_cast<int32_t>(v));
  }
  return result;
}

namespace {

// A drawing with each crossing's two positions set: drawn in the plane, the mirror image
// KnotInfo means chosen (the second passage through the crossing at position 1 crosses the
// first from its right), and written as a PD code; firstUnder[c] says which passage is under.
TPDCode DrawnPD(TDTDrawing& d, const std::vector<bool>& firstUnder, const char* code) {
  const int32_t n = d.n;
  if (!DrawFrom(d, 1)) Refuse(std::string("this ") + code + " has no planar diagram");
  if (d.eps[0] < 0)
    for (int8_t& e : d.eps) e = static_cast<int8_t>(-e);

  // Edge p runs from position p to position p + 1 (edge 2n back to position 1).
  TPDCode pd;
  for (int32_t c = 0; c < n; ++c) {
    const int32_t p1 = d.first[static_cast<size_t>(c)], p2 = d.second[static_cast<size_t>(c)];
    const int32_t in1 = p1 == 1 ? 2 * n : p1 - 1, out1 = p1;
    const int32_t in2 = p2 - 1, out2 = p2;
    const bool under = firstUnder[static_cast<size_t>(c)];
    if (d.eps[static_cast<size_t>(c)] > 0)  // counter-clockwise: out1, out2, in1, in2
      pd.push_back(under ? std::array<int32_t, 4>{in1, in2, out1, out2}
                         : std::array<int32_t, 4>{in2, out1, out2, in1});
    else  // counter-clockwise: out1, in2, in1, out2
      pd.push_back(under ? std::array<int32_t, 4>{in1, out2, out1, in2}
                         : std::array<int32_t, 4>{in2, in1, out2, out1});
  }
  CheckPD(pd);
  return pd;
}

TDTDrawing EmptyDrawing(int32_t n) {
  TDTDrawing d;
  d.n = n;
  d.at.assign(static_cast<size_t>(2 * n + 1), -1);
  d.first.assign(static_cast<size_t>(n), 0);
  d.second.assign(static_cast<size_t>(n), 0);
  d.eps.assign(static_cast<size_t>(n), 0);
  return d;
}

}  // namespace

TPDCode PDFromDTNumbers(const std::vector<int32_t>& numbers) {
  const int32_t n = static_cast<int32_t>(numbers.size());
  TDTDrawing d = EmptyDrawing(n);
  std::vector<bool> firstUnder(static_cast<size_t>(n));
  for (int32_t c = 0; c < n; ++c) {
    const int32_t odd = 2 * c + 1, even = std::abs(numbers[static_cast<size_t>(c)]);
    if (even < 2 || even > 2 * n || even % 2 != 0 || d.at[static_cast<size_t>(even)] != -1)
      throw std::invalid_argument("PDFromDTNumbers: numbers not checked by ReadDTNumbers");
    d.at[static_cast<size_t>(odd)] = d.at[static_cast<size_t>(even)] = c;
    d.first[static_cast<size_t>(c)] = std::min(odd, even);
    d.second[static_cast<size_t>(c)] = std::max(odd, even);
    // A negative number puts the passage at the even position over.
    const bool evenOver = numbers[static_cast<size_t>(c)] < 0;
    firstUnder[static_cast<size_t>(c)] = evenOver != (even < odd);
  }
  return DrawnPD(d, firstUnder, "DT code");
}

namespace {

// ---- Gauss codes: each piece of the diagram drawn in the plane, component after component ----
//
// As for DT codes, the drawing so far is a set of paths and a head H; a first visit of a crossing
// marks a point on a path, a second visit crosses the strand there from the face the head lies
// in. The first component of a piece starts at a point S just before its first passage and
// closes at S. Every later component starts at a passage whose crossing an earlier component
// already marked, crossing that strand from either side, and closes by coming back to that
// crossing through the corner it left open.

struct TGaussDrawing {
  int32_t m = 0;                       // crossings of the piece
  std::vector<int32_t> at;             // crossing of each position 0..2m-1, in drawing order
  std::vector<int32_t> comp;           // drawn component of each position
  std::vector<int32_t> begin, end;     // each drawn component's first and last position
  std::vector<int32_t> first, second;  // positions of each crossing's visits
  std::vector<int8_t> eps;  // +1 when the second visit crosses the first from its right
  int64_t work = 0;
  std::vector<int32_t> dartVertex, dartIndex, rotation, rotationStart;
  std::vector<uint8_t> inFace;
};

// Edge p leaves position p (dart 2p forward, 2p + 1 back from its far end); edge L = 2m runs
// from S to position 0. The dart leaving position p back along the edge that enters it.
int32_t InDart(const TGaussDrawing& d, int32_t p) {
  const int32_t k = d.comp[static_cast<size_t>(p)];
  if (p != d.begin[static_cast<size_t>(k)]) return 2 * (p - 1) + 1;
  return k == 0 ? 2 * static_cast<int32_t>(d.at.size()) + 1 : 2 * d.end[static_cast<size_t>(k)] + 1;
}

// The counter-clockwise darts at every vertex with the head just past position q, and the face
// the head lies in marked (as the DT drawing's HeadFace).
void GaussHeadFace(TGaussDrawing& d, int32_t q) {
  const int32_t L = static_cast<int32_t>(d.at.size());
  const int32_t k = d.comp[static_cast<size_t>(q)];
  const int32_t nv = d.m + 2, nDarts = 2 * L + 2;
  auto visited = [&](int32_t p) { return p <= q; };
  // The dart back into a component's start is there once the component is closed (the first
  // component's start always has the edge from S).
  auto inPresent = [&](int32_t p) {
    const int32_t c = d.comp[static_cast<size_t>(p)];
    return visited(p) && (p != d.begin[static_cast<size_t>(c)] || c == 0 || c < k);
  };
  std::vector<std::vector<int32_t>> around(static_cast<size_t>(nv));
  for (int32_t c = 0; c < d.m; ++c) {
    const int32_t i = d.first[static_cast<size_t>(c)], j = d.second[static_cast<size_t>(c)];
    if (!visited(i)) continue;
    const int32_t out1 = 2 * i, in1 = InDart(d, i);
    if (!visited(j)) {
      around[static_cast<size_t>(c)] = {out1, in1};
      continue;
    }
    const int32_t out2 = 2 * j, in2 = inPresent(j) ? InDart(d, j) : -1;
    std::vector<int32_t>& a = around[static_cast<size_t>(c)];
    if (d.eps[static_cast<size_t>(c)] > 0)
      a = {out1, out2, in1, in2};
    else
      a = {out1, in2, in1, out2};
    a.erase(std::remove(a.begin(), a.end(), -1), a.end());
  }
  around[static_cast<size_t>(d.m)] = {2 * L};
  if (k > 0) around[static_cast<size_t>(d.m)].push_back(2 * d.end[0] + 1);
  around[static_cast<size_t>(d.m + 1)] = {2 * q + 1};
  d.rotationStart.assign(static_cast<size_t>(nv + 1), 0);
  d.rotation.assign(static_cast<size_t>(nDarts), 0);
  d.dartVertex.assign(static_cast<size_t>(nDarts), 0);
  d.dartIndex.assign(static_cast<size_t>(nDarts), 0);
  for (int32_t v = 0; v < nv; ++v) {
    const std::vector<int32_t>& a = around[static_cast<size_t>(v)];
    d.rotationStart[static_cast<size_t>(v + 1)] =
        d.rotationStart[static_cast<size_t>(v)] + static_cast<int32_t>(a.size());
    for (size_t x = 0; x < a.size(); ++x) {
      const int32_t dart = a[x];
      d.rotation[static_cast<size_t>(d.rotationStart[static_cast<size_t>(v)]) + x] = dart;
      d.dartVertex[static_cast<size_t>(dart)] = v;
      d.dartIndex[static_cast<size_t>(dart)] = static_cast<int32_t>(x);
    }
  }
  d.work += nv;
  d.inFace.assign(static_cast<size_t>(nDarts), 0);
  const int32_t start = 2 * q;
  int32_t x = start;
  do {
    d.inFace[static_cast<size_t>(x)] = 1;
    ++d.work;
    const int32_t back = x ^ 1;
    const int32_t v = d.dartVertex[static_cast<size_t>(back)];
    const int32_t s = d.rotationStart[static_cast<size_t>(v)];
    const int32_t deg = d.rotationStart[static_cast<size_t>(v + 1)] - s;
    const int32_t idx = d.dartIndex[static_cast<size_t>(back)];
    x = d.rotation[static_cast<size_t>(s + (idx + deg - 1) % deg)];
  } while (x != start);
}

bool GaussDrawFrom(TGaussDrawing& d, int32_t p);

// Position p is placed: closes its component when p is the last, then draws on.
bool GaussDrawnTo(TGaussDrawing& d, int32_t p) {
  const int32_t k = d.comp[static_cast<size_t>(p)];
  if (p == d.end[static_cast<size_t>(k)]) {
    GaussHeadFace(d, p);
    if (k == 0) {
      if (!d.inFace[static_cast<size_t>(InDart(d, 0))]) return false;
    } else {
      // Back to the start's crossing, into the corner its second strand left open.
      const int32_t c = d.at[static_cast<size_t>(d.begin[static_cast<size_t>(k)])];
      const int32_t i = d.first[static_cast<size_t>(c)];
      const int32_t corner = d.eps[static_cast<size_t>(c)] > 0 ? InDart(d, i) : 2 * i;
      if (!d.inFace[static_cast<size_t>(corner)]) return false;
    }
  }
  return GaussDrawFrom(d, p + 1);
}

// Draws positions p.. onto the drawing of the positions before; false when no way is left.
bool GaussDrawFrom(TGaussDrawing& d, int32_t p) {
  if (d.work > kMaxDTDrawingWork)
    Refuse("this Gauss code takes too long to draw (more than " +
           std::to_string(kMaxDTDrawingWork) + " steps)");
  if (p >= static_cast<int32_t>(d.at.size())) return true;
  const int32_t k = d.comp[static_cast<size_t>(p)];
  const int32_t c = d.at[static_cast<size_t>(p)];
  int8_t& e = d.eps[static_cast<size_t>(c)];
  if (d.first[static_cast<size_t>(c)] == p) return GaussDrawnTo(d, p);
  bool fromLeft = true, fromRight = true;
  if (p != d.begin[static_cast<size_t>(k)] || k == 0) {
    GaussHeadFace(d, p - 1);
    const int32_t i = d.first[static_cast<size_t>(c)];
    fromLeft = d.inFace[static_cast<size_t>(InDart(d, i) ^ 1)] != 0;
    fromRight = d.inFace[static_cast<size_t>(2 * i + 1)] != 0;
  }
  if (fromRight) {
    e = 1;
    if (GaussDrawnTo(d, p)) return true;
  }
  if (fromLeft) {
    e = -1;
    if (GaussDrawnTo(d, p)) return true;
  }
  e = 0;
  return false;
}

// A passage of a Gauss code: its component and place along it as written.
struct TGaussPassage {
  int32_t component = 0, offset = 0;
  bool over = false;
};

}  // namespace

TPDCode PDFromGauss(const std::string& text) {
  // One brace group per component ("{{1,-2},{-1,2}}"), or a knot's numbers bare or in braces.
  std::vector<std::vector<int64_t>> groups, inner;
  int32_t depth = 0, numbers = 0;
  bool bare = false, outerNumbers = false;
  for (size_t i = 0; i < text.size();) {
    const char ch = text[i];
    if (ch == '-' || std::isdigit(static_cast<unsigned char>(ch))) {
      if (ch == '-' && (i + 1 >= text.size() || !std::isdigit(static_cast<unsigned char>(text[i + 1]))))
        Refuse("a minus sign in the Gauss code stands before no number");
      if (++numbers > 2 * kMaxCodeCrossings)
        Refuse("a Gauss code has at most " + std::to_string(2 * kMaxCodeCrossings) + " numbers");
      if (depth == 0) {
        if (!groups.empty()) Refuse("a number of the Gauss code stands outside its braces");
        bare = true;
        if (inner.empty()) inner.emplace_back();
        inner.back().push_back(ReadInteger(text, i));
      } else {
        outerNumbers |= depth == 1;
        (depth == 1 ? groups.back() : inner.back()).push_back(ReadInteger(text, i));
      }
      continue;
    }
    if (ch == '{') {
      if (bare) Refuse("the Gauss code opens a brace after numbers outside braces");
      if (++depth > 2)
        Refuse("the Gauss code's braces are nested too deep; it is one brace group a component");
      if (depth == 1 && !inner.empty()) Refuse("the Gauss code goes on after its closing brace");
      if (groups.size() + inner.size() >= 2 * static_cast<size_t>(kMaxCodeCrossings))
        Refuse("a Gauss code has at most " + std::to_string(2 * kMaxCodeCrossings) + " components");
      (depth == 1 ? groups : inner).emplace_back();
    } else if (ch == '}') {
      if (--depth < 0) Refuse("the Gauss code closes a brace it did not open");
    } else if (ch != ' ' && ch != ',' && ch != '\t') {
      Refuse("the Gauss code holds " + CharText(ch) +
             "; it is signed numbers such as -1 3 -2 1 -3 2, or {{1,-2},{-1,2}} for a link");
    }
    ++i;
  }
  if (depth != 0) Refuse("a brace of the Gauss code is not closed");
  if (numbers == 0) Refuse("the Gauss code holds no numbers");
  // Nested braces: the inner groups are the components, inside one outer pair.
  if (!bare && !inner.empty() && (groups.size() > 1 || outerNumbers))
    Refuse("a number of the Gauss code stands outside its component's braces");
  const std::vector<std::vector<int64_t>>& comps = bare || !inner.empty() ? inner : groups;
  const int32_t nComps = static_cast<int32_t>(comps.size());
  auto compName = [&](int32_t k) {
    return nComps == 1 ? std::string() : " in component " + std::to_string(k + 1);
  };
  // A PD code, which takes the diagram to its lay-out, has no way to name a circle that crosses
  // nothing; leaving it out would lose a component.
  for (int32_t k = 0; k < nComps; ++k)
    if (comps[static_cast<size_t>(k)].empty())
      Refuse("component " + std::to_string(k + 1) + " of the Gauss code crosses nothing; a " +
             "diagram's code names only components with crossings");
  if (numbers % 2 != 0) Refuse("a Gauss code names each crossing twice; it holds an odd count of numbers");
  const int32_t n = numbers / 2;
  const std::string rule = "a Gauss code names each crossing 1.." + std::to_string(n) +
                           " twice, once over (positive) and once under (negative); ";
  std::vector<std::vector<TGaussPassage>> visits(static_cast<size_t>(n));
  for (int32_t k = 0; k < nComps; ++k)
    for (size_t o = 0; o < comps[static_cast<size_t>(k)].size(); ++o) {
      const int64_t v = comps[static_cast<size_t>(k)][o];
      const int64_t a = v < 0 ? -v : v;
      if (a == 0 || a > n) Refuse(rule + std::to_string(v) + compName(k) + " is not one of them");
      std::vector<TGaussPassage>& u = visits[static_cast<size_t>(a - 1)];
      if (u.size() == 2)
        Refuse(rule + "crossing " + std::to_string(a) + " comes a third time" + compName(k));
      if (u.size() == 1 && u[0].over == (v > 0))
        Refuse(rule + "crossing " + std::to_string(a) + " is " + (v < 0 ? "under" : "over") + " twice");
      u.push_back({k, static_cast<int32_t>(o), v > 0});
    }
  for (int32_t c = 0; c < n; ++c) {
    const std::vector<TGaussPassage>& u = visits[static_cast<size_t>(c)];
    if (u.size() == 1)
      Refuse(rule + "crossing " + std::to_string(c + 1) + " comes once" + compName(u[0].component));
    // Along a knot drawn in the plane, the two passages through a crossing are an odd number
    // of steps apart.
    if (nComps == 1 && (u[1].offset - u[0].offset) % 2 == 0)
      Refuse("this Gauss code has no planar diagram (crossing " + std::to_string(c + 1) +
             " comes back after an even number of steps)");
  }
  // Two closed curves in the plane cross an even number of times.
  std::map<std::pair<int32_t, int32_t>, int32_t> shared;
  std::vector<int32_t> piece(static_cast<size_t>(nComps));
  for (int32_t k = 0; k < nComps; ++k) piece[static_cast<size_t>(k)] = k;
  auto root = [&](int32_t k) {
    while (piece[static_cast<size_t>(k)] != k) k = piece[static_cast<size_t>(k)];
    return k;
  };
  for (const std::vector<TGaussPassage>& u : visits) {
    const int32_t a = std::min(u[0].component, u[1].component);
    const int32_t b = std::max(u[0].component, u[1].component);
    if (a == b) continue;
    ++shared[{a, b}];
    const int32_t ra = root(a), rb = root(b);
    piece[static_cast<size_t>(std::max(ra, rb))] = std::min(ra, rb);
  }
  for (const auto& [pair, count] : shared)
    if (count % 2 != 0)
      Refuse("this Gauss code has no planar diagram (components " + std::to_string(pair.first + 1) +
             " and " + std::to_string(pair.second + 1) + " cross " + std::to_string(count) +
             (count == 1 ? " time" : " times") +
             "; closed curves in the plane cross an even number of times)");

  // Edges are numbered from 1 along each component as written: a passage enters on the edge
  // before it and leaves on its own. A PD code does not say which way an over-strand runs; a
  // reader takes it from the numbering, which for a component of two passages, both over, names
  // the same two edges at both crossings: it takes the lower-numbered crossing as the one the
  // component's first edge ends at, so such a component is numbered from its second passage
  // where that crossing is the first passage's.
  std::vector<int32_t> base(static_cast<size_t>(nComps) + 1, 0), shift(static_cast<size_t>(nComps), 0);
  for (int32_t k = 0; k < nComps; ++k) {
    const std::vector<int64_t>& code = comps[static_cast<size_t>(k)];
    base[static_cast<size_t>(k + 1)] = base[static_cast<size_t>(k)] + static_cast<int32_t>(code.size());
    if (code.size() == 2 && code[0] > 0 && code[1] > 0 && code[0] < code[1]) shift[static_cast<size_t>(k)] = 1;
  }
  auto outEdge = [&](const TGaussPassage& v) {
    const int32_t len = static_cast<int32_t>(comps[static_cast<size_t>(v.component)].size());
    return base[static_cast<size_t>(v.component)] + (v.offset + len - shift[static_cast<size_t>(v.component)]) % len + 1;
  };
  auto inEdge = [&](const TGaussPassage& v) {
    const int32_t len = static_cast<int32_t>(comps[static_cast<size_t>(v.component)].size());
    return base[static_cast<size_t>(v.component)] +
           (v.offset + 2 * len - 1 - shift[static_cast<size_t>(v.component)]) % len + 1;
  };
  auto order = [&](const TGaussPassage& v) { return base[static_cast<size_t>(v.component)] + v.offset; };
  TPDCode pd(static_cast<size_t>(n));
  std::vector<uint8_t> drawn(static_cast<size_t>(nComps), 0);
  for (int32_t lead = 0; lead < nComps; ++lead) {
    if (root(lead) != lead) continue;
    // The piece's components in drawing order: each after the first starts at its first
    // passage through a crossing already drawn.
    TGaussDrawing d;
    std::vector<int32_t> local(static_cast<size_t>(n), -1), label;
    std::vector<TGaussPassage> passageAt;
    auto place = [&](int32_t k, int32_t from) {
      const std::vector<int64_t>& code = comps[static_cast<size_t>(k)];
      const int32_t len = static_cast<int32_t>(code.size());
      const int32_t dk = static_cast<int32_t>(d.begin.size());
      d.begin.push_back(static_cast<int32_t>(d.at.size()));
      for (int32_t s = 0; s < len; ++s) {
        const int32_t o = (from + s) % len;
        const int64_t v = code[static_cast<size_t>(o)];
        const int32_t c = static_cast<int32_t>((v < 0 ? -v : v) - 1);
        if (local[static_cast<size_t>(c)] < 0) {
          local[static_cast<size_t>(c)] = static_cast<int32_t>(label.size());
          label.push_back(c);
          d.first.push_back(static_cast<int32_t>(d.at.size()));
          d.second.push_back(-1);
        } else {
          d.second[static_cast<size_t>(local[static_cast<size_t>(c)])] = static_cast<int32_t>(d.at.size());
        }
        d.at.push_back(local[static_cast<size_t>(c)]);
        d.comp.push_back(dk);
        const std::vector<TGaussPassage>& u = visits[static_cast<size_t>(c)];
        passageAt.push_back(u[0].component == k && u[0].offset == o ? u[0] : u[1]);
      }
      d.end.push_back(static_cast<int32_t>(d.at.size()) - 1);
      drawn[static_cast<size_t>(k)] = 1;
    };
    place(lead, 0);
    for (bool more = true; more;) {
      more = false;
      for (int32_t k = lead + 1; k < nComps && !more; ++k) {
        if (drawn[static_cast<size_t>(k)] || root(k) != lead) continue;
        const std::vector<int64_t>& code = comps[static_cast<size_t>(k)];
        for (size_t o = 0; o < code.size() && !more; ++o) {
          const int64_t a = code[o] < 0 ? -code[o] : code[o];
          if (local[static_cast<size_t>(a - 1)] < 0) continue;
          place(k, static_cast<int32_t>(o));
          more = true;
        }
      }
    }
    d.m = static_cast<int32_t>(label.size());
    d.eps.assign(static_cast<size_t>(d.m), 0);
    if (!GaussDrawFrom(d, 0)) Refuse("this Gauss code has no planar diagram");
    // Of a piece's two mirror drawings, the one where at its lowest crossing the passage met
    // later along the code crosses the one met earlier from its right, as for a knot.
    const int32_t low =
        static_cast<int32_t>(std::min_element(label.begin(), label.end()) - label.begin());
    const bool swapped = order(passageAt[static_cast<size_t>(d.first[static_cast<size_t>(low)])]) >
                         order(passageAt[static_cast<size_t>(d.second[static_cast<size_t>(low)])]);
    if ((d.eps[static_cast<size_t>(low)] < 0) != swapped)
      for (int8_t& e : d.eps) e = static_cast<int8_t>(-e);
    for (int32_t c = 0; c < d.m; ++c) {
      const TGaussPassage& v1 = passageAt[static_cast<size_t>(d.first[static_cast<size_t>(c)])];
      const TGaussPassage& v2 = passageAt[static_cast<size_t>(d.second[static_cast<size_t>(c)])];
      const int32_t in1 = inEdge(v1), out1 = outEdge(v1), in2 = inEdge(v2), out2 = outEdge(v2);
      const bool under = !v1.over;
      std::array<int32_t, 4>& x = pd[static_cast<size_t>(label[static_cast<size_t>(c)])];
      if (d.eps[static_cast<size_t>(c)] > 0)  // counter-clockwise: out1, out2, in1, in2
        x = under ? std::array<int32_t, 4>{in1, in2, out1, out2}
                  : std::array<int32_t, 4>{in2, out1, out2, in1};
      else  // counter-clockwise: out1, in2, in1, out2
        x = under ? std::array<int32_t, 4>{in1, out2, out1, in2}
                  : std::array<int32_t, 4>{in2, in1, out2, out1};
    }
  }
  CheckPD(pd);
  return pd;
}

TPDCode PDFromDT(const std::string& text) { return PDFromDTNumbers(ReadDTNumbers(text)); }

TCodeKind GuessCodeKind(const std::string& text) {
  if (text.find_first_of("Xx") != std::string::npos) return TCodeKind::kPD;
  const size_t open = text.find('[');
  if (open != std::string::npos && text.find('[', open + 1) != std::string::npos)
    return TCodeKind::kPD;
  if (text.find('{') != std::string::npos) return TCodeKind::kGauss;
  // A Gauss code names each crossing twice, a DT code each even number once.
  std::vector<int64_t> seen;
  for (size_t i = 0; i < text.size() && seen.size() <= 2 * kMaxCodeCrossings;) {
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) {
      ++i;
      continue;
    }
    const int64_t v = ReadInteger(text, i);
    if (v % 2 != 0 && std::find(seen.begin(), seen.end(), v) != seen.end()) return TCodeKind::kGauss;
    seen.push_back(v);
  }
  return TCodeKind::kDT;
}

TPDCode ReadCode(const std::string& text, TCodeKind kind) {
  switch (kind) {
    case TCodeKind::kPD:
      return ReadPD(text);
    case TCodeKind::kGauss:
      return PDFromGauss(text);
    case TCodeKind::kDT:
      break;
  }
  return PDFromDT(text);
}

TPDCode ReadPD(const std::string& text) {
  TPDCode pd;
  std::vector<int64_t> group;
  int32_t depth = 0;
  bool inGroup = false;
  for (size_t i = 0; i < text.size();) {
    const char ch = text[i];
    if (ch == '-' || std::isdigit(static_cast<unsigned char>(ch))) {
      if (!inGroup) Refuse("a number of the PD code stands outside a crossing's brackets");
      if (ch == '-' && (i + 1 >= text.size() || !std::isdigit(static_cast<unsigned char>(text[i + 1]))))
        Refuse("a minus sign in the PD code stands before no number");
      group.push_back(ReadInteger(text, i));
      continue;
    }
    if (ch == '[') {
      ++depth;
      if (depth > 3) Refuse("the PD code's brackets are nested too deep");
      inGroup = true;
      group.clear();
    } else if (ch == ']') {
      if (depth == 0) Refuse("the PD code closes a bracket it never opened");
      --depth;
      if (inGroup) {
        if (group.size() != 4)
          Refuse("crossing " + std::to_string(pd.size() + 1) + " of the PD code names " +
                 std::to_string(group.size()) + " strands, not 4");
        if (static_cast<int32_t>(pd.size()) >= kMaxCodeCrossings)
          Refuse("a PD code has at most " + std::to_string(kMaxCodeCrossings) + " crossings");
        std::array<int32_t, 4> x{};
        for (size_t j = 0; j < 4; ++j) {
          if (group[j] < 1 || group[j] > 4 * kMaxCodeCrossings)
            Refuse("crossing " + std::to_string(pd.size() + 1) + " of the PD code names strand " +
                   std::to_string(group[j]) + "; strands are numbered 1.." +
                   std::to_string(4 * kMaxCodeCrossings));
          x[j] = static_cast<int32_t>(group[j]);
        }
        pd.push_back(x);
      }
      inGroup = false;
    } else if (ch == 'X' || ch == 'x' || ch == ' ' || ch == ',' || ch == '\t' || ch == ';') {
      // separators and the crossings' name
    } else if ((ch == 'P' || ch == 'p') && i + 1 < text.size() &&
               (text[i + 1] == 'D' || text[i + 1] == 'd')) {
      ++i;
    } else {
      Refuse("the PD code holds " + CharText(ch) + "; it is crossings such as X[1,5,2,4]");
    }
    ++i;
  }
  if (depth != 0) Refuse("a bracket of the PD code is not closed");
  CheckPD(pd);
  return pd;
}

void CheckPD(const TPDCode& pd) {
  const TOrientedPD m = OrientPD(pd);
  const int32_t n = static_cast<int32_t>(pd.size());
  // Faces: the side to the left of each edge leaving slot i is walked by turning one slot
  // clockwise at the far end. Pieces: crossings joined by edges.
  std::vector<std::array<uint8_t, 4>> seen(static_cast<size_t>(n), {0, 0, 0, 0});
  int32_t faces = 0;
  for (int32_t k = 0; k < n; ++k)
    for (int32_t i = 0; i < 4; ++i) {
      if (seen[static_cast<size_t>(k)][static_cast<size_t>(i)]) continue;
      ++faces;
      int32_t x = k, s = i;
      while (!seen[static_cast<size_t>(x)][static_cast<size_t>(s)]) {
        seen[static_cast<size_t>(x)][static_cast<size_t>(s)] = 1;
        const auto [x2, s2] = m.across[static_cast<size_t>(x)][static_cast<size_t>(s)];
        x = x2;
        s = (s2 + 3) % 4;
      }
    }
  std::vector<int32_t> piece(static_cast<size_t>(n), -1);
  int32_t pieces = 0;
  for (int32_t k = 0; k < n; ++k) {
    if (piece[static_cast<size_t>(k)] >= 0) continue;
    std::vector<int32_t> stack{k};
    piece[static_cast<size_t>(k)] = pieces;
    while (!stack.empty()) {
      const int32_t x = stack.back();
      stack.pop_back();
      for (int32_t i = 0; i < 4; ++i) {
        const int32_t y = m.across[static_cast<size_t>(x)][static_cast<size_t>(i)].first;
        if (piece[static_cast<size_t>(y)] < 0) {
          piece[static_cast<size_t>(y)] = pieces;
          stack.push_back(y);
        }
      }
    }
    ++pieces;
  }
  // Euler's formula, piece by piece: a planar map of V crossings and 2V edges has V + 2 faces.
  if (faces != n + 2 * pieces) Refuse("this PD code has no planar diagram");
}

TLinkDiagram DiagramFromPD(const TPDCode& pd) {
  const TOrientedPD m = OrientPD(pd);
  const int32_t n = static_cast<int32_t>(pd.size());
  TLinkDiagram d;
  for (int32_t k = 0; k < n; ++k) d.signs.push_back(m.out[static_cast<size_t>(k)][1] == 1 ? 1 : -1);
  // Every edge once, as the exit (crossing, slot) it leaves from, lowest label first.
  std::vector<std::pair<int32_t, std::pair<int32_t, int32_t>>> exits;
  for (int32_t k = 0; k < n; ++k)
    for (int32_t i = 0; i < 4; ++i)
      if (m.out[static_cast<size_t>(k)][static_cast<size_t>(i)] == 1)
        exits.push_back({pd[static_cast<size_t>(k)][static_cast<size_t>(i)], {k, i}});
  std::sort(exits.begin(), exits.end());
  std::vector<std::array<uint8_t, 4>> walked(static_cast<size_t>(n), {0, 0, 0, 0});
  for (const auto& [label, exit] : exits) {
    if (walked[static_cast<size_t>(exit.first)][static_cast<size_t>(exit.second)]) continue;
    std::vector<TPassage> comp;
    auto [k, i] = exit;
    while (!walked[static_cast<size_t>(k)][static_cast<size_t>(i)]) {
      walked[static_cast<size_t>(k)][static_cast<size_t>(i)] = 1;
      const auto [k2, i2] = m.across[static_cast<size_t>(k)][static_cast<size_t>(i)];
      comp.push_back({k2, i2 % 2 == 1});
      k = k2;
      i = (i2 + 2) % 4;
    }
    d.components.push_back(std::move(comp));
  }
  return d;
}
