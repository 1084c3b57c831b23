// Closed polylines, knotted or not, given to the boundary identification: it names them or
// refuses them with a clear error, twice alike, and their mirror image (z -> -z) gets the mirror
// answer: the same row with the other chirality, Jones at 1/t, the same Alexander polynomial
// and linking numbers of the other sign, the negated signature and the same determinant.

#include <cmath>
#include <cstring>
#include <numeric>
#include <string>
#include <vector>

#include "diagram/boundaryId.h"
#include "helpers.h"
#include "fuzzSupport.h"

namespace {

// Raw lines: points on a small grid (so that meeting and overlapping strands are common), now
// and then an arbitrary float.
std::vector<std::vector<Vec3>> RawLines(TFuzzInput& in) {
  std::vector<std::vector<Vec3>> lines(static_cast<size_t>(in.Int(1, 3)));
  for (std::vector<Vec3>& line : lines) {
    const int32_t n = in.Int(0, 40);
    for (int32_t i = 0; i < n; ++i) {
      float c[3];
      for (float& v : c) {
        const uint8_t b = in.Byte();
        if (b == 0xff) {
          uint32_t bits = static_cast<uint32_t>(in.Byte()) << 24 | static_cast<uint32_t>(in.Byte()) << 16 |
                          static_cast<uint32_t>(in.Byte()) << 8 | in.Byte();
          std::memcpy(&v, &bits, sizeof v);
        } else {
          v = static_cast<float>(b % 16) - 8.0f;
        }
      }
      line.push_back({c[0], c[1], c[2]});
    }
  }
  return lines;
}

// A (p, q) torus knot or link on a wobbly torus: knotted input with many crossings in view.
std::vector<std::vector<Vec3>> TorusLines(TFuzzInput& in) {
  const int32_t p = in.Int(1, 5), q = in.Int(1, 7);
  const int32_t n = in.Int(3 * (p + q), 200);
  const double wobble = in.Int(0, 30) / 100.0;
  std::vector<double> noise(static_cast<size_t>(n));
  for (double& v : noise) v = wobble * (in.Byte() / 255.0 - 0.5);
  std::vector<std::vector<Vec3>> lines;
  const int32_t g = std::gcd(p, q);
  // Component k is the curve q phi - p theta = 2 pi k on the torus.
  for (int32_t k = 0; k < g; ++k) {
    std::vector<Vec3> line;
    for (int32_t i = 0; i < n; ++i) {
      const double t = 2 * M_PI * i / n;
      const double phi = p / g * t, theta = q / g * t - 2 * M_PI * k / p;
      const double r = 2 + std::cos(theta) + noise[static_cast<size_t>(i)];
      line.push_back({r * std::cos(phi), r * std::sin(phi), std::sin(theta)});
    }
    lines.push_back(std::move(line));
  }
  return lines;
}

bool Identify(const std::vector<std::vector<Vec3>>& lines, TBoundaryId& id) {
  try {
    id = IdentifyBoundary(lines, Table());
    return true;
  } catch (const std::invalid_argument&) {
  } catch (const std::length_error&) {
  }
  return false;
}

std::string Base(const std::string& name) {
  const std::string suffix = " (mirror image)";
  if (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
    return name.substr(0, name.size() - suffix.size());
  return name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TFuzzInput in(data, size);
  const std::vector<std::vector<Vec3>> lines = in.Bool() ? TorusLines(in) : RawLines(in);
  TBoundaryId id, again, mirror;
  if (!Identify(lines, id)) return 0;
  Expect(Identify(lines, again) && again.name == id.name && again.jones == id.jones,
         "a second run gives another answer");
  Expect(id.crossings >= 0 && id.components == static_cast<int32_t>(lines.size()),
         "the diagram has another number of components than the lines");
  std::vector<std::vector<Vec3>> mirrored = lines;
  for (std::vector<Vec3>& line : mirrored)
    for (Vec3& v : line) v.z = -v.z;
  if (!Identify(mirrored, mirror)) return 0;
  Expect(mirror.jonesPoly == MirrorJones(id.jonesPoly), "the mirror image's Jones is not V(1/t)");
  Expect(mirror.alexander == id.alexander, "the mirror image has another Alexander polynomial");
  Expect(Base(mirror.name) == Base(id.name), "the mirror image is named " + mirror.name +
                                                 ", the lines " + id.name);
  const bool amphichiral = id.jonesPoly == MirrorJones(id.jonesPoly) && id.signature == 0;
  if (!id.row.empty())
    Expect(amphichiral ? mirror.name == id.name : mirror.mirror != id.mirror,
           "the mirror image has the chirality of " + id.name);
  Expect(mirror.signature == -id.signature && mirror.determinant == id.determinant,
         "the mirror image's signature is not the negated one, or its determinant differs");
  // A knot's signature is even, and 0 mod 4 exactly when its determinant is 1 mod 4: the
  // Goeritz matrix against the Alexander polynomial.
  if (id.components == 1) {
    const int det4 = static_cast<int>(mpz_class(mpz_class(id.determinant) % 4).get_si());
    Expect(id.signature % 2 == 0 && (id.signature % 4 == 0) == (det4 == 1),
           "a knot's signature " + std::to_string(id.signature) + " does not fit its determinant " +
               id.determinant);
  }
  Expect(mirror.linkingNumbers.size() == id.linkingNumbers.size(), "other components");
  for (size_t i = 0; i < id.linkingNumbers.size(); ++i)
    Expect(mirror.linkingNumbers[i] == -id.linkingNumbers[i], "a linking number keeps its sign");
  return 0;
}
