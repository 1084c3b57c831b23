#pragma once
// The `info` output: the lay-out and mesh summary as JSON (the documented format) or as a
// few lines of text.

#include <nlohmann/json.hpp>
#include <ostream>

#include "app/model/appState.h"

// Disks and bands are numbered from 1 as in the model; arrays keep the model's order.
nlohmann::ordered_json InfoJson(const TAppState& app);

void WriteInfoText(const TAppState& app, std::ostream& out);
