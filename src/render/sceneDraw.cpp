#include "sceneDraw.h"

#include <GL/gl.h>

#include <algorithm>
#include <array>
#include <span>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/builtinPictures.h"
#include "invariants/loopPaths.h"
#include "linkTube.h"
#include "textures.h"

namespace {

// Colour of a table entry outside the twelve swatches: only a face kind beyond the surface's
// own classes asks for one.
constexpr uint32_t kMissingColor = Rgb(255, 255, 255);

// Every tenth frame the ride measures its step from now, so a stall (a dialog, a rebuild) does
// not throw the car forward.
void TickRideClock(TRideState& ride) {
  if (++ride.framesSinceTick < 10) return;
  ride.framesSinceTick = 0;
  ride.lastTick = ride.nowTick = RideTickCount();
}


float Channel(uint32_t color, int shift) {
  return static_cast<float>((color >> shift) & 0xFF) / 255;
}

uint32_t ColorEntry(const TSettings& s, int64_t k) {
  return k >= 0 && k < static_cast<int64_t>(s.colors.size()) ? s.colors[static_cast<size_t>(k)]
                                                             : kMissingColor;
}

// Entries 0..2 show the surface classes, 3..6 the link colours; kinds beyond them are shown.
bool ShowFlag(const TSettings& s, int64_t k) {
  if (k >= 0 && k < 3) return s.showSurface[static_cast<size_t>(k)];
  if (k >= 3 && k < 7) return s.showLink[static_cast<size_t>(k - 3)];
  return true;
}

void SetColor(const TSettings& s, uint32_t color) {
  glColor4f(Channel(color, 0), Channel(color, 8), Channel(color, 16),
            static_cast<float>(s.alphaScale));
}

std::array<float, 4> Rgba(const TSettings& s, uint32_t color) {
  return {Channel(color, 0), Channel(color, 8), Channel(color, 16),
          static_cast<float>(s.alphaScale)};
}

// Back colour 2k, front colour 2k + 1 for the two sides and the knot band; one colour, 2k, for
// any higher class.
void MaterialClassColours(const TSettings& s, int32_t kind, TQuadDraw& draw) {
  const int64_t back = 2 * int64_t{kind};
  const int64_t front = kind <= 2 ? back + 1 : back;
  draw.back = Rgba(s, ColorEntry(s, back));
  draw.front = Rgba(s, ColorEntry(s, front));
}

// Ends tracking the front faces with the back colour set. The back colour is given as a
// material rather than by tracking the back faces for one colour: Mesa applies a colour given
// just before a tracking switch to the newly tracked faces, so the back faces would keep the
// previous class's front colour.
void SetMaterialClass(const TQuadDraw& draw) {
  glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
  glMaterialfv(GL_BACK, GL_AMBIENT_AND_DIFFUSE, draw.back.data());
  glColor4fv(draw.front.data());
}

// The mesh as far as its counts and storage agree, with every reference checked, so that a
// half-built or stale mesh draws what it can instead of reading outside its arrays.
class TMeshView {
 public:
  explicit TMeshView(const TMesh& mesh)
      : mesh(mesh),
        nVerts(std::clamp<int64_t>(mesh.nVerts, 0, static_cast<int64_t>(mesh.verts.size()))),
        nFaces(std::clamp<int64_t>(mesh.nFaces, 0, static_cast<int64_t>(mesh.faces.size()))),
        nEdges(std::clamp<int64_t>(mesh.nEdges, 0, static_cast<int64_t>(mesh.edges.size()))) {}

  int32_t FaceCount() const { return static_cast<int32_t>(nFaces); }
  int32_t VertCount() const { return static_cast<int32_t>(nVerts); }
  const TFace& Face(int32_t i) const { return mesh.faces[static_cast<size_t>(i)]; }
  const TVertex& Vert(int32_t v) const { return mesh.verts[static_cast<size_t>(v)]; }
  bool HasFace(int32_t f) const { return f >= 0 && f < nFaces; }

  bool CornersValid(const TFace& f) const {
    for (int32_t v : f.v)
      if (v < 0 || v >= nVerts) return false;
    return true;
  }

