// The image export through the real frame in a surfaceless EGL context.

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/model/exportControls.h"
#include "app/model/headlessWindow.h"
#include "app/model/readSceneInputs.h"
#include "cli/cliRun.h"
#include "cli/imageRender.h"
#include "app/picture/pictureReader.h"
#include "fileHelpers.h"
#include "render/imageExport.h"
#include "render/offscreenContext.h"
#include "renderSupport.h"
#include "render/sceneDraw.h"

namespace {

// A panel whose sides are not multiples of 4, with a gradient behind the knot so that every
// row differs.
constexpr int kW = 203, kH = 150;

class ImageExport : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const std::string why = OpenGlWindow(gl, w, in, kW, kH); !why.empty()) FAIL() << why;
    w.controls.SetColor("sh_background2", 0x205080);
    in = ReadSceneInputs(w.controls);
    hooks.drawFrame = [this](const TExportTile& tile) {
      TSceneInputs framed = in;
      framed.tile = tile;
      ++frames;
      GLPanel1Redraw(w.app, framed, kW, kH, [this] { w.window.ReadSettings(); });
    };
  }

  std::unique_ptr<TOffscreenContext> gl;
  THeadlessWindow w;
  TSceneInputs in;
  TImageExportHooks hooks;
  int frames = 0;
};

TEST_F(ImageExport, OneSampleBoxIsTheWindowCroppedToMultiplesOfFour) {
  hooks.drawFrame(TExportTile{});
  const std::vector<uint8_t> window = gl->ReadPixels();  // top row first
  TExportSettings s;
  s.antialias = 1;
  s.jitter = 0;
  const std::optional<TRgbImage> image = RenderImage(s, kW, kH, hooks);
  ASSERT_TRUE(image);
  ASSERT_EQ(image->width, 200);
  ASSERT_EQ(image->height, 148);
  // The read-back starts at the bottom-left corner: the window's two top rows are cut.
  for (int y = 0; y < 148; ++y)
    for (int x = 0; x < 200; ++x)
      for (int c = 0; c < 3; ++c)
        ASSERT_EQ(image->rgb[(size_t(y) * 200 + x) * 3 + c],
                  window[(size_t(y + kH - 148) * kW + x) * 3 + c])
            << "pixel " << x << "," << y;
}

TEST_F(ImageExport, CancelledExportLeavesNoFileAndTheOldOneAsItWas) {
  TTempFolder folder;
  PutFile(folder / "old.png", "old");
  int pumps = 0;
  hooks.pump = [&] { return ++pumps == 2; };
  TExportSettings s;
  s.scale = 2;
  for (const char* name : {"old.png", "new.bmp", "new.jpg"}) {
    pumps = 0;
    frames = 0;
    EXPECT_FALSE(ExportImageFile(s, kW, kH, hooks, folder / name, 90));
    EXPECT_EQ(frames, 12) << "the export stops at the second pump, after 12 renderings";
  }
  EXPECT_EQ(ReadFile(folder / "old.png"), "old");
  EXPECT_EQ(Entries(folder.path), std::set<std::string>{"old.png"});
}

// The command line draws what the same export of a window draws: same scene code, same
// filter, same panel size.
TEST_F(ImageExport, CommandLineRenderEqualsTheWindowsExport) {
  w.controls.SetPosition("ud_imgscale", 2);
  w.controls.SetPosition("ud_antialias", 2);
  w.controls.SetItemIndex("cb_filter", 3);  // Mitchell
  const std::optional<TRgbImage> here =
      RenderImage(ReadExportSettings(w.controls), kW, kH, hooks);
  ASSERT_TRUE(here);
  THeadlessWindow other;
  other.window.StartUp();
  other.controls.SetColor("sh_background2", 0x205080);
  other.controls.SetPosition("ud_imgscale", 2);
  other.controls.SetPosition("ud_antialias", 2);
  other.controls.SetItemIndex("cb_filter", 3);
  const TRgbImage there = RenderHeadless(other, kW, kH);
  ASSERT_EQ(there.width, here->width);
  ASSERT_EQ(there.height, here->height);
  int worst = 0;
  for (size_t i = 0; i < there.rgb.size(); ++i)
    worst = std::max(worst, std::abs(int(there.rgb[i]) - int(here->rgb[i])));
  EXPECT_LE(worst, 1);
}


