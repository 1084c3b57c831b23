#include "diagram/diagramSignature.h"

#include <numeric>
#include <stdexcept>
#include <utility>
#include <vector>

namespace {

// Signature and determinant of a symmetric rational matrix by congruent elimination.
std::pair<int32_t, mpq_class> SignatureAndDeterminant(std::vector<std::vector<mpq_class>> a) {
  const size_t n = a.size();
  int32_t signature = 0;
  mpq_class det = 1;
  for (size_t k = 0; k < n; ++k) {
    size_t p = k;
    while (p < n && a[p][p] == 0) ++p;
    if (p == n) {
      // Every diagonal entry left is 0: a nonzero a[i][j] makes row and column i + j a pivot
      // of 2 a[i][j], a congruence that keeps both the signature and the determinant.
      size_t pi = n, pj = n;
      for (size_t i = k; i < n && pi == n; ++i)
        for (size_t j = i + 1; j < n; ++j)
          if (a[i][j] != 0) {
            pi = i;
            pj = j;
            break;
          }
      if (pi == n) return {signature, 0};  // the rest is zero
      for (size_t m = 0; m < n; ++m) a[pi][m] += a[pj][m];
      for (size_t m = 0; m < n; ++m) a[m][pi] += a[m][pj];
      p = pi;
    }
    if (p != k) {
      std::swap(a[p], a[k]);
      for (std::vector<mpq_class>& row : a) std::swap(row[p], row[k]);
    }
    const mpq_class pivot = a[k][k];
    signature += sgn(pivot);
    det *= pivot;
    for (size_t i = k + 1; i < n; ++i) {
      if (a[i][k] == 0) continue;
      const mpq_class f = a[i][k] / pivot;
      for (size_t j = k + 1; j < n; ++j) a[i][j] -= f * a[k][j];
    }
  }
  return {signature, det};
}

struct TPiece {
  int32_t signature = 0;
  mpz_class determinant;
};

}  // namespace

