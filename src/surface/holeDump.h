#pragma once
// The hole consistency report: the DT code of every row of the built-in knot table is turned
// into holes, and the count is compared with twice the row's genus (a Seifert surface of genus
// g has 2g holes).

#include <cstdint>
#include <string>

// The name the window's hidden button writes to, in the current folder.
constexpr const char* kHoleDumpFile = "aaa.txt";

struct THoleDump {
  std::string text;  // the report, lines ending in CR LF
  int32_t ok = 0;
  int32_t wrong = 0;
};

// One row line per table knot ("KNOT 3_1 Genus 1 OK nhole = 2"), then its hole records from 0
// ("H0 3: 1 2 1"), then the totals ("OK = 180; WRONG = 69"). A row whose code the hole finding
// refuses counts as WRONG with no holes and an empty record 0.
THoleDump HoleDumpText();

// Writes the report to `path` atomically; a std::runtime_error when it cannot be written.
void DumpHoles(const std::string& path);
