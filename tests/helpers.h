#pragma once
// Tiny inputs shared by the suites.

#include "mesh/meshModel.h"

// A unit cube of 6 quads, faces oriented consistently, all of kind `kind`.
//
//      7-----6
//     /|    /|      z up; vertices 0..3 at z = 0, 4..7 at z = 1
//    4-----5 |
//    | 3---|-2
//    |/    |/
//    0-----1
inline TMesh MakeCube(int capacityFactor = 1, int kind = 0) {
  TMesh m;
  m.verts.resize(8 * capacityFactor);
  m.faces.resize(8 * capacityFactor);
  const float p[8][3] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0},
                         {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}};
  for (auto& q : p) AddVertex(m, Vec3(q[0], q[1], q[2]), true);
  const int f[6][4] = {{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 1, 5, 4},
                       {1, 2, 6, 5}, {2, 3, 7, 6}, {3, 0, 4, 7}};
  for (auto& q : f) AddFace(m, q[0], q[1], q[2], q[3], kind);
  return m;
}