  // The vertex's edges, or none when its slice of the fan table is out of range.
  std::span<const int32_t> Fan(int32_t v) const {
    const TVertex& x = Vert(v);
    if (x.nEdges <= 0 || x.fanStart < 0 ||
        int64_t{x.fanStart} + x.nEdges > static_cast<int64_t>(mesh.fans.size()))
      return {};
    return VEdges(mesh, v);
  }
  const TEdge* Edge(int32_t e) const {
    return e >= 0 && e < nEdges ? &mesh.edges[static_cast<size_t>(e)] : nullptr;
  }

  // Whether faces of different kinds meet at the vertex. Read from the edges rather than from
  // the stored tag, which only the passes that classify keep up to date.
  bool IsSeam(int32_t v) const {
    bool haveKind = false;
    int32_t kind = 0;
    for (int32_t ei : Fan(v)) {
      const TEdge* e = Edge(ei);
      if (!e) continue;
      for (int32_t f : {e->f1, e->f2}) {
        if (!HasFace(f)) continue;
        if (!haveKind) {
          kind = Face(f).kind;
          haveKind = true;
        } else if (Face(f).kind != kind) {
          return true;
        }
      }
    }
    return false;
  }

  // On a seam the vertex normal would blend both sides; each side is shaded with the normals
  // of its own faces around the vertex.
  Vec3 SideNormal(int32_t v, int32_t kind) const {
    Vec3 sum;
    for (int32_t ei : Fan(v)) {
      const TEdge* e = Edge(ei);
      if (!e) continue;
      for (int32_t f : {e->f1, e->f2})
        if (HasFace(f) && Face(f).kind == kind) sum += Face(f).normal;
    }
    return sum.Normalised();
  }

