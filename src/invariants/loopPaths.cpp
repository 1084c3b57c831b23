#include "invariants/loopPaths.h"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <limits>
#include <queue>

#include "core/checked.h"

namespace {

bool ValidVertex(const TMesh& mesh, int32_t v) { return v >= 0 && v < mesh.nVerts; }

// Shortest chain from `from` to `to` along mesh edges whose both ends are marked; the chain
// includes `from`, excludes `to`. Empty when there is none.
std::vector<int32_t> DiskPath(const TMesh& mesh, const std::vector<std::vector<int32_t>>& adj,
                              const std::vector<char>& allowed, int32_t from, int32_t to) {
  if (from == to) return {};
  std::vector<double> dist(adj.size(), std::numeric_limits<double>::infinity());
  std::vector<int32_t> prev(adj.size(), kNone);
  using TItem = std::pair<double, int32_t>;
  std::priority_queue<TItem, std::vector<TItem>, std::greater<TItem>> queue;
  dist[to] = 0;  // searched backwards so the chain comes out in walking order
  queue.push({0, to});
  while (!queue.empty()) {
    const auto [d, v] = queue.top();
    queue.pop();
    if (d > dist[v]) continue;
    if (v == from) break;
    for (int32_t w : adj[v]) {
      if (!allowed[w]) continue;
      const double nd = d + (mesh.verts[w].pos - mesh.verts[v].pos).Length();
      if (nd < dist[w]) {
        dist[w] = nd;
        prev[w] = v;
        queue.push({nd, w});
      }
    }
  }
  if (prev[from] == kNone) return {};
  std::vector<int32_t> path;
  for (int32_t v = from; v != to; v = prev[v]) path.push_back(v);
  return path;
}

}  // namespace

std::vector<std::vector<int32_t>> LoopPaths(const TSeiffert& model, const TInvariants& inv) {
  const TMesh& mesh = model.mesh;
  if (model.nDisks != inv.nDisks || model.nTubes != inv.nBands || mesh.nEdges <= 0 ||
      static_cast<int64_t>(model.tubes.size()) <= model.nTubes ||
      static_cast<int64_t>(model.disks.size()) <= model.nDisks ||
      static_cast<int64_t>(mesh.verts.size()) < mesh.nVerts)
    return {};
  std::vector<std::vector<int32_t>> adj(static_cast<size_t>(mesh.nVerts));
  for (int32_t e = 0; e < mesh.nEdges && e < static_cast<int32_t>(mesh.edges.size()); ++e) {
    const TEdge& edge = mesh.edges[e];
    if (!ValidVertex(mesh, edge.a) || !ValidVertex(mesh, edge.b)) continue;
    adj[edge.a].push_back(edge.b);
    adj[edge.b].push_back(edge.a);
  }
  // The vertices of each disk's grid.
  std::vector<std::vector<char>> onDisk(model.nDisks + 1);
  for (int32_t d = 1; d <= model.nDisks; ++d) {
    onDisk[d].assign(adj.size(), 0);
    for (const auto& row : model.disks[d].grid)
      for (int32_t v : row)
        if (ValidVertex(mesh, v)) onDisk[d][v] = 1;
  }
  // A band's centre column from its lower disk to its upper one; empty when the band is not
  // the stacked lay-out's band between those disks.
  // The loop that goes up a band takes a column just left of the middle of one face, the loop
  // that comes down takes one just right of it, so two loops sharing a band run side by side.
  auto column = [&](int32_t band, int32_t lower, int32_t beside) -> std::vector<int32_t> {
    const TTube& t = model.tubes[band];
    if (t.endA.disk != lower || t.endB.disk != lower + 1 || t.grid.empty() || t.nAcross <= 0)
      return {};
    std::vector<int32_t> c;
    for (const auto& row : t.grid) {
      const size_t across = static_cast<size_t>(Mod(t.nAcross / 4 + beside, t.nAcross));
      if (across >= row.size() || !ValidVertex(mesh, row[across])) return {};
      c.push_back(row[across]);
    }
    return c;
  };
  std::vector<std::vector<int32_t>> paths;
  for (const TLoop& loop : inv.loops) {
    const int32_t j = loop.lowerDisk;
    const std::vector<int32_t> up = column(loop.bandUp, j, -1);
    std::vector<int32_t> down = column(loop.bandDown, j, 1);
    if (up.size() < 2 || down.size() < 2) return {};
    std::reverse(down.begin(), down.end());
    const std::vector<int32_t> across = DiskPath(mesh, adj, onDisk[j + 1], up.back(), down.front());
    const std::vector<int32_t> back = DiskPath(mesh, adj, onDisk[j], down.back(), up.front());
    if ((across.empty() && up.back() != down.front()) ||
        (back.empty() && down.back() != up.front()))
      return {};
    std::vector<int32_t> chain(up.begin(), up.end() - 1);
    chain.insert(chain.end(), across.begin(), across.end());
    chain.insert(chain.end(), down.begin(), down.end() - 1);
    chain.insert(chain.end(), back.begin(), back.end());
    paths.push_back(chain);
  }
  return paths;
}
