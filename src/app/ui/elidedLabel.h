#pragma once
// A one-line label that never asks for more width than it gets: a text too long for it ends
// in "…", and the whole text is its tooltip.

#include <QFrame>
#include <QString>

class TElidedLabel : public QFrame {
  Q_OBJECT
 public:
  explicit TElidedLabel(QWidget* parent = nullptr);

  QString text() const { return full; }
  void setText(const QString& text);
  void clear() { setText(QString()); }
  // The text as drawn at the current width.
  QString shownText() const;

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString full;
};
