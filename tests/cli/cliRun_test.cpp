// veltrane-cli run in-process: options in the window's order, errors with exit status 2,
// the JSON summary, and OBJ and PLY files that read back.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <tuple>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "cli/cliRun.h"
#include "cliTestRun.h"
#include "fileHelpers.h"
#include "surface/holeDump.h"

namespace {

nlohmann::json Info(std::vector<std::string> args) {
  args.insert(args.begin(), "info");
  args.push_back("--json");
  const TRun r = Cli(args);
  EXPECT_EQ(r.status, 0) << r.err;
  return nlohmann::json::parse(r.out);
}

std::vector<std::string> Lines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace

TEST(Cli, InfoJsonOfTheStartKnot) {
  const auto j = Info({});
  EXPECT_EQ(j["text"], "AbAb");
  EXPECT_EQ(j["nCross"], 4);
  EXPECT_EQ(j["nStrands"], 3);
  EXPECT_EQ(j["layout"], 0);
  ASSERT_EQ(j["nDisks"], 3);
  ASSERT_EQ(j["nTubes"], 4);
  ASSERT_EQ(j["disks"].size(), 3u);
  ASSERT_EQ(j["tubes"].size(), 4u);
  // Bands are numbered from 1 and name disks numbered from 1; each end's band points back.
  for (size_t t = 0; t < 4; ++t) {
    for (const char* side : {"endA", "endB"}) {
      const auto& end = j["tubes"][t][side];
      const int disk = end["disk"];
      ASSERT_GE(disk, 1);
      ASSERT_LE(disk, 3);
      const auto& ends = j["disks"][disk - 1]["ends"];
      const int e = end["end"];
      ASSERT_LT(e, static_cast<int>(ends.size()));
      EXPECT_EQ(ends[e]["tube"], t + 1);
      EXPECT_EQ(ends[e]["slot"], end["slot"]);
    }
  }
  for (const char* key : {"nVerts", "nFaces", "nEdges", "usedVerts", "openEdges"})
    EXPECT_TRUE(j["mesh"][key].is_number_integer()) << key;
  EXPECT_EQ(j["mesh"]["facesByKind"].size(), 3u);
  EXPECT_TRUE(j["links"].is_array());
  EXPECT_EQ(j["modelCentre"].size(), 3u);
  EXPECT_DOUBLE_EQ(j["disks"][0]["diameter"].get<double>(), 0.6);
  // The lay-out's own slots (8 around the middle disk, bands at 0, 2, 4, 6), and the mesh grid
  // built from them at "Resolution" 2 beside them.
  EXPECT_EQ(j["disks"][1]["nSlots"], 8);
  for (int e = 0; e < 4; ++e) EXPECT_EQ(j["disks"][1]["ends"][e]["slot"], 2 * e);
  EXPECT_EQ(j["disks"][1]["grid"]["nSlots"], 32);
  EXPECT_EQ(j["disks"][1]["grid"]["nRings"], 13);
}

TEST(Cli, OptionsApplyInTheWindowsOrder) {
  EXPECT_EQ(Info({"--layout", "split"})["layout"], 4);
  EXPECT_EQ(Info({"--layout", "flat-dt"})["layout"], 3);
  EXPECT_EQ(Info({"--preset", "Balls (flat)"})["layout"], 2);
  EXPECT_EQ(Info({"--preset", "Trefoil"})["text"], "AAA");
  // The typed word comes after the preset button and wins.
  EXPECT_EQ(Info({"AA", "--preset", "Trefoil"})["text"], "AA");
  // A word typed with Enter runs the presets: 12 letters stacked give diameter 1.2 ...
  EXPECT_DOUBLE_EQ(Info({"AbAbAbAbAbAb"})["disks"][0]["diameter"].get<double>(), 1.2);
  // ... while --set comes after them, in order, the last one winning.
  const auto j = Info({"AbAbAbAbAbAb", "--set", "ud_diameter=50", "--set", "ud_diameter=70"});
  EXPECT_DOUBLE_EQ(j["disks"][0]["diameter"].get<double>(), 0.7);
  // A redraw-only control counts through the final recompute.
  EXPECT_EQ(Info({"--set", "ed_braid=AAA"})["text"], "AAA");
}

TEST(Cli, OutOfRangeValuesAreClampedWithAWarning) {
  TRun r = Cli({"info", "--json", "--set", "ud_diameter=500"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.err.find("warning"), std::string::npos);
  EXPECT_NE(r.err.find("clamped to 200"), std::string::npos);
  EXPECT_DOUBLE_EQ(nlohmann::json::parse(r.out)["disks"][0]["diameter"].get<double>(), 2.0);

  r = Cli({"info", "--set", "ud_rscale=-1000"});
  EXPECT_NE(r.err.find("clamped to -100"), std::string::npos);
  r = Cli({"info", "--set", "ud_height=99999999999999999999999"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.err.find("clamped to 100"), std::string::npos);
  r = Cli({"info", "--set", "ud_height=50"});
  EXPECT_EQ(r.err, "");
}

TEST(Cli, MistakesExitWithStatusTwoAndSayWhy) {
  TTempFolder dir;
  const std::vector<std::vector<std::string>> cases = {
      {"info", "--set", "ud_nothing=1"},
      {"info", "--set", "ud_height"},
      {"info", "--set", "ud_height=tall"},
      {"info", "--set", "cb_tjoint=2"},
      {"info", "--set", "Button5=1"},
      {"info", "--set", "sh_col1=1,2"},
      {"info", "--layout", "diagonal"},
      {"info", "--preset", "Balls"},
      {"info", "--knot", "11_1"},
      {"info", "--smooth", "0"},
      {"info", "--refine", "x"},
      {"info", "--torus", "2,0"},
      {"info", "AAA", "--torus", "2,3"},
      {"info", "--frobnicate"},
      {"mesh", "AAA"},
      {"mesh", "AAA", "-o", dir / "x.3ds"},
      {"mesh", "AAA", "--size", "0.5", "-o", dir / "x.stl"},
      {"mesh", "AAA", "--size", "nan", "-o", dir / "x.stl"},
      {"mesh", "AAA", "--format", "stl", "-o", dir / "x.glb"},
      {"mesh", "AAA", "-o", "/nonexistent-dir/x.obj"},
      {"mesh", "AAA", "-o", "-"},                     // no format for the standard output
      {"mesh", "AAA", "-o", "-", "--format", "obj"},  // two files
      {"render", "AAA", "-o", "-"},
      {"render", "AAA", "-o", dir / "x.png", "--format", "png"},
      {},
  };
  for (const auto& args : cases) {
    const TRun r = Cli(args);
    std::string joined;
    for (const auto& a : args) joined += a + " ";
    EXPECT_EQ(r.status, 2) << joined;
    EXPECT_FALSE(r.err.empty()) << joined;
  }
  EXPECT_FALSE(std::filesystem::exists("/nonexistent-dir/x.obj.part"));
  EXPECT_EQ(Cli({"--help"}).status, 0);
}

TEST(Cli, ModelRangeErrorIsReported) {
  const TRun r = Cli({"info", std::string(51, 'A')});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("50"), std::string::npos) << r.err;
}

TEST(Cli, ObjReadsBack) {
  TTempFolder dir;
  const std::string path = dir / "trefoil.obj";
  ASSERT_EQ(Cli({"mesh", "AAA", "-o", path}).status, 0);
  const auto j = Info({"AAA"});
  const int nVerts = j["mesh"]["nVerts"];
  int v = 0, f = 0, l = 0;
  std::vector<std::string> groups;
  for (const std::string& line : Lines(path)) {
    std::istringstream in(line);
    std::string tag;
    in >> tag;
    if (tag == "v") ++v;
    if (tag == "g") groups.push_back(line.substr(2));
    if (tag == "f" || tag == "l") {
      std::vector<int> ids;
      for (int id; in >> id;) {
        EXPECT_GE(id, 1);
        EXPECT_LE(id, nVerts);
        ids.push_back(id);
      }
      if (tag == "f") {
        EXPECT_EQ(ids.size(), 4u);
        ++f;
      } else {
        ASSERT_GE(ids.size(), 3u);
        EXPECT_EQ(ids.front(), ids.back());  // closed
        ++l;
      }
    }
  }
  EXPECT_EQ(v, nVerts);
  EXPECT_EQ(f, j["mesh"]["nFaces"]);
  EXPECT_EQ(l, static_cast<int>(j["links"].size()));
  for (const auto& g : groups)
    EXPECT_TRUE(g == "kind0" || g == "kind1" || g == "kind2" || g == "links") << g;
}

TEST(Cli, PlyReadsBackWithFaceColours) {
  TTempFolder dir;
  const std::string path = dir / "trefoil.PLY";
  ASSERT_EQ(Cli({"mesh", "AAA", "--ascii", "-o", path, "--set", "sh_col3=10,20,30"}).status, 0);
  const auto lines = Lines(path);
  std::map<std::string, long> counts;
  size_t body = 0;
  for (; body < lines.size() && lines[body] != "end_header"; ++body) {
    std::istringstream in(lines[body]);
    std::string word, element;
    long n = 0;
    if (in >> word >> element >> n && word == "element") counts[element] = n;
  }
  ASSERT_LT(body, lines.size());
  ++body;
  ASSERT_EQ(lines.size() - body,
            static_cast<size_t>(counts["vertex"] + counts["face"] + counts["edge"]));
  const auto j = Info({"AAA"});
  EXPECT_EQ(counts["vertex"], j["mesh"]["usedVerts"].get<long>());
  EXPECT_EQ(counts["face"], j["mesh"]["nFaces"].get<long>());

  // The faces are wound outward, and wear the colour the window shows outside: kind 0 faces
  // sh_col1's start colour, kind 1 the colour set for sh_col3.
  std::map<std::string, int> colours;
  for (long k = 0; k < counts["face"]; ++k) {
    std::istringstream in(lines[body + counts["vertex"] + k]);
    int n, a, b, c, d, r, g, bl;
    ASSERT_TRUE(in >> n >> a >> b >> c >> d >> r >> g >> bl);
    EXPECT_EQ(n, 4);
    ++colours[std::to_string(r) + "," + std::to_string(g) + "," + std::to_string(bl)];
  }
  const auto kinds = j["mesh"]["facesByKind"];
  EXPECT_EQ(colours["240,200,150"], kinds[0].get<int>());
  EXPECT_EQ(colours["10,20,30"], kinds[1].get<int>());
}

TEST(Cli, KnotTableRowsAndTheTableListing) {
  const nlohmann::json trefoil = Info({"--knot", "3_1"});
  EXPECT_EQ(trefoil["text"], "AAA");
  EXPECT_EQ(trefoil["nTubes"], 3);
  // The drop-down by its entry index, as the user picks it.
  EXPECT_EQ(Info({"--set", "cb_knottable=1"})["text"], "AbAb");
  EXPECT_EQ(Info({"--set", "cb_knottable=0"})["text"], "AAA");
  // A typed word comes before the table row, as in the window's order of application.
  EXPECT_EQ(Info({"AbAb", "--knot", "10_165"})["text"], "AABacBaBCCB");

  TRun r = Cli({"table"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 249);
  EXPECT_EQ(r.out.substr(0, r.out.find('\n')), "3_1\t3a_1\tAAA\t1\t[4;6;2]");
  r = Cli({"table", "--json"});
  const nlohmann::json rows = nlohmann::json::parse(r.out);
  ASSERT_EQ(rows.size(), 249u);
  EXPECT_EQ(rows[248]["name"], "10_165");
  EXPECT_EQ(rows[248]["dtCode"], "[6;8;14;18;16;4;-20;10;2;-12]");

  // Every knot of up to 12 crossings; a census knot by name, leading zeros or not, with the
  // genus where it is settled and its bounds where not.
  const nlohmann::json all = nlohmann::json::parse(Cli({"table", "--census", "--json"}).out);
  ASSERT_EQ(all.size(), 2977u);
  EXPECT_EQ(all[249]["name"], "11a_1");
  EXPECT_EQ(all[2976]["name"], "12n_888");
  EXPECT_EQ(std::count_if(all.begin(), all.end(), [](const auto& k) { return k["genus"].is_null(); }), 57);
  const nlohmann::json conway = Info({"--knot", "11n_34"});
  EXPECT_EQ(conway["knot"], "11n_34");
  EXPECT_EQ(conway["layout"], 5);
  EXPECT_EQ(Info({"--knot", "12n_0293"})["knot"], "12n_293");
  // In a braid lay-out, the braid word read off its diagram, which bounds the same knot.
  const nlohmann::json stacked = Info({"--knot", "11n_34", "--layout", "stacked"});
  EXPECT_EQ(stacked["layout"], 0);
  EXPECT_EQ(stacked["text"], "aBBaBCabbbC");
  EXPECT_EQ(stacked["boundary"]["row"], conway["boundary"]["row"]);
}

TEST(Cli, TorusWindingsWithACommonFactorSayWhichLinkAndThatOneComponentIsShown) {
  TTempFolder dir;
  const std::vector<std::tuple<std::string, std::string, int>> cases = {
      {"2,3", "torus knot: 2 turns about the axis, 3 about the tube; the (2, 3) torus knot", 1},
      {"4,6", "torus link: 4 turns about the axis, 6 about the tube; the (4, 6) torus link of 2 "
              "components, each a (2, 3) torus knot; one is shown", 2},
      {"5,5", "the (5, 5) torus link of 5 components, each a (1, 1) torus knot; one is shown", 5},
      {"6,9", "the (6, 9) torus link of 3 components, each a (2, 3) torus knot", 3},
  };
  for (const auto& [windings, text, components] : cases) {
    const TRun r = Cli({"info", "--torus", windings});
    EXPECT_NE(r.out.substr(0, r.out.find('\n')).find(text), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("links: 1 "), std::string::npos) << r.out;
    EXPECT_EQ(Info({"--torus", windings})["torus"]["components"], components);
    ASSERT_EQ(Cli({"mesh", "--torus", windings, "-o", dir / "t.obj"}).status, 0);
    const std::string header = Lines(dir / "t.obj")[0];
    EXPECT_NE(header.find(text.substr(text.find("the ("))), std::string::npos) << header;
  }
}

// `-o -` puts on the standard output exactly the bytes the same command writes into a file.
TEST(Cli, StandardOutputHoldsWhatAFileWould) {
  TTempFolder dir;
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"mesh", "AbAb", "--format", "stl"}, "x.stl"},
      {{"mesh", "AbAb", "--format", "glb"}, "x.glb"},
      {{"mesh", "AbAb", "--format", "gltf"}, "x.gltf"},
      {{"mesh", "AbAb", "--format", "ply"}, "x.ply"},
      {{"render", "AAA", "--width", "16", "--height", "16", "--format", "bmp"}, "x.bmp"},
      {{"render", "AAA", "--width", "16", "--height", "16", "--format", "jpg"}, "x.jpg"},
      {{"dump-holes"}, "x.txt"},
  };
  for (const auto& [args, name] : cases) {
    std::vector<std::string> toStdout = args, toFile = args;
    toStdout.insert(toStdout.end(), {"-o", "-"});
    // A file's format is its name: the --format pair goes.
    if (toFile.size() > 2 && toFile[toFile.size() - 2] == "--format") toFile.resize(toFile.size() - 2);
    toFile.insert(toFile.end(), {"-o", dir / name});
    const TRun piped = Cli(toStdout), written = Cli(toFile);
    ASSERT_EQ(piped.status, 0) << name << ": " << piped.err;
    ASSERT_EQ(written.status, 0) << name << ": " << written.err;
    EXPECT_FALSE(piped.out.empty()) << name;
    EXPECT_TRUE(piped.out == ReadFile(dir / name)) << name;
  }
  EXPECT_FALSE(std::filesystem::exists("-"));
}

