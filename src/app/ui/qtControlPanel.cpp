#include "qtControlPanel.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QString>
#include <QToolButton>
#include <QtGlobal>

#include <algorithm>
#include <charconv>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>

#include "app/model/controlStore.h"
#include "controlWidgets.h"
#include "glPanel.h"

namespace {

using enum TControlKind;

QString ToQString(std::string_view s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// The position a typed up-down text stands for: a whole number, saturated to 16 bits as the
// control does; anything else is an error, as for the headless store.
int32_t ParseUpDownText(const std::string& text, std::string_view name) {
  int64_t n = 0;
  const char* first = text.data();
  const char* last = first + text.size();
  const auto [end, ec] = std::from_chars(first, last, n);
  if (ec == std::errc::result_out_of_range && end == last)
    return text.starts_with('-') ? std::numeric_limits<int16_t>::min()
                                 : std::numeric_limits<int16_t>::max();
  if (ec != std::errc() || end != last)
    throw std::invalid_argument("\"" + text + "\" is not a whole number for " +
                                std::string(name));
  return SaturateInt16(n);
}

// Scrolling the page with the wheel must not change the control the pointer passes over: the
// page scrolls on under it. A focused control still takes the wheel.
class TWheelGuard : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Wheel) {
      auto* w = qobject_cast<QWidget*>(watched);
      if (w && !w->hasFocus()) {
        for (QWidget* up = w->parentWidget(); up; up = up->parentWidget())
          if (auto* area = qobject_cast<QAbstractScrollArea*>(up)) {
            QCoreApplication::sendEvent(area->viewport(), event);
            break;
          }
        return true;
      }
    }
    return false;
  }
};

}  // namespace

TQtControlPanel::TQtControlPanel(QWidget* owner, bool withOpenGL) {
  auto* wheelGuard = new TWheelGuard(owner);
  const auto table = ControlTable();
  entries.reserve(table.size());
  for (const TControlDef& def : table) {
    index.emplace(def.name, entries.size());
    entries.push_back({&def, nullptr, nullptr});
    Build(def, owner, withOpenGL);
    TEntry& e = entries.back();
    e.widget->setObjectName(ToQString(def.name));
    if (!def.hint.empty()) e.widget->setToolTip(ToQString(def.hint));
    if (def.kind == kUpDown || def.kind == kTrackBar || def.kind == kDropDown) {
      e.widget->setFocusPolicy(Qt::StrongFocus);
      e.widget->installEventFilter(wheelGuard);
    }
    if (!e.placed) e.placed = e.widget;
    if (def.hidden) {
      e.widget->hide();
      e.placed->hide();
    }
  }
}

TQtControlPanel::~TQtControlPanel() { Disconnect(); }

void TQtControlPanel::Disconnect() {
  for (const QMetaObject::Connection& c : connections) QObject::disconnect(c);
  connections.clear();
}

void TQtControlPanel::UserEvent(const TControlDef& def) {
  const std::function<void()> body = [this, &def] { Raise(def); };
  if (userActionGuard) {
    userActionGuard(Widget(def.name), body);
    return;
  }
  try {
    body();
  } catch (const std::exception& e) {
    qWarning("%s", e.what());
  } catch (...) {
    qWarning("unexpected error in the handler of %s", std::string(def.name).c_str());
  }
}

