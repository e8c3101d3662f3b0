'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const T = require('../tavlin.js');
const { StreamWriter, opensslDesCbc, haveOpenssl, tavlinCli, runCli } = require('../test_support/writers.js');

const KEY = Buffer.from('47110815');

function header(w, date = 0) { return w.u32(0x54564c4e).u32(date).u32(0).u8(0); }

function emptyStream() {
  return header(new StreamWriter()).u16(3).u16(0).u16(0).u16(0).u16(320).u16(240).u16(100).u16(0).u16(0).bytes();
}

// One of everything: a video object, an image object, a drag path with
// thumbs and a hand-over point, and all five event kinds.
function fullStream() {
  const w = header(new StreamWriter(), 31207);
  w.u16(3).u16(2);
  w.u16(3).str8('i0.JPG').str8('i1.gif').str8('i2');
  w.u16(1).str8('a0.au');
  w.u16(640).u16(480).u16(250);
  w.u16(3);
  // video object at a negative x, two ranges
  w.u8(0).u16(-5).u16(10).u16(320).u16(240).u16(2).u32(0).u32(99).u32(150).u32(200).u16(0);
  // image object without a published picture
  w.u8(1).u16(0).u16(0).u16(64).u16(32).u16(1).u32(0).u32(249).u16(-1);
  // drag path
  w.u8(2).u16(40).u16(100).u16(241).u16(41).u16(1).u32(0).u32(249);
  w.u16(1).u8(1).u8(0xff).u8(0x80).u8(0x80);
  w.u16(-1).u8(2).u8(0xff).u8(0).u8(0);
  w.u16(2).u8(0).u8(0).u8(0).u8(0);
  w.u8(4).u8(1).u8(0xfb).u8(3).u16(0).u16(-1).u16(2).u8(1).u8(2);
  w.u16(3);
  w.u16(40).u16(120).u32(0).u8(1);
  w.u16(160).u16(140).u32(50).u8(0);
  w.u16(280).u16(120).u32(99).u8(1);
  w.u16(5);
  w.u8(0).u32(10).u32(20).u32(100).u8(1);
  w.u8(1).u32(30).u32(30).u32(0).u16(3).u32(5).u32(30).u32(60);
  w.u8(2).u32(0).u32(249).u32(50).u8(1).u16(0);
  w.u8(3).u32(40).u32(40).u32(0).str8('').str16('');
  w.u8(4).u32(41).u32(41).u32(0).str16('$play_dir=-1;$play_speed=200;colour=red');
  return w.bytes();
}

const expectedFull = {
  headerWord: 0x54564c4e, publishDate: 31207, reserved: 0, headerFlag: 0, enciphered: true, version: 3, videoCount: 2,
  pictures: ['i0.JPG', 'i1.gif', 'i2'], sounds: ['a0.au'], width: 640, height: 480, length: 250,
  objects: [
    { kind: 0, x: -5, y: 10, width: 320, height: 240, ranges: [[0, 99], [150, 200]], video: 0 },
    { kind: 1, x: 0, y: 0, width: 64, height: 32, ranges: [[0, 249]], picture: -1 },
    {
      kind: 2, x: 40, y: 100, width: 241, height: 41, ranges: [[0, 249]],
      states: [{ picture: 1, lineWidth: 1, colour: 0xff8080 }, { picture: -1, lineWidth: 2, colour: 0xff0000 }, { picture: 2, lineWidth: 0, colour: 0 }],
      arrowMode: 4, curve: 1, grabByte: 0xfb, grabDistance: 5, grabFromThumb: true, thumbs: [0, -1, 2], keepThumb: 1, thumbDirection: 2,
      points: [{ x: 40, y: 120, frame: 0, handOver: false }, { x: 160, y: 140, frame: 50, handOver: true }, { x: 280, y: 120, frame: 99, handOver: false }],
    },
  ],
  events: [
    { kind: 0, first: 10, last: 20, wait: 100, interruptible: 1 },
    { kind: 1, first: 30, last: 30, wait: 0, targets: [5, 30, 60] },
    { kind: 2, first: 0, last: 249, wait: 50, repeat: 1, sound: 0 },
    { kind: 3, first: 40, last: 40, wait: 0, target: '', address: '' },
    { kind: 4, first: 41, last: 41, wait: 0, text: '$play_dir=-1;$play_speed=200;colour=red' },
  ],
};

