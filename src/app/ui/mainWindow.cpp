#include "mainWindow.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QClipboard>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QPushButton>
#include <QCloseEvent>
#include <QColorDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProxyStyle>
#include <QScreen>
#include <QTabBar>
#include <QSpinBox>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>

#include "advancedOptions.h"
#include "braidDiagramView.h"
#include "buildRunner.h"
#include "app/model/knotListing.h"
#include "app/ui/knotFinder.h"
#include "app/model/boundaryReport.h"
#include "app/model/exportControls.h"
#include "app/model/meshExport.h"
#include "app/model/readSceneInputs.h"
#include "app/model/surfaceSummary.h"
#include "app/model/workCost.h"
#include "core/imageFile.h"
#include "render/imageExport.h"
#include "controlLayout.h"
#include "controlWidgets.h"
#include "core/rangeError.h"
#include "elidedLabel.h"
#include "invariants/loopPaths.h"
#include "invariants/seifertForm.h"
#include "glPanel.h"
#include "guard.h"
#include "mesh/buildMesh.h"
#include "pictures.h"
#include "render/sceneDraw.h"
#include "render/view.h"
#include "splash.h"

namespace {

// A loop's drawing colour as the box's rich text writes it, "#rrggbb".
QString LoopHtmlColour(size_t i) {
  const TLoopColour c = LoopColour(i);
  return QColor::fromRgbF(c.r, c.g, c.b).name();
}

using H = THandler;

// The largest drawing panel the window-size fields accept; far beyond any screen, and small
// enough that every size computed from it stays an ordinary integer.
constexpr int kMaxPanelSize = 16000;

// The drawing panel never gets smaller than this when the window shrinks.
constexpr int kMinPanelWidth = 160;
constexpr int kMinPanelHeight = 120;

int ParseInteger(const std::string& typed) {
  const auto first = typed.find_first_not_of(" \t");
  const auto last = typed.find_last_not_of(" \t");
  const std::string text = first == std::string::npos ? "" : typed.substr(first, last - first + 1);
  int value = 0;
  const char* begin = text.data();
  const char* end = begin + text.size();
  if (!text.empty() && *begin == '+') ++begin;
  const auto [stop, ec] = std::from_chars(begin, end, value);
  if (text.empty() || ec != std::errc() || stop != end)
    throw std::invalid_argument("'" + typed + "' is not a valid integer value");
  return value;
}

QString Q(std::string_view s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// Narrower tabs, so that the five page tabs fit the control panel's width.
class TCompactTabStyle : public QProxyStyle {
 public:
  int pixelMetric(PixelMetric metric, const QStyleOption* option,
                  const QWidget* widget) const override {
    if (metric == PM_TabBarTabHSpace) return 8;
    return QProxyStyle::pixelMetric(metric, option, widget);
  }
};

}  // namespace

TForm1::TForm1(TForm2& splash, Tforma& advancedWindow, QWidget* parent)
    : QWidget(parent),
      glProblem(OpenGLProblem()),
      controls(this, glProblem.isEmpty()),
      model(controls, app),
      advanced(advancedWindow) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("Ostrel - Veltrane"));
  QFont f = font();
  f.setPointSize(8);
  setFont(f);
  resize(793, 610);
  move(1, 2);

  BuildWindow(advanced);
  invariantsBox = findChild<QLabel*>(QStringLiteral("lb_invariants"));
  loopsBox = findChild<QLabel*>(QStringLiteral("lb_loops"));
  frameClock.start();
  ConnectPanel();

  controls.userActionGuard = [this](QWidget* origin, const std::function<void()>& body) {
    Run(body, origin ? origin->window() : nullptr);
  };
  model.drawFrame = [this] {
    UpdateCounts();
    framePacer.Requested(NowMs());
    if (glPanel) glPanel->Redraw();
  };
  model.frameDue = [this] { return FrameDue(); };
  model.waitForFrame = [this] { WaitForFrame(); };
  auto* braidBox = static_cast<TPaintBox*>(controls.Widget("pb_braid"));
  braidBox->onPaint = [this, braidBox](QPainter& painter) {
    painter.setRenderHint(QPainter::Antialiasing, false);
    TPainterCanvas canvas(painter);
    DrawBraid(controls.Text("ed_braid"), canvas, braidBox->width(), braidBox->height());
  };
  model.repaintBraidDiagram = [braidBox] { braidBox->update(); };
  if (auto* show = findChild<QCheckBox*>(QStringLiteral("cb_showloops")))
    connect(show, &QCheckBox::toggled, this, [this] {
      Run([this] {
        UpdateLoopPaths();
        model.RequestRedraw();
      });
    });
  if (auto* loops = findChild<QLabel*>(QStringLiteral("lb_loops")))
    connect(loops, &QLabel::linkHovered, this, [this](const QString& link) { HighlightLoops(link); });
  // The smoothing loop lets the window breathe between iterations.
  model.processEvents = [] { QCoreApplication::processEvents(); };
  model.askYesCancel = [this](const std::string& question) {
    return QMessageBox::warning(this, QStringLiteral("Veltrane"), QString::fromStdString(question),
                                QMessageBox::Yes | QMessageBox::Cancel) == QMessageBox::Yes;
  };
  model.chooseColor = [this](uint32_t color) -> std::optional<uint32_t> {
    const QColor chosen = QColorDialog::getColor(ToQColor(color), this, QStringLiteral("Colour"));
    if (!chosen.isValid()) return std::nullopt;
    return FromQColor(chosen);
  };
  model.pendingHandler = [this](const TControlDef& def) { PendingHandler(def); };
  model.setCaption = [this](std::string_view name, const std::string& caption) {
    if (auto* button = controls.As<QAbstractButton>(name))
      button->setText(QString::fromStdString(caption));
  };
  // Another format: the save dialog no longer starts at the last file of the old one.
  if (auto* jpg = qobject_cast<QCheckBox*>(controls.Widget("cb_jpg")))
    connect(jpg, &QCheckBox::clicked, this, [this] { lastSaveName.clear(); });
  model.showNote = [this](const std::string& note) { ShowStatus(QString::fromStdString(note)); };
  model.showBusy = [this](bool on) { ShowBusy(on); };
  model.runLongBuild = [this](const std::function<void()>& work, TBuildProgress& progress) {
    RunLongBuild(this, work, progress);
  };
  model.askYesNo = [this](const std::string& question) {
    return QMessageBox::question(this, QStringLiteral("Veltrane"),
                                 QString::fromStdString(question),
                                 QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
  };
  if (auto* finder = findChild<TKnotFinder*>(QStringLiteral("knotFinder"))) {
    finder->onChosen = [this, finder](const std::string& name) {
      finder->Mark(QString());
      const bool ok = Run([&] { model.ChooseKnotNamed(name); });
      if (!ok) finder->Mark(QStringLiteral("refused"));
    };
  }
  model.recomputeDone = [this](const std::string& error) {
    // A refused recompute marks the field that asked for it, a typed code's or the word's.
    MarkField("ed_braid", app.typedCode ? QString() : QString::fromStdString(error));
    MarkField("ed_code", app.typedCode ? QString::fromStdString(error) : QString());
    if (error.empty()) ShowInvariants();  // the knot and its surface may be new
  };

  statusTimer.setSingleShot(true);
  statusTimer.setInterval(6000);
  connect(&statusTimer, &QTimer::timeout, this, [this] { status->clear(); });

  // The window sees every key of its own and of the "Advanced options" window first.
  qApp->installEventFilter(this);

  Run([this] { model.StartUp(); });
  // The knot table's list opens wide enough for its longest entry.
  if (auto* table = controls.As<QComboBox>("cb_knottable")) {
    int widest = 0;
    for (int i = 0; i < table->count(); ++i)
      widest = std::max(widest, table->fontMetrics().horizontalAdvance(table->itemText(i)));
    table->view()->setMinimumWidth(widest + 2 * table->view()->frameWidth() +
                                   table->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 16);
  }
  UpdateCounts();

  connect(&splash, &TForm2::pictureClicked, this, [this, &splash] {
    splash.hide();
    show();
    raise();
    activateWindow();
  });
  quitRequest = [] { QCoreApplication::quit(); };
}