 private:
  const TMesh& mesh;
  int64_t nVerts, nFaces, nEdges;
};

// Faces one draw holds at most: the arrays of a huge mesh are drawn in pieces, so that their
// indices stay far inside 32 bits and no count passes what GLsizei holds.
constexpr size_t kDrawFaces = size_t{1} << 20;

// What a face gives one of its corners besides the vertex position.
struct TCornerData {
  Vec3 normal;
  float s = 0, t = 0;  // texture coordinate, when the arrays are textured
};

// Appends `faces` (valid corners only) to the arrays of `scene` as quads in the order given,
// one draw record per kDrawFaces faces, each a copy of `colours`. corner(face, j) gives corner
// j's normal and texture coordinate. With `shareVertices` a mesh vertex is sent once a draw,
// so its corner data must be the same in every face of the list.
template <typename TCornerOf>
void AddQuads(TArrayScene& scene, std::vector<TQuadDraw>& draws, const TQuadDraw& colours,
              TSceneScratch& scratch, const TMeshView& mesh, std::span<const int32_t> faces,
              bool shareVertices, bool textured, const TCornerOf& corner) {
  if (shareVertices && scratch.slot.size() < static_cast<size_t>(mesh.VertCount())) {
    scratch.slot.assign(static_cast<size_t>(mesh.VertCount()), 0);
    scratch.slotStamp.assign(scratch.slot.size(), 0);
    scratch.stamp = 0;
  }
  for (size_t start = 0; start < faces.size(); start += kDrawFaces) {
    const size_t end = std::min(faces.size(), start + kDrawFaces);
    TQuadDraw draw = colours;
    draw.firstVertex = scene.pos.size() / 3;
    draw.firstIndex = scene.index.size();
    if (shareVertices && ++scratch.stamp == 0) {  // after four billion draws the stamps start over
      std::fill(scratch.slotStamp.begin(), scratch.slotStamp.end(), 0);
      scratch.stamp = 1;
    }
    for (size_t q = start; q < end; ++q) {
      const TFace& f = mesh.Face(faces[q]);
      for (int j = 0; j < 4; ++j) {
        const auto v = static_cast<size_t>(f.v[j]);
        if (shareVertices && scratch.slotStamp[v] == scratch.stamp) {
          scene.index.push_back(scratch.slot[v]);
          continue;
        }
        const auto k = static_cast<uint32_t>(scene.pos.size() / 3 - draw.firstVertex);
        const Vec3& p = mesh.Vert(f.v[j]).pos;
        const TCornerData c = corner(f, j);
        scene.pos.insert(scene.pos.end(), {p.x, p.y, p.z});
        scene.normal.insert(scene.normal.end(), {c.normal.x, c.normal.y, c.normal.z});
        if (textured) scene.tex.insert(scene.tex.end(), {c.s, c.t});
        if (shareVertices) {
          scratch.slot[v] = k;
          scratch.slotStamp[v] = scratch.stamp;
        }
        scene.index.push_back(k);
      }
    }
    draw.indexCount = scene.index.size() - draw.firstIndex;
    draws.push_back(draw);
  }
}

// The drawn faces grouped by kind, each group in the order the faces are drawn (last face
// first), the groups in the order their kinds first appear; scratch.faces holds them one group
// after the other. Returns each group's kind and its end in scratch.faces.
std::vector<std::pair<int32_t, size_t>> GroupFacesByKind(TSceneScratch& scratch,
                                                         const TMeshView& mesh,
                                                         const TSettings& s) {
  std::vector<std::pair<int32_t, size_t>> groups;  // kind, faces in it (then: its end)
  std::unordered_map<int32_t, size_t> groupOfKind;
  std::vector<uint32_t> groupOfFace;  // per drawn face, in drawing order
  groupOfFace.reserve(static_cast<size_t>(mesh.FaceCount()));
  size_t last = 0;
  for (int32_t i = mesh.FaceCount() - 1; i >= 0; --i) {
    const TFace& f = mesh.Face(i);
    if (!ShowFlag(s, f.kind) || !mesh.CornersValid(f)) continue;
    if (groups.empty() || groups[last].first != f.kind) {
      const auto [it, added] = groupOfKind.try_emplace(f.kind, groups.size());
      if (added) groups.emplace_back(f.kind, 0);
      last = it->second;
    }
    ++groups[last].second;
    groupOfFace.push_back(static_cast<uint32_t>(last));
  }
  std::vector<size_t> next(groups.size());
  size_t end = 0;
  for (size_t g = 0; g < groups.size(); ++g) {
    next[g] = end;
    end += groups[g].second;
    groups[g].second = end;
  }
  scratch.faces.resize(end);
  size_t k = 0;  // the same faces in the same order as the first pass
  for (int32_t i = mesh.FaceCount() - 1; i >= 0; --i) {
    const TFace& f = mesh.Face(i);
    if (!ShowFlag(s, f.kind) || !mesh.CornersValid(f)) continue;
    scratch.faces[next[groupOfFace[k++]]++] = i;
  }
  return groups;
}

// The surfaces into scene.surfaces: one draw per kind (per kDrawFaces faces of it), so that
// each material is set once a frame. Faces of different kinds only meet along shared edges,
// where the order of drawing changes no pixel.
void BuildSurfaces(TAppState& app) {
  const TSettings& s = app.Settings;
  const TMeshView mesh(app.Seifert.mesh);
  TArrayScene& scene = app.sceneCache.scene;
  TSceneScratch& scratch = app.sceneCache.scratch;
  scene.textured = s.useTexture;
  const bool seamNormals = s.smoothShading && app.smoothed;
  static constexpr float kCornerTex[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  // Per-corner texture coordinates belong to the face, not the vertex; so do flat normals.
  const bool share = s.smoothShading && !(s.useTexture && s.textureOnMesh);

  const auto groups = GroupFacesByKind(scratch, mesh, s);
  size_t begin = 0;
  for (const auto& [kind, end] : groups) {
    TQuadDraw colours;
    MaterialClassColours(s, kind, colours);
    const std::span<const int32_t> faces(scratch.faces.data() + begin, end - begin);
    begin = end;
    if (s.smoothShading) {
      AddQuads(scene, scene.surfaces, colours, scratch, mesh, faces, share, s.useTexture,
               [&](const TFace& f, int j) {
                 const int32_t vi = f.v[j];
                 const TVertex& v = mesh.Vert(vi);
                 TCornerData c;
                 c.normal =
                     seamNormals && mesh.IsSeam(vi) ? mesh.SideNormal(vi, f.kind) : v.normal;
                 if (s.textureOnMesh) {
                   c.s = kCornerTex[j][0];
                   c.t = kCornerTex[j][1];
                 } else {
                   c.s = static_cast<float>(-v.texV);
                   c.t = static_cast<float>(v.texU);
                 }
                 return c;
               });
    } else {
      AddQuads(scene, scene.surfaces, colours, scratch, mesh, faces, false, s.useTexture,
               [&](const TFace& f, int j) {
                 const TVertex& v = mesh.Vert(f.v[j]);
                 return TCornerData{f.normal, static_cast<float>(v.texU),
                                    static_cast<float>(v.texV)};
               });
    }
  }
}

// The faces' outlines into scene.lines, first face to last, one draw per run of a line colour:
// where two faces share an edge, the one drawn first keeps it, as it always has. They share
// the surfaces' vertex arrays after theirs, so the surfaces' texture coordinates stay aligned.
void BuildMeshLines(TAppState& app, const TSceneInputs& in) {
  const TSettings& s = app.Settings;
  const TMeshView mesh(app.Seifert.mesh);
  TArrayScene& scene = app.sceneCache.scene;
  TSceneScratch& scratch = app.sceneCache.scratch;
  scene.lineWidth = static_cast<float>(in.lineWidth);
  scratch.faces.clear();
  for (int32_t i = 0; i < mesh.FaceCount(); ++i) {
    const TFace& f = mesh.Face(i);
    if (ShowFlag(s, f.kind) && mesh.CornersValid(f)) scratch.faces.push_back(i);
  }
  const auto colourOf = [&](int32_t face) { return mesh.Face(face).kind == 0 ? 10 : 11; };
  for (size_t begin = 0; begin < scratch.faces.size();) {
    const int colour = colourOf(scratch.faces[begin]);
    size_t end = begin + 1;
    while (end < scratch.faces.size() && colourOf(scratch.faces[end]) == colour) ++end;
    TQuadDraw colours;
    colours.front = Rgba(s, ColorEntry(s, colour));
    const std::span<const int32_t> faces(scratch.faces.data() + begin, end - begin);
    begin = end;
    AddQuads(scene, scene.lines, colours, scratch, mesh, faces, s.smoothShading, false,
             [&](const TFace& f, int j) {
               return TCornerData{s.smoothShading ? -mesh.Vert(f.v[j]).normal : -f.normal};
             });
  }
}

// Leaves the client arrays off whichever way the drawing ends, so that later drawing starts
// from a clean state.
struct TClientArrays {
  explicit TClientArrays(bool textured) : textured(textured) {
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    if (textured) glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  }
  ~TClientArrays() {
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    if (textured) glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  }
  TClientArrays(const TClientArrays&) = delete;
  TClientArrays& operator=(const TClientArrays&) = delete;
  bool textured;
};

void DrawQuads(const TArrayScene& scene, const TQuadDraw& draw, bool textured) {
  glVertexPointer(3, GL_FLOAT, 0, scene.pos.data() + 3 * draw.firstVertex);
  glNormalPointer(GL_FLOAT, 0, scene.normal.data() + 3 * draw.firstVertex);
  if (textured) glTexCoordPointer(2, GL_FLOAT, 0, scene.tex.data() + 2 * draw.firstVertex);
  glDrawElements(GL_QUADS, static_cast<GLsizei>(draw.indexCount), GL_UNSIGNED_INT,
                 scene.index.data() + draw.firstIndex);
}

// The surfaces and the mesh lines as the last rebuild left them; drawn at every frame between
// the scene's two lists.
void DrawArrayScene(const TArrayScene& scene) {
  if (!scene.surfaces.empty()) {
    if (scene.textured) {
      glEnable(GL_TEXTURE_2D);
      const float white[4] = {1, 1, 1, 1};
      glTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_BORDER_COLOR, white);
      glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
      glCallList(kSurfaceTextureList);
    }
    {
      // No depth offset: one that grows with a face's slope differs between neighbouring
      // faces and opens dark cracks along their shared edges. The mesh lines come forward.
      const TClientArrays arrays(scene.textured);
      for (const TQuadDraw& draw : scene.surfaces) {
        SetMaterialClass(draw);
        DrawQuads(scene, draw, scene.textured);
      }
    }
    if (scene.textured) glDisable(GL_TEXTURE_2D);
  }
  if (scene.lines.empty()) return;
  glLineWidth(scene.lineWidth);
  glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
  // The faces' outlines, drawn as polygons so that the depth offset applies to them: pulled
  // towards the eye by their own slope, they lie on top of the faces at every angle.
  // One-sided lighting lights them as lines are lit, whichever way their face turns.
  glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
  glEnable(GL_POLYGON_OFFSET_LINE);
  glPolygonOffset(-1, -1);
  glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 0);
  {
    const TClientArrays arrays(false);
    for (const TQuadDraw& draw : scene.lines) {
      glColor4fv(draw.front.data());
      DrawQuads(scene, draw, false);
    }
  }
  glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 1);
  glDisable(GL_POLYGON_OFFSET_LINE);
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
}

