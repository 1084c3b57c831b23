#pragma once
// The small widgets the control table needs beyond Qt's own: an up-down whose range may run
// backwards, a colour swatch, a white paint box and a picture control.

#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QSpinBox>
#include <QWidget>

#include <array>
#include <cstdint>
#include <utility>
#include <functional>

class QPainter;

// An up-down with its edit field. With a reversed range (Min above Max) the up arrow lowers
// the value, as it does on the window definition's control.
class TUpDownBox : public QSpinBox {
  Q_OBJECT
 public:
  explicit TUpDownBox(bool reversed, QWidget* parent = nullptr);
  void stepBy(int steps) override;

 protected:
  StepEnabled stepEnabled() const override;

 private:
  bool reversed;
};

// A rectangle filled with a colour setting; a left click asks for a new colour.
class TColorSwatch : public QFrame {
  Q_OBJECT
 public:
  explicit TColorSwatch(QWidget* parent = nullptr);
  // red + 256 x green + 65536 x blue
  uint32_t Color() const { return color; }
  void SetColor(uint32_t value);
  QSize sizeHint() const override { return {26, 18}; }

 signals:
  void clicked();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  uint32_t color = 0xFFFFFF;
};

// A white drawing area; its owner draws into it through onPaint.
class TPaintBox : public QWidget {
  Q_OBJECT
 public:
  explicit TPaintBox(QWidget* parent = nullptr);
  std::function<void(QPainter&)> onPaint;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

// A picture control: shows its image and hands it out as 24-bit RGB for textures.
class TPicture : public QLabel {
  Q_OBJECT
 public:
  explicit TPicture(QWidget* parent = nullptr);
  void SetImage(const QImage& image);
  const QImage& Image() const { return image; }

 private:
  QImage image;
};

// Conversions between the program's colour values and Qt's.
QColor ToQColor(uint32_t color);
uint32_t FromQColor(const QColor& color);

// A word-wrapped label that takes the width its layout gives it and lays its text out once per
// text and width. (A plain word-wrapped label lays the whole text out again for every size
// question of every layout pass, twice each, and also at a "natural" width for its size hint:
// for a rich-text table that was most of the cost of a new knot.)
class TWrappedLabel : public QLabel {
 public:
  explicit TWrappedLabel(QWidget* parent = nullptr);
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;
  int heightForWidth(int width) const override;

 private:
  // The heights asked for since the text last changed, by width.
  static constexpr int kRemembered = 4;
  mutable QString heightsText;
  mutable std::array<std::pair<int, int>, kRemembered> heights{};
  mutable int nHeights = 0, nextHeight = 0;
};