void TQtControlPanel::Build(const TControlDef& def, QWidget* owner, bool withOpenGL) {
  TEntry& e = entries.back();
  const QString caption = ToQString(def.caption);
  auto user = [this, &def] { UserEvent(def); };

  switch (def.kind) {
    case kUpDown: {
      auto* spin = new TUpDownBox(def.min > def.max, owner);
      spin->setRange(SaturateInt16(RangeLow(def)), SaturateInt16(RangeHigh(def)));
      spin->setSingleStep(std::max(1, def.increment));
      spin->setValue(std::clamp(SaturateInt16(def.start), spin->minimum(), spin->maximum()));
      spin->setMinimumWidth(52);
      connections.push_back(QObject::connect(spin, &QSpinBox::valueChanged, spin, user));
      e.widget = spin;
      if (def.horizontal) {
        // Arrows that point left and right, beside the field.
        auto* box = new QWidget(owner);
        auto* row = new QHBoxLayout(box);
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(1);
        spin->setButtonSymbols(QAbstractSpinBox::NoButtons);
        spin->setMinimumWidth(44);
        auto* left = new QToolButton(box);
        auto* right = new QToolButton(box);
        left->setArrowType(Qt::LeftArrow);
        right->setArrowType(Qt::RightArrow);
        left->setObjectName(ToQString(def.name) + QStringLiteral("_left"));
        right->setObjectName(ToQString(def.name) + QStringLiteral("_right"));
        for (QToolButton* b : {left, right}) {
          b->setAutoRepeat(true);
          b->setFocusPolicy(Qt::NoFocus);
          b->setFixedWidth(16);
        }
        connections.push_back(
            QObject::connect(left, &QToolButton::clicked, spin, [spin] { spin->stepBy(-1); }));
        connections.push_back(
            QObject::connect(right, &QToolButton::clicked, spin, [spin] { spin->stepBy(1); }));
        row->addWidget(left);
        row->addWidget(spin);
        row->addWidget(right);
        e.placed = box;
      }
      return;
    }
    case kTrackBar: {
      auto* slider = new QSlider(Qt::Horizontal, owner);
      slider->setRange(RangeLow(def), RangeHigh(def));
      slider->setTickInterval(std::max(1, def.increment));
      slider->setTickPosition(QSlider::TicksBelow);
      slider->setPageStep(std::max(1, def.increment));
      slider->setValue(std::clamp(def.start, RangeLow(def), RangeHigh(def)));
      connections.push_back(QObject::connect(slider, &QSlider::valueChanged, slider, user));
      e.widget = slider;
      return;
    }
    case kCheckBox: {
      auto* box = new QCheckBox(caption, owner);
      box->setChecked(def.start != 0);
      connections.push_back(QObject::connect(box, &QCheckBox::toggled, box, user));
      e.widget = box;
      return;
    }
    case kRadioButton: {
      auto* radio = new QRadioButton(caption, owner);
      QButtonGroup*& group = radioGroups[def.radioGroup];
      if (!group) {
        group = new QButtonGroup(owner);
        group->setExclusive(true);
      }
      group->addButton(radio);
      radio->setChecked(def.start != 0);
      // Only the newly checked button of the group raises its event.
      connections.push_back(QObject::connect(radio, &QRadioButton::toggled, radio,
                                             [user](bool on) {
                                               if (on) user();
                                             }));
      e.widget = radio;
      return;
    }
    case kEdit: {
      auto* edit = new QLineEdit(ToQString(def.startText), owner);
      connections.push_back(QObject::connect(edit, &QLineEdit::textEdited, edit, user));
      e.widget = edit;
      return;
    }
    case kColorSwatch: {
      auto* swatch = new TColorSwatch(owner);
      swatch->SetColor(static_cast<uint32_t>(def.start));
      connections.push_back(QObject::connect(swatch, &TColorSwatch::clicked, swatch, user));
      e.widget = swatch;
      return;
    }
    case kButton:
    case kToggleButton: {
      auto* button = new QPushButton(caption, owner);
      button->setCheckable(def.kind == kToggleButton);
      button->setAutoDefault(false);
      connections.push_back(QObject::connect(button, &QPushButton::clicked, button, user));
      e.widget = button;
      return;
    }
    case kDropDown: {
      auto* combo = new QComboBox(owner);
      for (std::string_view item : def.items) combo->addItem(ToQString(item));
      combo->setCurrentIndex(def.start >= 0 && def.start < combo->count() ? def.start : -1);
      connections.push_back(QObject::connect(combo, &QComboBox::activated, combo, user));
      e.widget = combo;
      return;
    }
    case kLabel:
      e.widget = new QLabel(caption, owner);
      return;
    case kPaintBox: {
      auto* box = new TPaintBox(owner);
      box->setFixedSize(207, 97);
      e.widget = box;
      return;
    }
    case kPicture:
      e.widget = new TPicture(owner);
      return;
    case kMemo:
      e.widget = new QPlainTextEdit(owner);
      return;
    case kGLPanel: {
      if (withOpenGL) {
        e.widget = new TGLPanel(owner);
        return;
      }
      auto* placeholder = new QLabel(QStringLiteral("No OpenGL: the surface cannot be drawn."), owner);
      placeholder->setAlignment(Qt::AlignCenter);
      placeholder->setWordWrap(true);
      placeholder->setAutoFillBackground(true);
      QPalette silver = placeholder->palette();
      silver.setColor(QPalette::Window, QColor(192, 192, 192));
      placeholder->setPalette(silver);
      e.widget = placeholder;
      return;
    }
  }
  throw std::logic_error("control kind without a widget");
}

