'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const T = require('../tavlin.js');
const { encodeBlockIndices, writeFrameList, picture, tavlinCli, runCli } = require('../test_support/writers.js');

function rng(seed) { return () => ((seed = (seed * 1103515245 + 12345) >>> 0) / 2 ** 32); }

// Packs [value, bit count] pairs, most significant bit first.
function bits(...fields) {
  const out = [];
  for (const [v, n] of fields) for (let i = n - 1; i >= 0; i--) out.push(Math.floor(v / 2 ** i) % 2);
  const bytes = new Uint8Array(Math.ceil(out.length / 8));
  out.forEach((b, i) => { if (b) bytes[i >> 3] |= 0x80 >> (i & 7); });
  return bytes;
}

function decodeAll(bytes) {
  const d = new T.BlockIndexDecoder(bytes);
  const out = [];
  while (d.remaining() > 0) out.push(d.next());
  return out;
}

test('block index coder: round trips, a single value spends no bits, damage is refused', () => {
  const r = rng(7);
  // Fibonacci counts give codes of up to 20 bits, past what is looked up at once.
  const fib = [1, 1];
  while (fib.length < 21) fib.push(fib[fib.length - 1] + fib[fib.length - 2]);
  const deep = fib.flatMap((n, v) => new Array(n).fill(v * 37)).sort(() => r() - 0.5);
  for (const values of [[0], [5, 5, 5, 5], [0, 1], [65535, 0, 65535], Array.from({ length: 3000 }, () => Math.floor(r() * r() * 1200)), deep]) {
    assert.deepEqual(decodeAll(encodeBlockIndices(values)), values);
    // Cut anywhere, the stream is refused rather than read wrong.
    const whole = encodeBlockIndices(values);
    if (values.length > 100) assert.throws(() => decodeAll(whole.subarray(0, whole.length - 3)), /cut short/);
  }
  // count, M = 9 and one leaf: 31 + 16 + 1 + 4 bits, whatever the count.
  assert.equal(encodeBlockIndices(new Array(1000).fill(9)).length, Math.ceil(52 / 8));
  assert.deepEqual(decodeAll(encodeBlockIndices([])), []);
  // A leaf above the stated maximum, a tree with too many inner nodes, a cut stream.
  assert.throws(() => new T.BlockIndexDecoder(bits([2, 31], [2, 16], [1, 1], [0, 1], [3, 2], [0, 1], [1, 2])), /above its stated maximum/);
  assert.throws(() => new T.BlockIndexDecoder(bits([2, 31], [1, 16], [1, 1], [1, 1], [0, 1], [0, 1])), /malformed tree/);
  const cut = encodeBlockIndices([1, 2, 3, 4, 5, 6, 7, 8]);
  assert.throws(() => decodeAll(cut.subarray(0, cut.length - 1)), /cut short/);
  // A huge count with a one-leaf tree costs nothing until integers are taken.
  const huge = new T.BlockIndexDecoder(bits([0x7fffffff, 31], [0, 16], [0, 1]));
  assert.equal(huge.remaining(), 0x7fffffff);
  assert.equal(huge.next(), 0);
});

// Frames of a small moving scene whose width and height are not multiples of 8.
function scene(W, H, frames, seed) {
  const r = rng(seed);
  const base = picture(W, H, (x, y) => 0xff000000 | ((x * 9) << 16) | ((y * 13) << 8) | ((x ^ y) & 255));
  const out = [];
  let cur = base;
  for (let i = 0; i < frames; i++) {
    const bx = Math.floor(r() * W), by = Math.floor(r() * H), c = 0xff000000 | Math.floor(r() * 0xffffff);
    cur = picture(W, H, (x, y) => (Math.abs(x - bx) < 5 && Math.abs(y - by) < 4 ? c : cur.data[y * W + x]));
    out.push(cur);
  }
  return out;
}

function load(written, order) {
  const list = T.parseFrameList(T.ncrfWrap(written.bytes), 'v0.txt');
  for (const r of order || list.pictureOrder()) {
    const rec = list.records[r];
    list.setPicture(r, written.pictures[rec.file]);
  }
  return list;
}

test('frame list: every record rebuilds the frame the writer meant, between and beyond records too', () => {
  const W = 37, H = 21;
  const pics = scene(W, H, 14, 3);
  // S, D, d, d, N, D (opened after N), d, gap, S again, D, d, first frame unflagged
  const codes = [0, 2, 3, 3, 3, 1, 3, 3, 0, 2, 3, 3, 3, 0];
  const written = writeFrameList(pics.map((pic, i) => ({ code: codes[i], pic })), W, H, { diffSumH: 8 });
  assert.deepEqual(written.lines.map((l) => l.split(' ').slice(0, 2).join(' ')),
    ['S 1', 'D 2', 'd 3', 'd 4', 'N 5', 'D 6', 'd 7', 'S 9', 'D 10', 'd 11', 'd 12']);
  const list = load(written);
  assert.deepEqual([list.width, list.height, list.frameCount, list.records.length], [W, H, 14, 11]);
  written.expected.forEach(({ index, pic }) => assert.deepEqual(list.frameAt(index).data, pic.data, `frame ${index}`));
  assert.deepEqual(list.frameAt(0).data, written.expected[0].pic.data, 'before the first record');
  assert.deepEqual(list.frameAt(8).data, written.expected[6].pic.data, 'between records');
  assert.deepEqual(list.frameAt(500).data, written.expected[10].pic.data, 'past the last record');
});

