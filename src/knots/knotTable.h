#pragma once
// The built-in table of the prime knots with 3 to 10 crossings: name, alternating /
// non-alternating name, a braid word whose closure is the knot, its genus and DT code.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// One row as generated from the data file.
struct TKnotRow {
  const char* name;
  const char* altName;
  const char* braid;
  int32_t genus;
  const char* dtCode;
  const char* diagramCode;  // "" when the Diagram lay-out draws dtCode
};

constexpr int32_t kKnotRowCount = 249;
extern const TKnotRow kKnotRows[kKnotRowCount];

struct TKnotEntry {
  std::string name;
  std::string altName;
  std::string braid;
  std::string dtCode;
  int32_t genus = 0;
  std::string diagramCode;  // the DT code the Diagram lay-out draws: dtCode, or one of the knot's
                            // diagrams whose canonical genus is the genus
};

// Rows numbered from 1; the table has room for this many.
constexpr int32_t kKnotTableCapacity = 300;

struct TKnotTable {
  std::array<TKnotEntry, kKnotTableCapacity + 1> rows{};  // element 0 unused
  int32_t count = 0;
  std::vector<std::string> entries;  // the drop-down texts, entry i is row i + 1

  // Row by number 1..count; a RangeError outside.
  const TKnotEntry& Row(int32_t row) const;
  // The row with this table name, 0 when there is none.
  int32_t Find(const std::string& name) const;
};

// Appends a row and its drop-down text; a RangeError beyond row 300.
void AddKnot(TKnotTable& table, const std::string& name, const std::string& altName,
             const std::string& braid, int32_t genus, const std::string& dtCode,
             const std::string& diagramCode = "");

// Empties the table and appends the 249 built-in rows in order.
void FillKnotTable(TKnotTable& table);

// "3_1, genus 1 (AAA)".
std::string KnotEntryText(const TKnotEntry& row);
