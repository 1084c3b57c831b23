#include "cliRun.h"

#include <CLI/CLI.hpp>
#include <map>
#include <memory>

#include "app/model/controlTable.h"
#include "knots/knotTable.h"
#include "controlValues.h"
#include "app/model/headlessWindow.h"
#include "infoReport.h"
#include "meshExport.h"

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
  bool json = false;
  std::string output;
  int32_t smooth = 0;  // smoothing iterations after the recompute, 0 = none
  int32_t refine = 0;  // "Refine" steps after the smoothing
};

const std::map<std::string, std::string> kLayoutRadios = {
    {"stacked", "rb_stacked"}, {"flat", "rb_flat"},   {"reduced-flat", "rb_flat2"},
    {"flat-dt", "rb_flatdt"},  {"split", "rb_split"},
};

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

void AddCommonOptions(CLI::App& sub, TCliOptions& o) {
  sub.add_option("BRAID", o.braid, "braid word typed into the braid field and confirmed");
  sub.add_option("--layout", o.layout, "lay-out radio button to check")
      ->check(CLI::IsMember({"stacked", "flat", "reduced-flat", "flat-dt", "split"}));
  sub.add_option("--preset", o.preset,
                 "lay-out or preset-knot button to click, by caption "
                 "(\"Balls (stacked)\", \"Balls (flat)\" for the two \"Balls\")");
  sub.add_option("--set", o.sets, "NAME=VALUE: set a control by its component name (repeatable)")
      ->allow_extra_args(false);
  sub.add_option("--knot", o.knot, "knot-table row, e.g. 3_1");
  sub.add_option("--torus", o.torus, "torus knot B,S");
  sub.add_option("--smooth", o.smooth, "N: run N dynamic smoothing iterations (or to convergence)")
      ->check(CLI::Range(1, 30000));
  sub.add_option("--refine", o.refine, "K: then K \"Refine\" steps")->check(CLI::Range(1, 10));
}

// The knot table, one row a line, or as JSON.
void WriteTable(const TKnotTable& table, bool json, std::ostream& out) {
  if (json) {
    nlohmann::ordered_json rows = nlohmann::ordered_json::array();
    for (int32_t i = 1; i <= table.count; ++i) {
      const TKnotEntry& r = table.Row(i);
      rows.push_back({{"row", i}, {"name", r.name}, {"altName", r.altName}, {"braid", r.braid},
                      {"genus", r.genus}, {"dtCode", r.dtCode}});
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

// Steps (2) to (5) on a window in its start state.
void Apply(const TCliOptions& o, THeadlessWindow& w, std::ostream& err) {
  if (!o.layout.empty()) w.controls.Click(kLayoutRadios.at(o.layout));
  if (!o.preset.empty()) {
    const std::string name = FindPresetButton(o.preset);
    if (name.empty()) {
      std::string known;
      for (const auto& [caption, ignored] : PresetCaptions())
        known += (known.empty() ? "\"" : ", \"") + caption + "\"";
      throw TCliError("no lay-out or preset-knot button is captioned \"" + o.preset +
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
    if (row == 0) throw TCliError("--knot: the knot table has no knot named '" + o.knot + "'");
    w.window.ChooseKnot(row);
  }
  for (const std::string& s : o.sets) {
    std::string name, value;
    SplitAssignment(s, name, value);
    ApplySetting(w, name, value, err);
  }
  w.window.Recompute();
  if (o.smooth > 0) {
    w.controls.SetPosition("ud_seniter", o.smooth);
    w.controls.Click("but_sestart");
  }
  for (int32_t i = 0; i < o.refine; ++i) w.controls.Click("Button6");
}

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  TCliOptions o;
  CLI::App app{"Seifert surfaces of knots without a window", "veltrane-cli"};
  app.require_subcommand(1);
  CLI::App* info = app.add_subcommand("info", "print the lay-out and mesh summary");
  AddCommonOptions(*info, o);
  info->add_flag("--json", o.json, "print JSON");
  CLI::App* mesh = app.add_subcommand("mesh", "write the surface mesh as OBJ or PLY");
  AddCommonOptions(*mesh, o);
  mesh->add_option("-o,--output", o.output, "FILE.obj or FILE.ply")->required();
  CLI::App* table = app.add_subcommand("table", "list the built-in knot table");
  table->add_flag("--json", o.json, "print JSON");

  std::vector<std::string> reversed(args.rbegin(), args.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e, out, err);
    return code == 0 ? 0 : 2;
  }
  if (table->parsed()) {
    TKnotTable knots;
    FillKnotTable(knots);
    WriteTable(knots, o.json, out);
    return 0;
  }
  CLI::App* chosen = info->parsed() ? info : mesh;
  o.command = chosen->get_name();
  o.braidGiven = chosen->count("BRAID") > 0;

  if (chosen->count("--torus") > 0) throw TCliError("--torus: torus knots are not available yet");
  // Settings are checked before any work so that a typo costs nothing.
  for (const std::string& s : o.sets) {
    std::string name, value;
    SplitAssignment(s, name, value);
    if (!FindControl(name)) throw TCliError("--set: there is no control named '" + name + "'");
  }

  auto w = std::make_unique<THeadlessWindow>();
  w->window.StartUp();
  Apply(o, *w, err);

  if (o.command == "mesh") {
    WriteMeshFile(w->app, o.output);
  } else if (o.json) {
    out << InfoJson(w->app).dump(2) << '\n';
  } else {
    WriteInfoText(w->app, out);
  }
  out.flush();
  return 0;
}

}  // namespace

std::string FindPresetButton(const std::string& caption) {
  for (const auto& [c, name] : PresetCaptions())
    if (c == caption) return name;
  return "";
}

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  try {
    return Run(args, out, err);
  } catch (const std::exception& e) {
    err << "veltrane-cli: " << e.what() << '\n';
    return 2;
  }
}
