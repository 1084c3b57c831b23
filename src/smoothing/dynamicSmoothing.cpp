#include "dynamicSmoothing.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// x^n for a small whole exponent (also negative): the force laws use only such powers.
double IntPow(double x, int32_t n) {
  double r = 1;
  for (int32_t i = 0; i < std::abs(n); ++i) r *= x;
  return n < 0 ? 1 / r : r;
}

bool IsKnot(const TVertex& v) { return v.tag == -1; }

// v x scale, shortened to `limit` when it is longer; `length` is its length before that. Done
// in double, so that a step too long for a float is shortened rather than lost; the result is
// non-finite only when v is.
Vec3 LimitedStep(const Vec3& v, double scale, double limit, double& length) {
  const double x = v.x * scale, y = v.y * scale, z = v.z * scale;
  length = std::sqrt(x * x + y * y + z * z);
  const double k = length > limit ? limit / length : 1.0;
  return Vec3(x * k, y * k, z * k);
}

bool Finite(const Vec3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

// max that lets a NaN through, so that the convergence test sees it.
void Widen(double& maxMove, double step) {
  if (!(step <= maxMove)) maxMove = step;
}

}  // namespace

double MeanEdge(const TMesh& mesh) {
  if (mesh.nEdges <= 0) return 0.01;
  double sum = 0;
  for (int32_t i = 0; i < mesh.nEdges; ++i) {
    const TEdge& e = mesh.edges[i];
    sum += (mesh.verts[e.b].pos - mesh.verts[e.a].pos).Length();
  }
  const double mean = sum / mesh.nEdges;
  return mean > 0 && std::isfinite(mean) ? mean : 0.01;
}

TSmoothingParams SmoothingParameters(const TSmoothingControls& c, double meanEdge) {
  TSmoothingParams p;
  p.iterations = c.iterations;
  p.dt = c.timeStep * 0.01;
  p.dtDecay = 1 - c.dtDecay / 1000.0;
  p.damping = c.damping / 100.0;
  TPairForces f;
  f.attraction = c.attraction / 10.0;
  f.repulsion = c.repulsion / 10000.0;
  f.alpha = c.alpha;
  f.beta = c.beta;
  f.minDist = 0.02 * meanEdge;
  p.knot = f;
  p.other = f;
  const double scale = c.scale == 0 ? 1.0 : double(c.scale);
  p.lengthScale = scale * scale * meanEdge;
  p.noiseOn = c.noise != 0;
  p.noise = c.noise / 100.0;
  p.pressure = c.pressure / 10.0;
  p.checkCollision = c.checkCollision;
  p.showIntermediate = c.showIntermediate;
  p.meanEdge = meanEdge;
  p.maxStep = 0.1 * meanEdge;
  p.collisionDist = 0.15 * meanEdge;
  p.collisionDist2 = p.collisionDist * p.collisionDist;
  return p;
}

void DecayTimeStep(TSmoothingParams& params) {
  params.dt = std::max(params.dt * params.dtDecay, kMinTimeStep);
}

int32_t TNoise::Next10000() {
  // xorshift64*: plenty for jitter, and the same sequence on every machine.
  state ^= state >> 12;
  state ^= state << 25;
  state ^= state >> 27;
  return static_cast<int32_t>(((state * 0x2545F4914F6CDD1DULL) >> 33) % 10000);
}

double SegmentDistance2(const Vec3& p0, const Vec3& p1, const Vec3& q0, const Vec3& q1) {
  // Closest points of two segments: minimise over s, t in [0, 1], re-projecting after each
  // clamp so that the answer is the true distance, also for parallel or degenerate segments.
  const Vec3 u = p1 - p0, w = q1 - q0, r = p0 - q0;
  const double a = u.Dot(u), c = w.Dot(w), f = w.Dot(r);
  double s = 0, t = 0;
  if (a <= 1e-30 && c <= 1e-30) return r.LengthSq();
  if (a <= 1e-30) {
    t = std::clamp(f / c, 0.0, 1.0);
  } else {
    const double cc = u.Dot(r);
    if (c <= 1e-30) {
      s = std::clamp(-cc / a, 0.0, 1.0);
    } else {
      const double b = u.Dot(w);
      const double den = a * c - b * b;
      s = den > 1e-30 ? std::clamp((b * f - cc * c) / den, 0.0, 1.0) : 0.0;
      t = (b * s + f) / c;
      if (t < 0) {
        t = 0;
        s = std::clamp(-cc / a, 0.0, 1.0);
      } else if (t > 1) {
        t = 1;
        s = std::clamp((b - cc) / a, 0.0, 1.0);
      }
    }
  }
  return (p0 + u * s - q0 - w * t).LengthSq();
}