const TQtControlPanel::TEntry& TQtControlPanel::Find(std::string_view name) const {
  const auto it = index.find(name);
  if (it == index.end()) throw std::invalid_argument("no control named " + std::string(name));
  return entries[it->second];
}

const TQtControlPanel::TEntry& TQtControlPanel::Require(
    std::string_view name, std::initializer_list<TControlKind> kinds) const {
  const TEntry& e = Find(name);
  if (std::find(kinds.begin(), kinds.end(), e.def->kind) == kinds.end())
    throw std::invalid_argument("control " + std::string(name) +
                                " does not hold that kind of value");
  if (!e.widget) throw std::logic_error("control " + std::string(name) + " no longer exists");
  return e;
}

QWidget* TQtControlPanel::Widget(std::string_view name) const {
  const auto it = index.find(name);
  return it == index.end() ? nullptr : entries[it->second].widget.data();
}

QWidget* TQtControlPanel::Placed(std::string_view name) const {
  const auto it = index.find(name);
  return it == index.end() ? nullptr : entries[it->second].placed.data();
}

int32_t TQtControlPanel::Position(std::string_view name) const {
  const TEntry& e = Require(name, {kUpDown, kTrackBar});
  if (e.def->kind == kUpDown) return static_cast<QSpinBox*>(e.widget.data())->value();
  return static_cast<QSlider*>(e.widget.data())->value();
}

void TQtControlPanel::SetPosition(std::string_view name, int32_t value) {
  const TEntry& e = Require(name, {kUpDown, kTrackBar});
  const TControlDef& def = *e.def;
  if (def.kind == kUpDown) {
    auto* spin = static_cast<QSpinBox*>(e.widget.data());
    {
      const QSignalBlocker quiet(spin);
      spin->setValue(std::clamp(SaturateInt16(value), spin->minimum(), spin->maximum()));
    }
    Raise(def);  // also when clamped or unchanged
    return;
  }
  auto* slider = static_cast<QSlider*>(e.widget.data());
  const int32_t clamped = std::clamp(value, slider->minimum(), slider->maximum());
  if (clamped == slider->value()) return;
  {
    const QSignalBlocker quiet(slider);
    slider->setValue(clamped);
  }
  Raise(def);
}

bool TQtControlPanel::Checked(std::string_view name) const {
  const TEntry& e = Require(name, {kCheckBox, kRadioButton, kToggleButton});
  return static_cast<QAbstractButton*>(e.widget.data())->isChecked();
}

