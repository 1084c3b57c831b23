#include "meshExport.h"

#include <tiny_gltf.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <vector>

#include "core/atomicFile.h"
#include "core/printableText.h"
#include "core/rangeError.h"
#include "knots/torusKnot.h"
#include "mesh/buildMesh.h"
#include "mesh/meshSummary.h"
#include "mesh/selfIntersection.h"
#include "render/linkTube.h"
#include "render/view.h"

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

// Little-endian binary values, whatever the machine's own order, gathered a record at a time:
// a stream call per value would cost more than the rest of the export.
char* StoreU32(char* at, uint32_t v) {
  for (int k = 0; k < 4; ++k) at[k] = static_cast<char>((v >> (8 * k)) & 0xFF);
  return at + 4;
}
char* StoreF32(char* at, float v) {
  uint32_t bits;
  std::memcpy(&bits, &v, 4);
  return StoreU32(at, bits);
}

bool FaceIsValid(const TMesh& mesh, const TFace& f) {
  for (int k = 0; k < 4; ++k)
    if (!ValidVertex(mesh, f.v[k])) return false;
  return true;
}

// As the window's "Show" boxes: kinds 0..2 have one each, higher kinds are always drawn.
bool KindShown(const TSettings& s, int32_t kind) {
  return kind < 0 || kind > 2 || s.showSurface[static_cast<size_t>(kind)];
}

bool Exported(const TAppState& app, const TFace& f) {
  return FaceIsValid(app.Seifert.mesh, f) && KindShown(app.Settings, f.kind);
}
bool Exported(const TAppState& app, const TFace& f, const TMeshExportOptions& options) {
  return options.surfaces && Exported(app, f);
}

// The faces of the printed solid: all of them, except that a torus knot's band is left out.
// The band is a one-sided strip of no thickness whose border lies on the torus, so no closed
// solid can hold it; the torus alone is one.
bool InSolid(const TAppState& app, const TFace& f) {
  return FaceIsValid(app.Seifert.mesh, f) && (!app.torusShown || f.kind == 0);
}

int64_t LinkLength(const TLinkLine& l) {
  return std::max<int64_t>(0, std::min<int64_t>(l.nVerts, l.verts.size()));
}

struct TLink {
  const TLinkLine* line;
  size_t index;  // component number: colours[6 + index mod 4] and its "Show" box
};

// The link components to write: shown, wanted and with every vertex stored.
std::vector<TLink> ExportedLinks(const TAppState& app, const TMeshExportOptions& options) {
  std::vector<TLink> result;
  if (!options.links) return result;
  const TSeiffert& m = app.Seifert;
  const int64_t n = std::max<int64_t>(0, std::min<int64_t>(m.nLinks, m.links.size()));
  for (int64_t i = 0; i < n; ++i) {
    if (!app.Settings.showLink[static_cast<size_t>(i % 4)]) continue;
    const TLinkLine& l = m.links[static_cast<size_t>(i)];
    const int64_t len = LinkLength(l);
    if (len < 2) continue;
    bool ok = true;
    for (int64_t k = 0; k < len; ++k) ok = ok && ValidVertex(m.mesh, l.verts[k]);
    if (ok) result.push_back({&l, static_cast<size_t>(i)});
  }
  return result;
}

uint32_t ColorAt(const TSettings& s, int64_t index) {
  return index >= 0 && index < static_cast<int64_t>(s.colors.size())
             ? s.colors[static_cast<size_t>(index)]
             : 0x808080;
}
uint32_t BackColor(const TSettings& s, int32_t kind) { return ColorAt(s, 2 * int64_t(kind)); }
uint32_t LinkColor(const TSettings& s, size_t link) { return ColorAt(s, 6 + int64_t(link % 4)); }

double Channel(uint32_t color, int shift) { return ((color >> shift) & 0xFF) / 255.0; }

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// What the mesh shows, for the file's comment line.
std::string Source(const TAppState& app) {
  if (app.torusShown) return TorusDescription(app.Settings.torusBig, app.Settings.torusSmall);
  return "\"" + PrintableText(app.Seifert.text) + "\", lay-out " +
         std::to_string(int(app.Settings.layout));
}

const Vec3& Pos(const TMesh& mesh, int32_t v) { return mesh.verts[static_cast<size_t>(v)].pos; }

// Whether the quad's two triangles along the diagonal from corner k to k + 2 face opposite
// ways: the diagonal runs outside a quad bent into an arrowhead, and its triangles overlap.
bool SplitFolds(const TMesh& mesh, const int32_t* v, int k) {
  const Vec3 &a = Pos(mesh, v[k]), &b = Pos(mesh, v[(k + 1) % 4]), &c = Pos(mesh, v[(k + 2) % 4]),
             &d = Pos(mesh, v[(k + 3) % 4]);
  return (b - a).Cross(c - a).Dot((c - a).Cross(d - a)) < 0;
}

// The quad's two triangles, split along its shorter diagonal (the flatter pair, closer to the
// surface the quad stands for) unless that diagonal runs outside the quad, in the quad's own
// winding. A triangle with a repeated corner (a quad folded into a triangle) is left out: it
// has no area and would be a stray facet.
template <typename F>
void QuadTriangles(const TMesh& mesh, const TFace& f, F&& triangle) {
  const int32_t* v = f.v;
  const double d02 = (Pos(mesh, v[0]) - Pos(mesh, v[2])).LengthSq();
  const double d13 = (Pos(mesh, v[1]) - Pos(mesh, v[3])).LengthSq();
  bool along02 = d02 <= d13;
  if (along02 ? SplitFolds(mesh, v, 0) && !SplitFolds(mesh, v, 1)
              : SplitFolds(mesh, v, 1) && !SplitFolds(mesh, v, 0))
    along02 = !along02;
  const std::array<std::array<int, 3>, 2> corners =
      along02 ? std::array<std::array<int, 3>, 2>{{{0, 1, 2}, {0, 2, 3}}}
              : std::array<std::array<int, 3>, 2>{{{0, 1, 3}, {1, 2, 3}}};
  for (const auto& t : corners) {
    const int32_t a = v[t[0]], b = v[t[1]], c = v[t[2]];
    if (a != b && b != c && a != c) triangle(a, b, c);
  }
}

// normal direction of a quad as ComputeFaceNormals takes it: d0 x d1 + d2 x d3, unnormalised.
Vec3 QuadNormal(const TMesh& mesh, const TFace& f) {
  Vec3 d[4];
  for (int k = 0; k < 4; ++k) d[k] = Pos(mesh, f.v[(k + 1) % 4]) - Pos(mesh, f.v[k]);
  return d[0].Cross(d[1]) + d[2].Cross(d[3]);
}

