#pragma once
// Single-precision 3-vector: every position, direction and normal of the model.

#include <cmath>
#include <limits>

// A double as a float; beyond the float range it is an infinity rather than undefined
// behaviour, so that the finiteness checks downstream see it.
inline float ToFloat(double v) {
  constexpr double kMax = std::numeric_limits<float>::max();
  if (v > kMax) return std::numeric_limits<float>::infinity();
  if (v < -kMax) return -std::numeric_limits<float>::infinity();
  return static_cast<float>(v);
}

struct Vec3 {
  float x = 0, y = 0, z = 0;

  Vec3() = default;
  // In the float range (as every position of a mesh is); ToFloat guards values that may not be.
  Vec3(double ax, double ay, double az)
      : x(static_cast<float>(ax)), y(static_cast<float>(ay)), z(static_cast<float>(az)) {}

  static Vec3 Zero() { return {}; }

  Vec3 operator+(const Vec3& o) const { return {x + o.x, y + o.y, z + o.z}; }
  Vec3 operator-(const Vec3& o) const { return {x - o.x, y - o.y, z - o.z}; }
  Vec3 operator-() const { return {-x, -y, -z}; }
  Vec3 operator*(double s) const { return {x * s, y * s, z * s}; }
  Vec3 operator/(double s) const { return {x / s, y / s, z / s}; }
  Vec3& operator+=(const Vec3& o) { x += o.x; y += o.y; z += o.z; return *this; }
  Vec3& operator-=(const Vec3& o) { x -= o.x; y -= o.y; z -= o.z; return *this; }
  Vec3& operator*=(double s) { *this = *this * s; return *this; }
  bool operator==(const Vec3& o) const { return x == o.x && y == o.y && z == o.z; }

  double Dot(const Vec3& o) const { return double(x) * o.x + double(y) * o.y + double(z) * o.z; }
  Vec3 Cross(const Vec3& o) const {
    return {double(y) * o.z - double(z) * o.y, double(z) * o.x - double(x) * o.z,
            double(x) * o.y - double(y) * o.x};
  }
  double Length() const { return std::sqrt(Dot(*this)); }
  double LengthSq() const { return Dot(*this); }

  // A zero vector stays zero: callers rely on that for unused vertices.
  void Normalise() {
    double l = Length();
    if (l > 0) *this = *this / l;
  }
  Vec3 Normalised() const { Vec3 r = *this; r.Normalise(); return r; }
};

inline Vec3 operator*(double s, const Vec3& v) { return v * s; }
