#include "controlTable.h"

#include <algorithm>
#include <string>
#include <unordered_map>

#include "core/settings.h"

namespace {

using enum TControlKind;
using enum TControlPage;
using H = THandler;

constexpr int32_t kWhite = static_cast<int32_t>(Rgb(255, 255, 255));
constexpr int32_t kSilver = static_cast<int32_t>(Rgb(192, 192, 192));
constexpr int32_t kGrey = static_cast<int32_t>(Rgb(128, 128, 128));

// Row builders, one per kind, so that each row below reads like the window definition.
constexpr TControlDef Base(std::string_view name, std::string_view caption, TControlKind kind,
                           TControlPage page, std::string_view group) {
  TControlDef d{};
  d.name = name;
  d.caption = caption;
  d.kind = kind;
  d.page = page;
  d.group = group;
  return d;
}

constexpr TControlDef UD(std::string_view name, std::string_view caption, TControlPage page,
                         std::string_view group, int32_t min, int32_t max, int32_t start,
                         THandler handler, int32_t increment = 1) {
  TControlDef d = Base(name, caption, kUpDown, page, group);
  d.min = min;
  d.max = max;
  d.start = start;
  d.handler = handler;
  d.increment = increment;
  return d;
}

constexpr TControlDef CB(std::string_view name, std::string_view caption, TControlPage page,
                         std::string_view group, bool checked, THandler handler) {
  TControlDef d = Base(name, caption, kCheckBox, page, group);
  d.min = 0;
  d.max = 1;
  d.start = checked ? 1 : 0;
  d.handler = handler;
  return d;
}

constexpr TControlDef RB(std::string_view name, std::string_view caption, TControlPage page,
                         std::string_view group, std::string_view radioGroup, bool checked,
                         THandler handler) {
  TControlDef d = CB(name, caption, page, group, checked, handler);
  d.kind = kRadioButton;
  d.radioGroup = radioGroup;
  return d;
}

constexpr TControlDef TB(std::string_view name, std::string_view left, std::string_view right,
                         TControlPage page, std::string_view group, int32_t min, int32_t max,
                         int32_t start, int32_t ticks) {
  TControlDef d = Base(name, left, kTrackBar, page, group);
  d.caption2 = right;
  d.min = min;
  d.max = max;
  d.start = start;
  d.increment = ticks;
  d.handler = H::tb_SliderChange;
  return d;
}

constexpr TControlDef ED(std::string_view name, std::string_view caption, TControlPage page,
                         std::string_view group, std::string_view text) {
  TControlDef d = Base(name, caption, kEdit, page, group);
  d.startText = text;
  return d;
}

constexpr TControlDef SW(std::string_view name, std::string_view caption, TControlPage page,
                         std::string_view group, int32_t colour, THandler handler) {
  TControlDef d = Base(name, caption, kColorSwatch, page, group);
  d.start = colour;
  d.handler = handler;
  return d;
}

constexpr TControlDef BT(std::string_view name, std::string_view caption, TControlPage page,
                         std::string_view group, THandler handler) {
  TControlDef d = Base(name, caption, kButton, page, group);
  d.handler = handler;
  return d;
}

constexpr TControlDef TG(std::string_view name, std::string_view caption, TControlPage page,
                         std::string_view group, THandler handler) {
  TControlDef d = BT(name, caption, page, group, handler);
  d.kind = kToggleButton;
  return d;
}

constexpr TControlDef Other(std::string_view name, std::string_view caption, TControlKind kind,
                            TControlPage page, std::string_view group) {
  return Base(name, caption, kind, page, group);
}

constexpr TControlDef LB(std::string_view name, std::string_view caption, TControlPage page,
                         std::string_view group) {
  return Other(name, caption, kLabel, page, group);
}

constexpr TControlDef Hidden(TControlDef d) {
  d.hidden = true;
  return d;
}

constexpr TControlDef Hint(TControlDef d, std::string_view hint) {
  d.hint = hint;
  return d;
}

constexpr std::string_view kFilterItems[] = {"Box", "Quadratic", "B-spline", "Mitchell",
                                             "Lanczos"};

// The knot-table list is filled at start-up from the knot table; the window definition holds
// no entries.
constexpr TControlDef DD(std::string_view name, std::string_view caption, TControlPage page,
                         std::string_view group, std::span<const std::string_view> items,
                         int32_t index, THandler handler) {
  TControlDef d = Base(name, caption, kDropDown, page, group);
  d.items = items;
  d.start = index;
  d.handler = handler;
  return d;
}

constexpr TControlDef Horizontal(TControlDef d) {
  d.horizontal = true;
  return d;
}

constexpr std::string_view kShading = "Shading";
constexpr std::string_view kShapeControl = "Shape control";
constexpr std::string_view kProjection = "Projection";
constexpr std::string_view kStyle = "Style";
constexpr std::string_view kObsolete = "Obsolete";
constexpr std::string_view kMeshGroup = "Mesh ";
constexpr std::string_view kObsoleteFeatures = "Obsolete features";
constexpr std::string_view kDynamic = "Dynamic smoothing";
constexpr std::string_view kPresets = "Preset knots";
constexpr std::string_view kStackedRow = "Stacked lay-out:";
constexpr std::string_view kFlatRow = "Flat lay-out:";
constexpr std::string_view kRepulsion = "Repulsion:";
constexpr std::string_view kTorus = "Torus";
constexpr std::string_view kLight = "Light";
constexpr std::string_view kImage = "Image";
constexpr std::string_view kRide = "Knot Roller Coaster";
constexpr std::string_view kTexture = "Texture";
constexpr std::string_view kRace = "Race control";
constexpr std::string_view kFilter = "Image filter (save/copy)";
constexpr std::string_view kLayoutGroup = "layout";
constexpr std::string_view kAxisGroup = "axis";

constexpr std::string_view kFootprintHint = "Percentage of natural footprint";

const TControlDef kTable[] = {
    // Page "Main".
    Other("pb_braid", "Braid", kPaintBox, kMain, ""),
    Hint(ED("ed_braid", "", kMain, "", "AbAb"),
         "Braid word, Enter to build: A, B, C... cross strands 1-2, 2-3, 3-4...; upper case = over, lower case = under; a digit after a letter = that many half twists (A3)"),
    Hint(ED("ed_code", "", kMain, "", ""),
         "Knot code, Enter to build its diagram's surface (lay-out Diagram), as KnotInfo writes them: DT 4 6 2 or [4;6;2], PD X[1,5,2,4] X[3,1,4,6] X[5,3,6,2], signed Gauss -1 3 -2 1 -3 2 (a link {{1,-2},{-1,2}})"),
    BT("but_trefoil", "Trefoil", kMain, kPresets, H::PresetKnotClick),
    BT("but_figure8", "Figure 8", kMain, kPresets, H::PresetKnotClick),
    BT("but_hopf", "Hopf ring", kMain, kPresets, H::PresetKnotClick),
    BT("but_5foil", "5-foil", kMain, kPresets, H::PresetKnotClick),
    BT("but_6_2", "6_2", kMain, kPresets, H::PresetKnotClick),
    BT("but_6_1", "6_1", kMain, kPresets, H::PresetKnotClick),
    Hint(BT("but_unknot", "Unknot", kMain, kPresets, H::PresetKnotClick), "The simplest knot"),
    BT("but_tworings", "Two rings", kMain, kPresets, H::PresetKnotClick),
    BT("but_whitehead", "Whitehead", kMain, kPresets, H::PresetKnotClick),
    BT("but_4foil", "4-foil", kMain, kPresets, H::PresetKnotClick),
    BT("but_borromean", "Borromean", kMain, kPresets, H::PresetKnotClick),
    BT("but_7foil", "7-foil", kMain, kPresets, H::PresetKnotClick),
    BT("but_6_3", "6_3", kMain, kPresets, H::PresetKnotClick),
    BT("but_5_2", "5_2", kMain, kPresets, H::PresetKnotClick),
    BT("but_6foil", "6-foil", kMain, kPresets, H::PresetKnotClick),
    BT("but_p222", "P 2,2,2", kMain, kPresets, H::PresetKnotClick),
    BT("but_p135", "P 1,3,5", kMain, kPresets, H::PresetKnotClick),
    BT("but_p1m35", "P 1,-3,5", kMain, kPresets, H::PresetKnotClick),
    DD("cb_knottable", "", kMain, "", {}, -1, H::cb_knottableChange),
    LB("lab_stacked", "Stacked lay-out:", kMain, kStackedRow),
    BT("but_disks1", "Disks 1", kMain, kStackedRow, H::LayoutButtonClick),
    BT("but_disks2", "Disks 2", kMain, kStackedRow, H::LayoutButtonClick),
    BT("but_balls_stacked", "Balls", kMain, kStackedRow, H::LayoutButtonClick),
    LB("lab_flat", "Flat lay-out:", kMain, kFlatRow),
    BT("but_disks_flat", "Disks", kMain, kFlatRow, H::LayoutButtonClick),
    BT("but_balls_flat", "Balls", kMain, kFlatRow, H::LayoutButtonClick),
    BT("but_ribbons", "Ribbons", kMain, kFlatRow, H::LayoutButtonClick),
    BT("but_tubes", "Tubes", kMain, kFlatRow, H::LayoutButtonClick),
    BT("but_braid", "Braid", kMain, "", H::LayoutButtonClick),
    LB("lab_repulsion", "Repulsion:", kMain, kRepulsion),
    BT("but_weak", "Weak", kMain, kRepulsion, H::RepulsionClick),
    BT("but_strong", "Strong", kMain, kRepulsion, H::RepulsionClick),
    Hidden(BT("but_reset_view", "Reset View", kMain, "", H::ResetViewClick)),
    Hidden(BT("Button1", "Button1", kMain, "", H::kNone)),

    // Page "Display".
    CB("cbsmooth", "Smooth shading", kDisplay, kShading, false, H::ed_heightChange),
    SW("sh_specular", "Reflection", kDisplay, kShading, kGrey, H::sh_diffuseMouseDown),
    Hint(UD("ud_shininess", "Roughn.", kDisplay, kShading, 0, 1000, 100, H::ClickForceRedraw),
         "Roughness of the reflection: higher gives a smaller, sharper highlight"),
    SW("sh_background", "Background", kDisplay, kShading, kSilver, H::sh_diffuseMouseDown),
    SW("sh_background2", "Background", kDisplay, kShading, kSilver, H::sh_diffuseMouseDown),
    UD("ud_transp", "Transparency", kDisplay, kShading, 0, 100, 8, H::ed_ccsubChange),
    CB("cb_shmat1", "Show", kDisplay, kShading, true, H::ed_ccsubChange),
    CB("cb_shmat2", "Show", kDisplay, kShading, true, H::ed_ccsubChange),
    CB("cb_shmat3", "Show", kDisplay, kShading, true, H::ed_ccsubChange),
    SW("sh_col1", "Surfaces", kDisplay, kShading, kWhite, H::sh_col1MouseDown),
    SW("sh_col2", "Surfaces", kDisplay, kShading, kWhite, H::sh_col1MouseDown),
    SW("sh_col3", "Surfaces", kDisplay, kShading, kWhite, H::sh_col1MouseDown),
    SW("sh_col4", "Surfaces", kDisplay, kShading, kWhite, H::sh_col1MouseDown),
    SW("sh_col5", "Surfaces", kDisplay, kShading, kWhite, H::sh_col1MouseDown),
    SW("sh_col6", "Surfaces", kDisplay, kShading, kWhite, H::sh_col1MouseDown),
    SW("sh_col7", "Links", kDisplay, kShading, kWhite, H::sh_col1MouseDown),
    SW("sh_col8", "Links", kDisplay, kShading, kWhite, H::sh_col1MouseDown),
    SW("sh_col9", "Links", kDisplay, kShading, kWhite, H::sh_col1MouseDown),
    SW("sh_col10", "Links", kDisplay, kShading, kWhite, H::sh_col1MouseDown),
    SW("sh_col11", "Mesh", kDisplay, kShading, kWhite, H::sh_col1MouseDown),
    UD("ud_linewidth", "Width", kDisplay, kShading, 1, 100, 1, H::ed_ccsubChange),
    SW("sh_col12", "", kDisplay, kShading, kWhite, H::sh_col1MouseDown),
    BT("button22", "Gray", kDisplay, kShading, H::button22Click),
    BT("Button23", "Ramp", kDisplay, kShading, H::Button23Click),
    Hint(BT("but_fullscreen", "Hide controls", kDisplay, kShading, H::but_fullscreenClick),
         "Use ESC to get them back"),
    Hidden(CB("cb_shmat4", "Show", kDisplay, kShading, true, H::ed_heightChange)),
    Hidden(CB("cb_shmat5", "Show", kDisplay, kShading, true, H::ed_heightChange)),
    Hidden(CB("cb_shmat6", "Show", kDisplay, kShading, true, H::ed_heightChange)),
    Hidden(CB("cb_shmat7", "Show", kDisplay, kShading, true, H::ed_heightChange)),
    Hidden(LB("lab_showlinks", "Show", kDisplay, kShading)),
    TB("tb_smooth", "Sharp", "Smooth", kDisplay, kShapeControl, 0, 7, 0, 1),
    TB("tb_res", "Coarse", "Fine", kDisplay, kShapeControl, 0, 3, 1, 1),
    TB("tb_sphere", "Flat", "Sphere", kDisplay, kShapeControl, 0, 10, 0, 2),
    UD("ud_foc_length", "Focal length", kDisplay, kProjection, 5, 1000, 50, H::ed_ccsubChange),
    CB("cb_iso", "isometric", kDisplay, kProjection, false, H::ed_ccsubChange),
    CB("cb_autocenter", "auto center", kDisplay, kProjection, true, H::kNone),
    RB("rb_x", "X up", kDisplay, kProjection, kAxisGroup, false, H::rb_yClick),
    RB("rb_y", "Z up", kDisplay, kProjection, kAxisGroup, true, H::rb_yClick),
    RB("rb_z", "Y up", kDisplay, kProjection, kAxisGroup, false, H::rb_yClick),
    Hidden(BT("but_projreset", "Reset", kDisplay, kProjection, H::ResetViewClick)),

    // Page "Shape".
    UD("ud_diax", "Width", kShape, "Bands", 0, 200, 10, H::ed_heightChange),
    UD("ud_diay", "Height", kShape, "Bands", 0, 200, 10, H::ed_heightChange),
    Hint(UD("ud_shift", "Shift", kShape, "Bands", -20, 20, 10, H::ed_heightChange),
         "Shifts the band ends up and down the disk rims (tenths)"),
    Hint(UD("ud_tubecurve", "Curve", kShape, "Bands", 0, 10, 6, H::ed_heightChange),
         "How far the bands bulge out from the disks (tenths; 0 = straight)"),
    UD("ud_height", "Height", kShape, "Disks", 0, 100, 20, H::ed_heightChange),
    UD("ud_diameter", "Diameter", kShape, "Disks", 1, 200, 100, H::ed_heightChange),
    UD("ud_distance", "Distance", kShape, "Disks", 1, 200, 25, H::ed_heightChange),
    Hint(UD("ud_taper", "Taper", kShape, "Disks", -100, 200, 0, H::ed_heightChange),
         "Makes the disks of the stack narrower upwards (negative: downwards), in hundredths per disk"),
    UD("ud_linkdia", "Diameter", kShape, "Links", 1, 200, 4, H::ed_ccsubChange),
    UD("ud_linkoffset", "Offset", kShape, "Links", -40, 40, 0, H::ed_ccsubChange),
    UD("ud_knwidth", "Double knot, width:", kShape, kStyle, 0, 100, 0, H::ed_heightChange),
    CB("cb_tjoint", "with T-joints", kShape, kStyle, false, H::ed_heightChange),
    RB("rb_stacked", "Stacked", kShape, kStyle, kLayoutGroup, true, H::ed_heightChange),
    RB("rb_split", "Split, at:", kShape, kStyle, kLayoutGroup, false, H::ed_heightChange),
    RB("rb_flat2", "Reduced flat", kShape, kStyle, kLayoutGroup, false, H::ed_heightChange),
    RB("rb_flat", "Flat", kShape, kStyle, kLayoutGroup, false, H::ed_heightChange),
    Hint(RB("rb_diagram", "Diagram", kShape, kStyle, kLayoutGroup, false, H::ed_heightChange),
         "The canonical Seifert surface of the knot's diagram: one disk per Seifert circle"),
    UD("ud_split", "", kShape, kStyle, 0, 10, 2, H::ed_heightChange),
    Hidden(CB("cb_multitwist", "Multi-twist bands", kShape, kStyle, false, H::ed_ccsubChange)),
    Hidden(CB("cb_reduce", "Reduce", kShape, kStyle, false, H::ed_ccsubChange)),
    Hidden(CB("sh_construct", "Show construction", kShape, kStyle, false, H::ed_ccsubChange)),
    Hidden(RB("rb_flatdt", "Flat DT", kShape, kStyle, kLayoutGroup, false, H::ed_ccsubChange)),
    Hidden(UD("ud_smdt", "smdt", kShape, kObsolete, 0, 100, 0, H::ed_heightChange)),
    Hidden(CB("cb_autotwist", "autotwist", kShape, kObsolete, true, H::cb_autotwistClick)),
    Hidden(UD("ud_r1", "r1", kShape, kObsolete, -100, 100, 1, H::Edit5Change)),
    Hidden(UD("ud_r2", "r2", kShape, kObsolete, -100, 100, 1, H::Edit5Change)),
    Hidden(CB("cb_convexflat2", "Convex flat 2", kShape, kObsolete, true, H::ed_ccsubChange)),

    // Page "Mesh".
    UD("ud_subdiv", "Resolution", kMesh, kMeshGroup, 1, 30, 1, H::ed_heightChange),
    UD("ud_ccsub", "Catm. Clark", kMesh, kMeshGroup, 0, 10, 0, H::ed_heightChange),
    Hint(UD("ud_presmooth", "Presmooth", kMesh, kMeshGroup, 0, 100, 0, H::ed_heightChange),
         "Smoothing passes on the mesh before subdivision"),
    UD("ud_tuberes", "Tube extra", kMesh, kMeshGroup, -10, 10, 0, H::ed_heightChange),
    Hidden(BT("Button2", "Dump holes", kMesh, kMeshGroup, H::DumpHolesClick)),
    Hidden(UD("ud_smoothrot", "Smooth rot", kMesh, kObsoleteFeatures, 0, 10, 0,
              H::ed_ccsubChange)),
    Hidden(CB("cb_simple_morph", "simp morph", kMesh, kObsoleteFeatures, true,
              H::ed_ccsubChange)),
    Hidden(UD("ud_psnonbnd", "non-bnd", kMesh, kObsoleteFeatures, 0, 100, 0, H::ed_ccsubChange)),
    Hidden(UD("ud_minlinkseg", "Min link seg", kMesh, kObsoleteFeatures, 0, 30, 0,
              H::ed_heightChange)),
    Hidden(UD("ud_minsurf", "Minimal surface", kMesh, kObsoleteFeatures, 0, 2000, 0,
              H::ed_ccsubChange)),
    Hidden(CB("cb_beziertubes", "Bezier tubes", kMesh, kObsoleteFeatures, true,
              H::ed_ccsubChange)),
    Hidden(CB("cb_smoothdisks", "Smooth disks", kMesh, kObsoleteFeatures, true,
              H::ed_ccsubChange)),
    Hidden(CB("cb_smoothtubes", "Smooth tubes", kMesh, kObsoleteFeatures, true,
              H::ed_ccsubChange)),
    UD("ud_seniter", "#iterations", kMesh, kDynamic, 1, 30000, 10000, H::Edit9Change),
    UD("ud_krep", "Repulsion", kMesh, kDynamic, 0, 10000, 10, H::Edit9Change),
    UD("ud_sedt", "Time step", kMesh, kDynamic, 1, 10000, 100, H::Edit9Change),
    UD("ud_hatr", "Attraction", kMesh, kDynamic, 0, 10000, 10, H::Edit9Change),
    Hint(UD("ud_beta", "beta", kMesh, kDynamic, -1, 6, 1, H::Edit9Change),
         "Smoothing: power of the edge attraction (force grows as length^(1+beta))"),
    Hint(UD("ud_alpha", "alpha", kMesh, kDynamic, 0, 6, 0, H::Edit9Change),
         "Smoothing: power of the knot repulsion (force falls as distance^-(2+alpha))"),
    Hint(UD("ud_rscale", "scale", kMesh, kDynamic, 100, -100, 2, H::Edit9Change),
         "Smoothing: the length unit of the forces, scale^2 times the mean edge"),
    Hint(UD("ud_damp", "decay", kMesh, kDynamic, 0, 100, 20, H::Edit9Change),
         "Smoothing: percentage of a knot vertex's velocity kept per step"),
    LB("lab_dynamic", "Dynamic", kMesh, kDynamic),
    CB("cb_simplemesh", "Alternative pole mesh", kMesh, kDynamic, true, H::kNone),
    CB("cb_reducedmesh", "Reduced mesh", kMesh, kDynamic, true, H::kNone),
    Hidden(UD("ud_noise", "Noise", kMesh, kDynamic, 0, 1000, 0, H::Edit9Change)),
    Hidden(UD("ud_pressure", "pressure", kMesh, kDynamic, 0, 10000, 0, H::Edit9Change)),
    Hidden(CB("cb_seshowintermediate", "Show intermediate results", kMesh, kDynamic, true,
              H::kNone)),
    Hidden(CB("cb_knotonly", "Apply only to knot", kMesh, kDynamic, false, H::kNone)),
    Hidden(CB("cb_checkcol", "Check collision", kMesh, kDynamic, true, H::Edit9Change)),
    // The time-step decay of the smoothing loop; its field is not on the page.
    Hidden(UD("ud_dtfac", "decay", kMesh, kDynamic, 0, 1000, 10, H::Edit9Change)),

    // Page "Misc.".
    UD("ud_tbig", "Winding", kMisc, kTorus, 1, 20, 2, H::ed_heightChange),
    UD("ud_tsmall", "X", kMisc, kTorus, 1, 20, 3, H::ed_heightChange),
    CB("cb_torus", "Show", kMisc, kTorus, false, H::ed_ccsubChange),
    BT("but_swap_torus", "Swap", kMisc, kTorus, H::TorusButtonClick),
    BT("but_show_torus", "Torus", kMisc, kTorus, H::TorusButtonClick),
    BT("but_show_band", "Band", kMisc, kTorus, H::TorusButtonClick),
    Horizontal(UD("ud_lr_light", "Left/right", kMisc, kLight, -90, 90, 10, H::ed_ccsubChange, 5)),
    UD("ud_ud_light", "Up/down", kMisc, kLight, -90, 90, 25, H::ed_ccsubChange, 5),
    CB("cb_world_light", "Fix to world", kMisc, kLight, false, H::cb_world_lightClick),
    Hidden(CB("cb_dir_light", "Directional light", kMisc, kLight, true, H::ClickForceRedraw)),
    ED("ed_winw", "Window", kMisc, kImage, ""),
    ED("ed_winh", "X", kMisc, kImage, ""),
    UD("ud_imgscale", "Scale", kMisc, kImage, 1, 100, 1, H::ud_imgscaleChange),
    LB("lab_imgscale", "", kMisc, kImage),
    UD("ud_antialias", "Anti-alias", kMisc, kImage, 1, 100, 5, H::ud_imgscaleChange),
    LB("lab_aa", "", kMisc, kImage),
    UD("ud_jpqual", "JPG qual", kMisc, kImage, 1, 100, 90, H::ud_imgscaleChange),
    CB("cb_jpg", "JPG", kMisc, kImage, true, H::kNone),
    BT("but_save", "Save image", kMisc, kImage, H::but_save_picClick),
    Hint(BT("but_copy", "Copy image", kMisc, kImage, H::but_save_picClick), "Ctrl-C"),
    Hint(BT("but_export_mesh", "Export mesh...", kMisc, kImage, H::but_export_meshClick),
         "The surface as STL (3-D printing), glTF, OBJ or PLY"),
    UD("ud_ilink", "Link", kMisc, kRide, 1, 100, 1, H::kNone),
    LB("lab_camera", "Camera", kMisc, kRide),
    BT("but_cam1", "1", kMisc, kRide, H::RideButtonClick),
    BT("but_cam2", "2", kMisc, kRide, H::RideButtonClick),
    BT("but_cam3", "3", kMisc, kRide, H::RideButtonClick),
    BT("but_cam4", "4", kMisc, kRide, H::RideButtonClick),
    TG("but_pause", "Pause", kMisc, kRide, H::RideButtonClick),
    Hint(TG("but_start_race", "START", kMisc, kRide, H::RideButtonClick), "F1"),
    BT("but_restart", "Restart", kMisc, kRide, H::RideButtonClick),
    BT("but_advanced", "Advanced...", kMisc, kRide, H::but_advancedClick),

    // The bar under the drawing panel.
    LB("lab_show", "Show:", kBottomBar, ""),
    CB("cb_showsurfaces", "surfaces", kBottomBar, "", true, H::cb_showlinksClick),
    CB("cb_showlinks", "links", kBottomBar, "", true, H::cb_showlinksClick),
    CB("cbshline", "mesh", kBottomBar, "", false, H::ClickForceRedraw),
    TG("but_sestart", "Smooth", kBottomBar, "", H::but_sestartClick),
    BT("Button6", "Refine", kBottomBar, "", H::Button6Click),
    BT("Button5", "Reset", kBottomBar, "", H::Button5Click),
    Hint(BT("but_fitview", "Fit view", kBottomBar, "", H::FitViewClick),
         "Fit the whole model into the view (F on the view)"),

    // The drawing panel and the hidden controls beside it.
    Other("GLPanel1", "", kGLPanel, kViewPanel, ""),
    Hidden(Other("Memo1", "", kMemo, kViewPanel, "")),
    Hidden(Other("rail_image", "", kPicture, kViewPanel, "")),
    Hidden(Other("sky_image", "", kPicture, kViewPanel, "")),
    Hidden(BT("but_x", "X", kViewPanel, "", H::kNone)),

    // The "Advanced options" window.
    UD("ud_twid", "Width", kAdvanced, kTexture, 0, 100, 5, H::ud_twidChange),
    UD("ud_toff", "Offset", kAdvanced, kTexture, -100, 100, 3, H::ud_twidChange),
    UD("ud_tstretch", "Stretch", kAdvanced, kTexture, 0, 1000, 10, H::ud_twidChange),
    LB("lab_onsurface", "On surface", kAdvanced, kTexture),
    CB("cb_texturemapped", "Use standard", kAdvanced, kTexture, false, H::cb_texturemappedClick),
    CB("cb_texturemappedrace", "Use racing", kAdvanced, kTexture, true,
       H::cb_texturemappedClick),
    BT("but_loadbitmap", "Load...", kAdvanced, kTexture, H::LoadPictureClick),
    CB("cb_texhidecracks", "Hide cracks", kAdvanced, kTexture, false, H::cb_texturemappedClick),
    CB("cb_texonmesh", "Mesh", kAdvanced, kTexture, false, H::cb_texturemappedClick),
    LB("lab_onsky", "On sky", kAdvanced, kTexture),
    CB("cb_useskystand", "Use standard", kAdvanced, kTexture, false, H::cb_texturemappedClick),
    CB("cb_useskyrace", "Use racing", kAdvanced, kTexture, true, H::cb_texturemappedClick),
    BT("Button26", "Load...", kAdvanced, kTexture, H::LoadPictureClick),
    UD("ud_roll", "Roll", kAdvanced, kRace, -180, 180, 90, H::kNone, 5),
    UD("ud_pitch", "Pitch", kAdvanced, kRace, -180, 180, 0, H::kNone, 5),
    UD("ud_yaw", "Yaw", kAdvanced, kRace, -180, 180, 0, H::kNone, 5),
    LB("lab_racecamera", "Camera", kAdvanced, kRace),
    UD("ud_ud", "Up/down", kAdvanced, kRace, -180, 180, 5, H::kNone),
    UD("ud_bf", "Back/front", kAdvanced, kRace, -180, 180, 10, H::kNone),
    UD("ud_lr", "Left/right", kAdvanced, kRace, -180, 180, -5, H::kNone),
    UD("ud_speed", "Velocity", kAdvanced, kRace, -100, 100, 10, H::kNone),
    UD("ud_acc", "Accelerate", kAdvanced, kRace, -100, 100, 30, H::kNone),
    Hint(UD("ud_blur", "Blur", kAdvanced, kFilter, 0, 1000, 100, H::kNone, 5), kFootprintHint),
    Hint(DD("cb_filter", "Filter", kAdvanced, kFilter, kFilterItems, 0, H::kNone),
         kFootprintHint),
    Hint(UD("ud_jitter", "Jitter", kAdvanced, kFilter, 0, 1000, 100, H::kNone, 5),
         "Percentage random subpixel jittering"),
    Hint(UD("ud_seed", "Seed", kAdvanced, kFilter, 0, 1000, 0, H::kNone), kFootprintHint),
};

}  // namespace

