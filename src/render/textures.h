#pragma once
// Texture images in display lists and the sky dome. Plain OpenGL 1.1, no Qt: the caller makes
// its context current.

#include <cstdint>

#include "core/bitmapFile.h"
#include "core/textureImage.h"
#include "mesh/meshModel.h"

// Display lists that specify the surface and the sky texture image when played.
constexpr unsigned kSurfaceTextureList = 34;
constexpr unsigned kSkyTextureList = 35;

// Builds list `list` holding the texture image of `picture` (scaled down to the driver's
// largest texture side when needed), updates `record` and plays the list. A picture without
// pixels is a RangeError; then list and record stay as they were.
void MakeTexture(const TRgbPicture& picture, unsigned list, TTextureRecord& record);

// Plays texture list `list`, made by MakeTexture: its image becomes the current texture.
void UseTexture(unsigned list);

// The sky dome around the mesh (nothing when the sky texture is not loaded or the mesh has no
// vertices): a sphere of three times the mesh's largest extent, pole on the world z axis, the
// picture from the nadir (its bottom) to the zenith (its top). `bottomColour`: sh_background2.
void DrawSky(const TMesh& mesh, const TTextureRecord& sky, uint32_t bottomColour);
