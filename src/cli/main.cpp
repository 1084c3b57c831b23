#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "cliRun.h"
#include "mesh/meshModel.h"

int main(int argc, char** argv) {
  KeepFreedStorageForReuse();
  LeaveModelToProcessEnd();
  try {
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    return RunCli(args, std::cout, std::cerr, isatty(STDERR_FILENO) == 1);
  } catch (const std::exception& e) {
    std::cerr << "veltrane-cli: " << e.what() << '\n';
    return 2;
  }
}