// The model's z axis is up; readers take y as up, as glTF has it, unless the user asks for z.
// A quarter turn about x, so the faces keep their sense of winding.
Vec3 Placed(const Vec3& p, const TMeshExportOptions& options) {
  return options.zUp ? p : Vec3(p.x, p.z, -p.y);
}

// The quad's corners as written: turned over (the same first corner, the others reversed)
// when the solid is wound inward, so that the face is wound outward.
std::array<int32_t, 4> Corners(const TFace& f, bool inward) {
  if (inward) return {f.v[0], f.v[3], f.v[2], f.v[1]};
  return {f.v[0], f.v[1], f.v[2], f.v[3]};
}

bool Finite(const Vec3& p) {
  return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
}

// ---- glTF ----------------------------------------------------------------------------------

// sRGB swatch value to the linear factor glTF's base colour is given in.
double Linear(double c) { return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); }

class TGltfBuilder {
 public:
  tinygltf::Model model;

  TGltfBuilder() {
    model.asset.version = "2.0";
    model.asset.generator = "veltrane";
    model.buffers.emplace_back();
  }

  int Material(const std::string& name, uint32_t color) {
    tinygltf::Material m;
    m.name = name;
    m.pbrMetallicRoughness.baseColorFactor = {Linear(Channel(color, 0)), Linear(Channel(color, 8)),
                                              Linear(Channel(color, 16)), 1.0};
    m.pbrMetallicRoughness.metallicFactor = 0.0;
    m.pbrMetallicRoughness.roughnessFactor = 0.5;
    model.materials.push_back(std::move(m));
    return static_cast<int>(model.materials.size() - 1);
  }

  // VEC3 float data; positions carry their bounds, as glTF asks of them.
  int Vectors(const std::vector<Vec3>& data, bool bounds) {
    const int view = View(data.data(), data.size() * sizeof(Vec3), TINYGLTF_TARGET_ARRAY_BUFFER);
    tinygltf::Accessor a;
    a.bufferView = view;
    a.componentType = TINYGLTF_COMPONENT_TYPE_FLOAT;
    a.count = data.size();
    a.type = TINYGLTF_TYPE_VEC3;
    if (bounds && !data.empty()) {
      a.minValues = {data[0].x, data[0].y, data[0].z};
      a.maxValues = a.minValues;
      for (const Vec3& p : data) {
        const double c[3] = {p.x, p.y, p.z};
        for (int k = 0; k < 3; ++k) {
          a.minValues[k] = std::min(a.minValues[k], c[k]);
          a.maxValues[k] = std::max(a.maxValues[k], c[k]);
        }
      }
    }
    model.accessors.push_back(std::move(a));
    return static_cast<int>(model.accessors.size() - 1);
  }

  int Indices(const std::vector<uint32_t>& data) {
    const int view =
        View(data.data(), data.size() * sizeof(uint32_t), TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER);
    tinygltf::Accessor a;
    a.bufferView = view;
    a.componentType = TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT;
    a.count = data.size();
    a.type = TINYGLTF_TYPE_SCALAR;
    model.accessors.push_back(std::move(a));
    return static_cast<int>(model.accessors.size() - 1);
  }

  static tinygltf::Primitive Primitive(int positions, int normals, int indices, int material) {
    tinygltf::Primitive p;
    p.attributes["POSITION"] = positions;
    p.attributes["NORMAL"] = normals;
    p.indices = indices;
    p.material = material;
    p.mode = TINYGLTF_MODE_TRIANGLES;
    return p;
  }

 private:
  // glTF's binary data is little-endian, the machine's own layout here.
  static_assert(std::endian::native == std::endian::little);
  int View(const void* data, size_t bytes, int target) {
    std::vector<unsigned char>& buffer = model.buffers[0].data;
    while (buffer.size() % 4 != 0) buffer.push_back(0);
    tinygltf::BufferView v;
    v.buffer = 0;
    v.byteOffset = buffer.size();
    v.byteLength = bytes;
    v.target = target;
    const auto* p = static_cast<const unsigned char*>(data);
    buffer.insert(buffer.end(), p, p + bytes);
    model.bufferViews.push_back(v);
    return static_cast<int>(model.bufferViews.size() - 1);
  }
};
static_assert(sizeof(Vec3) == 12, "glTF vectors are three packed floats");

// How a kind's faces go into the glTF: wound outward, and with a second sheet where the shown
// faces are no closed solid, so that their other side can be seen.
struct TSheets {
  bool inward = false;     // the model winds the solid inward: every face is turned over
  bool twoSheets = false;
  double offset = 0;       // how far the second sheet lies behind the first
};

// One kind's faces as one primitive, each face once, wound outward and in the colour the
// window shows on that side; with `twoSheets` a second primitive, the same faces moved back
// along their normals by `offset` and turned over, in the colour of the other side. A second
// sheet on the same positions would make a renderer that draws both sides show each face
// in both colours at once. Normals are smooth within the kind (a seam to another kind stays
// sharp).
void AddKind(const TAppState& app, const TMeshExportOptions& options, int32_t kind,
             const TSheets& sheets, TGltfBuilder& gltf, tinygltf::Mesh& mesh,
             std::vector<int32_t>& local) {
  const TMesh& m = app.Seifert.mesh;
  std::vector<Vec3> positions, normals;
  std::vector<uint32_t> outer;
  std::fill(local.begin(), local.end(), -1);
  for (int32_t f = 0; f < FaceCount(m); ++f) {
    const TFace& face = m.faces[static_cast<size_t>(f)];
    if (face.kind != kind || !Exported(app, face, options)) continue;
    const Vec3 n = QuadNormal(m, face);
    for (int32_t v : face.v) {
      int32_t& index = local[static_cast<size_t>(v)];
      if (index < 0) {
        index = static_cast<int32_t>(positions.size());
        positions.push_back(Pos(m, v) - app.ModelCentre);
        normals.emplace_back();
      }
    }
    // Each distinct corner once, so a folded quad does not count its face twice there.
    for (int k = 0; k < 4; ++k)
      if (std::find(face.v, face.v + k, face.v[k]) == face.v + k)
        normals[static_cast<size_t>(local[static_cast<size_t>(face.v[k])])] += n;
    QuadTriangles(m, face, [&](int32_t a, int32_t b, int32_t c) {
      if (sheets.inward) std::swap(b, c);
      for (int32_t v : {a, b, c}) outer.push_back(static_cast<uint32_t>(local[static_cast<size_t>(v)]));
    });
  }
  if (outer.empty()) return;
  const float outward = sheets.inward ? -1.0f : 1.0f;
  for (Vec3& n : normals) {
    n.Normalise();
    n = Vec3(n.x * outward, n.y * outward, n.z * outward);
    if (n.LengthSq() == 0) n = Vec3(0, 0, 1);  // glTF asks for unit normals
  }
  const std::string name = "kind" + std::to_string(kind);
  // The swatch each side wears: the front colour on the side the model's winding faces.
  const std::string outerSwatch = sheets.inward ? " back" : " front";
  const std::string innerSwatch = sheets.inward ? " front" : " back";
  const uint32_t outerColor = OuterColor(app.Settings, kind, sheets.inward);
  const uint32_t innerColor = OuterColor(app.Settings, kind, !sheets.inward);
  mesh.primitives.push_back(TGltfBuilder::Primitive(
      gltf.Vectors(positions, true), gltf.Vectors(normals, false), gltf.Indices(outer),
      gltf.Material(name + outerSwatch, outerColor)));
  if (!sheets.twoSheets) return;
  for (size_t i = 0; i < positions.size(); ++i) {
    Vec3& p = positions[i];
    Vec3& n = normals[i];
    p = Vec3(p.x - sheets.offset * n.x, p.y - sheets.offset * n.y, p.z - sheets.offset * n.z);
    n = Vec3(-n.x, -n.y, -n.z);
  }
  for (size_t t = 0; t < outer.size(); t += 3) std::swap(outer[t + 1], outer[t + 2]);
  mesh.primitives.push_back(TGltfBuilder::Primitive(
      gltf.Vectors(positions, true), gltf.Vectors(normals, false), gltf.Indices(outer),
      gltf.Material(name + innerSwatch, innerColor)));
}

