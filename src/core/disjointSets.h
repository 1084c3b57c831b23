#pragma once
// Disjoint sets over 0..n-1 (union-find with path halving): which pieces a graph falls into.

#include <cstdint>
#include <numeric>
#include <vector>

struct TDisjointSets {
  std::vector<int32_t> up;
  explicit TDisjointSets(size_t n) : up(n) { std::iota(up.begin(), up.end(), 0); }
  int32_t Find(int32_t a) {
    while (up[a] != a) a = up[a] = up[up[a]];
    return a;
  }
  void Join(int32_t a, int32_t b) { up[Find(a)] = Find(b); }
  // The number of sets.
  int32_t Count() {
    int32_t n = 0;
    for (size_t i = 0; i < up.size(); ++i)
      n += Find(static_cast<int32_t>(i)) == static_cast<int32_t>(i);
    return n;
  }
};
