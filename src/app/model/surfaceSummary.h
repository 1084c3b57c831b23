#pragma once
// What the window tells about the current surface at a glance: its size, its genus and
// whether it was smoothed or refined; and the box "Fit view" frames.

#include <string>

#include "appState.h"
#include "invariants/seifertForm.h"
#include "render/view.h"

// The genus of the Seifert surface laid out in `model`, from its Euler characteristic
// (disks minus bands) and its boundary curves (the traced link lines; a "Double knot" traces
// two per curve): each connected piece of genus g with b curves has 2 - 2g - b = chi.
// -1 when it cannot be told (no lay-out, no link lines, or counts that do not fit a surface).
int32_t SurfaceGenus(const TSeiffert& model);

// ", genus 2 (the knot's genus)" or ", genus 3 (the knot's is 2)" when the knot's genus is
// known (knotGenus >= 0), else ", genus 2"; "" for a surface whose genus cannot be told.
std::string GenusText(int32_t surfaceGenus, int32_t knotGenus);

// "V vertices, F faces, genus g", then ", smoothed" and ", refined ×k" when they apply; the
// genus is held against the knot's where that is known (knotGenus, -1 when not). The torus
// shows no genus: it is built as a tube, not from a lay-out; for windings with a common factor
// it names the torus link of which one component is shown (TorusDescription).
std::string SurfaceSummary(const TAppState& app, int32_t knotGenus = -1);

// The bounding box of the mesh's vertices (non-finite positions left out).
TBox MeshBox(const TMesh& mesh);

// The Seifert form of the surface on view: in the Diagram lay-out the canonical surface of the
// diagram it drew (its own loops, one per bounded face of the Seifert graph); in every other
// lay-out the braid surface of `braid`, which the stacked lay-out draws. RangeError as
// ComputeInvariants and ComputeDiagramInvariants.
TInvariants SurfaceInvariants(const TAppState& app, const std::string& braid);
// Which of the two SurfaceInvariants computes, and from what: equal keys, equal values.
std::string InvariantsKey(const TAppState& app, const std::string& braid);
