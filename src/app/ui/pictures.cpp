#include "pictures.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPolygonF>

#include <algorithm>
#include <cmath>
#include <vector>

#include "app/model/headlessWindow.h"
#include "core/builtinPictures.h"
#include "controlWidgets.h"
#include "surface/seifert.h"

namespace {

// World to eye coordinates (x right, y up, z towards the viewer). The stack of disks runs
// along the world z axis; it is turned to run across the picture, leaning towards the viewer,
// so that the disks show as wide ellipses side by side.
struct TCamera {
  Vec3 ex, ey, ez;  // the eye images of the world axes
  Vec3 centre;
  Vec3 Eye(const Vec3& v) const {
    const Vec3 d = v - centre;
    return ex * d.x + ey * d.y + ez * d.z;
  }
};

TCamera MakeCamera(const Vec3& centre) {
  TCamera cam;
  cam.ez = Vec3(0.85, 0.4, 0.4).Normalised();
  cam.ex = Vec3(0, 1, 0).Cross(cam.ez).Normalised();
  cam.ey = cam.ez.Cross(cam.ex);
  cam.centre = centre;
  return cam;
}

QColor Shade(uint32_t color, double diffuse, double specular) {
  const QColor c = ToQColor(color);
  auto channel = [&](int v) {
    const double lit = v * (0.45 + 0.60 * diffuse) + 255.0 * 0.30 * specular;
    return std::clamp(static_cast<int>(std::lround(lit)), 0, 255);
  };
  return QColor(channel(c.red()), channel(c.green()), channel(c.blue()));
}

struct TPrimitive {
  double depth;     // larger is nearer
  bool isLine;
  QPolygonF points;
  QColor color;
};

bool Finite(const Vec3& p) {
  return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
}

}  // namespace