// The tube swept along `points` as quad strips from vertex arrays, each strip's vertices in
// the order of TTubeStrip.
void DrawTube(TSceneScratch& scratch, std::span<const Vec3> points, double radius,
              int32_t ringSize) {
  std::vector<float>& pos = scratch.tubePos;
  std::vector<float>& normal = scratch.tubeNormal;
  pos.clear();
  normal.clear();
  std::vector<std::pair<GLint, GLsizei>> strips;
  SweepLinkTube(points, radius, ringSize,
                [&](const TTubeRing& from, const TTubeRing& to, int32_t shift) {
                  const size_t m = from.points.size();
                  const auto first = static_cast<GLint>(pos.size() / 3);
                  for (size_t k = 0; k <= m; ++k) {
                    const size_t i = k % m;
                    const size_t j = (k + static_cast<size_t>(shift)) % m;
                    for (const auto& [p, n] : {std::pair{from.points[i], from.normals[i]},
                                               std::pair{to.points[j], to.normals[j]}}) {
                      pos.insert(pos.end(), {p.x, p.y, p.z});
                      normal.insert(normal.end(), {n.x, n.y, n.z});
                    }
                  }
                  strips.emplace_back(first, static_cast<GLsizei>(2 * (m + 1)));
                });
  if (strips.empty()) return;
  const TClientArrays arrays(false);
  glVertexPointer(3, GL_FLOAT, 0, pos.data());
  glNormalPointer(GL_FLOAT, 0, normal.data());
  for (const auto& [first, count] : strips) glDrawArrays(GL_QUAD_STRIP, first, count);
}

