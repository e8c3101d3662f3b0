'use strict';
// Runs the browser tests in Chromium and in Firefox ESR, one after the other.
// A browser that is not installed is skipped, saying why; when neither can
// run (or the tool or ffmpeg is missing) this exits 77, CTest's "skipped".
// TAVLIN_BROWSERS=chromium (or firefox) runs only that one.
const path = require('node:path');
const { spawnSync } = require('node:child_process');
const { missingPiece } = require('./support.js');

const wanted = (process.env.TAVLIN_BROWSERS || 'chromium,firefox').split(',').map((b) => b.trim()).filter(Boolean);
let ran = 0, failed = 0;
for (const browser of wanted) {
  const missing = missingPiece(browser);
  if (missing) {
    console.log(`browser tests in ${browser} skipped: ${missing}`);
    continue;
  }
  console.log(`# browser tests in ${browser}`);
  const r = spawnSync(process.execPath, ['--test', path.join(__dirname, 'browser.test.js')],
    { stdio: 'inherit', env: Object.assign({}, process.env, { TAVLIN_BROWSER: browser }) });
  ran++;
  if (r.status !== 0) {
    failed++;
    console.log(`browser tests in ${browser} failed (${r.status === null ? r.signal : r.status})`);
  }
}
if (!ran) process.exit(77);
process.exit(failed ? 1 : 0);
