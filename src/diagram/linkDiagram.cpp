#include "diagram/linkDiagram.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace {

struct TPoint2 {
  double x, y, h;  // position in the picture plane, height towards the viewer
};

// A crossing as found along the segments, before the passages are ordered.
struct THit {
  double along;  // segment index plus parameter: the order of travel on its line
  int32_t crossing;
  bool over;
};

// Directions spread over the sphere with irrational steps, so that no lay-out's axes or planes
// of symmetry line up with one of them.
Vec3 Direction(int32_t k) {
  const double z = 0.31 + 0.37 * std::fmod(0.6180339887 * (k + 1), 1.0);
  const double phi = 2.399963229728653 * (k + 1) + 0.1234;
  const double r = std::sqrt(1 - z * z);
  return {r * std::cos(phi), r * std::sin(phi), z};
}

double Cross2(double ax, double ay, double bx, double by) { return ax * by - ay * bx; }

// The closed lines without repeated consecutive points, checked.
std::vector<std::vector<Vec3>> CleanLines(const std::vector<std::vector<Vec3>>& lines) {
  std::vector<std::vector<Vec3>> out;
  int64_t total = 0;
  for (const std::vector<Vec3>& line : lines) {
    total += static_cast<int64_t>(line.size());
    if (total > kMaxLinePoints)
      throw std::invalid_argument("ProjectLines: the link lines have more than 4,000,000 points");
    std::vector<Vec3> clean;
    for (const Vec3& p : line) {
      if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z))
        throw std::invalid_argument("ProjectLines: a link line has a coordinate that is not finite");
      if (clean.empty() || !(clean.back() == p)) clean.push_back(p);
    }
    while (clean.size() > 1 && clean.back() == clean.front()) clean.pop_back();
    if (clean.size() < 3)
      throw std::invalid_argument("ProjectLines: a link line has fewer than three distinct points");
    out.push_back(std::move(clean));
  }
  return out;
}

