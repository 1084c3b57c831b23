#pragma once
// The program's own texture pictures, drawn in code when asked for: the rail picture (the
// default surface texture) and the sky picture (the default sky dome).

#include "bitmapFile.h"

// 64 x 64: a track along the picture's columns (two steel rails on wooden sleepers over
// ballast), with white margins left and right. The texture's edge columns are what the
// surface shows outside the band, and white leaves the surface its own colour there.
TRgbPicture RailPicture();

// 512 x 256: sky with clouds from the zenith (top row) to the horizon (middle row), ground
// below; seamless from the right edge to the left, as the dome wraps it around.
TRgbPicture SkyPicture();
