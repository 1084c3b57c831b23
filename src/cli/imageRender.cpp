#include "imageRender.h"

#include "app/model/exportControls.h"
#include "app/model/readSceneInputs.h"
#include "core/imageFile.h"
#include "render/offscreenContext.h"
#include "render/sceneDraw.h"
#include "render/textures.h"

namespace {

// Runs `body` with a context of panel size and the hooks that draw the window's frame in it.
template <typename TBody>
auto WithHeadlessPanel(THeadlessWindow& w, int panelW, int panelH, TBody body) {
  const TExportSettings settings = ReadExportSettings(w.controls);
  // Refused before a context is made for it.
  int32_t readW = 0, readH = 0;
  ExportReadSize(panelW, panelH, settings.scale, readW, readH);
  TOffscreenContext gl(panelW, panelH);
  GLPanel1GLInit(w.app, panelW, panelH);
  if (w.surfacePicture) {
    MakeTexture(*w.surfacePicture, kSurfaceTextureList, w.app.SurfaceTexture);
    w.window.TexturePictureLoaded(true);
  }
  if (w.skyPicture) {
    MakeTexture(*w.skyPicture, kSkyTextureList, w.app.SkyTexture);
    w.window.TexturePictureLoaded(false);
  }
  const TSceneInputs in = ReadSceneInputs(w.controls);
  TImageExportHooks hooks;
  hooks.drawFrame = [&](const TExportTile& tile) {
    TSceneInputs framed = in;
    framed.tile = tile;
    GLPanel1Redraw(w.app, framed, panelW, panelH, [&] { w.window.ReadSettings(); });
  };
  return body(settings, hooks);
}

}  // namespace

TRgbImage RenderHeadless(THeadlessWindow& w, int panelW, int panelH, TExportTimes* times) {
  return WithHeadlessPanel(w, panelW, panelH,
                           [&](const TExportSettings& s, const TImageExportHooks& hooks) {
                             return std::move(*RenderImage(s, panelW, panelH, hooks, times));
                           });
}

bool RenderImageFile(THeadlessWindow& w, int panelW, int panelH, const std::string& path,
                     const std::function<void(int64_t done, int64_t total)>& progress,
                     const std::function<bool()>& stop) {
  return WithHeadlessPanel(w, panelW, panelH,
                           [&](const TExportSettings& s, TImageExportHooks hooks) {
                             hooks.progress = progress;
                             hooks.pump = stop;
                             return ExportImageFile(s, panelW, panelH, hooks, path,
                                                    w.controls.Position("ud_jpqual"));
                           });
}
