#pragma once
// The owner's side of the OpenGL panel: the one-time set-up and the frame. Plain OpenGL 1.1
// (fixed function), no Qt: the caller makes its context current before calling.

#include <functional>

#include "app/model/appState.h"
#include "sceneInputs.h"

// Display list that holds the whole scene.
constexpr unsigned kSceneList = 1;

// One-time set-up right after the context exists: lighting, depth test, texture parameters,
// two-sided lighting, the built-in surface and sky textures (lists 34 and 35, records in app);
// sets app.redrawDirty.
void GLPanel1GLInit(TAppState& app, int width, int height);

// One frame: clear, background gradient, camera and light, rebuild display list 1 when
// app.redrawDirty (calling readSettings first), play it. Clears app.redrawDirty.
// Floating-point faults inside the frame never escape; other errors do, with redrawDirty false.
void GLPanel1Redraw(TAppState& app, const TSceneInputs& in, int width, int height,
                    const std::function<void()>& readSettings);
