'use strict';
// Decoded frames are held under a bound in bytes: a long video is walked
// with a small bound and must show the frames the writer meant, while the
// pictures put out of the cache are decoded again on request.
const test = require('node:test');
const assert = require('node:assert/strict');
const T = require('../tavlin.js');
const { writeFrameList, picture, encodeBlockIndices } = require('../test_support/writers.js');

function rng(seed) { return () => ((seed = (seed * 1103515245 + 12345) >>> 0) / 2 ** 32); }

// A long scene: every frame moves a small box over a patterned background.
function longScene(W, H, frames, seed) {
  const r = rng(seed);
  let cur = picture(W, H, (x, y) => 0xff000000 | ((x * 5) << 16) | ((y * 7) << 8) | ((x + y) & 255));
  const out = [];
  for (let i = 0; i < frames; i++) {
    const bx = Math.floor(r() * W), by = Math.floor(r() * H), c = 0xff000000 | Math.floor(r() * 0xffffff);
    const prev = cur;
    cur = picture(W, H, (x, y) => (Math.abs(x - bx) < 6 && Math.abs(y - by) < 5 ? c : prev.data[y * W + x]));
    out.push(cur);
  }
  return out;
}

// A frame list on a cache of `limit` bytes whose reloads are queued, as the
// browser's decoding answers later; flush() answers them.
function loadLong(written, limit, cache) {
  const list = T.parseFrameList(written.bytes, 'v0.txt', cache || new T.PixelCache(limit));
  const queue = [];
  list.reloads = 0;
  list.reload = (r) => { list.reloads++; queue.push(r); };
  list.flush = () => {
    while (queue.length) { const r = queue.shift(); list.setPicture(r, written.pictures[list.records[r].file]); }
  };
  for (const r of list.pictureOrder()) list.setPicture(r, written.pictures[list.records[r].file]);
  return list;
}

// The frame at t once every reload it asked for has come.
function settled(list, t) {
  for (let round = 0; round < 4; round++) {
    const f = list.frameAt(t);
    if (f) return f;
    list.flush();
  }
  assert.fail(`frame ${t} never settles`);
}

// What one frame can hold in the cache at once: its key frame, the patches
// it is built from, and the key patches its key frame is built from.
function frameNeeds(list, written) {
  const bytesOf = (r) => written.pictures[list.records[r].file].data.byteLength;
  const whole = list.width * list.height * 4;
  let most = 0;
  list.records.forEach((rec, r) => {
    const key = rec.type === 'N' || rec.type === 'S' ? r : rec.key;
    const owners = new Set();
    const add = (q) => {
      const k = list.records[q];
      if (k.type === 'N') owners.add(q);
      else for (let j = 0; j < list.blockCount; j++) if (k.pos[j]) owners.add(k.owner[j]);
    };
    add(key);
    if (key !== r) add(r);
    let sum = 2 * whole;
    for (const o of owners) sum += bytesOf(o);
    most = Math.max(most, sum);
  });
  return most;
}