TDiagramForm DiagramSignature(const TLinkDiagram& diagram) {
  const TPDCode pd = PDCode(diagram);
  const size_t n = pd.size();
  TDiagramForm form;
  if (n == 0) {
    form.determinant = diagram.Components() == 1 ? 1 : 0;
    return form;
  }
  // The other end of each arm: arm (k, i) is 4 k + i.
  std::vector<int32_t> firstEnd(2 * n + 1, -1), across(4 * n, -1);
  for (size_t k = 0; k < n; ++k)
    for (size_t i = 0; i < 4; ++i) {
      const int32_t label = pd[k][i];
      if (label < 1 || static_cast<size_t>(label) > 2 * n)
        throw std::invalid_argument("DiagramSignature: an edge label out of range");
      const int32_t arm = static_cast<int32_t>(4 * k + i);
      int32_t& first = firstEnd[static_cast<size_t>(label)];
      if (first < 0) {
        first = arm;
      } else {
        if (across[static_cast<size_t>(first)] >= 0)
          throw std::invalid_argument("DiagramSignature: an edge with more than two ends");
        across[static_cast<size_t>(first)] = arm;
        across[static_cast<size_t>(arm)] = first;
      }
    }
  for (int32_t end : across)
    if (end < 0) throw std::invalid_argument("DiagramSignature: an edge with one end");

  // Corner 4 k + i is the region between arms i and i + 1 (counter-clockwise) of crossing k.
  // Leaving by arm i + 1, the region lies on the right; at the arm's other end (k', j) it is
  // the corner between arms j and j + 1.
  auto nextCorner = [&](size_t corner) {
    const size_t k = corner / 4, i = corner % 4;
    return static_cast<size_t>(across[4 * k + (i + 1) % 4]);
  };
  std::vector<int32_t> face(4 * n, -1);
  int32_t faces = 0;
  for (size_t c = 0; c < 4 * n; ++c) {
    if (face[c] >= 0) continue;
    for (size_t x = c; face[x] < 0; x = nextCorner(x)) face[x] = faces;
    ++faces;
  }
  // Pieces of the diagram: crossings joined by edges.
  std::vector<size_t> parent(n);
  std::iota(parent.begin(), parent.end(), size_t{0});
  auto root = [&](size_t k) {
    while (parent[k] != k) k = parent[k] = parent[parent[k]];
    return k;
  };
  for (size_t arm = 0; arm < 4 * n; ++arm) parent[root(arm / 4)] = root(static_cast<size_t>(across[arm]) / 4);

  // Checkerboard colours: the corners on either side of an arm lie in regions of both colours.
  std::vector<int32_t> colour(static_cast<size_t>(faces), -1);
  std::vector<std::vector<size_t>> cornersOf(static_cast<size_t>(faces));
  for (size_t c = 0; c < 4 * n; ++c) cornersOf[static_cast<size_t>(face[c])].push_back(c);
  for (size_t start = 0; start < static_cast<size_t>(faces); ++start) {
    if (colour[start] >= 0) continue;
    colour[start] = 0;
    std::vector<size_t> queue{start};
    while (!queue.empty()) {
      const size_t f = queue.back();
      queue.pop_back();
      for (size_t c : cornersOf[f])
        for (size_t side : {c - c % 4 + (c + 1) % 4, c - c % 4 + (c + 3) % 4}) {
          const size_t g = static_cast<size_t>(face[side]);
          if (colour[g] < 0) {
            colour[g] = 1 - colour[f];
            queue.push_back(g);
          } else if (colour[g] == colour[f]) {
            throw std::invalid_argument("DiagramSignature: the crossings do not fit together in the plane");
          }
        }
    }
  }

  // Each piece drawn in the plane on its own has crossings + 2 regions (Euler).
  std::vector<int32_t> piece(n, -1), pieceCrossings, pieceFaces;
  int32_t pieces = 0;
  for (size_t k = 0; k < n; ++k)
    if (root(k) == k) {
      piece[k] = pieces++;
      pieceCrossings.push_back(0);
      pieceFaces.push_back(0);
    }
  for (size_t k = 0; k < n; ++k) {
    piece[k] = piece[root(k)];
    ++pieceCrossings[static_cast<size_t>(piece[k])];
  }
  std::vector<int32_t> facePiece(static_cast<size_t>(faces));
  for (size_t f = 0; f < static_cast<size_t>(faces); ++f) {
    facePiece[f] = piece[cornersOf[f].front() / 4];
    ++pieceFaces[static_cast<size_t>(facePiece[f])];
  }
  for (int32_t p = 0; p < pieces; ++p)
    if (pieceFaces[static_cast<size_t>(p)] != pieceCrossings[static_cast<size_t>(p)] + 2)
      throw std::invalid_argument("DiagramSignature: the crossings do not fit together in the plane");

  // Per piece: the unshaded regions (colour 0) index the Goeritz matrix, a Laplacian weighted
  // by each crossing's incidence eta: +1 when the over strand, turned counter-clockwise, sweeps
  // the shaded corners (arms 1 and 3 are the over strand, so corners 1 and 3), else -1. A
  // crossing whose shaded corners lie between two incoming and two outgoing arms is one where
  // the shaded surface is not oriented; the sum of their eta is the correction.
  std::vector<int32_t> index(static_cast<size_t>(faces), -1), size(static_cast<size_t>(pieces), 0);
  for (size_t f = 0; f < static_cast<size_t>(faces); ++f)
    if (colour[f] == 0) index[f] = size[static_cast<size_t>(facePiece[f])]++;
  std::vector<std::vector<std::vector<mpq_class>>> goeritz(static_cast<size_t>(pieces));
  for (int32_t p = 0; p < pieces; ++p) {
    const size_t m = static_cast<size_t>(size[static_cast<size_t>(p)]);
    goeritz[static_cast<size_t>(p)].assign(m, std::vector<mpq_class>(m, mpq_class(0)));
  }
  std::vector<int32_t> correction(static_cast<size_t>(pieces), 0);
  for (size_t k = 0; k < n; ++k) {
    const bool shadedOdd = colour[static_cast<size_t>(face[4 * k + 1])] == 1;
    const int32_t eta = shadedOdd ? 1 : -1;
    // In and out arms: the under strand enters at 0; a positive crossing's over strand enters
    // at 3, so its corners 1 and 3 lie between like arms; a negative one's corners 0 and 2.
    const bool positive = diagram.signs.at(k) > 0;
    if (shadedOdd == positive) correction[static_cast<size_t>(piece[k])] += eta;
    const size_t w1 = static_cast<size_t>(index[static_cast<size_t>(face[4 * k + (shadedOdd ? 0 : 1)])]);
    const size_t w2 = static_cast<size_t>(index[static_cast<size_t>(face[4 * k + (shadedOdd ? 2 : 3)])]);
    if (w1 == w2) continue;  // both unshaded corners in one region: no term
    std::vector<std::vector<mpq_class>>& g = goeritz[static_cast<size_t>(piece[k])];
    g[w1][w1] += eta;
    g[w2][w2] += eta;
    g[w1][w2] -= eta;
    g[w2][w1] -= eta;
  }
  form.determinant = 1;
  for (int32_t p = 0; p < pieces; ++p) {
    std::vector<std::vector<mpq_class>>& g = goeritz[static_cast<size_t>(p)];
    // One region is left out: the rows of the Laplacian add up to zero.
    g.erase(g.begin());
    for (std::vector<mpq_class>& row : g) row.erase(row.begin());
    const auto [s, det] = SignatureAndDeterminant(std::move(g));
    form.signature += s - correction[static_cast<size_t>(p)];
    form.determinant *= abs(det.get_num());
  }
  // Pieces apart from each other, or circles that cross nothing, make a split link.
  if (pieces + diagram.freeCircles > 1) form.determinant = 0;
  return form;
}
