#include "textureLoading.h"

#include <QFile>
#include <QFileDialog>


#include "app/model/appState.h"
#include "app/picture/pictureReader.h"
#include "glPanel.h"
#include "render/textures.h"

TRgbPicture ReadPictureFile(const QString& path) {
  return ReadTexturePicture(QFile::encodeName(path).toStdString());
}

std::optional<TRgbPicture> TTextureLoader::AskAndRead(QWidget* owner, bool surface,
                                                      const TFileChooser& choose) {
  const QString caption = surface ? QStringLiteral("Surface picture") : QStringLiteral("Sky picture");
  const QString filters = QStringLiteral(
      "Pictures (*.png *.jpg *.jpeg *.bmp);;PNG pictures (*.png);;JPEG pictures (*.jpg *.jpeg);;"
      "24-bit bitmaps (*.bmp);;All files (*)");
  const QString path = choose ? choose(owner, caption, filters)
                              : QFileDialog::getOpenFileName(owner, caption, QString(), filters);
  if (path.isEmpty()) return std::nullopt;
  return ReadPictureFile(path);
}

void TTextureLoader::Use(bool surface, TRgbPicture whole, TGLPanel* panel, TAppState& app) {
  // Only what a texture can show is kept (at most 1,048,576 pixels); it makes the same texture.
  TRgbPicture picture = TexturePicture(whole);
  whole = TRgbPicture();
  if (panel && panel->Active()) {
    panel->makeCurrent();
    struct TDone {
      TGLPanel* panel;
      ~TDone() { panel->doneCurrent(); }
    } done{panel};
    if (surface) MakeTexture(picture, kSurfaceTextureList, app.SurfaceTexture);
    else MakeTexture(picture, kSkyTextureList, app.SkyTexture);
  }
  (surface ? surfacePicture : skyPicture) = std::move(picture);
}

const TRgbPicture* TTextureLoader::Kept(bool surface) const {
  const std::optional<TRgbPicture>& kept = surface ? surfacePicture : skyPicture;
  return kept ? &*kept : nullptr;
}

void TTextureLoader::Reapply(TAppState& app) const {
  if (surfacePicture) MakeTexture(*surfacePicture, kSurfaceTextureList, app.SurfaceTexture);
  if (skyPicture) MakeTexture(*skyPicture, kSkyTextureList, app.SkyTexture);
}
