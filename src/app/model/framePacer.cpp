#include "framePacer.h"

#include <algorithm>

void TFramePacer::SetRefreshRate(double hertz) {
  intervalMs = hertz >= 1 && hertz <= 1000 ? 1000.0 / hertz : 1000.0 / 60;
}

double TFramePacer::WaitMs(double nowMs) const {
  const double since = nowMs - requestMs;
  // The first frame, or a clock that went back, holds nothing up.
  if (!(since >= 0)) return 0;
  const double wait = std::max(intervalMs, 2 * costMs) - since;
  // The last frame is still on its way: the next one waits for it, up to kLostFrameMs.
  const bool awaited = inFlight && since < kLostFrameMs;
  return awaited ? std::max(wait, 1.0) : std::max(wait, 0.0);
}

bool TFramePacer::Due(double nowMs) const { return WaitMs(nowMs) == 0; }

void TFramePacer::Requested(double nowMs) {
  // Asked again before the last one was shown: the earlier request stands for both.
  if (inFlight && nowMs - requestMs < kLostFrameMs) return;
  requestMs = nowMs;
  inFlight = true;
}

void TFramePacer::Shown(double nowMs) {
  if (!inFlight) return;
  inFlight = false;
  const double cost = nowMs - requestMs;
  // A frame longer than a lost one says nothing about the next (a dialog held the loop).
  costMs = cost >= 0 && cost < kLostFrameMs ? cost : 0;
}