// Tiles step by the read-back size, so a tiled export is the bottom-left corner of one frame
// drawn at n times the panel's size, whatever the panel's sides are.
TEST(ImageExportTiles, TiledPictureIsTheLargeFrameForAnyPanelSize) {
  for (int side : {541, 542, 543})
    for (int n : {2, 3}) {
      SCOPED_TRACE(testing::Message() << side << " x " << side + 1 << " at Scale " << n);
      const int w = side, h = side + 1;
      TRgbImage tiled;
      {
        std::unique_ptr<TOffscreenContext> gl;
        THeadlessWindow win;
        TSceneInputs in;
        if (const std::string why = OpenGlWindow(gl, win, in, w, h); !why.empty()) FAIL() << why;
        win.controls.SetColor("sh_background2", 0x205080);
        in = ReadSceneInputs(win.controls);
        TImageExportHooks hooks;
        hooks.drawFrame = [&](const TExportTile& tile) {
          TSceneInputs framed = in;
          framed.tile = tile;
          GLPanel1Redraw(win.app, framed, w, h, [&] { win.window.ReadSettings(); });
        };
        TExportSettings s;
        s.scale = n;
        s.antialias = 1;
        s.jitter = 0;
        tiled = *RenderImage(s, w, h, hooks);
      }
      std::unique_ptr<TOffscreenContext> gl;
      THeadlessWindow win;
      TSceneInputs in;
      if (const std::string why = OpenGlWindow(gl, win, in, n * w, n * h); !why.empty()) FAIL() << why;
      win.controls.SetColor("sh_background2", 0x205080);
      in = ReadSceneInputs(win.controls);
      GLPanel1Redraw(win.app, in, n * w, n * h, [&] { win.window.ReadSettings(); });
      const std::vector<uint8_t> large = gl->ReadPixels();  // top row first
      ASSERT_EQ(tiled.width, n * (w / 4 * 4));
      ASSERT_EQ(tiled.height, n * (h / 4 * 4));
      // Both draw the same pixel grid; edges may round differently in a few pixels, while a
      // tile that skips pixels shifts every edge of its part.
      size_t differing = 0;
      for (int y = 0; y < tiled.height; ++y)
        for (int x = 0; x < tiled.width; ++x)
          for (int c = 0; c < 3; ++c) {
            const int a = tiled.rgb[(size_t(y) * tiled.width + x) * 3 + c];
            const int b = large[(size_t(y + n * h - tiled.height) * n * w + x) * 3 + c];
            if (std::abs(a - b) > 8) ++differing;
          }
      EXPECT_LE(differing, tiled.rgb.size() / 10000);
    }
}

// Work of minutes is announced on the command line whether or not its error stream is a
// terminal, and only a terminal gets the progress line; a stop from the test's hook ends the
// work early with nothing written, so the run stays short.
TEST(CliLongWork, AnnouncedAlwaysWithProgressOnATerminalOnly) {
  TTempFolder dir;
  std::string w650;
  for (int i = 0; i < 25; ++i) w650 += "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  const std::vector<std::vector<std::string>> longJobs = {
      {"info", w650, "--set", "ud_minsurf=2000"},
      {"render", "AbAb", "--scale", "12", "--antialias", "100", "-o", dir / "long.png"}};
  for (const auto& args : longJobs)
    for (const bool terminal : {false, true}) {
      SCOPED_TRACE(args[0] + (terminal ? " on a terminal" : ""));
      std::ostringstream out, err;
      int asked = 0;
      const int status = RunCli(args, out, err, terminal, [&] { return ++asked > 0; });
      EXPECT_EQ(status, 2);
      EXPECT_GT(asked, 0);
      const std::string text = err.str();
      EXPECT_EQ(text.rfind("warning: this will take about ", 0), 0u) << text;
      EXPECT_NE(text.find("stopped before the end"), std::string::npos) << text;
      EXPECT_EQ(text.find('\r') != std::string::npos, terminal) << text;
      EXPECT_EQ(out.str(), "");
      EXPECT_EQ(Entries(dir.path), std::set<std::string>{});
    }
  // Work of the start settings is neither announced nor, off a terminal, shown at all.
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"info"}, {"render", "-o", dir / "short.png"}}) {
    std::ostringstream out, err;
    EXPECT_EQ(RunCli(args, out, err, false), 0);
    EXPECT_EQ(err.str(), "");
  }
}

// Where another program finds the picture's content: the box of what differs from the
// background at its corners, as "W H X Y".
std::array<int, 4> ContentBox(const std::string& path) {
  const std::string command = "convert '" + path + "' -fuzz 8% -format '%@' info: 2>/dev/null";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  std::array<int, 4> box{};
  if (!pipe || std::fscanf(pipe.get(), "%dx%d+%d+%d", &box[0], &box[1], &box[2], &box[3]) != 4)
    ADD_FAILURE() << "no content box for " << path;
  return box;
}

