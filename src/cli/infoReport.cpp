#include "infoReport.h"

#include "app/model/pipeline.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <numeric>
#include <string>

#include "core/printableText.h"
#include "app/model/boundaryReport.h"
#include "app/model/surfaceSummary.h"
#include "knots/census.h"
#include "knots/torusKnot.h"
#include "mesh/meshSummary.h"

namespace {

using Json = nlohmann::ordered_json;

// A float as the double that prints as its shortest decimal (0.85f gives 0.85, not
// 0.8500000238418579).
Json Real(float v) {
  char buf[32];
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
  if (ec != std::errc()) return Json(static_cast<double>(v));
  return Json(std::strtod(std::string(buf, end).c_str(), nullptr));
}

Json Point(const Vec3& v) { return Json::array({Real(v.x), Real(v.y), Real(v.z)}); }

const char* LayoutName(uint8_t code) {
  switch (code) {
    case kLayoutStacked: return "stacked";
    case kLayoutFlat: return "flat";
    case kLayoutReducedFlat: return "reduced flat";
    case kLayoutFlatDt: return "flat DT";
    case kLayoutSplit: return "split";
    case kLayoutDiagram: return "diagram";
  }
  return "unknown";
}

// The end a reference names, or null when the reference is broken.
const TDiskTube* EndOrNull(const TSeiffert& m, const TEndRef& r) {
  if (r.disk < 1 || r.disk > m.nDisks || static_cast<size_t>(r.disk) >= m.disks.size())
    return nullptr;
  if (r.end < 0 || r.end >= kMaxBandEnds) return nullptr;
  return &m.disks[static_cast<size_t>(r.disk)].ends[static_cast<size_t>(r.end)];
}

Json EndJson(const TSeiffert& m, const TEndRef& r) {
  const TDiskTube* e = EndOrNull(m, r);
  return Json{{"disk", r.disk}, {"slot", e ? Json(e->layoutSlot) : Json()}, {"end", r.end}};
}

// A count bounded by what the array holds (element 0 unused where `fromOne`).
int32_t Readable(int32_t count, size_t size, bool fromOne) {
  const int64_t room = static_cast<int64_t>(size) - (fromOne ? 1 : 0);
  return static_cast<int32_t>(std::max<int64_t>(0, std::min<int64_t>(count, room)));
}

int32_t DiskCount(const TSeiffert& m) { return Readable(m.nDisks, m.disks.size(), true); }
int32_t TubeCount(const TSeiffert& m) { return Readable(m.nTubes, m.tubes.size(), true); }
int32_t LinkCount(const TSeiffert& m) { return Readable(m.nLinks, m.links.size(), false); }

}  // namespace

