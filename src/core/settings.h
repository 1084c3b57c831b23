#pragma once
// The converted values of every surface, mesh and display control, read before each recompute.
// Lengths are model units (an up-down position of 100 is 1.0). Field order is fixed.

#include <array>
#include <cstdint>

// Lay-out codes of TSettings::layout.
enum TLayoutCode : uint8_t {
  kLayoutStacked = 0,
  kLayoutFlat = 1,
  kLayoutReducedFlat = 2,
  kLayoutFlatDt = 3,
  kLayoutSplit = 4,
  kLayoutDiagram = 5,
};

struct TSettings {
  int32_t resolution = 2;
  int32_t tubeExtra = 0;
  double diskDiameter = 1.0;
  double diskTaper = 0.0;
  double diskHeight = 0.2;
  double diskDistance = 0.25;
  double smoothRot = 0.0;
  bool multiTwist = false;
  bool reduce = false;
  double bandWidth = 0.1;
  double bandHeight = 0.1;
  double bandShift = 1.0;
  double smoothDt = 0.0;
  int32_t catmullClark = 0;
  int32_t minSurf = 0;
  int32_t presmoothNonBnd = 0;
  bool tJoints = false;
  bool convexFlat2 = true;
  bool simpleMorph = true;
  double minLinkSeg = 0.0;
  bool bezierTubes = true;
  bool altPoleMesh = false;
  bool reducedMesh = false;
  int32_t knotWidth = 0;
  double tubeCurve = 0.6;
  uint8_t layout = kLayoutStacked;
  int32_t splitAt = 2;
  bool smoothShading = false;
  double linkRadius = 0.021;
  double linkOffset = 0.0;
  int32_t presmooth = 0;
  std::array<uint32_t, 12> colors{};
  std::array<bool, 3> showSurface{true, true, true};
  std::array<bool, 4> showLink{true, true, true, true};
  bool showConstruction = false;
  bool autoCenter = true;
  bool smoothTubes = true;
  bool smoothDisks = true;
  int32_t transparency = 8;
  int32_t torusBig = 2;
  int32_t torusSmall = 3;
  bool useTexture = false;
  bool textureOnMesh = false;
  double alphaScale = 1.0;
  // The surface texture's band: "Width", "Offset", "Stretch" (positions) and "Hide cracks".
  int32_t textureWidth = 5;
  int32_t textureOffset = 3;
  int32_t textureStretch = 10;
  bool textureHideCracks = false;
};

// Checks what the geometry relies on, before a pipeline run: every whole number within what its
// control can give (the resolution even), every length finite and far inside the float range,
// the sizes that divide positive. A RangeError names the first field that fails.
void CheckSettings(const TSettings& settings);

// A colour as the program stores it: red + 256 x green + 65536 x blue.
constexpr uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b) { return r | (g << 8) | (b << 16); }
