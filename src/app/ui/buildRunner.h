#pragma once
// A long mesh build on a worker thread while the window goes on drawing the surface on view:
// a progress box over the window with "Cancel" (Esc too), which blocks the controls until the
// build has ended.

#include <functional>

class QWidget;
class TBuildProgress;

// Runs `work` on a worker thread and returns once it has returned; a Cancel calls
// progress.Cancel(). Events are handled meanwhile: the window repaints.
void RunLongBuild(QWidget* parent, const std::function<void()>& work, TBuildProgress& progress);