// The tube the window draws around one link component, as triangles.
void AddTube(const TAppState& app, const TLink& link, int32_t ringSize, TGltfBuilder& gltf,
             tinygltf::Mesh& mesh) {
  const TSettings& s = app.Settings;
  const std::vector<Vec3> points = LinkTubePoints(app.Seifert.mesh, *link.line, s.linkOffset);
  std::vector<Vec3> positions, normals;
  std::vector<uint32_t> indices;
  // Consecutive strips share a ring (and the closing strip the first one): each ring's points
  // are stored once.
  std::vector<Vec3> firstRing, lastRing;
  uint32_t firstBase = 0, lastBase = 0;
  const auto ringBase = [&](const TTubeRing& ring) {
    if (!lastRing.empty() && ring.points == lastRing) return lastBase;
    if (!firstRing.empty() && ring.points == firstRing) return firstBase;
    lastBase = static_cast<uint32_t>(positions.size());
    for (size_t k = 0; k < ring.points.size(); ++k) {
      positions.push_back(ring.points[k] - app.ModelCentre);
      normals.push_back(ring.normals[k]);
    }
    lastRing = ring.points;
    if (firstRing.empty()) {
      firstRing = ring.points;
      firstBase = lastBase;
    }
    return lastBase;
  };
  SweepLinkTube(points, s.linkRadius, ringSize,
                [&](const TTubeRing& from, const TTubeRing& to, int32_t shift) {
                  const size_t m = from.points.size();
                  const uint32_t f = ringBase(from), t = ringBase(to);
                  // The ring runs so that (along the tube) x (around it) points outwards.
                  for (size_t k = 0; k < m; ++k) {
                    const auto f0 = f + uint32_t(k), f1 = f + uint32_t((k + 1) % m);
                    const auto t0 = t + uint32_t((k + size_t(shift)) % m);
                    const auto t1 = t + uint32_t((k + 1 + size_t(shift)) % m);
                    indices.insert(indices.end(), {f0, t0, t1, f0, t1, f1});
                  }
                });
  if (indices.empty()) return;
  // A chain that turns back on itself can sweep a ring to infinity; the file would carry NaN.
  for (const Vec3& p : positions)
    if (!Finite(p))
      throw RangeError("the tube around link " + std::to_string(link.index + 1) +
                       " has points that are not finite; leave the links out of the file");
  for (Vec3& n : normals) {
    n.Normalise();
    if (n.LengthSq() == 0) n = Vec3(0, 0, 1);
  }
  mesh.primitives.push_back(TGltfBuilder::Primitive(
      gltf.Vectors(positions, true), gltf.Vectors(normals, false), gltf.Indices(indices),
      gltf.Material("link" + std::to_string(link.index + 1), LinkColor(s, link.index))));
}

// Over the faces on show, or over those of the printed solid.
void CheckFinite(const TAppState& app, bool shownOnly) {
  const TMesh& m = app.Seifert.mesh;
  for (int32_t f = 0; f < FaceCount(m); ++f) {
    const TFace& face = m.faces[static_cast<size_t>(f)];
    if (shownOnly ? !Exported(app, face) : !InSolid(app, face)) continue;
    for (int32_t v : face.v)
      if (!Finite(Pos(m, v)))
        throw RangeError("the mesh has a vertex that is not a finite point; it cannot be written");
  }
}

}  // namespace

uint32_t FaceColor(const TSettings& settings, int32_t kind) {
  const int64_t index = (kind >= 0 && kind <= 2) ? 2 * int64_t(kind) + 1 : 2 * int64_t(kind);
  return ColorAt(settings, index);
}

uint32_t OuterColor(const TSettings& settings, int32_t kind, bool inward) {
  return inward ? BackColor(settings, kind) : FaceColor(settings, kind);
}

bool SolidWoundInward(const TAppState& app) {
  // Smoothing draws the slab's two sides so close together that its volume is a small
  // difference of large terms whose sign the choice of diagonals can turn; it moves vertices
  // but never turns a face, so the winding stays the lay-outs' own, inward.
  if (app.smoothed) return true;
  const TMesh& mesh = app.Seifert.mesh;
  double volume = 0;
  for (int32_t f = 0; f < FaceCount(mesh); ++f) {
    const TFace& face = mesh.faces[static_cast<size_t>(f)];
    if (!InSolid(app, face)) continue;
    QuadTriangles(mesh, face, [&](int32_t a, int32_t b, int32_t c) {
      volume += Pos(mesh, a).Dot(Pos(mesh, b).Cross(Pos(mesh, c)));
    });
  }
  return volume < 0;
}

TMeshFormat MeshFormatFromName(const std::string& path) {
  const std::string ext = Lower(std::filesystem::path(path).extension().string());
  if (ext == ".obj") return TMeshFormat::kObj;
  if (ext == ".ply") return TMeshFormat::kPly;
  if (ext == ".stl") return TMeshFormat::kStl;
  if (ext == ".glb") return TMeshFormat::kGlb;
  if (ext == ".gltf") return TMeshFormat::kGltf;
  throw std::runtime_error("cannot tell the format of " + path +
                           ": the file name must end in .obj, .ply, .stl, .glb or .gltf");
}

