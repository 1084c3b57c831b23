#include "holeDump.h"

#include <ostream>

#include "core/atomicFile.h"
#include "core/rangeError.h"
#include "dtCode.h"
#include "knots/knotTable.h"

THoleDump HoleDumpText() {
  THoleDump dump;
  for (const TKnotRow& row : kKnotRows) {
    THoleTable table;
    int32_t nHoles = 0;
    try {
      nHoles = HolesFromDT(row.dtCode, true, table);
    } catch (const RangeError&) {
      table = THoleTable{};
      nHoles = 0;
    }
    const bool ok = 2 * row.genus == nHoles;
    ++(ok ? dump.ok : dump.wrong);
    dump.text += std::string("KNOT ") + row.name + " Genus " + std::to_string(row.genus) +
                 (ok ? " OK" : " WRONG") + " nhole = " + std::to_string(nHoles) + "\r\n";
    for (int32_t h = 0; h <= nHoles; ++h) {
      const THole& hole = table.Hole(h);
      // Appended piece by piece: the text grows to some 20 kB, and this keeps it one buffer.
      dump.text.append("H").append(std::to_string(h)).append(" ");
      dump.text.append(std::to_string(hole.count)).append(":");
      for (int32_t k = 1; k <= hole.count; ++k)
        dump.text.append(" ").append(std::to_string(hole.neighbour[static_cast<size_t>(k)]));
      dump.text += "\r\n";
    }
  }
  dump.text += "OK = " + std::to_string(dump.ok) + "; WRONG = " + std::to_string(dump.wrong) + "\r\n";
  return dump;
}

void DumpHoles(const std::string& path) {
  const std::string text = HoleDumpText().text;
  WriteFileAtomically(path, [&](std::ostream& out) { out << text; });
}
