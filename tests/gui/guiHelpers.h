#pragma once
// Shared by the window tests: the surface format set before the application exists, and a
// watcher that answers the next modal box (message box or colour dialog) from inside its
// own event loop.

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

#include "app/ui/controlWidgets.h"
#include "app/ui/desktop.h"
#include "app/ui/glPanel.h"

// Runs before QTEST_MAIN makes the application, as the program's main does.
inline const bool kSurfaceFormatSet = (SetDefaultSurfaceFormat(), true);

// Waits for a visible top-level dialog of type T and hands it to `answer`, which closes it.
// Counts what it found, so a test can check that exactly one box appeared.
template <typename T>
class TDialogAnswerer {
 public:
  explicit TDialogAnswerer(std::function<void(T*)> answerWith) : answer(std::move(answerWith)) {
    timer.setInterval(20);
    QObject::connect(&timer, &QTimer::timeout, [this] { Look(); });
    timer.start();
  }
  // How many dialogs were answered so far, and the text of the last message box.
  int Answered() const { return answered; }
  QString LastText() const { return lastText; }

 private:
  void Look() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      auto* dialog = qobject_cast<T*>(w);
      if (!dialog || !dialog->isVisible()) continue;
      if (auto* box = qobject_cast<QMessageBox*>(w)) lastText = box->text();
      ++answered;
      answer(dialog);
      return;
    }
  }

  std::function<void(T*)> answer;
  QTimer timer;
  int answered = 0;
  QString lastText;
};

// Accepts every message box that appears while it lives.
class TMessageBoxCloser : public TDialogAnswerer<QMessageBox> {
 public:
  TMessageBoxCloser() : TDialogAnswerer([](QMessageBox* box) { box->accept(); }) {}
};

// The three windows as the program starts them, with the main window opened by a click on the
// splash picture. Null (after a failed check) when the main window did not show.
inline std::unique_ptr<TDesktop> OpenDesktop() {
  auto desktop = std::make_unique<TDesktop>();
  desktop->Show();
  if (!QTest::qWaitForWindowExposed(&desktop->splash)) return nullptr;
  QTest::mouseClick(desktop->splash.Picture(), Qt::LeftButton);
  if (!QTest::qWaitForWindowExposed(&desktop->main)) return nullptr;
  return desktop;
}

// Types `text` into an edit field as the user does: all of the old text replaced.
inline void TypeInto(QLineEdit* edit, const QString& text) {
  edit->setFocus();
  edit->selectAll();
  QTest::keyClick(edit, Qt::Key_Delete);
  QTest::keyClicks(edit, text);
}

// The desktop a window test opens in init() and closes in cleanup(), with the handles most
// tests use.
struct TDesktopUnderTest {
  std::unique_ptr<TDesktop> d;
  TForm1& Main() { return d->main; }
  TQtControlPanel& C() { return d->main.Controls(); }
  TAppState& App() { return d->main.App(); }
  void Click(const char* name) { QTest::mouseClick(C().Widget(name), Qt::LeftButton); }
  // Opens the desktop and waits for the drawing panel; false when it did not come up.
  bool Open() {
    d = OpenDesktop();
    return d && Main().GLPanel1() &&
           QTest::qWaitFor([this] { return Main().GLPanel1()->Active(); });
  }
};
