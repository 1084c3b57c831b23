#pragma once
// The knot the surface on view bounds: its link lines as polylines, named against the table.

#include <string>
#include <string_view>
#include <vector>

#include "app/model/appState.h"
#include "diagram/boundaryId.h"
#include "surface/seifert.h"

// The link lines as closed polylines of mesh positions; indices outside the mesh are left out.
std::vector<std::vector<Vec3>> LinkPolylines(const TSeiffert& model);

struct TBoundaryReport {
  bool ok = false;
  std::string error;  // why there is no answer, when !ok
  TBoundaryId id;
};

// Never throws for a model the pipeline built: errors of the identification become `error`.
// `chosen` is named first among rows with the same polynomials (see IdentifyBoundary).
TBoundaryReport IdentifySurfaceBoundary(const TSeiffert& model, const TKnotTable& table,
                                        std::string_view chosen = {});

// The table row or census knot the user chose, while the model on view is still its knot; ""
// for a word or code of the user's own, and for the torus.
std::string ChosenKnot(const TAppState& app);

// The genus of the table knot the report names (a knot and its mirror image share it; where
// the report names several rows they must agree), -1 when it names none.
int32_t KnotGenus(const TBoundaryReport& report, const TKnotTable& table);

// "boundary: 5_2", "boundary: not in the table (Jones ..., Alexander ..., signature 2)",
// "boundary: unknown (reason)".
std::string BoundaryLine(const TBoundaryReport& report);
