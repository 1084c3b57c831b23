#include "controlLayout.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSlider>
#include <QVBoxLayout>

#include "app/ui/knotFinder.h"
#include "controlWidgets.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "qtControlPanel.h"

namespace {

using enum TControlKind;
using Defs = std::vector<const TControlDef*>;

constexpr int kFlowChars = 24;      // a row of buttons or boxes holds about this much text
constexpr int kFlowItems = 4;

QString Q(std::string_view s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

Defs ControlsOf(TControlPage page, std::string_view group) {
  Defs out;
  for (const TControlDef& d : ControlTable())
    if (d.page == page && d.group == group) out.push_back(&d);
  return out;
}

std::vector<std::string_view> GroupsOf(TControlPage page) {
  std::vector<std::string_view> out;
  for (const TControlDef& d : ControlTable())
    if (d.page == page && std::find(out.begin(), out.end(), d.group) == out.end())
      out.push_back(d.group);
  return out;
}

bool AllHidden(const Defs& defs) {
  return std::all_of(defs.begin(), defs.end(), [](const TControlDef* d) { return d->hidden; });
}

bool IsButton(const TControlDef& d) { return d.kind == kButton || d.kind == kToggleButton; }
bool IsField(const TControlDef& d) {
  return d.kind == kUpDown || d.kind == kEdit || d.kind == kDropDown;
}

// Buttons share a row evenly and may shrink below their text-derived width.
void Compact(QWidget* w) {
  if (auto* b = qobject_cast<QPushButton*>(w)) {
    b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    b->setMinimumWidth(24);
  }
}

QLabel* Caption(const QString& text, QWidget* buddy = nullptr) {
  auto* label = new QLabel(text);
  if (buddy) {
    label->setBuddy(buddy);
    // The caption explains its field as the field itself does.
    label->setToolTip(buddy->toolTip());
  }
  return label;
}

// The rows of one group: a caption column and a field column, with rows that span both.
class TGroupRows {
 public:
  TGroupRows(TQtControlPanel& controls, QWidget* box) : c(controls), grid(new QGridLayout(box)) {
    grid->setContentsMargins(6, 2, 6, 4);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(1);
    grid->setColumnStretch(1, 1);
  }

  void Field(const QString& caption, QWidget* field) {
    if (!caption.isEmpty()) grid->addWidget(Caption(caption, field), row, 0);
    grid->addWidget(field, row, 1, Qt::AlignLeft);
    ++row;
  }
  void FieldRow(const QString& caption, QLayout* fields, QWidget* buddy) {
    if (!caption.isEmpty()) grid->addWidget(Caption(caption, buddy), row, 0);
    grid->addLayout(fields, row, 1);
    ++row;
  }
  void Span(QWidget* w) { grid->addWidget(w, row++, 0, 1, 2); }
  void Span(QLayout* l) { grid->addLayout(l, row++, 0, 1, 2); }

  // Lays out `defs` in order with the generic rules.
  void Generic(const Defs& defs);

 private:
  QWidget* W(const TControlDef& d) const { return c.Placed(d.name); }
  size_t Flow(const Defs& defs, size_t i, bool (*same)(const TControlDef&));

  TQtControlPanel& c;
  QGridLayout* grid;
  int row = 0;
};

// Consecutive buttons (or check boxes) share rows of about kFlowChars characters.
size_t TGroupRows::Flow(const Defs& defs, size_t i, bool (*same)(const TControlDef&)) {
  while (i < defs.size() && same(*defs[i])) {
    auto* line = new QHBoxLayout;
    line->setSpacing(4);
    size_t chars = 0;
    int n = 0;
    std::vector<QWidget*> items;
    while (i < defs.size() && same(*defs[i]) && n < kFlowItems &&
           (n == 0 || chars + defs[i]->caption.size() <= kFlowChars)) {
      chars += defs[i]->caption.size();
      items.push_back(W(*defs[i]));
      ++n;
      ++i;
    }
    const bool buttons = IsButton(*defs[i - 1]);
    for (QWidget* w : items) {
      if (buttons && items.size() > 1) Compact(w);
      line->addWidget(w);
    }
    if (!buttons || items.size() == 1) line->addStretch(1);
    Span(line);
  }
  return i;
}

void TGroupRows::Generic(const Defs& defs) {
  std::vector<bool> taken(defs.size(), false);  // placed beside an earlier control
  size_t i = 0;
  while (i < defs.size()) {
    if (taken[i]) {
      ++i;
      continue;
    }
    const TControlDef& d = *defs[i];
    if (IsField(d)) {
      // A field may carry a second one after an "X" (two sizes) and a label of results.
      auto* line = new QHBoxLayout;
      line->setSpacing(4);
      line->addWidget(W(d));
      ++i;
      if (i < defs.size() && IsField(*defs[i]) && defs[i]->caption == "X") {
        // Two sizes side by side: fields as wide as their numbers need.
        for (QWidget* w : {W(d), W(*defs[i])})
          if (qobject_cast<QLineEdit*>(w)) w->setMaximumWidth(52);
        line->addWidget(new QLabel(QStringLiteral("X")));
        line->addWidget(W(*defs[i]));
        ++i;
      }
      if (i < defs.size() && defs[i]->kind == kLabel && defs[i]->caption.empty()) {
        line->addWidget(W(*defs[i]));
        ++i;
      }
      line->addStretch(1);
      FieldRow(Q(d.caption), line, c.Widget(d.name));
      continue;
    }
    switch (d.kind) {
      case kTrackBar: {
        auto* line = new QHBoxLayout;
        auto* left = new QLabel(Q(d.caption));
        auto* right = new QLabel(Q(d.caption2));
        left->setFixedWidth(44);
        right->setFixedWidth(44);
        right->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        line->addWidget(left);
        line->addWidget(W(d), 1);
        line->addWidget(right);
        Span(line);
        ++i;
        break;
      }
      case kCheckBox:
        i = Flow(defs, i, [](const TControlDef& x) { return x.kind == kCheckBox; });
        break;
      case kButton:
      case kToggleButton:
        i = Flow(defs, i, IsButton);
        break;
      case kRadioButton: {
        if (d.caption.ends_with(':')) {
          // "Split, at:" takes the unlabelled field of its group beside it.
          auto* line = new QHBoxLayout;
          line->addWidget(W(d));
          for (size_t j = i + 1; j < defs.size(); ++j)
            if (defs[j]->kind == kUpDown && defs[j]->caption.empty() && !taken[j]) {
              line->addWidget(W(*defs[j]));
              taken[j] = true;
              break;
            }
          line->addStretch(1);
          Span(line);
          ++i;
          break;
        }
        // Radio buttons with short captions ("X up", "Z up", "Y up") share one row.
        const std::string_view group = d.radioGroup;
        size_t j = i;
        bool shortCaptions = true;
        while (j < defs.size() && defs[j]->kind == kRadioButton && defs[j]->radioGroup == group) {
          shortCaptions = shortCaptions && defs[j]->caption.size() <= 6;
          ++j;
        }
        if (shortCaptions && j - i > 1) {
          auto* line = new QHBoxLayout;
          for (; i < j; ++i) line->addWidget(W(*defs[i]));
          line->addStretch(1);
          Span(line);
        } else {
          Span(W(d));
          ++i;
        }
        break;
      }
      case kColorSwatch:
        Field(Q(d.caption), W(d));
        ++i;
        break;
      case kLabel: {
        // A row's label ("On surface", "Camera"); a lone button of its row ("Load...") sits
        // beside it.
        auto* line = new QHBoxLayout;
        line->addWidget(W(d));
        line->addStretch(1);
        for (size_t j = i + 1; j < defs.size() && defs[j]->kind != kLabel; ++j) {
          const bool lone = IsButton(*defs[j]) && !IsButton(*defs[j - 1]) &&
                            (j + 1 == defs.size() || !IsButton(*defs[j + 1]));
          if (lone && !taken[j]) {
            line->addWidget(W(*defs[j]));
            taken[j] = true;
            break;
          }
        }
        Span(line);
        ++i;
        break;
      }
      default:
        // Paint boxes, pictures.
        Span(W(d));
        ++i;
        break;
    }
  }
}

// The "Shading" group: one caption column and four narrow swatch columns; the surface
// colours stand in three columns under their "Show" boxes, the link colours in four.
void LayOutShading(TQtControlPanel& c, QGroupBox* box) {
  auto* grid = new QGridLayout(box);
  grid->setContentsMargins(6, 4, 6, 6);
  grid->setHorizontalSpacing(4);
  grid->setVerticalSpacing(3);
  grid->setColumnStretch(5, 1);
  auto W = [&c](const std::string& name) { return c.Placed(name); };
  int row = 0;
  auto caption = [&](const QString& text, const char* buddy = nullptr) {
    grid->addWidget(Caption(text, buddy ? c.Widget(buddy) : nullptr), row, 0);
  };
  auto cell = [&](const std::string& name, int column, int span = 1) {
    grid->addWidget(W(name), row, column, 1, span, Qt::AlignLeft);
  };

  grid->addWidget(W("cbsmooth"), row++, 0, 1, 6);
  caption(QStringLiteral("Reflection"));
  cell("sh_specular", 1);
  ++row;
  caption(QStringLiteral("Roughn."), "ud_shininess");
  cell("ud_shininess", 1, 4);
  ++row;
  caption(QStringLiteral("Background"));
  cell("sh_background", 1);
  cell("sh_background2", 2);
  ++row;
  auto* buttons = new QHBoxLayout;
  buttons->setSpacing(4);
  for (const char* name : {"button22", "Button23"}) {
    Compact(W(name));
    buttons->addWidget(W(name));
  }
  grid->addLayout(buttons, row++, 1, 1, 4);
  caption(QStringLiteral("Transparency"), "ud_transp");
  cell("ud_transp", 1, 4);
  ++row;

  // The boxes keep their caption for tools and tests; the row's caption says it once.
  caption(QStringLiteral("Show"));
  for (int k = 0; k < 3; ++k) {
    const std::string show = "cb_shmat" + std::to_string(k + 1);
    auto* box = c.As<QCheckBox>(show);
    box->setToolTip(box->text());
    box->setText(QString());
    cell(show, k + 1);
  }
  ++row;
  caption(QStringLiteral("Surfaces"));
  for (int k = 0; k < 3; ++k) {
    grid->addWidget(W("sh_col" + std::to_string(2 * k + 1)), row, k + 1);      // back
    grid->addWidget(W("sh_col" + std::to_string(2 * k + 2)), row + 1, k + 1);  // front
  }
  row += 2;
  caption(QStringLiteral("Links"));
  for (int k = 0; k < 4; ++k) grid->addWidget(W("sh_col" + std::to_string(7 + k)), row, k + 1);
  ++row;
  // Mesh lines: the colour of kind-0 faces with the width beside it, the other kinds' below.
  caption(QStringLiteral("Mesh"));
  cell("sh_col11", 1);
  auto* width = new QHBoxLayout;
  width->setSpacing(4);
  width->addStretch(1);
  width->addWidget(Caption(QStringLiteral("Width"), c.Widget("ud_linewidth")));
  width->addWidget(W("ud_linewidth"));
  grid->addLayout(width, row++, 2, 1, 4);
  cell("sh_col12", 1);
  ++row;
  grid->addWidget(W("but_fullscreen"), row++, 0, 1, 6);
}

// The "Main" page: braid word, preset knots, knot table, lay-out and repulsion buttons.
void LayOutMainPage(TQtControlPanel& c, QVBoxLayout* page, QWidget* holder) {
  auto W = [&c](std::string_view name) { return c.Placed(name); };

  page->addWidget(Caption(QStringLiteral("Braid"), c.Widget("ed_braid")));
  page->addWidget(W("pb_braid"), 0, Qt::AlignHCenter);
  page->addWidget(W("ed_braid"));
  page->addWidget(Caption(QStringLiteral("Code"), c.Widget("ed_code")));
  page->addWidget(W("ed_code"));
  if (auto* code = qobject_cast<QLineEdit*>(c.Widget("ed_code")))
    code->setPlaceholderText(QStringLiteral("DT, PD or Gauss code, e.g. 4 6 2"));

  auto* presets = new QGroupBox(QStringLiteral("Preset knots"));
  auto* grid = new QGridLayout(presets);
  grid->setContentsMargins(4, 4, 4, 4);
  grid->setSpacing(3);
  int n = 0;
  for (const TControlDef* d : ControlsOf(TControlPage::kMain, "Preset knots")) {
    Compact(W(d->name));
    grid->addWidget(W(d->name), n / 3, n % 3);
    ++n;
  }
  page->addWidget(presets);

  auto* table = new QHBoxLayout;
  table->addWidget(Caption(QStringLiteral("Knot table"), c.Widget("cb_knottable")));
  table->addWidget(W("cb_knottable"), 1);
  page->addLayout(table);
  // Every knot of up to 12 crossings by name; the main window shows the one chosen.
  TKnotTable knots;
  FillKnotTable(knots);
  auto* finder = new TKnotFinder(knots);
  finder->setObjectName(QStringLiteral("knotFinder"));
  page->addWidget(finder);

  // What the braid surface says about the knot; the main window fills it after each recompute.
  auto* invariants = new QGroupBox(QStringLiteral("Invariants"));
  invariants->setObjectName(QStringLiteral("group_Invariants"));
  auto* values = new QVBoxLayout(invariants);
  values->setContentsMargins(4, 4, 4, 4);
  auto* text = new TWrappedLabel;
  text->setObjectName(QStringLiteral("lb_invariants"));
  text->setTextInteractionFlags(Qt::TextSelectableByMouse);
  values->addWidget(text);
  auto* loops = new TWrappedLabel;  // the Seifert matrix and the loops' names; hovering highlights
  loops->setObjectName(QStringLiteral("lb_loops"));
  loops->setTextFormat(Qt::RichText);
  values->addWidget(loops);
  auto* show = new QCheckBox(QStringLiteral("Show loops"));
  show->setObjectName(QStringLiteral("cb_showloops"));
  values->addWidget(show);
  page->addWidget(invariants);

  auto* layouts = new QGroupBox(QStringLiteral("Lay-out"));
  auto* rows = new QVBoxLayout(layouts);
  rows->setContentsMargins(4, 4, 4, 4);
  rows->setSpacing(3);
  for (std::string_view group : {std::string_view("Stacked lay-out:"),
                                 std::string_view("Flat lay-out:")}) {
    auto* line = new QHBoxLayout;
    line->setSpacing(3);
    for (const TControlDef* d : ControlsOf(TControlPage::kMain, group)) {
      if (d->kind == kLabel) {
        rows->addWidget(W(d->name));
        continue;
      }
      Compact(W(d->name));
      line->addWidget(W(d->name));
    }
    rows->addLayout(line);
  }
  auto* braidRow = new QHBoxLayout;
  braidRow->addWidget(W("but_braid"));
  braidRow->addStretch(1);
  rows->addLayout(braidRow);
  page->addWidget(layouts);

  auto* repulsion = new QHBoxLayout;
  repulsion->setSpacing(3);
  for (const TControlDef* d : ControlsOf(TControlPage::kMain, "Repulsion:")) {
    if (d->kind != kLabel) Compact(W(d->name));
    repulsion->addWidget(W(d->name));
  }
  page->addLayout(repulsion);

  for (const TControlDef* d : ControlsOf(TControlPage::kMain, ""))
    if (d->hidden) W(d->name)->setParent(holder);
}

}  // namespace

QWidget* BuildPage(TQtControlPanel& c, TControlPage page, QWidget* parent) {
  auto* scroll = new QScrollArea(parent);
  scroll->setObjectName(QStringLiteral("page_") + Q(PageCaption(page)).remove('.'));
  scroll->setWidgetResizable(true);
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  auto* content = new QWidget;
  auto* column = new QVBoxLayout(content);
  column->setContentsMargins(4, 4, 4, 4);
  column->setSpacing(4);
  // Hidden controls of shown groups live here: created, never shown.
  auto* holder = new QWidget(content);
  holder->setObjectName(QStringLiteral("hidden_controls"));
  holder->hide();

  if (page == TControlPage::kMain) {
    LayOutMainPage(c, column, holder);
  } else {
    for (std::string_view group : GroupsOf(page)) {
      const Defs defs = ControlsOf(page, group);
      const bool hiddenGroup = AllHidden(defs);
      auto* box = new QGroupBox(Q(group));
      box->setObjectName(QStringLiteral("group_") + Q(group).trimmed());
      Defs shown;
      for (const TControlDef* d : defs) {
        if (d->hidden && !hiddenGroup)
          c.Placed(d->name)->setParent(holder);
        else
          shown.push_back(d);
      }
      if (group == "Shading") {
        LayOutShading(c, box);
      } else {
        TGroupRows rows(c, box);
        rows.Generic(shown);
      }
      column->addWidget(box);
      if (hiddenGroup) box->hide();
    }
  }
  column->addStretch(1);
  scroll->setWidget(content);
  return scroll;
}
