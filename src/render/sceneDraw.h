#pragma once
// The owner's side of the OpenGL panel: the one-time set-up and the frame. Plain OpenGL 1.1
// (fixed function), no Qt: the caller makes its context current before calling.

#include <functional>

#include "app/model/appState.h"
#include "sceneInputs.h"

// Display lists of the scene: 1 what is drawn ahead of the surfaces (the sky, lighting and
// material), 2 the link tubes and basis loops after them. The surfaces and mesh lines are
// drawn between the two from vertex arrays kept in app.sceneCache.
constexpr unsigned kSceneList = 1;
constexpr unsigned kSceneTubeList = 2;

// One-time set-up right after the context exists: lighting, depth test, texture parameters,
// two-sided lighting, the built-in surface and sky textures (lists 34 and 35, records in app);
// sets app.redrawDirty. The scene's other lists (app.sceneCache) are forgotten, not deleted:
// they belonged to the context before.
void GLPanel1GLInit(TAppState& app, int width, int height);

// The set-up without building lists 34 and 35, for another window's state in a context that
// did the whole set-up before (and ReleaseSceneLists since): the caller plays or builds the
// texture lists and sets the records. A frame afterwards draws what it would in a new context.
void GLPanel1GLInitWithoutTextures(TAppState& app, int width, int height);

// Deletes the link tubes' lists, empties lists 1 and 2 and the vertex arrays, before the
// context goes on to another window's state. The context must be current.
void ReleaseSceneLists(TAppState& app);

// One frame: clear, background gradient, camera and light, rebuild the scene when
// app.redrawDirty (calling readSettings first), draw it. Clears app.redrawDirty. Rebuilding
// fills the surfaces' vertex arrays, one draw per face kind, and compiles lists 1 and 2; each
// link tube has a list of its own, compiled again only when its chain, radius or ring changes.
// Floating-point faults inside the frame never escape; other errors do, with redrawDirty false.
void GLPanel1Redraw(TAppState& app, const TSceneInputs& in, int width, int height,
                    const std::function<void()>& readSettings);
