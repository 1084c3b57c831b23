// veltrane-cli's argument handling in-process: the input is the argument list, one argument a
// line. Output goes to memory streams; the process works in a temporary folder of its own and
// '/' never reaches an argument, so `-o` can only write there. Oracles: exit status 0 or 2, a
// message that names the problem in the user's terms, JSON that parses with the documented
// counts, and a `mesh` run that leaves exactly its output file (an OBJ with its .mtl; none when
// it fails); an STL's longest side is the --size asked for, whatever --min-wall asks, and its
// lowest coordinate 0; an OBJ's mtllib line names its .mtl.

#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cliRun.h"
#include "app/model/meshExport.h"
#include "cli/controlValues.h"
#include "fuzzSupport.h"
#include "knots/braidWord.h"

namespace fs = std::filesystem;

namespace {

// The process's own temporary folder, removed at exit. Its name lives on the heap for good: the
// exit handler runs after the destructors of statics made later than its registration, and
// would find a path already destroyed.
const fs::path& WorkFolder() {
  static const fs::path* const folder = [] {
    std::string name = (fs::temp_directory_path() / "veltrane_cli_fuzz_XXXXXX").string();
    if (!::mkdtemp(name.data())) Finding("cannot make a temporary folder");
    std::atexit([] {
      std::error_code ignored;
      fs::remove_all(WorkFolder(), ignored);
    });
    return new fs::path(name);
  }();
  return *folder;
}

// The work folder is the working folder only while the program runs: the fuzzer's own corpus
// and artifact paths may be relative to the folder it was started in, and the checks below
// name the work folder in full.
class TInWorkFolder {
 public:
  TInWorkFolder() : before(fs::current_path()) { fs::current_path(WorkFolder()); }
  ~TInWorkFolder() { fs::current_path(before); }
  TInWorkFolder(const TInWorkFolder&) = delete;
  TInWorkFolder& operator=(const TInWorkFolder&) = delete;

 private:
  fs::path before;
};

size_t FilesLeft() {
  size_t n = 0;
  for (const auto& entry : fs::directory_iterator(WorkFolder())) {
    (void)entry;
    ++n;
  }
  return n;
}

void ClearWorkFolder() {
  for (const auto& entry : fs::directory_iterator(WorkFolder())) fs::remove_all(entry.path());
}

// Highest value of a control or option whose cost grows with it.
struct TCap {
  std::string_view name;
  int64_t max;
};
constexpr TCap kSetCaps[] = {{"ud_subdiv", 3},   {"ud_ccsub", 1},    {"ud_presmooth", 4},
                             {"ud_minsurf", 3},  {"ud_psnonbnd", 3}, {"ud_tuberes", 4},
                             {"tb_res", 2}};
constexpr TCap kOptionCaps[] = {{"--smooth", 5}, {"--refine", 1}};
constexpr int kMaxLetters = 40;

bool PlainNumberAtMost(std::string_view text, int64_t max) {
  if (text.empty() || text.size() > 6) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return std::stoll(std::string(text)) <= max;
}

// Inputs whose run would take more than milliseconds: a fine mesh, many smoothing iterations,
// Refine steps or a long word. Numbers for capped options must be plain digits.
bool TooCostly(const std::vector<std::string>& args) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    int letters = 0;
    for (char c : a) letters += (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    if (letters > kMaxLetters) return true;
    if (a == "all" || a.ends_with("=all")) return true;  // --knot all: the whole table
    for (const TCap& cap : kSetCaps) {
      const size_t at = a.find(cap.name);
      if (at == std::string::npos) continue;
      const size_t eq = at + cap.name.size();
      if (eq >= a.size() || a[eq] != '=') continue;
      try {
        if (ParseWholeNumber(std::string_view(a).substr(eq + 1), cap.name) > cap.max) return true;
      } catch (const TCliError&) {
        // A malformed value is refused before any work.
      }
    }
    for (const TCap& cap : kOptionCaps) {
      if (a == cap.name) {
        if (i + 1 < args.size() && !PlainNumberAtMost(args[i + 1], cap.max)) return true;
      } else if (a.starts_with(std::string(cap.name) + "=")) {
        if (!PlainNumberAtMost(std::string_view(a).substr(cap.name.size() + 1), cap.max))
          return true;
      }
    }
  }
  return false;
}

bool Has(const std::vector<std::string>& args, std::string_view what) {
  for (const std::string& a : args)
    if (a.find(what) != std::string::npos) return true;
  return false;
}

void CheckInfoJson(const std::vector<std::string>& args, const std::string& out) {
  const auto j = nlohmann::json::parse(out, nullptr, false);
  Expect(!j.is_discarded(), "info --json printed text that does not parse");
  Expect(j["disks"].size() == j["nDisks"].get<size_t>() &&
             j["tubes"].size() == j["nTubes"].get<size_t>(),
         "info JSON disk or band arrays differ from their counts");
  Expect(j["mesh"]["openEdges"] == 0, "info JSON reports open edges");
  // A knot band doubles the lines by a width the JSON does not tell; "Show construction"
  // traces the construction's borders instead of the knot.
  if (Has(args, "ud_knwidth") || Has(args, "sh_construct")) return;
  // The link lines bound the surface of the braid that was built.
  TSeiffert m;
  ParseBraidWord(j["text"].get<std::string>(), m.gen, m.power, m.nStrands, m.nCross);
  m.nDisks = j["nDisks"].get<int32_t>();
  m.nTubes = j["nTubes"].get<int32_t>();
  const std::string links = LinkCountProblem(m, static_cast<int64_t>(j["links"].size()), 0,
                                             j["layout"].get<uint8_t>());
  Expect(links.empty(), "info JSON: " + links);
}