// The diagram seen along `dir`, or false when this view is not generic.
bool ProjectAlong(const std::vector<std::vector<Vec3>>& lines, const Vec3& dir,
                  TLinkDiagram& diagram) {
  // Picture axes u, v with u x v = dir, so the picture is seen from the side dir points to.
  const double dx = dir.x, dy = dir.y, dz = dir.z;
  double ux = -dy, uy = dx, uz = 0;
  const double ul = std::hypot(ux, uy);
  ux /= ul;
  uy /= ul;
  const double vx = dy * uz - dz * uy, vy = dz * ux - dx * uz, vz = dx * uy - dy * ux;

  struct TSeg {
    TPoint2 p, q;
    int32_t line, index;
    double xmin, xmax;
  };
  std::vector<TSeg> segs;
  double scale = 0;
  for (size_t l = 0; l < lines.size(); ++l) {
    const std::vector<Vec3>& line = lines[l];
    for (size_t i = 0; i < line.size(); ++i) {
      const Vec3& a = line[i];
      const Vec3& b = line[(i + 1) % line.size()];
      auto map = [&](const Vec3& p) {
        return TPoint2{p.x * ux + p.y * uy + p.z * uz, p.x * vx + p.y * vy + p.z * vz,
                       p.x * dx + p.y * dy + p.z * dz};
      };
      TSeg s{map(a), map(b), static_cast<int32_t>(l), static_cast<int32_t>(i), 0, 0};
      s.xmin = std::min(s.p.x, s.q.x);
      s.xmax = std::max(s.p.x, s.q.x);
      scale = std::max({scale, std::fabs(s.p.x), std::fabs(s.p.y), std::fabs(s.p.h)});
      segs.push_back(s);
    }
  }
  const double eps = 1e-9 * std::max(scale, 1e-30);
  const double paramEps = 1e-9;

  // Consecutive segments may fold back onto each other only in a non-generic view.
  for (size_t k = 0; k < segs.size(); ++k) {
    const TSeg& s = segs[k];
    const size_t n = lines[static_cast<size_t>(s.line)].size();
    const TSeg& t = segs[k - static_cast<size_t>(s.index) + (static_cast<size_t>(s.index) + 1) % n];
    const double ax = s.q.x - s.p.x, ay = s.q.y - s.p.y, bx = t.q.x - t.p.x, by = t.q.y - t.p.y;
    const double la = std::hypot(ax, ay), lb = std::hypot(bx, by);
    if (la < eps || lb < eps) return false;
    if (std::fabs(Cross2(ax, ay, bx, by)) < 1e-9 * la * lb && ax * bx + ay * by < 0) return false;
  }

  std::vector<size_t> order(segs.size());
  for (size_t k = 0; k < order.size(); ++k) order[k] = k;
  std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    return segs[a].xmin < segs[b].xmin || (segs[a].xmin == segs[b].xmin && a < b);
  });
  std::vector<std::vector<THit>> hits(lines.size());
  std::vector<std::pair<int32_t, int32_t>> crossingLines;
  std::vector<int32_t> signs;
  std::vector<size_t> lineStart(lines.size() + 1, 0);
  for (size_t l = 0; l < lines.size(); ++l) lineStart[l + 1] = lineStart[l] + lines[l].size();
  for (size_t oi = 0; oi < order.size(); ++oi) {
    const TSeg& s = segs[order[oi]];
    for (size_t oj = oi + 1; oj < order.size() && segs[order[oj]].xmin <= s.xmax + eps; ++oj) {
      const TSeg& t = segs[order[oj]];
      if (s.line == t.line) {
        const int32_t n = static_cast<int32_t>(lines[static_cast<size_t>(s.line)].size());
        const int32_t gap = std::abs(s.index - t.index);
        if (gap == 1 || gap == n - 1) continue;  // neighbours share a vertex
      }
      const double ax = s.q.x - s.p.x, ay = s.q.y - s.p.y, bx = t.q.x - t.p.x, by = t.q.y - t.p.y;
      const double wx = t.p.x - s.p.x, wy = t.p.y - s.p.y;
      const double den = Cross2(ax, ay, bx, by);
      const double la = std::hypot(ax, ay), lb = std::hypot(bx, by);
      if (std::fabs(den) < 1e-9 * la * lb) {
        // Parallel: a problem only when the segments lie on one line and overlap.
        if (std::fabs(Cross2(ax, ay, wx, wy)) > eps * la) continue;
        const double t0 = (wx * ax + wy * ay) / (la * la);
        const double t1 = ((t.q.x - s.p.x) * ax + (t.q.y - s.p.y) * ay) / (la * la);
        if (std::max(t0, t1) < -paramEps || std::min(t0, t1) > 1 + paramEps) continue;
        return false;
      }
      const double a = Cross2(wx, wy, bx, by) / den;
      const double b = Cross2(wx, wy, ax, ay) / den;
      if (a < -paramEps || a > 1 + paramEps || b < -paramEps || b > 1 + paramEps) continue;
      // A vertex on the other strand, or a point where the strands nearly meet in space.
      if (a < paramEps || a > 1 - paramEps || b < paramEps || b > 1 - paramEps) return false;
      const double ha = s.p.h + a * (s.q.h - s.p.h), hb = t.p.h + b * (t.q.h - t.p.h);
      if (std::fabs(ha - hb) < 1e-6 * std::max(scale, 1e-30)) return false;
      if (static_cast<int64_t>(signs.size()) >= kMaxCrossings)
        throw std::length_error("ProjectLines: the link lines cross more than 3,000 times in view");
      const int32_t c = static_cast<int32_t>(signs.size());
      const bool sOver = ha > hb;
      // Positive when the over strand's direction turns counter-clockwise into the under one's.
      const double turn = sOver ? Cross2(ax, ay, bx, by) : Cross2(bx, by, ax, ay);
      signs.push_back(turn > 0 ? 1 : -1);
      hits[static_cast<size_t>(s.line)].push_back({s.index + a, c, sOver});
      hits[static_cast<size_t>(t.line)].push_back({t.index + b, c, !sOver});
    }
  }
  diagram = TLinkDiagram{};
  diagram.signs = signs;
  std::vector<int32_t> freeLines;
  for (size_t l = 0; l < hits.size(); ++l) {
    std::vector<THit>& h = hits[l];
    if (h.empty()) {
      ++diagram.freeCircles;
      freeLines.push_back(static_cast<int32_t>(l));
      continue;
    }
    diagram.numbers.push_back(static_cast<int32_t>(l));
    std::sort(h.begin(), h.end(), [](const THit& x, const THit& y) {
      return x.along < y.along || (x.along == y.along && x.crossing < y.crossing);
    });
    std::vector<TPassage> passages;
    for (const THit& x : h) passages.push_back({x.crossing, x.over});
    diagram.components.push_back(std::move(passages));
  }
  diagram.numbers.insert(diagram.numbers.end(), freeLines.begin(), freeLines.end());
  return true;
}

// Arms of crossing k in the PD code: 0 incoming under, then counter-clockwise.
struct TArmTable {
  std::vector<std::array<int32_t, 4>> label;
  std::vector<std::array<std::pair<int32_t, int32_t>, 4>> across;  // (crossing, arm) at the other end
};

