// Placeholder until the scene drawing lands in this file.
#include "sceneDraw.h"
void GLPanel1GLInit(TAppState&, int, int) {}
void GLPanel1Redraw(TAppState&, const TSceneInputs&, int, int, const std::function<void()>&) {}
