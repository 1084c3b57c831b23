// Any text as a DT or a PD code: the reader refuses it with std::invalid_argument, or draws a
// planar diagram that reads back as itself, whose Seifert circles fit together, and whose
// Diagram lay-out is a closed surface with one boundary curve per component of the code.

#include <string>

#include "diagram/diagramCodes.h"
#include "diagram/seifertCircles.h"
#include "fuzzSupport.h"
#include "mesh/buildMesh.h"

namespace {

// Surfaces of codes this large are built; larger ones are only read, to keep a run short.
constexpr int32_t kMaxBuiltCrossings = 24;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TFuzzInput in(data, size);
  const bool dt = !in.Bool();
  const std::string code = in.Rest();
  TPDCode pd;
  try {
    pd = dt ? PDFromDT(code) : ReadPD(code);
  } catch (const std::invalid_argument&) {
    return 0;
  }
  Expect(!pd.empty(), "an accepted code without crossings");
  Expect(ReadPD(PDText(pd)) == pd, "the PD code does not read back as itself");
  if (dt) Expect(PDFromDT(code) == pd, "a second drawing of the DT code differs");
  const TLinkDiagram link = DiagramFromPD(pd);
  if (dt) Expect(link.Components() == 1, "a DT code drew more than one component");
  const TSeifertDiagram d = SeifertCircles(pd);
  Expect(d.nCrossings == static_cast<int32_t>(pd.size()), "circles of another crossing count");
  size_t visits = 0;
  for (const TSeifertCircle& c : d.circles) visits += c.crossings.size();
  Expect(visits == 2 * pd.size(), "the circles do not meet every crossing twice");
  for (const auto& cc : d.crossingCircles) Expect(cc[0] != cc[1] && cc[0] >= 0, "a crossing on one circle");
  const int32_t twice = d.nCrossings - static_cast<int32_t>(d.circles.size()) + 2 * d.pieces - d.components;
  Expect(twice >= 0 && twice % 2 == 0, "a canonical genus that is no whole number");
  if (d.nCrossings > kMaxBuiltCrossings) return 0;

  TSeiffert model;
  TSettings s = StartSettings();
  s.layout = kLayoutDiagram;
  try {
    LayoutDiagram(model, s, pd);
  } catch (const RangeError&) {
    return 0;  // a circle with more than 50 crossings
  }
  Expect(CheckLayoutInvariants(model).empty(), "lay-out invariants: " + CheckLayoutInvariants(model));
  BuildMesh(model, s, true, false);
  const TTopology t = Topology(model.mesh);
  Expect(t.openEdges == 0 && t.overfullEdges == 0, "the surface is not closed");
  Expect(t.Euler() == 2L * (model.nDisks - model.nTubes), "the closed surface has the wrong genus");
  Expect(model.nLinks == link.Components(), "boundary curves are not the code's components");
  return 0;
}