// A lay-out in a plane renders from the oblique angle, fitted: it covers a good part of the
// picture and touches no edge; edge-on (--view front) the same lay-out is a line, and any
// standard view with --fit frames the whole model.
TEST(CliView, FlatLayoutsRenderObliqueAndFittedAndViewsAreChosenOnTheCommandLine) {
  TTempFolder dir;
  constexpr int kSide = 200;
  const auto render = [&](std::vector<std::string> extra, const std::string& name) {
    std::vector<std::string> args = {"render", "--width", std::to_string(kSide), "--height",
                                     std::to_string(kSide), "--antialias", "1", "-o",
                                     dir / name};
    args.insert(args.end(), extra.begin(), extra.end());
    std::ostringstream out, err;
    EXPECT_EQ(RunCli(args, out, err, false), 0) << err.str();
    return ContentBox(dir / name);
  };
  const auto inside = [&](const std::array<int, 4>& b) {
    return b[2] > 0 && b[3] > 0 && b[2] + b[0] < kSide && b[3] + b[1] < kSide;
  };
  for (const char* layout : {"flat", "reduced-flat", "split", "diagram"}) {
    SCOPED_TRACE(layout);
    const auto b = render({"--layout", layout}, std::string(layout) + ".png");
    EXPECT_GT(b[0], kSide / 2);
    EXPECT_GT(b[1], kSide / 5);
    EXPECT_GT(std::max(b[0], b[1]), kSide * 3 / 5);
    EXPECT_TRUE(inside(b)) << b[0] << "x" << b[1] << "+" << b[2] << "+" << b[3];
  }
  EXPECT_LT(render({"--layout", "flat", "--view", "front"}, "front.png")[1], kSide / 8);
  for (const char* view : {"top", "front", "side", "oblique"}) {
    SCOPED_TRACE(view);
    const auto b = render({"--knot", "5_2", "--view", view, "--fit"}, std::string(view) + ".png");
    EXPECT_GT(std::max(b[0], b[1]), kSide * 3 / 5);
    EXPECT_TRUE(inside(b));
  }
  // Single angles: --yaw 90 after --view front is the side view.
  EXPECT_EQ(render({"--view", "front", "--yaw", "90"}, "yaw.png"),
            render({"--view", "side"}, "side2.png"));
  std::ostringstream out, err;
  EXPECT_EQ(RunCli({"render", "--pitch", "nan", "-o", dir / "x.png"}, out, err, false), 2);
  EXPECT_EQ(RunCli({"render", "--view", "under", "-o", dir / "x.png"}, out, err, false), 2);
}

// render --texture and --sky read PNG and JPEG as "Load..." does, and refuse other files
// before any work with the reader's message.
TEST(CliView, TexturePicturesArePngJpegOrBitmaps) {
  TTempFolder dir;
  ASSERT_EQ(std::system(("cd '" + dir.path + "' && convert -size 64x32 xc:'#ff00ff' t.png && " +
                         "convert -size 32x32 xc:'#00ffff' s.jpg && convert t.png t.gif").c_str()),
            0);
  const auto run = [&](std::vector<std::string> extra, std::string& err) {
    std::vector<std::string> args = {"render", "--width", "120", "--height", "120",
                                     "--antialias", "1", "-o", dir / "out.png"};
    args.insert(args.end(), extra.begin(), extra.end());
    std::ostringstream out, e;
    const int status = RunCli(args, out, e, false);
    err = e.str();
    return status;
  };
  std::string err;
  ASSERT_EQ(run({"--texture", dir / "t.png", "--sky", dir / "s.jpg"}, err), 0) << err;
  // The sky fills the corners with the picture's colour, the surface band shows magenta.
  TRgbPicture shown = ReadTexturePicture(dir / "out.png");
  const uint8_t* corner = shown.rgb.data();
  EXPECT_LT(corner[0], 60);
  EXPECT_GT(corner[1], 180);
  EXPECT_GT(corner[2], 180);
  int magenta = 0;
  for (size_t i = 0; i + 2 < shown.rgb.size(); i += 3)
    magenta += shown.rgb[i] > 120 && shown.rgb[i + 1] < 60 && shown.rgb[i + 2] > 120;
  EXPECT_GT(magenta, 20);
  EXPECT_EQ(run({"--texture", dir / "t.gif"}, err), 2);
  EXPECT_NE(err.find("24 bit bitmap expected"), std::string::npos) << err;
  EXPECT_EQ(run({"--sky", dir / "missing.png"}, err), 2);
  EXPECT_NE(err.find("Cannot open"), std::string::npos) << err;
}

}  // namespace
