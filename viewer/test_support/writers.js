'use strict';
// Test-side writers built from the published byte layouts, kept apart from
// the viewer's readers so that each checks the other.
const { execFileSync, spawnSync } = require('node:child_process');
const zlib = require('node:zlib');

class StreamWriter {
  constructor() { this.out = []; }
  u8(v) { this.out.push(v & 0xff); return this; }
  u16(v) { return this.u8(v >> 8).u8(v); }
  u32(v) { return this.u16(v >>> 16).u16(v & 0xffff); }
  str8(t) { const b = Buffer.from(t, 'utf8'); this.u8(b.length); this.out.push(...b); return this; }
  str16(t) { const b = Buffer.from(t, 'utf8'); this.u16(b.length); this.out.push(...b); return this; }
  bytes() { return Uint8Array.from(this.out); }
}

// DES-CBC from libcrypto's legacy provider, padded with line feeds and keyed
// with odd parity in the top bits as the studio does. Null when unavailable.
function opensslDesCbc(data, key8, encrypt) {
  const k = Buffer.from(key8);
  for (let i = 0; i < 8; i++) {
    let ones = 0;
    for (let b = 0; b < 7; b++) ones += (k[i] >> b) & 1;
    k[i] = (k[i] & 0x7f) | (ones % 2 === 0 ? 0x80 : 0);
  }
  const padded = Buffer.alloc(Math.ceil(data.length / 8) * 8, 0x0a);
  Buffer.from(data).copy(padded);
  const r = spawnSync('openssl', ['enc', encrypt ? '-e' : '-d', '-des-cbc', '-provider', 'legacy', '-provider', 'default',
    '-K', k.toString('hex'), '-iv', '0000000000000000', '-nopad'], { input: padded });
  if (r.status !== 0 || r.error) return null;
  return new Uint8Array(r.stdout);
}

const haveOpenssl = opensslDesCbc(Buffer.alloc(8), Buffer.from('12345678'), true) !== null;

// Block index coder, encoding side, as the frame-list writer does it.
function encodeBlockIndices(values) {
  const bits = [];
  const put = (v, n) => { for (let i = n - 1; i >= 0; i--) bits.push(Math.floor(v / 2 ** i) % 2); };
  put(values.length, 31);
  if (values.length === 0) return packBits(bits);
  const M = Math.max(...values);
  put(M, 16);
  let b = 0;
  while ((1 << b) <= M) b++;
  const count = new Map();
  for (const v of values) count.set(v, (count.get(v) || 0) + 1);
  const heap = [null];
  for (let v = 0; v <= M; v++) if (count.get(v)) heap.push(v);
  const siftDown = (i) => {
    const n = heap.length - 1;
    for (;;) {
      const l = 2 * i, r = l + 1;
      if (l > n) return;
      let c = l;
      if (r <= n && count.get(heap[r]) < count.get(heap[l])) c = r;
      if (count.get(heap[i]) > count.get(heap[c])) { [heap[i], heap[c]] = [heap[c], heap[i]]; i = c; } else return;
    }
  };
  for (let i = Math.floor((heap.length - 1) / 2); i >= 1; i--) siftDown(i);
  const left = new Map(), right = new Map();
  let next = M + 1, root = heap[1];
  while (heap.length - 1 > 1) {
    const a = heap[1];
    heap[1] = heap[heap.length - 1];
    heap.pop();
    siftDown(1);
    const bb = heap[1];
    const node = next++;
    count.set(node, count.get(a) + count.get(bb));
    left.set(node, a); right.set(node, bb);
    heap[1] = node;
    siftDown(1);
    root = node;
  }
  const paths = new Map();
  const walk = (node, path) => {
    if (node <= M) { bits.push(0); put(node, b); paths.set(node, path); return; }
    bits.push(1);
    walk(left.get(node), path.concat(0));
    walk(right.get(node), path.concat(1));
  };
  walk(root, []);
  for (const v of values) bits.push(...paths.get(v));
  return packBits(bits);
}

function packBits(bits) {
  const out = new Uint8Array(Math.ceil(bits.length / 8));
  bits.forEach((bit, i) => { if (bit) out[i >> 3] |= 0x80 >> (i & 7); });
  return out;
}

function picture(w, h, fn) {
  const data = new Uint32Array(w * h);
  for (let y = 0; y < h; y++) for (let x = 0; x < w; x++) data[y * w + x] = fn(x, y) >>> 0;
  return { width: w, height: h, data };
}

function blockOf(pic, j, perRow) {
  const bx = (j % perRow) * 8, by = Math.floor(j / perRow) * 8, px = [];
  for (let y = by; y < Math.min(by + 8, pic.height); y++) for (let x = bx; x < Math.min(bx + 8, pic.width); x++) px.push([x - bx, y - by, pic.data[y * pic.width + x]]);
  return px;
}

function blockSum(px) { return px.reduce((s, [, , p]) => s + ((p >>> 16) & 255) + ((p >>> 8) & 255) + (p & 255), 0); }

function putBlock(dst, k, px) {
  const perRow = Math.ceil(dst.width / 8), bx = (k % perRow) * 8, by = Math.floor(k / perRow) * 8;
  for (const [x, y, p] of px) dst.data[(by + y) * dst.width + bx + x] = p;
}