std::string MeshFileName(const std::string& typed, TMeshFormat format) {
  try {
    MeshFormatFromName(typed);
    return typed;
  } catch (const std::runtime_error&) {
    static constexpr const char* kExtensions[] = {".obj", ".ply", ".stl", ".glb", ".gltf"};
    return typed + kExtensions[static_cast<int>(format)];
  }
}

namespace {

// Digits with at most one decimal point (no signs, exponents, "inf" or "nan") in [lo, hi],
// else NaN.
double PlainMillimetres(const std::string& text, double lo, double hi) {
  const bool plain = !text.empty() && text.size() <= 12 &&
                     text.find_first_not_of("0123456789.") == std::string::npos &&
                     std::count(text.begin(), text.end(), '.') <= 1 &&
                     text.find_first_of("0123456789") != std::string::npos;
  double value = NAN;
  if (plain) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) value = NAN;
  }
  return value >= lo && value <= hi ? value : NAN;
}

}  // namespace

double ParseStlSize(const std::string& text) {
  const double size = PlainMillimetres(text, kMinStlSize, kMaxStlSize);
  if (std::isnan(size))
    throw std::runtime_error("--size: expected the model's longest side in millimetres, a number "
                             "from 1 to 10000 such as 80 or 62.5; got '" + Abbreviated(text) + "'");
  return size;
}

double ParseStlMinWall(const std::string& text) {
  const double wall = PlainMillimetres(text, 0, kMaxStlMinWall);
  if (std::isnan(wall))
    throw std::runtime_error("--min-wall: expected the thinnest wall in millimetres, a number "
                             "from 0 to 10 such as 1.2 (0 keeps the walls as modelled); got '" +
                             Abbreviated(text) + "'");
  return wall;
}

void WriteObj(const TAppState& app, std::ostream& out, const TMeshExportOptions& options,
              const std::string& mtlName) {
  const TSeiffert& m = app.Seifert;
  const TMesh& mesh = m.mesh;
  const int32_t nVerts = VertexCount(mesh);
  const int32_t nFaces = FaceCount(mesh);
  const auto links = ExportedLinks(app, options);

  out << "# veltrane-cli mesh of " << Source(app) << "\n# " << nVerts << " vertices, " << nFaces
      << " faces, " << links.size() << " link lines\n";
  if (!mtlName.empty()) out << "mtllib " << mtlName << '\n';
  for (int32_t i = 0; i < nVerts; ++i) {
    out << "v ";
    PutPoint(out, Placed(mesh.verts[static_cast<size_t>(i)].pos, options));
    out << '\n';
  }
  const bool inward = SolidWoundInward(app);

  // Faces by kind, each kind one group, in face order within it.
  std::map<int32_t, std::vector<int32_t>> byKind;
  for (int32_t f = 0; f < nFaces; ++f) {
    const TFace& face = mesh.faces[static_cast<size_t>(f)];
    if (Exported(app, face, options)) byKind[face.kind].push_back(f);
  }
  for (const auto& [kind, faces] : byKind) {
    out << "g kind" << kind << '\n';
    if (!mtlName.empty()) out << "usemtl kind" << kind << '\n';
    for (int32_t f : faces) {
      const TFace& face = mesh.faces[static_cast<size_t>(f)];
      out << 'f';
      for (int32_t v : Corners(face, inward)) out << ' ' << (int64_t(v) + 1);
      out << '\n';
    }
  }

  if (!links.empty()) out << "g links\n";
  for (const TLink& link : links) {
    if (!mtlName.empty()) out << "usemtl link" << (link.index % 4 + 1) << '\n';
    const TLinkLine& l = *link.line;
    out << 'l';
    for (int64_t k = 0; k < LinkLength(l); ++k) out << ' ' << (int64_t(l.verts[k]) + 1);
    out << ' ' << (int64_t(l.verts[0]) + 1) << '\n';  // closed: back to the first vertex
  }
}

void WriteMtl(const TAppState& app, std::ostream& out) {
  const TSettings& s = app.Settings;
  out << "# veltrane-cli materials of " << Source(app) << '\n';
  // Readers take the values as linear light, as they render: the swatches' sRGB values
  // converted, or the colours would arrive paler.
  const auto material = [&](const std::string& name, uint32_t c) {
    out << "newmtl " << name << "\nKd " << Linear(Channel(c, 0)) << ' ' << Linear(Channel(c, 8))
        << ' ' << Linear(Channel(c, 16)) << "\nKa 0 0 0\nKs 0.2 0.2 0.2\nNs 40\nd 1\nillum 2\n";
  };
  const bool inward = SolidWoundInward(app);
  std::map<int32_t, bool> kinds{{0, true}, {1, true}, {2, true}};
  const TMesh& mesh = app.Seifert.mesh;
  for (int32_t f = 0; f < FaceCount(mesh); ++f) kinds[mesh.faces[static_cast<size_t>(f)].kind] = true;
  for (const auto& [kind, ignored] : kinds)
    material("kind" + std::to_string(kind), OuterColor(s, kind, inward));
  for (size_t i = 0; i < 4; ++i) material("link" + std::to_string(i + 1), LinkColor(s, i));
}