TForm1::~TForm1() {
  qApp->removeEventFilter(this);
  controls.Disconnect();
  controls.userActionGuard = nullptr;
  model.drawFrame = nullptr;
  model.pendingHandler = nullptr;
  model.setCaption = nullptr;
  model.showNote = nullptr;
  model.showBusy = nullptr;
  model.runLongBuild = nullptr;
  model.chooseColor = nullptr;
  model.repaintBraidDiagram = nullptr;
  model.processEvents = nullptr;
  model.frameDue = nullptr;
  model.waitForFrame = nullptr;
  model.askYesCancel = nullptr;
  model.askYesNo = nullptr;
  model.recomputeDone = nullptr;
  if (glPanel) {
    glPanel->OnGLInit = nullptr;
    glPanel->OnRedraw = nullptr;
    glPanel->OnResize = nullptr;
    glPanel->OnMouseDown = nullptr;
    glPanel->OnMouseMove = nullptr;
    glPanel->OnMouseUp = nullptr;
    glPanel->OnWheel = nullptr;
    glPanel->OnGLFailed = nullptr;
    glPanel->OnShown = nullptr;
  }
}

bool TForm1::Run(const std::function<void()>& body, QWidget* owner) {
  const bool ok = Guarded(owner ? owner : this, [&] {
    try {
      body();
    } catch (const std::bad_alloc&) {
      // Builds name their own size; anything else that runs out names the mesh it had.
      throw std::runtime_error(
          MeshTooLargeMessage(app.Seifert.mesh.nVerts, "more than the free memory holds"));
    }
  });
  // The handler that failed has ended; a flag it set for its writes must not switch off every
  // later recompute.
  if (!ok) app.recomputeSuspended = false;
  return ok;
}