// The STL a successful run wrote spans the --size asked for (the last one given counts).
void CheckStlSize(const std::vector<std::string>& args) {
  double size = 100;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--size" && i + 1 < args.size()) size = ParseStlSize(args[i + 1]);
    if (args[i].starts_with("--size=")) size = ParseStlSize(args[i].substr(7));
  }
  for (const auto& entry : fs::directory_iterator(WorkFolder())) {
    std::string ext = entry.path().extension().string();
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (ext != ".stl") continue;
    std::ifstream in(entry.path(), std::ios::binary);
    const std::string b{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    Expect(b.size() >= 84, "STL shorter than its header");
    uint32_t count = 0;
    std::memcpy(&count, b.data() + 80, 4);
    Expect(b.size() == 84 + 50 * uint64_t{count}, "STL length differs from its count");
    float top = 0, bottom = INFINITY;
    for (uint32_t t = 0; t < count; ++t)
      for (int k = 3; k < 12; ++k) {
        float x;
        std::memcpy(&x, b.data() + 84 + 50 * size_t{t} + 4 * size_t(k), 4);
        top = std::max(top, x);
        bottom = std::min(bottom, x);
      }
    Expect(count == 0 || std::fabs(top - size) <= 1e-5 * size + 1e-4,
           "STL longest side " + std::to_string(top) + " for --size " + std::to_string(size));
    // Whatever the walls and the foot did, the part rests on the bed, on its positive side.
    Expect(count == 0 || bottom == 0, "STL's lowest coordinate " + std::to_string(bottom));
  }
}

// An OBJ a successful run wrote has the vertex count its header gives, and its mtllib line names
// one file, the .mtl beside it: a file name cannot smuggle records into it.
void CheckObj() {
  for (const auto& entry : fs::directory_iterator(WorkFolder())) {
    if (entry.path().extension() != ".obj" && entry.path().extension() != ".OBJ") continue;
    std::ifstream in(entry.path());
    int64_t header = -1, vertices = 0, number = 0;
    std::string mtl;
    for (std::string line; std::getline(in, line);) {
      if (line.starts_with("v ")) ++vertices;
      if (++number == 2 && line.starts_with("# ")) header = std::atoll(line.c_str() + 2);
      if (line.starts_with("mtllib ")) mtl = line.substr(7);
    }
    Expect(header == vertices, "OBJ with " + std::to_string(vertices) + " vertices, header " +
                                   std::to_string(header));
    Expect(!mtl.empty() && mtl.find_first_of(" \t\r\v\f") == std::string::npos &&
               fs::is_regular_file(WorkFolder() / mtl),
           "the OBJ's mtllib line names no file beside it: '" + mtl + "'");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  WorkFolder();
  std::vector<std::string> args(1);
  for (size_t i = 0; i < size; ++i) {
    const char c = static_cast<char>(data[i]);
    if (c == '\n') args.emplace_back();
    else args.back() += c == '/' ? '_' : c;  // no path leaves the work folder
  }
  if (args.size() == 1 && args[0].empty()) args.clear();
  if (args.size() > 24 || TooCostly(args)) return 0;

  std::ostringstream out, err;
  int status;
  {
    const TInWorkFolder inWorkFolder;
    status = RunCli(args, out, err);
  }
  Expect(status == 0 || status == 2, "exit status " + std::to_string(status));
  // Errors and warnings speak the program's language, never the library's.
  const std::string e = err.str();
  if (status == 2) Expect(!e.empty(), "exit status 2 without a message");
  for (std::string_view marker : kLibraryMarkers)
    Expect(e.find(marker) == std::string::npos || Has(args, marker),
           "a message from the library, not the program: " + e);

  const bool mesh = !args.empty() && args[0] == "mesh";
  const bool help = Has(args, "-h");
  if (mesh && !help) {
    const size_t files = FilesLeft();
    bool obj = false;
    for (const auto& entry : fs::directory_iterator(WorkFolder()))
      obj = obj || entry.path().extension() == ".mtl";
    if (status == 0)
      Expect(files == (obj ? 2u : 1u), std::to_string(files) + " files after a mesh run");
    else Expect(files == 0, "a failed mesh run left " + std::to_string(files) + " files");
    if (status == 0) CheckStlSize(args);
    if (status == 0) CheckObj();
  }
  if (status == 0 && !args.empty() && args[0] == "info" && out.str().starts_with("{"))
    CheckInfoJson(args, out.str());
  ClearWorkFolder();
  return 0;
}
