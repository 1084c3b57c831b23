#pragma once
// What glFrustum (glOrtho when isometric) makes of a stored projection window, column-major:
// the tests check the camera's window and GL's read-back against it.

#include <array>

#include "render/view.h"

inline std::array<double, 16> ProjectionMatrix(const TView& v) {
  std::array<double, 16> m{};
  const double w = v.Right - v.Left, h = v.Top - v.Bottom, d = v.Far - v.Near;
  if (v.Isometric) {
    m[0] = 2 / w;
    m[5] = 2 / h;
    m[10] = -2 / d;
    m[12] = -(v.Right + v.Left) / w;
    m[13] = -(v.Top + v.Bottom) / h;
    m[14] = -(v.Far + v.Near) / d;
    m[15] = 1;
  } else {
    m[0] = 2 * v.Near / w;
    m[5] = 2 * v.Near / h;
    m[8] = (v.Right + v.Left) / w;
    m[9] = (v.Top + v.Bottom) / h;
    m[10] = -(v.Far + v.Near) / d;
    m[11] = -1;
    m[14] = -2 * v.Far * v.Near / d;
  }
  return m;
}
