#include "buildProgress.h"

namespace {

thread_local TBuildProgress* current = nullptr;

}  // namespace

TBuildScope::TBuildScope(TBuildProgress* progress) : outer(current) { current = progress; }

TBuildScope::~TBuildScope() { current = outer; }

void BuildStep(int64_t i) {
  if ((i & (kBuildStepsPerLook - 1)) != 0 || !current) return;
  current->Advance(kBuildStepsPerLook);
  current->Check();
}

void BuildCheck() {
  if (current) current->Check();
}
