#pragma once
// The invariants command's output: one braid in full, or the knot table a row a line / as JSON.

#include <nlohmann/json.hpp>
#include <ostream>
#include <string>

#include "invariants/seifertForm.h"
#include "knots/knotTable.h"

// The JSON record; `row` (may be null) adds the table's name and genus.
nlohmann::ordered_json InvariantsJson(const std::string& braid, const TInvariants& r,
                                      const TKnotEntry* row);

// Every value, a line each.
void WriteInvariantsText(const std::string& braid, const TInvariants& r, const TKnotEntry* row,
                         std::ostream& out);

// The whole table: a line per row (or one JSON array); returns how many rows' surfaces (braid
// surfaces, or with `diagram` the canonical surfaces of the Diagram lay-out's diagrams) have the
// table's genus. A row whose computation fails is reported in its line and counted in `failed`.
// With `census` the 2,728 knots of 11 and 12 crossings follow (through the braid word read off
// the census diagram, or with `diagram` the census knot's Diagram lay-out diagram); those count
// where their genus is settled.
int32_t WriteTableInvariants(const TKnotTable& table, bool json, std::ostream& out,
                             int32_t& failed, bool diagram = false, bool census = false);