void WritePly(const TAppState& app, std::ostream& out, const TMeshExportOptions& options) {
  const TSeiffert& m = app.Seifert;
  const TMesh& mesh = m.mesh;
  const TSettings& s = app.Settings;
  const int32_t nVerts = VertexCount(mesh);
  const int32_t nFaces = FaceCount(mesh);
  const auto links = ExportedLinks(app, options);
  const bool ascii = options.asciiPly;
  const bool inward = SolidWoundInward(app);

  // Only the vertices that the faces and link lines use, in the model's order: stored vertices
  // that nothing uses would stand loose in a reader and widen its bounds. Each carries the
  // mean of the colours of its faces (readers that take vertex colours only blend them over a
  // face), or its link's colour when no face uses it.
  struct TUse {
    int32_t number = -1;
    uint32_t faces = 0, r = 0, g = 0, b = 0;
  };
  std::vector<TUse> use(static_cast<size_t>(std::max(nVerts, 0)));
  int64_t nValidFaces = 0;
  for (int32_t f = 0; f < nFaces; ++f) {
    const TFace& face = mesh.faces[static_cast<size_t>(f)];
    if (!Exported(app, face, options)) continue;
    ++nValidFaces;
    const uint32_t c = OuterColor(s, face.kind, inward);
    for (int k = 0; k < 4; ++k) {
      if (std::find(face.v, face.v + k, face.v[k]) != face.v + k) continue;  // a folded quad
      TUse& u = use[static_cast<size_t>(face.v[k])];
      ++u.faces;
      u.r += c & 0xFF;
      u.g += (c >> 8) & 0xFF;
      u.b += (c >> 16) & 0xFF;
    }
  }
  std::vector<uint32_t> linkColor(use.size());
  int64_t nLinkEdges = 0;
  for (const TLink& link : links) {
    const TLinkLine& l = *link.line;
    nLinkEdges += LinkLength(l);
    for (int64_t k = 0; k < LinkLength(l); ++k)
      if (use[static_cast<size_t>(l.verts[k])].faces == 0)
        // The bit above the colour marks the vertex as used, whatever its colour.
        linkColor[static_cast<size_t>(l.verts[k])] = LinkColor(s, link.index) | 0x1000000;
  }
  int32_t nUsed = 0;
  for (size_t i = 0; i < use.size(); ++i)
    if (use[i].faces > 0 || linkColor[i] != 0) use[i].number = nUsed++;

  out << "ply\nformat " << (ascii ? "ascii" : "binary_little_endian") << " 1.0\n"
      << "comment veltrane-cli mesh of " << Source(app) << "\n"
      << "element vertex " << nUsed << "\n"
      << "property float x\nproperty float y\nproperty float z\n"
      << "property uchar red\nproperty uchar green\nproperty uchar blue\n"
      << "element face " << nValidFaces << "\n"
      << "property list uchar int vertex_indices\n"
      << "property uchar red\nproperty uchar green\nproperty uchar blue\n"
      << "element edge " << nLinkEdges << "\n"
      << "property int vertex1\nproperty int vertex2\n"
      << "end_header\n";
  const auto putRgb = [&](uint32_t c) {
    out << ' ' << (c & 0xFF) << ' ' << ((c >> 8) & 0xFF) << ' ' << ((c >> 16) & 0xFF) << '\n';
  };
  const auto storeRgb = [](char* at, uint32_t c) {
    for (int k = 0; k < 3; ++k) at[k] = static_cast<char>((c >> (8 * k)) & 0xFF);
  };
  for (size_t i = 0; i < use.size(); ++i) {
    const TUse& u = use[i];
    if (u.number < 0) continue;
    const Vec3 p = Placed(mesh.verts[i].pos, options);
    const auto mean = [&](uint32_t sum) { return (sum + u.faces / 2) / u.faces; };
    const uint32_t c = u.faces > 0 ? mean(u.r) | mean(u.g) << 8 | mean(u.b) << 16 : linkColor[i];
    if (ascii) {
      PutPoint(out, p);
      putRgb(c);
    } else {
      char b[15];
      storeRgb(StoreF32(StoreF32(StoreF32(b, p.x), p.y), p.z), c);
      out.write(b, sizeof b);
    }
  }
  const auto number = [&](int32_t v) { return use[static_cast<size_t>(v)].number; };
  for (int32_t f = 0; f < nFaces; ++f) {
    const TFace& face = mesh.faces[static_cast<size_t>(f)];
    if (!Exported(app, face, options)) continue;
    const auto corners = Corners(face, inward);
    const uint32_t c = OuterColor(s, face.kind, inward);
    if (ascii) {
      out << '4';
      for (int32_t v : corners) out << ' ' << number(v);
      putRgb(c);
    } else {
      char b[20] = {4};
      char* at = b + 1;
      for (int32_t v : corners) at = StoreU32(at, static_cast<uint32_t>(number(v)));
      storeRgb(at, c);
      out.write(b, sizeof b);
    }
  }
  for (const TLink& link : links) {
    const TLinkLine& l = *link.line;
    const int64_t n = LinkLength(l);
    for (int64_t k = 0; k < n; ++k) {
      const int32_t a = number(l.verts[k]), b = number(l.verts[(k + 1) % n]);
      if (ascii) {
        out << a << ' ' << b << '\n';
      } else {
        char e[8];
        StoreU32(StoreU32(e, static_cast<uint32_t>(a)), static_cast<uint32_t>(b));
        out.write(e, sizeof e);
      }
    }
  }
}

std::string MeshExportNote(const TAppState& app, TMeshFormat format) {
  if (format != TMeshFormat::kStl || !app.torusShown) return "";
  const TMesh& mesh = app.Seifert.mesh;
  for (int32_t f = 0; f < FaceCount(mesh); ++f) {
    const TFace& face = mesh.faces[static_cast<size_t>(f)];
    if (FaceIsValid(mesh, face) && !InSolid(app, face))
      return "the STL holds the torus alone: the torus knot's band is one-sided and has no "
             "thickness, so no solid can hold it";
  }
  return "";
}

