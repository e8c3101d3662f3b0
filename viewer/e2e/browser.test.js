'use strict';
// Published pages in a real browser: a project made here with an FFmpeg
// video is published with "tavlin publish", served with "tavlin serve" and
// played in the browser TAVLIN_BROWSER names (Debian's Chromium by default,
// or Firefox ESR), driven by mouse, touch and clicks.
const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const S = require('./support.js');

const BROWSER = process.env.TAVLIN_BROWSER || 'chromium';
const missing = S.missingPiece(BROWSER);
if (missing) console.log(`# browser tests skipped: ${missing}`);
const it = (name, fn) => test(name, { skip: missing || false }, fn);

// Watches the stage from the first script on: loading overlay, frames drawn,
// draw times, the first frame with its picture on screen, param events.
function watchStage() {
  const w = window;
  // A page opened with ?frameCache=BYTES holds decoded frames under that bound.
  const bound = new URLSearchParams(location.search).get('frameCache');
  if (bound !== null) w.tavlinFrameCacheBytes = Number(bound);
  w.__seen = { overlay: [], frames: [], drawMs: [], firstFrameMs: null, params: [], touchTaken: [] };
  document.addEventListener('tavlin-param', (e) => w.__seen.params.push(e.detail.text));
  // Whether the stage kept each touch from scrolling the page.
  document.addEventListener('touchstart', (e) => w.__seen.touchTaken.push(e.defaultPrevented));
  let lastOverlay = '';
  const poll = () => {
    const v = w.Tavlin && w.Tavlin.viewers && w.Tavlin.viewers[0];
    if (v) {
      const o = v.overlay;
      const state = `${o.style.display || 'block'}|${v.progressFill.style.width}|${v.overlayText.textContent}`;
      if (state !== lastOverlay) {
        lastOverlay = state;
        w.__seen.overlay.push({ display: o.style.display || 'block', width: parseFloat(v.progressFill.style.width) || 0,
          text: v.overlayText.textContent });
      }
      const p = v.presentation, list = v.frameLists && v.frameLists[0];
      if (p && w.__seen.firstFrameMs === null && list && list.frameAt(p.currentFrame) && !v.dirty &&
          v.element.hasAttribute('data-tavlin-frame')) {
        w.__seen.firstFrameMs = performance.now();
      }
    }
    requestAnimationFrame(poll);
  };
  requestAnimationFrame(poll);
  new MutationObserver((records) => {
    for (const r of records) {
      if (r.attributeName !== 'data-tavlin-frame') continue;
      const v = w.Tavlin.viewers[0];
      w.__seen.frames.push(Number(r.target.getAttribute('data-tavlin-frame')));
      if (typeof v.lastDrawMs === 'number') w.__seen.drawMs.push(v.lastDrawMs);
    }
  }).observe(document, { subtree: true, attributes: true, attributeFilter: ['data-tavlin-frame'] });
}

let dir, www, server, browser, base;

test.before(async () => {
  if (missing) return;
  dir = S.scratch();
  www = path.join(dir, 'www');
  const tvl = S.makeProject(dir);
  S.tavlin('publish', tvl, path.join(www, 'site'), '--yes');
  fs.writeFileSync(path.join(www, 'site', 'linked.html'), '<!DOCTYPE html><title>linked</title><p>linked page</p>\n');
  // The same project with everything in data.jar.
  S.tavlin('publish', tvl, path.join(www, 'jar'), '--yes', '--steps', 'all');
  // A copy whose content file is cut short.
  fs.cpSync(path.join(www, 'site'), path.join(www, 'damaged'), { recursive: true });
  const content = fs.readFileSync(path.join(www, 'site', 'tavlin.txt'));
  fs.writeFileSync(path.join(www, 'damaged', 'tavlin.txt'), content.subarray(0, Math.floor(content.length * 0.4)));
  server = await S.serve(www);
  base = server.address;
  browser = await S.openBrowser(BROWSER, path.join(dir, 'profile'));
  await browser.addInitScript(watchStage);
});

test.after(async () => {
  if (browser) await browser.close();
  if (server) server.stop();
  if (dir) fs.rmSync(dir, { recursive: true, force: true });
});

