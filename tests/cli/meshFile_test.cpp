// Mesh files as other programs meet them: whatever the braid text holds, the files keep their
// format; a file appears complete or not at all, whoever else writes the same name, and no
// failure or kill leaves a stray file or damages the one that was there.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <system_error>

#include "app/model/headlessWindow.h"
#include "cli/cliRun.h"
#include "cliTestRun.h"
#include "cli/meshExport.h"
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

std::string Reason(int error) { return std::generic_category().message(error); }

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

TEST(MeshFile, ConcurrentWritersLeaveOneWritersCompleteFile) {
  std::vector<std::unique_ptr<THeadlessWindow>> knots;
  std::vector<std::string> outputs;
  for (const char* word : {"AAA", "AbAb", "A2A2A2"}) {
    knots.push_back(Knot(word, 2));  // 1 to 2 MB each
    std::ostringstream out;
    WriteObj(knots.back()->app, out);
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
    EXPECT_EQ(Entries(dir.path), std::set<std::string>{"knot.obj"});
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
  EXPECT_EQ(Entries(dir.path),
            (std::set<std::string>{"knot.obj", "knot.obj.part", ".veltrane-tmp", longName}));
}

TEST(MeshFile, FailuresSayWhyKeepTheOldFileAndLeaveNothingBehind) {
  TTempFolder dir;
  PutFile(dir / "knot.obj", "old\n");
  std::filesystem::create_directory(dir / "folder.ply");
  const std::vector<std::pair<std::string, int>> cases = {
      {dir / "missing/knot.obj", ENOENT},
      {dir / "folder.ply", EISDIR},
      {dir / "knot.stl", 0},
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
      EXPECT_EQ(Entries(dir.path), std::set<std::string>{"knot.obj"});
    }
    EXPECT_TRUE(signalled) << "no run was caught while writing";
  }
}