// Makes `cached` describe the tube of `points`: its own display list is compiled again only
// when the chain, the radius or the ring differ from what the list holds. The list is made
// before the scene lists open, which may not hold the making of another.
void PrepareTube(TTubeList& cached, std::vector<Vec3> points, double radius, int32_t ringSize,
                 TSceneScratch& scratch) {
  if (cached.valid && cached.radius == radius && cached.ringSize == ringSize &&
      cached.points == points)
    return;
  cached.valid = false;
  cached.points = std::move(points);
  cached.radius = radius;
  cached.ringSize = ringSize;
  if (cached.list == 0) cached.list = glGenLists(1);
  if (cached.list == 0) return;  // no list to be had: the scene list draws the tube itself
  glNewList(cached.list, GL_COMPILE);
  try {
    DrawTube(scratch, cached.points, radius, ringSize);
  } catch (...) {
    glEndList();
    throw;
  }
  glEndList();
  cached.valid = true;
}

void CallTube(TSceneScratch& scratch, const TTubeList& tube) {
  if (tube.valid) glCallList(tube.list);
  else DrawTube(scratch, tube.points, tube.radius, tube.ringSize);
}

// Keeps `lists` at `count` entries, deleting the lists of those dropped.
void ResizeTubeLists(std::vector<TTubeList>& lists, size_t count) {
  for (size_t i = count; i < lists.size(); ++i)
    if (lists[i].list != 0) glDeleteLists(lists[i].list, 1);
  lists.resize(std::min(lists.size(), count));
  lists.resize(count);
}

