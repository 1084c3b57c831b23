#pragma once
// Everything the main window owns for the whole run: the settings record, the surface model,
// the camera and the flags that steer the recompute pipeline. One instance per window (and one
// in the command-line program's headless window).

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "core/settings.h"
#include "core/textureImage.h"
#include "core/vec3.h"
#include "diagram/linkDiagram.h"
#include "app/model/ride.h"
#include "knots/knotTable.h"
#include "render/sceneCache.h"
#include "render/view.h"
#include "surface/seifert.h"

struct TAppState {
  TSettings Settings;
  TSeiffert Seifert;
  TView View;
  Vec3 ModelCentre;

  bool recomputeSuspended = false;  // while a handler writes several controls in a row
  bool smoothed = false;            // dynamic smoothing ran on this knot: recomputes only re-mesh
  bool meshForSmoothing = false;    // the one recompute that prepares the mesh for smoothing
  bool splitGuard = false;
  bool torusShown = false;          // the last recompute built the torus, not the braid
  bool flatLayoutShown = false;     // the surface on view is a lay-out in a plane
  std::string layoutNote;           // why the last recompute fell back from "Flat DT", or ""
  TSplitRotation splitRotation;     // the split lay-out's stack rotations, in and out
  bool redrawDirty = false;
  bool meanEdgeValid = false;
  bool firstSmooth = true;
  bool smoothingRunning = false;
  bool racing = false;
  TRideState ride;                  // the roller coaster's car
  TRideControls rideControls;       // "Race control" values, read before every ride frame
  // While an export renders its tiles the ride holds still: every tile is drawn from this
  // camera, the car and its clock do not move.
  bool rideFrozen = false;
  std::array<double, 16> rideFrozenView{};
  bool exportCancel = false;
  int32_t refineCount = 0;
  int32_t refineSteps = 0;          // "Refine" steps the mesh on view has had (a smoothed mesh
                                    // keeps them through recomputes; refineCount does not)
  int32_t selectedKnotRow = 0;      // knot-table row, 0 = none
  // A knot typed into the "Code" field: the Diagram lay-out draws its diagram while the braid
  // field holds the word it held then; a word entered or a knot chosen afterwards ends it.
  struct TTypedCode {
    TPDCode pd;
    std::string text;   // as typed
    std::string braid;  // the braid field's word when it was entered
    std::string knot;   // the census knot whose diagram it is, "" for a code of the user's
  };
  std::optional<TTypedCode> typedCode;
  bool terminating = false;         // the window is closing: loops end, nothing is rebuilt
  double meanEdge = 0.01;           // the length unit of smoothing, valid with meanEdgeValid
  double maxMove = 0;               // largest step of the last smoothing iteration
  TKnotTable KnotTable;
  int32_t recomputeCount = 0;       // pipeline runs so far (lets tests count recomputes)
  // "Show loops": the surface's basis loops as closed chains of mesh vertices, drawn as thin
  // tubes that follow the vertices (empty outside the stacked and Diagram lay-outs).
  bool showLoops = false;
  std::vector<std::vector<int32_t>> loopPaths;
  int32_t highlightedLoops[2] = {-1, -1};  // drawn thicker (hovered loop or matrix entry)
  // The surface and sky textures as last built (display lists 34 and 35). Before the drawing
  // panel builds them, the surface record has the built-in rail picture's size, which the
  // texture coordinates use.
  TTextureRecord SurfaceTexture{64, 64, 64, 64, false, 1.0, 1.0};
  TTextureRecord SkyTexture;
  // What the drawing keeps between rebuilds of the scene list: the link tubes' lists and the
  // vertex arrays' storage.
  TSceneCache sceneCache;
};
