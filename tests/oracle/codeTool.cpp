// Reads one code per line, "dt CODE" or "pd CODE", and prints the PD code our readers draw, or
// "error: ..." when they refuse it: the oracle scripts compare these diagrams with Regina's.

#include <iostream>
#include <string>

#include "diagram/diagramCodes.h"

int main() {
  std::string line;
  while (std::getline(std::cin, line)) {
    const size_t space = line.find(' ');
    const std::string kind = line.substr(0, space);
    const std::string code = space == std::string::npos ? "" : line.substr(space + 1);
    try {
      const TPDCode pd = kind == "pd" ? ReadPD(code) : PDFromDT(code);
      std::cout << PDText(pd) << '\n';
    } catch (const std::exception& e) {
      std::cout << "error: " << e.what() << '\n';
    }
  }
  return 0;
}