size_t LinkCount(const TSeiffert& model) {
  return std::min(model.links.size(), static_cast<size_t>(std::max(model.nLinks, 0)));
}

// The basis loop's chain: its vertices lifted off the surface along the vertex normals by half
// the tube's radius, so that the surface does not swallow it.
std::vector<Vec3> LoopPoints(const TMesh& mesh, const std::vector<int32_t>& path, double radius) {
  std::vector<Vec3> points;
  for (int32_t v : path) {
    if (v < 0 || v >= mesh.nVerts || static_cast<size_t>(v) >= mesh.verts.size())
      continue;  // a path of an older mesh draws what it can
    const Vec3 p = mesh.verts[v].pos + mesh.verts[v].normal * (0.5 * radius);
    if (points.empty() || !(p == points.back())) points.push_back(p);
  }
  if (points.size() > 1 && points.front() == points.back()) points.pop_back();
  return points;
}

double LoopRadius(const TAppState& app, size_t i) {
  const double radius = 0.7 * app.Settings.linkRadius;
  const bool highlighted = static_cast<int32_t>(i) == app.highlightedLoops[0] ||
                           static_cast<int32_t>(i) == app.highlightedLoops[1];
  return highlighted ? 2 * radius : radius;
}

// Every tube the scene shows, brought up to date in its list.
void PrepareTubes(TAppState& app, int32_t ringSize) {
  const TSettings& s = app.Settings;
  const TSeiffert& model = app.Seifert;
  TSceneCache& cache = app.sceneCache;
  ResizeTubeLists(cache.links, LinkCount(model));
  for (size_t i = 0; i < cache.links.size(); ++i)
    if (s.showLink[i % 4])
      PrepareTube(cache.links[i], LinkTubePoints(model.mesh, model.links[i], s.linkOffset),
                  s.linkRadius, ringSize, cache.scratch);
  ResizeTubeLists(cache.loops, app.showLoops ? app.loopPaths.size() : 0);
  for (size_t i = 0; i < cache.loops.size(); ++i) {
    const double radius = LoopRadius(app, i);
    PrepareTube(cache.loops[i], LoopPoints(model.mesh, app.loopPaths[i], radius), radius,
                ringSize, cache.scratch);
  }
}

void DrawLinks(TAppState& app) {
  const TSettings& s = app.Settings;
  glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
  TSceneCache& cache = app.sceneCache;
  for (size_t i = 0; i < cache.links.size(); ++i) {
    const size_t c = i % 4;
    SetColor(s, ColorEntry(s, 6 + static_cast<int64_t>(c)));
    if (!s.showLink[c]) continue;
    CallTube(cache.scratch, cache.links[i]);
  }
}

// The basis loops: thin tubes through their vertices.
void DrawLoops(TAppState& app) {
  TSceneCache& cache = app.sceneCache;
  if (cache.loops.empty()) return;
  glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
  for (size_t i = 0; i < cache.loops.size(); ++i) {
    const TLoopColour c = LoopColour(i);
    glColor4f(c.r, c.g, c.b, 1.0f);
    CallTube(cache.scratch, cache.loops[i]);
  }
}

// The tube parts that the surface hides, blended in faintly: only fragments farther away than
// what the depth buffer holds pass.
void DrawHiddenLinks(TAppState& app) {
  struct TOpaqueAgain {
    TSettings& s;
    ~TOpaqueAgain() { s.alphaScale = 1.0; }
  } opaqueAgain{app.Settings};
  app.Settings.alphaScale = app.Settings.transparency / 100.0;
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glEnable(GL_BLEND);
  glDepthFunc(GL_GREATER);
  glEnable(GL_CULL_FACE);
  glDepthMask(GL_FALSE);
  DrawLinks(app);
  glDepthFunc(GL_LESS);
  glDisable(GL_CULL_FACE);
  glDisable(GL_BLEND);
  glDepthMask(GL_TRUE);
}

