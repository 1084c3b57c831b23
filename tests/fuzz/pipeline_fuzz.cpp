// The whole pipeline of a headless window: an optional lay-out or preset button, a braid word
// typed with Enter or a knot-table row, up to eight control writes, a recompute, a few
// smoothing iterations and a Refine, a few ride frames, then OBJ, PLY, STL, GLB and the info
// JSON written to memory and read back. Resolution, "Catm. Clark", presmoothing and the iteration count are
// capped so that one input runs in milliseconds.

#include <nlohmann/json.hpp>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "app/model/headlessWindow.h"
#include "app/model/ride.h"
#include "app/model/shapePresets.h"
#include "cli/infoReport.h"
#include "app/model/meshExport.h"
#include "fuzzSupport.h"

namespace {

struct TControlChoice {
  const char* name;
  int32_t lo, hi;  // values written; costly controls get a small cap
};

// Shape and mesh controls that change the surface. Out-of-range values are allowed where the
// control clamps them ("ud_diax" -5..205).
const TControlChoice kShapeControls[] = {
    {"ud_diax", -5, 205},      {"ud_diay", -5, 205},        {"ud_shift", -25, 25},
    {"ud_tubecurve", -2, 12},  {"ud_height", -5, 105},      {"ud_diameter", -5, 205},
    {"ud_distance", -5, 205},  {"ud_taper", -105, 205},     {"ud_linkdia", 0, 205},
    {"ud_linkoffset", -45, 45}, {"ud_split", -1, 11},       {"ud_subdiv", 1, 3},
    {"ud_ccsub", 0, 1},        {"ud_presmooth", 0, 4},      {"ud_tuberes", -12, 4},
    {"ud_smoothrot", 0, 10},   {"ud_psnonbnd", 0, 3},       {"ud_minlinkseg", 0, 30},
    {"ud_minsurf", 0, 3},      {"tb_sphere", 0, 10},        {"tb_smooth", 0, 7},
    {"tb_res", 0, 2},          {"cb_tjoint", 0, 1},         {"cb_multitwist", 0, 1},
    {"cb_reduce", 0, 1},       {"cb_convexflat2", 0, 1},    {"cb_simple_morph", 0, 1},
    {"cb_beziertubes", 0, 1},  {"cb_smoothdisks", 0, 1},    {"cb_smoothtubes", 0, 1},
    {"cb_simplemesh", 0, 1},   {"cb_reducedmesh", 0, 1},    {"cb_autocenter", 0, 1},
    {"rb_stacked", 1, 1},      {"rb_split", 1, 1},          {"rb_flat2", 1, 1},
    {"rb_flat", 1, 1},         {"rb_flatdt", 1, 1},         {"ud_knwidth", 0, 8},
};

// The smoothing group's fields, written before "Smooth" is pressed.
const TControlChoice kSmoothingControls[] = {
    {"ud_krep", 0, 10000}, {"ud_sedt", 1, 10000}, {"ud_hatr", 0, 10000}, {"ud_beta", -1, 6},
    {"ud_alpha", 0, 6},    {"ud_rscale", -100, 100}, {"ud_damp", 0, 100}, {"ud_noise", 0, 1000},
    {"ud_pressure", 0, 10000}, {"ud_dtfac", 0, 1000}, {"cb_checkcol", 0, 1},
};

void Write(THeadlessWindow& w, const TControlChoice& c, int32_t value) {
  const TControlDef* d = FindControl(c.name);
  if (d->kind == TControlKind::kCheckBox || d->kind == TControlKind::kRadioButton)
    w.controls.SetChecked(c.name, value != 0);
  else
    w.controls.SetPosition(c.name, value);
}

// Letters A..H and a..h, digits for twist counts; at most 12 letters.
std::string Word(TFuzzInput& in) {
  static const char kAlphabet[] = "ABCDEFGHabcdefgh0123456789";
  const size_t n = in.Byte() % 16;
  std::string word;
  for (size_t i = 0; i < n; ++i) word += kAlphabet[in.Byte() % (sizeof kAlphabet - 1)];
  return word;
}

size_t CountLines(const std::string& text, std::string_view prefix) {
  size_t n = 0;
  std::istringstream s(text);
  for (std::string line; std::getline(s, line);) n += line.starts_with(prefix);
  return n;
}

// The text PLY's body: the vertices (position and colour), then the faces (four corners and a
// colour), then the link edges. Every vertex is used; the faces are the shown ones in the
// model's order, on the model's positions, all kept or all turned over, enclosing a volume that
// is not negative when the whole closed surface is shown.
void CheckPlyBody(const TAppState& app, const std::string& p, size_t nShown, bool wholeShown) {
  const TMesh& mesh = app.Seifert.mesh;
  const size_t nVerts = static_cast<size_t>(VertexCount(mesh));
  const size_t header = p.find("element vertex "), body = p.find("end_header\n");
  Expect(header != std::string::npos && body != std::string::npos, "PLY header incomplete");
  const size_t nPly = std::stoul(p.substr(header + 15, 12));
  Expect(nPly <= nVerts, "PLY has more vertices than the mesh");
  std::istringstream lines(p.substr(body + 11));
  std::vector<Vec3> at(nPly);
  std::vector<bool> used(nPly);
  for (size_t v = 0; v < nPly; ++v) {
    int r, g, b;
    Expect(static_cast<bool>(lines >> at[v].x >> at[v].y >> at[v].z >> r >> g >> b),
           "PLY vertex line " + std::to_string(v) + " unreadable");
  }
  int turned = -1;
  double volume = 0, size = 0;
  int32_t f = 0;
  for (size_t k = 0; k < nShown; ++k, ++f) {
    for (; f < FaceCount(mesh); ++f) {
      const TFace& face = mesh.faces[static_cast<size_t>(f)];
      bool valid = true;
      for (int32_t v : face.v) valid = valid && ValidVertex(mesh, v);
      if (valid && (face.kind < 0 || face.kind > 2 ||
                    app.Settings.showSurface[static_cast<size_t>(face.kind)]))
        break;
    }
    Expect(f < FaceCount(mesh), "PLY has more faces than are shown");
    const TFace& face = mesh.faces[static_cast<size_t>(f)];
    size_t n = 0, c[4] = {};
    int r, g, b;
    Expect(static_cast<bool>(lines >> n >> c[0] >> c[1] >> c[2] >> c[3] >> r >> g >> b) && n == 4,
           "PLY face line " + std::to_string(k) + " is not a quad");
    for (size_t i : c) Expect(i < nPly, "PLY face corner beyond its vertices");
    for (size_t i : c) used[i] = true;
    const auto same = [&](int step) {
      for (int i = 0; i < 4; ++i) {
        const Vec3& q = mesh.verts[static_cast<size_t>(face.v[(4 + step * i) % 4])].pos;
        const Vec3& w = at[c[i]];
        if (!(q.x == w.x && q.y == w.y && q.z == w.z)) return false;
      }
      return true;
    };
    const int way = same(1) ? 0 : same(-1) ? 1 : -1;
    Expect(way >= 0, "PLY face " + std::to_string(k) + " is not on the model's corners");
    Expect(turned < 0 || way == turned || same(1) == same(-1),
           "PLY faces are not all wound the same way");
    if (same(1) != same(-1)) turned = way;
    for (int i = 1; i < 3; ++i) {
      const double t = at[c[0]].Dot(at[c[i]].Cross(at[c[i + 1]]));
      volume += t;
      size += std::fabs(t);
    }
  }
  for (int64_t e = 0; lines >> e;) {
    Expect(e >= 0 && size_t(e) < nPly, "PLY edge beyond its vertices");
    if (e >= 0 && size_t(e) < nPly) used[size_t(e)] = true;
  }
  Expect(std::all_of(used.begin(), used.end(), [](bool u) { return u; }),
         "PLY holds a vertex that no face or edge uses");
  Expect(!wholeShown || app.torusShown || !std::isfinite(volume) || volume >= -1e-3 * size,
         "PLY faces of the closed surface are wound inward");
}

// The info JSON and the mesh files in memory: the JSON parses back, counts match the mesh.
void CheckOutputs(const TAppState& app) {
  const TMesh& mesh = app.Seifert.mesh;
  const size_t nVerts = static_cast<size_t>(VertexCount(mesh));
  size_t nFaces = 0;
  size_t nShown = 0;  // what the window draws: kinds whose "Show" box is on
  for (int32_t f = 0; f < FaceCount(mesh); ++f) {
    const TFace& face = mesh.faces[static_cast<size_t>(f)];
    bool valid = true;
    for (int32_t v : face.v) valid = valid && ValidVertex(mesh, v);
    nFaces += valid;
    nShown += valid && (face.kind < 0 || face.kind > 2 ||
                        app.Settings.showSurface[static_cast<size_t>(face.kind)]);
  }

  const std::string text = InfoJson(app).dump();
  const auto j = nlohmann::json::parse(text, nullptr, false);
  Expect(!j.is_discarded(), "info JSON does not parse back: " + text.substr(0, 200));
  Expect(j["nDisks"] == app.Seifert.nDisks && j["nTubes"] == app.Seifert.nTubes,
         "info JSON counts differ from the model");
  Expect(j["mesh"]["nVerts"] == mesh.nVerts && j["mesh"]["openEdges"] == 0,
         "info JSON mesh summary differs from the mesh");

  // The mesh files: checking them is the slowest part on a large mesh, whose code paths are
  // those of a small one, so they stop at a size that keeps every input inside the time limit.
  if (nFaces > 30'000) return;
  std::ostringstream obj, ply;
  WriteObj(app, obj);
  Expect(CountLines(obj.str(), "v ") == nVerts, "OBJ vertex count differs from the mesh");
  Expect(CountLines(obj.str(), "f ") == nShown, "OBJ face count differs from the mesh");
  TMeshExportOptions asText;
  asText.asciiPly = true;
  asText.zUp = true;  // the model's own axes, so the positions compare as they are
  WritePly(app, ply, asText);
  const std::string p = ply.str();
  Expect(p.find("element face " + std::to_string(nShown) + "\n") != std::string::npos,
         "PLY face count differs from the mesh");
  // A point that is not finite reads back as no number; the counts above still hold then.
  bool finite = true;
  for (size_t v = 0; v < nVerts; ++v) {
    const Vec3& q = mesh.verts[v].pos;
    finite = finite && std::isfinite(q.x) && std::isfinite(q.y) && std::isfinite(q.z);
  }
  if (finite) CheckPlyBody(app, p, nShown, nShown == nFaces);

  // STL: 50 bytes a triangle after the count, at most two a face (but for a smoothed sheet made
  // solid), every corner finite and in
  // the millimetre box of the requested size, whose longest side it fills. A model it cannot
  // scale is a RangeError, never a file of NaNs.
  TMeshExportOptions mm;
  mm.sizeMm = 50;
  std::ostringstream stl;
  try {
    WriteStl(app, stl, mm);
    const std::string b = stl.str();
    Expect(b.size() >= 84 && b.compare(0, 5, "solid") != 0, "STL header missing or textual");
    uint32_t count = 0;
    std::memcpy(&count, b.data() + 80, 4);
    // A smoothed surface prints as its side-0 sheet on both sides (four triangles a quad) with
    // a rim of two triangles on each of at most four border edges a quad.
    const uint64_t perFace = app.smoothed && !app.torusShown ? 12 : 2;
    Expect(b.size() == 84 + 50 * uint64_t{count} && count <= perFace * nFaces,
           "STL size or triangle count wrong: " + std::to_string(count));
    float top = 0;
    for (uint32_t t = 0; t < count; ++t)
      for (int k = 0; k < 12; ++k) {
        float x;
        std::memcpy(&x, b.data() + 84 + 50 * size_t{t} + 4 * size_t(k), 4);
        Expect(std::isfinite(x) && (k < 3 ? std::fabs(x) <= 1.0001f : x >= -1e-3f && x <= 50.01f),
               "STL value out of place: " + std::to_string(x));
        if (k >= 3) top = std::max(top, x);
      }
    Expect(count == 0 || std::fabs(top - 50) < 1e-3, "STL longest side is not the size asked");
  } catch (const RangeError&) {
  }
  // GLB: the container's header agrees with what was written.
  std::ostringstream glb;
  try {
    WriteGltf(app, glb, true);
    const std::string b = glb.str();
    uint32_t head[3] = {};
    if (b.size() >= 12) std::memcpy(head, b.data(), 12);
    Expect(b.size() >= 12 && b.compare(0, 4, "glTF") == 0 && head[1] == 2 && head[2] == b.size(),
           "GLB header wrong");
  } catch (const RangeError&) {
  }
}

// The car stays on its track (segment and parameter in range) and the camera's place and axes
// stay finite, whatever the controls and however long the frames.
void Ride(THeadlessWindow& w, TFuzzInput& in) {
  TRideControls c;
  c.velocity = in.Int(-100, 100);
  c.accelerate = in.Int(-100, 100);
  c.roll = in.Int(-180, 180);
  c.pitch = in.Int(-180, 180);
  c.yaw = in.Int(-180, 180);
  c.link = in.Int(1, 100);
  c.paused = in.Bool();
  const TSeiffert& m = w.app.Seifert;
  if (!RideProblem(m, c.link).empty()) return;
  TRideState& ride = w.app.ride;
  uint32_t now = in.Int32();
  RideRestart(ride, m, c, now);
  const int frames = in.Byte() % 8;
  for (int f = 0; f < frames; ++f) {
    const uint32_t step = static_cast<uint32_t>(in.Int(1, 5000));
    const TRideCamera cam = RideStep(ride, m, c, [&] { return now += step; }, in.Bool(),
                                     Vec3(0, 0, 1));
    const int32_t n = m.links[static_cast<size_t>(ride.link)].nVerts;
    Expect(ride.index >= 0 && ride.index < n && ride.frac >= 0 && ride.frac <= 1,
           "the ride left its track");
    for (const Vec3& v : {cam.p, cam.r, cam.u, cam.f})
      Expect(std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z),
             "the ride camera is not finite");
    Expect(std::isfinite(ride.speed), "the ride's speed is not finite");
  }
}

void Run(TFuzzInput& in) {
  // Most inputs start coarse; a set top bit keeps the start resolution.
  const uint8_t button = in.Byte();
  THeadlessWindow w;
  StartFromCopy(w, (button & 0x80) == 0);
  w.controls.SetPosition("ud_seniter", 1);

  // (1) a lay-out or preset-knot button.
  if (button % 4 == 1) {
    const auto buttons = LayoutButtons();
    w.controls.Click(buttons[in.Byte() % buttons.size()].name);
  } else if (button % 4 == 2) {
    const auto knots = PresetKnots();
    w.controls.Click(knots[in.Byte() % knots.size()].name);
  }
  // (2) a word typed and confirmed with Enter, or a knot-table row ("Flat DT" lays that out
  // from the row's knot code).
  if (in.Bool()) {
    w.controls.SetText("ed_braid", Word(in));
    w.window.BraidEntered();
  } else if (in.Bool()) {
    w.window.ChooseKnot(1 + in.Byte() % w.app.KnotTable.count);
  }
  // (3) up to eight control writes, then the recompute: a fresh build.
  const int writes = in.Byte() % 9;
  for (int i = 0; i < writes; ++i) {
    const TControlChoice& c = kShapeControls[in.Byte() % std::size(kShapeControls)];
    Write(w, c, in.Int(c.lo, c.hi));
  }
  w.window.Recompute();
  TMeshHistory history{.fresh = true};
  CheckModel(w.app, history, "the recompute");
  const TSettings& s = w.app.Settings;
  Expect(!s.tJoints || ((s.layout == kLayoutReducedFlat || s.layout == kLayoutFlatDt) &&
                        AllDisksThreeEnds(w.app.Seifert)),
         "T-joints kept for a lay-out whose disks are not all three-ended");

  // (4) a few smoothing iterations and (5) a Refine.
  history.fresh = false;
  if (in.Bool()) {
    const int params = in.Byte() % 5;
    for (int i = 0; i < params; ++i) {
      const TControlChoice& c = kSmoothingControls[in.Byte() % std::size(kSmoothingControls)];
      Write(w, c, in.Int(c.lo, c.hi));
    }
    w.controls.SetPosition("ud_seniter", in.Int(1, 5));
    w.controls.Click("but_sestart");
    CheckModel(w.app, history, "smoothing");
  }
  if (in.Bool()) {
    w.controls.Click("Button6");
    CheckModel(w.app, history, "a Refine");
  }
  // (6) a few frames of the ride with arbitrary "Race control" values and frame times.
  if (in.Bool()) Ride(w, in);
  CheckOutputs(w.app);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TFuzzInput in(data, size);
  try {
    Run(in);
  } catch (const std::exception& e) {
    ExpectDeliberate(e);
  }
  return 0;
}