TEST(Cli, DumpHolesWritesTheReport) {
  const std::string expected = HoleDumpText().text;
  TTempFolder dir;
  const std::string path = dir / "holes.txt";
  ASSERT_EQ(Cli({"dump-holes", "-o", path}).status, 0);
  EXPECT_EQ(ReadFile(path), expected);

  // Without -o, "aaa.txt" in the current folder, as the window's hidden button writes it.
  const TTempFolder folder;
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(folder.path);
  const TRun r = Cli({"dump-holes"});
  std::filesystem::current_path(before);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFile(folder / "aaa.txt"), expected);

  const TRun failed = Cli({"dump-holes", "-o", "/nonexistent-dir/aaa.txt"});
  EXPECT_EQ(failed.status, 2);
  EXPECT_NE(failed.err.find("/nonexistent-dir/aaa.txt"), std::string::npos) << failed.err;
}

TEST(Cli, SmoothAndRefineHeadless) {
  const nlohmann::json plain = Info({"AAA"});
  const nlohmann::json smooth = Info({"AAA", "--smooth", "50"});
  const nlohmann::json refined = Info({"AAA", "--smooth", "50", "--refine", "1"});
  // Smoothing works on the coarse mesh of "Resolution" 1; a Refine step keeps it closed and
  // about doubles the knot's vertices.
  EXPECT_LT(smooth["mesh"]["nFaces"].get<int>(), plain["mesh"]["nFaces"].get<int>());
  EXPECT_EQ(refined["mesh"]["nFaces"], 4 * smooth["mesh"]["nFaces"].get<int>());
  EXPECT_EQ(refined["mesh"]["openEdges"], 0);
  EXPECT_EQ(refined["links"][0]["nVerts"], 2 * smooth["links"][0]["nVerts"].get<int>());
}

