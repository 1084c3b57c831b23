#pragma once
// Reads every control into the settings record, converting positions into model units.

#include "appState.h"
#include "controlPanel.h"

// The lay-out code of the radio buttons, tested in the order Flat, Reduced flat, Flat DT,
// Split; Stacked (0) when none of them is checked.
uint8_t LayoutCode(const TControlPanel& controls);

// Fills every field of app.Settings except alphaScale. Reads app's smoothed,
// meshForSmoothing and racing flags; changes nothing else.
void ReadSettings(const TControlPanel& controls, TAppState& app);
