#pragma once
// The one error type of the model: a limit of a table or of the arithmetic was reached.
// Derived from std::out_of_range so that vector::at failures are handled the same way.

#include <stdexcept>
#include <string>

class RangeError : public std::out_of_range {
 public:
  explicit RangeError(const std::string& what) : std::out_of_range(what) {}
};
