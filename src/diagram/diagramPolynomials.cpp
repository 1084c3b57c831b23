#include "diagram/diagramPolynomials.h"

#include <algorithm>
#include <map>
#include <stdexcept>

namespace {

void Trim(TLaurent& p) {
  size_t lead = 0;
  while (lead < p.coef.size() && p.coef[lead] == 0) ++lead;
  if (lead == p.coef.size()) {
    p = TLaurent{};
    return;
  }
  p.coef.erase(p.coef.begin(), p.coef.begin() + static_cast<std::ptrdiff_t>(lead));
  p.low += static_cast<int32_t>(lead);
  while (p.coef.back() == 0) p.coef.pop_back();
}

// target += x^shift * p
void AddShifted(TLaurent& target, const TLaurent& p, int32_t shift) {
  if (p.coef.empty()) return;
  const int32_t low = p.low + shift;
  if (target.coef.empty()) {
    target.low = low;
    target.coef = p.coef;
    return;
  }
  const int32_t newLow = std::min(target.low, low);
  const int32_t newHigh = std::max(target.low + static_cast<int32_t>(target.coef.size()),
                                   low + static_cast<int32_t>(p.coef.size()));
  if (newLow < target.low)
    target.coef.insert(target.coef.begin(), static_cast<size_t>(target.low - newLow), mpz_class(0));
  target.low = newLow;
  target.coef.resize(static_cast<size_t>(newHigh - newLow), mpz_class(0));
  for (size_t i = 0; i < p.coef.size(); ++i) target.coef[static_cast<size_t>(low - newLow) + i] += p.coef[i];
}

TLaurent Multiply(const TLaurent& a, const TLaurent& b) {
  TLaurent r;
  if (a.coef.empty() || b.coef.empty()) return r;
  r.low = a.low + b.low;
  r.coef.assign(a.coef.size() + b.coef.size() - 1, mpz_class(0));
  for (size_t i = 0; i < a.coef.size(); ++i)
    if (a.coef[i] != 0)
      for (size_t j = 0; j < b.coef.size(); ++j) r.coef[i + j] += a.coef[i] * b.coef[j];
  Trim(r);
  return r;
}

// target += x^shift * a * b, in place: the state sum's one operation on polynomials.
void AddProduct(TLaurent& target, const TLaurent& a, const TLaurent& b, int32_t shift) {
  if (a.coef.empty() || b.coef.empty()) return;
  const int32_t low = a.low + b.low + shift;
  const int32_t high = low + static_cast<int32_t>(a.coef.size() + b.coef.size() - 1);
  if (target.coef.empty()) target.low = low;
  const int32_t newLow = std::min(target.low, low);
  const int32_t newHigh = std::max(target.low + static_cast<int32_t>(target.coef.size()), high);
  if (newLow < target.low)
    target.coef.insert(target.coef.begin(), static_cast<size_t>(target.low - newLow), mpz_class(0));
  target.low = newLow;
  target.coef.resize(static_cast<size_t>(newHigh - newLow), mpz_class(0));
  const size_t at = static_cast<size_t>(low - newLow);
  for (size_t i = 0; i < a.coef.size(); ++i)
    for (size_t j = 0; j < b.coef.size(); ++j)
      mpz_addmul(target.coef[at + i + j].get_mpz_t(), a.coef[i].get_mpz_t(), b.coef[j].get_mpz_t());
}

// a / b when b divides a exactly (a RangeError-free logic_error otherwise: a bug, not input).
TLaurent DivideExactly(const TLaurent& a, const TLaurent& b) {
  if (a.coef.empty()) return a;
  std::vector<mpz_class> r = a.coef;
  const size_t nb = b.coef.size();
  if (r.size() < nb) throw std::logic_error("DivideExactly: not a multiple");
  std::vector<mpz_class> q(r.size() - nb + 1);
  for (size_t k = q.size(); k-- > 0;) {
    const mpz_class& top = r[k + nb - 1];
    if (top % b.coef.back() != 0) throw std::logic_error("DivideExactly: not a multiple");
    q[k] = top / b.coef.back();
    if (q[k] != 0)
      for (size_t j = 0; j < nb; ++j) r[k + j] -= q[k] * b.coef[j];
  }
  for (const mpz_class& c : r)
    if (c != 0) throw std::logic_error("DivideExactly: not a multiple");
  TLaurent out{a.low - b.low, q};
  Trim(out);
  return out;
}

TLaurent Monomial(int32_t power, long coefficient) { return TLaurent{power, {mpz_class(coefficient)}}; }

// d = -A^2 - A^-2, the value of a closed loop.
TLaurent LoopValue() { return TLaurent{-2, {mpz_class(-1), 0, 0, 0, mpz_class(-1)}}; }

// The Kauffman bracket in A, one loop counted as d (so the empty diagram's loop is in it too).
TLaurent BracketTimesLoop(const TPDCode& pd) {
  const size_t n = pd.size();
  // Crossings in an order that keeps the boundary of the added part short: next is the one
  // with most edges already open.
  std::vector<int32_t> order;
  std::vector<bool> added(n, false);
  std::vector<int32_t> openCount(2 * n + 1, 0);
  for (size_t step = 0; step < n; ++step) {
    size_t best = n;
    int32_t bestScore = -1;
    for (size_t k = 0; k < n; ++k) {
      if (added[k]) continue;
      int32_t score = 0;
      for (int32_t l : pd[k]) score += openCount[static_cast<size_t>(l)] > 0 ? 1 : 0;
      if (score > bestScore) {
        bestScore = score;
        best = k;
      }
    }
    added[best] = true;
    order.push_back(static_cast<int32_t>(best));
    for (int32_t l : pd[best]) ++openCount[static_cast<size_t>(l)];
  }

  // A state pairs the open edges through the part added so far: partner[i] is the position of
  // the edge joined to open edge i. The buffers below are reused for every state, since the
  // sum visits up to millions of them.
  std::vector<int32_t> open;  // sorted labels of the edges with one end added
  std::map<std::vector<int32_t>, TLaurent> states;
  states[{}] = Monomial(0, 1);
  const TLaurent d = LoopValue();
  std::vector<TLaurent> loopPowers{Monomial(0, 1)};  // d^k
  std::vector<std::array<int32_t, 2>> adj;
  std::vector<char> seen;
  std::vector<int32_t> newKey;
  uint64_t work = 0;
  for (int32_t k : order) {
    const std::array<int32_t, 4>& arm = pd[static_cast<size_t>(k)];
    // The new boundary: open edges not met here, and edges met here for the first time.
    std::vector<int32_t> next;
    for (int32_t l : open)
      if (std::find(arm.begin(), arm.end(), l) == arm.end()) next.push_back(l);
    for (int32_t i = 0; i < 4; ++i) {
      const int32_t l = arm[static_cast<size_t>(i)];
      const bool wasOpen = std::binary_search(open.begin(), open.end(), l);
      const int32_t times = static_cast<int32_t>(std::count(arm.begin(), arm.end(), l));
      if (!wasOpen && times == 1) next.push_back(l);
    }
    std::sort(next.begin(), next.end());
    // Nodes: 0..3 the arms, 4 + i the open edge i of the old boundary. What does not depend on
    // the state: how the arms meet the old boundary and one another, and where each node's
    // edge sits on the new boundary (-1 when it closes here).
    const int32_t nodes = 4 + static_cast<int32_t>(open.size());
    std::vector<std::array<int32_t, 2>> armLinks;
    for (int32_t i = 0; i < 4; ++i) {
      const int32_t l = arm[static_cast<size_t>(i)];
      auto it = std::lower_bound(open.begin(), open.end(), l);
      if (it != open.end() && *it == l) {
        armLinks.push_back({i, 4 + static_cast<int32_t>(it - open.begin())});
      } else {
        for (int32_t j = i + 1; j < 4; ++j)
          if (arm[static_cast<size_t>(j)] == l) armLinks.push_back({i, j});
      }
    }
    std::vector<int32_t> place(static_cast<size_t>(nodes), -1);
    for (int32_t v = 0; v < nodes; ++v) {
      const int32_t l = v < 4 ? arm[static_cast<size_t>(v)] : open[static_cast<size_t>(v - 4)];
      const auto at = std::lower_bound(next.begin(), next.end(), l);
      if (at != next.end() && *at == l) place[static_cast<size_t>(v)] = static_cast<int32_t>(at - next.begin());
    }
    adj.resize(static_cast<size_t>(nodes));
    seen.resize(static_cast<size_t>(nodes));
    newKey.resize(next.size());
    std::map<std::vector<int32_t>, TLaurent> after;
    for (const auto& [key, poly] : states) {
      work += 2 * static_cast<uint64_t>(nodes);
      if (work > kMaxBracketWork)
        throw std::length_error("JonesPolynomial: the diagram is too wide for the state sum");
      for (int32_t smoothing = 0; smoothing < 2; ++smoothing) {
        std::fill(adj.begin(), adj.end(), std::array<int32_t, 2>{-1, -1});
        auto link = [&](int32_t a, int32_t b) {
          adj[static_cast<size_t>(a)][adj[static_cast<size_t>(a)][0] < 0 ? 0 : 1] = b;
          adj[static_cast<size_t>(b)][adj[static_cast<size_t>(b)][0] < 0 ? 0 : 1] = a;
        };
        // The A-smoothing joins arms 0-1 and 2-3, the other 0-3 and 1-2.
        if (smoothing == 0) {
          link(0, 1);
          link(2, 3);
        } else {
          link(0, 3);
          link(1, 2);
        }
        for (size_t i = 0; i < open.size(); ++i)
          if (static_cast<int32_t>(i) < key[i]) link(4 + static_cast<int32_t>(i), 4 + key[i]);
        for (const std::array<int32_t, 2>& a : armLinks) link(a[0], a[1]);
        std::fill(seen.begin(), seen.end(), 0);
        std::fill(newKey.begin(), newKey.end(), -1);
        auto walk = [&](int32_t start) {
          int32_t prev = -1, cur = start;
          while (true) {
            seen[static_cast<size_t>(cur)] = 1;
            const auto& a = adj[static_cast<size_t>(cur)];
            const int32_t nxt = a[0] != prev ? a[0] : a[1];
            if (nxt < 0 || (nxt == start && a[1] < 0)) return cur;
            if (seen[static_cast<size_t>(nxt)]) return -1;  // closed loop
            prev = cur;
            cur = nxt;
          }
        };
        for (int32_t v = 0; v < nodes; ++v) {
          if (seen[static_cast<size_t>(v)]) continue;
          const auto& a = adj[static_cast<size_t>(v)];
          if (a[1] >= 0) continue;  // not a terminal
          const int32_t end = walk(v);
          const int32_t pa = place[static_cast<size_t>(v)], pb = place[static_cast<size_t>(end)];
          newKey[static_cast<size_t>(pa)] = pb;
          newKey[static_cast<size_t>(pb)] = pa;
        }
        size_t loops = 0;
        for (int32_t v = 0; v < nodes; ++v)
          if (!seen[static_cast<size_t>(v)]) {
            // Every node left lies on a closed loop.
            int32_t prev = -1, cur = v;
            while (!seen[static_cast<size_t>(cur)]) {
              seen[static_cast<size_t>(cur)] = 1;
              const auto& a = adj[static_cast<size_t>(cur)];
              const int32_t nxt = a[0] != prev ? a[0] : a[1];
              prev = cur;
              cur = nxt;
            }
            ++loops;
          }
        while (loopPowers.size() <= loops) loopPowers.push_back(Multiply(loopPowers.back(), d));
        AddProduct(after.try_emplace(newKey).first->second, poly, loopPowers[loops],
                   smoothing == 0 ? 1 : -1);
      }
    }
    for (auto it = after.begin(); it != after.end();) {
      Trim(it->second);
      it = it->second.coef.empty() ? after.erase(it) : std::next(it);
    }
    if (after.size() > kMaxBracketStates)
      throw std::length_error("JonesPolynomial: the diagram is too wide for the state sum");
    states = std::move(after);
    open = std::move(next);
  }
  if (states.empty()) return TLaurent{};
  return states.begin()->second;
}

}  // namespace

