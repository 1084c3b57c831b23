#include "seifert.h"

#include <cstdlib>
#include <string>
#include <utility>

#include "core/checked.h"

TDisk& TSeiffert::Disk(int32_t i) { return At(disks, i, "disk table"); }
const TDisk& TSeiffert::Disk(int32_t i) const { return At(disks, i, "disk table"); }
TTube& TSeiffert::Tube(int32_t i) { return At(tubes, i, "band table"); }
const TTube& TSeiffert::Tube(int32_t i) const { return At(tubes, i, "band table"); }

TDiskTube& TSeiffert::End(const TEndRef& r) {
  TDisk& d = Disk(r.disk);
  if (r.end < 0 || r.end >= kMaxBandEnds) throw RangeError("a disk holds at most 50 band ends");
  return d.ends[static_cast<size_t>(r.end)];
}

const TDiskTube& TSeiffert::End(const TEndRef& r) const {
  const TDisk& d = Disk(r.disk);
  if (r.end < 0 || r.end >= kMaxBandEnds) throw RangeError("a disk holds at most 50 band ends");
  return d.ends[static_cast<size_t>(r.end)];
}

void ResizeLayout(TSeiffert& model, int32_t nDisks, int32_t nTubes) {
  model.nDisks = nDisks;
  model.nTubes = nTubes;
  model.disks.assign(static_cast<size_t>(CheckedAdd(nDisks, 1)), TDisk{});
  model.tubes.assign(static_cast<size_t>(CheckedAdd(nTubes, 1)), TTube{});
}

TEndRef AddEnd(TSeiffert& model, int32_t d, int32_t tube, int32_t slot, uint8_t endFlag) {
  TDisk& disk = model.Disk(d);
  if (disk.nEnds >= kMaxBandEnds)
    throw RangeError("a disk holds at most 50 band ends (disk " + std::to_string(d) +
                     " would get more)");
  TEndRef ref{d, disk.nEnds};
  TDiskTube& e = disk.ends[static_cast<size_t>(disk.nEnds)];
  e = TDiskTube{};
  e.slot = slot;
  e.endFlag = endFlag;
  e.disk = d;
  e.tube = tube;
  ++disk.nEnds;
  return ref;
}

TEndRef OtherEnd(const TSeiffert& model, const TEndRef& e) {
  const TTube& t = model.Tube(model.End(e).tube);
  return t.endA == e ? t.endB : t.endA;
}

void InitDisk(TDisk& d, const Vec3& centre, double diameter, double height, int32_t nSlots,
              uint8_t side) {
  d.normal = Vec3(0, 0, 1);
  d.centre = centre;
  d.diameter = diameter;
  d.height = height;
  d.nEnds = 0;
  d.nSlots = nSlots;
  d.nRings = 3;
  d.side = side;
}

void LayoutTrivial(TSeiffert& model, const TSettings& settings) {
  ResizeLayout(model, 1, 0);
  InitDisk(model.disks[1], Vec3(0, 0, 0), settings.diskDiameter, settings.diskHeight, 4);
}

namespace {

// Re-aims every band reference to end place `from` at `to` and vice versa, for the bands
// that hold the ends at those places (both ends of one band included).
void SwapEndReferences(TSeiffert& model, int32_t d, int32_t i, int32_t j) {
  TDisk& disk = model.Disk(d);
  const TEndRef ri{d, i}, rj{d, j};
  int32_t bands[2] = {disk.ends[i].tube, disk.ends[j].tube};
  for (int k = 0; k < 2; ++k) {
    if (k == 1 && bands[1] == bands[0]) break;
    TTube& t = model.Tube(bands[k]);
    for (TEndRef* r : {&t.endA, &t.endB}) {
      if (*r == ri) *r = rj;
      else if (*r == rj) *r = ri;
    }
  }
}

}  // namespace

void SortEnds(TSeiffert& model, int32_t d) {
  TDisk& disk = model.Disk(d);
  for (int32_t pass = disk.nEnds - 1; pass >= 1; --pass) {
    for (int32_t i = 1; i < disk.nEnds; ++i) {
      if (disk.ends[i].slot < disk.ends[i - 1].slot) {
        SwapEndReferences(model, d, i, i - 1);
        std::swap(disk.ends[i], disk.ends[i - 1]);
      }
    }
  }
}