test('frame cache: a long video stays under its bound and still shows every frame right', () => {
  const W = 45, H = 29, N = 600;
  const pics = longScene(W, H, N, 5);
  // A key frame every 25 frames, differences between, and a whole frame now and then.
  const codes = pics.map((_, i) => (i % 25 === 0 ? 2 : i % 97 === 0 ? 1 : 3));
  const written = writeFrameList(pics.map((pic, i) => ({ code: codes[i], pic })), W, H, { diffSumH: 16 });
  const all = Object.values(written.pictures).reduce((s, p) => s + p.data.byteLength, 0);
  const limit = 12 * W * H * 4;
  assert.ok(all > 10 * limit, `the pictures (${all} bytes) are far more than the bound`);

  const list = loadLong(written, limit);
  const cache = list.cache;
  assert.ok(cache.bytes <= limit, `loading ends within the bound: ${cache.bytes}`);
  const byIndex = new Map(written.expected.map((e) => [e.index, e.pic]));
  const want = (t) => { let p = null; for (const e of written.expected) if (e.index <= t) p = e.pic; return p; };

  // Played forward, each picture is decoded again at most once.
  list.reloads = 0;
  for (let t = 0; t < N; t++) assert.deepEqual(settled(list, t).data, want(t).data, `forward, frame ${t}`);
  assert.ok(list.reloads <= Object.keys(written.pictures).length, `${list.reloads} reloads for one pass`);
  // Dragged back and forth and jumped at random.
  const r = rng(9);
  const walk = [];
  for (let t = N - 1; t >= 0; t -= 3) walk.push(t);
  for (let i = 0; i < 300; i++) walk.push(Math.floor(r() * N));
  const needs = frameNeeds(list, written);
  for (const t of walk) {
    assert.deepEqual(settled(list, t).data, (byIndex.get(t) || want(t)).data, `walked, frame ${t}`);
    assert.ok(cache.bytes <= limit + needs, `${cache.bytes} bytes held at frame ${t}`);
  }
  assert.ok(cache.peak <= limit + needs, `peak ${cache.peak} over ${limit} + ${needs}`);
  assert.ok(needs < limit, 'one frame needs less than the bound here');

  // No bound at all to speak of: only what the current frame needs is held.
  const tight = loadLong(written, 0);
  for (const t of [0, 1, 24, 25, 26, 97, 98, 350, 599, 3]) {
    assert.deepEqual(settled(tight, t).data, want(t).data, `tight, frame ${t}`);
    assert.ok(tight.cache.bytes <= needs, `tight: ${tight.cache.bytes} bytes at frame ${t}`);
  }
});

test('frame cache: two videos share one bound; a picture put out before it was needed comes back', () => {
  const W = 24, H = 16;
  const a = writeFrameList(longScene(W, H, 80, 1).map((pic, i) => ({ code: i % 20 ? 3 : 2, pic })), W, H);
  const b = writeFrameList(longScene(W, H, 80, 2).map((pic, i) => ({ code: i % 20 ? 3 : 2, pic })), W, H);
  const cache = new T.PixelCache(4 * W * H * 4);
  const la = loadLong(a, 0, cache), lb = loadLong(b, 0, cache);
  for (let t = 0; t < 80; t += 7) {
    assert.deepEqual(settled(la, t).data, a.expected[t].pic.data, `a, frame ${t}`);
    assert.deepEqual(settled(lb, 79 - t).data, b.expected[79 - t].pic.data, `b, frame ${79 - t}`);
  }
  // A reload that fails (the decoder refused it this time) is asked for again.
  const lost = T.parseFrameList(a.bytes, 'v0.txt', new T.PixelCache(0));
  let asked = 0;
  lost.reload = () => { asked++; };
  for (const r of lost.pictureOrder()) lost.setPicture(r, a.pictures[lost.records[r].file]);
  lost.frameAt(5);
  assert.equal(lost.frameAt(5), null, 'waits for its pictures');
  const first = asked;
  assert.ok(first > 0);
  for (const rec of lost.records) rec.reloading = false;
  lost.frameAt(5);
  assert.ok(asked > first, 'asked again');
});

test('frame cache: a key frame that changes some blocks is rebuilt from the earlier key patches once put out', () => {
  // Three blocks across; key patches: all three, then only the middle, then only the last.
  const head = Buffer.from('24 8 3 3\nS 0 k0.jpg\nS 1 k1.jpg\nS 2 k2.jpg\nC\n', 'latin1');
  const bytes = Buffer.concat([head, Buffer.from(encodeBlockIndices([3, 0, 1, 2, 1, 1, 1, 2]))]);
  const solid = (c) => picture(8, 8, () => c);
  const patch = (...cs) => picture(8 * cs.length, 8, (x) => cs[Math.floor(x / 8)]);
  const pics = { 'k0.jpg': patch(0xff000001, 0xff000002, 0xff000003), 'k1.jpg': solid(0xff000022), 'k2.jpg': solid(0xff000033) };
  const list = loadLong({ bytes, pictures: pics }, 0);
  const blocks = (f) => [f.data[0], f.data[8], f.data[16]];
  for (const [t, want] of [[2, [1, 0x22, 0x33]], [0, [1, 2, 3]], [1, [1, 0x22, 3]], [2, [1, 0x22, 0x33]]]) {
    assert.deepEqual(blocks(settled(list, t)).map((p) => p & 0xffffff), want, `frame ${t}`);
  }
});
