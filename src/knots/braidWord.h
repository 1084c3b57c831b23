#pragma once
// The braid-word parser: letters are crossings (A = first generator, lower case = inverse),
// digits after a letter its number of half twists. Every text is accepted.

#include <cstdint>
#include <string>
#include <vector>

// Longest twist count a run of digits can give; longer runs are clamped to it.
constexpr int32_t kMaxTwistCount = 99;

// Fills gen/power (element 0 unused, sized text.size() + 1), nStrands and nCross.
// A run of digits after a letter is read as one decimal number, clamped to 1..kMaxTwistCount;
// '0' continues a run but a run whose value is 0 leaves the count at 1.
void ParseBraidWord(std::string text, std::vector<int32_t>& gen, std::vector<int32_t>& power,
                    int32_t& nStrands, int32_t& nCross);
