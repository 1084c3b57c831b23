#pragma once
// The prime knots with 11 and 12 crossings, from the knot census: name, a DT code of each, the
// DT code of a diagram of smallest canonical genus found, and the genus or its bounds.

#include <cstdint>
#include <string>
#include <string_view>

struct TCensusRow {
  const char* name;       // "11n_34", as KnotInfo writes it
  const char* dtCode;     // the census diagram, as KnotInfo reads it
  const char* bestCode;   // "" when the census diagram has the smallest canonical genus found
  int32_t genusLow;       // half the Alexander polynomial's span
  int32_t genusHigh;      // the canonical genus of the best diagram; equal to genusLow when settled

  int32_t Crossings() const;
  bool Alternating() const;
  // The diagram the Diagram lay-out draws.
  const char* DiagramCode() const { return bestCode[0] ? bestCode : dtCode; }
};

constexpr int32_t kCensusRowCount = 2728;
extern const TCensusRow kCensusRows[kCensusRowCount];

// The row of a census name, or null. Leading zeros of the number are read past, so that
// "12n_0293" is 12n_293.
const TCensusRow* FindCensusKnot(std::string_view name);

// "genus 3", or "genus 2 to 3" where only bounds are known.
std::string GenusBoundsText(int32_t low, int32_t high);
