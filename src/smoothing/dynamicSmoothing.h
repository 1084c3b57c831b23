#pragma once
// Dynamic smoothing: an explicit force simulation on the mesh. Edges pull their ends together,
// knot vertices repel the rest, knot vertices move with damped velocity and a collision test
// keeps knot segments from passing through each other, so the knot type never changes; a step
// limit keeps the surface's parts (bands, disks) from passing through one another.

#include <cstdint>
#include <stdexcept>

#include "surface/seifert.h"

// The time step never decays below this (a "decay" of 1000 would make it 0, and the noise,
// which is scaled by 1 / dt, infinite).
constexpr double kMinTimeStep = 1e-6;

// An iteration would have stored a non-finite position; the mesh keeps the state it had
// before that iteration.
class TSmoothingError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Force constants for one kind of vertex pair.
struct TPairForces {
  double attraction = 1.0;
  double repulsion = 0.001;
  int32_t alpha = 0;  // repulsion falls off with distance^-(2 + alpha)
  int32_t beta = 1;   // attraction grows with length^(1 + beta)
  double minDist = 0;
};

// The raw positions of the smoothing group's controls.
struct TSmoothingControls {
  int32_t iterations = 10000;  // ud_seniter
  int32_t timeStep = 100;      // ud_sedt
  int32_t dtDecay = 10;        // ud_dtfac
  int32_t damping = 20;        // ud_damp
  int32_t attraction = 10;     // ud_hatr
  int32_t repulsion = 10;      // ud_krep
  int32_t alpha = 0;           // ud_alpha
  int32_t beta = 1;            // ud_beta
  int32_t scale = 2;           // ud_rscale
  int32_t noise = 0;           // ud_noise
  int32_t pressure = 0;        // ud_pressure
  bool checkCollision = true;  // cb_checkcol
  bool showIntermediate = true;  // cb_seshowintermediate
};

struct TSmoothingParams {
  int32_t iterations = 10000;
  double dt = 1.0;
  double dtDecay = 0.99;
  double damping = 0.2;
  TPairForces knot;   // both ends on the knot
  TPairForces other;  // every other pair
  double lengthScale = 0;
  bool noiseOn = false;
  double noise = 0;
  double pressure = 0;
  bool checkCollision = true;
  // With checkCollision: steps are also shortened where two parts of the surface (quads of one
  // side that share no vertex) would otherwise close in on one another so fast that they could
  // pass through each other; elsewhere the steps are those of the plain iteration.
  bool keepSurfaceApart = true;
  bool showIntermediate = true;
  double meanEdge = 0.01;
  double maxStep = 0.001;
  double collisionDist = 0.0015;
  double collisionDist2 = 0.0015 * 0.0015;
  // Threads for the repulsion; 0 takes one per core. The result does not depend on it.
  int32_t workers = 0;
};

// Mean length of the mesh's edges; 0.01 when it has none, or when they have no length (or no
// finite one) between them, since every threshold is a multiple of it.
double MeanEdge(const TMesh& mesh);

// Converts the control positions; every length threshold is a multiple of meanEdge. A "scale"
// of 0 counts as 1, its smallest positive value: a length scale of 0 divides by zero.
TSmoothingParams SmoothingParameters(const TSmoothingControls& c, double meanEdge);

// dt := dt x dtDecay, but never below kMinTimeStep.
void DecayTimeStep(TSmoothingParams& params);

// The noise source: a small seeded generator of our own, so runs repeat exactly.
class TNoise {
 public:
  explicit TNoise(uint64_t seed = 0x5EED5EEDULL) : state(seed ? seed : 1) {}
  // A whole number in 0..9999.
  int32_t Next10000();

 private:
  uint64_t state;
};

// Squared distance between the segments (p0, p1) and (q0, q1).
double SegmentDistance2(const Vec3& p0, const Vec3& p1, const Vec3& q0, const Vec3& q1);

// Whether the segments come closer than collisionDist.
bool SegmentsTooClose(const Vec3& p0, const Vec3& p1, const Vec3& q0, const Vec3& q1,
                      double collisionDist);

// One iteration over the model's mesh and link lines. Needs edges, vertex tags (-1 on the knot,
// from ClassifyVertices) and, with pressure, vertex normals. Returns the largest step taken.
// An iteration that would move a vertex to a non-finite position changes nothing (positions
// and velocities stay as they were) and throws TSmoothingError.
double SmoothStep(TSeiffert& model, const TSmoothingParams& params, TNoise& noise);
