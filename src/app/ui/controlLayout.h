#pragma once
// Places the widgets of the control panel into the pages of the main window and into the
// "Advanced options" window, following the table's pages and groups: one group box per group,
// caption and field side by side, buttons and short check boxes in rows. Hidden controls are
// kept in a hidden holder of their group; a group whose controls are all hidden is a hidden
// group box.

#include "app/model/controlTable.h"

class QWidget;
class TQtControlPanel;

// One page of the tab control (or the content of the "Advanced options" window), scrollable
// when taller than the window.
QWidget* BuildPage(TQtControlPanel& controls, TControlPage page, QWidget* parent);
