// The braid surface's invariants for any word: a clear refusal or values that obey what every
// Seifert form obeys, and that do not change when the word is turned or mirrored.

#include <string>
#include <vector>

#include "fuzzSupport.h"
#include "invariants/seifertForm.h"

namespace {

// False when the word is refused; `bigNumbers` tells a refusal for the count of loops, which
// depends on the word's letters, not on how the surface is turned.
bool Compute(const std::string& word, TInvariants& r, bool* bigNumbers = nullptr) {
  try {
    r = ComputeInvariants(word);
    return true;
  } catch (const std::exception& e) {
    ExpectDeliberate(e);
    if (bigNumbers) *bigNumbers = std::string(e.what()).find("loops") != std::string::npos;
    return false;
  }
}

void CheckForm(const std::string& word, const TInvariants& r) {
  const std::string at = " for \"" + word + "\"";
  const size_t n = r.loops.size();
  Expect(r.rank == static_cast<int32_t>(n) && r.seifert.size() == n, "rank is not the loops" + at);
  for (const auto& row : r.seifert) Expect(row.size() == n, "Seifert matrix not square" + at);
  Expect(r.rank == r.surfaceParts - r.eulerCharacteristic, "rank is not parts - Euler char" + at);
  Expect(r.components >= 1 && r.genus >= 0 &&
             2 * r.genus == 2 * r.surfaceParts - r.eulerCharacteristic - r.components,
         "genus and boundary do not fit the Euler characteristic" + at);
  Expect(r.signature >= -r.rank && r.signature <= r.rank, "signature beyond the rank" + at);
  for (const TLoop& l : r.loops)
    Expect(l.bandUp < l.bandDown && l.bandUp >= 1 && l.bandDown <= r.nBands,
           "a loop through bands that do not exist" + at);

  // Past 64 bits only the decimal forms hold Delta; the text must still be theirs.
  Expect(r.alexanderText == LaurentText(r.alexanderDecimal, r.alexanderLowest2),
         "Delta's text is not its coefficients" + at);
  if (!r.fits64) return;
  const TPolynomial& d = r.alexander;
  if (r.surfaceParts != 1) {
    Expect(d.empty() && r.determinant == 0, "a split surface with a nonzero Delta" + at);
    return;
  }
  // A connected surface can still bound a split link ("AaB"): Delta may be zero.
  if (d.empty()) {
    Expect(r.components > 1 && r.determinant == 0, "a knot with Delta = 0" + at);
    return;
  }
  Expect(d.front() != 0 && d.back() != 0, "Delta not trimmed" + at);
  Expect(r.alexanderLowest2 == -static_cast<int32_t>(d.size() - 1), "Delta not centred" + at);
  const int64_t mirror = r.rank % 2 ? -1 : 1;
  for (size_t i = 0; i < d.size(); ++i)
    Expect(d[d.size() - 1 - i] == mirror * d[i], "Delta(1/t) is not +-Delta(t)" + at);
  if (r.components == 1) {
    int64_t atOne = 0;
    for (int64_t c : d) atOne += c;
    Expect(atOne == 1, "a knot with Delta(1) != 1" + at);
    Expect(r.determinant % 2 == 1, "a knot with an even determinant" + at);
    Expect(r.signature % 2 == 0, "a knot with an odd signature" + at);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TFuzzInput in(data, size);
  const int32_t turn = in.Int(0, 63);
  std::string word = in.Rest();
  if (word.size() > 400) word.resize(400);
  TInvariants r;
  if (!Compute(word, r)) return 0;
  CheckForm(word, r);

  // The same surface turned around the stack (a conjugate) and its mirror image.
  std::vector<std::string> letters;
  for (char c : word) {
    const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    if (letter) letters.push_back(std::string(1, c));
    else if (!letters.empty()) letters.back() += c;
  }
  if (letters.empty()) return 0;
  std::string turned, mirrored;
  for (size_t i = 0; i < letters.size(); ++i) turned += letters[(i + turn) % letters.size()];
  for (char c : turned) mirrored += (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ? c ^ 32 : c;
  TInvariants q, m;
  bool big = false;
  if (Compute(turned, q, &big))
    Expect(q.alexanderText == r.alexanderText && q.signature == r.signature &&
               q.components == r.components && q.genus == r.genus,
           "conjugating \"" + word + "\" changes its invariants");
  else
    Expect(big, "a conjugate of \"" + word + "\" is refused for other reasons than size");
  big = false;
  if (Compute(mirrored, m, &big))
    Expect(m.alexanderText == r.alexanderText && m.signature == -r.signature,
           "mirroring \"" + word + "\" does not keep Delta and negate the signature");
  else
    Expect(big, "the mirror of \"" + word + "\" is refused for other reasons than size");
  return 0;
}