void TForm1::BuildWindow(Tforma& advancedWindow) {
  auto W = [this](std::string_view name) { return controls.Placed(name); };

  // The drawing panel and the hidden ride pictures beside it.
  panel1 = new QWidget(this);
  panel1->setObjectName(QStringLiteral("Panel1"));
  drawingPanel = controls.Widget("GLPanel1");
  glPanel = qobject_cast<TGLPanel*>(drawingPanel);
  drawingPanel->setParent(panel1);
  drawingPanel->show();
  for (const char* name : {"Memo1", "rail_image", "sky_image", "but_x"}) W(name)->setParent(panel1);
  auto* rail = controls.As<TPicture>("rail_image");
  rail->SetImage(MakeRailPicture());
  rail->setFixedSize(105, 105);
  auto* sky = controls.As<TPicture>("sky_image");
  sky->SetImage(MakeSkyPicture());

  // The bar under the drawing panel.
  panelMessage = new QFrame(this);
  panelMessage->setObjectName(QStringLiteral("panel_message"));
  panelMessage->setFixedHeight(38);
  static_cast<QFrame*>(panelMessage)->setFrameShape(QFrame::StyledPanel);
  auto* bar = new QHBoxLayout(panelMessage);
  bar->setContentsMargins(8, 4, 6, 4);
  bar->setSpacing(6);
  for (const char* name : {"lab_show", "cb_showsurfaces", "cb_showlinks", "cbshline"})
    bar->addWidget(W(name));
  bar->addStretch(1);
  // The buttons keep their whole caption: the window does not get narrower than the bar.
  for (const char* name : {"but_sestart", "Button6", "Button5", "but_fitview"}) {
    auto* button = qobject_cast<QAbstractButton*>(W(name));
    button->setMinimumWidth(button->fontMetrics().horizontalAdvance(button->text()) + 16);
    button->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    bar->addWidget(button);
  }
  panel1->setMinimumSize(kMinPanelWidth, kMinPanelHeight);

  // The control panel: one tab per page, and the spare "Shape" page whose tab is hidden.
  panelControl = new QFrame(this);
  panelControl->setObjectName(QStringLiteral("panel_control"));
  panelControl->setFixedWidth(241);
  auto* side = new QVBoxLayout(panelControl);
  side->setContentsMargins(2, 0, 2, 0);
  side->setSpacing(2);
  menuBar = new QMenuBar(panelControl);
  menuBar->setObjectName(QStringLiteral("menu_bar"));
  // The standard views turn the camera about the look-at point; the size stays, and "Fit
  // view" frames the model from the new angle.
  QMenu* viewMenu = menuBar->addMenu(QStringLiteral("&View"));
  viewMenu->setObjectName(QStringLiteral("menu_view"));
  static constexpr struct {
    const char* caption;
    const char* name;
    TStandardView view;
  } kViews[] = {{"&Front", "act_view_front", TStandardView::kFront},
                {"&Side", "act_view_side", TStandardView::kSide},
                {"&Top", "act_view_top", TStandardView::kTop},
                {"&Oblique", "act_view_oblique", TStandardView::kOblique}};
  for (const auto& v : kViews) {
    QAction* action = viewMenu->addAction(QString::fromLatin1(v.caption));
    action->setObjectName(QString::fromLatin1(v.name));
    connect(action, &QAction::triggered, this, [this, view = v.view] {
      Run([this, view] {
        SetStandardView(app.View, view);
        if (glPanel) glPanel->Redraw();
      });
    });
  }
  viewMenu->addSeparator();
  QAction* fit = viewMenu->addAction(QStringLiteral("Fit &view\tF"));
  fit->setObjectName(QStringLiteral("act_fit_view"));
  connect(fit, &QAction::triggered, this, [this] { Run([this] { FitViewClick(); }); });
  QMenu* help = menuBar->addMenu(QStringLiteral("&Help"));
  help->setObjectName(QStringLiteral("menu_help"));
  QAction* about = help->addAction(QStringLiteral("&About Veltrane"));
  about->setObjectName(QStringLiteral("act_about"));
  connect(about, &QAction::triggered, this, [this] { ShowAbout(); });
  side->setMenuBar(menuBar);
  pageControl = new QTabWidget(panelControl);
  pageControl->setObjectName(QStringLiteral("PageControl1"));
  pageControl->setUsesScrollButtons(false);
  pageControl->setDocumentMode(true);
  auto* tabStyle = new TCompactTabStyle;
  tabStyle->setParent(pageControl->tabBar());
  pageControl->tabBar()->setStyle(tabStyle);
  for (TControlPage page : {TControlPage::kMain, TControlPage::kDisplay, TControlPage::kShape,
                            TControlPage::kMesh, TControlPage::kMisc})
    pageControl->addTab(BuildPage(controls, page, pageControl), Q(PageCaption(page)));
  auto* spare = new QWidget(pageControl);
  spare->setObjectName(QStringLiteral("page_Shape2"));
  pageControl->setTabVisible(pageControl->addTab(spare, QStringLiteral("Shape")), false);
  pageControl->setCurrentIndex(0);
  side->addWidget(pageControl, 1);

  // The status line beside the bottom bar: the surface's counts, and the last note.
  auto* statusLine = new QFrame(panelControl);
  statusLine->setObjectName(QStringLiteral("panel_status"));
  statusLine->setFrameShape(QFrame::StyledPanel);
  statusLine->setFixedHeight(38);
  auto* lines = new QVBoxLayout(statusLine);
  lines->setContentsMargins(6, 2, 6, 2);
  lines->setSpacing(0);
  counts = new TElidedLabel(statusLine);
  counts->setObjectName(QStringLiteral("lab_counts"));
  status = new TElidedLabel(statusLine);
  status->setObjectName(QStringLiteral("lab_status"));
  lines->addWidget(counts);
  lines->addWidget(status);
  side->addWidget(statusLine);

  advancedWindow.Build(controls);

  auto* outer = new QHBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSpacing(0);
  auto* left = new QVBoxLayout;
  left->setSpacing(0);
  left->addWidget(panel1, 1);
  left->addWidget(panelMessage);
  outer->addLayout(left, 1);
  outer->addWidget(panelControl);

  // Every control of the table has found its place; one that did not would lie over the
  // drawing panel, so it is kept out of sight instead.
  QWidget* strays = nullptr;
  for (const TControlDef& def : ControlTable()) {
    QWidget* w = controls.Placed(def.name);
    if (w && w->parentWidget() == this) {
      if (!strays) {
        strays = new QWidget(this);
        strays->setObjectName(QStringLiteral("unplaced_controls"));
        strays->hide();
      }
      qWarning("control %s has no place on its page", std::string(def.name).c_str());
      w->setParent(strays);
    }
  }
}

