#pragma once
// What the fuzz targets share: reading an input as a stream of choices, telling the errors the
// model raises on purpose from faults, and the oracles on a window's state after a recompute.
// Builds with g++ (corpus replay under CTest) and with clang (libFuzzer).

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <stdexcept>
#include <string>
#include <string_view>
#include <typeinfo>
#include <utility>

#include "app/model/appState.h"
#include "app/model/headlessWindow.h"
#include "core/rangeError.h"
#include "helpers.h"
#include "mesh/meshSummary.h"
#include "surface/seifert.h"

// A fault: say what broke and abort, so libFuzzer keeps the input and a replay test fails.
[[noreturn]] inline void Finding(const std::string& what) {
  std::fprintf(stderr, "fuzz finding: %s\n", what.c_str());
  std::fflush(stderr);
  std::abort();
}

inline void Expect(bool ok, const std::string& what) {
  if (!ok) Finding(what);
}

// The input read front to back; an exhausted input reads as zeros, so every input is usable.
class TFuzzInput {
 public:
  TFuzzInput(const uint8_t* data, size_t size) : data(data), size(size) {}

  bool Empty() const { return pos >= size; }
  uint8_t Byte() { return pos < size ? data[pos++] : 0; }
  bool Bool() { return (Byte() & 1) != 0; }

  // A value in lo..hi (two bytes of entropy, enough for every control range).
  int32_t Int(int32_t lo, int32_t hi) {
    if (hi < lo) std::swap(lo, hi);
    const uint32_t raw = static_cast<uint32_t>(Byte()) << 8 | Byte();
    const int64_t span = static_cast<int64_t>(hi) - lo + 1;
    return static_cast<int32_t>(lo + static_cast<int64_t>(raw) % span);
  }

  // Any 32-bit value.
  int32_t Int32() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v = v << 8 | Byte();
    return static_cast<int32_t>(v);
  }

  // A length byte (bounded by maxLen), then that many bytes.
  std::string Text(size_t maxLen) {
    const size_t n = std::min<size_t>(Byte(), maxLen);
    std::string s;
    while (s.size() < n && !Empty()) s += static_cast<char>(Byte());
    return s;
  }

  std::string Rest() {
    std::string s(reinterpret_cast<const char*>(data + pos), size - pos);
    pos = size;
    return s;
  }

 private:
  const uint8_t* data;
  size_t size;
  size_t pos = 0;
};

// Messages of the standard library's own checks ("vector::_M_range_check: ...", "stoi",
// "basic_string::substr") mean an unchecked index or conversion reached the library: a fault
// even when caught, since the user learns nothing from them.
inline constexpr std::string_view kLibraryMarkers[] = {
    "_M_",     "vector::",  "basic_string", "stoi",         "stol",        "stod",
    "map::at", "bad_alloc", "bad_array",    "bad_optional", "bad_variant", "bad_function"};

// The errors the model raises on purpose, each with a message for the user: RangeError,
// std::invalid_argument (unknown controls, malformed text) and std::runtime_error (the cli's
// own errors, I/O). Anything else (a bare std::out_of_range from .at(), std::length_error,
// std::bad_alloc) is a fault. `typed`: text of the input that a message may quote.
inline bool DeliberateError(const std::exception& e, std::string_view typed = {}) {
  const bool kind = dynamic_cast<const RangeError*>(&e) ||
                    dynamic_cast<const std::invalid_argument*>(&e) ||
                    dynamic_cast<const std::runtime_error*>(&e);
  if (!kind) return false;
  const std::string_view what = e.what();
  if (what.empty()) return false;
  for (std::string_view marker : kLibraryMarkers)
    if (what.find(marker) != std::string_view::npos && typed.find(marker) == std::string_view::npos)
      return false;
  return true;
}

inline void ExpectDeliberate(const std::exception& e, std::string_view typed = {}) {
  if (!DeliberateError(e, typed))
    Finding(std::string("unexpected ") + typeid(e).name() + ": " + e.what());
}

// Puts a new headless window into the program's start state. StartUp (four builds of the start
// knot) costs more than all the rest of an input, so it runs once per process; each input gets
// a copy of what it reached: every control's value and the window's state record. `coarse`
// moves the "Coarse".."Fine" slider to "Coarse" first, which makes every later build cheap.
inline void StartFromCopy(THeadlessWindow& w, bool coarse) {
  static const auto started = [](bool coarseStart) {
    auto* s = new THeadlessWindow;
    s->window.StartUp();
    if (coarseStart) s->controls.SetPosition("tb_res", 0);
    return s;
  };
  static const THeadlessWindow* const fine = started(false);
  static const THeadlessWindow* const coarseCopy = started(true);
  const THeadlessWindow& from = coarse ? *coarseCopy : *fine;
  w.app = from.app;
  w.controls = from.controls;
  // The copied store would raise its events in the started window: route them to this one.
  w.controls.SetEventSink([&w](const TControlDef& d) { w.window.HandleEvent(d); });
}

// What a state check may assume about how the mesh came about.
struct TMeshHistory {
  bool fresh = false;  // built from the lay-out, neither smoothed nor refined
};

