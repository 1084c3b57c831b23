#include "invariantsReport.h"

#include <functional>

#include "diagram/censusKnot.h"

#include <sstream>

#include "diagram/diagramCodes.h"
#include "invariants/diagramForm.h"

namespace {

std::string GenusRemark(const TInvariants& r, const TKnotEntry& row) {
  if (r.genus == row.genus) return "the " + r.surfaceName + " has the table's genus";
  return "the " + r.surfaceName + ", of genus " + std::to_string(r.genus) +
         ", is not a minimal one; that is not an error";
}

// "3, 5, 7": the bands of a loop's walk.
std::string BandList(const std::vector<TLoopStep>& steps) {
  std::string s;
  for (const TLoopStep& step : steps) s += (s.empty() ? "" : ", ") + std::to_string(step.band);
  return s;
}

}  // namespace

nlohmann::ordered_json InvariantsJson(const std::string& braid, const TInvariants& r,
                                      const TKnotEntry* row) {
  nlohmann::ordered_json j;
  j["name"] = row ? row->name : braid;
  j["braid"] = braid;
  j["surface"] = r.surfaceName;
  j["components"] = r.components;
  j["surfaceGenus"] = r.genus;
  if (row) j["tableGenus"] = row->genus;
  if (row) j["diagramCode"] = row->diagramCode;  // the DT code the Diagram lay-out draws
  j["rank"] = r.rank;
  j["seifertMatrix"] = r.seifert;
  nlohmann::ordered_json loops = nlohmann::ordered_json::array();
  for (const auto& steps : r.loopSteps) {
    nlohmann::ordered_json walk = nlohmann::ordered_json::array();
    for (const TLoopStep& step : steps) walk.push_back({{"band", step.band}, {"disk", step.disk}});
    loops.push_back(std::move(walk));
  }
  j["loops"] = std::move(loops);
  // JSON numbers beyond 64 bits would lose digits in most readers: those are written as strings.
  if (r.fits64) {
    j["alexander"] = r.alexander;
  } else {
    j["alexander"] = r.alexanderDecimal;
  }
  j["alexanderText"] = r.alexanderText;
  if (r.fits64) {
    j["determinant"] = r.determinant;
  } else {
    j["determinant"] = r.determinantDecimal;
  }
  j["signature"] = r.signature;
  return j;
}

void WriteInvariantsText(const std::string& braid, const TInvariants& r, const TKnotEntry* row,
                         std::ostream& out) {
  if (row) out << "knot: " << row->name << " (" << row->altName << ")\n";
  if (!braid.empty()) out << "braid: " << braid << '\n';
  out << "from: the " << r.surfaceName << '\n';
  out << "boundary: " << r.components
      << (r.components == 1 ? " component (a knot)" : " components (a link)") << '\n';
  out << "surface: " << r.nDisks << " disks, " << r.nBands << " bands, Euler characteristic "
      << r.eulerCharacteristic << ", " << r.surfaceParts
      << (r.surfaceParts == 1 ? " piece" : " pieces (a split link)") << '\n';
  out << "genus: " << r.genus << '\n';
  if (row) out << "table genus: " << row->genus << " (" << GenusRemark(r, *row) << ")\n";
  out << "rank: " << r.rank << '\n';
  out << "loops:";
  if (!r.loops.empty())
    for (size_t i = 0; i < r.loops.size(); ++i)
      out << (i ? ", " : " ") << "a" << i + 1 << " (disks " << r.loops[i].lowerDisk << "-"
          << r.loops[i].lowerDisk + 1 << ", bands " << r.loops[i].bandUp << " and "
          << r.loops[i].bandDown << ")";
  else
    for (size_t i = 0; i < r.loopSteps.size(); ++i)
      out << (i ? ", " : " ") << "a" << i + 1 << " (bands " << BandList(r.loopSteps[i]) << ")";
  out << (r.loopSteps.empty() ? " none\n" : "\n");
  out << "Seifert matrix:" << (r.seifert.empty() ? " empty" : "") << '\n';
  for (const auto& line : r.seifert) {
    out << " ";
    for (int64_t v : line) {
      std::string cell = std::to_string(v);
      out << std::string(cell.size() < 3 ? 3 - cell.size() : 0, ' ') << cell;
    }
    out << '\n';
  }
  out << "Alexander polynomial: " << r.alexanderText << '\n';
  out << "determinant: " << r.determinantDecimal << '\n';
  out << "signature: " << r.signature << '\n';
}

int32_t WriteTableInvariants(const TKnotTable& table, bool json, std::ostream& out,
                             int32_t& failed, bool diagram, bool census) {
  int32_t sameGenus = 0;
  failed = 0;
  nlohmann::ordered_json rows = nlohmann::ordered_json::array();
  // One knot: its name, braid word, genus (or bounds), the table row if it is one, and the road
  // to its surface's invariants.
  const auto write = [&](const std::string& name, const std::string& braid, int32_t low,
                         int32_t high, const TKnotEntry* row,
                         const std::function<TInvariants()>& compute) {
    TInvariants r;
    try {
      r = compute();
    } catch (const std::exception& e) {
      ++failed;
      if (json) rows.push_back({{"name", name}, {"braid", braid}, {"error", e.what()}});
      else out << name << '\t' << braid << "\terror: " << e.what() << '\n';
      return;
    }
    sameGenus += low == high && r.genus == low;
    if (json) {
      nlohmann::ordered_json j = InvariantsJson(braid, r, row);
      if (!row) {
        j["name"] = name;
        j["knotGenusLow"] = low;
        j["knotGenusHigh"] = high;
      }
      rows.push_back(std::move(j));
      return;
    }
    out << name << '\t' << braid << "\tgenus " << r.genus << " (knot "
        << (low == high ? std::to_string(low) : std::to_string(low) + ".." + std::to_string(high))
        << ")\trank " << r.rank << "\tdet " << r.determinantDecimal << "\tsignature " << r.signature
        << "\t" << r.alexanderText << '\n';
  };
  for (int32_t i = 1; i <= table.count; ++i) {
    const TKnotEntry& row = table.Row(i);
    write(row.name, row.braid, row.genus, row.genus, &row, [&] {
      return diagram ? ComputeDiagramInvariants(PDFromDT(row.diagramCode)) : ComputeInvariants(row.braid);
    });
  }
  if (census)
    for (const TCensusRow& row : kCensusRows) {
      std::string braid;
      write(row.name, braid, row.genusLow, row.genusHigh, nullptr, [&] {
        if (diagram) return ComputeDiagramInvariants(PDFromDT(CensusDiagramCode(row)));
        braid = CensusBraidWord(row);
        return ComputeInvariants(braid);
      });
    }
  if (json) out << rows.dump(2) << '\n';
  return sameGenus;
}
