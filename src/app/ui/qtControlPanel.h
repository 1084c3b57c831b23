#pragma once
// The control panel over real widgets: one widget per row of the control table, objectName =
// component name, with the toolkit quirks of controlPanel.h. A write by the program blocks the
// widget's own signals and raises the bound event itself (so clamped and unchanged up-down
// writes raise too); an edit by the user reaches the same event through the widget's signal.
// Each change therefore raises exactly once, whichever way it came.

#include <QMetaObject>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <initializer_list>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "app/model/controlPanel.h"

class QButtonGroup;

class TQtControlPanel : public TControlPanel {
 public:
  // Builds every control of the table as a child of `owner`; the windows then move them into
  // their pages. Controls start at their window-definition values; nothing is raised.
  // Without OpenGL the drawing panel is a plain placeholder that says so (a window must not
  // hold an OpenGL panel then).
  explicit TQtControlPanel(QWidget* owner, bool withOpenGL = true);
  ~TQtControlPanel() override;
  TQtControlPanel(const TQtControlPanel&) = delete;
  TQtControlPanel& operator=(const TQtControlPanel&) = delete;

  int32_t Position(std::string_view name) const override;
  void SetPosition(std::string_view name, int32_t value) override;
  bool Checked(std::string_view name) const override;
  void SetChecked(std::string_view name, bool checked) override;
  std::string Text(std::string_view name) const override;
  void SetText(std::string_view name, const std::string& text) override;
  uint32_t Color(std::string_view name) const override;
  void SetColor(std::string_view name, uint32_t color) override;
  int32_t ItemIndex(std::string_view name) const override;
  void SetItemIndex(std::string_view name, int32_t index) override;
  int32_t ItemCount(std::string_view name) const override;
  void SetItems(std::string_view name, std::vector<std::string> items) override;
  // The user's action, done on the widget (a button's click, a box toggled, a swatch or list
  // entry chosen); its handler runs through userActionGuard like any other user action.
  void Click(std::string_view name) override;

  // The control's own widget, nullptr for an unknown name.
  QWidget* Widget(std::string_view name) const;
  template <typename T>
  T* As(std::string_view name) const {
    return qobject_cast<T*>(Widget(name));
  }
  // What a page places for the control: its widget, or a box that also holds its arrows.
  QWidget* Placed(std::string_view name) const;

  // Every handler that a user action raises runs inside this (the window's error guard), with
  // the control's widget, so that an error box opens over the window the user was in. Without
  // one, an error of a handler is dropped with a warning: nothing may reach Qt's event loop.
  std::function<void(QWidget* origin, const std::function<void()>&)> userActionGuard;

  // Drops every signal connection (before the window that holds the handlers goes away).
  void Disconnect();

 private:
  struct TEntry {
    const TControlDef* def = nullptr;
    QPointer<QWidget> widget;
    QPointer<QWidget> placed;
  };

  void Build(const TControlDef& def, QWidget* owner, bool withOpenGL);
  void UserEvent(const TControlDef& def);
  const TEntry& Require(std::string_view name, std::initializer_list<TControlKind> kinds) const;
  const TEntry& Find(std::string_view name) const;

  std::vector<TEntry> entries;
  std::unordered_map<std::string_view, size_t> index;
  std::unordered_map<std::string_view, QButtonGroup*> radioGroups;
  std::vector<QMetaObject::Connection> connections;
};
