#pragma once
// The recompute pipeline: parse, lay out, mesh, centre, texture coordinates.

#include <string>

#include "appState.h"
#include "mesh/buildMesh.h"

// Runs the pipeline on `text` into `model`. `settings` may be changed (tJoints is cleared when
// the lay-out cannot carry T-joints). torusShow: the torus "Show" box is checked.
// Range errors of the model propagate; the model keeps the state it had reached.
// buildMesh false stops after the lay-out and the model centre: the mesh, the link lines and
// the texture coordinates are left as they were. sizeHook is told the size of each mesh build.
void RunPipeline(const std::string& text, TSeiffert& model, TSettings& settings, TAppState& app,
                 bool torusShow = false, bool buildMesh = true,
                 const TMeshSizeHook& sizeHook = nullptr);

// The surface picture's texture coordinates on model's mesh, from the band settings and the
// surface texture's size.
void ComputeSurfaceTexCoords(TSeiffert& model, const TSettings& settings,
                             const TTextureRecord& texture);

// What the user should know about the last run, or "": "Flat DT" fell back to the flat lay-out
// (and why), or the "Double knot" width asked for was more than the bands carry and the knot
// was drawn narrower.
std::string PipelineNote(const TAppState& app);
