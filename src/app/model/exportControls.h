#pragma once
// What the image export reads from the controls, and the save dialog's file-name rule.

#include <string>

#include "controlPanel.h"
#include "core/exportFilter.h"

// "Scale", "Anti-alias" (main window), "Filter", "Blur", "Jitter", "Seed" ("Advanced
// options"). A filter list with nothing selected counts as "Box".
TExportSettings ReadExportSettings(const TControlPanel& controls);

// The name the save dialog's answer is written to: `extension` (without its full stop) is
// added unless the name holds a full stop anywhere, in a folder name as well.
std::string WithDefaultExtension(const std::string& name, const std::string& extension);
