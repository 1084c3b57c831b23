#pragma once
// How far a mesh build has come, and the user's request to stop it. Shared by the thread that
// builds and the one that shows the progress, so it holds atomics only.
//
// The build reports through the progress object made current on its own thread (TBuildScope):
// the loops of the passes are too deep to be handed one, and a build without a scope reports
// nothing and never stops early.

#include <algorithm>
#include <atomic>
#include <cstdint>

// Thrown inside a build once a stop was asked for; what the build has made is thrown away.
struct TBuildCancelled {};

class TBuildProgress {
 public:
  void Cancel() { cancelled.store(true, std::memory_order_relaxed); }
  bool Cancelled() const { return cancelled.load(std::memory_order_relaxed); }
  // Throws TBuildCancelled once Cancel was called.
  void Check() const {
    if (Cancelled()) throw TBuildCancelled();
  }
  // The work ahead in loop steps (an estimate), and the steps done.
  void Plan(int64_t steps) { planned.store(std::max<int64_t>(steps, 1), std::memory_order_relaxed); }
  void Advance(int64_t steps) { done.fetch_add(steps, std::memory_order_relaxed); }
  int64_t Done() const { return done.load(std::memory_order_relaxed); }
  // 0 to 1; an estimate that ran short stays just below 1 until the build ends.
  double Fraction() const {
    const double f = double(Done()) / double(planned.load(std::memory_order_relaxed));
    return std::clamp(f, 0.0, 0.99);
  }

 private:
  std::atomic<bool> cancelled{false};
  std::atomic<int64_t> planned{1};
  std::atomic<int64_t> done{0};
};

// Makes `progress` the one this thread's build reports to, for the scope's life.
class TBuildScope {
 public:
  explicit TBuildScope(TBuildProgress* progress);
  ~TBuildScope();
  TBuildScope(const TBuildScope&) = delete;
  TBuildScope& operator=(const TBuildScope&) = delete;

 private:
  TBuildProgress* outer;
};

// Loop steps between two looks at the stop request: a look costs next to nothing, and 65,536
// steps of the slowest loop take well under a tenth of a second.
constexpr int64_t kBuildStepsPerLook = 1 << 16;

// Called by a loop at its step `i`: every kBuildStepsPerLook steps it counts them done and
// throws TBuildCancelled when a stop was asked for. Nothing without a current progress.
void BuildStep(int64_t i);
// After a loop of `n` steps that called BuildStep: counts the steps it has not counted yet, so
// that many short loops (passes over a small mesh) add up; throws as BuildStep does.
void BuildLoopDone(int64_t n);
// Between two steps of the build: throws TBuildCancelled when a stop was asked for.
void BuildCheck();