QImage MakeSplashPicture(const TSeiffert& model, const std::array<uint32_t, 12>& colors) {
  QImage image(400, 300, QImage::Format_RGB32);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);

  QLinearGradient sky(0, 0, 0, 300);
  sky.setColorAt(0, QColor(36, 44, 62));
  sky.setColorAt(1, QColor(118, 130, 156));
  p.fillRect(image.rect(), sky);

  const TMesh& mesh = model.mesh;
  const int32_t nVerts = std::min<int32_t>(mesh.nVerts, static_cast<int32_t>(mesh.verts.size()));
  const int32_t nFaces = std::min<int32_t>(mesh.nFaces, static_cast<int32_t>(mesh.faces.size()));

  // The box of the used vertices gives the centre and the scale.
  Vec3 lo(1e30, 1e30, 1e30), hi(-1e30, -1e30, -1e30);
  for (int32_t f = 0; f < nFaces; ++f)
    for (int32_t v : mesh.faces[f].v) {
      if (v < 0 || v >= nVerts) continue;
      const Vec3& q = mesh.verts[v].pos;
      if (!Finite(q)) continue;
      lo = Vec3(std::min(lo.x, q.x), std::min(lo.y, q.y), std::min(lo.z, q.z));
      hi = Vec3(std::max(hi.x, q.x), std::max(hi.y, q.y), std::max(hi.z, q.z));
    }

  const QRectF picture(20, 18, 360, 200);  // where the surface goes, above the name
  if (lo.x <= hi.x) {
    const TCamera cam = MakeCamera((lo + hi) * 0.5);

    // Fit the projected box into the picture area.
    double minX = 1e30, maxX = -1e30, minY = 1e30, maxY = -1e30;
    for (int32_t f = 0; f < nFaces; ++f)
      for (int32_t v : mesh.faces[f].v) {
        if (v < 0 || v >= nVerts) continue;
        const Vec3 e = cam.Eye(mesh.verts[v].pos);
        if (!Finite(e)) continue;
        minX = std::min(minX, double(e.x));
        maxX = std::max(maxX, double(e.x));
        minY = std::min(minY, double(e.y));
        maxY = std::max(maxY, double(e.y));
      }
    const double span = std::max({maxX - minX, maxY - minY, 1e-9});
    const double scale =
        std::min(picture.width() / std::max(maxX - minX, 1e-9 * span),
                 picture.height() / std::max(maxY - minY, 1e-9 * span));
    const QPointF mid = picture.center();
    const double cx = (minX + maxX) / 2, cyy = (minY + maxY) / 2;
    auto screen = [&](const Vec3& e) {
      return QPointF(mid.x() + (e.x - cx) * scale, mid.y() - (e.y - cyy) * scale);
    };

    const Vec3 light = Vec3(-0.3, 0.5, 1.0).Normalised();
    const Vec3 halfway = (light + Vec3(0, 0, 1)).Normalised();
    std::vector<TPrimitive> prims;
    prims.reserve(static_cast<size_t>(nFaces));
    for (int32_t f = 0; f < nFaces; ++f) {
      const TFace& face = mesh.faces[f];
      Vec3 e[4];
      bool ok = true;
      for (int k = 0; k < 4; ++k) {
        const int32_t v = face.v[k];
        if (v < 0 || v >= nVerts) {
          ok = false;
          break;
        }
        e[k] = cam.Eye(mesh.verts[v].pos);
        ok = ok && Finite(e[k]);
      }
      if (!ok) continue;
      Vec3 n = (e[2] - e[0]).Cross(e[3] - e[1]).Normalised();
      // The side that faces the viewer picks the colour: front (counter-clockwise on the
      // screen) or back, as the drawing panel's two-sided lighting does.
      const bool front = n.z >= 0;
      if (!front) n = -n;
      const int kind = std::clamp(face.kind, 0, 2);
      const uint32_t color = colors[static_cast<size_t>(2 * kind + (front ? 1 : 0))];
      const double diffuse = std::max(0.0, n.Dot(light));
      const double specular = std::pow(std::max(0.0, n.Dot(halfway)), 24);
      TPrimitive prim{(e[0].z + e[1].z + e[2].z + e[3].z) / 4, false, {}, Shade(color, diffuse, specular)};
      for (const Vec3& q : e) prim.points << screen(q);
      prims.push_back(std::move(prim));
    }
    // The knot: its segments join the sort a little in front of the faces they border.
    const double bias = 0.01 * std::max({hi.x - lo.x, hi.y - lo.y, hi.z - lo.z});
    for (int32_t i = 0; i < model.nLinks && i < static_cast<int32_t>(model.links.size()); ++i) {
      const TLinkLine& line = model.links[i];
      const int32_t n = std::min<int32_t>(line.nVerts, static_cast<int32_t>(line.verts.size()));
      const QColor color = ToQColor(colors[static_cast<size_t>(6 + i % 4)]);
      for (int32_t k = 0; k < n; ++k) {
        const int32_t a = line.verts[k], b = line.verts[(k + 1) % n];
        if (a < 0 || a >= nVerts || b < 0 || b >= nVerts) continue;
        const Vec3 ea = cam.Eye(mesh.verts[a].pos), eb = cam.Eye(mesh.verts[b].pos);
        if (!Finite(ea) || !Finite(eb)) continue;
        TPrimitive prim{(ea.z + eb.z) / 2 + bias, true, {}, color};
        prim.points << screen(ea) << screen(eb);
        prims.push_back(std::move(prim));
      }
    }
    std::stable_sort(prims.begin(), prims.end(),
                     [](const TPrimitive& a, const TPrimitive& b) { return a.depth < b.depth; });
    for (const TPrimitive& prim : prims) {
      if (prim.isLine) {
        p.setPen(QPen(prim.color.darker(115), 3.2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(prim.points[0], prim.points[1]);
      } else {
        // An outline in the fill colour closes the hairline gaps between neighbours.
        p.setPen(QPen(prim.color, 0.8));
        p.setBrush(prim.color);
        p.drawPolygon(prim.points);
      }
    }
  }

  p.setPen(QColor(236, 240, 248));
  QFont title(QStringLiteral("Sans Serif"));
  title.setPixelSize(40);
  title.setBold(true);
  p.setFont(title);
  p.drawText(QRectF(0, 222, 400, 46), Qt::AlignHCenter | Qt::AlignVCenter,
             QStringLiteral("Veltrane"));
  QFont small(QStringLiteral("Sans Serif"));
  small.setPixelSize(13);
  p.setFont(small);
  p.setPen(QColor(206, 214, 230));
  p.drawText(QRectF(0, 266, 400, 24), Qt::AlignHCenter | Qt::AlignVCenter,
             QStringLiteral("Seifert surfaces of knots and links"));
  return image;
}

QImage MakeStartSplashPicture() {
  THeadlessWindow w;
  w.window.StartUp();
  return MakeSplashPicture(w.app.Seifert, w.app.Settings.colors);
}

namespace {

QImage PictureImage(const TRgbPicture& picture) {
  QImage image(picture.width, picture.height, QImage::Format_RGB888);
  for (int y = 0; y < picture.height; ++y)
    std::copy_n(picture.rgb.data() + static_cast<size_t>(y) * picture.width * 3,
                static_cast<size_t>(picture.width) * 3, image.scanLine(y));
  return image;
}

}  // namespace

QImage MakeRailPicture() { return PictureImage(RailPicture()); }

QImage MakeSkyPicture() { return PictureImage(SkyPicture()); }