namespace {

// The printed solid as triangles over numbered points, in model units.
struct TSolid {
  std::vector<Vec3> points;
  std::vector<std::array<int32_t, 3>> tris;
};

double SignedVolume(const TSolid& solid) {
  double volume = 0;
  for (const auto& [a, b, c] : solid.tris)
    volume += solid.points[a].Dot(solid.points[b].Cross(solid.points[c]));
  return volume;
}

// Area-weighted normals at the points, along the triangles' winding (zero at unused points).
std::vector<Vec3> PointNormals(const TSolid& solid) {
  std::vector<std::array<double, 3>> sum(solid.points.size(), {0, 0, 0});
  for (const auto& t : solid.tris) {
    const Vec3& a = solid.points[t[0]];
    const Vec3 n = (solid.points[t[1]] - a).Cross(solid.points[t[2]] - a);
    for (int32_t v : t) sum[v][0] += n.x, sum[v][1] += n.y, sum[v][2] += n.z;
  }
  std::vector<Vec3> normals(solid.points.size());
  for (size_t v = 0; v < sum.size(); ++v) {
    const double l = std::sqrt(sum[v][0] * sum[v][0] + sum[v][1] * sum[v][1] + sum[v][2] * sum[v][2]);
    if (l > 0) normals[v] = Vec3(sum[v][0] / l, sum[v][1] / l, sum[v][2] / l);
  }
  return normals;
}

// Every face of the closed slab, whatever is on show (after smoothing the window shows one
// side of it only), over the mesh's own vertex numbers.
TSolid SlabSolid(const TAppState& app) {
  const TMesh& mesh = app.Seifert.mesh;
  TSolid solid;
  solid.points.resize(static_cast<size_t>(std::max(VertexCount(mesh), 0)));
  for (int32_t v = 0; v < VertexCount(mesh); ++v) solid.points[v] = Pos(mesh, v);
  for (int32_t f = 0; f < FaceCount(mesh); ++f) {
    const TFace& face = mesh.faces[static_cast<size_t>(f)];
    if (!InSolid(app, face)) continue;
    QuadTriangles(mesh, face, [&](int32_t a, int32_t b, int32_t c) { solid.tris.push_back({a, b, c}); });
  }
  return solid;
}

// A smoothed surface has drawn the slab's two sides into one sheet that passes through
// itself: the print is that sheet (side 0) made a solid of `thickness`, half of it to each
// side along the sheet's normals, closed by a rim along its border.
TSolid SheetSolid(const TAppState& app, double thickness) {
  const TMesh& mesh = app.Seifert.mesh;
  if (VertexCount(mesh) > INT32_MAX / 2)
    throw RangeError("the smoothed surface has too many vertices to be made a printable solid");
  TSolid sheet;
  sheet.points.resize(static_cast<size_t>(std::max(VertexCount(mesh), 0)));
  for (int32_t v = 0; v < VertexCount(mesh); ++v) sheet.points[v] = Pos(mesh, v);
  for (int32_t f = 0; f < FaceCount(mesh); ++f) {
    const TFace& face = mesh.faces[static_cast<size_t>(f)];
    if (!FaceIsValid(mesh, face) || face.kind != 0) continue;
    QuadTriangles(mesh, face, [&](int32_t a, int32_t b, int32_t c) { sheet.tris.push_back({a, b, c}); });
  }
  const std::vector<Vec3> normals = PointNormals(sheet);
  // Each sheet point becomes two: 2v on the normal's side, 2v + 1 on the other.
  TSolid solid;
  solid.points.resize(2 * sheet.points.size());
  for (size_t v = 0; v < sheet.points.size(); ++v) {
    solid.points[2 * v] = sheet.points[v] + normals[v] * (thickness / 2);
    solid.points[2 * v + 1] = sheet.points[v] - normals[v] * (thickness / 2);
  }
  // The border: edges of one sheet triangle only (a quad's diagonal has two).
  std::vector<std::array<int32_t, 4>> edges;  // lower end, higher end, as wound
  for (const auto& [a, b, c] : sheet.tris) {
    solid.tris.push_back({2 * a, 2 * b, 2 * c});
    solid.tris.push_back({2 * a + 1, 2 * c + 1, 2 * b + 1});
    for (const auto& [p, q] : {std::pair{a, b}, std::pair{b, c}, std::pair{c, a}})
      edges.push_back({std::min(p, q), std::max(p, q), p, q});
  }
  std::sort(edges.begin(), edges.end());
  for (size_t i = 0; i < edges.size();) {
    size_t j = i;
    while (j < edges.size() && edges[j][0] == edges[i][0] && edges[j][1] == edges[i][1]) ++j;
    if (j == i + 1) {
      // The rim quad across the edge p -> q, facing away from the sheet.
      const int32_t p = edges[i][2], q = edges[i][3];
      solid.tris.push_back({2 * q, 2 * p, 2 * p + 1});
      solid.tris.push_back({2 * q, 2 * p + 1, 2 * q + 1});
    }
    i = j;
  }
  return solid;
}

// The triangles' corners, three a triangle.
std::vector<Vec3> CornersOf(const TSolid& solid) {
  std::vector<Vec3> corners;
  corners.reserve(3 * solid.tris.size());
  for (const auto& t : solid.tris)
    for (int32_t v : t) corners.push_back(solid.points[v]);
  return corners;
}

// The longest side of the points that triangles use, and their lowest corner.
double Longest(const TSolid& solid, Vec3* low = nullptr) {
  std::vector<char> used(solid.points.size(), 0);
  for (const auto& t : solid.tris)
    for (int32_t v : t) used[v] = 1;
  TBox box;
  for (size_t v = 0; v < used.size(); ++v)
    if (used[v]) box.Add(solid.points[v]);
  if (low) *low = box.lo;
  const Vec3 extent = box.hi - box.lo;
  return std::max({double(extent.x), double(extent.y), double(extent.z)});
}

// Facets this close to the bed lie on it.
constexpr double kBedContactMm = 0.05;
// The heights of the flat foot the part stands on, tried in turn.
constexpr double kFootHeightsMm[] = {1.0, 0.7, 0.4, 0.2};

// The part the right way up (down 0) or turned over about the x axis (down 1): a rotation,
// so that the facets keep facing outward.
Vec3 Turned(const Vec3& p, int down) { return down == 1 ? Vec3(p.x, -p.y, -p.z) : p; }

// The area of facets that lie on the bed within `tolerance` when the part lies `down`.
double ContactArea(const TSolid& solid, int down, double tolerance) {
  double lowest = INFINITY;
  for (const auto& t : solid.tris)
    for (int32_t v : t) lowest = std::min(lowest, double(Turned(solid.points[v], down).z));
  double area = 0;
  for (const auto& t : solid.tris) {
    const Vec3 a = Turned(solid.points[t[0]], down), b = Turned(solid.points[t[1]], down),
               c = Turned(solid.points[t[2]], down);
    if (std::max({a.z, b.z, c.z}) - lowest > tolerance) continue;
    const Vec3 n = (b - a).Cross(c - a);
    if (n.z < 0) area += -n.z / 2;
  }
  return area;
}

}  // namespace

