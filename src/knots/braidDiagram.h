#pragma once
// The braid diagram beside the braid word: strands as horizontal lines, one column per letter,
// each crossing drawn with the over-strand across a white gap in the under-strand. Drawn through
// a small canvas interface so the geometry is tested without a toolkit.

#include <cstdint>
#include <string>

class TCanvas {
 public:
  virtual ~TCanvas() = default;
  // Colours are red + 256 x green + 65536 x blue.
  virtual void SetPen(uint32_t colour, int32_t width) = 0;
  virtual void SetBrush(uint32_t colour) = 0;
  // Filled with the brush, outlined with the pen; corners inclusive.
  virtual void Rectangle(int32_t x1, int32_t y1, int32_t x2, int32_t y2) = 0;
  virtual void MoveTo(int32_t x, int32_t y) = 0;
  virtual void LineTo(int32_t x, int32_t y) = 0;
};

// Draws the whole W x H box for the braid word `text`.
void DrawBraid(const std::string& text, TCanvas& canvas, int32_t width, int32_t height);

// A line between two real points, each coordinate rounded (ties to even).
void DrawSegment(TCanvas& canvas, double x1, double y1, double x2, double y2);