void PropagateSides(TSeiffert& model) {
  for (int32_t i = 1; i <= model.nDisks; ++i) model.Disk(i).visited = 0;

  // Depth-first, in the order a recursive visit would take, without using the call stack.
  struct Frame { int32_t disk; int32_t next; };
  std::vector<Frame> stack;
  auto visit = [&](int32_t d, uint8_t side) {
    TDisk& disk = model.Disk(d);
    if (disk.visited) return;
    disk.visited = 1;
    disk.side = side;
    stack.push_back({d, 0});
  };
  for (int32_t i = 1; i <= model.nDisks; ++i) {
    visit(i, 1);
    while (!stack.empty()) {
      Frame& f = stack.back();
      const TDisk& disk = model.Disk(f.disk);
      if (f.next >= disk.nEnds) {
        stack.pop_back();
        continue;
      }
      const TEndRef e{f.disk, f.next++};
      const TTube& t = model.Tube(model.End(e).tube);
      const TEndRef o = (t.endA == e) ? t.endB : t.endA;
      const uint8_t flip = (t.twist % 2 != 0) ? 1 : 0;
      visit(o.disk, static_cast<uint8_t>(disk.side ^ flip));
    }
  }
}

void DeleteDisk(TSeiffert& model, int32_t a) {
  model.Disk(a);  // range check
  for (int32_t i = a; i < model.nDisks; ++i) {
    model.disks[i] = std::move(model.disks[i + 1]);
    TDisk& disk = model.disks[i];
    for (int32_t k = 0; k < disk.nEnds; ++k) {
      disk.ends[k].disk = i;
      const int32_t tube = disk.ends[k].tube;
      if (tube < 1 || tube >= static_cast<int32_t>(model.tubes.size())) continue;
      TTube& t = model.tubes[tube];
      const TEndRef old{i + 1, k};
      if (t.endA == old) t.endA = {i, k};
      if (t.endB == old) t.endB = {i, k};
    }
  }
  model.disks[model.nDisks] = TDisk{};
  --model.nDisks;
}

void DeleteTube(TSeiffert& model, int32_t a) {
  model.Tube(a);  // range check
  for (int32_t i = a; i < model.nTubes; ++i) {
    model.tubes[i] = std::move(model.tubes[i + 1]);
    TTube& t = model.tubes[i];
    for (const TEndRef& r : {t.endA, t.endB})
      if (r.disk >= 1 && r.disk < static_cast<int32_t>(model.disks.size()) && r.end >= 0)
        model.End(r).tube = i;
  }
  model.tubes[model.nTubes] = TTube{};
  --model.nTubes;
}

std::string CheckLayoutInvariants(const TSeiffert& model) {
  try {
    for (int32_t t = 1; t <= model.nTubes; ++t) {
      const TTube& tube = model.Tube(t);
      if (model.End(tube.endA).tube != t || model.End(tube.endB).tube != t)
        return "band " + std::to_string(t) + " has an end that does not refer back to it";
    }
    for (int32_t d = 1; d <= model.nDisks; ++d) {
      const TDisk& disk = model.Disk(d);
      if (disk.nEnds < 0 || disk.nEnds > kMaxBandEnds)
        return "disk " + std::to_string(d) + " has a bad end count";
      for (int32_t i = 0; i < disk.nEnds; ++i) {
        const TDiskTube& e = disk.ends[i];
        if (e.disk != d) return "an end of disk " + std::to_string(d) + " names another disk";
        const TTube& tube = model.Tube(e.tube);
        if (!(tube.endA == TEndRef{d, i}) && !(tube.endB == TEndRef{d, i}))
          return "an end of disk " + std::to_string(d) + " is not held by its band";
        if (e.slot < 0 || e.slot >= disk.nSlots)
          return "an end of disk " + std::to_string(d) + " lies outside the slots";
      }
    }
  } catch (const std::exception& ex) {
    return ex.what();
  }
  return {};
}
