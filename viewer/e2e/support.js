'use strict';
// What the browser tests share: the command-line tool, a project made on the
// spot with an FFmpeg-made video, "tavlin serve" as a child process, and the
// browsers driven the same way: Debian's Chromium through playwright-core,
// Debian's Firefox ESR through puppeteer-core over WebDriver BiDi.
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { spawn, spawnSync } = require('node:child_process');

const CHROMIUM = process.env.TAVLIN_CHROMIUM || '/usr/bin/chromium';
const FIREFOX = process.env.TAVLIN_FIREFOX || '/usr/bin/firefox-esr';
const CLI = process.env.TAVLIN_CLI || path.resolve(__dirname, '../../build/bin/tavlin');

// Why the browser tests cannot run here in `browser` ("chromium" or
// "firefox"), or null.
function missingPiece(browser = 'chromium') {
  const [exe, pkg, module] = browser === 'firefox' ? [FIREFOX, 'firefox-esr', 'puppeteer-core']
    : [CHROMIUM, 'chromium', 'playwright-core'];
  if (!fs.existsSync(exe)) return `no ${browser} at ${exe} (scripts/install-deps installs the package "${pkg}")`;
  try {
    require.resolve(module);
  } catch (e) {
    return `${module} is not installed (run "npm ci" in viewer/, as scripts/install-deps does)`;
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

const CHROMIUM_ARGS = ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync'];

// The browser under test, whichever it is: pages opened with the init
// scripts added so far, a popup awaited, closing. Pages offer goto, url,
// title, evaluate(fn, arg), waitForFunction(fn, timeout, arg),
// waitForSelector(selector, timeout), waitForTimeout, mouse (move with
// steps, down, up, click), swipe(from, to) with one finger, throttle(on) for
// a slow line (false where the browser cannot), and close.
async function openBrowser(name, userDataDir) {
  return name === 'firefox' ? launchFirefox(userDataDir) : launchBrowser(userDataDir);
}

async function launchBrowser(userDataDir) {
  const { chromium } = require('playwright-core');
  // The machine's network is closed: no background connections, no updates.
  const context = await chromium.launchPersistentContext(userDataDir, {
    executablePath: CHROMIUM, headless: true, args: CHROMIUM_ARGS, viewport: { width: 800, height: 700 }, hasTouch: true,
  });
  const wrap = (page) => {
    let cdp = null;
    const session = async () => cdp || (cdp = await context.newCDPSession(page));
    return {
      goto: (url) => page.goto(url), url: () => page.url(), title: () => page.title(), close: () => page.close(),
      evaluate: (fn, arg) => page.evaluate(fn, arg),
      waitForFunction: (fn, timeout, arg) => page.waitForFunction(fn, arg, { timeout }),
      waitForSelector: (sel, timeout) => page.waitForSelector(sel, { timeout }),
      waitForTimeout: (ms) => page.waitForTimeout(ms),
      waitForLoad: () => page.waitForLoadState(),
      mouse: page.mouse,
      async swipe(from, to) {
        const s = await session();
        await s.send('Input.dispatchTouchEvent', { type: 'touchStart', touchPoints: [from] });
        for (let i = 1; i <= 12; i++) {
          const p = { x: from.x + ((to.x - from.x) * i) / 12, y: from.y + ((to.y - from.y) * i) / 12 };
          await s.send('Input.dispatchTouchEvent', { type: 'touchMove', touchPoints: [p] });
        }
        await s.send('Input.dispatchTouchEvent', { type: 'touchEnd', touchPoints: [] });
      },
      async throttle(on) {
        const s = await session();
        await s.send('Network.enable');
        await s.send('Network.emulateNetworkConditions', on
          ? { offline: false, latency: 60, downloadThroughput: 400000, uploadThroughput: 400000 }
          : { offline: false, latency: 0, downloadThroughput: -1, uploadThroughput: -1 });
        return true;
      },
      async noCache() { await (await session()).send('Network.setCacheDisabled', { cacheDisabled: true }); },
    };
  };
  return {
    name: 'chromium',
    addInitScript: (fn) => context.addInitScript(fn),
    async newPage(opts = {}) {
      const page = await context.newPage();
      if (opts.viewport) await page.setViewportSize(opts.viewport);
      const w = wrap(page);
      if (opts.noCache) await w.noCache();
      return w;
    },
    waitForPopup: (timeout) => context.waitForEvent('page', { timeout }).then(wrap),
    close: () => context.close(),
  };
}

async function launchFirefox(userDataDir) {
  const puppeteer = require('puppeteer-core');
  fs.mkdirSync(userDataDir, { recursive: true });
  const browser = await puppeteer.launch({
    browser: 'firefox', executablePath: FIREFOX, headless: true, userDataDir,
    defaultViewport: { width: 800, height: 700 },
    // Touch events as on a phone; no connections out of a closed network.
    extraPrefsFirefox: {
      'dom.w3c_touch_events.enabled': 1, 'network.captive-portal-service.enabled': false,
      'app.update.enabled': false, 'browser.safebrowsing.update.enabled': false,
      // performance.now() to the microsecond, as in Chromium, for the timings reported.
      'privacy.reduceTimerPrecision': false,
    },
  });
  const scripts = [];
  const timed = (promise, timeout, what) => Promise.race([promise, new Promise((_, reject) =>
    setTimeout(() => reject(new Error(`${what}: timed out after ${timeout} ms`)), timeout).unref())]);
  const wrap = (page) => ({
    goto: (url) => page.goto(url), url: () => page.url(), title: () => page.title(), close: () => page.close(),
    evaluate: (fn, arg) => page.evaluate(fn, arg),
    waitForFunction: (fn, timeout, arg) => page.waitForFunction(fn, { timeout, polling: 'raf' }, arg),
    waitForSelector: (sel, timeout) => page.waitForSelector(sel, { timeout }),
    waitForTimeout: (ms) => new Promise((resolve) => setTimeout(resolve, ms)),
    waitForLoad: () => page.waitForFunction(() => document.readyState === 'complete', { timeout: 10000 }),
    mouse: page.mouse,
    async swipe(from, to) {
      await page.touchscreen.touchStart(from.x, from.y);
      for (let i = 1; i <= 12; i++) {
        await page.touchscreen.touchMove(from.x + ((to.x - from.x) * i) / 12, from.y + ((to.y - from.y) * i) / 12);
      }
      await page.touchscreen.touchEnd();
    },
    async throttle() { return false; },
  });
  return {
    name: 'firefox',
    addInitScript: (fn) => { scripts.push(fn); },
    async newPage(opts = {}) {
      const page = await browser.newPage();
      for (const fn of scripts) await page.evaluateOnNewDocument(fn);
      if (opts.viewport) await page.setViewport(Object.assign({ hasTouch: true }, opts.viewport));
      if (opts.noCache) await page.setCacheEnabled(false);
      return wrap(page);
    },
    waitForPopup: (timeout) => timed(new Promise((resolve) => {
      browser.once('targetcreated', async (t) => resolve(wrap(await t.page())));
    }), timeout, 'waiting for a new window'),
    close: () => browser.close(),
  };
}

module.exports = { CLI, CHROMIUM, FIREFOX, LAYOUT, missingPiece, tavlin, scratch, pathBlock, makeProject, serve, openBrowser,
  launchBrowser, launchFirefox };