TEST(Cli, MessagesNameWhatIsWrong) {
  TTempFolder dir;
  const std::string huge = "1" + std::string(308, '0');
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"info", "--smooth", "2.5"}, "'2.5' is not a whole number"},
      {{"info", "--refine", "1e1"}, "not a whole number"},
      {{"info", "A", "B", "C"}, "unexpected arguments: B C"},
      {{"foo", "AAA"}, "no command 'foo'"},
      {{"info", "--preset", ""}, "--preset needs"},
      {{"info", "--knot", ""}, "--knot needs"},
      // In the program's words and order, as for the other commands.
      {{"invariants", "A", "B", "C"}, "veltrane-cli: unexpected arguments: B C\n"},
      {{"mesh", "--knot", "all", "--format", "-o", dir.path + "/"},
       "--format needs a value, but the next argument is -o"},
      {{"info", "--knot", "--json"}, "--knot needs a value, but the next argument is --json"},
      {{"mesh", "--knot", "all", "AbAb", "-o", dir.path + "/"}, "not both"},
      {{"render", "--knot", "all", "AbAb", "-o", dir.path + "/"}, "not both"},
      // A name that is all extension would be a hidden file, as for meshes.
      {{"render", "-o", dir / ".png"}, "cannot tell the image format"},
      {{"mesh", "-o", dir / ".obj"}, "cannot tell the format"},
      {{"render", "--filter", "", "-o", dir / "x.png"}, "--filter needs a filter name"},
      {{"render", "--width", "16384", "--height", "16384", "-o", dir / "x.png"},
       "pixels and 65000 a side: make the drawing panel smaller\n"},
      {{"render", "--width", "16384", "--height", "16384", "--scale", "2", "-o", dir / "x.png"},
       "a side: lower \"Scale\"\n"},
      {{"mesh", "AAA", "--size", huge, "-o", dir / "x.stl"}, "... (309 characters)'\n"},
      {{"render", "--width", huge, "-o", dir / "x.png"}, "... (309 characters)' is outside 4..16384"},
      {{"info", "--dt", "4 6 8"}, "--dt: a DT code holds each even number 2..6 once; 8 is too large for 3 crossings"},
      {{"info", "--dt", "8 10 2 4 6"}, "--dt: this DT code has no planar diagram"},
      {{"info", "--pd", "X[1,5,2,4] X[3,1,4,7]"}, "--pd: crossing 1 of the PD code names strand 2 once"},
      {{"info", "--gauss", "-1 3 -2 1 -3"}, "--gauss: "},
      {{"info", "--dt", ""}, "--dt needs a code"},
      {{"info", "--dt", "4 6 2", "--pd", "X[1,5,2,4]"}, "not several"},
      {{"info", "--dt", "4 6 2", "--knot", "3_1"}, "not several"},
      {{"mesh", "--dt", "4 6 2", "--layout", "flat", "-o", dir / "x.stl"}, "in the Diagram lay-out"},
  };
  for (const auto& [args, message] : cases) {
    const TRun r = Cli(args);
    EXPECT_EQ(r.status, 2) << message;
    EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
    EXPECT_LT(r.err.size(), 300u) << r.err;
  }
  EXPECT_TRUE(Entries(dir.path).empty());
  EXPECT_NE(Cli({"info", "--set", "ud_height=" + huge}).err.find("... (309 characters) is outside"),
            std::string::npos);
  // "--" ends the options: what follows is the braid word, even with a leading '-'.
  for (const std::string word : {"AAA", "-A"}) {
    const TRun r = Cli({"info", "--json", "--", word});
    EXPECT_EQ(r.err.find("unexpected"), std::string::npos) << r.err;
    if (r.status == 0) {
      EXPECT_EQ(nlohmann::json::parse(r.out)["text"], word);
    }
  }
}