void TForm1::ConnectPanel() {
  if (!glPanel) return;
  glPanel->OnGLInit = [this] {
    // Errors here are shown once the paint is over: no message box inside a paint.
    try {
      GLPanel1GLInit(app, glPanel->PixelWidth(), glPanel->PixelHeight());
      textures.Reapply(app);
      model.texturesCreated = true;
    } catch (const std::exception& e) {
      const std::string what = e.what();
      QTimer::singleShot(0, this, [this, what] { ShowError(this, std::runtime_error(what)); });
    } catch (...) {
      QTimer::singleShot(0, this, [this] {
        ShowError(this, std::runtime_error("the OpenGL set-up failed"));
      });
    }
  };
  glPanel->OnRedraw = [this] { Frame(); };
  // A frame has reached the screen: the loops may ask for the next one.
  glPanel->OnShown = [this] { framePacer.Shown(NowMs()); };
  glPanel->OnResize = [this] { GLPanel1Resize(); };
  // Only the camera changes: the frame replays the scene without rebuilding it.
  const auto drag = [this](int x, int y, uint8_t buttons) {
    const TLookAround look{app.ride.lookH, app.ride.lookV};
    if (MouseMove(app.View, x, y, buttons, glPanel->width(), glPanel->height(), UpAxis(controls),
                  app.racing ? &look : nullptr))
      glPanel->Redraw();
  };
  glPanel->OnMouseDown = [this, drag](int x, int y, uint8_t buttons) {
    Run([&] {
      MouseDown(app.View, x, y, buttons);
      drag(x, y, buttons);  // the press counts as a move
    });
  };
  glPanel->OnMouseMove = [this, drag](int x, int y, uint8_t buttons) {
    Run([&] { drag(x, y, buttons); });
  };
  glPanel->OnMouseUp = [this] { Run([this] { MouseUp(app.View); }); };
  glPanel->OnWheel = [this](int x, int y, double steps) {
    Run([&] {
      if (!app.racing &&
          WheelZoom(app.View, steps, x, y, glPanel->width(), glPanel->height(), UpAxis(controls)))
        glPanel->Redraw();
    });
  };
  glPanel->OnGLFailed = [this](const QString& why) { ReportNoOpenGL(why); };
}

void TForm1::ReportNoOpenGL(const QString& why) {
  if (glProblemReported) return;
  glProblemReported = true;
  ShowStatus(QStringLiteral("No OpenGL"));
  QMessageBox::warning(this, QStringLiteral("Veltrane"),
                       why + QStringLiteral("\nThe surface cannot be drawn; the controls still "
                                            "work."));
}

void TForm1::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // Said once, when the window first shows, outside the show itself.
  if (!glProblem.isEmpty() && !glProblemReported)
    QTimer::singleShot(0, this, [this] { ReportNoOpenGL(glProblem); });
}

void TForm1::Frame() {
  // A frame runs inside a paint: whatever it throws ends the frame quietly and is noted in the
  // bottom bar.
  try {
    TSceneInputs in = ReadSceneInputs(controls);
    if (app.View.FitPending && exportTile.tileCount == 0 && exportTile.sampleCount <= 1) {
      app.View.FitPending = false;
      FitView(app.View, MeshBox(app.Seifert.mesh), glPanel->PixelWidth(), glPanel->PixelHeight(),
              in);
    }
    in.tile = exportTile;
    GLPanel1Redraw(app, in, glPanel->PixelWidth(), glPanel->PixelHeight(),
                   [this] { model.ReadSettings(); });
  } catch (const std::exception& e) {
    app.redrawDirty = false;
    ShowStatus(QStringLiteral("Frame not drawn: ") + QString::fromUtf8(e.what()));
  } catch (...) {
    app.redrawDirty = false;
    ShowStatus(QStringLiteral("Frame not drawn."));
  }
}

void TForm1::GLPanel1Resize() {
  Run([this] {
    RefreshImageLabels();
    model.RequestRedraw();
    model.RequestRedraw();
  });
}

void TForm1::RefreshImageLabels() {
  const int64_t w = drawingPanel->width();
  const int64_t h = drawingPanel->height();
  controls.SetText("ed_winw", std::to_string(w));
  controls.SetText("ed_winh", std::to_string(h));
  const int64_t scale = controls.Position("ud_imgscale");
  controls.SetText("lab_imgscale", std::to_string(w * scale) + " x " + std::to_string(h * scale));
  const int64_t n = controls.Position("ud_antialias");
  controls.SetText("lab_aa", n > 1 ? std::to_string(n * n) + " samples" : "");
}

void TForm1::WindowSizeEntered() {
  const int w = ParseInteger(controls.Text("ed_winw"));
  const int h = ParseInteger(controls.Text("ed_winh"));
  if (w < 1 || w > kMaxPanelSize || h < 1 || h > kMaxPanelSize)
    throw RangeError("the drawing panel can be 1 to " + std::to_string(kMaxPanelSize) +
                     " pixels wide and high");
  resize(w + width() - drawingPanel->width(), h + height() - drawingPanel->height());
  model.RequestRedraw();
  if (drawingPanel->width() != w || drawingPanel->height() != h)
    ShowStatus(QStringLiteral("The window's smallest size keeps the drawing panel at %1 x %2")
                   .arg(drawingPanel->width())
                   .arg(drawingPanel->height()));
}

void TForm1::but_fullscreenClick() {
  drawingPanel->hide();
  panelMessage->hide();
  panelControl->hide();
  layout()->activate();
  drawingPanel->show();
}

void TForm1::ShowControls() {
  drawingPanel->hide();
  panelMessage->show();
  panelControl->show();
  layout()->activate();
  drawingPanel->show();
}

void TForm1::CopyImage() {
  ++copyImageRequests;
  but_save_picClick("but_copy");
}

