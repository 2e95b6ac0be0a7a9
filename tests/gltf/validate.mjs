// Validates .glb files with the Khronos glTF validator; prints each file's
// counts and every error, and exits 1 when any file has an error.
import { readFile } from 'node:fs/promises';
import { createRequire } from 'node:module';

const require = createRequire(process.env.GLTF_VALIDATOR_MODULES + '/');
const validator = require('gltf-validator');

let failed = false;
for (const path of process.argv.slice(2)) {
  const bytes = new Uint8Array(await readFile(path));
  const report = await validator.validateBytes(bytes, { maxIssues: 100 });
  const issues = report.issues;
  console.log(`${path}: ${issues.numErrors} errors, ${issues.numWarnings} warnings, ${issues.numInfos} infos, ${issues.numHints} hints`);
  for (const message of issues.messages) {
    if (message.severity <= 1)
      console.log(`  ${message.severity === 0 ? 'error' : 'warning'} ${message.code} ${message.pointer ?? ''}: ${message.message}`);
  }
  if (issues.numErrors > 0)
    failed = true;
}
process.exit(failed ? 1 : 0);