TEST(Cli, WhatTheWindowWouldShowOrAskIsAWarning) {
  // A knot band wider than the bands carry is drawn narrower, and the knot is kept.
  TRun r = Cli({"info", "AAA", "--set", "ud_knwidth=6"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.err.find("the knot is drawn 1 wide"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("links: 2 "), std::string::npos) << r.out;
  // The question before smoothing a fine mesh gets no answer here: a warning with its size.
  r = Cli({"info", "AABaBBCbbDcBDCAABaBBCbbDcBDCAABaBBCbbDcBDC", "--smooth", "1"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.err.find("warning: Trying to smooth fine mesh ("), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(" vertices); going on"), std::string::npos) << r.err;
}

#if !defined(__SANITIZE_ADDRESS__)
TEST(Cli, RunningOutOfMemoryIsAClearError) {
  // A child with 1.5 GB of address space asks for a 4 GB mesh.
  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(pipeFds[0]);
    const rlimit limit{1'500'000'000, 1'500'000'000};
    ::setrlimit(RLIMIT_AS, &limit);
    std::string word;
    for (int i = 0; i < 23; ++i) word += "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    const TRun r = Cli({"info", word, "--set", "ud_subdiv=3", "--set", "ud_ccsub=1"});
    const std::string report = std::to_string(r.status) + " " + r.err;
    (void)!::write(pipeFds[1], report.data(), report.size());
    ::_exit(0);
  }
  ::close(pipeFds[1]);
  std::string report;
  char buf[512];
  for (ssize_t n; (n = ::read(pipeFds[0], buf, sizeof buf)) > 0;) report.append(buf, size_t(n));
  ::close(pipeFds[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the child died: " << status;
  EXPECT_EQ(report.substr(0, 2), "2 ") << report;
  EXPECT_NE(report.find("15643680 vertices"), std::string::npos) << report;
  EXPECT_NE(report.find("\"Catm. Clark\""), std::string::npos) << report;

  // A mesh that fits (about 100 MB) and a glTF export of it that does not (about 300 MB more):
  // the message names the file, not the mesh already built.
  TTempFolder dir;
  TChild gltf([&] {
    std::ifstream statm("/proc/self/statm");
    uint64_t pages = 0;
    statm >> pages;
    const rlim_t bytes = pages * uint64_t(::sysconf(_SC_PAGESIZE)) + (200 << 20);
    const rlimit room{bytes, bytes};
    ::setrlimit(RLIMIT_AS, &room);
    const TRun r = Cli({"mesh", "AbAb", "--set", "ud_ccsub=4", "-o", dir / "k.gltf"});
    return std::to_string(r.status) + " " + r.err;
  });
  std::string gltfReport;
  gltf.Finish(gltfReport);
  EXPECT_EQ(gltfReport.substr(0, 2), "2 ") << gltfReport;
  EXPECT_NE(gltfReport.find("the glTF file would need about "), std::string::npos) << gltfReport;
  EXPECT_NE(gltfReport.find(" MB of memory: more than the free memory holds"), std::string::npos)
      << gltfReport;
  EXPECT_TRUE(Entries(dir.path).empty());
}
#endif