async function openPage(name, viewport, query = '') {
  const page = await browser.newPage({ viewport });
  await page.goto(base + name + '/index.html' + query);
  await page.waitForSelector('.tavlin-stage[data-tavlin-state=ready]', 20000);
  return page;
}

// Client coordinates of a stage point, wherever the stage sits and however
// it is scaled: a quarter into the pixel, so that drivers that round to whole
// client pixels stay on it.
async function stageMapper(page) {
  const r = await page.evaluate(() => {
    const c = document.querySelector('.tavlin-stage canvas').getBoundingClientRect();
    return { x: c.left, y: c.top, w: c.width, h: c.height };
  });
  return (sx, sy) => ({ x: r.x + ((sx + 0.25) * r.w) / 320, y: r.y + ((sy + 0.25) * r.h) / 240 });
}

const currentFrame = (page) => page.evaluate(() => window.Tavlin.viewers[0].presentation.currentFrame);
const waitFrame = (page, test, what) => page.waitForFunction(test, 5000).catch(async () => {
  assert.fail(`${what}: the stage stayed at frame ${await currentFrame(page)}`);
});

// The frame a point of the straight drag path maps to: its share of the way
// from one end to the other, rounded to the nearest frame.
function frameOnDragPath(x) {
  const { from, to } = S.LAYOUT.drag;
  return Math.round(from[2] + ((x - from[0]) / (to[0] - from[0])) * (to[2] - from[2]));
}

// Mean difference per channel between the stage and frame `f` as the
// command-line tool rebuilds it, below the buttons and above the path.
async function differenceFromFrame(page, folder, f) {
  const png = path.join(dir, `frame-${f}.png`);
  S.tavlin('framelist', 'frame', path.join(www, folder, 'v0.txt'), String(f), png);
  const b64 = fs.readFileSync(png).toString('base64');
  return page.evaluate(async (data) => {
    const bytes = Uint8Array.from(atob(data), (c) => c.charCodeAt(0));
    const bitmap = await createImageBitmap(new Blob([bytes], { type: 'image/png' }));
    const ref = new OffscreenCanvas(320, 240).getContext('2d');
    ref.drawImage(bitmap, 0, 0, 320, 240);
    const stage = document.querySelector('.tavlin-stage canvas');
    const sx = stage.width / 320, sy = stage.height / 240;
    const shown = new OffscreenCanvas(320, 240).getContext('2d');
    shown.drawImage(stage, 0, 0, stage.width, stage.height, 0, 0, 320, 240);
    const a = ref.getImageData(0, 100, 320, 90).data, b = shown.getImageData(0, 100, 320, 90).data;
    let sum = 0, n = 0;
    for (let i = 0; i < a.length; i += 4) for (let c = 0; c < 3; c++) { sum += Math.abs(a[i + c] - b[i + c]); n++; }
    return { mean: sum / n, scale: [sx, sy] };
  }, b64);
}

function summary(ms) {
  const s = [...ms].sort((a, b) => a - b);
  const q = (p) => s[Math.min(s.length - 1, Math.floor(p * s.length))];
  return `n=${s.length} median=${q(0.5).toFixed(2)} p95=${q(0.95).toFixed(2)} max=${s[s.length - 1].toFixed(2)} ms`;
}