std::vector<Vec3> StlTriangles(const TAppState& app, const TMeshExportOptions& options,
                               TSelfIntersections* crossings) {
  CheckFinite(app, false);
  if (!(options.sizeMm >= kMinStlSize && options.sizeMm <= kMaxStlSize))
    throw RangeError("an STL model's size is 1 to 10000 mm");

  TSolid solid = SlabSolid(app);
  if (solid.tris.empty()) throw RangeError("the surface has no faces, so there is nothing to print");
  const double longest = Longest(solid);
  if (!(longest > 0) || !std::isfinite(longest))
    throw RangeError("the surface has no extent, so it cannot be scaled for printing");
  // The walls the print gets at this size: the thinner Height, in model units; walls thinner
  // than a printer lays down are thickened (not a torus, which is a tube).
  const double unitsPerMm = longest / options.sizeMm;
  const double wall = std::min(app.Settings.diskHeight, app.Settings.bandHeight);
  const double minWall = options.minWallMm * unitsPerMm;
  if (app.smoothed && !app.torusShown) {
    solid = SheetSolid(app, std::max(wall, minWall));
    if (solid.tris.empty())
      throw RangeError("the surface has no faces, so there is nothing to print");
  } else if (!app.torusShown && wall < minWall) {
    // Each point moves out along its normal, so both sides of the slab part by the lack.
    // Where a rim curves tighter than the move, its facets would fold through each other:
    // the walls then grow by as much of the lack as they can without that.
    const bool inward = SignedVolume(solid) < 0;
    const std::vector<Vec3> normals = PointNormals(solid);
    const int64_t thinCrossings = FindSelfIntersections(CornersOf(solid)).pairs;
    for (const double part : {1.0, 0.5, 0.25}) {
      TSolid thick = solid;
      const double move = (minWall - wall) / 2 * part * (inward ? -1 : 1);
      for (size_t v = 0; v < thick.points.size(); ++v) thick.points[v] += normals[v] * move;
      if (FindSelfIntersections(CornersOf(thick)).pairs <= thinCrossings) {
        solid = std::move(thick);
        break;
      }
    }
  }
  // Facets face outward, whichever way the model winds them.
  if (SignedVolume(solid) < 0)
    for (auto& t : solid.tris) std::swap(t[1], t[2]);

  // Every lay-out has its disks level in the model's own z: the part lies that way up, or
  // upside down where that lays clearly more of it on the bed.
  const double tolerance = kBedContactMm * unitsPerMm;
  const int down = ContactArea(solid, 1, tolerance) > 2 * ContactArea(solid, 0, tolerance) ? 1 : 0;
  for (Vec3& p : solid.points) p = Turned(p, down);
  // A foot: what lies lowest, down to a height above the lowest point, is pressed flat onto
  // one plane, so that the part stands on a face rather than on the points where rounded band
  // edges touch the bed (a slicer lays nothing down there). The deepest foot that makes no
  // facets pass through each other (where a rim curls back up below that height) is taken.
  // Only facets that reach down to the pressed ones can meet them anew, so only those are
  // counted before and after.
  Vec3 lowest;
  Longest(solid, &lowest);
  for (const double footMm : kFootHeightsMm) {
    const float foot = static_cast<float>(lowest.z + footMm * unitsPerMm);
    float reach = foot;  // the highest corner of a facet that the foot changes
    for (const auto& t : solid.tris) {
      const float lo = std::min({solid.points[t[0]].z, solid.points[t[1]].z, solid.points[t[2]].z});
      if (lo < foot)
        reach = std::max({reach, solid.points[t[0]].z, solid.points[t[1]].z, solid.points[t[2]].z});
    }
    std::vector<Vec3> before, after;
    for (const auto& t : solid.tris) {
      if (std::min({solid.points[t[0]].z, solid.points[t[1]].z, solid.points[t[2]].z}) > reach)
        continue;
      for (int32_t v : t) {
        Vec3 p = solid.points[v];
        before.push_back(p);
        p.z = std::max(p.z, foot);
        after.push_back(p);
      }
    }
    if (FindSelfIntersections(after).pairs <= FindSelfIntersections(before).pairs) {
      for (Vec3& p : solid.points) p.z = std::max(p.z, foot);
      break;
    }
  }

  // Millimetres, the longest side `sizeMm`, on the build plate's positive side: the bounds'
  // corner at 0.
  Vec3 low;
  const double scale = options.sizeMm / Longest(solid, &low);
  std::vector<Vec3> corners;
  corners.reserve(3 * solid.tris.size());
  for (const auto& t : solid.tris)
    for (int32_t v : t) {
      const Vec3 p = solid.points[v] - low;
      corners.emplace_back(p.x * scale, p.y * scale, p.z * scale);
    }
  if (crossings) *crossings = FindSelfIntersections(corners);
  return corners;
}

void WriteStl(const TAppState& app, std::ostream& out, const TMeshExportOptions& options,
              TSelfIntersections* crossings) {
  WriteStl(StlTriangles(app, options, crossings), Source(app), out);
}

TSelfIntersections StlSelfIntersections(const TAppState& app, const TMeshExportOptions& options) {
  TSelfIntersections crossings;
  StlTriangles(app, options, &crossings);
  return crossings;
}

void WriteStl(std::span<const Vec3> corners, const std::string& source, std::ostream& out) {
  const size_t nTriangles = corners.size() / 3;
  if (nTriangles > UINT32_MAX) throw RangeError("an STL file holds at most 2^32 - 1 triangles");
  // The whole file is laid out in memory and written at once: per-record stream calls cost
  // more than the geometry. The header must not begin with "solid", which marks a text STL.
  std::string file(84 + 50 * nTriangles, '\0');
  const std::string title = "binary STL, millimetres, from veltrane: " + source;
  std::memcpy(file.data(), title.data(), std::min<size_t>(title.size(), 80));
  StoreU32(file.data() + 80, static_cast<uint32_t>(nTriangles));
  char* at = file.data() + 84;
  for (size_t t = 0; t < nTriangles; ++t) {
    const Vec3 &pa = corners[3 * t], &pb = corners[3 * t + 1], &pc = corners[3 * t + 2];
    const Vec3 n = (pb - pa).Cross(pc - pa).Normalised();
    // Normal, three corners, then a zero attribute count (already in place).
    for (const Vec3& p : {n, pa, pb, pc}) at = StoreF32(StoreF32(StoreF32(at, p.x), p.y), p.z);
    at += 2;
  }
  out.write(file.data(), static_cast<std::streamsize>(file.size()));
}

int64_t GltfMemoryBytes(const TAppState& app, bool binary, const TMeshExportOptions& options) {
  const TMesh& m = app.Seifert.mesh;
  // The buffer: per vertex a position and a normal on each of up to two sheets, per quad two
  // triangles on each sheet; per link point a ring of positions and normals and its triangles.
  int64_t buffer =
      48 * int64_t{std::max(VertexCount(m), 0)} + 48 * int64_t{std::max(FaceCount(m), 0)};
  const auto links = ExportedLinks(app, options);
  if (!links.empty()) {
    const int64_t ring = TubeRingSize(app.Settings, app.refineCount, false);
    for (const TLink& link : links)
      buffer += 48 * ring * std::max<int64_t>(LinkLength(*link.line), 0);
  }
  // The writer copies the buffer into the .glb; a .gltf holds it as base64 text (4/3 of it),
  // built as a string, put into the JSON and written out as part of the JSON text.
  return binary ? 3 * buffer : 6 * buffer;
}

std::string GltfTooLargeMessage(int64_t bytes, const std::string& reason) {
  return "the glTF file would need about " + std::to_string((bytes + (1 << 19)) >> 20) +
         " MB of memory: " + reason +
         "; write .glb, which needs half of that, or OBJ, PLY or STL, which need far less, or "
         "lower \"Catm. Clark\" or \"Resolution\"";
}

