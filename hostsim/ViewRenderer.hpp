// The "current view" of the simulated host: a picture the user names, or a building scene hostsim draws.
#pragma once

#include <string>

#include "Jpeg.hpp"

namespace hostsim {

// Draws hostsim's own view at width x height: a two-storey building in two-point perspective with sky,
// clouds, lawn, path, trees, windows and a hipped roof. Deterministic for a given size; surfaces carry a
// little texture so that its JPEG has the size of a real rendering.
RgbImage RenderBuildingScene(int width, int height);

// The view at the window size: the JPEG at `viewFile` scaled to width x height, or the building scene when
// viewFile is empty. Returns false with *error saying why when the file cannot be read or decoded.
bool RenderView(const std::string& viewFile, int width, int height, RgbImage* view, std::string* error);

}  // namespace hostsim
