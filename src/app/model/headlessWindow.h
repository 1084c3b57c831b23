#pragma once
// A main window without a screen, for the command-line program and the tests: the state
// record, every control as a plain value and the window logic wired to them.

#include "appState.h"
#include "controlStore.h"
#include "mainWindowModel.h"

struct THeadlessWindow {
  TAppState app;
  TControlStore controls;
  TMainWindowModel window{controls, app};
};
