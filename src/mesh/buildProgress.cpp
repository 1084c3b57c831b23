#include "buildProgress.h"

namespace {

thread_local TBuildProgress* current = nullptr;

}  // namespace

TBuildScope::TBuildScope(TBuildProgress* progress) : outer(current) { current = progress; }

TBuildScope::~TBuildScope() { current = outer; }

void BuildStep(int64_t i) {
  if ((i & (kBuildStepsPerLook - 1)) != 0 || !current) return;
  // Step i ends the i steps before it: a loop's first look counts nothing.
  if (i > 0) current->Advance(kBuildStepsPerLook);
  current->Check();
}

void BuildLoopDone(int64_t n) {
  if (n <= 0 || !current) return;
  // What BuildStep counted is the steps before its last look; the rest are counted here.
  current->Advance(n - (n - 1) / kBuildStepsPerLook * kBuildStepsPerLook);
  current->Check();
}

void BuildCheck() {
  if (current) current->Check();
}