TLaurent JonesPolynomial(const TLinkDiagram& diagram) {
  TLaurent bracket = Monomial(0, 1);
  if (diagram.Crossings() > 0) bracket = DivideExactly(BracketTimesLoop(PDCode(diagram)), LoopValue());
  // Each further component that crosses nothing is one more loop.
  const int32_t extra = diagram.freeCircles - (diagram.Crossings() == 0 ? 1 : 0);
  for (int32_t i = 0; i < extra; ++i) bracket = Multiply(bracket, LoopValue());
  int32_t writhe = 0;
  for (int32_t s : diagram.signs) writhe += s;
  // V = (-A^3)^-w <D> at A = t^(-1/4) = x^(-1/2): A^e becomes x^(-e/2).
  TLaurent v;
  const int32_t shift = -3 * writhe;
  for (size_t i = 0; i < bracket.coef.size(); ++i) {
    if (bracket.coef[i] == 0) continue;
    const int32_t e = bracket.low + static_cast<int32_t>(i) + shift;
    mpz_class c = (writhe % 2 != 0) ? mpz_class(-bracket.coef[i]) : bracket.coef[i];
    if (e % 2 != 0) throw std::logic_error("JonesPolynomial: odd power of A");
    TLaurent term{-e / 2, {c}};
    AddShifted(v, term, 0);
  }
  Trim(v);
  return v;
}