void TForm1::but_save_picClick(std::string_view sender) {
  // The button reads "Cancel" while its export runs: a second click stops it.
  if (exportBusy) {
    app.exportCancel = true;
    return;
  }
  if (!glPanel || !glPanel->Active())
    throw std::runtime_error("There is no OpenGL drawing panel to render the image with.");
  const bool copy = sender == "but_copy";
  const QString jpegFilter = QStringLiteral("JPEG images (*.jpg)");
  const QString bmpFilter = QStringLiteral("Windows bitmap images (*.bmp)");
  const QString pngFilter = QStringLiteral("PNG images (*.png)");
  std::string path;
  TImageFormat format = TImageFormat::kJpeg;
  if (!copy) {
    const QString filters = jpegFilter + ";;" + bmpFilter + ";;" + pngFilter;
    QString filter = controls.Checked("cb_jpg") ? jpegFilter : bmpFilter;
    const QString chosen =
        askSaveFileName ? askSaveFileName(filters, filter)
                        : QFileDialog::getSaveFileName(this, QStringLiteral("Save image"),
                                                       lastSaveName, filters, &filter,
                                                       QFileDialog::DontConfirmOverwrite);
    if (chosen.isEmpty()) return;
    const TImageFormat chosenFormat = filter == bmpFilter   ? TImageFormat::kBmp
                                      : filter == pngFilter ? TImageFormat::kPng
                                                            : TImageFormat::kJpeg;
    const char* extension = chosenFormat == TImageFormat::kBmp   ? "bmp"
                            : chosenFormat == TImageFormat::kPng ? "png"
                                                                 : "jpg";
    path = WithDefaultExtension(chosen.toStdString(), extension);
    // A name of its own with a known extension says the format; any other keeps the filter's.
    format = ImageFormatOr(path, chosenFormat);
    lastSaveName = QString::fromStdString(path);
    if (QFileInfo::exists(lastSaveName) &&
        !model.askYesCancel("File " + path + " already exists. Overwrite?"))
      return;
  }
  const TExportSettings settings = ReadExportSettings(controls);
  const int panelW = glPanel->PixelWidth(), panelH = glPanel->PixelHeight();
  const TWorkCost cost =
      ImageExportCost(settings, panelW, panelH,
                      SceneVertices(app.Seifert, app.Settings, app.refineCount, app.racing));
  if (cost.seconds > kAskWorkSeconds && model.askYesNo &&
      !model.askYesNo(LongWorkQuestion(cost.seconds)))
    return;

  auto* button = qobject_cast<QPushButton*>(controls.Widget(sender));
  const QString caption = button ? button->text() : QString();
  // Every way out leaves the window as it was: no tiling, the old caption, frames shown.
  // A running ride holds still while its view is exported.
  const bool pausedRide = app.racing && !controls.Checked("but_pause");
  struct TRestore {
    TForm1& form;
    QPushButton* button;
    QString caption;
    bool pausedRide;
    ~TRestore() {
      form.exportTile = TExportTile{};
      form.exportBusy = false;
      form.glPanel->SwapBB = true;
      if (button) button->setText(caption);
      if (pausedRide) form.controls.SetChecked("but_pause", false);
      if (form.app.rideFrozen) {
        // The ride goes on from where it stood, not from where its clock would have taken it.
        form.app.rideFrozen = false;
        form.app.ride.lastTick = RideTickCount();
      }
      if (!form.app.terminating) form.glPanel->Redraw();
    }
  } restore{*this, button, caption, pausedRide};
  exportBusy = true;
  app.exportCancel = false;
  if (app.racing) {
    app.rideFrozen = true;
    app.rideFrozenView = app.View.ModelView;  // the camera of the frame on view
  }
  if (pausedRide) controls.SetChecked("but_pause", true);
  const double rideSpeed = app.ride.speed;
  model.RequestRedraw();
  app.ride.speed = rideSpeed;  // nothing about the scene changed: the car keeps its speed
  if (button)
    button->setText(!copy && format == TImageFormat::kBmp ? QStringLiteral("CANCEL")
                                                          : QStringLiteral("Cancel"));

  TImageExportHooks hooks;
  hooks.drawFrame = [this](const TExportTile& tile) {
    exportTile = tile;
    // Drawn into the panel's buffer and read back from there, then shown at the next paint.
    glPanel->SwapBB = false;
    glPanel->Redraw();
    // The progress is shown at the display's pace: every paint draws the scene once more.
    if (FrameDue()) {
      framePacer.Requested(NowMs());
      glPanel->update();
    }
  };
  bool resized = false;
  hooks.pump = [this, panelW, panelH, &resized] {
    QCoreApplication::processEvents();
    // The pumped events may have closed the window or lost the context; a panel of another
    // size would mix two views in one picture.
    resized = glPanel->PixelWidth() != panelW || glPanel->PixelHeight() != panelH;
    if (!app.terminating && glPanel->Active()) glPanel->makeCurrent();
    return app.exportCancel || app.terminating || !glPanel->Active() || resized;
  };
  hooks.progress = [this](int64_t done, int64_t total) {
    if (done % 6 == 0 || done == total)
      ShowStatus(QStringLiteral("Rendering %1 of %2").arg(done).arg(total));
  };
  const std::optional<TRgbImage> image = RenderImage(settings, panelW, panelH, hooks);
  if (!image) {
    ShowStatus(resized ? QStringLiteral("Image export stopped: the drawing panel changed size")
                       : QStringLiteral("Image export cancelled"));
    return;
  }
  if (copy) {
    const QImage picture(image->rgb.data(), image->width, image->height, image->width * 3,
                         QImage::Format_RGB888);
    QGuiApplication::clipboard()->setImage(picture.copy());
    ShowStatus(QStringLiteral("Image copied: %1 x %2").arg(image->width).arg(image->height));
    return;
  }
  WriteImageFile(*image, path, format, controls.Position("ud_jpqual"));
  ShowStatus(QStringLiteral("Image saved: ") + QString::fromStdString(path));
}