TArmTable Arms(const TPDCode& pd) {
  TArmTable t;
  t.label = pd;
  t.across.resize(pd.size());
  std::vector<std::pair<int32_t, int32_t>> first(pd.size() * 2 + 1, {-1, -1});
  for (size_t k = 0; k < pd.size(); ++k)
    for (int32_t i = 0; i < 4; ++i) {
      const int32_t l = pd[k][static_cast<size_t>(i)];
      auto& f = first[static_cast<size_t>(l)];
      if (f.first < 0) {
        f = {static_cast<int32_t>(k), i};
      } else {
        t.across[k][static_cast<size_t>(i)] = f;
        t.across[static_cast<size_t>(f.first)][static_cast<size_t>(f.second)] = {
            static_cast<int32_t>(k), i};
      }
    }
  return t;
}

// Removes the passages of the crossings marked in `gone` and numbers the rest anew.
void RemoveCrossings(TLinkDiagram& d, const std::vector<bool>& gone) {
  std::vector<int32_t> renumber(d.signs.size(), -1);
  std::vector<int32_t> signs;
  for (size_t k = 0; k < d.signs.size(); ++k)
    if (!gone[k]) {
      renumber[k] = static_cast<int32_t>(signs.size());
      signs.push_back(d.signs[k]);
    }
  std::vector<std::vector<TPassage>> components;
  std::vector<int32_t> numbers, freed;
  for (size_t c = 0; c < d.components.size(); ++c) {
    std::vector<TPassage> kept;
    for (const TPassage& p : d.components[c])
      if (!gone[static_cast<size_t>(p.crossing)]) kept.push_back({renumber[static_cast<size_t>(p.crossing)], p.over});
    const int32_t number = d.numbers.empty() ? static_cast<int32_t>(c) : d.numbers[c];
    if (kept.empty()) {
      ++d.freeCircles;
      freed.push_back(number);
    } else {
      components.push_back(std::move(kept));
      numbers.push_back(number);
    }
  }
  // The free circles that were free before keep their numbers, after the ones freed now.
  const size_t before = d.components.size();
  numbers.insert(numbers.end(), freed.begin(), freed.end());
  for (int32_t f = 0; f < d.freeCircles - static_cast<int32_t>(freed.size()); ++f)
    numbers.push_back(d.numbers.empty() ? static_cast<int32_t>(before) + f
                                        : d.numbers[before + static_cast<size_t>(f)]);
  d.components = std::move(components);
  d.numbers = std::move(numbers);
  d.signs = std::move(signs);
}

// One Reidemeister I or II move, or false when none applies.
bool SimplifyOnce(TLinkDiagram& d) {
  const TPDCode pd = PDCode(d);
  if (pd.empty()) return false;
  const TArmTable arms = Arms(pd);
  const int32_t n = static_cast<int32_t>(pd.size());
  // The face to the left of the edge leaving crossing k by arm i is walked by turning left
  // (one arm clockwise) at every crossing reached.
  auto next = [&](int32_t k, int32_t i) {
    const auto [k2, j] = arms.across[static_cast<size_t>(k)][static_cast<size_t>(i)];
    return std::pair<int32_t, int32_t>{k2, (j + 3) % 4};
  };
  for (int32_t k = 0; k < n; ++k)
    for (int32_t i = 0; i < 4; ++i)
      if (next(k, i) == std::pair<int32_t, int32_t>{k, i}) {
        std::vector<bool> gone(static_cast<size_t>(n), false);
        gone[static_cast<size_t>(k)] = true;
        RemoveCrossings(d, gone);
        return true;
      }
  for (int32_t k = 0; k < n; ++k)
    for (int32_t i = 0; i < 4; ++i) {
      const auto [k2, i2] = next(k, i);
      if (k2 == k || next(k2, i2) != std::pair<int32_t, int32_t>{k, i}) continue;
      // Arms 1 and 3 belong to the over strand: one edge of the bigon must be over at both ends.
      const int32_t j = arms.across[static_cast<size_t>(k)][static_cast<size_t>(i)].second;
      if (i % 2 != j % 2) continue;
      std::vector<bool> gone(static_cast<size_t>(n), false);
      gone[static_cast<size_t>(k)] = gone[static_cast<size_t>(k2)] = true;
      RemoveCrossings(d, gone);
      return true;
    }
  return false;
}

}  // namespace

TLinkDiagram ProjectLines(const std::vector<std::vector<Vec3>>& lines) {
  const std::vector<std::vector<Vec3>> clean = CleanLines(lines);
  TLinkDiagram diagram;
  for (int32_t k = 0; k < 24; ++k)
    if (ProjectAlong(clean, Direction(k), diagram)) return diagram;
  throw std::invalid_argument(
      "ProjectLines: no direction shows the link lines generically (do they meet?)");
}

