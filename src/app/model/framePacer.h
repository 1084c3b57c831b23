#pragma once
// When a loop that changes the model faster than the screen can show it (smoothing, the ride,
// an image export's progress) may ask for its next frame: at most one per display refresh,
// never while the last one has not reached the screen, and spaced so that drawing never takes
// more than half of the time, however slow the drawing is.

#include <limits>

class TFramePacer {
 public:
  // The display's refresh rate in hertz; a rate the platform does not know (0, or anything
  // outside 1..1000, NaN included) counts as 60.
  void SetRefreshRate(double hertz);
  double IntervalMs() const { return intervalMs; }

  // Whether a frame may be asked for at `nowMs` (any steady clock in milliseconds).
  bool Due(double nowMs) const;
  // Milliseconds from `nowMs` until Due turns true; 0 when it is already.
  double WaitMs(double nowMs) const;
  // A frame was asked for at `nowMs`.
  void Requested(double nowMs);
  // The frame asked for last reached the screen at `nowMs`; its cost spaces the next one.
  // Frames nobody asked for through Requested (a mouse drag) change nothing.
  void Shown(double nowMs);

  // A frame that never reaches the screen (the window hidden or minimised) holds the loop's
  // frames back no longer than this.
  static constexpr double kLostFrameMs = 250;

 private:
  double intervalMs = 1000.0 / 60;
  double requestMs = -std::numeric_limits<double>::infinity();
  double costMs = 0;
  bool inFlight = false;
};
