#include "braidWord.h"

#include <algorithm>
#include <cstdlib>

void ParseBraidWord(std::string text, std::vector<int32_t>& gen, std::vector<int32_t>& power,
                    int32_t& nStrands, int32_t& nCross) {
  // Sized once per call: there is never more than one entry per character.
  gen.assign(text.size() + 1, 0);
  power.assign(text.size() + 1, 0);
  nCross = 0;

  int32_t pending = 0;  // decimal value of the digits since the last letter, clamped
  auto storePending = [&] {
    if (nCross > 0) power[nCross] = std::max<int32_t>(pending, 1);
  };

  for (char ch : text) {
    if (ch >= '0' && ch <= '9') {
      pending = std::min<int32_t>(pending * 10 + (ch - '0'), kMaxTwistCount);
    } else if ((ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z')) {
      storePending();
      ++nCross;
      gen[nCross] = (ch >= 'a') ? -(ch - 'a' + 1) : (ch - 'A' + 1);
      power[nCross] = 1;
      pending = 0;
    }
    // Any other character is skipped; digits on both sides of it stay one run.
  }
  storePending();

  int32_t maxGen = 0;
  for (int32_t k = 1; k <= nCross; ++k) maxGen = std::max(maxGen, std::abs(gen[k]));
  nStrands = maxGen + 1;
}