// The mesh as it is shown: smoothed and refined as it stands, the "Show" boxes respected (an
// STL is always the whole closed surface, as a print needs it).
void TForm1::but_export_meshClick() {
  const std::pair<QString, TMeshFormat> kinds[] = {
      {QStringLiteral("STL for 3-D printing (*.stl)"), TMeshFormat::kStl},
      {QStringLiteral("glTF 2.0 (*.glb *.gltf)"), TMeshFormat::kGlb},
      {QStringLiteral("OBJ with materials (*.obj)"), TMeshFormat::kObj},
      {QStringLiteral("PLY (*.ply)"), TMeshFormat::kPly},
  };
  QString filters;
  for (const auto& [text, ignored] : kinds) filters += (filters.isEmpty() ? "" : ";;") + text;
  QString filter = lastMeshFilter.isEmpty() ? kinds[0].first : lastMeshFilter;
  const QString chosen =
      askSaveFileName ? askSaveFileName(filters, filter)
                      : QFileDialog::getSaveFileName(this, QStringLiteral("Export mesh"),
                                                     lastMeshName, filters, &filter,
                                                     QFileDialog::DontConfirmOverwrite);
  if (chosen.isEmpty()) return;
  TMeshFormat format = TMeshFormat::kStl;
  for (const auto& [text, f] : kinds)
    if (text == filter) format = f;
  const std::string path = MeshFileName(chosen.toStdString(), format);
  lastMeshName = QString::fromStdString(path);
  lastMeshFilter = filter;
  if (QFileInfo::exists(lastMeshName) &&
      !model.askYesCancel("File " + path + " already exists. Overwrite?"))
    return;

  model.ReadSettings();  // the colours and "Show" boxes as they stand now
  // The write holds the window for a while: what the dialog covered is drawn again first,
  // or the view stays blank there until the file is written.
  repaint();
  TMeshExportOptions options;
  options.surfaces = controls.Checked("cb_showsurfaces");
  options.links = controls.Checked("cb_showlinks");
  struct TBusy {
    TBusy() { QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
    ~TBusy() { QGuiApplication::restoreOverrideCursor(); }
  } busy;
  // A surface that passes through itself is still written (a user may mend it, or print a
  // part of it); the status line says so, as a box would stop every export of such a surface.
  TSelfIntersections crossings;
  WriteMeshFile(app, path, options, &crossings);
  QString status = QStringLiteral("Mesh exported: ") + lastMeshName;
  for (const std::string& more :
       {MeshExportNote(app, MeshFormatFromName(path)), SelfIntersectionWarning(crossings)})
    if (!more.empty()) status += QStringLiteral("; ") + QString::fromStdString(more);
  ShowStatus(status);
}

void TForm1::StartRide() {
  ++rideRequests;
  model.but_restartClick();
  model.but_start_raceClick();
}

void TForm1::ShowStatus(const QString& text) {
  status->setText(text);
  statusTimer.start();
}

void TForm1::UpdateCounts() {
  const std::string& boundary = BoundaryText();  // also finds the knot's genus
  counts->setText(QString::fromStdString(SurfaceSummary(app, knotGenus) + "; " + boundary));
  ShowBoundaryInBox();
}

const std::string& TForm1::BoundaryText() {
  // A smoothing run recomputes at every iteration; the knot it keeps is named at its start
  // and its end.
  const std::array<int64_t, 6> key{app.smoothingRunning ? -1 : app.recomputeCount,
                                   app.refineSteps, app.smoothingRunning,
                                   app.smoothed, app.Seifert.mesh.nVerts, app.torusShown};
  if (key != boundaryKey) {
    boundaryKey = key;
    const TBoundaryReport report = IdentifySurfaceBoundary(app.Seifert, app.KnotTable, ChosenKnot(app));
    boundaryText = BoundaryLine(report);
    knotGenus = KnotGenus(report, app.KnotTable);
  }
  return boundaryText;
}

// The box's last line names the boundary; the lines above it are the braid's invariants. It is
// laid out again only when its text changes.
void TForm1::ShowBoundaryInBox() {
  if (!invariantsBox) return;
  QString text = invariantsText;
  if (!text.isEmpty()) text += QLatin1Char('\n');
  text += QString::fromStdString(BoundaryText());
  if (invariantsBox->text() != text) invariantsBox->setText(text);
}

QString TForm1::CountsText() const { return counts->text(); }

void TForm1::MarkField(std::string_view name, const QString& error) {
  auto* field = controls.As<QLineEdit>(name);
  if (!field) return;
  if (error.isEmpty()) {
    field->setStyleSheet(QString());
    const TControlDef* def = FindControl(name);
    field->setToolTip(def ? Q(def->hint) : QString());
    return;
  }
  field->setStyleSheet(QStringLiteral("QLineEdit { border: 2px solid #d00000; }"));
  field->setToolTip(SentenceCase(error));
}

void TForm1::CodeEntered() {
  // A code that does not read changes nothing but its field's mark; the message box says why.
  try {
    model.CodeEntered();
  } catch (const std::exception& e) {
    MarkField("ed_code", QString::fromStdString(e.what()));
    throw;
  }
}

void TForm1::FitViewClick() {
  const TSceneInputs in = ReadSceneInputs(controls);
  if (FitViewTurned(app.View, MeshBox(app.Seifert.mesh), drawingPanel->width(),
                    drawingPanel->height(), in) &&
      glPanel)
    glPanel->Redraw();
}

void TForm1::ShowAbout() {
  QMessageBox box(this);
  box.setObjectName(QStringLiteral("about_box"));
  box.setWindowTitle(QStringLiteral("About Veltrane"));
  box.setTextFormat(Qt::RichText);
  box.setText(QStringLiteral(
      "<h3>Veltrane " VELTRANE_VERSION "</h3>"
      "<p>Veltrane builds, shows and exports Seifert surfaces of knots and links: orientable "
      "surfaces whose boundary is the knot. Give a braid word, pick a preset or a row of the "
      "knot table, or ask for a torus knot; the surface is laid out as disks joined by "
      "half-twisted bands, meshed, refined and smoothed, and can be saved as a picture.</p>"
      "<p><b>Mouse on the view</b><br>Left drag: turn &nbsp; Right drag: zoom &nbsp; "
      "Middle drag: pan<br>Wheel: zoom about the pointer</p>"
      "<p><b>Keys</b><br>F (after a click on the view): fit view<br>Esc: hide or show the "
      "controls<br>Ctrl+C: copy the image<br>F1: restart and start the roller coaster<br>"
      "Enter in the braid field: build the typed word</p>"));
  box.setStandardButtons(QMessageBox::Ok);
  box.exec();
}

void TForm1::ShowBusy(bool on) {
  static const QString kBuilding = QStringLiteral("Building mesh\u2026");
  if (on) {
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    status->setText(kBuilding);
    status->repaint();  // the event loop does not run until the build is done
    return;
  }
  QGuiApplication::restoreOverrideCursor();
  if (status->text() == kBuilding) status->clear();
  UpdateCounts();
}

QString TForm1::StatusText() const { return status->text(); }

bool TForm1::FormKeyDown(QKeyEvent* event, QWidget* receiver) {
  const Qt::KeyboardModifiers mods = event->modifiers();
  switch (event->key()) {
    case Qt::Key_F1:
      Run([this] { StartRide(); });
      return true;
    case Qt::Key_C: {
      if (!(mods & Qt::ControlModifier) || (mods & (Qt::ShiftModifier | Qt::AltModifier)))
        return false;
      Run([this] { CopyImage(); });
      // Selected text in the edit field the key went to is copied as well. (The application's
      // focus widget can lag behind: it belongs to whichever window was activated last.)
      auto* edit = qobject_cast<QLineEdit*>(receiver);
      return !(edit && edit->hasSelectedText());
    }
    case Qt::Key_F:
      // Only on the drawing panel: in a text field the key types.
      if (receiver != drawingPanel || (mods & (Qt::ControlModifier | Qt::AltModifier)))
        return false;
      Run([this] { FitViewClick(); });
      return true;
    case Qt::Key_Escape:
      Run([this] {
        if (!panelControl->isHidden())
          but_fullscreenClick();
        else
          ShowControls();
      });
      return true;
    default:
      return false;
  }
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (watched == panel1 && type == QEvent::Resize) {
    drawingPanel->setGeometry(panel1->rect());
    return false;
  }
  // The placeholder of a missing OpenGL panel still reports its size.
  if (!glPanel && watched == drawingPanel && type == QEvent::Resize) {
    GLPanel1Resize();
    return false;
  }
  if (type != QEvent::KeyPress && type != QEvent::KeyRelease) return false;
  auto* w = qobject_cast<QWidget*>(watched);
  if (!w || (w->window() != this && w->window() != &advanced)) return false;
  auto* key = static_cast<QKeyEvent*>(event);
  const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;

  if (type == QEvent::KeyPress) {
    if (FormKeyDown(key, w)) return true;
    if (enter && (w == controls.Widget("ed_winw") || w == controls.Widget("ed_winh")))
      Run([this] { WindowSizeEntered(); });
    QWidget* focal = controls.Widget("ud_foc_length");
    if (enter && (w == focal || w->parentWidget() == focal))
      Run([this] { model.RequestRedraw(); });
    return false;
  }
  // A typed braid word counts once Enter is released.
  if (enter && !key->isAutoRepeat() && w == controls.Widget("ed_braid"))
    Run([this] { model.BraidEntered(); });
  if (enter && !key->isAutoRepeat() && w == controls.Widget("ed_code"))
    Run([this] { CodeEntered(); });
  return false;
}

void TForm1::PendingHandler(const TControlDef& def) {
  switch (def.handler) {
    case H::ud_imgscaleChange:
      RefreshImageLabels();
      return;
    case H::but_advancedClick:
      advanced.show();
      advanced.raise();
      advanced.activateWindow();
      return;
    case H::but_fullscreenClick:
      but_fullscreenClick();
      return;
    case H::LoadPictureClick:
      LoadPictureClick(def);
      return;
    case H::but_save_picClick:
      but_save_picClick(def.name);
      return;
    case H::but_export_meshClick:
      but_export_meshClick();
      return;
    case H::FitViewClick:
      FitViewClick();
      return;
    default:
      NotAvailable(def);
      return;
  }
}

void TForm1::LoadPictureClick(const TControlDef& def) {
  const bool surface = def.name == "but_loadbitmap";
  QWidget* button = controls.Widget(def.name);
  std::optional<TRgbPicture> picture =
      TTextureLoader::AskAndRead(button ? button->window() : this, surface, askOpenFileName);
  if (!picture) return;
  const size_t bytes = picture->rgb.size();
  try {
    textures.Use(surface, std::move(*picture), glPanel, app);
  } catch (const std::bad_alloc&) {
    // Scaling the picture ran out, not the mesh: name what was being loaded.
    throw std::runtime_error("Cannot use the picture: scaling its " +
                             std::to_string(bytes >> 20) +
                             " MB needs more than the free memory holds");
  }
  model.TexturePictureLoaded(surface);
}

void TForm1::NotAvailable(const TControlDef& def) {
  // A toggle button of a feature that is not there does not stay down.
  if (def.kind == TControlKind::kToggleButton) controls.SetChecked(def.name, false);
  QWidget* w = controls.Widget(def.name);
  QWidget* owner = w && w->window() ? w->window() : this;
  QMessageBox::information(owner, QStringLiteral("Veltrane"),
                           Q(ControlTitle(def)) + QStringLiteral(" is not available yet."));
}

void TForm1::closeEvent(QCloseEvent* event) {
  // Loops that pump messages test these flags and end at their next check.
  app.exportCancel = true;
  app.terminating = true;
  app.racing = false;
  app.smoothingRunning = false;
  app.smoothed = false;
  advanced.hide();
  event->accept();
  if (quitRequest) quitRequest();
}

void TForm1::ShowInvariants() {
  QLabel* loops = loopsBox;
  if (!invariantsBox || !loops) return;
  if (controls.Checked("cb_torus")) {
    invariantsText = QStringLiteral("Shown for braid words; the torus is drawn instead.");
    ShowBoundaryInBox();
    if (!loops->text().isEmpty()) loops->clear();
    invariants.reset();
    invariantsBraid.clear();
    UpdateLoopPaths();
    return;
  }
  const std::string braid = controls.Text("ed_braid");
  const std::string key = InvariantsKey(app, braid);
  if (key != invariantsBraid || invariantsText.isEmpty()) {
    invariantsBraid = key;
    invariants.reset();
    try {
      invariants = std::make_unique<TInvariants>(SurfaceInvariants(app, braid));
      invariantsText =
          QString::fromStdString(KnotHeading(app, braid) + InvariantsSummary(*invariants));
    } catch (const RangeError& e) {
      invariantsText =
          QString::fromStdString(KnotHeading(app, braid) + "No Seifert form: " + e.what());
    }
    // The loops' names in their drawing colours and the Seifert matrix (when small enough to
    // read); hovering a name or an entry highlights its loops.
    QString html;
    if (invariants && invariants->rank > 0) {
      const TInvariants& r = *invariants;
      auto name = [&](size_t i) {
        return QStringLiteral("<a href=\"%1\" style=\"color:%2;text-decoration:none\"><b>a%3</b></a>")
            .arg(i).arg(LoopHtmlColour(i)).arg(i + 1);
      };
      html += QStringLiteral("Loops: ");
      for (size_t i = 0; i < r.loopSteps.size(); ++i) {
        QString bands;
        for (const TLoopStep& step : r.loopSteps[i])
          bands += (bands.isEmpty() ? QString() : QStringLiteral(", ")) + QString::number(step.band);
        html += (i ? QStringLiteral(", ") : QString()) + name(i) + QStringLiteral(" (bands ") +
                bands + QStringLiteral(")");
      }
      if (r.rank <= 10) {
        html += QStringLiteral("<br>Seifert matrix:<table cellspacing=\"0\" cellpadding=\"1\"><tr><td></td>");
        for (size_t j = 0; j < r.seifert.size(); ++j) html += QStringLiteral("<td align=\"right\">") + name(j) + QStringLiteral("</td>");
        html += QStringLiteral("</tr>");
        for (size_t i = 0; i < r.seifert.size(); ++i) {
          html += QStringLiteral("<tr><td>") + name(i) + QStringLiteral("</td>");
          for (size_t j = 0; j < r.seifert.size(); ++j)
            html += QStringLiteral("<td align=\"right\"><a href=\"%1,%2\" style=\"color:black;text-decoration:none\">%3</a></td>")
                        .arg(i).arg(j).arg(r.seifert[i][j]);
          html += QStringLiteral("</tr>");
        }
        html += QStringLiteral("</table>");
      }
    }
    if (loops->text() != html) loops->setText(html);
  }
  ShowBoundaryInBox();
  UpdateLoopPaths();
}

void TForm1::UpdateLoopPaths() {
  auto* show = findChild<QCheckBox*>(QStringLiteral("cb_showloops"));
  app.showLoops = show && show->isChecked();
  app.loopPaths.clear();
  // Loops are traced on the stacked and the Diagram lay-outs, whose disks and bands are those
  // the loops are made of; elsewhere the box says so instead of silently drawing nothing.
  const uint8_t layout = app.Settings.layout;
  const bool traceable = !controls.Checked("cb_torus") &&
                         (layout == kLayoutStacked || layout == kLayoutDiagram);
  if (show) {
    show->setEnabled(traceable);
    show->setText(traceable ? QStringLiteral("Show loops")
                            : QStringLiteral("Show loops (stacked, Diagram)"));
  }
  if (app.showLoops && invariants && traceable) {
    EnsureEdges(app.Seifert.mesh);  // the loops follow the edges
    app.loopPaths = LoopPaths(app.Seifert, *invariants);
  }
}

void TForm1::HighlightLoops(const QString& link) {
  const QStringList parts = link.split(QLatin1Char(','), Qt::SkipEmptyParts);
  app.highlightedLoops[0] = parts.size() > 0 ? parts[0].toInt() : -1;
  app.highlightedLoops[1] = parts.size() > 1 ? parts[1].toInt() : -1;
  if (app.showLoops) model.RequestRedraw();
}

double TForm1::NowMs() const { return static_cast<double>(frameClock.nsecsElapsed()) / 1.0e6; }

bool TForm1::FrameDue() {
  const QScreen* display = screen();
  framePacer.SetRefreshRate(display ? display->refreshRate() : 0);
  return framePacer.Due(NowMs());
}

void TForm1::WaitForFrame() {
  // The frame asked for is painted here, and whatever else is pending handled.
  QCoreApplication::processEvents();
  QTimer wake;
  wake.setSingleShot(true);
  while (app.racing && !app.terminating && !FrameDue()) {
    // Asleep until the next frame is due or an event comes (a click on "STOP").
    wake.start(static_cast<int>(std::ceil(framePacer.WaitMs(NowMs()))));
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
}
