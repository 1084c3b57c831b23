#pragma once
// What a frame reads besides the settings record, the model and the camera: the states of the
// controls that only change the look, taken fresh at every frame. Plain data, no Qt, no GL.

#include <cstdint>

// Which world axis points up on the screen ("X up", "Z up", "Y up").
enum class TUpAxis : uint8_t { kX, kZ, kY };

// The tile and sub-pixel state of an image export; outside an export n is 0 and a at most 1.
struct TExportTile {
  int32_t tileCount = 0;    // n: the image is cut into n x n tiles
  int32_t tileX = 1;        // current tile column, 1-based
  int32_t tileY = 1;        // current tile row, 1-based (1 = bottom)
  int32_t sampleCount = 1;  // a: samples per pixel (jittered renderings)
  double jitterX = 0, jitterY = 0;  // current sub-pixel offset in pixels
  // The read-back part of the panel (its bottom-left corner); 0: the whole panel. Tiles step by
  // it, not by the panel, so that the pixels left unread at a tile's edge are the next tile's.
  int32_t readW = 0, readH = 0;
};

struct TSceneInputs {
  bool showSurfaces = true;        // "surfaces" under the view
  bool showMeshLines = false;      // "mesh" under the view
  uint32_t backgroundTop = 0;      // sh_background
  uint32_t backgroundBottom = 0;   // sh_background2
  uint32_t specular = 0;           // sh_specular "Reflection"
  int32_t shininess = 100;         // ud_shininess "Roughn."
  int32_t lineWidth = 1;           // ud_linewidth
  bool skyStandard = false;        // "On sky": "Use standard"
  bool skyRacing = true;           // "On sky": "Use racing"
  int32_t focalLength = 50;        // ud_foc_length
  bool isometric = false;          // cb_iso
  TUpAxis upAxis = TUpAxis::kZ;    // rb_x / rb_y / rb_z
  int32_t lightLeftRight = 10;     // ud_lr_light, degrees
  int32_t lightUpDown = 25;        // ud_ud_light, degrees
  bool lightFixedToWorld = false;  // cb_world_light
  bool directionalLight = true;    // cb_dir_light (hidden)
  TExportTile tile;
};