namespace {

void BuildAndWriteGltf(const TAppState& app, std::ostream& out, bool binary,
                       const TMeshExportOptions& options, int64_t need) {
  const TMesh& m = app.Seifert.mesh;
  const auto links = ExportedLinks(app, options);
  // Refused before any work, as the window refuses to draw it.
  const int32_t ringSize = links.empty() ? 0 : TubeRingSize(app.Settings, app.refineCount, false);

  TGltfBuilder gltf;
  // Room for the whole buffer at once: growing it by doubling would hold two copies.
  gltf.model.buffers[0].data.reserve(static_cast<size_t>(need / (binary ? 3 : 6)));
  tinygltf::Mesh surface;
  surface.name = "surface";
  std::map<int32_t, bool> kinds;
  for (int32_t f = 0; f < FaceCount(m); ++f) kinds[m.faces[static_cast<size_t>(f)].kind] = true;
  // A second sheet where the shown faces are no closed solid: a kind outside the solid (a
  // torus knot's band), or any kind once a face of the solid is not shown (the second side of
  // a smoothed surface, a "Show" box that is off). It lies a thousandth of the model's size
  // behind the first, far below what the eye sees and far above what a depth buffer resolves.
  std::map<int32_t, bool> outsideSolid;
  bool solidShown = true;
  TBox box;
  for (int32_t f = 0; f < FaceCount(m); ++f) {
    const TFace& face = m.faces[static_cast<size_t>(f)];
    const bool exported = Exported(app, face, options), solid = InSolid(app, face);
    if (solid && !exported) solidShown = false;
    if (!exported) continue;
    if (!solid) outsideSolid[face.kind] = true;
    for (int32_t v : face.v) box.Add(Pos(m, v));
  }
  const Vec3 extent = box.hi - box.lo;
  TSheets sheets;
  sheets.inward = SolidWoundInward(app);
  sheets.offset =
      box.empty ? 0 : 1e-3 * std::max({double(extent.x), double(extent.y), double(extent.z)});
  std::vector<int32_t> local(static_cast<size_t>(std::max(VertexCount(m), 0)));
  for (const auto& [kind, ignored] : kinds) {
    sheets.twoSheets = !solidShown || outsideSolid.count(kind) > 0;
    AddKind(app, options, kind, sheets, gltf, surface, local);
  }

  tinygltf::Mesh tubes;
  tubes.name = "links";
  for (const TLink& link : links) AddTube(app, link, ringSize, gltf, tubes);

  if (surface.primitives.empty() && tubes.primitives.empty())
    throw RangeError("nothing is shown, so there is nothing to write");
  // A binary glTF states its length in 32 bits; the text form's data would be larger still.
  if (gltf.model.buffers[0].data.size() > (uint64_t{1} << 32) - (uint64_t{1} << 24))
    throw RangeError("a glTF file holds at most 4 GB of mesh data; this mesh needs " +
                     std::to_string(gltf.model.buffers[0].data.size() >> 20) + " MB");

  // The model's z axis is up on the screen, glTF's y axis: a quarter turn about x. The
  // positions are already centred on the model's centre, the point the window turns about.
  tinygltf::Scene scene;
  for (tinygltf::Mesh* mesh : {&surface, &tubes}) {
    if (mesh->primitives.empty()) continue;
    gltf.model.meshes.push_back(*mesh);
    tinygltf::Node node;
    node.name = mesh->name;
    node.mesh = static_cast<int>(gltf.model.meshes.size() - 1);
    node.rotation = {-std::sqrt(0.5), 0, 0, std::sqrt(0.5)};
    gltf.model.nodes.push_back(node);
    scene.nodes.push_back(static_cast<int>(gltf.model.nodes.size() - 1));
  }
  gltf.model.scenes.push_back(scene);
  gltf.model.defaultScene = 0;

  tinygltf::TinyGLTF writer;
  if (!writer.WriteGltfSceneToStream(&gltf.model, out, false, binary))
    throw std::runtime_error("the glTF writer failed");
}

}  // namespace

void WriteGltf(const TAppState& app, std::ostream& out, bool binary,
               const TMeshExportOptions& options) {
  CheckFinite(app, true);
  // The export counts against the same half of the memory as the mesh that is already built.
  const int64_t need = GltfMemoryBytes(app, binary, options);
  const int64_t memory = PhysicalMemoryBytes();
  const int64_t meshBytes =
      int64_t{std::max(VertexCount(app.Seifert.mesh), 0)} * kMeshBytesPerVertex;
  const int64_t left = std::max<int64_t>(memory / 2 - meshBytes, 0);
  if (memory > 0 && need > left)
    throw RangeError(GltfTooLargeMessage(
        need, "more than the " + std::to_string(left >> 20) + " MB that half of this machine's " +
                  std::to_string(memory >> 20) + " MB leaves beside the mesh"));
  try {
    BuildAndWriteGltf(app, out, binary, options, need);
  } catch (const std::bad_alloc&) {
    throw RangeError(GltfTooLargeMessage(need, "more than the free memory holds"));
  }
}

std::string MtlPath(const std::string& objPath) {
  for (const char c : objPath)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
      throw std::runtime_error("cannot write " + PrintableText(objPath) +
                               ": an OBJ file's name cannot hold a control character (a newline, "
                               "a tab), which its material line would carry");
  std::filesystem::path mtl(objPath);
  std::string name = mtl.stem().string();
  for (char& c : name)
    if (c == ' ') c = '_';
  return mtl.replace_filename(name + ".mtl").string();
}

void WriteMeshFile(const TAppState& app, const std::string& path,
                   const TMeshExportOptions& options, TSelfIntersections* stlCrossings) {
  WriteMeshFile(app, path, MeshFormatFromName(path), options, stlCrossings);
}

void WriteMeshFile(const TAppState& app, const std::string& path, TMeshFormat format,
                   const TMeshExportOptions& options, TSelfIntersections* stlCrossings) {
  switch (format) {
    case TMeshFormat::kObj: {
      if (path == kStandardOutputName)
        throw std::runtime_error("an OBJ file needs its .mtl file beside it, so it cannot go to "
                                 "the standard output: write STL, glTF or PLY there");
      // Both files are complete before either is put in place, so a failed write (a full disk)
      // changes neither.
      const std::filesystem::path mtlPath = MtlPath(path);
      TAtomicFile obj(path), mtl(mtlPath.string());
      WriteObj(app, obj.Stream(), options, mtlPath.filename().string());
      WriteMtl(app, mtl.Stream());
      obj.Stream().flush();
      mtl.Stream().flush();
      // A write that failed makes its Commit report why, before the other file is placed.
      if (!obj.Stream()) obj.Commit();
      if (!mtl.Stream()) mtl.Commit();
      mtl.Commit();
      obj.Commit();
      break;
    }
    case TMeshFormat::kPly:
      WriteFileAtomically(path, [&](std::ostream& out) { WritePly(app, out, options); });
      break;
    case TMeshFormat::kStl:
      WriteFileAtomically(path, [&](std::ostream& out) { WriteStl(app, out, options, stlCrossings); });
      break;
    case TMeshFormat::kGlb:
    case TMeshFormat::kGltf:
      WriteFileAtomically(path, [&](std::ostream& out) {
        WriteGltf(app, out, format == TMeshFormat::kGlb, options);
      });
      break;
  }
}
