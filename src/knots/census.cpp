#include "knots/census.h"

#include <cctype>
#include <string>
#include <unordered_map>

int32_t TCensusRow::Crossings() const { return name[1] == '1' ? 11 : 12; }

bool TCensusRow::Alternating() const { return name[2] == 'a'; }

const TCensusRow* FindCensusKnot(std::string_view name) {
  static const std::unordered_map<std::string, const TCensusRow*> byName = [] {
    std::unordered_map<std::string, const TCensusRow*> m;
    for (const TCensusRow& row : kCensusRows) m.emplace(row.name, &row);
    return m;
  }();
  // "12n_0293": the letter, the underscore, then the number without its leading zeros.
  const size_t bar = name.find('_');
  if (bar == std::string_view::npos || bar + 1 >= name.size() || name.size() > 16) return nullptr;
  size_t digits = bar + 1;
  while (digits + 1 < name.size() && name[digits] == '0') ++digits;
  const std::string key = std::string(name.substr(0, bar + 1)) + std::string(name.substr(digits));
  const auto it = byName.find(key);
  return it == byName.end() ? nullptr : it->second;
}

std::string GenusBoundsText(int32_t low, int32_t high) {
  return low == high ? "genus " + std::to_string(low)
                     : "genus " + std::to_string(low) + " to " + std::to_string(high);
}
