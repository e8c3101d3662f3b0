'use strict';
// What the browser tests share: the command-line tool, a project made on the
// spot with an FFmpeg-made video, "tavlin serve" as a child process, and
// Debian's Chromium through playwright-core.
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { spawn, spawnSync } = require('node:child_process');

const CHROMIUM = process.env.TAVLIN_CHROMIUM || '/usr/bin/chromium';
const CLI = process.env.TAVLIN_CLI || path.resolve(__dirname, '../../build/bin/tavlin');

// Why the browser tests cannot run here, or null.
function missingPiece() {
  if (!fs.existsSync(CHROMIUM)) return `no Chromium at ${CHROMIUM} (scripts/install-deps installs the package "chromium")`;
  try {
    require.resolve('playwright-core');
  } catch (e) {
    return 'playwright-core is not installed (run "npm ci" in viewer/, as scripts/install-deps does)';
  }
  if (!fs.existsSync(CLI)) return `no tavlin tool at ${CLI} (build it, or set TAVLIN_CLI)`;
  if (spawnSync('ffmpeg', ['-version']).status !== 0) return 'no ffmpeg to make the test video';
  return null;
}

function run(cmd, args, opts) {
  const r = spawnSync(cmd, args, Object.assign({ encoding: 'utf8' }, opts));
  if (r.status !== 0) throw new Error(`${cmd} ${args.join(' ')} failed (${r.status}):\n${r.stderr}`);
  return r.stdout;
}

function tavlin(...args) { return run(CLI, args); }

function scratch() { return fs.mkdtempSync(path.join(os.tmpdir(), 'tavlin-browser-')); }

// A 320x240 clip whose frames all differ: FFmpeg's moving test card.
function makeVideo(file, frames) {
  run('ffmpeg', ['-v', 'error', '-y', '-f', 'lavfi', '-i', 'testsrc2=s=320x240:rate=25',
    '-frames:v', String(frames), '-c:v', 'mjpeg', '-q:v', '3', '-an', file]);
}

// A drag path record block. points: [[x, y, frame], ...]; opts: look and range.
function pathBlock(name, rect, points, opts = {}) {
  const [r, g, b] = opts.colour || [255, 0, 0];
  const lines = ['.O 2', `.OP ${rect.join(' ')}`, `.OR ${(opts.range || [0, 99]).join(' ')}`, `.ON ${name}`, '.OE 1', '.OL 0'];
  for (let s = 0; s < 3; s++) lines.push(`.ODMI${s} `, `.ODMW${s} ${opts.width || 2}`, `.ODMC${s} ${r} ${g} ${b}`);
  lines.push(`.ODMA ${opts.arrows || 0}`, '.ODMB 0', `.ODMD ${opts.grab || 0}`, '.ODMFT 0', '.ODMK 0', '.ODMTD 0');
  for (const [x, y, f] of points) lines.push(`.P ${x} ${y} ${f} 1`);
  return lines;
}

// The project of the browser tests, 100 frames over a 320x240 stage:
//   "drag"   a straight path (40,200) -> (280,200) over frames 0..39
//   "play"   a button at frame 50, where a play stretch runs 50..70
//   "jump"   a button at frame 75, where a jump goes to 10, 20 or 30
//   "param"  a button at frame 80, where a param event hands "greeting=hello"
//   "link"   a button at frame 85, where a link opens "linked.html" in "_blank"
const LAYOUT = {
  drag: { from: [40, 200, 0], to: [280, 200, 39] },
  buttons: { play: [36, 30, 50], jump: [136, 30, 75], param: [236, 30, 80], link: [36, 80, 85] },
  play: [50, 70], jumpTargets: [10, 20, 30], paramText: 'greeting=hello', link: 'linked.html',
};

function makeProject(dir) {
  makeVideo(path.join(dir, 'clip.avi'), 100);
  const L = LAYOUT;
  const lines = ['.V 3', '.D 320 240', '.L 100', '.SF 0',
    '.O 0', '.OP 0 0 320 240', '.OR 0 99', '.ON video0', '.OE 1', '.OL 0', '.OVS 0 clip.avi', '.OT 0 0 0 0 '];
  lines.push(...pathBlock('drag', [40, 199, 241, 3], [L.drag.from, L.drag.to], { arrows: 3 }));
  for (const [name, [x, y, f]] of Object.entries(L.buttons)) {
    lines.push(...pathBlock(name, [x - 16, y - 2, 33, 5], [[x - 16, y, f], [x + 16, y, f]],
      { width: 4, grab: 12, colour: [0, 160, 0] }));
  }
  lines.push('.E 0', `.ER ${L.play.join(' ')}`, '.ET 20', '.EI 0');
  lines.push('.E 1', '.ER 75 75', '.ET 10', ...L.jumpTargets.map((t) => `.EF ${t}`));
  lines.push('.E 4', '.ER 80 80', '.ET 0', `.EP ${L.paramText}`);
  lines.push('.E 3', '.ER 85 85', '.ET 0', '.ETG _blank', `.EU ${L.link}`);
  lines.push('..');
  const file = path.join(dir, 'browser.tvl');
  fs.writeFileSync(file, lines.join('\n') + '\n');
  return file;
}

// "tavlin serve DIR" until stop(); resolves with the address it printed.
function serve(dir) {
  return new Promise((resolve, reject) => {
    const child = spawn(CLI, ['serve', dir], { stdio: ['ignore', 'pipe', 'pipe'] });
    let out = '', err = '';
    child.stdout.on('data', (d) => {
      out += d;
      const line = out.split('\n');
      if (line.length > 1) resolve({ address: line[0].trim(), stop: () => child.kill('SIGTERM'), child });
    });
    child.stderr.on('data', (d) => { err += d; });
    child.on('exit', (code) => reject(new Error(`tavlin serve ended (${code}): ${err}`)));
  });
}

async function launchBrowser(userDataDir) {
  const { chromium } = require('playwright-core');
  // The machine's network is closed: no background connections, no updates.
  return chromium.launchPersistentContext(userDataDir, {
    executablePath: CHROMIUM,
    headless: true,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
    viewport: { width: 800, height: 700 },
    hasTouch: true,
  });
}

module.exports = { CLI, CHROMIUM, LAYOUT, missingPiece, tavlin, scratch, makeProject, serve, launchBrowser };
