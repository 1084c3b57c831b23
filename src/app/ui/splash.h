#pragma once
// The splash window: borderless, on top, one picture filling it. A click on the picture
// hides it and shows the main window (the main window listens to pictureClicked).

#include <QWidget>

class TPicture;

class TForm2 : public QWidget {
  Q_OBJECT
 public:
  explicit TForm2(QWidget* parent = nullptr);
  TPicture* Picture() const { return picture; }

 signals:
  void pictureClicked();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  TPicture* picture;
};