it('a mouse drag along the path shows the frame the path maps to, as the tool rebuilds it', async () => {
  const page = await openPage('site');
  const at = await stageMapper(page);
  const start = at(40, 200);
  await page.mouse.move(start.x, start.y);
  await page.mouse.down();
  for (const x of [40, 70, 100, 130, 160, 190, 220, 250, 280, 150]) {
    const p = at(x, 200);
    await page.mouse.move(p.x, p.y, { steps: 4 });
    const want = frameOnDragPath(x);
    await waitFrame(page, `window.Tavlin.viewers[0].presentation.currentFrame === ${want} &&
      document.querySelector('.tavlin-stage').getAttribute('data-tavlin-frame') === '${want}'`, `dragged to x=${x}`);
    // Also off the path: the pointer's place across the path does not matter.
    const near = await differenceFromFrame(page, 'site', want);
    const far = await differenceFromFrame(page, 'site', want >= 20 ? want - 15 : want + 15);
    assert.ok(near.mean < 8, `frame ${want} differs from the tool's by ${near.mean.toFixed(1)} per channel`);
    assert.ok(far.mean > near.mean * 2, `frame ${want}: a far frame is as close (${far.mean.toFixed(1)})`);
  }
  await page.mouse.up();
  const seen = await page.evaluate(() => window.__seen);
  assert.ok(seen.firstFrameMs !== null, 'a first frame was drawn');
  console.log(`# ${BROWSER}: first frame on screen ${seen.firstFrameMs.toFixed(0)} ms after navigation`);
  console.log(`# ${BROWSER}: draw time per frame while dragging with the mouse: ${summary(seen.drawMs)}`);
  await page.close();
});

it('with a small bound on decoded frames, dragging decodes again what was put out and shows the same frames', async () => {
  const bound = 1 << 20;
  const page = await openPage('site', null, `?frameCache=${bound}`);
  const at = await stageMapper(page);
  const start = at(280, 200);
  await page.mouse.move(start.x, start.y);
  await page.mouse.down();
  for (const x of [280, 45, 250, 100, 190]) {
    const p = at(x, 200);
    await page.mouse.move(p.x, p.y, { steps: 3 });
    const want = frameOnDragPath(x);
    // The stage shows the frame once the pictures it waits for are decoded.
    await waitFrame(page, `window.Tavlin.viewers[0].presentation.currentFrame === ${want} && !window.Tavlin.viewers[0].waiting &&
      !window.Tavlin.viewers[0].dirty`, `dragged to x=${x}`);
    const near = await differenceFromFrame(page, 'site', want);
    assert.ok(near.mean < 8, `frame ${want} differs from the tool's by ${near.mean.toFixed(1)} per channel`);
  }
  await page.mouse.up();
  const cache = await page.evaluate(() => {
    const v = window.Tavlin.viewers[0], c = v.pixelCache;
    const putOut = v.frameLists[0].records.filter((r) => r.arrived && !r.picture).length;
    return { limit: c.limit, peak: c.peak, bytes: c.bytes, putOut };
  });
  assert.equal(cache.limit, bound);
  assert.ok(cache.putOut > 0, 'pictures were put out of the cache');
  // Past the bound only by what one frame is drawn from: its key frame, the
  // key patch and the few difference patches it takes blocks from (the whole
  // test video decoded would be some thirty frames' worth).
  assert.ok(cache.peak <= bound + 6 * 320 * 240 * 4, `peak ${cache.peak}`);
  await page.close();
});

it('a touch on the path drags it; a touch elsewhere scrolls the page and leaves the frame', async () => {
  // A phone-sized window: the stage shrinks to fit and the page scrolls.
  const page = await openPage('site', { width: 360, height: 300 });
  const at = await stageMapper(page);
  const swipe = (from, to) => page.swipe(from, to);
  await swipe(at(60, 202), at(220, 198));
  const want = frameOnDragPath(220);
  await waitFrame(page, `window.Tavlin.viewers[0].presentation.currentFrame === ${want}`, 'touch drag to x=220');
  assert.equal(await page.evaluate(() => window.scrollY), 0, 'dragging the path does not scroll');
  assert.deepEqual(await page.evaluate(() => window.__seen.touchTaken), [true], 'the stage takes a touch on the path');

  await swipe(at(190, 130), at(190, 50));
  assert.deepEqual(await page.evaluate(() => window.__seen.touchTaken), [true, false], 'and leaves one far from it');
  // Firefox's driver hands touches to the page without its scrolling (a
  // plain long page does not scroll either); Chromium's scroll for real.
  if (BROWSER !== 'firefox') await page.waitForFunction(() => window.scrollY > 20, 5000);
  assert.equal(await currentFrame(page), want, 'a touch far from the path leaves the frame');
  await page.close();
});