TLinkDiagram BraidClosureDiagram(const std::string& word) {
  int32_t strands = 0;
  for (char ch : word)
    if (std::isalpha(static_cast<unsigned char>(ch)))
      strands = std::max(strands, std::tolower(static_cast<unsigned char>(ch)) - 'a' + 2);
  // thread[p]: the piece now at position p, numbered by the position it started from.
  std::vector<int32_t> thread(static_cast<size_t>(strands));
  std::vector<std::vector<TPassage>> pieces(static_cast<size_t>(strands));
  for (int32_t p = 0; p < strands; ++p) thread[static_cast<size_t>(p)] = p;
  TLinkDiagram d;
  for (char ch : word) {
    if (!std::isalpha(static_cast<unsigned char>(ch))) continue;
    const bool upper = std::isupper(static_cast<unsigned char>(ch));
    const size_t i = static_cast<size_t>(std::tolower(static_cast<unsigned char>(ch)) - 'a');
    const int32_t c = d.Crossings();
    d.signs.push_back(upper ? -1 : 1);
    // The strand entering at the lower position rises; over on an upper-case letter.
    pieces[static_cast<size_t>(thread[i])].push_back({c, upper});
    pieces[static_cast<size_t>(thread[i + 1])].push_back({c, !upper});
    std::swap(thread[i], thread[i + 1]);
  }
  // The piece ending at position p continues as the piece that started there.
  std::vector<int32_t> endsAt(static_cast<size_t>(strands));
  for (int32_t p = 0; p < strands; ++p) endsAt[static_cast<size_t>(thread[static_cast<size_t>(p)])] = p;
  std::vector<bool> used(static_cast<size_t>(strands), false);
  for (int32_t s = 0; s < strands; ++s) {
    if (used[static_cast<size_t>(s)]) continue;
    std::vector<TPassage> comp;
    for (int32_t x = s; !used[static_cast<size_t>(x)]; x = endsAt[static_cast<size_t>(x)]) {
      used[static_cast<size_t>(x)] = true;
      comp.insert(comp.end(), pieces[static_cast<size_t>(x)].begin(), pieces[static_cast<size_t>(x)].end());
    }
    if (comp.empty())
      ++d.freeCircles;
    else
      d.components.push_back(std::move(comp));
  }
  return d;
}

void SimplifyDiagram(TLinkDiagram& diagram) {
  while (SimplifyOnce(diagram)) {
  }
}

TPDCode PDCode(const TLinkDiagram& d) {
  struct TEnds {
    int32_t in = 0, out = 0;
  };
  std::vector<std::array<TEnds, 2>> ends(d.signs.size());  // [under, over]
  int32_t offset = 0;
  for (const std::vector<TPassage>& comp : d.components) {
    const int32_t m = static_cast<int32_t>(comp.size());
    for (int32_t j = 0; j < m; ++j) {
      TEnds& e = ends[static_cast<size_t>(comp[static_cast<size_t>(j)].crossing)]
                     [comp[static_cast<size_t>(j)].over ? 1 : 0];
      e.in = offset + (j + m - 1) % m + 1;
      e.out = offset + j + 1;
    }
    offset += m;
  }
  TPDCode pd;
  for (size_t k = 0; k < d.signs.size(); ++k) {
    const TEnds& u = ends[k][0];
    const TEnds& o = ends[k][1];
    if (d.signs[k] > 0)
      pd.push_back({u.in, o.out, u.out, o.in});
    else
      pd.push_back({u.in, o.in, u.out, o.out});
  }
  return pd;
}

std::string PDText(const TPDCode& pd) {
  std::string s;
  for (const auto& x : pd) {
    if (!s.empty()) s += ' ';
    s += "X[" + std::to_string(x[0]) + ',' + std::to_string(x[1]) + ',' + std::to_string(x[2]) +
         ',' + std::to_string(x[3]) + ']';
  }
  return s;
}

TLinkDiagram MirrorDiagram(TLinkDiagram diagram) {
  for (int32_t& s : diagram.signs) s = -s;
  for (std::vector<TPassage>& comp : diagram.components)
    for (TPassage& p : comp) p.over = !p.over;
  return diagram;
}

size_t ComponentAt(const TLinkDiagram& diagram, int32_t n) {
  if (diagram.numbers.empty()) return static_cast<size_t>(n);
  for (size_t p = 0; p < diagram.numbers.size(); ++p)
    if (diagram.numbers[p] == n) return p;
  return diagram.numbers.size();
}

int32_t LinkingNumber(const TLinkDiagram& diagram, size_t i, size_t j) {
  if (i >= diagram.components.size() || j >= diagram.components.size() || i == j) return 0;
  std::vector<int32_t> seen(diagram.signs.size(), 0);
  for (const TPassage& p : diagram.components[i]) seen[static_cast<size_t>(p.crossing)] |= 1;
  for (const TPassage& p : diagram.components[j]) seen[static_cast<size_t>(p.crossing)] |= 2;
  int32_t sum = 0;
  for (size_t k = 0; k < seen.size(); ++k)
    if (seen[k] == 3) sum += diagram.signs[k];
  return sum / 2;
}