bool SegmentsTooClose(const Vec3& p0, const Vec3& p1, const Vec3& q0, const Vec3& q1,
                      double collisionDist) {
  // Quick rejection: segments whose extents are apart by more than the distance on one axis.
  const float pa[2][3] = {{p0.x, p0.y, p0.z}, {p1.x, p1.y, p1.z}};
  const float qa[2][3] = {{q0.x, q0.y, q0.z}, {q1.x, q1.y, q1.z}};
  for (int k = 0; k < 3; ++k) {
    const double pMin = std::min(pa[0][k], pa[1][k]), pMax = std::max(pa[0][k], pa[1][k]);
    const double qMin = std::min(qa[0][k], qa[1][k]), qMax = std::max(qa[0][k], qa[1][k]);
    if (qMin - pMax > collisionDist || pMin - qMax > collisionDist) return false;
  }
  return SegmentDistance2(p0, p1, q0, q1) < collisionDist * collisionDist;
}

double SmoothStep(TSeiffert& model, const TSmoothingParams& P, TNoise& noise) {
  TMesh& mesh = model.mesh;
  std::vector<TVertex>& V = mesh.verts;
  const int32_t nVerts = mesh.nVerts;
  double maxMove = 0;
  for (int32_t i = 0; i < nVerts; ++i) V[i].temp = Vec3();

  // Noise: a random kick of every knot vertex, inside the unit ball.
  if (P.noiseOn && P.dt > 0) {
    const double scale = P.noise * P.meanEdge / P.dt;
    for (int32_t i = 0; i < nVerts; ++i) {
      if (!IsKnot(V[i])) continue;
      Vec3 q;
      do {
        q = Vec3(2.0 * noise.Next10000() / 10000 - 1, 2.0 * noise.Next10000() / 10000 - 1,
                 2.0 * noise.Next10000() / 10000 - 1);
      } while (q.LengthSq() >= 1);
      V[i].temp = q * scale;
    }
  }

  // Attraction along the edges; the surface does not pull the knot.
  for (int32_t i = 0; i < mesh.nEdges; ++i) {
    TVertex& a = V[mesh.edges[i].a];
    TVertex& b = V[mesh.edges[i].b];
    const Vec3 d = a.pos - b.pos;
    const double L = d.Length();
    if (!(L > 0)) continue;  // no direction: no pull
    const bool knotPair = IsKnot(a) && IsKnot(b);
    const TPairForces& f = knotPair ? P.knot : P.other;
    const Vec3 force = d * (f.attraction * IntPow(L / P.lengthScale, 1 + f.beta) / L);
    if (knotPair || !IsKnot(a)) a.temp -= force;
    if (knotPair || !IsKnot(b)) b.temp += force;
  }

  // Repulsion of every knot vertex against every later vertex. Isolated vertices (tag -2)
  // neither move nor push the knot, so they are left out.
  if (P.knot.repulsion > 0 || P.other.repulsion > 0) {
    for (int32_t i = 0; i < nVerts; ++i) {
      if (!IsKnot(V[i])) continue;
      TVertex& vi = V[i];
      for (int32_t j = i + 1; j < nVerts; ++j) {
        TVertex& vj = V[j];
        if (vj.tag == -2) continue;
        const bool knotPair = IsKnot(vj);
        const TPairForces& f = knotPair ? P.knot : P.other;
        if (!(f.repulsion > 0)) continue;
        const Vec3 d = vi.pos - vj.pos;
        const double L = d.Length();
        if (!(L > f.minDist)) continue;
        const Vec3 force = d * (f.repulsion * IntPow(L / P.lengthScale, -(2 + f.alpha)) / L);
        if (knotPair) vi.temp += force;
        vj.temp -= force;
      }
    }
  }

  // Pressure: every vertex is pushed along its normal towards its non-knot neighbours' plane.
  if (P.pressure > 0) {
    for (int32_t i = 0; i < nVerts; ++i) {
      TVertex& v = V[i];
      for (int32_t ei : VEdges(mesh, i)) {
        const TEdge& e = mesh.edges[ei];
        const TVertex& w = V[e.a == i ? e.b : e.a];
        if (IsKnot(w)) continue;
        v.temp += v.normal * (-P.pressure * (w.pos - v.pos).Dot(v.normal));
      }
    }
  }

  // Knot vertices move with damped velocity unless the move brings a neighbouring segment too
  // close to another part of the knot. Moves take effect at once, so what they change is noted
  // first: a non-finite result takes the whole iteration back.
  struct TUndo {
    int32_t vertex;
    Vec3 pos, velocity;
  };
  std::vector<TUndo> undo;
  bool finite = true;
  const auto takeBack = [&] {
    for (auto it = undo.rbegin(); it != undo.rend(); ++it) {
      V[it->vertex].pos = it->pos;
      V[it->vertex].velocity = it->velocity;
    }
  };
  for (int32_t l = 0; l < model.nLinks && finite; ++l) {
    const std::vector<int32_t>& line = model.links[l].verts;
    const int32_t n = model.links[l].nVerts;
    for (int32_t j = 0; j < n; ++j) {
      TVertex& v = V[line[j]];
      const Vec3 p = V[line[(j + 1) % n]].pos;
      const Vec3 q = V[line[(j - 1 + n) % n]].pos;
      undo.push_back({line[j], v.pos, v.velocity});
      v.velocity = v.velocity * P.damping + v.temp * P.dt;
      double length = 0;
      const Vec3 c = v.pos + LimitedStep(v.velocity, P.dt, P.maxStep, length);
      if (!Finite(c) || !Finite(v.velocity)) {
        finite = false;
        break;
      }
      bool blocked = false;
      for (int32_t k = 0; k < model.nLinks && !blocked; ++k) {
        const std::vector<int32_t>& other = model.links[k].verts;
        const int32_t nk = model.links[k].nVerts;
        for (int32_t m = 0; m < nk && P.checkCollision; ++m) {
          if (k == l) {
            const int32_t gap = std::abs(m - j);
            if (gap < 5 || n - gap < 5) continue;
          }
          const Vec3& a = V[other[m]].pos;
          const Vec3& b = V[other[(m + 1) % nk]].pos;
          if (SegmentsTooClose(p, c, a, b, P.collisionDist) ||
              SegmentsTooClose(q, c, a, b, P.collisionDist)) {
            blocked = true;
            break;
          }
        }
      }
      if (blocked) continue;
      Widen(maxMove, length);
      v.pos = c;
    }
  }

  // Surface vertices follow their force; the step is measured before it is limited. They move
  // independently, so every new position is checked before the first one is stored.
  const double dt2 = P.dt * P.dt;
  for (int32_t i = 0; i < nVerts && finite; ++i) {
    TVertex& v = V[i];
    if (v.tag < 0) continue;
    double length = 0;
    v.temp = LimitedStep(v.temp, dt2, P.maxStep, length);  // from force to step
    Widen(maxMove, length);
    finite = Finite(v.pos + v.temp);
  }
  if (!finite || !std::isfinite(maxMove)) {
    takeBack();
    throw TSmoothingError(
        "Smoothing stopped: the next iteration would move vertices to non-finite positions. "
        "The surface keeps its last finite state; lower \"Time step\", \"Attraction\" or "
        "\"Repulsion\", or raise \"scale\".");
  }
  for (int32_t i = 0; i < nVerts; ++i) {
    TVertex& v = V[i];
    if (v.tag >= 0) v.pos += v.temp;
  }
  return maxMove;
}
