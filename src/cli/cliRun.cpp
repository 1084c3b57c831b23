#include "cliRun.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <tuple>
#include <map>
#include <memory>
#include <filesystem>
#include <functional>
#include <iomanip>
#include <new>
#include <optional>
#include <sstream>

#include "app/model/controlTable.h"
#include "diagram/censusKnot.h"
#include "diagram/diagramCodes.h"
#include "knots/census.h"
#include "knots/knotTable.h"
#include "surface/holeDump.h"
#include "controlValues.h"
#include "app/model/headlessWindow.h"
#include "app/model/knotListing.h"
#include "app/model/exportControls.h"
#include "app/model/pipeline.h"
#include "app/model/readSceneInputs.h"
#include "app/model/surfaceSummary.h"
#include "render/view.h"
#include "app/picture/pictureReader.h"
#include "core/textureImage.h"
#include "app/model/workCost.h"
#include "mesh/buildProgress.h"
#include "mesh/buildMesh.h"
#include "infoReport.h"
#include "app/model/meshExport.h"
#include "invariantsReport.h"
#include "invariants/diagramForm.h"
#include "knots/braidWord.h"
#include "imageRender.h"
#include "core/atomicFile.h"
#include "core/exportFilter.h"
#include "core/imageFile.h"
#include "core/printableText.h"

namespace {

struct TCliOptions {
  std::string command;  // "info" or "mesh"
  std::string braid;
  bool braidGiven = false;
  std::string layout;
  std::string preset;
  std::vector<std::string> sets;
  std::string knot;
  std::string torus;
  int32_t torusBig = 0, torusSmall = 0;  // from --torus; 0 = no torus
  bool json = false;
  std::string output;
  int32_t smooth = 0;  // smoothing iterations after the recompute, 0 = none
  int32_t refine = 0;  // "Refine" steps after the smoothing
  bool quiet = false;  // no progress display
  // render: the panel's size and the image controls, each only when given.
  int32_t width = 540, height = 540;
  std::vector<std::pair<std::string, int32_t>> imagePositions;  // up-down name, value
  std::string filter;
  // mesh: the export's options, and for --knot all the files' format and the worker count.
  std::string size, minWall;
  TMeshExportOptions meshOptions;
  std::string format = "glb";
  // render -o -: the picture's format.
  std::string imageFormat;
  // render: the camera, each only when given; --fit frames the model from it.
  std::string view;
  std::optional<double> yaw, pitch;
  bool fit = false;
  // render: the surface and sky pictures' files, read before any work.
  std::string texture, sky;
  std::shared_ptr<const TRgbPicture> surfacePicture, skyPicture;
  int32_t jobs = 0;  // 0 = one per core
  bool census = false;  // --knot all and table: the 11- and 12-crossing census as well
  // --dt, --pd or --gauss: the code as given, its kind, and its diagram once read.
  std::string dt, pd, gauss;
  std::string code;
  TCodeKind codeKind = TCodeKind::kDT;
  std::optional<TPDCode> codeDiagram;
};

// Smoothing progress on a terminal, once a run has taken more than a second.
class TProgress {
 public:
  TProgress(std::ostream& err, bool shown, int32_t total)
      : err(err), shown(shown), total(total), start(Clock::now()), last(start) {}
  ~TProgress() {
    if (printed) err << '\n';
  }
  void Step() {
    ++done;
    const Clock::time_point now = Clock::now();
    if (!shown || now - start < std::chrono::seconds(1) ||
        (printed && now - last < std::chrono::milliseconds(200)))
      return;
    err << "\rsmoothing: iteration " << done << " of " << total << std::flush;
    printed = true;
    last = now;
  }

 private:
  using Clock = std::chrono::steady_clock;
  std::ostream& err;
  const bool shown;
  const int32_t total;
  const Clock::time_point start;
  Clock::time_point last;
  int32_t done = 0;
  bool printed = false;
};

// A percentage on a terminal, rewritten in place at most four times a second; nothing when not
// shown. The line ends when the work does.
class TPercentLine {
 public:
  TPercentLine(std::ostream& err, bool shown, const char* what) : err(err), shown(shown), what(what) {}
  ~TPercentLine() {
    if (printed) err << '\n' << std::flush;
  }
  bool Shown() const { return shown; }
  void Show(double fraction) {
    if (!shown) return;
    const int percent = static_cast<int>(std::clamp(fraction, 0.0, 1.0) * 100);
    const Clock::time_point now = Clock::now();
    if (printed && (percent == last || now - lastTime < std::chrono::milliseconds(250))) return;
    err << '\r' << what << ": " << percent << '%' << std::flush;
    printed = true;
    last = percent;
    lastTime = now;
  }
  // The work has ended well: the line says so and ends; the next work starts a new one.
  void Finished() {
    if (printed) err << '\r' << what << ": 100%\n" << std::flush;
    printed = false;
    last = -1;
  }

