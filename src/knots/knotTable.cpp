#include "knotTable.h"

#include "core/rangeError.h"

const TKnotEntry& TKnotTable::Row(int32_t row) const {
  if (row < 1 || row > count)
    throw RangeError("the knot table has no row " + std::to_string(row) + " (it holds " +
                     std::to_string(count) + ")");
  return rows[static_cast<size_t>(row)];
}

int32_t TKnotTable::Find(const std::string& name) const {
  for (int32_t i = 1; i <= count; ++i)
    if (rows[static_cast<size_t>(i)].name == name) return i;
  return 0;
}

std::string KnotEntryText(const TKnotEntry& row) {
  return row.name + ", genus " + std::to_string(row.genus) + " (" + row.braid + ")";
}

void AddKnot(TKnotTable& table, const std::string& name, const std::string& altName,
             const std::string& braid, int32_t genus, const std::string& dtCode,
             const std::string& diagramCode) {
  if (table.count >= kKnotTableCapacity)
    throw RangeError("the knot table holds at most " + std::to_string(kKnotTableCapacity) +
                     " rows");
  TKnotEntry& e = table.rows[static_cast<size_t>(++table.count)];
  e = TKnotEntry{name, altName, braid, dtCode, genus, diagramCode.empty() ? dtCode : diagramCode};
  table.entries.push_back(KnotEntryText(e));
}

void FillKnotTable(TKnotTable& table) {
  table.count = 0;
  table.entries.clear();
  for (const TKnotRow& r : kKnotRows) AddKnot(table, r.name, r.altName, r.braid, r.genus, r.dtCode, r.diagramCode);
}
