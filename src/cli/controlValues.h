#pragma once
// `--set NAME=VALUE`: one control written as the user would change it, raising the same
// change handler. Values outside a control's range are clamped as the control clamps them,
// with a warning.

#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>

#include "app/model/headlessWindow.h"

// A mistake in the command line: reported on stderr, exit status 2.
class TCliError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Splits "NAME=VALUE"; a missing '=' or an empty name is a TCliError.
void SplitAssignment(const std::string& text, std::string& name, std::string& value);

// Applies one setting. Unknown names, malformed values and controls that hold no value are
// TCliError; clamping writes a warning line to `warn`.
void ApplySetting(THeadlessWindow& w, const std::string& name, const std::string& value,
                  std::ostream& warn);

// Whole numbers as typed: optional sign and decimal digits (or 0x and hex digits). A number
// too large for 64 bits comes back saturated, and the control then clamps it.
int64_t ParseWholeNumber(std::string_view text, std::string_view what);
