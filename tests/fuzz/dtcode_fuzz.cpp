// Any text as a DT code: the hole finding either refuses it with a RangeError or fills a hole
// table whose numbers stay inside its bounds, and a second run gives the same table.

#include <string>

#include "fuzzSupport.h"
#include "surface/dtCode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TFuzzInput in(data, size);
  const bool threeSided = !in.Bool();
  const std::string code = in.Rest();
  THoleTable table, again;
  int32_t n = 0;
  try {
    n = HolesFromDT(code, threeSided, table);
  } catch (const RangeError&) {
    return 0;
  }
  Expect(n == table.nHoles && n >= 0 && n <= kMaxHoles, "hole count outside 0..20");
  for (int32_t h = 0; h <= n; ++h) {
    const THole& hole = table.holes[static_cast<size_t>(h)];
    Expect(hole.count >= 0 && hole.count <= kMaxHoleBorder, "border entry count outside 0..20");
    Expect(hole.id == h, "a record's id is not its number");
    for (int32_t k = 1; k <= hole.count; ++k) {
      const int32_t nb = hole.neighbour[static_cast<size_t>(k)];
      Expect(nb >= 0 && nb <= n, "a neighbour that is no record: " + std::to_string(nb));
    }
  }
  Expect(HolesFromDT(code, threeSided, again) == n, "a second run counts other holes");
  for (int32_t h = 0; h <= n; ++h) {
    const THole& a = table.holes[static_cast<size_t>(h)];
    const THole& b = again.holes[static_cast<size_t>(h)];
    Expect(a.count == b.count && a.neighbour == b.neighbour && a.twist == b.twist,
           "a second run gives another table");
  }
  return 0;
}
