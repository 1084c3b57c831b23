#include "splash.h"

#include <QMouseEvent>
#include <QVBoxLayout>

#include "controlWidgets.h"
#include "pictures.h"

TForm2::TForm2(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  setObjectName(QStringLiteral("Form2"));
  setWindowTitle(QStringLiteral("Veltrane"));
  setFixedSize(400, 300);
  move(179, 135);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  picture = new TPicture(this);
  picture->setObjectName(QStringLiteral("Image1"));
  picture->SetImage(MakeStartSplashPicture());
  picture->setCursor(Qt::PointingHandCursor);
  picture->installEventFilter(this);
  layout->addWidget(picture);
}

bool TForm2::eventFilter(QObject* watched, QEvent* event) {
  if (watched == picture && event->type() == QEvent::MouseButtonRelease) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() == Qt::LeftButton &&
        picture->rect().contains(mouse->position().toPoint())) {
      emit pictureClicked();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}
