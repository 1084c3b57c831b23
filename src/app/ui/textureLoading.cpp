#include "textureLoading.h"

#include <QFile>
#include <QFileDialog>

#include <stdexcept>
#include <span>

#include "app/model/appState.h"
#include "glPanel.h"
#include "render/textures.h"

namespace {

// Far more than any picture a texture can show (it is scaled to 1,048,576 texels); a larger
// file is refused before it is read into memory.
constexpr qint64 kMaxPictureFileBytes = qint64{512} << 20;

std::string Name(const QString& path) { return "\"" + path.toStdString() + "\""; }

}  // namespace

TRgbPicture ReadPictureFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    throw std::runtime_error("Cannot open " + Name(path) + ": " + file.errorString().toStdString());
  if (file.size() > kMaxPictureFileBytes)
    throw std::runtime_error("Cannot load " + Name(path) + ": the file is larger than 512 MB");
  const QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError)
    throw std::runtime_error("Cannot read " + Name(path) + ": " + file.errorString().toStdString());
  return ReadBitmap24(std::span(reinterpret_cast<const uint8_t*>(bytes.constData()),
                                static_cast<size_t>(bytes.size())));
}

std::optional<TRgbPicture> TTextureLoader::AskAndRead(QWidget* owner, bool surface,
                                                      const TFileChooser& choose) {
  const QString caption = surface ? QStringLiteral("Surface picture") : QStringLiteral("Sky picture");
  const QString filters = QStringLiteral("24-bit bitmaps (*.bmp);;All files (*)");
  const QString path = choose ? choose(owner, caption, filters)
                              : QFileDialog::getOpenFileName(owner, caption, QString(), filters);
  if (path.isEmpty()) return std::nullopt;
  return ReadPictureFile(path);
}

void TTextureLoader::Use(bool surface, TRgbPicture picture, TGLPanel* panel, TAppState& app) {
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

void TTextureLoader::Reapply(TAppState& app) const {
  if (surfacePicture) MakeTexture(*surfacePicture, kSurfaceTextureList, app.SurfaceTexture);
  if (skyPicture) MakeTexture(*skyPicture, kSkyTextureList, app.SkyTexture);
}
