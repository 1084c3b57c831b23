#include "invariants/loopPaths.h"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <limits>
#include <queue>
#include <unordered_map>

#include "core/checked.h"
#include "mesh/meshSummary.h"

namespace {

// Shortest chain from `from` to `to` over the graph `neighbours` gives (at most `maxVisits`
// vertices looked at); the chain includes `from`, excludes `to`. Empty when there is none.
template <typename TNeighbours>
std::vector<int32_t> ShortestPath(const TMesh& mesh, TNeighbours neighbours, int32_t from,
                                  int32_t to, int64_t maxVisits) {
  if (from == to) return {};
  std::unordered_map<int32_t, double> dist;
  std::unordered_map<int32_t, int32_t> next;
  using TItem = std::pair<double, int32_t>;
  std::priority_queue<TItem, std::vector<TItem>, std::greater<TItem>> queue;
  dist[to] = 0;  // searched backwards so the chain comes out in walking order
  queue.push({0, to});
  int64_t visits = 0;
  while (!queue.empty() && visits++ < maxVisits) {
    // Plain copies, not structured bindings: the lambda below captures them.
    const double d = queue.top().first;
    const int32_t v = queue.top().second;
    queue.pop();
    if (d > dist[v]) continue;
    if (v == from) break;
    neighbours(v, [&](int32_t w) {
      const double nd = d + (mesh.verts[w].pos - mesh.verts[v].pos).Length();
      const auto it = dist.find(w);
      if (it == dist.end() || nd < it->second) {
        dist[w] = nd;
        next[w] = v;
        queue.push({nd, w});
      }
    });
  }
  if (!next.count(from)) return {};
  std::vector<int32_t> path;
  for (int32_t v = from; v != to; v = next.at(v)) path.push_back(v);
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
  // Each disk's grid as a graph: entries next to each other in a row (around) or a column. These
  // are edges of the mesh as built; a mesh refined since has their halves instead.
  std::vector<std::unordered_map<int32_t, std::vector<int32_t>>> diskGraph(model.nDisks + 1);
  for (int32_t d = 1; d <= model.nDisks; ++d) {
    const TPntGrid& g = model.disks[d].grid;
    auto link = [&](int32_t a, int32_t b) {
      if (!ValidVertex(mesh, a) || !ValidVertex(mesh, b) || a == b) return;
      diskGraph[d][a].push_back(b);
      diskGraph[d][b].push_back(a);
    };
    for (size_t r = 0; r < g.size(); ++r)
      for (size_t c = 0; c < g[r].size(); ++c) {
        link(g[r][c], g[r][(c + 1) % g[r].size()]);
        if (r + 1 < g.size() && c < g[r + 1].size()) link(g[r][c], g[r + 1][c]);
      }
  }
  auto acrossDisk = [&](int32_t d, int32_t from, int32_t to) {
    const auto& graph = diskGraph[d];
    return ShortestPath(
        mesh,
        [&](int32_t v, const std::function<void(int32_t)>& visit) {
          const auto it = graph.find(v);
          if (it != graph.end())
            for (int32_t w : it->second) visit(w);
        },
        from, to, std::numeric_limits<int64_t>::max());
  };
  // Joins two vertices of the chain along the mesh's own edges (directly unless refined).
  auto alongMesh = [&](int32_t from, int32_t to) {
    return ShortestPath(
        mesh,
        [&](int32_t v, const std::function<void(int32_t)>& visit) {
          for (int32_t w : adj[v]) visit(w);
        },
        from, to, 4096);
  };
  // A loop that runs through a band from its end A to its end B takes a column just left of
  // the middle of one face, a loop the other way one just right of it, so the two loops that
  // share a band run side by side. Empty when the band does not join the two disks.
  auto column = [&](int32_t band, int32_t from, int32_t to) -> std::vector<int32_t> {
    if (band < 1 || band > model.nTubes) return {};
    const TTube& t = model.tubes[band];
    const bool forward = t.endA.disk == from && t.endB.disk == to;
    if ((!forward && (t.endB.disk != from || t.endA.disk != to)) || t.grid.empty() ||
        t.nAcross <= 0)
      return {};
    std::vector<int32_t> c;
    for (const auto& row : t.grid) {
      const size_t across = static_cast<size_t>(Mod(t.nAcross / 4 + (forward ? -1 : 1), t.nAcross));
      if (across >= row.size() || !ValidVertex(mesh, row[across])) return {};
      c.push_back(row[across]);
    }
    if (!forward) std::reverse(c.begin(), c.end());
    return c;
  };
  std::vector<std::vector<int32_t>> paths;
  for (const std::vector<TLoopStep>& steps : inv.loopSteps) {
    // Waypoints: each band's column, then across the disk it leads to, to the next band's.
    std::vector<std::vector<int32_t>> columns;
    for (size_t s = 0; s < steps.size(); ++s) {
      const int32_t from = steps[(s + steps.size() - 1) % steps.size()].disk;
      if (from < 1 || from > model.nDisks || steps[s].disk < 1 || steps[s].disk > model.nDisks)
        return {};
      columns.push_back(column(steps[s].band, from, steps[s].disk));
      if (columns.back().size() < 2) return {};
    }
    if (columns.empty()) return {};
    std::vector<int32_t> waypoints;
    for (size_t s = 0; s < columns.size(); ++s) {
      const std::vector<int32_t>& here = columns[s];
      const std::vector<int32_t>& next = columns[(s + 1) % columns.size()];
      const std::vector<int32_t> across = acrossDisk(steps[s].disk, here.back(), next.front());
      if (across.empty() && here.back() != next.front()) return {};
      waypoints.insert(waypoints.end(), here.begin(), here.end() - 1);
      waypoints.insert(waypoints.end(), across.begin(), across.end());
    }
    std::vector<int32_t> chain;
    for (size_t p = 0; p < waypoints.size(); ++p) {
      const int32_t a = waypoints[p], b = waypoints[(p + 1) % waypoints.size()];
      const std::vector<int32_t> piece = alongMesh(a, b);
      if (piece.empty() && a != b) return {};
      chain.insert(chain.end(), piece.begin(), piece.end());
    }
    paths.push_back(chain);
  }
  return paths;
}

TLoopColour LoopColour(size_t i) {
  static constexpr TLoopColour kColours[] = {{0.90f, 0.10f, 0.10f}, {0.10f, 0.45f, 0.95f},
                                             {0.10f, 0.75f, 0.20f}, {0.95f, 0.55f, 0.05f},
                                             {0.60f, 0.15f, 0.85f}, {0.05f, 0.75f, 0.75f},
                                             {0.95f, 0.20f, 0.65f}, {0.45f, 0.30f, 0.10f}};
  return kColours[i % (sizeof kColours / sizeof kColours[0])];
}
