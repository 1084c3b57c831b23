#include "app/model/knotListing.h"

#include "app/model/pipeline.h"
#include "knots/census.h"

std::vector<TKnotListing> AllKnots(const TKnotTable& table) {
  std::vector<TKnotListing> knots;
  knots.reserve(static_cast<size_t>(table.count + kCensusRowCount));
  for (int32_t i = 1; i <= table.count; ++i) {
    const TKnotEntry& r = table.Row(i);
    // Table names begin with the crossing number; the alternative name tells alternating.
    knots.push_back({r.name, std::stoi(r.name), r.altName.find('a') != std::string::npos, r.genus,
                     r.genus, r.dtCode});
  }
  for (const TCensusRow& r : kCensusRows)
    knots.push_back({r.name, r.Crossings(), r.Alternating(), r.genusLow, r.genusHigh, r.dtCode});
  return knots;
}

std::string KnotListingText(const TKnotListing& knot) {
  return knot.name + ": " + std::to_string(knot.crossings) + " crossings, " +
         (knot.alternating ? "alternating, " : "non-alternating, ") +
         GenusBoundsText(knot.genusLow, knot.genusHigh);
}

std::string KnotHeading(const TAppState& app, const std::string& braid) {
  if (!TypedCodeFor(app, braid, app.Settings.layout)) return "";
  const TCensusRow* knot = FindCensusKnot(app.typedCode->knot);
  return knot ? std::string(knot->name) + ", " + GenusBoundsText(knot->genusLow, knot->genusHigh) + "\n"
              : "";
}
