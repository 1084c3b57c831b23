// Time to write one knot's mesh in each format to a stream that only counts the bytes: the CPU
// side of an export, apart from memory growth and the disk. Against it, BM_PipelineTableOneModel gives the cost of building the models.

#include <benchmark/benchmark.h>

#include <memory>
#include <ostream>
#include <streambuf>

#include "app/model/headlessWindow.h"
#include "app/model/meshExport.h"

namespace {

class TCountingBuffer : public std::streambuf {
 public:
  size_t bytes = 0;

 protected:
  int_type overflow(int_type ch) override {
    ++bytes;
    return traits_type::not_eof(ch);
  }
  std::streamsize xsputn(const char*, std::streamsize n) override {
    bytes += static_cast<size_t>(n);
    return n;
  }
};

void BM_MeshExport(benchmark::State& state) {
  auto w = std::make_unique<THeadlessWindow>();
  w->window.StartUp();
  w->window.ChooseKnot(w->app.KnotTable.Find("7_4"));
  w->window.Recompute();
  const auto format = static_cast<TMeshFormat>(state.range(0));
  size_t bytes = 0;
  for (auto _ : state) {
    TCountingBuffer counter;
    std::ostream out(&counter);
    switch (format) {
      case TMeshFormat::kObj: WriteObj(w->app, out, {}, "knot.mtl"); break;
      case TMeshFormat::kPly: WritePly(w->app, out); break;
      case TMeshFormat::kStl: WriteStl(w->app, out); break;
      case TMeshFormat::kGlb: WriteGltf(w->app, out, true); break;
      case TMeshFormat::kGltf: WriteGltf(w->app, out, false); break;
    }
    bytes = counter.bytes;
    benchmark::DoNotOptimize(bytes);
  }
  state.counters["bytes"] = static_cast<double>(bytes);
  state.counters["faces"] = w->app.Seifert.mesh.nFaces;
}

}  // namespace

// 0 OBJ, 1 PLY, 2 STL, 3 GLB, 4 glTF text.
BENCHMARK(BM_MeshExport)->DenseRange(0, 4)->Unit(benchmark::kMicrosecond);
