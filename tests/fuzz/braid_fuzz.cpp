// The braid parser, the stacked lay-out of what it parsed, and the braid diagram drawn through a
// recording canvas, on any text and any box size a widget can have.

#include <string>
#include <vector>

#include "fuzzSupport.h"
#include "knots/braidDiagram.h"
#include "knots/braidWord.h"

namespace {

// Keeps the calls, checking that every line starts from a pen position.
class TRecordingCanvas : public TCanvas {
 public:
  void SetPen(uint32_t colour, int32_t width) override {
    Expect(colour <= 0xFFFFFFu && width > 0, "a pen without a colour or width");
    ++calls;
  }
  void SetBrush(uint32_t colour) override {
    Expect(colour <= 0xFFFFFFu, "a brush without a colour");
    ++calls;
  }
  void Rectangle(int32_t x1, int32_t y1, int32_t x2, int32_t y2) override {
    if (calls == 2) box = {x1, y1, x2, y2};
    ++calls;
  }
  void MoveTo(int32_t, int32_t) override {
    moved = true;
    ++calls;
  }
  void LineTo(int32_t, int32_t) override {
    Expect(moved, "LineTo before any MoveTo");
    ++lines;
    ++calls;
  }

  std::vector<int32_t> box;
  bool moved = false;
  int64_t calls = 0, lines = 0;
};

void CheckParse(const std::string& text) {
  std::vector<int32_t> gen, power;
  int32_t nStrands = -1, nCross = -1;
  ParseBraidWord(text, gen, power, nStrands, nCross);

  int32_t letters = 0;
  for (char c : text) letters += (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
  Expect(nCross == letters, "crossings are not the letters of the word");
  Expect(gen.size() == text.size() + 1 && power.size() == text.size() + 1,
         "parser tables not sized one per character");
  int32_t maxGen = 0;
  for (int32_t k = 1; k <= nCross; ++k) {
    Expect(gen[k] != 0 && std::abs(gen[k]) <= 26, "a generator outside A..Z");
    Expect(power[k] >= 1 && power[k] <= kMaxTwistCount, "a twist count outside 1..99");
    maxGen = std::max(maxGen, std::abs(gen[k]));
  }
  Expect(nStrands == maxGen + 1, "strand count is not the highest generator plus one");

  // The stacked lay-out of the same word: one disk per strand, one band per crossing, unless a
  // disk would need more band ends than it holds.
  TSeiffert m;
  m.gen = gen;
  m.power = power;
  m.nStrands = nStrands;
  m.nCross = nCross;
  try {
    if (nCross == 0) LayoutTrivial(m, StartSettings());
    else LayoutStacked(m, StartSettings());
  } catch (const RangeError&) {
    return;
  }
  const std::string broken = CheckLayoutInvariants(m);
  Expect(broken.empty(), "stacked lay-out of \"" + text + "\": " + broken);
  if (nCross > 0)
    Expect(m.nDisks == nStrands && m.nTubes == nCross,
           "stacked lay-out is not one disk per strand and one band per crossing");
}

void CheckDiagram(const std::string& text, int32_t width, int32_t height) {
  TRecordingCanvas canvas;
  try {
    DrawBraid(text, canvas, width, height);
  } catch (const std::exception& e) {
    ExpectDeliberate(e);
    return;
  }
  Expect(canvas.box == std::vector<int32_t>{0, 0, width - 1, height - 1},
         "the diagram does not start by filling its box");
  // Columns and strand gaps of two pixels or more: every crossing is drawn.
  std::vector<int32_t> gen, power;
  int32_t nStrands = 1, nCross = 0;
  ParseBraidWord(text, gen, power, nStrands, nCross);
  if (nCross > 0 && width - 20 >= 2 * nCross && height - 20 >= 2 * (nStrands - 1))
    Expect(canvas.lines >= nCross, "a crossing was not drawn");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TFuzzInput in(data, size);
  // A paint box's size, 0 included.
  const int32_t width = in.Int(0, 32767);
  const int32_t height = in.Int(0, 32767);
  const std::string text = in.Rest();
  CheckParse(text);
  if (text.size() <= 2000) CheckDiagram(text, width, height);
  return 0;
}
