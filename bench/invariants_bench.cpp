// The Seifert form of every knot-table row: the braid surface's (range(0) = 0) against the
// canonical surface of the row's diagram, as the Diagram lay-out shows it (range(0) = 1).

#include <benchmark/benchmark.h>

#include "diagram/diagramCodes.h"
#include "invariants/diagramForm.h"
#include "invariants/seifertForm.h"
#include "knots/knotTable.h"

namespace {

void BM_InvariantsOfTheTable(benchmark::State& state) {
  TKnotTable table;
  FillKnotTable(table);
  const bool diagram = state.range(0) == 1;
  std::vector<TPDCode> codes;
  for (int32_t i = 1; i <= table.count; ++i) codes.push_back(PDFromDT(table.Row(i).diagramCode));
  int64_t loops = 0;
  for (auto _ : state) {
    loops = 0;
    for (int32_t i = 1; i <= table.count; ++i) {
      const TInvariants r = diagram ? ComputeDiagramInvariants(codes[static_cast<size_t>(i - 1)])
                                    : ComputeInvariants(table.Row(i).braid);
      loops += r.rank;
      benchmark::DoNotOptimize(r.signature);
    }
  }
  state.counters["loops"] = static_cast<double>(loops);
}

}  // namespace

BENCHMARK(BM_InvariantsOfTheTable)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
