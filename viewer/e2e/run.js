'use strict';
// Runs the browser tests, or exits 77 (CTest's "skipped") with the reason
// when Chromium, playwright-core, the tool or ffmpeg is not there.
const path = require('node:path');
const { spawnSync } = require('node:child_process');
const { missingPiece } = require('./support.js');

const missing = missingPiece();
if (missing) {
  console.log(`browser tests skipped: ${missing}`);
  process.exit(77);
}
const r = spawnSync(process.execPath, ['--test', path.join(__dirname, 'browser.test.js')], { stdio: 'inherit' });
process.exit(r.status === null ? 1 : r.status);
