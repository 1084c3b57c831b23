#include "sceneDraw.h"

#include <GL/gl.h>

#include <algorithm>
#include <span>
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

// Back colour 2k, front colour 2k + 1 for the two sides and the knot band; one colour, 2k, for
// any higher class. Ends tracking the front faces with the back colour set. The back colour is
// given as a material rather than by tracking the back faces for one colour: Mesa applies a
// colour given just before a tracking switch to the newly tracked faces, so the back faces
// would keep the previous class's front colour.
void SetMaterialClass(const TSettings& s, int32_t kind) {
  const int64_t back = 2 * int64_t{kind};
  const int64_t front = kind <= 2 ? back + 1 : back;
  const uint32_t b = ColorEntry(s, back);
  const float backColour[4] = {Channel(b, 0), Channel(b, 8), Channel(b, 16),
                               static_cast<float>(s.alphaScale)};
  glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
  glMaterialfv(GL_BACK, GL_AMBIENT_AND_DIFFUSE, backColour);
  SetColor(s, ColorEntry(s, front));
}

void Vertex(const Vec3& p) { glVertex3f(p.x, p.y, p.z); }
void Normal(const Vec3& n) { glNormal3f(n.x, n.y, n.z); }

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

void DrawSurfaces(const TAppState& app) {
  const TSettings& s = app.Settings;
  const TMeshView mesh(app.Seifert.mesh);
  if (s.useTexture) {
    glEnable(GL_TEXTURE_2D);
    const float white[4] = {1, 1, 1, 1};
    glTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_BORDER_COLOR, white);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glCallList(kSurfaceTextureList);
  }
  const bool seamNormals = s.smoothShading && app.smoothed;
  static constexpr float kCornerTex[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};

  int32_t current = 0;
  SetMaterialClass(s, current);
  // No depth offset: one that grows with a face's slope differs between neighbouring faces
  // and opens dark cracks along their shared edges. The mesh lines come forward instead.
  glBegin(GL_QUADS);
  // Last face first; the batch breaks only where the kind changes, and a mesh built kind by
  // kind therefore draws in a few batches.
  for (int32_t i = mesh.FaceCount() - 1; i >= 0; --i) {
    const TFace& f = mesh.Face(i);
    if (!ShowFlag(s, f.kind) || !mesh.CornersValid(f)) continue;
    if (f.kind != current) {
      glEnd();
      current = f.kind;
      SetMaterialClass(s, current);
      glBegin(GL_QUADS);
    }
    if (s.smoothShading) {
      for (int j = 0; j < 4; ++j) {
        const TVertex& v = mesh.Vert(f.v[j]);
        Normal(seamNormals && mesh.IsSeam(f.v[j]) ? mesh.SideNormal(f.v[j], f.kind) : v.normal);
        if (s.useTexture) {
          if (s.textureOnMesh) glTexCoord2f(kCornerTex[j][0], kCornerTex[j][1]);
          else glTexCoord2d(-v.texV, v.texU);
        }
        Vertex(v.pos);
      }
    } else {
      Normal(f.normal);
      for (int j = 0; j < 4; ++j) {
        const TVertex& v = mesh.Vert(f.v[j]);
        if (s.useTexture) glTexCoord2d(v.texU, v.texV);
        Vertex(v.pos);
      }
    }
  }
  glEnd();
  if (s.useTexture) glDisable(GL_TEXTURE_2D);
}

void DrawMeshLines(const TAppState& app, const TSceneInputs& in) {
  const TSettings& s = app.Settings;
  const TMeshView mesh(app.Seifert.mesh);
  glLineWidth(static_cast<float>(in.lineWidth));
  glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
  SetColor(s, ColorEntry(s, 10));
  // The faces' outlines, drawn as polygons so that the depth offset applies to them: pulled
  // towards the eye by their own slope, they lie on top of the faces at every angle.
  // One-sided lighting lights them as lines are lit, whichever way their face turns.
  glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
  glEnable(GL_POLYGON_OFFSET_LINE);
  glPolygonOffset(-1, -1);
  glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 0);
  bool first = true;
  int32_t previous = 0;
  glBegin(GL_QUADS);
  for (int32_t i = 0; i < mesh.FaceCount(); ++i) {
    const TFace& f = mesh.Face(i);
    if (!ShowFlag(s, f.kind) || !mesh.CornersValid(f)) continue;
    if (first || f.kind != previous) {
      SetColor(s, ColorEntry(s, f.kind == 0 ? 10 : 11));
      previous = f.kind;
      first = false;
    }
    if (s.smoothShading) {
      for (int32_t v : f.v) {
        Normal(-mesh.Vert(v).normal);
        Vertex(mesh.Vert(v).pos);
      }
    } else {
      Normal(-f.normal);
      for (int32_t v : f.v) Vertex(mesh.Vert(v).pos);
    }
  }
  glEnd();
  glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 1);
  glDisable(GL_POLYGON_OFFSET_LINE);
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
}