function publish(plain) { return T.ncrfWrap(T.desCbc(plain, KEY, true)); }

test('content file: every field, enciphered and wrapped as published', () => {
  const plain = fullStream();
  assert.deepEqual(T.parseContent(publish(plain)), expectedFull);
  // The same bytes enciphered by libcrypto read the same.
  if (haveOpenssl) assert.deepEqual(T.parseContent(T.ncrfWrap(opensslDesCbc(plain, KEY, true))), expectedFull);
  // A plain stream starts at the format version.
  const bare = plain.subarray(13);
  const parsed = T.parseContent(bare);
  assert.equal(parsed.enciphered, false);
  assert.deepEqual(parsed.objects, expectedFull.objects);
});

test('content file: the empty document is 31 bytes, 32 enciphered', () => {
  const plain = emptyStream();
  assert.equal(plain.length, 31);
  const cipher = T.desCbc(plain, KEY, true);
  assert.equal(cipher.length, 32);
  const c = T.parseContent(T.ncrfWrap(cipher));
  assert.deepEqual([c.width, c.height, c.length, c.objects, c.events], [320, 240, 100, [], []]);
  // A grab distance of 5 without grab-from-thumb reads as a path distance.
  const w = new StreamWriter();
  w.u16(3).u16(0).u16(0).u16(0).u16(320).u16(240).u16(100).u16(1);
  w.u8(2).u16(0).u16(0).u16(0).u16(0).u16(0);
  for (let s = 0; s < 3; s++) w.u16(-1).u8(1).u8(0).u8(0).u8(0);
  w.u8(3).u8(0).u8(5).u8(0).u8(0).u8(0).u16(0).u16(0);
  const o = T.parseContent(w.bytes()).objects[0];
  assert.deepEqual([o.grabDistance, o.grabFromThumb, o.points.length], [5, false, 0]);
});

test('content file: wrong key, damage and hostile counts give clear messages', () => {
  const plain = fullStream();
  assert.throws(() => T.parseContent(T.ncrfWrap(T.desCbc(plain, Buffer.from('12345678'), true))), /another key/);
  assert.throws(() => T.parseContent(new Uint8Array(0)), /empty/);
  assert.throws(() => T.parseContent(Uint8Array.from([1, 2, 3])), /damaged/);
  const v4 = plain.slice(); v4[14] = 4;
  assert.throws(() => T.parseContent(publish(v4)), /version 4/);
  // Every cut of the stream fails with a reader's message, never a crash
  // (the last 7 bytes could be mistaken for padding).
  for (let n = 13; n <= plain.length - 8; n++) {
    assert.throws(() => T.parseContent(publish(plain.subarray(0, n))), (e) => e instanceof T.TavlinError, `cut at ${n}`);
  }
  // A count far beyond the bytes present is refused before anything is built.
  const w = new StreamWriter();
  w.u16(3).u16(0).u16(0).u16(0).u16(320).u16(240).u16(100).u16(65535).u8(0);
  assert.throws(() => T.parseContent(w.bytes()), /count of 65535/);
  const bad = new StreamWriter().u16(3).u16(0).u16(0).u16(0).u16(1).u16(1).u16(1).u16(0).u16(1).u8(9).u32(0).u32(0).u32(0);
  assert.throws(() => T.parseContent(bad.bytes()), /unknown kind 9/);
});

// Cross-check with the studio's own writer once it exists:
//   TAVLIN_CLI=build/bin/tavlin TAVLIN_PROJECT=samples/x.tvl node --test viewer/test
test('content file matches "tavlin content dump --json"', { skip: !(tavlinCli() && process.env.TAVLIN_PROJECT) && 'set TAVLIN_CLI and TAVLIN_PROJECT' }, () => {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'tavlin-content-'));
  runCli(['content', 'write', process.env.TAVLIN_PROJECT, dir]);
  const file = path.join(dir, 'tavlin.txt');
  const ours = T.parseContent(fs.readFileSync(file));
  const theirs = JSON.parse(runCli(['content', 'dump', file, '--json']));
  // The dump's field names are settled with the writer; compare what both name alike.
  for (const key of Object.keys(theirs)) if (key in ours) assert.deepEqual(ours[key], theirs[key], key);
});
