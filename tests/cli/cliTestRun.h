#pragma once
// veltrane-cli run in-process, its exit status and both output streams captured.

#include <sstream>
#include <string>
#include <vector>

#include "cli/cliRun.h"

struct TRun {
  int status = -1;
  std::string out, err;
};

inline TRun Cli(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  TRun r;
  r.status = RunCli(args, out, err);
  r.out = out.str();
  r.err = err.str();
  return r;
}