std::span<const TControlDef> ControlTable() { return kTable; }

const TControlDef* FindControl(std::string_view name) {
  static const auto* const index = [] {
    auto* m = new std::unordered_map<std::string_view, const TControlDef*>();
    for (const TControlDef& d : kTable) m->emplace(d.name, &d);
    return m;
  }();
  const auto it = index->find(name);
  return it == index->end() ? nullptr : it->second;
}

std::string_view PageCaption(TControlPage page) {
  switch (page) {
    case kMain: return "Main";
    case kDisplay: return "Display";
    case kShape: return "Shape";
    case kMesh: return "Mesh";
    case kMisc: return "Misc.";
    case kBottomBar: return "bottom bar";
    case kViewPanel: return "drawing panel";
    case kAdvanced: return "Advanced options";
  }
  return "";
}

int32_t RangeLow(const TControlDef& def) { return std::min(def.min, def.max); }
int32_t RangeHigh(const TControlDef& def) { return std::max(def.min, def.max); }

std::string ControlTitle(const TControlDef& def) {
  const std::string_view c = def.caption;
  if (c.empty()) return std::string(def.name);
  const bool number =
      std::all_of(c.begin(), c.end(), [](char ch) { return ch >= '0' && ch <= '9'; });
  std::string title;
  if (number && def.name.starts_with("but_cam")) {
    title.append("Camera ").append(c);
    return title;
  }
  // A bare number says which control it is only together with its group.
  if (number) title.append(def.group).append(" ");
  title.append("\"").append(c).append("\"");
  return title;
}
