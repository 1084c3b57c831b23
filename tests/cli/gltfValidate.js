// Validates glTF/GLB files with the glTF validator and prints one line per file:
// "FILE: E errors, W warnings, I infos, H hints" followed by every error and warning message.
// Usage: node gltfValidate.js VALIDATOR_MODULE_DIR FILE...
'use strict';
const fs = require('fs');
const path = require('path');
const validator = require(process.argv[2]);

async function main() {
  let failed = false;
  for (const file of process.argv.slice(3)) {
    const report = await validator.validateBytes(new Uint8Array(fs.readFileSync(file)), {
      uri: path.basename(file),
      maxIssues: 0,
      writeTimestamp: false,
      externalResourceFunction: (uri) =>
        Promise.resolve(new Uint8Array(fs.readFileSync(path.join(path.dirname(file), uri)))),
    });
    const i = report.issues;
    console.log(`${file}: ${i.numErrors} errors, ${i.numWarnings} warnings, ` +
                `${i.numInfos} infos, ${i.numHints} hints`);
    for (const m of i.messages)
      if (m.severity <= 1) console.log(`  ${m.code} ${m.pointer || ''} ${m.message}`);
  }
}
main().catch((e) => { console.log(`validator failed: ${e}`); process.exit(1); });
