#pragma once
// The "Advanced options" window: texture, ride and export-filter settings. A tool window on
// top of the main window, hidden until "Advanced..." is clicked; closing it only hides it.
// Its key presses reach the main window's key handler (the main window watches them).

#include <QWidget>

class TQtControlPanel;

class Tforma : public QWidget {
  Q_OBJECT
 public:
  explicit Tforma(QWidget* parent = nullptr);
  // Places the window's controls (made by the main window's control panel) into it.
  void Build(TQtControlPanel& controls);
};
