#pragma once
// Every control of the main window and the "Advanced options" window, written once as data.
// The headless control store and the Qt windows are both built from this table, so names,
// captions, ranges, start values and handler bindings cannot drift apart between the two.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

enum class TControlKind : uint8_t {
  kUpDown,        // up-down with its edit field: a signed 16-bit position clamped to its range
  kCheckBox,
  kRadioButton,   // one of the buttons of `radioGroup`
  kTrackBar,
  kEdit,          // plain edit field: text only
  kColorSwatch,   // a shape whose brush colour is a setting; clicking it opens a colour dialog
  kButton,
  kToggleButton,  // stays down until clicked again (smoothing, the ride)
  kDropDown,
  kLabel,
  kPaintBox,
  kPicture,
  kMemo,
  kGLPanel,
};

enum class TControlPage : uint8_t {
  kMain,
  kDisplay,
  kShape,
  kMesh,
  kMisc,
  kBottomBar,   // "Show:" boxes and "Smooth", "Refine", "Reset" under the drawing panel
  kViewPanel,   // the drawing panel and the hidden controls beside it
  kAdvanced,    // the "Advanced options" window
};

// The event handler a control's change or click event runs. The names are the window's own
// handler names; buttons that share behaviour share a handler.
enum class THandler : uint8_t {
  kNone,
  ed_heightChange,       // Recompute
  ed_ccsubChange,        // RequestRedraw only
  ClickForceRedraw,      // RequestRedraw
  cb_showlinksClick,     // RequestRedraw
  rb_yClick,             // Recompute
  cb_autotwistClick,     // Recompute
  Edit5Change,           // Recompute unless splitGuard
  tb_SliderChange,       // shape presets, then Recompute
  Edit9Change,           // re-read the smoothing parameters
  sh_col1MouseDown,      // colour dialog; on OK Recompute
  sh_diffuseMouseDown,   // colour dialog; on OK RequestRedraw
  cb_world_lightClick,   // Recompute once the panel has made its textures
  cb_texturemappedClick, // Recompute once the panel has made its textures
  ud_twidChange,         // texture coordinates, then RequestRedraw
  ud_imgscaleChange,     // refresh the image size labels
  cb_knottableChange,    // load the chosen knot-table row
  LayoutButtonClick,     // "Disks 1" .. "Tubes", "Braid"
  PresetKnotClick,       // "Trefoil" .. "P 1,-3,5"
  RepulsionClick,        // "Weak", "Strong"
  Button5Click,          // "Reset" under the view
  button22Click,         // "Gray"
  Button23Click,         // "Ramp"
  ResetViewClick,        // hidden "Reset" of "Projection" and hidden "Reset View"
  but_sestartClick,      // "Smooth"
  Button6Click,          // "Refine"
  DumpHolesClick,        // hidden "Dump holes"
  TorusButtonClick,      // "Swap", "Torus", "Band"
  but_save_picClick,     // "Save image", "Copy image"
  but_export_meshClick,  // "Export mesh..."
  RideButtonClick,       // "START", "Pause", "Restart", camera "1".."4"
  but_advancedClick,     // "Advanced..."
  but_fullscreenClick,   // "Hide controls"
  LoadPictureClick,      // "Load..." of the surface and sky textures
  FitViewClick,          // "Fit view": needs the drawing panel's size
};

struct TControlDef {
  std::string_view name;      // component name, also the Qt objectName
  std::string_view caption;   // caption or label; for a track bar its left-hand label
  TControlKind kind;
  TControlPage page;
  std::string_view group;     // group box or label row on the page; "" for none
  int32_t min = 0;            // up-down and track bar range; an up-down's may be reversed
  int32_t max = 0;
  int32_t increment = 1;      // up-down step; a track bar's tick spacing
  int32_t start = 0;          // position, 0/1 checked, item index or colour of the window definition
  std::string_view startText; // text of an edit field in the window definition
  bool hidden = false;        // not shown (itself, or its group is hidden)
  std::string_view hint;
  THandler handler = THandler::kNone;
  std::string_view radioGroup;          // radio buttons of one group exclude each other
  std::string_view caption2;            // track bar: right-hand label
  std::span<const std::string_view> items;  // drop-down entries
  bool horizontal = false;              // up-down arrows point left and right
};

// The whole table, in page and group order.
std::span<const TControlDef> ControlTable();

// The row named `name`, or nullptr.
const TControlDef* FindControl(std::string_view name);

// Caption of a page tab ("Main", "Display", ...; the two non-page areas get a descriptive name).
std::string_view PageCaption(TControlPage page);

// How a message names the control: its caption in double quotes, or words of its own where
// the caption alone says nothing ("Camera 1" for the ride's camera button "1"; the name
// for a control without a caption).
std::string ControlTitle(const TControlDef& def);

// Lowest and highest position of an up-down or track bar (a reversed range is put in order).
int32_t RangeLow(const TControlDef& def);
int32_t RangeHigh(const TControlDef& def);
