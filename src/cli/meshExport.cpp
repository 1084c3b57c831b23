#include "meshExport.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <vector>

#include "core/atomicFile.h"
#include "core/printableText.h"
#include "mesh/meshSummary.h"

namespace {

// Shortest text that reads back as the same float.
void PutFloat(std::ostream& out, float v) {
  char buf[32];
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
  out.write(buf, ec == std::errc() ? end - buf : 0);
}

void PutPoint(std::ostream& out, const Vec3& p) {
  PutFloat(out, p.x);
  out << ' ';
  PutFloat(out, p.y);
  out << ' ';
  PutFloat(out, p.z);
}

bool FaceIsValid(const TMesh& mesh, const TFace& f) {
  for (int k = 0; k < 4; ++k)
    if (!ValidVertex(mesh, f.v[k])) return false;
  return true;
}

// The link lines that can be written: every vertex names a stored vertex.
std::vector<const TLinkLine*> ValidLinks(const TSeiffert& m) {
  std::vector<const TLinkLine*> result;
  const int64_t n = std::max<int64_t>(0, std::min<int64_t>(m.nLinks, m.links.size()));
  for (int64_t i = 0; i < n; ++i) {
    const TLinkLine& l = m.links[static_cast<size_t>(i)];
    const int64_t len = std::min<int64_t>(l.nVerts, l.verts.size());
    if (len < 2) continue;
    bool ok = true;
    for (int64_t k = 0; k < len; ++k) ok = ok && ValidVertex(m.mesh, l.verts[k]);
    if (ok) result.push_back(&l);
  }
  return result;
}

int64_t LinkLength(const TLinkLine& l) { return std::min<int64_t>(l.nVerts, l.verts.size()); }

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// What the mesh shows, for the file's comment line.
std::string Source(const TAppState& app) {
  if (app.torusShown)
    return "the torus knot " + std::to_string(app.Settings.torusBig) + "," +
           std::to_string(app.Settings.torusSmall);
  return "\"" + PrintableText(app.Seifert.text) + "\", lay-out " +
         std::to_string(int(app.Settings.layout));
}

}  // namespace

uint32_t FaceColor(const TSettings& settings, int32_t kind) {
  const int64_t index = (kind >= 0 && kind <= 2) ? 2 * int64_t(kind) + 1 : 2 * int64_t(kind);
  if (index < 0 || index >= static_cast<int64_t>(settings.colors.size()))
    return 0x808080;
  return settings.colors[static_cast<size_t>(index)];
}

void WriteObj(const TAppState& app, std::ostream& out) {
  const TSeiffert& m = app.Seifert;
  const TMesh& mesh = m.mesh;
  const int32_t nVerts = VertexCount(mesh);
  const int32_t nFaces = FaceCount(mesh);
  const auto links = ValidLinks(m);

  out << "# veltrane-cli mesh of " << Source(app) << "\n# " << nVerts << " vertices, " << nFaces << " faces, "
      << links.size() << " link lines\n";
  for (int32_t i = 0; i < nVerts; ++i) {
    out << "v ";
    PutPoint(out, mesh.verts[static_cast<size_t>(i)].pos);
    out << '\n';
  }

  // Faces by kind, each kind one group, in face order within it.
  std::map<int32_t, std::vector<int32_t>> byKind;
  for (int32_t f = 0; f < nFaces; ++f) {
    const TFace& face = mesh.faces[static_cast<size_t>(f)];
    if (FaceIsValid(mesh, face)) byKind[face.kind].push_back(f);
  }
  for (const auto& [kind, faces] : byKind) {
    out << "g kind" << kind << '\n';
    for (int32_t f : faces) {
      const TFace& face = mesh.faces[static_cast<size_t>(f)];
      out << 'f';
      for (int k = 0; k < 4; ++k) out << ' ' << (int64_t(face.v[k]) + 1);
      out << '\n';
    }
  }

  if (!links.empty()) out << "g links\n";
  for (const TLinkLine* l : links) {
    out << 'l';
    for (int64_t k = 0; k < LinkLength(*l); ++k) out << ' ' << (int64_t(l->verts[k]) + 1);
    out << ' ' << (int64_t(l->verts[0]) + 1) << '\n';  // closed: back to the first vertex
  }
}

void WritePly(const TAppState& app, std::ostream& out) {
  const TSeiffert& m = app.Seifert;
  const TMesh& mesh = m.mesh;
  const int32_t nVerts = VertexCount(mesh);
  const int32_t nFaces = FaceCount(mesh);
  const auto links = ValidLinks(m);

  int64_t nValidFaces = 0;
  for (int32_t f = 0; f < nFaces; ++f)
    if (FaceIsValid(mesh, mesh.faces[static_cast<size_t>(f)])) ++nValidFaces;
  int64_t nLinkEdges = 0;
  for (const TLinkLine* l : links) nLinkEdges += LinkLength(*l);

  out << "ply\nformat ascii 1.0\n"
      << "comment veltrane-cli mesh of " << Source(app) << "\n"
      << "element vertex " << nVerts << "\n"
      << "property float x\nproperty float y\nproperty float z\n"
      << "element face " << nValidFaces << "\n"
      << "property list uchar int vertex_indices\n"
      << "property uchar red\nproperty uchar green\nproperty uchar blue\n"
      << "element edge " << nLinkEdges << "\n"
      << "property int vertex1\nproperty int vertex2\n"
      << "end_header\n";
  for (int32_t i = 0; i < nVerts; ++i) {
    PutPoint(out, mesh.verts[static_cast<size_t>(i)].pos);
    out << '\n';
  }
  for (int32_t f = 0; f < nFaces; ++f) {
    const TFace& face = mesh.faces[static_cast<size_t>(f)];
    if (!FaceIsValid(mesh, face)) continue;
    const uint32_t c = FaceColor(app.Settings, face.kind);
    out << '4';
    for (int k = 0; k < 4; ++k) out << ' ' << face.v[k];
    out << ' ' << (c & 0xFF) << ' ' << ((c >> 8) & 0xFF) << ' ' << ((c >> 16) & 0xFF) << '\n';
  }
  for (const TLinkLine* l : links) {
    const int64_t n = LinkLength(*l);
    for (int64_t k = 0; k < n; ++k)
      out << l->verts[k] << ' ' << l->verts[(k + 1) % n] << '\n';
  }
}

void WriteMeshFile(const TAppState& app, const std::string& path) {
  const std::string ext = Lower(std::filesystem::path(path).extension().string());
  if (ext != ".obj" && ext != ".ply")
    throw std::runtime_error("cannot tell the format of " + path +
                             ": the file name must end in .obj or .ply");
  WriteFileAtomically(path, [&](std::ostream& out) {
    if (ext == ".obj")
      WriteObj(app, out);
    else
      WritePly(app, out);
  });
}
