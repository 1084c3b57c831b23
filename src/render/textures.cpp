#include "textures.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "core/rangeError.h"

void MakeTexture(const TRgbPicture& picture, unsigned list, TTextureRecord& record) {
  GLint maxSide = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSide);
  // Every driver takes 64; a context that answers nothing sensible gets that.
  const TTextureImage image = BuildTextureImage(picture, maxSide >= 64 ? maxSide : 64);
  glNewList(list, GL_COMPILE);
  glTexImage2D(GL_TEXTURE_2D, 0, 4, image.record.TexWidth, image.record.TexHeight, 0, GL_RGBA,
               GL_UNSIGNED_BYTE, image.rgba.data());
  glEndList();
  record = image.record;
  glCallList(list);
}

void UseTexture(unsigned list) { glCallList(list); }

void DrawSky(const TMesh& mesh, const TTextureRecord& sky, uint32_t bottomColour) {
  if (!sky.Loaded) return;
  const int64_t n = std::clamp<int64_t>(mesh.nVerts, 0, static_cast<int64_t>(mesh.verts.size()));
  if (n == 0) return;
  Vec3 lo = mesh.verts[0].pos, hi = lo;
  for (int64_t i = 1; i < n; ++i) {
    const Vec3& p = mesh.verts[static_cast<size_t>(i)].pos;
    lo = Vec3(std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z));
    hi = Vec3(std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z));
  }
  const Vec3 size = hi - lo;
  const double radius = 3 * std::max({double(size.x), double(size.y), double(size.z)});
  const Vec3 centre = (lo + hi) * 0.5;

  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_DECAL);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
  glCallList(kSkyTextureList);
  glPushMatrix();
  glTranslated(centre.x, centre.y, centre.z);
  glDisable(GL_LIGHTING);
  glEnable(GL_TEXTURE_2D);
  glColor3f(static_cast<float>(bottomColour & 0xFF) / 255,
            static_cast<float>((bottomColour >> 8) & 0xFF) / 255,
            static_cast<float>((bottomColour >> 16) & 0xFF) / 255);
  constexpr double pi = std::numbers::pi;
  constexpr int kAround = 24, kUp = 12;
  // Column k (may be fractional) of ring j, j = 0 the bottom pole and kUp the top one.
  const auto corner = [&](double k, int j) {
    const double phi = j * pi / kUp - pi / 2, theta = 2 * pi * k / kAround;
    glTexCoord2d(sky.SMax * (1 - k / kAround), sky.TMax * (1 - double(j) / kUp));
    glVertex3d(radius * std::cos(phi) * std::cos(theta), radius * std::cos(phi) * std::sin(theta),
               radius * std::sin(phi));
  };
  for (int i = 0; i < kAround; ++i) {
    glBegin(GL_QUAD_STRIP);
    for (int j = 1; j < kUp; ++j)
      for (int k : {i, i + 1}) corner(k, j);
    glEnd();
  }
  // At the poles a quad would have two corners in one place, and of its two triangles the one
  // left would stretch one edge's texture column across the whole sector, a star's ray each.
  // One triangle a sector instead, its pole corner taking the sector's middle column.
  glBegin(GL_TRIANGLES);
  for (int i = 0; i < kAround; ++i) {
    corner(i + 0.5, 0);
    corner(i + 1, 1);
    corner(i, 1);
    corner(i + 0.5, kUp);
    corner(i, kUp - 1);
    corner(i + 1, kUp - 1);
  }
  glEnd();
  glDisable(GL_TEXTURE_2D);
  glPopMatrix();
}
