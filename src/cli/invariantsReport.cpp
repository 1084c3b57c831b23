#include "invariantsReport.h"

#include <sstream>

namespace {

std::string GenusRemark(const TInvariants& r, const TKnotEntry& row) {
  if (r.genus == row.genus) return "the braid surface has the table's genus";
  return "the braid surface, of genus " + std::to_string(r.genus) +
         ", is not a minimal one; that is not an error";
}

}  // namespace

nlohmann::ordered_json InvariantsJson(const std::string& braid, const TInvariants& r,
                                      const TKnotEntry* row) {
  nlohmann::ordered_json j;
  j["name"] = row ? row->name : braid;
  j["braid"] = braid;
  j["components"] = r.components;
  j["surfaceGenus"] = r.genus;
  if (row) j["tableGenus"] = row->genus;
  j["rank"] = r.rank;
  j["seifertMatrix"] = r.seifert;
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
  out << "braid: " << braid << '\n';
  out << "boundary: " << r.components
      << (r.components == 1 ? " component (a knot)" : " components (a link)") << '\n';
  out << "surface: " << r.nDisks << " disks, " << r.nBands << " bands, Euler characteristic "
      << r.eulerCharacteristic << ", " << r.surfaceParts
      << (r.surfaceParts == 1 ? " piece" : " pieces (a split link)") << '\n';
  out << "genus: " << r.genus << '\n';
  if (row) out << "table genus: " << row->genus << " (" << GenusRemark(r, *row) << ")\n";
  out << "rank: " << r.rank << '\n';
  out << "loops:";
  for (size_t i = 0; i < r.loops.size(); ++i)
    out << (i ? ", " : " ") << "a" << i + 1 << " (disks " << r.loops[i].lowerDisk << "-"
        << r.loops[i].lowerDisk + 1 << ", bands " << r.loops[i].bandUp << " and "
        << r.loops[i].bandDown << ")";
  out << (r.loops.empty() ? " none\n" : "\n");
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
                             int32_t& failed) {
  int32_t sameGenus = 0;
  failed = 0;
  nlohmann::ordered_json rows = nlohmann::ordered_json::array();
  for (int32_t i = 1; i <= table.count; ++i) {
    const TKnotEntry& row = table.Row(i);
    TInvariants r;
    try {
      r = ComputeInvariants(row.braid);
    } catch (const std::exception& e) {
      ++failed;
      if (json) rows.push_back({{"name", row.name}, {"braid", row.braid}, {"error", e.what()}});
      else out << row.name << '\t' << row.braid << "\terror: " << e.what() << '\n';
      continue;
    }
    sameGenus += r.genus == row.genus;
    if (json) {
      rows.push_back(InvariantsJson(row.braid, r, &row));
      continue;
    }
    out << row.name << '\t' << row.braid << "\tgenus " << r.genus << " (table " << row.genus
        << ")\trank " << r.rank << "\tdet " << r.determinantDecimal << "\tsignature " << r.signature
        << "\t" << r.alexanderText << '\n';
  }
  if (json) out << rows.dump(2) << '\n';
  return sameGenus;
}