Json InfoJson(const TAppState& app) {
  const TSeiffert& m = app.Seifert;
  Json j;
  j["text"] = m.text;
  const TPDCode* code = TypedCodeFor(app, m.text, app.Settings.layout);
  j["code"] = code ? Json(app.typedCode->text) : Json();
  j["knot"] = code && !app.typedCode->knot.empty() ? Json(app.typedCode->knot) : Json();
  j["nCross"] = m.nCross;
  j["nStrands"] = m.nStrands;
  j["layout"] = app.Settings.layout;
  j["torus"] = app.torusShown
                   ? Json{{"big", app.Settings.torusBig},
                          {"small", app.Settings.torusSmall},
                          {"components", std::gcd(app.Settings.torusBig, app.Settings.torusSmall)},
                          {"shownComponents", 1}}
                   : Json();
  j["nDisks"] = m.nDisks;
  j["nTubes"] = m.nTubes;

  Json disks = Json::array();
  for (int32_t i = 1; i <= DiskCount(m); ++i) {
    const TDisk& d = m.disks[static_cast<size_t>(i)];
    Json ends = Json::array();
    for (int32_t e = 0; e < std::clamp(d.nEnds, 0, kMaxBandEnds); ++e)
      ends.push_back({{"slot", d.ends[static_cast<size_t>(e)].layoutSlot},
                      {"tube", d.ends[static_cast<size_t>(e)].tube}});
    disks.push_back({{"centre", Point(d.centre)},
                     {"diameter", d.diameter},
                     {"height", d.height},
                     {"nSlots", d.layoutSlots},
                     {"grid", {{"nSlots", d.nSlots}, {"nRings", d.nRings}}},
                     {"side", d.side},
                     {"ends", std::move(ends)}});
  }
  j["disks"] = std::move(disks);

  Json tubes = Json::array();
  for (int32_t i = 1; i <= TubeCount(m); ++i) {
    const TTube& t = m.tubes[static_cast<size_t>(i)];
    tubes.push_back(
        {{"endA", EndJson(m, t.endA)}, {"endB", EndJson(m, t.endB)}, {"twist", t.twist}});
  }
  j["tubes"] = std::move(tubes);

  const TMeshSummary s = SummariseMesh(m.mesh);
  j["mesh"] = {{"nVerts", m.mesh.nVerts},
               {"nFaces", m.mesh.nFaces},
               {"nEdges", EdgeCount(m.mesh)},
               {"usedVerts", s.usedVerts},
               {"openEdges", s.openEdges},
               {"facesByKind", s.facesByKind},
               {"vertsByKind", s.vertsByKind},
               {"faceEdges", s.faceEdges},
               {"nonManifoldEdges", s.nonManifoldEdges}};

  Json links = Json::array();
  for (int32_t i = 0; i < LinkCount(m); ++i)
    links.push_back({{"nVerts", m.links[static_cast<size_t>(i)].nVerts}});
  j["links"] = std::move(links);
  j["modelCentre"] = Point(app.ModelCentre);

  const TBoundaryReport b = IdentifySurfaceBoundary(m, app.KnotTable, ChosenKnot(app));
  // The surface's genus, and the knot's where the boundary names a table knot (null if not).
  const int32_t genus = SurfaceGenus(m), knotGenus = KnotGenus(b, app.KnotTable);
  j["genus"] = genus >= 0 && !app.torusShown ? Json(genus) : Json(nullptr);
  j["knotGenus"] = knotGenus >= 0 ? Json(knotGenus) : Json(nullptr);
  if (b.ok) {
    const TBoundaryId& id = b.id;
    j["boundary"] = {{"name", id.name},
                     {"row", id.row},
                     {"mirror", id.mirror},
                     {"alternatives", id.alternatives},
                     {"components", id.components},
                     {"alexander", id.alexander},
                     {"jones", id.jones},
                     {"determinant", id.determinant},
                     {"signature", id.signature},
                     {"crossings", id.crossings},
                     {"componentNames", id.componentNames},
                     {"linkingNumbers", id.linkingNumbers},
                     {"pd", id.pd}};
  } else {
    j["boundary"] = {{"error", b.error}};
  }
  // The Seifert form of the surface on view: the Diagram lay-out's own, the braid surface's
  // (which the stacked lay-out draws) for the others, named as such. Large surfaces are left to
  // the invariants command, whose signature takes its time.
  if (!app.torusShown) {
    if (int64_t{m.nTubes} - m.nDisks + 1 > kMaxSeifertLoops) {
      j["invariants"] = {{"error", "more than " + std::to_string(kMaxSeifertLoops) +
                                       " loops: see the invariants command"}};
    } else {
      try {
        const TInvariants r = SurfaceInvariants(app, m.text);
        j["invariants"] = {{"surface", r.surfaceName},   {"genus", r.genus},
                           {"rank", r.rank},             {"alexander", r.alexanderText},
                           {"determinant", r.determinantDecimal}, {"signature", r.signature}};
      } catch (const std::exception& e) {
        j["invariants"] = {{"error", e.what()}};
      }
    }
  }
  return j;
}

void WriteInfoText(const TAppState& app, std::ostream& out) {
  const TSeiffert& m = app.Seifert;
  const TMeshSummary s = SummariseMesh(m.mesh);
  const TBoundaryReport boundary = IdentifySurfaceBoundary(m, app.KnotTable, ChosenKnot(app));
  if (app.torusShown) {
    const int32_t big = app.Settings.torusBig, small = app.Settings.torusSmall;
    out << (std::gcd(big, small) > 1 ? "torus link: " : "torus knot: ") << big
        << " turns about the axis, " << small << " about the tube; " << TorusDescription(big, small)
        << "\n";
  } else {
    if (const TPDCode* code = TypedCodeFor(app, m.text, app.Settings.layout)) {
      if (const TCensusRow* knot = FindCensusKnot(app.typedCode->knot))
        out << "knot " << knot->name << ", " << GenusBoundsText(knot->genusLow, knot->genusHigh)
            << ", from its diagram ";
      out << "code \"" << PrintableText(app.typedCode->text) << "\": " << code->size()
          << " crossings\n";
    }
    else
      out << "braid \"" << PrintableText(m.text) << "\": " << m.nCross << " crossings on "
          << m.nStrands << " strands\n";
    out << "lay-out: " << LayoutName(app.Settings.layout) << " (" << int(app.Settings.layout)
        << "), " << m.nDisks << " disks, " << m.nTubes << " bands"
        << GenusText(SurfaceGenus(m), KnotGenus(boundary, app.KnotTable))
        << "\n";
  }
  out << "mesh: " << m.mesh.nVerts << " vertices (" << s.usedVerts << " used), "
      << m.mesh.nFaces << " faces (by kind " << s.facesByKind[0] << "/" << s.facesByKind[1]
      << "/" << s.facesByKind[2] << "), " << s.faceEdges << " edges, " << s.openEdges
      << " open\n";
  out << "links: " << LinkCount(m);
  for (int32_t i = 0; i < LinkCount(m); ++i)
    out << (i == 0 ? " (" : ", ") << m.links[static_cast<size_t>(i)].nVerts;
  out << (LinkCount(m) > 0 ? " vertices)\n" : "\n");
  out << BoundaryLine(boundary) << "\n";
  out << "model centre: " << app.ModelCentre.x << " " << app.ModelCentre.y << " "
      << app.ModelCentre.z << "\n";
}
