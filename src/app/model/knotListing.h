#pragma once
// Every knot the program knows by name, the table's 249 and the census's 2,728, with what a
// list of them filters by.

#include <cstdint>
#include <string>
#include <vector>

#include "app/model/appState.h"
#include "knots/knotTable.h"

struct TKnotListing {
  std::string name;
  int32_t crossings = 0;
  bool alternating = false;
  int32_t genusLow = 0, genusHigh = 0;  // equal where the genus is settled
  std::string dtCode;
};

// The table's rows in order, then the census in name order.
std::vector<TKnotListing> AllKnots(const TKnotTable& table);

// "11n_34: 11 crossings, non-alternating, genus 0 to 3".
std::string KnotListingText(const TKnotListing& knot);

// The first line of the Invariants box for a census knot on view: "11n_34, genus 0 to 3"
// (its genus, or the bounds where it is not settled), with its line end; "" otherwise.
std::string KnotHeading(const TAppState& app, const std::string& braid);