// A frame-list writer following the publishing algorithm, with pictures kept
// as pixels instead of JPEG files. frames: [{code, pic}]; returns the file,
// the pictures by name, and what the viewer must show after each record.
function writeFrameList(frames, W, H, opts = {}) {
  const diffSumH = opts.diffSumH || 1280;
  const perRow = Math.ceil(W / 8), rows = Math.ceil(H / 8), blocks = perRow * rows;
  const lines = [], ints = [], pictures = {}, expected = [];
  let ref = null, open = null, r = 0;
  const close = () => {
    const n = open.entries.length;
    if (n === 0) { pictures[open.file] = picture(1, 1, () => 0xffffffff); }
    else {
      open.entries.sort((a, b) => b.sum - a.sum);
      const patch = picture(320, Math.ceil(n / 40) * 8, () => 0xffffffff);
      open.entries.forEach((e, k) => putBlock(patch, k, e.px));
      pictures[open.file] = patch;
    }
    ints.push(n);
    for (const e of open.entries) ints.push(e.record, e.block);
    open = null;
  };
  frames.forEach(({ code, pic }, i) => {
    if (code === 0) return;
    if (open && (code !== 3 || Math.ceil(open.entries.length / 40) * 8 > diffSumH)) close();
    if (code === 1) {
      const file = `vn${r}.jpg`;
      pictures[file] = pic;
      lines.push(`N ${i} ${file}`);
      ref = picture(W, H, (x, y) => pic.data[y * pic.width + x]);
    } else if (code === 2 || !ref) {
      const entries = [];
      for (let j = 0; j < blocks; j++) { const px = blockOf(pic, j, perRow); entries.push({ j, px, sum: blockSum(px) }); }
      entries.sort((a, b) => b.sum - a.sum);
      const patch = picture(perRow * 8, rows * 8, () => 0xffffffff);
      entries.forEach((e, k) => putBlock(patch, k, e.px));
      const file = `vs${r}.jpg`;
      pictures[file] = patch;
      lines.push(`S ${i} ${file}`);
      ints.push(entries.length, ...entries.map((e) => e.j));
      ref = picture(W, H, (x, y) => pic.data[y * W + x]);
    } else {
      if (!open) { open = { file: `vd${r}.jpg`, entries: [] }; lines.push(`D ${i} ${open.file}`); }
      else lines.push(`d ${i}`);
      for (let j = 0; j < blocks; j++) {
        const px = blockOf(pic, j, perRow);
        if (px.some(([x, y, p]) => ref.data[(Math.floor(j / perRow) * 8 + y) * W + (j % perRow) * 8 + x] !== p)) {
          open.entries.push({ sum: blockSum(px), record: r, block: j, px });
          for (const [x, y, p] of px) ref.data[(Math.floor(j / perRow) * 8 + y) * W + (j % perRow) * 8 + x] = p;
        }
      }
    }
    expected.push({ index: i, pic: { width: W, height: H, data: ref.data.slice() } });
    r++;
  });
  if (open) close();
  let text = Buffer.from(`${W} ${H} ${frames.length} ${r}\n` + lines.map((l) => l + '\n').join(''), 'latin1');
  if (ints.length) text = Buffer.concat([text, Buffer.from('C\n'), Buffer.from(encodeBlockIndices(ints))]);
  return { bytes: new Uint8Array(text), pictures, expected, lines };
}

// A minimal ZIP writer for hostile archives; sizes can be overridden.
function zipArchive(entries) {
  const locals = [], central = [];
  let offset = 0;
  for (const e of entries) {
    const name = Buffer.from(e.name);
    const data = Buffer.from(e.data || '');
    const packed = e.method === 8 ? zlib.deflateRawSync(data) : data;
    const crc = e.crc !== undefined ? e.crc : zlib.crc32 ? zlib.crc32(data) : crc32(data);
    const usize = e.usize !== undefined ? e.usize : data.length;
    const head = Buffer.alloc(30);
    head.writeUInt32LE(0x04034b50, 0); head.writeUInt16LE(20, 4); head.writeUInt16LE(e.method || 0, 8);
    head.writeUInt32LE(crc, 14); head.writeUInt32LE(packed.length, 18); head.writeUInt32LE(usize, 22);
    head.writeUInt16LE(name.length, 26);
    locals.push(head, name, packed);
    const c = Buffer.alloc(46);
    c.writeUInt32LE(0x02014b50, 0); c.writeUInt16LE(20, 4); c.writeUInt16LE(20, 6); c.writeUInt16LE(e.method || 0, 10);
    c.writeUInt32LE(crc, 16); c.writeUInt32LE(packed.length, 20); c.writeUInt32LE(usize, 24);
    c.writeUInt16LE(name.length, 28); c.writeUInt32LE(offset, 42);
    central.push(c, name);
    offset += 30 + name.length + packed.length;
  }
  const cd = Buffer.concat(central);
  const end = Buffer.alloc(22);
  end.writeUInt32LE(0x06054b50, 0); end.writeUInt16LE(entries.length, 8); end.writeUInt16LE(entries.length, 10);
  end.writeUInt32LE(cd.length, 12); end.writeUInt32LE(offset, 16);
  return new Uint8Array(Buffer.concat([...locals, cd, end]));
}

function crc32(buf) {
  let c = -1;
  for (const b of buf) { c ^= b; for (let k = 0; k < 8; k++) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1; }
  return (c ^ -1) >>> 0;
}

// The studio's command-line tool, for cross-checks once it can write these
// files: TAVLIN_CLI names it. Returns null when unset.
function tavlinCli() { return process.env.TAVLIN_CLI || null; }

function runCli(args, opts) { return execFileSync(tavlinCli(), args, Object.assign({ encoding: 'utf8' }, opts)); }

module.exports = { StreamWriter, opensslDesCbc, haveOpenssl, encodeBlockIndices, writeFrameList, picture, zipArchive, tavlinCli, runCli };