test('frame list: key frames show before the differences arrive, and all arrive in any order', () => {
  const W = 24, H = 16;
  const pics = scene(W, H, 6, 11);
  const written = writeFrameList(pics.map((pic, i) => ({ code: i === 0 ? 2 : 3, pic })), W, H);
  const list = T.parseFrameList(written.bytes, 'v0.txt');
  assert.equal(list.frameAt(3), null, 'nothing to show yet');
  list.setPicture(0, written.pictures[list.records[0].file]);
  assert.deepEqual(list.frameAt(3).data, written.expected[0].pic.data, 'key frame stands in');
  list.setPicture(1, written.pictures[list.records[1].file]);
  written.expected.forEach(({ index, pic }) => assert.deepEqual(list.frameAt(index).data, pic.data));
  // A first flagged frame of code 3 is written as a key frame.
  assert.match(writeFrameList([{ code: 3, pic: pics[0] }], W, H).lines[0], /^S 0 /);
});

test('frame list: plain lists, no records, wide pictures and header damage', () => {
  const plain = T.parseFrameList(Buffer.from('16 8 3 2\nN 0 a.jpg\nN 2 b.jpg\n-\n'), 'v1.txt');
  assert.deepEqual(plain.pictureOrder(), [0, 1]);
  // A smaller full frame is padded with transparent pixels, a larger one cropped.
  plain.setPicture(0, picture(8, 4, () => 0xff112233));
  plain.setPicture(1, picture(20, 10, (x) => 0xff000000 | x));
  const f0 = plain.frameAt(1);
  assert.deepEqual([f0.data[0], f0.data[8], f0.data[16 * 4]], [0xff112233, 0, 0]);
  assert.equal(plain.frameAt(2).data[15], 0xff00000f);
  assert.equal(T.parseFrameList(Buffer.from('320 240 100 0\n'), 'v0.txt').frameAt(5), null);
  // Full frames wider than 720 are reduced by the first factor that fits.
  const wide = T.parseFrameList(Buffer.from('1500 8 1 1\nN 0 w.jpg\n'), 'v0.txt');
  wide.setPicture(0, picture(1500, 8, (x) => (x % 2 ? 0xff0000ff : 0xff0000fd)));
  assert.deepEqual([wide.records[0].picture.width, wide.records[0].picture.height], [500, 2]);
  // Each target pixel averages three source columns: (253 + 255 + 253) / 3.
  assert.equal(wide.records[0].picture.data[0], 0xff0000fd);
  for (const [text, message] of [
    ['x 1 2 3\n', /header line/], ['320 240\n', /malformed header/], ['320 10001 1 0\n', /height of 10001/],
    ['8 8 2 2\nN 0 a.jpg\n', /ends after 1 of its 2/], ['8 8 1 1\nQ 0 a.jpg\n', /malformed frame line 1/],
    ['8 8 1 1\nN 0\n', /names no picture/], [`8 8 1 1\nN 0 ${'a'.repeat(3000)}\n`, /longer than 2047/],
    ['8 8 1 1\nS 0 s.jpg\nC\n' + Buffer.from(bits([2, 31], [5, 16], [0, 1], [5, 3])).toString('latin1'), /lists 5 blocks/],
    ['10000 10000 10000 10000\n' + 'S 0 s.jpg\n'.repeat(10000), /too large/],
  ]) assert.throws(() => T.parseFrameList(Buffer.from(text, 'latin1'), 'v0.txt'), message, text.slice(0, 30));
});

// Once the studio writes frame lists: TAVLIN_CLI=... TAVLIN_FRAMELIST=dir/v0.txt
test('frame list frames match "tavlin framelist frame"', { skip: !(tavlinCli() && process.env.TAVLIN_FRAMELIST) && 'set TAVLIN_CLI and TAVLIN_FRAMELIST' }, () => {
  // The pixels of the JPEG files need a decoder; the browser tests compare
  // within JPEG tolerance. Here the record table must agree.
  const fs = require('node:fs');
  const list = T.parseFrameList(fs.readFileSync(process.env.TAVLIN_FRAMELIST), 'v0.txt');
  const info = JSON.parse(runCli(['framelist', 'frame', process.env.TAVLIN_FRAMELIST, '--records', '--json']));
  assert.deepEqual(list.records.map((r) => [r.type, r.index, r.file]), info.records.map((r) => [r.type, r.index, r.file]));
});