// What the scene list holds ahead of the surfaces: the sky, the lighting and the specular
// material.
void CompileSceneHead(TAppState& app, const TSceneInputs& in) {
  if ((in.skyRacing && app.racing) || (in.skyStandard && !app.racing))
    DrawSky(app.Seifert.mesh, app.SkyTexture, in.backgroundBottom);
  glColor3f(1, 1, 1);
  glEnable(GL_LIGHTING);
  const float specular[4] = {Channel(in.specular, 0), Channel(in.specular, 8),
                             Channel(in.specular, 16), 1};
  glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, specular);
  glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, static_cast<float>(in.shininess));
}

// What the tube list holds after the surfaces and mesh lines: the hidden-link pass, the links
// and the basis loops.
void CompileSceneTubes(TAppState& app) {
  if (app.Settings.transparency > 0) DrawHiddenLinks(app);
  DrawLinks(app);
  DrawLoops(app);
}

void EmptyList(unsigned list) {
  glNewList(list, GL_COMPILE);
  glEndList();
}

template <typename TBody>
void Compile(unsigned list, const TBody& body) {
  glNewList(list, GL_COMPILE);
  try {
    body();
  } catch (...) {
    glEndList();
    throw;
  }
  glEndList();
}

void RebuildScene(TAppState& app, const TSceneInputs& in,
                  const std::function<void()>& readSettings) {
  if (readSettings) readSettings();
  // Refused before anything is built, so that a refusal leaves the scene as it was.
  const int32_t ringSize = TubeRingSize(app.Settings, app.refineCount, app.racing);
  // Seam shading reads the edges, which a refinement may have left unbuilt.
  EnsureEdges(app.Seifert.mesh);
  TArrayScene& scene = app.sceneCache.scene;
  try {
    scene.Clear();
    PrepareTubes(app, ringSize);
    if (in.showSurfaces) BuildSurfaces(app);
    if (in.showMeshLines) BuildMeshLines(app, in);
    Compile(kSceneList, [&] { CompileSceneHead(app, in); });
    Compile(kSceneTubeList, [&] { CompileSceneTubes(app); });
  } catch (...) {
    // A half-compiled list may leave blending or depth writes in any state: show nothing.
    scene.Clear();
    EmptyList(kSceneList);
    EmptyList(kSceneTubeList);
    throw;
  }
}

// A vertical ramp from the bottom colour to the top one; an exported tile shows its own slice.
void DrawBackground(const TSceneInputs& in, int panelH) {
  const uint32_t top = in.backgroundTop, bottom = in.backgroundBottom;
  if (top == bottom) return;
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glDisable(GL_LIGHTING);
  glDisable(GL_DEPTH_TEST);
  double g = 0, h = 1;
  const TExportTile& tile = in.tile;
  if (tile.tileCount > 1) {
    g = ExportTileStart(tile.tileY, tile.tileCount, tile.readH, panelH);
    h = g + 1.0 / tile.tileCount;
  }
  auto mix = [&](double t) {
    glColor3f(static_cast<float>(t * Channel(top, 0) + (1 - t) * Channel(bottom, 0)),
              static_cast<float>(t * Channel(top, 8) + (1 - t) * Channel(bottom, 8)),
              static_cast<float>(t * Channel(top, 16) + (1 - t) * Channel(bottom, 16)));
  };
  glBegin(GL_QUADS);
  mix(h);
  glVertex3f(-1, 1, 0);
  glVertex3f(1, 1, 0);
  mix(g);
  glVertex3f(1, -1, 0);
  glVertex3f(-1, -1, 0);
  glEnd();
  glEnable(GL_DEPTH_TEST);
}

void SetLight(const TSceneInputs& in, double distance) {
  const std::array<float, 4> position = LightPosition(in, distance);
  const float ambient[4] = {0, 0, 0, 1};
  const float full[4] = {1, 1, 1, 1};
  glLightfv(GL_LIGHT0, GL_POSITION, position.data());
  glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
  glLightfv(GL_LIGHT0, GL_DIFFUSE, full);
  glLightfv(GL_LIGHT0, GL_SPECULAR, full);
}

