#pragma once
// Reads the controls a frame needs besides the settings record: the show boxes under the
// view, the background and reflection colours, the camera and light controls. Taken fresh at
// every frame, so that these controls change the look without a recompute.

#include "controlPanel.h"
#include "render/sceneInputs.h"

// The export tile state is left at "no export" (it is not a control).
TSceneInputs ReadSceneInputs(const TControlPanel& controls);

// The up axis the "X up", "Z up", "Y up" buttons choose (all a mouse drag needs).
TUpAxis UpAxis(const TControlPanel& controls);
