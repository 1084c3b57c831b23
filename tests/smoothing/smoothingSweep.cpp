// How often "Smooth" changes the knot: every table row in the lay-outs asked for, at the start
// settings, smoothed as the window smooths it; after 50 and 200 iterations and at convergence,
// rows whose link lines no longer bound the knot they bounded before, and rows whose mesh passes
// through itself where it did not before.
//
// Usage: smoothing_sweep [LAYOUT...] [--step K] [--knot NAME]... [--no-mesh-check]
// (LAYOUT: stacked flat split diagram ...; every K-th row, 1 by default; only the rows named).
// One line a row that goes wrong, then a summary a lay-out.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "app/model/boundaryReport.h"
#include "app/model/headlessWindow.h"
#include "mesh/selfIntersection.h"
#include "smoothingChecks.h"

namespace {

const std::map<std::string, std::string> kRadios = {
    {"stacked", "rb_stacked"}, {"flat", "rb_flat"}, {"reduced-flat", "rb_flat2"},
    {"split", "rb_split"},     {"diagram", "rb_diagram"}};

struct TCount {
  int32_t rows = 0, knot[3] = {}, crossing[3] = {}, fold[3] = {}, crossingAtStart = 0, wrongAtStart = 0;
  int64_t iterations = 0;
};

}  // namespace

bool meshCheck = true;

int main(int argc, char** argv) {
  std::vector<std::string> layouts;
  int32_t step = 1;
  std::vector<std::string> only;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--step" && i + 1 < argc) {
      step = std::max(1, std::atoi(argv[++i]));
    } else if (a == "--knot" && i + 1 < argc) {
      only.push_back(argv[++i]);
    } else if (a == "--no-mesh-check") {
      meshCheck = false;
    } else if (kRadios.count(a)) {
      layouts.push_back(a);
    } else {
      std::fprintf(stderr, "unknown argument %s\n", a.c_str());
      return 2;
    }
  }
  if (layouts.empty()) layouts = {"stacked", "flat", "split", "diagram"};
  TKnotTable table;
  FillKnotTable(table);
  for (const std::string& layout : layouts) {
    TCount c;
    for (int32_t row = 1; row <= table.count; row += step) {
      const std::string name = table.Row(row).name;
      if (!only.empty() && std::find(only.begin(), only.end(), name) == only.end()) continue;
      THeadlessWindow w;
      w.window.StartUp();
      w.window.askYesCancel = [](const std::string&) { return true; };
      // The command line's order: the lay-out first, then the row.
      w.controls.Click(kRadios.at(layout));
      w.window.ChooseKnot(row);
      // What "Smooth" does before its loop, so that the mesh can be looked at first.
      w.controls.SetPosition("ud_subdiv", 1);
      w.controls.SetPosition("ud_ccsub", 0);
      w.app.firstSmooth = false;
      w.app.meanEdgeValid = false;
      w.app.meshForSmoothing = true;
      w.window.Recompute();
      w.app.meshForSmoothing = false;
      const TSmoothingBaseline start = SmoothingBaseline(w.app.Seifert, table, meshCheck);
      ++c.rows;
      if (start.name.rfind(name, 0) != 0) {
        ++c.wrongAtStart;
        std::printf("%s %s: the smoothing mesh bounds %s before smoothing\n", layout.c_str(),
                    name.c_str(), start.name.c_str());
      }
      c.crossingAtStart += start.crossingPairs > 0;
      std::string faults[3];
      int32_t done = 0;
      const auto look = [&](int k) {
        faults[k] = SmoothingFault(w.app.Seifert, table, start, meshCheck);
        if (faults[k].empty()) return;
        (faults[k].find("boundary") != std::string::npos ? c.knot
         : faults[k].find("fold") != std::string::npos ? c.fold : c.crossing)[k]++;
      };
      w.window.processEvents = [&] {
        ++done;
        if (done == 50) look(0);
        if (done == 200) look(1);
      };
      w.controls.SetPosition("ud_seniter", 30000);
      w.app.smoothed = true;
      w.app.smoothingRunning = true;
      try {
        w.window.RunSmoothing();
      } catch (const std::exception& e) {
        std::printf("%s %s: %s\n", layout.c_str(), name.c_str(), e.what());
      }
      w.app.smoothingRunning = false;
      if (done < 50) look(0);
      if (done < 200) look(1);
      look(2);
      c.iterations += done;
      for (int k = 0; k < 3; ++k)
        if (!faults[k].empty())
          std::printf("%s %s after %s: %s\n", layout.c_str(), name.c_str(),
                      k == 0 ? "50" : k == 1 ? "200" : "convergence", faults[k].c_str());
      std::fflush(stdout);
    }
    std::printf(
        "SUMMARY %s: %d rows (%d intersecting, %d another knot at start); knot changed after 50/200/convergence: "
        "%d/%d/%d; passing through: %d/%d/%d; only folds round a corner: %d/%d/%d; mean "
        "iterations to convergence %.0f\n",
        layout.c_str(), c.rows, c.crossingAtStart, c.wrongAtStart, c.knot[0], c.knot[1], c.knot[2], c.crossing[0],
        c.crossing[1], c.crossing[2], c.fold[0], c.fold[1], c.fold[2], double(c.iterations) / std::max(1, c.rows));
    std::fflush(stdout);
  }
  return 0;
}
