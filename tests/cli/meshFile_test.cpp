// Mesh files as other programs meet them: whatever the braid text holds, the files keep their
// format.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/cliRun.h"
#include "fileHelpers.h"

namespace {

struct TRun {
  int status = -1;
  std::string out, err;
};

TRun Cli(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  TRun r;
  r.status = RunCli(args, out, err);
  r.out = out.str();
  r.err = err.str();
  return r;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Triangles of the meshes an independent reader finds in `path` (quads count as two).
long ReaderTriangles(const std::string& path) {
  FILE* p = ::popen(("assimp info '" + path + "' 2>&1").c_str(), "r");
  if (!p) return -1;
  std::string text;
  char buf[4096];
  for (size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) text.append(buf, n);
  if (::pclose(p) != 0) return -1;
  // "    0 (kind0): [734 / 0 / 1248 | triangle]": vertices / bones / faces of one mesh
  long triangles = 0;
  for (const std::string& line : Lines(text)) {
    const size_t end = line.find(" | triangle]"), start = line.rfind("/ ", end);
    if (end != std::string::npos && start != std::string::npos)
      triangles += std::stol(line.substr(start + 2, end - start - 2));
  }
  return triangles;
}

}  // namespace

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
    EXPECT_EQ(Lines(Cli({"info", word}).out).size(), 5u);

    ASSERT_EQ(Cli({"mesh", word, "-o", dir / "k.obj"}).status, 0);
    ASSERT_EQ(Cli({"mesh", word, "-o", dir / "k.ply"}).status, 0);
    const std::string obj = ReadFile(dir / "k.obj"), ply = ReadFile(dir / "k.ply");
    for (const std::string* file : {&obj, &ply})
      EXPECT_TRUE(std::all_of(file->begin(), file->end(),
                              [](char c) { return c == '\n' || (c >= 0x20 && c < 0x7F); }));

    long v = 0;
    for (const std::string& line : Lines(obj)) {
      const std::string tag = line.substr(0, line.find(' '));
      EXPECT_TRUE(tag == "#" || tag == "v" || tag == "g" || tag == "f" || tag == "l") << line;
      v += tag == "v";
    }
    EXPECT_EQ(v, nVerts);
    const auto plyLines = Lines(ply);
    ASSERT_GT(plyLines.size(), 2u);
    EXPECT_EQ(plyLines[2].substr(0, 8), "comment ");
    EXPECT_EQ(plyLines[3], "element vertex " + std::to_string(nVerts));

    EXPECT_EQ(ReaderTriangles(dir / "k.obj"), 2 * nFaces);
    EXPECT_EQ(ReaderTriangles(dir / "k.ply"), 2 * nFaces);
  }
}
