#pragma once
// The program's three windows, made in the order the program starts them: the splash, the
// "Advanced options" window, then the main window (whose making runs the start-up steps).

#include "advancedOptions.h"
#include "mainWindow.h"
#include "splash.h"

struct TDesktop {
  TForm2 splash;
  Tforma advanced;
  TForm1 main{splash, advanced};

  // The splash is the only window shown at start; its click shows the main window.
  void Show() { splash.show(); }
};
