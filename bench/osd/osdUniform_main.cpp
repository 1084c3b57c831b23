// The peer of the subdivision benchmark as a process of its own: the level-0 mesh of a braid
// word at the start settings, built as a recompute builds it, refined uniformly by OpenSubdiv.
//
//   veltrane_osd_uniform WORD LEVELS
//
// Prints the vertex count of the last level. Timed and measured from outside (wall time, CPU
// time, peak memory) beside a veltrane-cli run of the same word and level.

#include <opensubdiv/far/primvarRefiner.h>
#include <opensubdiv/far/topologyDescriptor.h>
#include <opensubdiv/far/topologyRefinerFactory.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/model/appState.h"
#include "app/model/headlessWindow.h"
#include "app/model/pipeline.h"
#include "mesh/meshModel.h"

using namespace OpenSubdiv;

namespace {

struct TOsdPoint {
  float p[3];
  void Clear() { p[0] = p[1] = p[2] = 0; }
  void AddWithWeight(const TOsdPoint& src, float w) {
    p[0] += w * src.p[0];
    p[1] += w * src.p[1];
    p[2] += w * src.p[2];
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s WORD LEVELS\n", argv[0]);
    return 2;
  }
  const std::string word = argv[1];
  const int levels = std::atoi(argv[2]);
  if (levels < 0 || levels > 6) {
    std::fprintf(stderr, "LEVELS must be 0..6\n");
    return 2;
  }
  KeepFreedStorageForReuse();
  TSettings settings;
  {
    THeadlessWindow w;
    w.window.StartUp();
    settings = w.app.Settings;
  }
  settings.catmullClark = 0;
  TAppState app;
  RunPipeline(word, app.Seifert, settings, app);
  TMesh& start = app.Seifert.mesh;

  // Only the vertices that faces use, numbered as the faces meet them.
  std::vector<int> index(static_cast<size_t>(start.nVerts), -1), corners, sizes;
  std::vector<TOsdPoint> base;
  for (int32_t i = 0; i < start.nFaces; ++i) {
    sizes.push_back(4);
    for (int32_t c : start.faces[i].v) {
      if (index[c] < 0) {
        index[c] = static_cast<int>(base.size());
        const Vec3& p = start.verts[c].pos;
        base.push_back({{p.x, p.y, p.z}});
      }
      corners.push_back(index[c]);
    }
  }
  Far::TopologyDescriptor desc;
  desc.numVertices = static_cast<int>(base.size());
  desc.numFaces = start.nFaces;
  desc.numVertsPerFace = sizes.data();
  desc.vertIndicesPerFace = corners.data();
  Sdc::Options options;
  options.SetVtxBoundaryInterpolation(Sdc::Options::VTX_BOUNDARY_EDGE_ONLY);
  using Factory = Far::TopologyRefinerFactory<Far::TopologyDescriptor>;
  Far::TopologyRefiner* refiner =
      Factory::Create(desc, Factory::Options(Sdc::SCHEME_CATMARK, options));
  refiner->RefineUniform(Far::TopologyRefiner::UniformOptions(levels));
  std::vector<TOsdPoint> points(static_cast<size_t>(refiner->GetNumVerticesTotal()));
  std::copy(base.begin(), base.end(), points.begin());
  Far::PrimvarRefiner primvar(*refiner);
  TOsdPoint* src = points.data();
  for (int l = 1; l <= levels; ++l) {
    TOsdPoint* dst = src + refiner->GetLevel(l - 1).GetNumVertices();
    primvar.Interpolate(l, src, dst);
    src = dst;
  }
  std::printf("%d\n", refiner->GetLevel(levels).GetNumVertices());
  delete refiner;
  return 0;
}
