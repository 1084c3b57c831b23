// The self-intersection count on small soups whose answer a sketch shows, and the grid search
// against trying every pair on its own.

#include "mesh/selfIntersection.h"

#include <gtest/gtest.h>

#include <random>
#include <stdexcept>
#include <vector>

namespace {

using TSoup = std::vector<Vec3>;

TSoup operator+(TSoup a, const TSoup& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TSoup Shifted(TSoup s, Vec3 by) {
  for (Vec3& p : s) p = p + by;
  return s;
}

// A closed unit cube, 12 triangles wound outward, its low corner at `at`.
TSoup Cube(Vec3 at, float side = 1) {
  const auto v = [&](int i) {
    return Vec3(at.x + side * (i & 1), at.y + side * ((i >> 1) & 1), at.z + side * ((i >> 2) & 1));
  };
  const int quads[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                           {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
  TSoup s;
  for (const auto& q : quads)
    for (int t : {0, 1, 2, 0, 2, 3}) s.push_back(v(q[t]));
  return s;
}

int64_t Pairs(const TSoup& s) { return FindSelfIntersections(s).pairs; }

}  // namespace

// Each way two triangles can lie, with what they share, and whether a print would see them
// pass through each other.
TEST(SelfIntersection, PairsOfTrianglesMeetOnlyBeyondWhatTheyShare) {
  const Vec3 o(0, 0, 0), x(1, 0, 0), y(0, 1, 0), z(0, 0, 1);
  const struct {
    const char* name;
    TSoup soup;
    int64_t pairs;
  } cases[] = {
      // Sharing nothing.
      {"apart, parallel", TSoup{o, x, y, o + z, x + z, y + z}, 0},
      {"crossing", TSoup{o, x, y, Vec3(0.2, 0.2, -1), Vec3(0.2, 0.2, 1), Vec3(0.2, 2, 0)}, 1},
      {"a corner touching the other's face", TSoup{o, x, y, Vec3(0.2, 0.2, 0), Vec3(0.2, 0.2, 1), Vec3(1, 1, 1)}, 1},
      {"in one plane, overlapping", TSoup{o, x, y, Vec3(0.1, 0.1, 0), Vec3(2, 0.1, 0), Vec3(0.1, 2, 0)}, 1},
      {"in one plane, one inside the other", TSoup{o, x * 4, y * 4, Vec3(1, 1, 0), Vec3(1.5, 1, 0), Vec3(1, 1.5, 0)}, 1},
      {"in one plane, apart", TSoup{o, x, y, Vec3(1, 1, 0), Vec3(2, 1, 0), Vec3(1, 2, 0)}, 0},
      {"an edge lying in the other's plane, outside it", TSoup{o, x, y, Vec3(1, 1, 0), Vec3(2, 1, 0), Vec3(1, 1, 1)}, 0},
      {"an edge lying across the other", TSoup{o, x, y, Vec3(-1, 0.2, 0), Vec3(2, 0.2, 0), Vec3(0, 0.2, 1)}, 1},
      // Sharing one vertex.
      {"a fan around a corner", TSoup{o, x, y, o, Vec3(-1, 0.5, 0), Vec3(-1, -0.5, 0)}, 0},
      {"the far edge through the other", TSoup{o, x, y, o, Vec3(0.2, 0.2, -1), Vec3(0.2, 0.2, 1)}, 1},
      {"in one plane, one in the other's angle", TSoup{o, x * 4, y * 4, o, Vec3(1, 1, 0), Vec3(1, 2, 0)}, 1},
      // Sharing an edge.
      {"a flat quad", TSoup{o, x, y, x, x + y, y}, 0},
      {"a bent quad", TSoup{o, x, y, x, x + y + z, y}, 0},
      {"folded onto each other", TSoup{o, x, y, y, x, Vec3(0.2, 0.2, 0)}, 1},
      // A facet stored twice.
      {"the same facet twice", TSoup{o, x, y, o, y, x}, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Pairs(c.soup), c.pairs);
    // The same in any order of the triangles and far from the origin, where a double's
    // rounding of the float corners' differences is at its worst.
    TSoup swapped(c.soup.begin() + 3, c.soup.end());
    swapped.insert(swapped.end(), c.soup.begin(), c.soup.begin() + 3);
    EXPECT_EQ(Pairs(swapped), c.pairs);
    EXPECT_EQ(Pairs(Shifted(c.soup, Vec3(1024, -4096, 512))), c.pairs);
  }
}

// Closed solids: a cube has none; two cubes through each other meet along one closed curve,
// which is one place however many facets it crosses; two such pairs apart are two places.
TEST(SelfIntersection, PlacesAreConnectedSetsOfCrossingFacets) {
  const TSoup one = Cube(Vec3(0, 0, 0));
  EXPECT_EQ(FindSelfIntersections(one).pairs, 0);
  // Touching cubes meet in a face: a print fuses them, a slicer sees a fault all the same.
  EXPECT_GT(FindSelfIntersections(one + Cube(Vec3(1, 0, 0))).pairs, 0);
  const TSoup crossed = one + Cube(Vec3(0.5, 0.4, 0.3));
  const TSelfIntersections a = FindSelfIntersections(crossed);
  EXPECT_GT(a.pairs, 0);
  EXPECT_EQ(a.places, 1);
  const TSelfIntersections b = FindSelfIntersections(crossed + Shifted(crossed, Vec3(5, 0, 0)));
  EXPECT_EQ(b.pairs, 2 * a.pairs);
  EXPECT_EQ(b.places, 2);
  EXPECT_EQ(b.faces.size(), 2 * a.faces.size());
  EXPECT_EQ(SelfIntersectionWarning(b), "the surface intersects itself in 2 places; a print of it will fail");
  EXPECT_EQ(SelfIntersectionWarning(FindSelfIntersections(one)), "");
}

// The grid finds every pair that trying each pair alone finds, and counts it once, over random
// soups of small and large triangles (large ones make the cells grow).
TEST(SelfIntersection, TheGridMissesNoPairAndCountsNoneTwice) {
  std::mt19937 random(7);
  std::uniform_real_distribution<float> at(0, 10), near(-1, 1);
  for (int round = 0; round < 20; ++round) {
    TSoup soup;
    for (int t = 0; t < 80; ++t) {
      const Vec3 c(at(random), at(random), at(random));
      const float size = t % 20 == 0 ? 8 : 1.2f;
      for (int k = 0; k < 3; ++k)
        soup.push_back(c + Vec3(near(random) * size, near(random) * size, near(random) * size));
    }
    int64_t alone = 0;
    for (size_t i = 0; i < soup.size(); i += 3)
      for (size_t j = i + 3; j < soup.size(); j += 3)
        alone += Pairs({soup[i], soup[i + 1], soup[i + 2], soup[j], soup[j + 1], soup[j + 2]});
    EXPECT_EQ(Pairs(soup), alone) << "round " << round;
  }
}

TEST(SelfIntersection, BadInputIsRefused) {
  EXPECT_THROW(FindSelfIntersections(TSoup{Vec3(0, 0, 0), Vec3(1, 0, 0)}), std::invalid_argument);
  EXPECT_THROW(FindSelfIntersections(TSoup{Vec3(0, 0, 0), Vec3(NAN, 0, 0), Vec3(0, 1, 0)}),
               std::invalid_argument);
  EXPECT_EQ(Pairs({}), 0);
}
