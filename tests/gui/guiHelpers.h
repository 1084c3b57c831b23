#pragma once
// Shared by the window tests: the surface format set before the application exists, and a
// watcher that answers modal boxes (message boxes, colour dialogs) from inside their own
// event loops.

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QtTest>

#include <functional>
#include <memory>

#include "app/ui/controlWidgets.h"
#include "app/ui/desktop.h"
#include "app/ui/glPanel.h"

// Runs before QTEST_MAIN makes the application, as the program's main does.
inline const bool kSurfaceFormatSet = (SetDefaultSurfaceFormat(), true);

// Answers every dialog of type T that is shown while it lives: `answer` gets it once the
// dialog's own event loop runs (the answer is posted from the dialog's show event), so closing
// it cannot come before exec() starts waiting, however loaded the machine is. Counts what it
// found, so a test can check that exactly one box appeared.
template <typename T>
class TDialogAnswerer : public QObject {
 public:
  explicit TDialogAnswerer(std::function<void(T*)> answerWith) : answer(std::move(answerWith)) {
    qApp->installEventFilter(this);
  }
  ~TDialogAnswerer() override { qApp->removeEventFilter(this); }
  // How many dialogs were answered so far, and the text of the last message box.
  int Answered() const { return answered; }
  QString LastText() const { return lastText; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Show) {
      auto* dialog = qobject_cast<T*>(watched);
      if (dialog && dialog->isWindow()) {
        QPointer<T> shown(dialog);
        QMetaObject::invokeMethod(
            this, [this, shown] {
              if (!shown || !shown->isVisible()) return;
              if (auto* box = qobject_cast<QMessageBox*>(shown.data())) lastText = box->text();
              ++answered;
              answer(shown.data());
            },
            Qt::QueuedConnection);
      }
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  std::function<void(T*)> answer;
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
