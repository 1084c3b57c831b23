#pragma once

#include <memory>
// A main window without a screen, for the command-line program and the tests: the state
// record, every control as a plain value and the window logic wired to them.

#include "core/bitmapFile.h"
#include "appState.h"
#include "controlStore.h"
#include "mainWindowModel.h"

struct THeadlessWindow {
  TAppState app;
  TControlStore controls;
  TMainWindowModel window{controls, app};
  // Pictures loaded as "Load..." loads them (surface, sky): made into textures, in place of
  // the built-in ones, once a drawing context exists.
  std::shared_ptr<const TRgbPicture> surfacePicture, skyPicture;
};