 private:
  using Clock = std::chrono::steady_clock;
  std::ostream& err;
  const bool shown;
  const char* what;
  bool printed = false;
  int last = -1;
  Clock::time_point lastTime;
};

// The line that announces work expected to take more than a minute.
void AnnounceLongWork(std::ostream& err, double seconds) {
  err << "warning: this will take " << AboutDuration(seconds) << '\n' << std::flush;
}

const char* const kStopped = "stopped before the end; nothing was written";

// A long mesh build on a worker thread while this thread shows its progress on `line` and asks
// `stop`; on this thread alone when there is neither. Sets `stopped` when `stop` ended it.
void WatchBuild(const std::function<void()>& work, TBuildProgress& progress, TPercentLine& line,
                const std::function<bool()>& stop, bool& stopped) {
  if (!line.Shown() && !stop) {
    work();
    return;
  }
  std::mutex m;
  std::condition_variable wake;
  bool ended = false;
  // The work catches what the build throws; its end is all this thread waits for.
  std::thread worker([&] {
    work();
    const std::lock_guard<std::mutex> lock(m);
    ended = true;
    wake.notify_one();
  });
  for (bool done = false; !done;) {
    line.Show(progress.Fraction());
    if (stop && !progress.Cancelled() && stop()) {
      progress.Cancel();
      stopped = true;
    }
    std::unique_lock<std::mutex> lock(m);
    done = wake.wait_for(lock, std::chrono::milliseconds(100), [&] { return ended; });
  }
  worker.join();
  if (!stopped) line.Finished();
}

const std::map<std::string, std::string> kLayoutRadios = {
    {"stacked", "rb_stacked"}, {"flat", "rb_flat"},   {"reduced-flat", "rb_flat2"},
    {"flat-dt", "rb_flatdt"},  {"split", "rb_split"},      {"diagram", "rb_diagram"},
};

// Digits only: a count such as 2.5 is refused as what it is rather than as out of range.
CLI::Validator WholeNumber() {
  return CLI::Validator(
      [](std::string& text) -> std::string {
        if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
          return "'" + Abbreviated(text) + "' is not a whole number";
        return "";
      },
      "WHOLE");
}

// lo..hi, after WholeNumber; the text is quoted short, as a number of 300 digits says nothing.
CLI::Validator WholeRange(int32_t lo, int32_t hi) {
  return CLI::Validator(
      [lo, hi](std::string& text) -> std::string {
        const std::string digits = text.substr(std::min(text.find_first_not_of('0'), text.size()));
        if (digits.size() <= 9 && std::stoi("0" + digits) >= lo && std::stoi("0" + digits) <= hi)
          return "";
        return "'" + Abbreviated(text) + "' is outside " + std::to_string(lo) + ".." +
               std::to_string(hi);
      },
      std::to_string(lo) + ".." + std::to_string(hi));
}

// An option that needs a value takes the next argument even when that is another option
// ("--format -o r/" read -o as the format): refused as the missing value it is.
void RefuseOptionsTakenAsValues(const CLI::App& sub, const std::vector<std::string>& args) {
  const auto option = [&](const std::string& a) -> const CLI::Option* {
    if (a.size() < 2 || a[0] != '-') return nullptr;
    return sub.get_option_no_throw(a.substr(0, a.find('=')));
  };
  for (size_t i = 1; i + 1 < args.size() && args[i] != "--"; ++i) {
    const CLI::Option* opt = option(args[i]);
    if (!opt || opt->get_expected_max() == 0 || args[i].find('=') != std::string::npos) continue;
    const std::string& next = args[i + 1];
    if (option(next) || next == "-h" || next == "--help" || next == "--")
      throw TCliError(args[i] + " needs a value, but the next argument is " + next);
  }
}

bool IsPresetButton(const TControlDef& d) {
  return d.handler == THandler::LayoutButtonClick || d.handler == THandler::PresetKnotClick;
}

// Every caption --preset accepts, with its component name.
std::vector<std::pair<std::string, std::string>> PresetCaptions() {
  std::map<std::string_view, int> uses;
  for (const TControlDef& d : ControlTable())
    if (IsPresetButton(d)) ++uses[d.caption];
  std::vector<std::pair<std::string, std::string>> result;
  for (const TControlDef& d : ControlTable()) {
    if (!IsPresetButton(d)) continue;
    std::string caption(d.caption);
    if (uses[d.caption] > 1) caption += d.group == "Flat lay-out:" ? " (flat)" : " (stacked)";
    result.emplace_back(caption, std::string(d.name));
  }
  return result;
}

// --jobs of the commands that can run over the whole table. Each worker writes at most two files
// at once (an OBJ and its .mtl), all of which the signal cleanup must cover.
constexpr int32_t kMaxJobs = 256;
static_assert(2 * kMaxJobs <= kMaxCoveredWriters);

void AddJobsOption(CLI::App& sub, TCliOptions& o) {
  sub.add_option("--jobs", o.jobs, "N: with --knot all, N worker threads (one per core)")
      ->check(WholeNumber())
      ->check(WholeRange(1, kMaxJobs));
  sub.add_flag("--census", o.census,
               "with --knot all: the 2,728 knots of 11 and 12 crossings after the table's 249");
}

void AddCommonOptions(CLI::App& sub, TCliOptions& o) {
  sub.add_option("BRAID", o.braid, "braid word typed into the braid field and confirmed");
  sub.add_option("--layout", o.layout, "lay-out radio button to check")
      ->check(CLI::IsMember({"stacked", "flat", "reduced-flat", "flat-dt", "split", "diagram"}));
  sub.add_option("--preset", o.preset,
                 "lay-out or preset-knot button to click, by caption "
                 "(\"Balls (stacked)\", \"Balls (flat)\" for the two \"Balls\")");
  sub.add_option("--set", o.sets, "NAME=VALUE: set a control by its component name (repeatable)")
      ->allow_extra_args(false);
  sub.add_option("--knot", o.knot, "knot-table row, e.g. 3_1");
  sub.add_option("--torus", o.torus, "torus knot B,S");
  sub.add_option("--dt", o.dt, "CODE: a DT code, \"4 6 2\" or \"[4;6;2]\", in the Diagram lay-out");
  sub.add_option("--pd", o.pd, "CODE: a PD code of a knot or link, \"X[1,5,2,4] X[3,1,4,6] X[5,3,6,2]\"");
  sub.add_option("--gauss", o.gauss, "CODE: a signed Gauss code, \"-1 3 -2 1 -3 2\", of a link \"{{1,-2},{-1,2}}\"");
  sub.add_option("--smooth", o.smooth, "N: run N dynamic smoothing iterations (or to convergence)")
      ->check(WholeNumber())
      ->check(WholeRange(1, 30000));
  sub.add_option("--refine", o.refine, "K: then K \"Refine\" steps")
      ->check(WholeNumber())
      ->check(WholeRange(1, 10));
  sub.add_flag("--quiet", o.quiet, "no progress display on the terminal");
  // Left-over arguments are reported in the order they were given (see Run).
  sub.allow_extras();
}

// The knot table, one row a line, or as JSON.
void WriteTable(const TKnotTable& table, bool json, std::ostream& out) {
  if (json) {
    nlohmann::ordered_json rows = nlohmann::ordered_json::array();
    for (int32_t i = 1; i <= table.count; ++i) {
      const TKnotEntry& r = table.Row(i);
      rows.push_back({{"row", i}, {"name", r.name}, {"altName", r.altName}, {"braid", r.braid},
                      {"genus", r.genus}, {"dtCode", r.dtCode}, {"diagramCode", r.diagramCode}});
    }
    out << rows.dump(2) << '\n';
    return;
  }
  for (int32_t i = 1; i <= table.count; ++i) {
    const TKnotEntry& r = table.Row(i);
    out << r.name << '\t' << r.altName << '\t' << r.braid << '\t' << r.genus << '\t' << r.dtCode
        << '\n';
  }
}

// Every knot of up to 12 crossings, the table's and the census's: name, crossings, alternating,
// genus (or its bounds) and DT code, one a line or as JSON.
void WriteCensusTable(const TKnotTable& table, bool json, std::ostream& out) {
  nlohmann::ordered_json rows = nlohmann::ordered_json::array();
  for (const TKnotListing& k : AllKnots(table)) {
    const bool settled = k.genusLow == k.genusHigh;
    if (json) {
      rows.push_back({{"name", k.name}, {"crossings", k.crossings}, {"alternating", k.alternating},
                      {"genus", settled ? nlohmann::ordered_json(k.genusLow) : nlohmann::ordered_json()},
                      {"genusLow", k.genusLow}, {"genusHigh", k.genusHigh}, {"dtCode", k.dtCode}});
      continue;
    }
    out << k.name << '\t' << k.crossings << '\t' << (k.alternating ? "alternating" : "non-alternating")
        << '\t' << k.genusLow << (settled ? "" : ".." + std::to_string(k.genusHigh)) << '\t'
        << k.dtCode << '\n';
  }
  if (json) out << rows.dump(2) << '\n';
}

// The export of a window whose options are applied, into `file`. With `err` (a single render)
// a long export is announced there, and its progress shown on a terminal.
// The picture's camera: the standard view, then the single angles, then the fit, asked for or
// due to a lay-out in a plane that has just appeared (its first frame would fit it).
void AimCamera(const TCliOptions& o, THeadlessWindow& w) {
  TView& v = w.app.View;
  TStandardView standard{};
  if (!o.view.empty() && StandardViewFromName(o.view, standard)) SetStandardView(v, standard);
  if (o.yaw) v.Yaw = *o.yaw;
  if (o.pitch) v.Pitch = ClampPitch(*o.pitch);
  if (o.fit || v.FitPending)
    FitView(v, MeshBox(w.app.Seifert.mesh), o.width, o.height, ReadSceneInputs(w.controls));
  v.FitPending = false;
}

void Render(const TCliOptions& o, THeadlessWindow& w, const std::string& file,
            std::ostream* err = nullptr, bool errIsTerminal = false,
            const std::function<bool()>& stop = nullptr, THeadlessPanel* panel = nullptr) {
  // After --set, as the export reads the controls as they stand when it starts.
  for (const auto& [control, value] : o.imagePositions) w.controls.SetPosition(control, value);
  AimCamera(o, w);
  if (!o.filter.empty())
    w.controls.SetItemIndex("cb_filter", static_cast<int32_t>(FilterKindFromName(o.filter)));
  if (file == kStandardOutputName) {
    WriteImageFile(RenderHeadless(w, o.width, o.height, nullptr, panel), file,
                   ImageFormatFromName("picture." + o.imageFormat),
                   w.controls.Position("ud_jpqual"));
    return;
  }
  if (!err) {
    RenderImageFile(w, o.width, o.height, file, nullptr, nullptr, panel);
    return;
  }
  const TAppState& a = w.app;
  const TWorkCost cost =
      ImageExportCost(ReadExportSettings(w.controls), o.width, o.height,
                      SceneVertices(a.Seifert, a.Settings, a.refineCount, a.racing));
  if (cost.seconds > kAskWorkSeconds) AnnounceLongWork(*err, cost.seconds);
  TPercentLine line(*err, errIsTerminal && !o.quiet, "rendering");
  const bool written = RenderImageFile(
      w, o.width, o.height, file,
      [&](int64_t done, int64_t total) { line.Show(double(done) / double(total)); },
      stop);
  if (!written) throw TCliError(kStopped);
  line.Finished();
}

void Apply(const TCliOptions& o, THeadlessWindow& w, std::ostream& err, bool errIsTerminal,
           const std::function<bool()>& stop = nullptr);

// invariants [BRAID | --knot NAME | --knot all] [--layout L] [--json]. The invariants depend on
// the braid word alone (the stacked lay-out's surface), or in the Diagram lay-out on the diagram
// it draws, so no window is started.
int RunInvariants(const TCliOptions& o, bool braidGiven, bool knotGiven, std::ostream& out,
                  std::ostream& err) {
  if (knotGiven && o.knot.empty()) throw TCliError("--knot needs a knot name, e.g. 3_1");
  if (braidGiven && knotGiven) throw TCliError("give a braid word or --knot, not both");
  if (o.census && o.knot != "all") throw TCliError("--census goes with --knot all");
  TKnotTable knots;
  FillKnotTable(knots);
  if (o.knot == "all") {
    int32_t failed = 0;
    const bool diagram = o.layout == "diagram";
    const int32_t same = WriteTableInvariants(knots, o.json, out, failed, diagram, o.census);
    out.flush();
    err << same << " of " << (o.census ? knots.count + kCensusRowCount : knots.count)
        << (diagram ? " diagram" : " braid") << " surfaces have the knot's genus"
        << (failed ? "; " + std::to_string(failed) + " rows failed" : "") << '\n';
    return failed ? 2 : 0;
  }
  // A typed code is laid out in the Diagram lay-out: the invariants of its canonical surface.
  for (const auto& [flag, text, kind] :
       {std::tuple{"--dt", &o.dt, TCodeKind::kDT}, std::tuple{"--pd", &o.pd, TCodeKind::kPD},
        std::tuple{"--gauss", &o.gauss, TCodeKind::kGauss}}) {
    if (text->empty()) continue;
    if (braidGiven || knotGiven) throw TCliError("give a braid word, --knot or a code, not several");
    if (!o.layout.empty() && o.layout != "diagram")
      throw TCliError("a code is laid out in the Diagram lay-out; --layout " + o.layout +
                      " shows a braid word");
    TPDCode pd;
    try {
      pd = ReadCode(*text, kind);
    } catch (const std::invalid_argument& e) {
      throw TCliError(std::string(flag) + ": " + e.what());
    }
    const TInvariants r = ComputeDiagramInvariants(pd);
    if (o.json) {
      nlohmann::ordered_json j = InvariantsJson(*text, r, nullptr);
      j["braid"] = nullptr;
      j["code"] = *text;
      out << j.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
    } else {
      out << "code: " << *text << '\n';
      WriteInvariantsText("", r, nullptr, out);
    }
    out.flush();
    return 0;
  }
  const TKnotEntry* row = nullptr;
  std::string braid = braidGiven ? o.braid : "AbAb";  // the braid field's start text
  const TCensusRow* census = nullptr;
  if (knotGiven) {
    const int32_t number = knots.Find(o.knot);
    census = number == 0 ? FindCensusKnot(o.knot) : nullptr;
    if (number == 0 && !census)
      throw TCliError("--knot: no knot of up to 12 crossings is named '" + Abbreviated(o.knot) + "'");
    if (census) {
      braid = CensusBraidWord(*census);
    } else {
      row = &knots.Row(number);
      braid = row->braid;
    }
  }
  TInvariants r;
  TSeiffert parsed;
  ParseBraidWord(braid, parsed.gen, parsed.power, parsed.nStrands, parsed.nCross);
  // The Diagram lay-out draws a word without crossings as the one disk the braid road has too.
  if (o.layout == "diagram" && census)
    r = ComputeDiagramInvariants(PDFromDT(CensusDiagramCode(*census)));
  else if (o.layout == "diagram" && parsed.nCross > 0)
    r = ComputeDiagramInvariants(DiagramLayoutCode(parsed, row));
  else
    r = ComputeInvariants(braid);
  if (o.json) out << InvariantsJson(braid, r, row).dump(2, ' ', false,
                                                       nlohmann::json::error_handler_t::replace)
                  << '\n';
  else WriteInvariantsText(braid, r, row, out);
  out.flush();
  return 0;
}

// "B,S": the windings about the torus's axis and about its tube, each 1..20.
void ParseTorus(const std::string& text, int32_t& big, int32_t& small) {
  const auto whole = [&](const std::string& part) {
    if (part.empty() || part.size() > 2 || part.find_first_not_of("0123456789") != std::string::npos)
      return 0;
    return std::stoi(part);
  };
  const size_t comma = text.find(',');
  if (comma != std::string::npos) {
    big = whole(text.substr(0, comma));
    small = whole(text.substr(comma + 1));
  }
  if (comma == std::string::npos || big < 1 || big > 20 || small < 1 || small > 20)
    throw TCliError("--torus: expected B,S with two whole numbers 1..20 (windings about the "
                    "axis and about the tube), e.g. 2,3; got '" + Abbreviated(text) + "'");
}

// The folder -o names for --knot all, which writes one file per knot (`what`).
std::filesystem::path TableFolder(const std::string& output, const std::string& what) {
  namespace fs = std::filesystem;
  const fs::path dir = output.empty() ? fs::path(".") : fs::path(output);
  if (!output.empty() && output.back() != '/' && !fs::is_directory(dir))
    throw TCliError("--knot all writes one " + what + " per knot: -o must name a folder, e.g. out/");
  // A folder named with a trailing slash is made when it is missing, as the user asked for it.
  std::error_code made;
  if (!fs::is_directory(dir) && !fs::create_directories(dir, made) && !fs::is_directory(dir))
    throw TCliError("-o: cannot make the folder '" + dir.string() + "'" +
                    (made ? ": " + made.message() : std::string()));
  return dir;
}

// The names --knot all goes through: the table's, and with --census the census knots' after.
std::vector<std::string> KnotNames(bool census) {
  TKnotTable table;
  FillKnotTable(table);
  std::vector<std::string> names;
  for (int32_t i = 1; i <= table.count; ++i) names.push_back(table.Row(i).name);
  if (census)
    for (const TCensusRow& row : kCensusRows) names.emplace_back(row.name);
  return names;
}

using TPerKnot = std::function<std::string(const std::string&)>;

// Runs a knot's work for every knot named on `jobs` worker threads (0: one per core), each knot
// in a window of its own (the model keeps no state outside it). Each worker calls `newWorker`
// once for its work function, which it drops when done, on its own thread: what the function
// holds (a drawing context) lives on that thread. A knot that fails is reported and the rest
// go on, as is the warning a knot's work returns; a progress line on a terminal. Returns the
// failures.
int32_t ForEachKnot(const std::vector<std::string>& names, int32_t jobs, bool progress,
                    std::ostream& err, const std::function<TPerKnot()>& newWorker) {
  const int32_t count = static_cast<int32_t>(names.size());
  const int32_t workers = std::clamp<int32_t>(
      jobs > 0 ? jobs : static_cast<int32_t>(std::thread::hardware_concurrency()), 1,
      std::max<int32_t>(1, count));
  std::atomic<int32_t> next{0};
  std::mutex report;  // guards err, done and failed
  int32_t done = 0, failed = 0;
  bool lineOpen = false;
  const auto work = [&] {
    const TPerKnot perKnot = newWorker();
    for (int32_t i; (i = next++) < count;) {
      const std::string& name = names[static_cast<size_t>(i)];
      std::string error, warning;
      try {
        warning = perKnot(name);
      } catch (const std::bad_alloc&) {
        error = "more than the free memory holds";
      } catch (const std::exception& e) {
        error = e.what();
      }
      const std::lock_guard<std::mutex> lock(report);
      ++done;
      if (!error.empty()) {
        ++failed;
        err << (lineOpen ? "\n" : "") << "veltrane-cli: " << name << ": " << error << '\n';
        lineOpen = false;
      } else if (!warning.empty()) {
        err << (lineOpen ? "\n" : "") << "warning: " << name << ": " << warning << '\n';
        lineOpen = false;
      }
      if (progress) {
        err << "\r[" << std::setw(3) << done << '/' << count << "] " << name << "        "
            << std::flush;
        lineOpen = true;
      }
    }
  };
  std::vector<std::thread> threads;
  for (int32_t i = 1; i < workers; ++i) threads.emplace_back(work);
  work();
  for (std::thread& t : threads) t.join();
  if (lineOpen) err << '\n';
  return failed;
}

// A window in the start state with the options applied for table row `name`.
std::unique_ptr<THeadlessWindow> TableKnotWindow(TCliOptions o, const std::string& name) {
  auto w = std::make_unique<THeadlessWindow>();
  w->window.meshesDeferred = true;
  w->window.StartUp();
  o.knot = name;
  std::ostringstream warnings;  // a batch reports failures, not every note
  Apply(o, *w, warnings, false);
  return w;
}

// render --knot all -o DIR/: one picture per table row, DIR/NAME.png, one worker (and GL
// context, made at its first knot and drawn in for all of its knots) per core.
int RenderWholeTable(const TCliOptions& o, std::ostream& out, std::ostream& err,
                     bool errIsTerminal) {
  const std::filesystem::path dir = TableFolder(o.output, "picture");
  if (!o.filter.empty()) FilterKindFromName(o.filter);
  const std::vector<std::string> names = KnotNames(o.census);
  const int32_t count = static_cast<int32_t>(names.size());
  const int32_t failed =
      ForEachKnot(names, o.jobs, errIsTerminal && !o.quiet, err, [&]() -> TPerKnot {
        auto panel = std::make_shared<std::unique_ptr<THeadlessPanel>>();
        return [&, panel](const std::string& name) {
          auto w = TableKnotWindow(o, name);
          if (!*panel) *panel = std::make_unique<THeadlessPanel>(o.width, o.height);
          try {
            Render(o, *w, (dir / (name + ".png")).string(), nullptr, false, nullptr,
                   panel->get());
          } catch (...) {
            panel->reset();  // the next knot starts in a new context, whatever this one left
            throw;
          }
          return std::string();
        };
      });
  out << (count - failed) << " of " << count << " knots rendered into "
      << dir.string() << (failed ? ", " + std::to_string(failed) + " failed" : "") << '\n';
  return failed ? 2 : 0;
}

// mesh --knot all -o DIR/: one file per table row, DIR/NAME.FORMAT; the status says whether
// all were written.
int MeshWholeTable(const TCliOptions& o, std::ostream& out, std::ostream& err,
                   bool errIsTerminal) {
  const std::filesystem::path dir = TableFolder(o.output, "mesh file");
  const std::vector<std::string> names = KnotNames(o.census);
  const int32_t count = static_cast<int32_t>(names.size());
  const int32_t failed =
      ForEachKnot(names, o.jobs, errIsTerminal && !o.quiet, err, [&]() -> TPerKnot {
        return [&](const std::string& name) {
          auto w = TableKnotWindow(o, name);
          TSelfIntersections crossings;
          WriteMeshFile(w->app, (dir / (name + "." + o.format)).string(), o.meshOptions,
                        &crossings);
          return SelfIntersectionWarning(crossings);
        };
      });
  out << (count - failed) << " of " << count << " knots written into "
      << dir.string() << " as ." << o.format
      << (failed ? ", " + std::to_string(failed) + " failed" : "") << '\n';
  return failed ? 2 : 0;
}

// Steps (2) to (5) on a window in its start state.
void Apply(const TCliOptions& o, THeadlessWindow& w, std::ostream& err, bool errIsTerminal,
           const std::function<bool()>& stop) {
  // Nobody is there to answer the window's questions: the run goes on, and says so.
  w.window.askYesCancel = [&](const std::string& question) {
    std::string what = question;
    if (const size_t sure = what.rfind(" Sure?"); sure != std::string::npos) what.erase(sure);
    if (!what.empty() && what.back() == '.') what.pop_back();
    err << "warning: " << what << " (" << w.app.Seifert.mesh.nVerts << " vertices); going on\n";
    return true;
  };
  if (!o.layout.empty()) w.controls.Click(kLayoutRadios.at(o.layout));
  if (!o.preset.empty()) {
    const std::string name = FindPresetButton(o.preset);
    if (name.empty()) {
      std::string known;
      for (const auto& [caption, ignored] : PresetCaptions())
        known += (known.empty() ? "\"" : ", \"") + caption + "\"";
      throw TCliError("no lay-out or preset-knot button is captioned \"" + Abbreviated(o.preset) +
                      "\"; known: " + known);
    }
    w.controls.Click(name);
  }
  if (o.braidGiven) {
    w.controls.SetText("ed_braid", o.braid);
    w.window.BraidEntered();
  }
  if (!o.knot.empty()) {
    const int32_t row = w.app.KnotTable.Find(o.knot);
    if (row > 0) {
      w.window.ChooseKnot(row);
    } else if (const TCensusRow* knot = FindCensusKnot(o.knot)) {
      // A census knot is shown in the Diagram lay-out, unless another was asked for: then its
      // braid word's surface.
      w.window.ChooseCensusKnot(*knot);
      if (!o.layout.empty()) w.controls.Click(kLayoutRadios.at(o.layout));
    } else {
      throw TCliError("--knot: no knot of up to 12 crossings is named '" + Abbreviated(o.knot) +
                      "' (3_1 .. 10_165, 11a_1 .. 12n_888)");
    }
  }
  if (o.codeDiagram) w.window.EnterCode(*o.codeDiagram, o.code);
  if (o.torusBig > 0) {
    w.controls.SetPosition("ud_tbig", o.torusBig);
    w.controls.SetPosition("ud_tsmall", o.torusSmall);
    w.controls.SetChecked("cb_torus", true);
  }
  // A picture given is one to see: its "Use standard" box is checked (a --set may clear it).
  if (o.surfacePicture) {
    w.surfacePicture = o.surfacePicture;
    w.controls.SetChecked("cb_texturemapped", true);
  }
  if (o.skyPicture) {
    w.skyPicture = o.skyPicture;
    w.controls.SetChecked("cb_useskystand", true);
  }
  for (const std::string& s : o.sets) {
    std::string name, value;
    SplitAssignment(s, name, value);
    ApplySetting(w, name, value, err);
  }
  // The steps before only needed the lay-out; this recompute builds the mesh, and so may the
  // "Refine" steps below.
  w.window.longWorkAhead = [&](double seconds) { AnnounceLongWork(err, seconds); };
  TPercentLine line(err, errIsTerminal && !o.quiet, "building the mesh");
  bool stopped = false;
  w.window.runLongBuild = [&](const std::function<void()>& work, TBuildProgress& progress) {
    WatchBuild(work, progress, line, stop, stopped);
  };
  w.window.meshesDeferred = false;
  w.window.Recompute();
  if (stopped) throw TCliError(kStopped);
  if (const std::string note = PipelineNote(w.app); !note.empty())
    err << "warning: " << note << '\n';
  if (o.smooth > 0) {
    TProgress progress(err, errIsTerminal && !o.quiet, o.smooth);
    w.window.processEvents = [&] { progress.Step(); };
    w.controls.SetPosition("ud_seniter", o.smooth);
    w.controls.Click("but_sestart");
    w.window.processEvents = nullptr;
  }
  for (int32_t i = 0; i < o.refine && !stopped; ++i) w.controls.Click("Button6");
  w.window.runLongBuild = nullptr;
  w.window.longWorkAhead = nullptr;
  if (stopped) throw TCliError(kStopped);
}

bool leaveModelToProcessEnd = false;

// Never destroyed: reachable to the end, so no leak either.
std::unique_ptr<THeadlessWindow>& KeptModel() {
  static auto* kept = new std::unique_ptr<THeadlessWindow>;
  return *kept;
}

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
        bool errIsTerminal, const std::function<bool()>& stop) {
  TCliOptions o;
  CLI::App app{"Seifert surfaces of knots without a window", "veltrane-cli"};
  app.set_version_flag("--version", std::string("veltrane-cli ") + VELTRANE_VERSION);
  app.require_subcommand(1);
  CLI::App* info = app.add_subcommand("info", "print the lay-out and mesh summary");
  AddCommonOptions(*info, o);
  info->add_flag("--json", o.json, "print JSON");
  CLI::App* mesh = app.add_subcommand("mesh", "write the surface mesh as STL, glTF, OBJ or PLY");
  AddCommonOptions(*mesh, o);
  mesh->add_option("-o,--output", o.output,
                   "FILE.stl, FILE.glb, FILE.gltf, FILE.obj (with FILE.mtl) or FILE.ply; a "
                   "folder with --knot all; - for the standard output (with --format)")
      ->required();
  mesh->add_option("--size", o.size, "MM: STL only, the model's longest side in mm (100)");
  mesh->add_option("--min-wall", o.minWall,
                   "MM: STL only, thinner walls are thickened to this (1.2; 0 keeps them)");
  bool noLinks = false;
  mesh->add_flag("--no-links", noLinks, "leave out the link lines (OBJ, PLY) and tubes (glTF)");
  mesh->add_flag("--ascii", o.meshOptions.asciiPly, "PLY as text rather than binary");
  std::string up = "y";
  mesh->add_option("--up", up, "y or z: OBJ and PLY, the axis that is up (y, as glTF)")
      ->check(CLI::IsMember({"y", "z"}));
  mesh->add_option("--format", o.format,
                   "with --knot all: the files' format (glb); with -o -: the output's")
      ->check(CLI::IsMember({"stl", "glb", "gltf", "obj", "ply"}));
  AddJobsOption(*mesh, o);
  CLI::App* render = app.add_subcommand("render", "export the view as a picture, as \"Save image\"");
  AddCommonOptions(*render, o);
  render->add_option("-o,--output", o.output,
                     "FILE.png, FILE.jpg or FILE.bmp; - for the standard output (with --format)")
      ->required();
  render->add_option("--format", o.imageFormat, "with -o -: the picture's format")
      ->check(CLI::IsMember({"png", "jpg", "bmp"}));
  render->add_option("--width", o.width, "W: drawing panel width in pixels (540)")
      ->check(WholeNumber())->check(WholeRange(4, 16384));
  render->add_option("--height", o.height, "H: drawing panel height in pixels (540)")
      ->check(WholeNumber())->check(WholeRange(4, 16384));
  AddJobsOption(*render, o);
  render->add_option("--view", o.view, "top, front, side or oblique: the camera's standard view")
      ->check(CLI::IsMember({"top", "front", "side", "oblique"}));
  render->add_option("--yaw", o.yaw, "DEG: the camera turned about the up axis (after --view)")
      ->check(CLI::Range(-360.0, 360.0));
  render->add_option("--pitch", o.pitch,
                     "DEG: the camera raised (negative) or lowered (after --view), -90..90")
      ->check(CLI::Range(-90.0, 90.0));
  render->add_flag("--fit", o.fit, "frame the whole model, as \"Fit view\"");
  render->add_option("--texture", o.texture,
                     "FILE: the surface picture (PNG, JPEG or 24-bit BMP), as \"Load...\"");
  render->add_option("--sky", o.sky, "FILE: the sky picture (PNG, JPEG or 24-bit BMP)");
  render->add_option("--filter", o.filter, "Box, Quadratic, B-spline, Mitchell or Lanczos (Box)");
  struct TImageOption {
    const char* flag;
    const char* control;
    int32_t lo, hi;
    const char* help;
  };
  static const TImageOption kImageOptions[] = {
      {"--scale", "ud_imgscale", 1, 100, "N: \"Scale\", N x N tiles (1)"},
      {"--antialias", "ud_antialias", 1, 100, "A: \"Anti-alias\", A x A samples a pixel (5)"},
      {"--blur", "ud_blur", 0, 1000, "P: \"Blur\", percent of the filter footprint (100)"},
      {"--jitter", "ud_jitter", 0, 1000, "P: \"Jitter\", percent of a sample's cell (100)"},
      {"--seed", "ud_seed", 0, 1000, "S: \"Seed\" of the sample jitter (0)"},
      {"--quality", "ud_jpqual", 1, 100, "Q: \"JPG qual\" (90)"},
  };
  for (const TImageOption& option : kImageOptions)
    render
        ->add_option_function<int32_t>(
            option.flag,
            [&o, control = option.control](const int32_t& value) {
              o.imagePositions.emplace_back(control, value);
            },
            option.help)
        ->check(WholeNumber())
        ->check(WholeRange(option.lo, option.hi));
  CLI::App* table = app.add_subcommand("table", "list the built-in knot table");
  table->add_flag("--json", o.json, "print JSON");
  table->add_flag("--census", o.census,
                  "every knot of up to 12 crossings: name, crossings, alternating, genus, DT code");
  std::string dumpFile = kHoleDumpFile;
  CLI::App* dumpHoles = app.add_subcommand(
      "dump-holes", "write the hole report of the knot table's DT codes, as \"Dump holes\"");
  dumpHoles->add_option("-o,--output", dumpFile, "FILE (aaa.txt); - for the standard output");
  CLI::App* invariants = app.add_subcommand(
      "invariants", "Seifert matrix, Alexander polynomial, signature and genus of the braid or diagram surface");
  invariants->add_option("BRAID", o.braid, "braid word (the start word AbAb when none is given)");
  invariants->add_option("--knot", o.knot, "knot-table row, e.g. 3_1, or all for the whole table");
  invariants->add_flag("--json", o.json, "print JSON");
  invariants->add_flag("--census", o.census,
                       "with --knot all: the 2,728 knots of 11 and 12 crossings after the table's");
  invariants->add_option("--dt", o.dt, "CODE: a DT code, in the Diagram lay-out");
  invariants->add_option("--pd", o.pd, "CODE: a PD code, in the Diagram lay-out");
  invariants->add_option("--gauss", o.gauss, "CODE: a signed Gauss code of a knot or link, in the Diagram lay-out");
  invariants->add_option("--layout", o.layout,
                         "diagram: the Diagram lay-out's surface; any other: the braid surface")
      ->check(CLI::IsMember({"stacked", "flat", "reduced-flat", "flat-dt", "split", "diagram"}));
  // Left-over arguments are reported by Run, as for the other commands.
  invariants->allow_extras();

  const std::vector<CLI::App*> commands = {info, mesh, render, table, dumpHoles, invariants};
  if (!args.empty() && !args[0].empty() && args[0][0] != '-' &&
      std::none_of(commands.begin(), commands.end(),
                   [&](const CLI::App* c) { return c->get_name() == args[0]; })) {
    std::string names;
    for (size_t i = 0; i < commands.size(); ++i)
      names += (i == 0 ? "" : i + 1 == commands.size() ? " and " : ", ") + commands[i]->get_name();
    throw TCliError("there is no command '" + args[0] + "'; the commands are " + names);
  }
  if (!args.empty()) {
    const auto sub = std::find_if(commands.begin(), commands.end(),
                                  [&](const CLI::App* c) { return c->get_name() == args[0]; });
    if (sub != commands.end()) RefuseOptionsTakenAsValues(**sub, args);
  }
  // CLI11 takes its arguments last first.
  std::vector<std::string> reversed(args.rbegin(), args.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e, out, err);
    return code == 0 ? 0 : 2;
  }
  for (const CLI::App* sub : commands) {
    if (!sub->parsed()) continue;
    std::vector<std::string> left = sub->remaining();
    // The parser keeps the "--" that ends the options ("info -- -A") among the extras.
    if (const auto mark = std::find(left.begin(), left.end(), "--"); mark != left.end())
      left.erase(mark);
    if (left.empty()) continue;
    std::string extra;
    for (const std::string& a : left) extra += (extra.empty() ? "" : " ") + Abbreviated(a);
    throw TCliError("unexpected arguments: " + extra);
  }
  if (table->parsed()) {
    TKnotTable knots;
    FillKnotTable(knots);
    if (o.census)
      WriteCensusTable(knots, o.json, out);
    else
      WriteTable(knots, o.json, out);
    return 0;
  }
  if (dumpHoles->parsed()) {
    DumpHoles(dumpFile);
    return 0;
  }
  for (const auto& [flag, text] : {std::pair{"--dt", &o.dt}, std::pair{"--pd", &o.pd},
                                   std::pair{"--gauss", &o.gauss}})
    if (invariants->parsed() && invariants->count(flag) > 0 && text->empty())
      throw TCliError(std::string(flag) + " needs a code");
  if (invariants->parsed()) return RunInvariants(o, invariants->count("BRAID") > 0,
                                                 invariants->count("--knot") > 0, out, err);
  CLI::App* chosen = info->parsed() ? info : mesh->parsed() ? mesh : render;
  o.command = chosen->get_name();
  o.braidGiven = chosen->count("BRAID") > 0;

  if (chosen->count("--torus") > 0) {
    ParseTorus(o.torus, o.torusBig, o.torusSmall);
    if (o.braidGiven || !o.knot.empty())
      throw TCliError("--torus shows a torus knot instead of a braid: give a braid word, --knot "
                      "or --torus, not several");
  }
  // An empty caption or name chooses nothing; it is a mistake, as an empty --layout is.
  if (chosen->count("--preset") > 0 && o.preset.empty())
    throw TCliError("--preset needs a button caption, e.g. \"Trefoil\"");
  if (chosen->count("--knot") > 0 && o.knot.empty())
    throw TCliError("--knot needs a knot name, e.g. 3_1");
  if (chosen == render && render->count("--filter") > 0 && o.filter.empty())
    throw TCliError("--filter needs a filter name: Box, Quadratic, B-spline, Mitchell or Lanczos");
  // Pictures are read, and refused, before any work; only what a texture shows is kept.
  if (chosen == render) {
    for (const auto& [flag, file, kept] :
         {std::tuple{"--texture", &o.texture, &o.surfacePicture},
          std::tuple{"--sky", &o.sky, &o.skyPicture}}) {
      if (render->count(flag) == 0) continue;
      if (file->empty()) throw TCliError(std::string(flag) + " needs a picture file");
      *kept = std::make_shared<const TRgbPicture>(TexturePicture(ReadTexturePicture(*file)));
    }
  }
  // The range checks let NaN through.
  for (const auto& [name, angle] : {std::pair{"--yaw", o.yaw}, std::pair{"--pitch", o.pitch}})
    if (angle && !std::isfinite(*angle))
      throw TCliError(std::string(name) + " needs a number of degrees");
  // A code is read, and refused, before any work; it is shown in the Diagram lay-out.
  for (const auto& [flag, text, kind] :
       {std::tuple{"--dt", &o.dt, TCodeKind::kDT}, std::tuple{"--pd", &o.pd, TCodeKind::kPD},
        std::tuple{"--gauss", &o.gauss, TCodeKind::kGauss}}) {
    if (chosen->count(flag) == 0) continue;
    if (o.codeDiagram) throw TCliError("give one of --dt, --pd and --gauss, not several");
    if (text->empty()) throw TCliError(std::string(flag) + " needs a code, e.g. " +
                                       (kind == TCodeKind::kPD ? "\"X[1,5,2,4] X[3,1,4,6] X[5,3,6,2]\""
                                        : kind == TCodeKind::kGauss ? "\"-1 3 -2 1 -3 2\""
                                                                    : "\"4 6 2\""));
    try {
      o.codeDiagram = ReadCode(*text, kind);
    } catch (const std::invalid_argument& e) {
      throw TCliError(std::string(flag) + ": " + e.what());
    }
    o.code = *text;
    o.codeKind = kind;
  }
  if (o.codeDiagram) {
    if (!o.knot.empty() || o.torusBig > 0)
      throw TCliError("a code shows its own knot: give --knot, --torus or a code, not several");
    if (!o.layout.empty() && o.layout != "diagram")
      throw TCliError("a code is laid out in the Diagram lay-out; --layout " + o.layout +
                      " shows a braid word");
  }
  if (o.knot == "all" && o.braidGiven)
    throw TCliError("--knot all builds every table row: give a braid word or --knot all, not "
                    "both");
  // Settings are checked before any work so that a typo costs nothing.
  for (const std::string& s : o.sets) {
    std::string name, value;
    SplitAssignment(s, name, value);
    if (!FindControl(name))
      throw TCliError("--set: there is no control named '" + Abbreviated(name) + "'");
  }
  if (o.census && o.knot != "all") throw TCliError("--census goes with --knot all");
  if (o.command == "render" && o.knot == "all") return RenderWholeTable(o, out, err, errIsTerminal);
  const bool toStandardOutput = o.output == kStandardOutputName;
  TMeshFormat meshFormat = TMeshFormat::kStl;
  if (o.command == "render" && chosen->count("--jobs") > 0)
    throw TCliError("--jobs goes with --knot all");
  if (o.command == "mesh") {
    o.meshOptions.links = !noLinks;
    o.meshOptions.zUp = up == "z";
    if (!o.size.empty() || chosen->count("--size") > 0) o.meshOptions.sizeMm = ParseStlSize(o.size);
    if (chosen->count("--min-wall") > 0) o.meshOptions.minWallMm = ParseStlMinWall(o.minWall);
    if (o.knot == "all") return MeshWholeTable(o, out, err, errIsTerminal);
    if (chosen->count("--jobs") > 0) throw TCliError("--jobs goes with --knot all");
    if (toStandardOutput) {
      if (chosen->count("--format") == 0)
        throw TCliError("-o - writes to the standard output: --format names its format (stl, "
                        "glb, gltf or ply)");
      if (o.format == "obj")
        throw TCliError("an OBJ file needs its .mtl file beside it, so it cannot go to the "
                        "standard output: write STL, glTF or PLY there");
    } else if (chosen->count("--format") > 0) {
      throw TCliError("--format goes with --knot all or -o -; one file's format is its "
                      "extension");
    }
    meshFormat = MeshFormatFromName(toStandardOutput ? "mesh." + o.format : o.output);
    if (meshFormat != TMeshFormat::kStl && chosen->count("--size") > 0)
      err << "warning: --size only scales an STL file; " << o.output << " keeps model units\n";
    if (meshFormat != TMeshFormat::kStl && chosen->count("--min-wall") > 0)
      err << "warning: --min-wall only thickens an STL file's walls\n";
    if (meshFormat != TMeshFormat::kObj && meshFormat != TMeshFormat::kPly &&
        chosen->count("--up") > 0)
      err << "warning: --up only turns OBJ and PLY files; glTF is always y up, STL z up\n";
  }
  if (o.command == "render") {
    if (toStandardOutput && o.imageFormat.empty())
      throw TCliError("-o - writes to the standard output: --format names its format (png, jpg "
                      "or bmp)");
    if (!toStandardOutput && !o.imageFormat.empty())
      throw TCliError("--format goes with -o -; a picture file's format is its extension");
    if (!toStandardOutput) ImageFormatFromName(o.output);
    if (!o.filter.empty()) FilterKindFromName(o.filter);
  }

  auto w = std::make_unique<THeadlessWindow>();
  try {
    w->window.meshesDeferred = true;  // Apply builds the one mesh the command shows
    w->window.StartUp();
    Apply(o, *w, err, errIsTerminal, stop);

    if (o.command == "mesh") {
      // The file is written all the same: the user may mend it, or print only a part.
      TSelfIntersections crossings;
      WriteMeshFile(w->app, o.output, meshFormat, o.meshOptions, &crossings);
      if (const std::string warning = SelfIntersectionWarning(crossings); !warning.empty())
        err << "warning: " << warning << '\n';
      if (const std::string note = MeshExportNote(w->app, meshFormat); !note.empty())
        err << "note: " << note << '\n';
    } else if (o.command == "render") {
      Render(o, *w, o.output, &err, errIsTerminal, stop);
    } else if (o.json) {
      out << InfoJson(w->app).dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
    } else {
      WriteInfoText(w->app, out);
    }
  } catch (const std::bad_alloc&) {
    // Builds name their own size; anything else that runs out names the mesh it had.
    throw std::runtime_error(
        MeshTooLargeMessage(w->app.Seifert.mesh.nVerts, "more than the free memory holds"));
  }
  out.flush();
  if (leaveModelToProcessEnd) KeptModel() = std::move(w);
  return 0;
}

}  // namespace

void LeaveModelToProcessEnd() { leaveModelToProcessEnd = true; }

std::string FindPresetButton(const std::string& caption) {
  for (const auto& [c, name] : PresetCaptions())
    if (c == caption) return name;
  return "";
}

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           bool errIsTerminal, const std::function<bool()>& stop) {
  // `-o -` writes where this run's output goes.
  struct TStandardOutputAt {
    std::ostream* saved = StandardOutput();
    explicit TStandardOutputAt(std::ostream& out) { StandardOutput() = &out; }
    ~TStandardOutputAt() { StandardOutput() = saved; }
  } standardOutput{out};
  try {
    return Run(args, out, err, errIsTerminal, stop);
  } catch (const std::exception& e) {
    err << "veltrane-cli: " << e.what() << '\n';
    return 2;
  }
}
