#pragma once
// Which knot closed link lines are: their simplified diagram's polynomials matched against the
// knot table and the census of knots with 11 and 12 crossings. The chirality is relative to the row's DT code as KnotInfo reads it: told by the
// Jones polynomial, or, where that reads the same at 1/t, by the signature.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/vec3.h"
#include "diagram/diagramPolynomials.h"
#include "diagram/diagramSignature.h"
#include "knots/knotTable.h"

struct TBoundaryId {
  std::string name;         // "5_2", "5_2 (mirror image)", "unknot" or "not in the table"
  std::string row;          // the table row's or census knot's name, "" when none
  bool mirror = false;      // the mirror image of the row's DT diagram
  // Further rows or census knots with the same polynomials (5_1 and 10_132 share both, 10_84
  // and 12n_330 too), named likewise.
  std::vector<std::string> alternatives;
  int32_t components = 0;
  int32_t crossings = 0;    // of the simplified diagram
  TLaurent jonesPoly;       // in t^(1/2)
  TLaurent alexanderPoly;   // knots only
  std::string jones, alexander;  // as text; alexander "" for links
  std::string determinant;       // |Delta(-1)|; for a link that of its Goeritz matrix, 0 when split
  int32_t signature = 0;         // see diagramSignature.h for the convention
  std::vector<std::string> componentNames;  // links: the knot of each component
  std::vector<int32_t> linkingNumbers;      // links: lk(i, j) for i < j in order
  std::string pd;                           // the simplified diagram's PD code
};

// Same errors as ProjectLines; std::length_error when the polynomials are out of reach, or
// when more than kMaxNamedCrossings crossings are left after simplification (far more than a
// lay-out of a table knot shows, and the bound keeps the answer within a fraction of a second).
constexpr int32_t kMaxNamedCrossings = 100;
// Of several rows with the boundary's polynomials, `preferred` (a table row's or census knot's
// name, the knot the user chose) is named first when it is one of them; the others follow in
// table order, table rows before census knots.
TBoundaryId IdentifyBoundary(const std::vector<std::vector<Vec3>>& lines, const TKnotTable& table,
                             std::string_view preferred = {});

// The knot of a diagram (simplified here), named against the table and the census.
TBoundaryId IdentifyDiagram(TLinkDiagram diagram, const TKnotTable& table,
                            std::string_view preferred = {});

// The Jones polynomial of the diagram a DT code draws as KnotInfo reads it, computed once per
// code and kept. Throws what PDFromDT throws.
TLaurent DTCodeJones(const std::string& dtCode);

// The signature of the knot a DT code draws as KnotInfo reads it, kept per code; 0 for a code
// that cannot be drawn.
int32_t DTCodeSignature(const std::string& dtCode);

// The planar diagram a DT code draws as KnotInfo reads it, over and under as drawn. Throws what
// PDFromDT throws.
TLinkDiagram DTCodeDiagram(const std::string& dtCode);
