#include "diagram/censusKnot.h"

#include "diagram/boundaryId.h"
#include "diagram/diagramBraid.h"
#include "diagram/diagramCodes.h"

std::string CensusDiagramCode(const TCensusRow& row) {
  if (!row.bestCode[0]) return row.dtCode;
  const TLinkDiagram drawn = DTCodeDiagram(row.bestCode);
  const TLaurent jones = JonesPolynomial(drawn), census = DTCodeJones(row.dtCode);
  bool mirror = jones != census && MirrorJones(jones) == census;
  // A Jones polynomial that reads the same at 1/t leaves it to the signature.
  if (jones == census && MirrorJones(jones) == jones) {
    const int32_t signature = DiagramSignature(drawn).signature;
    mirror = signature != 0 && signature == -DTCodeSignature(row.dtCode);
  }
  if (!mirror) return row.bestCode;
  std::string code;
  for (const int32_t n : ReadDTNumbers(row.bestCode))
    code += (code.empty() ? "[" : ";") + std::to_string(-n);
  return code + "]";
}

std::string CensusBraidWord(const TCensusRow& row) { return BraidOfDiagram(PDFromDT(row.dtCode)).word; }
