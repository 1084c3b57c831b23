#include "app/model/knotListing.h"

#include <exception>

#include "diagram/diagramCodes.h"
#include "diagram/diagramPolynomials.h"
#include "diagram/seifertCircles.h"
#include "knots/census.h"

std::vector<TKnotListing> AllKnots(const TKnotTable& table) {
  std::vector<TKnotListing> knots;
  knots.reserve(static_cast<size_t>(table.count + kCensusRowCount));
  for (int32_t i = 1; i <= table.count; ++i) {
    const TKnotEntry& r = table.Row(i);
    // Table names begin with the crossing number; the alternative name tells alternating.
    knots.push_back({r.name, std::stoi(r.name), r.altName.find('a') != std::string::npos, r.genus,
                     r.genus, r.dtCode, i});
  }
  for (const TCensusRow& r : kCensusRows)
    knots.push_back({r.name, r.Crossings(), r.Alternating(), r.genusLow, r.genusHigh, r.dtCode, 0});
  return knots;
}

std::string KnotListingText(const TKnotListing& knot) {
  return knot.name + ": " + std::to_string(knot.crossings) + " crossings, " +
         (knot.alternating ? "alternating, " : "non-alternating, ") +
         GenusBoundsText(knot.genusLow, knot.genusHigh);
}

std::string CodeInvariantsText(const TAppState::TTypedCode& code) {
  std::string text;
  if (const TCensusRow* knot = FindCensusKnot(code.knot))
    text = std::string(knot->name) + ", " + GenusBoundsText(knot->genusLow, knot->genusHigh) + "\n";
  const TSeifertDiagram circles = SeifertCircles(code.pd);
  text += "Diagram: " + std::to_string(code.pd.size()) + " crossings, " +
          std::to_string(circles.circles.size()) + " Seifert circles\n";
  const TLinkDiagram diagram = DiagramFromPD(code.pd);
  try {
    if (diagram.Components() == 1)
      text += "\u0394(t) = " + PolynomialText(AlexanderPolynomial(diagram), false) + "\n";
    text += "V(t) = " + PolynomialText(JonesPolynomial(diagram), true);
  } catch (const std::exception& e) {
    text += std::string("polynomials out of reach: ") + e.what();
  }
  return text;
}