TLaurent MirrorJones(const TLaurent& jones) {
  if (jones.coef.empty()) return jones;
  TLaurent m;
  m.coef.assign(jones.coef.rbegin(), jones.coef.rend());
  m.low = -(jones.low + static_cast<int32_t>(jones.coef.size()) - 1);
  return m;
}

TLaurent AlexanderPolynomial(const TLinkDiagram& diagram) {
  if (diagram.Components() != 1) return TLaurent{};
  const int32_t n = diagram.Crossings();
  if (n == 0) return Monomial(0, 1);
  if (n > kMaxAlexanderCrossings)
    throw std::length_error("AlexanderPolynomial: the diagram has more than 100 crossings");
  const std::vector<TPassage>& comp = diagram.components[0];
  const size_t m = comp.size();
  // Arcs run from one under-passage to the next; edge j leaves passage j.
  size_t first = 0;
  while (comp[first].over) ++first;
  std::vector<int32_t> edgeArc(m, 0);
  int32_t arc = 0;
  for (size_t s = 0; s < m; ++s) {
    const size_t j = (first + s) % m;
    if (s > 0 && !comp[j].over) ++arc;
    edgeArc[j] = arc;
  }
  std::vector<int32_t> overArc(static_cast<size_t>(n)), inArc(static_cast<size_t>(n)), outArc(static_cast<size_t>(n));
  for (size_t j = 0; j < m; ++j) {
    const size_t c = static_cast<size_t>(comp[j].crossing);
    if (comp[j].over) {
      overArc[c] = edgeArc[j];
    } else {
      inArc[c] = edgeArc[(j + m - 1) % m];
      outArc[c] = edgeArc[j];
    }
  }
  // Fox derivatives of the Wirtinger relations, polynomials in t from power 0; the last row and
  // column are left out.
  using TPoly = std::vector<mpz_class>;
  const size_t size = static_cast<size_t>(n - 1);
  std::vector<std::vector<TPoly>> a(size, std::vector<TPoly>(size, TPoly{}));
  auto add = [&](size_t row, int32_t col, long c0, long c1) {
    if (row >= size || static_cast<size_t>(col) >= size) return;
    TPoly& p = a[row][static_cast<size_t>(col)];
    p.resize(std::max<size_t>(p.size(), 2), mpz_class(0));
    p[0] += c0;
    p[1] += c1;
  };
  for (size_t c = 0; c < static_cast<size_t>(n); ++c) {
    if (diagram.signs[c] > 0) {
      add(c, overArc[c], 1, -1);
      add(c, inArc[c], 0, 1);
      add(c, outArc[c], -1, 0);
    } else {
      add(c, overArc[c], -1, 1);
      add(c, inArc[c], 1, 0);
      add(c, outArc[c], 0, -1);
    }
  }
  auto isZero = [](const TPoly& p) {
    return std::all_of(p.begin(), p.end(), [](const mpz_class& x) { return x == 0; });
  };
  auto toLaurent = [](const TPoly& p) {
    TLaurent l{0, p};
    Trim(l);
    return l;
  };
  // Bareiss elimination: every division is exact.
  TLaurent prev = Monomial(0, 1);
  std::vector<std::vector<TLaurent>> b(size, std::vector<TLaurent>(size));
  for (size_t i = 0; i < size; ++i)
    for (size_t j = 0; j < size; ++j) b[i][j] = toLaurent(isZero(a[i][j]) ? TPoly{} : a[i][j]);
  TLaurent det = Monomial(0, 1);
  for (size_t k = 0; k < size; ++k) {
    size_t pr = size, pc = size;
    for (size_t i = k; i < size && pr == size; ++i)
      for (size_t j = k; j < size; ++j)
        if (!b[i][j].coef.empty()) {
          pr = i;
          pc = j;
          break;
        }
    if (pr == size) return TLaurent{};  // singular: not a knot's matrix, cannot happen
    std::swap(b[k], b[pr]);
    for (size_t i = 0; i < size; ++i) std::swap(b[i][k], b[i][pc]);
    for (size_t i = k + 1; i < size; ++i) {
      for (size_t j = k + 1; j < size; ++j) {
        TLaurent v = Multiply(b[i][j], b[k][k]);
        TLaurent w = Multiply(b[i][k], b[k][j]);
        for (mpz_class& c : w.coef) c = -c;
        AddShifted(v, w, 0);
        Trim(v);
        b[i][j] = DivideExactly(v, prev);
      }
    }
    prev = b[k][k];
    det = b[k][k];
  }
  Trim(det);
  if (det.coef.empty()) return det;
  det.low = 0;
  if (det.coef.back() < 0)
    for (mpz_class& c : det.coef) c = -c;
  return det;
}