void TQtControlPanel::SetChecked(std::string_view name, bool checked) {
  const TEntry& e = Require(name, {kCheckBox, kRadioButton, kToggleButton});
  const TControlDef& def = *e.def;
  auto* button = static_cast<QAbstractButton*>(e.widget.data());
  if (button->isChecked() == checked) return;
  if (def.kind == kRadioButton) {
    QButtonGroup* group = radioGroups.at(def.radioGroup);
    std::vector<std::unique_ptr<QSignalBlocker>> quiet;
    for (QAbstractButton* b : group->buttons()) quiet.push_back(std::make_unique<QSignalBlocker>(b));
    if (checked) {
      button->setChecked(true);  // the group unchecks the others
    } else {
      // An exclusive group refuses to uncheck its checked button.
      group->setExclusive(false);
      button->setChecked(false);
      group->setExclusive(true);
      return;  // unchecking raises nothing
    }
  } else {
    const QSignalBlocker quiet(button);
    button->setChecked(checked);
    if (def.kind == kToggleButton) return;  // pressed by the program: quiet
  }
  Raise(def);
}

std::string TQtControlPanel::Text(std::string_view name) const {
  const TEntry& e = Require(name, {kEdit, kUpDown, kLabel});
  QString text;
  switch (e.def->kind) {
    case kEdit: text = static_cast<QLineEdit*>(e.widget.data())->text(); break;
    case kUpDown: text = static_cast<QSpinBox*>(e.widget.data())->text(); break;
    default: text = static_cast<QLabel*>(e.widget.data())->text(); break;
  }
  return text.toStdString();
}

void TQtControlPanel::SetText(std::string_view name, const std::string& text) {
  const TEntry& e = Require(name, {kEdit, kUpDown, kLabel});
  const TControlDef& def = *e.def;
  if (def.kind == kUpDown) {
    // Typing into an up-down's field moves its position as far as its range allows.
    SetPosition(name, ParseUpDownText(text, name));
    return;
  }
  const QString value = QString::fromStdString(text);
  if (def.kind == kLabel) {
    static_cast<QLabel*>(e.widget.data())->setText(value);
    return;
  }
  auto* edit = static_cast<QLineEdit*>(e.widget.data());
  if (edit->text() == value) return;
  {
    const QSignalBlocker quiet(edit);
    edit->setText(value);
  }
  Raise(def);
}

uint32_t TQtControlPanel::Color(std::string_view name) const {
  return static_cast<TColorSwatch*>(Require(name, {kColorSwatch}).widget.data())->Color();
}

void TQtControlPanel::SetColor(std::string_view name, uint32_t color) {
  static_cast<TColorSwatch*>(Require(name, {kColorSwatch}).widget.data())->SetColor(color);
}

int32_t TQtControlPanel::ItemIndex(std::string_view name) const {
  return static_cast<QComboBox*>(Require(name, {kDropDown}).widget.data())->currentIndex();
}

void TQtControlPanel::SetItemIndex(std::string_view name, int32_t index) {
  auto* combo = static_cast<QComboBox*>(Require(name, {kDropDown}).widget.data());
  const QSignalBlocker quiet(combo);
  combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
}

int32_t TQtControlPanel::ItemCount(std::string_view name) const {
  return static_cast<QComboBox*>(Require(name, {kDropDown}).widget.data())->count();
}

void TQtControlPanel::SetItems(std::string_view name, std::vector<std::string> items) {
  auto* combo = static_cast<QComboBox*>(Require(name, {kDropDown}).widget.data());
  const QSignalBlocker quiet(combo);
  combo->clear();
  for (const std::string& item : items) combo->addItem(QString::fromStdString(item));
  combo->setCurrentIndex(-1);
}

void TQtControlPanel::Click(std::string_view name) {
  const TEntry& e = Find(name);
  switch (e.def->kind) {
    case kCheckBox:
    case kRadioButton:
    case kButton:
    case kToggleButton:
      static_cast<QAbstractButton*>(Require(name, {e.def->kind}).widget.data())->click();
      return;
    case kColorSwatch:
    case kDropDown:
      UserEvent(*e.def);
      return;
    default:
      throw std::invalid_argument("control " + std::string(name) + " cannot be clicked");
  }
}
