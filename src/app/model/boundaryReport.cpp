#include "app/model/boundaryReport.h"

#include <algorithm>
#include <exception>

#include "knots/census.h"

std::vector<std::vector<Vec3>> LinkPolylines(const TSeiffert& model) {
  std::vector<std::vector<Vec3>> lines;
  const size_t nLinks = static_cast<size_t>(std::clamp<int64_t>(model.nLinks, 0, static_cast<int64_t>(model.links.size())));
  const size_t nVerts = std::min(model.mesh.verts.size(), static_cast<size_t>(std::max(model.mesh.nVerts, 0)));
  for (size_t l = 0; l < nLinks; ++l) {
    const TLinkLine& link = model.links[l];
    const size_t count = std::min(link.verts.size(), static_cast<size_t>(std::max(link.nVerts, 0)));
    std::vector<Vec3> line;
    for (size_t i = 0; i < count; ++i) {
      const int32_t v = link.verts[i];
      if (v >= 0 && static_cast<size_t>(v) < nVerts) line.push_back(model.mesh.verts[static_cast<size_t>(v)].pos);
    }
    if (!line.empty()) lines.push_back(std::move(line));
  }
  return lines;
}

TBoundaryReport IdentifySurfaceBoundary(const TSeiffert& model, const TKnotTable& table,
                                        std::string_view chosen) {
  TBoundaryReport r;
  try {
    const std::vector<std::vector<Vec3>> lines = LinkPolylines(model);
    if (lines.empty()) {
      r.error = "no link lines";
      return r;
    }
    r.id = IdentifyBoundary(lines, table, chosen);
    r.ok = true;
  } catch (const std::exception& e) {
    r.error = e.what();
  }
  return r;
}

std::string ChosenKnot(const TAppState& app) {
  if (app.torusShown) return "";
  const std::string& word = app.Seifert.text;
  // A census knot is drawn from its diagram, and by the braid lay-outs from its braid word.
  if (app.typedCode) return app.typedCode->braid == word ? app.typedCode->knot : "";
  if (app.selectedKnotRow >= 1 && app.selectedKnotRow <= app.KnotTable.count) {
    const TKnotEntry& row = app.KnotTable.Row(app.selectedKnotRow);
    if (row.braid == word) return row.name;
  }
  return "";
}

int32_t KnotGenus(const TBoundaryReport& report, const TKnotTable& table) {
  if (!report.ok || report.id.components != 1) return -1;
  if (report.id.name == "unknot") return 0;
  if (report.id.row.empty()) return -1;
  int32_t genus = -1;
  std::vector<std::string> names = report.id.alternatives;
  names.push_back(report.id.row);
  for (std::string name : names) {
    const std::string mirror = " (mirror image)";
    if (name.ends_with(mirror)) name.resize(name.size() - mirror.size());
    const int32_t row = table.Find(name);
    const TCensusRow* knot = row < 1 ? FindCensusKnot(name) : nullptr;
    // A census knot's genus counts only where it is settled.
    if (row < 1 && (!knot || knot->genusLow != knot->genusHigh)) return -1;
    const int32_t g = row >= 1 ? table.Row(row).genus : knot->genusLow;
    if (genus >= 0 && g != genus) return -1;
    genus = g;
  }
  return genus;
}

std::string BoundaryLine(const TBoundaryReport& report) {
  if (!report.ok) return "boundary: unknown (" + report.error + ")";
  const TBoundaryId& id = report.id;
  if (id.components > 1) {
    std::string s = "boundary: link of " + std::to_string(id.components) + " components (";
    for (size_t i = 0; i < id.componentNames.size(); ++i) s += (i ? ", " : "") + id.componentNames[i];
    s += "; linking numbers";
    for (int32_t n : id.linkingNumbers) s += " " + std::to_string(n);
    return s + "; signature " + std::to_string(id.signature) + ")";
  }
  if (id.row.empty() && id.name != "unknot")
    return "boundary: " + id.name + " (Jones " + id.jones + ", Alexander " + id.alexander +
           ", signature " + std::to_string(id.signature) + ")";
  std::string s = "boundary: " + id.name;
  for (const std::string& other : id.alternatives) s += " or " + other;
  return s;
}
