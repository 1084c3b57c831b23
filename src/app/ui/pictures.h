#pragma once
// The program's own pictures, drawn when the windows are made: the splash (a surface of the
// start knot with the program's name), the rail picture (the default surface texture) and
// the sky picture (the default sky).

#include <QImage>

#include <array>
#include <cstdint>

struct TSeiffert;

// 400 x 300: the mesh and link lines of `model`, seen from above at an angle, faces sorted
// back to front and shaded by their normals in the surface colours `colors` (sh_col1 ..
// sh_col12), over a dark ramp, with the name "Veltrane".
QImage MakeSplashPicture(const TSeiffert& model, const std::array<uint32_t, 12>& colors);

// The splash of the start knot: builds it headless, as the window starts.
QImage MakeStartSplashPicture();

// The built-in rail (64 x 64) and sky (512 x 256) pictures of core/builtinPictures.h.
QImage MakeRailPicture();
QImage MakeSkyPicture();

