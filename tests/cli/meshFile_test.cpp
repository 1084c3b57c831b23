// Mesh files as other programs meet them: independent readers find the model's counts, sides
// and colours in every format, and the STL closed; whatever the braid text holds, the files
// keep their format; a file appears complete or not at all, whoever else writes the same name,
// and no failure or kill leaves a stray file or damages the one that was there.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <regex>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <system_error>

#include "app/model/headlessWindow.h"
#include "cli/cliRun.h"
#include "cliTestRun.h"
#include "app/model/meshExport.h"
#include "core/imageFile.h"
#include "fileHelpers.h"

namespace {

std::unique_ptr<THeadlessWindow> Knot(const std::string& word, int32_t resolution) {
  auto w = std::make_unique<THeadlessWindow>();
  w->window.StartUp();
  w->controls.SetText("ed_braid", word);
  w->window.BraidEntered();
  w->controls.SetPosition("ud_ccsub", resolution);
  w->window.Recompute();
  return w;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// What a command prints (stdout and stderr), or "" when it fails.
std::string Output(const std::string& command) {
  FILE* p = ::popen((command + " 2>&1").c_str(), "r");
  if (!p) return "";
  std::string text;
  char buf[4096];
  for (size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) text.append(buf, n);
  return ::pclose(p) == 0 ? text : "";
}

// Triangles of the meshes an independent reader finds in `path` (quads count as two).
long ReaderTriangles(const std::string& path) {
  const std::string text = Output("assimp info '" + path + "'");
  if (text.empty()) return -1;
  // "    0 (kind0): [734 / 0 / 1248 | triangle]": vertices / bones / faces of one mesh
  long triangles = 0;
  for (const std::string& line : Lines(text)) {
    const size_t end = line.find(" | triangle]"), start = line.rfind("/ ", end);
    if (end != std::string::npos && start != std::string::npos)
      triangles += std::stol(line.substr(start + 2, end - start - 2));
  }
  return triangles;
}

std::string Reason(int error) { return std::generic_category().message(error); }

// The meshes the reader finds without any processing of its own: name (its group, node or
// primitive), vertices and faces of each, and the material names.
struct TReaderView {
  std::multiset<std::tuple<std::string, long, long>> meshes;
  std::set<std::string> materials;
};

TReaderView RawRead(const std::string& path) {
  TReaderView view;
  const std::string text = Output("assimp info '" + path + "' -r");
  static const std::regex mesh(R"(^    \d+ \(([^)]*)\): \[(\d+) / \d+ / (\d+) \|)");
  static const std::regex material(R"(^    '([^']*)' \(prop\))");
  for (const std::string& line : Lines(text)) {
    std::smatch m;
    if (std::regex_search(line, m, mesh))
      view.meshes.emplace(m[1], std::stol(m[2]), std::stol(m[3]));
    else if (std::regex_search(line, m, material))
      view.materials.insert(m[1]);
  }
  return view;
}

// Name prefix "kind" (OBJ groups) or "surface" (glTF primitives): the surface, not the links.
std::multiset<std::pair<long, long>> Meshes(const TReaderView& v, const std::string& prefix) {
  std::multiset<std::pair<long, long>> result;
  for (const auto& [name, verts, faces] : v.meshes)
    if (name.rfind(prefix, 0) == 0) result.emplace(verts, faces);
  return result;
}

// What the Python reading of an OBJ or PLY finds: vertices, unused vertices, signed volume, ...
nlohmann::json Facts(const std::string& path) {
  const std::string text = Output(std::string("python3 '") + VELTRANE_MESH_FACTS + "' '" + path + "'");
  return text.empty() ? nlohmann::json() : nlohmann::json::parse(text);
}

// The bounds the reader gives after its import steps: {min x, y, z, max x, y, z}.
std::vector<double> ReaderBounds(const std::string& path) {
  const std::string text = Output("assimp info '" + path + "'");
  std::smatch m;
  static const std::regex bounds(R"(Minimum point\s+\((\S+) (\S+) (\S+)\)\s+Maximum point\s+\((\S+) (\S+) (\S+)\))");
  if (!std::regex_search(text, m, bounds)) return {};
  std::vector<double> v;
  for (int k = 1; k <= 6; ++k) v.push_back(std::stod(m[k]));
  return v;
}

// Kd of each material of the MTL file `path`.
std::map<std::string, std::vector<double>> MaterialColours(const std::string& path) {
  std::map<std::string, std::vector<double>> kd;
  std::string name;
  for (const std::string& line : Lines(ReadFile(path))) {
    std::istringstream in(line);
    std::string tag;
    in >> tag;
    if (tag == "newmtl") std::getline(in >> std::ws, name);
    if (tag == "Kd") kd[name] = {0, 0, 0}, in >> kd[name][0] >> kd[name][1] >> kd[name][2];
  }
  return kd;
}

double Linear(uint32_t color, int shift) {
  const double c = ((color >> shift) & 0xFF) / 255.0;
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

}  // namespace

// Every format of every kind of model, through readers that share no code with ours: the
// counts the cli's info reports (a quad is two triangles) for the kinds on show, each face once
// in the glTF (twice, as two sheets, where the shown faces are open) in the colour of its
// outer side, one tube per link component, OBJ and PLY wound outward (a positive volume) with
// the PLY holding only used vertices, and an STL of every face that is one closed, outward
// solid.
TEST(MeshFile, IndependentReadersFindTheModelInEveryFormat) {
  const std::vector<std::pair<std::vector<std::string>, bool>> models = {
      {{"--knot", "3_1"}, false},
      {{"--knot", "4_1"}, false},
      {{"AAAA"}, false},  // a link of two components
      // Smoothed, the window shows one side of the thin slab only.
      {{"--knot", "5_2", "--smooth", "30", "--refine", "1"}, true},
      // The STL holds the torus without the band, which no solid can hold.
      {{"--torus", "2,3"}, false},
  };
  TTempFolder dir;
  for (const auto& [model, oneSide] : models) {
    SCOPED_TRACE(testing::PrintToString(model));
    auto args = model;
    args.insert(args.begin(), "info");
    args.push_back("--json");
    const TRun info = Cli(args);
    ASSERT_EQ(info.status, 0) << info.err;
    const auto j = nlohmann::json::parse(info.out);
    const long quads = j["mesh"]["nFaces"], used = j["mesh"]["usedVerts"];
    const bool torus = model.front() == "--torus";
    const long solidQuads = torus ? j["mesh"]["facesByKind"][0].get<long>() : quads;
    const long links = static_cast<long>(j["links"].size());
    std::multiset<std::pair<long, long>> kindQuads, kindSheets;
    std::set<std::string> sideMaterials;
    // The reader merges coincident corners, and the torus band's lie on the torus.
    long shownQuads = 0,
         shownVerts = oneSide || torus ? j["mesh"]["vertsByKind"][0].get<long>() : used;
    for (int k = 0; k < 3; ++k) {
      const long q = j["mesh"]["facesByKind"][k], v = j["mesh"]["vertsByKind"][k];
      if (q == 0 || (oneSide && k == 1)) continue;
      shownQuads += q;
      kindQuads.emplace(4 * q, q);
      // The lay-outs wind the solid inward: the outer side wears the back swatch. A smoothed
      // sheet and the torus knot's band are open, and get the other side as a second sheet.
      kindSheets.emplace(v, 2 * q);
      sideMaterials.insert("kind" + std::to_string(k) + " back");
      if (oneSide || (torus && k > 0)) {
        kindSheets.emplace(v, 2 * q);
        sideMaterials.insert("kind" + std::to_string(k) + " front");
      }
    }

    for (const std::string format : {"stl", "glb", "gltf", "obj", "ply"}) {
      SCOPED_TRACE(format);
      const std::string file = dir / ("m." + format);
      auto mesh = model;
      mesh.insert(mesh.begin(), "mesh");
      mesh.insert(mesh.end(), {"-o", file});
      const TRun run = Cli(mesh);
      ASSERT_EQ(run.status, 0) << run.err;
      const TReaderView view = RawRead(file);
      if (format == "stl") {
        if (oneSide) {
          // A smoothed surface prints as its one sheet made a solid: the sheet on both sides
          // and a rim of two facets per border edge between them.
          ASSERT_EQ(view.meshes.size(), 1u);
          const long facets = std::get<2>(*view.meshes.begin());
          const long sheet = 2 * j["mesh"]["facesByKind"][0].get<long>();
          EXPECT_GT(facets, 2 * sheet);
          EXPECT_EQ((facets - 2 * sheet) % 2, 0);
          EXPECT_EQ(std::get<1>(*view.meshes.begin()), 3 * facets);
        } else {
          EXPECT_EQ(view.meshes, (std::multiset<std::tuple<std::string, long, long>>{
                                     {"", 6 * solidQuads, 2 * solidQuads}}));
        }
        EXPECT_EQ(run.err.find("the torus alone") != std::string::npos, torus) << run.err;
        const std::string report = Output("admesh '" + file + "'");
        for (const char* line : {"Number of parts       :     1", "Edges fixed           :     0",
                                 "Facets reversed       :     0", "Normals fixed         :     0",
                                 "Degenerate facets     :     0", "Backwards edges       :     0"})
          EXPECT_NE(report.find(line), std::string::npos) << line << "\n" << report;
        EXPECT_TRUE(std::regex_search(report, std::regex(R"(Total disconnected facets\s*:\s*0\s+0)")))
            << report;
        // Millimetres, the longest side 100 by default, on the plate's positive side.
        std::smatch m;
        double longest = 0;
        for (const char axis : {'X', 'Y', 'Z'}) {
          const std::regex bounds(std::string("Min ") + axis + R"( = *(\S+), Max )" + axis +
                                  R"( = *(\S+))");
          ASSERT_TRUE(std::regex_search(report, m, bounds)) << report;
          EXPECT_NEAR(std::stod(m[1]), 0, 1e-4);
          longest = std::max(longest, std::stod(m[2]));
        }
        EXPECT_NEAR(longest, 100, 1e-3);
      } else if (format == "glb" || format == "gltf") {
        EXPECT_EQ(Meshes(view, "surface"), kindSheets);
        long tubes = 0;
        for (const auto& [name, verts, faces] : view.meshes) tubes += name.rfind("links", 0) == 0;
        EXPECT_EQ(tubes, links);
        std::set<std::string> materials;
        for (const std::string& name : view.materials)
          if (name.rfind("kind", 0) == 0) materials.insert(name);
        EXPECT_EQ(materials, sideMaterials);
        // No face lies on another: a renderer that draws both sides would show speckle there.
        const std::string back = dir / ("back_" + format + ".obj");
        ASSERT_FALSE(Output("assimp export '" + file + "' '" + back + "'").empty());
        EXPECT_EQ(Facts(back)["coincident"], 0);
      } else {
        const nlohmann::json facts = Facts(file);
        ASSERT_TRUE(facts.is_object()) << file;
        // Closed, the faces enclose a positive volume; the torus knot's band and an open sheet
        // enclose none.
        if (!oneSide && !torus) EXPECT_GT(facts["volume"].get<double>(), 0);
        EXPECT_EQ(ReaderTriangles(file), 2 * shownQuads);
        if (format == "obj") {
          EXPECT_EQ(Meshes(view, "kind"), kindQuads);
          EXPECT_EQ(view.materials.count("kind0"), 1u);
        } else {
          // Only the vertices that faces and link lines use, with their colours.
          const long plyVerts = torus ? facts["vertices"].get<long>() : shownVerts;
          EXPECT_EQ(view.meshes, (std::multiset<std::tuple<std::string, long, long>>{
                                     {"", plyVerts, shownQuads}}));
          EXPECT_EQ(facts["unused"], 0);
          EXPECT_EQ(facts["vertexColoursAmiss"], 0);
          EXPECT_NE(Output("assimp info '" + file + "'").find("Vertices:           " +
                                                               std::to_string(shownVerts) + "\n"),
                    std::string::npos);
        }
        // y up as in the glTF; --up z keeps the model's own axes: (x, y, z) is (x, -z, y) then.
        if (model == models.front().first) {
          auto zUp = mesh;
          zUp.end()[-1] = dir / ("z." + format);
          zUp.push_back("--up=z");
          ASSERT_EQ(Cli(zUp).status, 0);
          const auto y = ReaderBounds(file), z = ReaderBounds(dir / ("z." + format));
          ASSERT_EQ(y.size(), 6u);
          ASSERT_EQ(z.size(), 6u);
          const double expected[6] = {z[0], z[2], -z[4], z[3], z[5], -z[1]};
          for (int k = 0; k < 6; ++k) EXPECT_NEAR(y[k], expected[k], 1e-5) << k;
          EXPECT_GT(Facts(dir / ("z." + format))["volume"].get<double>(), 0);
        }
      }
    }
  }

  // The colours as the reader hands them on, from the glTF and from the OBJ's materials: the
  // swatches the window shows on each side, in linear light; without links no tube.
  auto start = std::make_unique<THeadlessWindow>();
  start->window.StartUp();
  const auto& colors = start->app.Settings.colors;
  ASSERT_EQ(Cli({"mesh", "--knot", "3_1", "--no-links", "-o", dir / "k.glb"}).status, 0);
  ASSERT_EQ(Cli({"mesh", "--knot", "3_1", "--smooth", "30", "-o", dir / "s.glb"}).status, 0);
  ASSERT_EQ(Cli({"mesh", "--knot", "3_1", "-o", dir / "k.obj"}).status, 0);
  EXPECT_EQ(Meshes(RawRead(dir / "k.glb"), "links").size(), 0u);
  const std::vector<std::pair<std::string, std::map<std::string, uint32_t>>> files = {
      {"k.glb", {{"kind0 back", colors[0]}, {"kind1 back", colors[2]}}},
      {"s.glb", {{"kind0 back", colors[0]}, {"kind0 front", colors[1]}}},
      {"k.obj", {{"kind0", colors[0]}, {"kind1", colors[2]}}},
  };
  for (const auto& [file, swatches] : files) {
    SCOPED_TRACE(file);
    ASSERT_FALSE(Output("cd '" + dir.path + "' && assimp export " + file + " back.obj").empty());
    auto kd = MaterialColours(dir / "back.mtl");
    for (const auto& [material, color] : swatches) {
      ASSERT_EQ(kd.count(material), 1u) << material;
      for (int c = 0; c < 3; ++c) EXPECT_NEAR(kd[material][c], Linear(color, 8 * c), 1e-4) << material;
    }
  }
}

// The glTF validator finds nothing wrong, neither errors nor warnings, in the files of a few
// knots, lay-outs, a link, a torus knot, a smoothed surface and one with a side left out.
TEST(MeshFile, GltfValidatorFindsNothingToReport) {
  if (Output("node --version").empty() ||
      !std::filesystem::exists(std::string(VELTRANE_GLTF_VALIDATOR) + "/package.json"))
    GTEST_SKIP() << "node or the glTF validator is missing (scripts/install-gltf-validator.sh "
                    "installs them)";
  const std::vector<std::vector<std::string>> models = {
      {"--knot", "3_1"},
      {"--knot", "4_1", "--layout", "flat", "-o", "flat.gltf"},
      {"AAAA", "--layout", "split"},
      {"--knot", "5_2", "--layout", "reduced-flat"},
      {"--knot", "6_2", "--layout", "flat-dt"},
      {"--knot", "5_2", "--smooth", "30", "--refine", "1"},
      {"--knot", "4_1", "--set", "cb_shmat2=0"},
      {"--torus", "2,3"},
  };
  TTempFolder dir;
  std::string command = std::string("node '") + VELTRANE_GLTF_VALIDATE + "' '" +
                        VELTRANE_GLTF_VALIDATOR + "'";
  for (size_t i = 0; i < models.size(); ++i) {
    auto args = models[i];
    args.insert(args.begin(), "mesh");
    if (std::find(args.begin(), args.end(), "-o") == args.end())
      args.insert(args.end(), {"-o", "m" + std::to_string(i) + ".glb"});
    args.back() = dir / args.back();
    const TRun run = Cli(args);
    ASSERT_EQ(run.status, 0) << run.err;
    command += " '" + args.back() + "'";
  }
  const std::vector<std::string> report = Lines(Output(command));
  ASSERT_EQ(report.size(), models.size()) << testing::PrintToString(report);
  for (const std::string& line : report)
    EXPECT_NE(line.find(": 0 errors, 0 warnings,"), std::string::npos) << line;
}

TEST(MeshFile, BraidTextCannotBreakAFile) {
  const std::string replaced = "\xef\xbf\xbd";  // U+FFFD in JSON for a byte that is not UTF-8
  // Each word with its "text" in the JSON summary.
  const std::vector<std::pair<std::string, std::string>> words = {
      {"AAA\r\nf 1 2 3\n", "AAA\r\nf 1 2 3\n"},
      {std::string("A\0b\x0b\x0c\x7f", 6), std::string("A\0b\x0b\x0c\x7f", 6)},
      {"\x80\xfe\xff" "AbAb", replaced + replaced + replaced + "AbAb"},
      {"A\"\\\"b\xc3\xa9\xe2\x80\xa8", "A\"\\\"b\xc3\xa9\xe2\x80\xa8"},
  };
  TTempFolder dir;
  for (const auto& [word, text] : words) {
    SCOPED_TRACE(testing::PrintToString(word));
    const TRun info = Cli({"info", word, "--json"});
    ASSERT_EQ(info.status, 0) << info.err;
    const auto j = nlohmann::json::parse(info.out);
    EXPECT_EQ(j["text"], text);
    const long nVerts = j["mesh"]["nVerts"], nFaces = j["mesh"]["nFaces"];
    // Five lines of lay-out and mesh, and the knot the surface bounds: no word adds one.
    EXPECT_EQ(Lines(Cli({"info", word}).out).size(), 6u);

    ASSERT_EQ(Cli({"mesh", word, "-o", dir / "k.obj"}).status, 0);
    ASSERT_EQ(Cli({"mesh", word, "--ascii", "-o", dir / "k.ply"}).status, 0);
    const std::string obj = ReadFile(dir / "k.obj"), ply = ReadFile(dir / "k.ply");
    for (const std::string* file : {&obj, &ply})
      EXPECT_TRUE(std::all_of(file->begin(), file->end(),
                              [](char c) { return c == '\n' || (c >= 0x20 && c < 0x7F); }));

    long v = 0;
    for (const std::string& line : Lines(obj)) {
      const std::string tag = line.substr(0, line.find(' '));
      EXPECT_TRUE(tag == "#" || tag == "v" || tag == "g" || tag == "f" || tag == "l" ||
                  tag == "mtllib" || tag == "usemtl")
          << line;
      v += tag == "v";
    }
    EXPECT_EQ(v, nVerts);
    const auto plyLines = Lines(ply);
    ASSERT_GT(plyLines.size(), 2u);
    EXPECT_EQ(plyLines[2].substr(0, 8), "comment ");
    EXPECT_EQ(plyLines[3], "element vertex " + j["mesh"]["usedVerts"].dump());

    EXPECT_EQ(ReaderTriangles(dir / "k.obj"), 2 * nFaces);
    EXPECT_EQ(ReaderTriangles(dir / "k.ply"), 2 * nFaces);
  }
}

TEST(MeshFile, ObjFileNamesCannotBreakTheMaterialLine) {
  TTempFolder dir;
  // A control character would carry records into the OBJ (a newline and "v 9 9 9").
  for (const std::string name : {"inj\nv 9 9 9\nx.obj", "tab\t.obj", "cr\r.obj", "del\x7f.obj"}) {
    const TRun r = Cli({"mesh", "AAA", "-o", dir / name});
    EXPECT_EQ(r.status, 2) << name;
    EXPECT_NE(r.err.find("cannot hold a control character"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
  }
  EXPECT_TRUE(Entries(dir.path).empty());
  // Readers split the mtllib line at white space: the material file's name has none.
  ASSERT_EQ(Cli({"mesh", "AAA", "-o", dir / "my knot 1.obj"}).status, 0);
  EXPECT_EQ(Entries(dir.path), (std::set<std::string>{"my knot 1.obj", "my_knot_1.mtl"}));
  const std::string obj = ReadFile(dir / "my knot 1.obj");
  EXPECT_NE(obj.find("\nmtllib my_knot_1.mtl\n"), std::string::npos);
  long faces = 0;
  for (const std::string& line : Lines(obj)) faces += line.starts_with("f ");
  EXPECT_EQ(ReaderTriangles(dir / "my knot 1.obj"), 2 * faces);
}

TEST(MeshFile, ConcurrentWritersLeaveOneWritersCompleteFile) {
  std::vector<std::unique_ptr<THeadlessWindow>> knots;
  std::vector<std::string> outputs;
  for (const char* word : {"AAA", "AbAb", "A2A2A2"}) {
    knots.push_back(Knot(word, 2));  // 1 to 2 MB each
    std::ostringstream out;
    WriteObj(knots.back()->app, out, {}, "knot.mtl");
    outputs.push_back(out.str());
  }
  TTempFolder dir;
  const std::string target = dir / "knot.obj";
  for (int trial = 0; trial < 10; ++trial) {
    // The writers wait at a gate that opens for all of them at once.
    int gate[2];
    ASSERT_EQ(::pipe(gate), 0);
    std::vector<std::unique_ptr<TChild>> writers;
    for (const auto& knot : knots)
      writers.push_back(std::make_unique<TChild>([&] {
        ::close(gate[1]);
        char c;
        while (::read(gate[0], &c, 1) < 0 && errno == EINTR) {}
        WriteMeshFile(knot->app, target);
        return std::string("done");
      }));
    ::close(gate[0]);
    ::close(gate[1]);
    for (auto& w : writers) {
      std::string report;
      const int status = w->Finish(report);
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
      EXPECT_EQ(report, "done");
    }
    const std::string result = ReadFile(target);
    EXPECT_NE(std::find(outputs.begin(), outputs.end(), result), outputs.end())
        << "trial " << trial << ": " << result.size() << " bytes, no writer's output";
    EXPECT_EQ(Entries(dir.path), (std::set<std::string>{"knot.obj", "knot.mtl"}));
  }
}

TEST(MeshFile, OtherFilesOfTheFolderAndLongNamesAreLeftAlone) {
  TTempFolder dir;
  PutFile(dir / "knot.obj.part", "someone's download\n");
  PutFile(dir / "knot.obj", "old\n");
  PutFile(dir / ".veltrane-tmp", "other\n");
  const std::string longName = std::string(248, 'k') + ".obj";  // 252 characters
  for (const std::string& name : {std::string("knot.obj"), longName}) {
    const TRun r = Cli({"mesh", "AAA", "-o", dir / name});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(dir / name).rfind("# veltrane-cli mesh of \"AAA\"", 0), 0u);
  }
  EXPECT_EQ(ReadFile(dir / "knot.obj.part"), "someone's download\n");
  EXPECT_EQ(ReadFile(dir / ".veltrane-tmp"), "other\n");
  const std::string longMtl = std::string(248, 'k') + ".mtl";
  EXPECT_EQ(Entries(dir.path), (std::set<std::string>{"knot.obj", "knot.mtl", "knot.obj.part",
                                                      ".veltrane-tmp", longName, longMtl}));
}

TEST(MeshFile, FailuresSayWhyKeepTheOldFileAndLeaveNothingBehind) {
  TTempFolder dir;
  PutFile(dir / "knot.obj", "old\n");
  std::filesystem::create_directory(dir / "folder.ply");
  const std::vector<std::pair<std::string, int>> cases = {
      {dir / "missing/knot.obj", ENOENT},
      {dir / "folder.ply", EISDIR},
      {dir / "knot.3ds", 0},
  };
  for (const auto& [path, error] : cases) {
    const TRun r = Cli({"mesh", "AAA", "-o", path});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find(path), std::string::npos) << r.err;
    if (error != 0) {
      EXPECT_NE(r.err.find(Reason(error)), std::string::npos) << r.err;
    }
  }
  EXPECT_TRUE(std::filesystem::is_empty(dir / "folder.ply"));

  // A write that fails part-way: a file size limit stands in for a full disk.
  TChild child([&] {
    const rlimit limit{16384, 16384};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    ::signal(SIGXFSZ, SIG_IGN);
    return Cli({"mesh", "AbAb", "-o", dir / "knot.obj"}).err;
  });
  std::string err;
  child.Finish(err);
  EXPECT_NE(err.find("cannot write " + (dir / "knot.obj") + ": " + Reason(EFBIG)),
            std::string::npos)
      << err;
  EXPECT_EQ(ReadFile(dir / "knot.obj"), "old\n");
  EXPECT_EQ(Entries(dir.path), (std::set<std::string>{"knot.obj", "folder.ply"}));
}

TEST(MeshFile, KillingAWriterLeavesNoTempFile) {
  const auto mesh = [](const std::string& path) {
    return Cli({"mesh", "AbAb", "--set", "ud_ccsub=3", "-o", path});  // 8 MB
  };
  TTempFolder reference;
  ASSERT_EQ(mesh(reference / "knot.obj").status, 0);
  const std::string complete = ReadFile(reference / "knot.obj");
  for (const int sig : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(sig);
    TTempFolder dir;
    const std::string target = dir / "knot.obj";
    PutFile(target, "old\n");
    bool signalled = false;
    for (int attempt = 0; attempt < 5 && !signalled; ++attempt) {
      TChild child([&] {
        ::signal(sig, SIG_DFL);  // as in a run from a terminal
        return mesh(target).err;
      });
      // While a second file shows in the folder the child is writing it.
      siginfo_t ended{};
      bool writing = false;
      while (!(writing = Entries(dir.path).size() > 1) &&
             ::waitid(P_PID, child.pid, &ended, WEXITED | WNOHANG | WNOWAIT) == 0 &&
             ended.si_pid == 0)
        ::usleep(100);
      if (writing) ::kill(child.pid, sig);
      std::string report;
      const int status = child.Finish(report);
      // A writer that renamed its file just before the signal came has ended normally.
      signalled = WIFSIGNALED(status);
      if (signalled) {
        EXPECT_EQ(WTERMSIG(status), sig) << report;
      }
      const std::string content = ReadFile(target);
      EXPECT_TRUE(content == "old\n" || content == complete) << content.size() << " bytes";
      // The materials go in place just before the mesh: a kill between the two leaves them.
      std::set<std::string> entries = Entries(dir.path);
      entries.erase("knot.mtl");
      EXPECT_EQ(entries, std::set<std::string>{"knot.obj"});
    }
    EXPECT_TRUE(signalled) << "no run was caught while writing";
  }
}

// The whole table in one run, on several worker threads: a file per knot, each the same bytes
// as a run for that knot alone (no worker sees another's model), a progress line on a terminal,
// and a knot that cannot be written is reported while the others still are.
// PLY, as the quickest format to write: the STL writer's print checks would make this the
// slowest test of the suite without testing the batch any better.
TEST(MeshFile, WholeTableOnWorkerThreads) {
  TTempFolder dir;
  std::filesystem::create_directory(dir / "4_1.ply");  // in the way of one knot's file
  std::ostringstream out, err;
  const int status =
      RunCli({"mesh", "--knot", "all", "--format", "ply", "--jobs", "4", "-o", dir.path + "/"},
             out, err, true);
  EXPECT_EQ(status, 2);
  EXPECT_EQ(out.str(), "248 of 249 knots written into " + dir.path + "/ as .ply, 1 failed\n");
  EXPECT_NE(err.str().find("veltrane-cli: 4_1: cannot write " + (dir / "4_1.ply")),
            std::string::npos)
      << err.str();
  EXPECT_NE(err.str().find("\r[  1/249] "), std::string::npos);
  EXPECT_NE(err.str().find("\r[249/249] "), std::string::npos);
  EXPECT_EQ(Entries(dir.path).size(), 249u);
  for (const char* knot : {"3_1", "5_2", "8_19", "10_165"}) {
    SCOPED_TRACE(knot);
    const std::string alone = dir / (std::string("alone_") + knot + ".ply");
    ASSERT_EQ(Cli({"mesh", "--knot", knot, "-o", alone}).status, 0);
    EXPECT_EQ(ReadFile(dir / (std::string(knot) + ".ply")), ReadFile(alone));
  }
  // A file name where the folder should be is refused before any work.
  const TRun file = Cli({"mesh", "--knot", "all", "-o", dir / "3_1.ply"});
  EXPECT_EQ(file.status, 2);
  EXPECT_NE(file.err.find("-o must name a folder"), std::string::npos) << file.err;
  // A missing folder named with a trailing slash is made; one below a file cannot be.
  EXPECT_EQ(Cli({"mesh", "--knot", "all", "--format", "ply", "-o", dir / "new/sub/"}).status, 0);
  EXPECT_EQ(Entries(dir / "new/sub").size(), 249u);
  const TRun under = Cli({"mesh", "--knot", "all", "-o", dir / "3_1.ply/x/"});
  EXPECT_EQ(under.status, 2);
  EXPECT_NE(under.err.find("cannot make the folder"), std::string::npos) << under.err;
}

TEST(TableBatch, PicturesOnWorkerThreadsAreThoseOfOneByOne) {
  // Each worker draws all its knots in one GL context of its own, its textures built once; the
  // pictures must depend neither on which context nor on the knots drawn there before.
  TTempFolder dir;
  TRgbImage stripes;  // a surface picture loaded from a file, in place of the built-in one
  stripes.width = 8;
  stripes.height = 4;
  for (int i = 0; i < 8 * 4; ++i) stripes.rgb.insert(stripes.rgb.end(), {uint8_t(i * 8), 90, 200});
  WriteImageFile(stripes, dir / "stripes.png", TImageFormat::kPng, 90);
  const std::vector<std::string> options = {
      "--width", "40", "--height", "40", "--antialias", "2", "--set", "cb_useskystand=1",
      "--set", "cb_texturemapped=1", "--texture", dir / "stripes.png"};
  std::vector<std::string> all = {"render", "--knot", "all", "--jobs", "3", "-o", dir.path + "/out/"};
  all.insert(all.end(), options.begin(), options.end());
  const TRun batch = Cli(all);
  ASSERT_EQ(batch.status, 0) << batch.err;
  EXPECT_EQ(batch.out, "249 of 249 knots rendered into " + dir.path + "/out/\n");
  EXPECT_EQ(Entries(dir / "out").size(), 249u);
  for (const char* knot : {"3_1", "6_2", "7_4", "9_40", "10_165"}) {
    SCOPED_TRACE(knot);
    std::vector<std::string> one = {"render", "--knot", knot, "-o", dir / "alone.png"};
    one.insert(one.end(), options.begin(), options.end());
    ASSERT_EQ(Cli(one).status, 0);
    EXPECT_EQ(ReadFile(dir / ("out/" + std::string(knot) + ".png")), ReadFile(dir / "alone.png"));
  }
}