void DrawTubeStrip(const TTubeRing& from, const TTubeRing& to, int32_t shift) {
  const size_t m = from.points.size();
  glBegin(GL_QUAD_STRIP);
  for (size_t k = 0; k <= m; ++k) {
    const size_t a = k % m;
    const size_t b = (k + static_cast<size_t>(shift)) % m;
    Normal(from.normals[a]);
    Vertex(from.points[a]);
    Normal(to.normals[b]);
    Vertex(to.points[b]);
  }
  glEnd();
}

void DrawLinks(const TAppState& app, int32_t ringSize) {
  const TSettings& s = app.Settings;
  const TSeiffert& model = app.Seifert;
  glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
  const size_t nLinks =
      std::min(model.links.size(), static_cast<size_t>(std::max(model.nLinks, 0)));
  for (size_t i = 0; i < nLinks; ++i) {
    const size_t c = i % 4;
    SetColor(s, ColorEntry(s, 6 + static_cast<int64_t>(c)));
    if (!s.showLink[c]) continue;
    const std::vector<Vec3> points = LinkTubePoints(model.mesh, model.links[i], s.linkOffset);
    SweepLinkTube(points, s.linkRadius, ringSize, DrawTubeStrip);
  }
}

// The basis loops: thin tubes through their vertices, lifted off the surface along the vertex
// normals by half their radius so that the surface does not swallow them.
void DrawLoops(const TAppState& app, int32_t ringSize) {
  if (!app.showLoops) return;
  const TMesh& mesh = app.Seifert.mesh;
  const double radius = 0.7 * app.Settings.linkRadius;
  glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
  for (size_t i = 0; i < app.loopPaths.size(); ++i) {
    std::vector<Vec3> points;
    for (int32_t v : app.loopPaths[i]) {
      if (v < 0 || v >= mesh.nVerts) continue;  // a path of an older mesh draws what it can
      const Vec3 p = mesh.verts[v].pos + mesh.verts[v].normal * (0.5 * radius);
      if (points.empty() || !(p == points.back())) points.push_back(p);
    }
    if (points.size() > 1 && points.front() == points.back()) points.pop_back();
    const TLoopColour c = LoopColour(i);
    glColor4f(c.r, c.g, c.b, 1.0f);
    const bool highlighted = static_cast<int32_t>(i) == app.highlightedLoops[0] ||
                             static_cast<int32_t>(i) == app.highlightedLoops[1];
    SweepLinkTube(points, highlighted ? 2 * radius : radius, ringSize, DrawTubeStrip);
  }
}

// The tube parts that the surface hides, blended in faintly: only fragments farther away than
// what the depth buffer holds pass.
void DrawHiddenLinks(TAppState& app, int32_t ringSize) {
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
  DrawLinks(app, ringSize);
  glDepthFunc(GL_LESS);
  glDisable(GL_CULL_FACE);
  glDisable(GL_BLEND);
  glDepthMask(GL_TRUE);
}

void CompileScene(TAppState& app, const TSceneInputs& in, int32_t ringSize) {
  // Seam shading reads the edges, which a refinement may have left unbuilt.
  EnsureEdges(app.Seifert.mesh);
  const TSettings& s = app.Settings;
  if ((in.skyRacing && app.racing) || (in.skyStandard && !app.racing))
    DrawSky(app.Seifert.mesh, app.SkyTexture, in.backgroundBottom);
  glColor3f(1, 1, 1);
  glEnable(GL_LIGHTING);
  const float specular[4] = {Channel(in.specular, 0), Channel(in.specular, 8),
                             Channel(in.specular, 16), 1};
  glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, specular);
  glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, static_cast<float>(in.shininess));
  if (in.showSurfaces) DrawSurfaces(app);
  if (in.showMeshLines) DrawMeshLines(app, in);
  if (s.transparency > 0) DrawHiddenLinks(app, ringSize);
  DrawLinks(app, ringSize);
  DrawLoops(app, ringSize);
}

void RebuildScene(TAppState& app, const TSceneInputs& in,
                  const std::function<void()>& readSettings) {
  if (readSettings) readSettings();
  // Refused before the list is opened, so that a refusal leaves no half-compiled list.
  const int32_t ringSize = TubeRingSize(app.Settings, app.refineCount, app.racing);
  glNewList(kSceneList, GL_COMPILE);
  try {
    CompileScene(app, in, ringSize);
  } catch (...) {
    // A half-compiled list may leave blending or depth writes in any state: replay nothing.
    glEndList();
    glNewList(kSceneList, GL_COMPILE);
    glEndList();
    throw;
  }
  glEndList();
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

void GLPanel1GLInit(TAppState& app, int width, int height) {
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
  MakeTexture(RailPicture(), kSurfaceTextureList, app.SurfaceTexture);
  MakeTexture(SkyPicture(), kSkyTextureList, app.SkyTexture);
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
}