it('buttons play their stretch, jump to a target, hand a param to the page and open a link', async () => {
  const page = await openPage('site');
  const at = await stageMapper(page);
  const click = async ([x, y]) => { const p = at(x, y); await page.mouse.click(p.x, p.y); };
  const L = S.LAYOUT;

  await page.evaluate(() => { window.__seen.frames = []; });
  await click(L.buttons.play);
  await waitFrame(page, `window.Tavlin.viewers[0].presentation.currentFrame === ${L.play[1]}`, 'the play stretch');
  const frames = (await page.evaluate(() => window.__seen.frames)).filter((f) => f >= L.play[0]);
  assert.equal(frames[0], L.play[0], `the stretch starts at its first frame: ${frames}`);
  for (let i = 1; i < frames.length; i++) assert.ok(frames[i] >= frames[i - 1], `played forward: ${frames}`);
  assert.ok(new Set(frames).size >= 10, `played frame by frame: ${frames}`);

  // The stretch is not interruptible: it holds the drag until its last step
  // has run out, which on a busy machine comes a moment after frame 70.
  await page.waitForFunction(() => !window.Tavlin.viewers[0].presentation.running[0], 5000);
  await click(L.buttons.jump);
  await waitFrame(page, `${JSON.stringify(L.jumpTargets)}.includes(window.Tavlin.viewers[0].presentation.currentFrame)`,
    'the jump');

  await click(L.buttons.param);
  await page.waitForFunction(() => window.__seen.params.length > 0, 5000);
  assert.deepEqual(await page.evaluate(() => window.__seen.params), [L.paramText]);

  const popup = browser.waitForPopup(5000);
  await click(L.buttons.link);
  const linked = await popup;
  await linked.waitForLoad();
  assert.equal(linked.url(), base + 'site/' + L.link);
  assert.equal(await linked.title(), 'linked');
  await linked.close();
  await page.close();
});

it('the loading bar shows the message, fills and goes; data.jar plays like the loose files', async () => {
  const page = await browser.newPage();
  // A slow line, so that loading takes long enough to be seen (where the
  // browser can be told to slow it down).
  const slow = await page.throttle(true);
  await page.goto(base + 'jar/index.html');
  await page.waitForSelector('.tavlin-stage[data-tavlin-state=ready]', 30000);
  await page.waitForTimeout(100);
  const overlay = await page.evaluate(() => window.__seen.overlay);
  assert.ok(overlay.length >= (slow ? 3 : 2), JSON.stringify(overlay));
  assert.equal(overlay[0].text, 'TAVLIN Loading');
  assert.notEqual(overlay[0].display, 'none', 'the bar is shown while loading');
  assert.equal(overlay[overlay.length - 1].display, 'none', 'and goes once everything is in');
  for (let i = 1; i < overlay.length; i++) assert.ok(overlay[i].width >= overlay[i - 1].width || overlay[i].display === 'none');
  if (slow) await page.throttle(false);

  const at = await stageMapper(page);
  const p = at(160, 200);
  await page.mouse.move(p.x, p.y);
  await page.mouse.down();
  await page.mouse.move(p.x + 2, p.y);
  await page.mouse.up();
  const want = frameOnDragPath(160);
  await waitFrame(page, `window.Tavlin.viewers[0].presentation.currentFrame === ${want}`, 'drag on the data.jar page');
  assert.ok((await differenceFromFrame(page, 'jar', want)).mean < 8);
  await page.close();
});

it('bad pages say what is wrong in the stage: a cut content file, a page opened as a file', async () => {
  const page = await browser.newPage();
  await page.goto(base + 'damaged/index.html');
  await page.waitForSelector('.tavlin-stage[data-tavlin-state=error]', 10000);
  const text = await page.evaluate(() => window.Tavlin.viewers[0].overlayText.textContent);
  assert.match(text, /tavlin\.txt|content/i);
  assert.ok(await page.evaluate(() => window.Tavlin.viewers[0].overlay.style.display !== 'none'));

  await page.goto('file://' + path.join(www, 'site', 'index.html'));
  await page.waitForSelector('.tavlin-stage[data-tavlin-state=error]', 10000);
  assert.match(await page.evaluate(() => window.Tavlin.viewers[0].overlayText.textContent), /web server|tavlin serve/);
  await page.close();
});