mpz_class KnotDeterminant(const TLaurent& alexander) {
  mpz_class sum = 0;
  for (size_t i = 0; i < alexander.coef.size(); ++i) {
    const int64_t e = alexander.low + static_cast<int64_t>(i);
    sum += (e % 2 == 0) ? alexander.coef[i] : mpz_class(-alexander.coef[i]);
  }
  return abs(sum);
}

std::string PolynomialText(const TLaurent& p, bool halves) {
  if (p.coef.empty()) return "0";
  std::string s;
  for (size_t i = p.coef.size(); i-- > 0;) {
    const mpz_class& c = p.coef[i];
    if (c == 0) continue;
    const int32_t e = p.low + static_cast<int32_t>(i);
    const mpz_class mag = abs(c);
    if (s.empty())
      s += c < 0 ? "-" : "";
    else
      s += c < 0 ? " - " : " + ";
    std::string power;
    if (halves && e % 2 != 0)
      power = "t^(" + std::to_string(e) + "/2)";
    else if (halves ? e != 0 : e != 0) {
      const int32_t te = halves ? e / 2 : e;
      power = te == 1 ? "t" : "t^" + std::to_string(te);
    }
    if (mag != 1 || power.empty()) s += mag.get_str();
    s += power;
  }
  return s;
}
