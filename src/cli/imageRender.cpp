#include "imageRender.h"

#include <optional>
#include <stdexcept>

#include "app/model/exportControls.h"
#include "app/model/readSceneInputs.h"
#include "core/builtinPictures.h"
#include "core/imageFile.h"
#include "render/sceneDraw.h"
#include "render/textures.h"

void THeadlessPanel::Texture(const std::shared_ptr<const TRgbPicture>& picture,
                             const TRgbPicture& builtIn, unsigned list, THeld& held,
                             TTextureRecord& record) {
  if (held.built && held.picture == picture) {
    UseTexture(list);  // the texture image current as after building it
    record = held.record;
    return;
  }
  held.built = false;
  MakeTexture(picture ? *picture : builtIn, list, held.record);
  held.picture = picture;
  held.built = true;
  record = held.record;
}

void THeadlessPanel::Begin(THeadlessWindow& w) {
  const int width = gl.Width(), height = gl.Height();
  if (!setUp) {
    GLPanel1GLInit(w.app, width, height);
    surface = {true, nullptr, w.app.SurfaceTexture};
    sky = {true, nullptr, w.app.SkyTexture};
    setUp = true;
  } else {
    GLPanel1GLInitWithoutTextures(w.app, width, height);
    // The built-in pictures as the set-up builds them, unless the window's own replace them.
    if (!w.surfacePicture) Texture(nullptr, RailPicture(), kSurfaceTextureList, surface,
                                   w.app.SurfaceTexture);
    if (!w.skyPicture) Texture(nullptr, SkyPicture(), kSkyTextureList, sky, w.app.SkyTexture);
  }
  if (w.surfacePicture) {
    Texture(w.surfacePicture, RailPicture(), kSurfaceTextureList, surface, w.app.SurfaceTexture);
    w.window.TexturePictureLoaded(true);
  }
  if (w.skyPicture) {
    Texture(w.skyPicture, SkyPicture(), kSkyTextureList, sky, w.app.SkyTexture);
    w.window.TexturePictureLoaded(false);
  }
}

void THeadlessPanel::Release(THeadlessWindow& w) { ReleaseSceneLists(w.app); }

namespace {

// Runs `body` with a panel of panelW x panelH (`shared`, or a context of its own) readied for
// `w`, and the hooks that draw the window's frame in it.
template <typename TBody>
auto WithHeadlessPanel(THeadlessWindow& w, int panelW, int panelH, THeadlessPanel* shared,
                       TBody body) {
  const TExportSettings settings = ReadExportSettings(w.controls);
  // Refused before a context is made for it.
  int32_t readW = 0, readH = 0;
  ExportReadSize(panelW, panelH, settings.scale, readW, readH);
  std::optional<THeadlessPanel> own;
  if (shared && (shared->Width() != panelW || shared->Height() != panelH))
    throw std::logic_error("the shared drawing panel has another size");
  THeadlessPanel& panel = shared ? *shared : own.emplace(panelW, panelH);
  struct TReleased {
    THeadlessPanel& panel;
    THeadlessWindow& w;
    ~TReleased() { panel.Release(w); }
  };
  panel.Begin(w);
  const TReleased released{panel, w};
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

TRgbImage RenderHeadless(THeadlessWindow& w, int panelW, int panelH, TExportTimes* times,
                         THeadlessPanel* panel) {
  return WithHeadlessPanel(w, panelW, panelH, panel,
                           [&](const TExportSettings& s, const TImageExportHooks& hooks) {
                             return std::move(*RenderImage(s, panelW, panelH, hooks, times));
                           });
}

bool RenderImageFile(THeadlessWindow& w, int panelW, int panelH, const std::string& path,
                     const std::function<void(int64_t done, int64_t total)>& progress,
                     const std::function<bool()>& stop, THeadlessPanel* panel) {
  return WithHeadlessPanel(w, panelW, panelH, panel,
                           [&](const TExportSettings& s, TImageExportHooks hooks) {
                             hooks.progress = progress;
                             hooks.pump = stop;
                             return ExportImageFile(s, panelW, panelH, hooks, path,
                                                    w.controls.Position("ud_jpqual"));
                           });
}