void SetupView(TAppState& app, const TSceneInputs& in, int width, int height) {
  TView& view = app.View;
  glViewport(0, 0, width, height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  ComputeProjection(view, width, height, in, app.racing);
  if (view.Isometric)
    glOrtho(view.Left, view.Right, view.Bottom, view.Top, view.Near, view.Far);
  else
    glFrustum(view.Left, view.Right, view.Bottom, view.Top, view.Near, view.Far);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  // Set under the identity the light stays put on the screen; set after the camera it is a
  // place in the world.
  if (!in.lightFixedToWorld) SetLight(in, view.Distance);
  if (app.racing && app.rideFrozen) {
    glLoadMatrixd(app.rideFrozenView.data());
  } else if (app.racing && RideProblem(app.Seifert, app.rideControls.link).empty()) {
    const TRideCamera cam = RideStep(app.ride, app.Seifert, app.rideControls, RideTickCount,
                                     view.DragMode != 0, UpVector(in.upAxis));
    glLoadMatrixd(cam.modelView.data());
  } else {
    glLoadMatrixd(OrbitModelView(view, in.upAxis).data());
  }
  if (in.lightFixedToWorld) SetLight(in, view.Distance);
  glGetDoublev(GL_MODELVIEW_MATRIX, view.ModelView.data());
  glGetDoublev(GL_PROJECTION_MATRIX, view.Projection.data());
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  std::copy(viewport, viewport + 4, view.Viewport.begin());
}

}  // namespace

namespace {

// The state of steps 1 to 6 of the one-time set-up. The scene's lists are made empty at once,
// so that no tube list made before the first scene takes their names.
void InitGLState(int width, int height) {
  glViewport(0, 0, width, height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glFrustum(-0.5, 0.5, -0.5, 0.5, 1, 100);
  glEnable(GL_LIGHTING);
  glEnable(GL_LIGHT0);
  glDepthFunc(GL_LEQUAL);
  glEnable(GL_DEPTH_TEST);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  // Clamp-to-edge where the driver knows it; plain clamp stays in force where it does not.
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 1);
  glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_FASTEST);
  glEnable(GL_COLOR_MATERIAL);
  EmptyList(kSceneList);
  EmptyList(kSceneTubeList);
}

}  // namespace

void GLPanel1GLInit(TAppState& app, int width, int height) {
  InitGLState(width, height);
  MakeTexture(RailPicture(), kSurfaceTextureList, app.SurfaceTexture);
  MakeTexture(SkyPicture(), kSkyTextureList, app.SkyTexture);
  app.sceneCache = TSceneCache();  // a new context holds none of the old one's lists
  app.redrawDirty = true;
}

void GLPanel1GLInitWithoutTextures(TAppState& app, int width, int height) {
  InitGLState(width, height);
  app.sceneCache = TSceneCache();
  app.redrawDirty = true;
}

void ReleaseSceneLists(TAppState& app) {
  TSceneCache& cache = app.sceneCache;
  ResizeTubeLists(cache.links, 0);
  ResizeTubeLists(cache.loops, 0);
  cache.scene.Clear();
  EmptyList(kSceneList);
  EmptyList(kSceneTubeList);
  app.redrawDirty = true;
}

void GLPanel1Redraw(TAppState& app, const TSceneInputs& in, int width, int height,
                    const std::function<void()>& readSettings) {
  // Whatever leaves the frame, the scene it asked for has been dealt with.
  struct TFrameDone {
    TAppState& app;
    ~TFrameDone() { app.redrawDirty = false; }
  } frameDone{app};

  if (!app.rideFrozen) TickRideClock(app.ride);
  glViewport(0, 0, width, height);
  const uint32_t top = in.backgroundTop;
  glClearColor(Channel(top, 0), Channel(top, 8), Channel(top, 16), 1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  if (!app.racing) DrawBackground(in, height);
  SetupView(app, in, width, height);
  if (app.redrawDirty) RebuildScene(app, in, readSettings);
  glCallList(kSceneList);
  DrawArrayScene(app.sceneCache.scene);
  glCallList(kSceneTubeList);
}