// Why `nLinks` link lines cannot bound the surface of m's disks and bands, or "" when they can.
// With every twist count odd the bands are braid letters and the link lines are the components
// of the closure. A band with an even count is no braid letter (the one band "A2" joins two
// disks into one, while the letters "AA" close to a Hopf link); then only the parity is known:
// an orientable surface with b boundary curves has Euler characteristic nDisks - nTubes = b
// modulo 2. A knot band doubles every line.
inline std::string LinkCountProblem(const TSeiffert& m, int64_t nLinks, int32_t knotWidth,
                                    uint8_t layout) {
  const int64_t per = knotWidth > 0 ? 2 : 1;
  if (nLinks % per != 0) return std::to_string(nLinks) + " link lines with a knot band";
  const int64_t curves = nLinks / per;
  bool allOdd = true;
  for (int32_t k = 1; k <= m.nCross && k < static_cast<int32_t>(m.power.size()); ++k)
    allOdd = allOdd && m.power[static_cast<size_t>(k)] % 2 != 0;
  const int64_t components = LayoutComponents(m, layout);
  if (allOdd && curves != components)
    return std::to_string(nLinks) + " link lines for a closure of " +
           std::to_string(components) + " components, knot width " + std::to_string(knotWidth);
  const int64_t euler = int64_t{m.nDisks} - m.nTubes;
  if (curves < 1 || (curves - euler) % 2 != 0)
    return std::to_string(curves) + " boundary curves on a surface of Euler characteristic " +
           std::to_string(euler);
  return "";
}

// Oracles on the model after a recompute, a smoothing run or a Refine: the lay-out's
// invariants, finite positions, a closed two-manifold mesh, link lines that name stored
// vertices and, for a fresh build, Euler characteristic 2 (nDisks - nTubes); one link line per
// component of the braid's closure (two with a knot band). `when` says which step was just done.
inline void CheckModel(const TAppState& app, const TMeshHistory& h, const std::string& when) {
  const TSeiffert& m = app.Seifert;
  const std::string where = " after " + when + " (word \"" + m.text + "\")";
  if (app.torusShown) {
    // A closed torus (Euler characteristic 0) and maybe the band strip inside it, whose ends
    // are separate copies: a disk with 2 x faces + 2 open edges. One knot, no lay-out.
    const TMeshSummary s = SummariseMesh(m.mesh);
    const int64_t band = s.facesByKind[1];
    const int64_t euler = s.usedVerts - s.faceEdges + m.mesh.nFaces;
    Expect(s.badCorners == 0 && s.nonManifoldEdges == 0 &&
               s.openEdges == (band ? 2 * band + 2 : 0) && euler == (band ? 1 : 0) &&
               m.nDisks == 0 && m.nTubes == 0 && m.nLinks == 1,
           "torus mesh is not a torus with its band" + where);
    return;
  }
  const std::string layout = CheckLayoutInvariants(m);
  Expect(layout.empty(), "lay-out invariant broken" + where + ": " + layout);

  const TMesh& mesh = m.mesh;
  Expect(mesh.nVerts >= 0 && static_cast<size_t>(mesh.nVerts) <= mesh.verts.size() &&
             mesh.nFaces >= 0 && static_cast<size_t>(mesh.nFaces) <= mesh.faces.size(),
         "mesh counts exceed the storage" + where);
  for (int32_t i = 0; i < mesh.nVerts; ++i) {
    const Vec3& p = mesh.verts[static_cast<size_t>(i)].pos;
    Expect(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z),
           "vertex " + std::to_string(i) + " is not finite" + where);
  }

  const TMeshSummary s = SummariseMesh(mesh);
  Expect(s.badCorners == 0, std::to_string(s.badCorners) + " face corners name no vertex" + where);
  Expect(s.openEdges == 0, std::to_string(s.openEdges) + " open edges" + where);
  Expect(s.nonManifoldEdges == 0,
         std::to_string(s.nonManifoldEdges) + " edges with more than two faces" + where);

  Expect(m.nLinks >= 0 && static_cast<size_t>(m.nLinks) <= m.links.size(),
         "link count exceeds the link table" + where);
  for (int32_t l = 0; l < m.nLinks; ++l) {
    const TLinkLine& line = m.links[static_cast<size_t>(l)];
    Expect(line.nVerts >= 0 && static_cast<size_t>(line.nVerts) <= line.verts.size(),
           "link line longer than its table" + where);
    for (int32_t k = 0; k < line.nVerts; ++k)
      Expect(ValidVertex(mesh, line.verts[static_cast<size_t>(k)]),
             "link line " + std::to_string(l) + " names no stored vertex" + where);
  }

  if (h.fresh) {
    const int64_t euler = s.usedVerts - s.faceEdges + mesh.nFaces;
    Expect(euler == 2 * (int64_t(m.nDisks) - m.nTubes),
           "Euler characteristic " + std::to_string(euler) + " of the closed mesh is not 2 x (" +
               std::to_string(m.nDisks) + " disks - " + std::to_string(m.nTubes) + " bands)" +
               where);
  }
  // The hidden "Show construction" box labels faces by disk and band instead of by side, so
  // its seams are the construction's borders, not the knot.
  if (app.Settings.showConstruction) return;
  // A smoothed surface stays through a change of lay-out (only a new word or Restart builds
  // anew), so its lines are those of the lay-out it was built in: stacked (every strand) or
  // one that leaves strands without crossings out.
  std::string links = LinkCountProblem(m, m.nLinks, m.knotWidth, app.Settings.layout);
  if (!links.empty() && app.smoothed &&
      (LinkCountProblem(m, m.nLinks, m.knotWidth, kLayoutStacked).empty() ||
       LinkCountProblem(m, m.nLinks, m.knotWidth, kLayoutFlat).empty()))
    links.clear();
  Expect(links.empty(), links + where);
}
