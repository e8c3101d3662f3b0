/*
 * tavlin.js: plays published TAVLIN pages in today's browsers.
 *
 * One plain script, no build step. In a page it finds the APPLET block that
 * publishing writes, reads its size, archive list and PARAMs, and puts a canvas
 * stage in its place. Under Node it exports its pure parts for the tests.
 */
(function (root, factory) {
  'use strict';
  const api = factory(root);
  if (typeof module === 'object' && module.exports) {
    module.exports = api;
  } else {
    root.Tavlin = api;
    if (typeof document !== 'undefined') api.startWhenReady(document);
  }
})(typeof globalThis !== 'undefined' ? globalThis : this, function (root) {
  'use strict';

  // ---------------------------------------------------------------------------
  // Constants shared with the studio's content writer.

  const CONTENT_KEY_FIRST = 4711;
  const CONTENT_KEY_SECOND = 815;
  const CONTENT_HEADER_WORD = 0x54564c4e;
  const CONTENT_FORMAT_VERSION = 3;

  function contentKeyText() {
    return String(CONTENT_KEY_FIRST * 10000 + CONTENT_KEY_SECOND).padStart(8, '0');
  }

  // A failure that carries a message meant for the person looking at the page.
  class TavlinError extends Error {
    constructor(message) {
      super(message);
      this.name = 'TavlinError';
    }
  }

  function fail(message) {
    throw new TavlinError(message);
  }

  function asBytes(data) {
    if (data instanceof Uint8Array) return data;
    if (data instanceof ArrayBuffer) return new Uint8Array(data);
    if (ArrayBuffer.isView(data)) return new Uint8Array(data.buffer, data.byteOffset, data.byteLength);
    if (typeof data === 'string') return new TextEncoder().encode(data);
    fail('Expected bytes.');
  }

  const utf8 = new TextDecoder('utf-8');

  // ---------------------------------------------------------------------------
  // The "NCRF" wrapping that keeps line-break bytes out of frame lists and
  // the content file.

  function ncrfUnwrap(data) {
    const src = asBytes(data);
    if (src.length < 4 || src[0] !== 0x4e || src[1] !== 0x43 || src[2] !== 0x52 || src[3] !== 0x46) return src;
    const out = new Uint8Array(src.length - 4);
    let n = 0;
    for (let i = 4; i < src.length; i++) {
      const b = src[i];
      if (b === 0x0d || b === 0x0a) continue;
      if (b === 0x01 && i + 1 < src.length) {
        const x = src[++i];
        out[n++] = x === 1 ? 0x01 : x === 2 ? 0x0d : x === 3 ? 0x0a : x;
      } else {
        out[n++] = b;
      }
    }
    return out.subarray(0, n);
  }

  function ncrfWrap(data) {
    const src = asBytes(data);
    const out = [0x4e, 0x43, 0x52, 0x46];
    for (const b of src) {
      if (b === 0x01) out.push(1, 1);
      else if (b === 0x0d) out.push(1, 2);
      else if (b === 0x0a) out.push(1, 3);
      else out.push(b);
    }
    return Uint8Array.from(out);
  }

  // ---------------------------------------------------------------------------
  // DES in CBC mode with a zero vector and line-feed padding: the studio's
  // cipher for the content file. Browsers offer no DES, so it lives here.

  const DES_IP = [58, 50, 42, 34, 26, 18, 10, 2, 60, 52, 44, 36, 28, 20, 12, 4, 62, 54, 46, 38, 30, 22, 14, 6,
    64, 56, 48, 40, 32, 24, 16, 8, 57, 49, 41, 33, 25, 17, 9, 1, 59, 51, 43, 35, 27, 19, 11, 3,
    61, 53, 45, 37, 29, 21, 13, 5, 63, 55, 47, 39, 31, 23, 15, 7];
  const DES_P = [16, 7, 20, 21, 29, 12, 28, 17, 1, 15, 23, 26, 5, 18, 31, 10,
    2, 8, 24, 14, 32, 27, 3, 9, 19, 13, 30, 6, 22, 11, 4, 25];
  const DES_PC1 = [57, 49, 41, 33, 25, 17, 9, 1, 58, 50, 42, 34, 26, 18, 10, 2, 59, 51, 43, 35, 27,
    19, 11, 3, 60, 52, 44, 36, 63, 55, 47, 39, 31, 23, 15, 7, 62, 54, 46, 38, 30, 22,
    14, 6, 61, 53, 45, 37, 29, 21, 13, 5, 28, 20, 12, 4];
  const DES_PC2 = [14, 17, 11, 24, 1, 5, 3, 28, 15, 6, 21, 10, 23, 19, 12, 4, 26, 8, 16, 7, 27, 20, 13, 2,
    41, 52, 31, 37, 47, 55, 30, 40, 51, 45, 33, 48, 44, 49, 39, 56, 34, 53, 46, 42, 50, 36, 29, 32];
  const DES_ROTATIONS = [1, 1, 2, 2, 2, 2, 2, 2, 1, 2, 2, 2, 2, 2, 2, 1];
  const DES_S = [
    [14, 4, 13, 1, 2, 15, 11, 8, 3, 10, 6, 12, 5, 9, 0, 7, 0, 15, 7, 4, 14, 2, 13, 1, 10, 6, 12, 11, 9, 5, 3, 8,
      4, 1, 14, 8, 13, 6, 2, 11, 15, 12, 9, 7, 3, 10, 5, 0, 15, 12, 8, 2, 4, 9, 1, 7, 5, 11, 3, 14, 10, 0, 6, 13],
    [15, 1, 8, 14, 6, 11, 3, 4, 9, 7, 2, 13, 12, 0, 5, 10, 3, 13, 4, 7, 15, 2, 8, 14, 12, 0, 1, 10, 6, 9, 11, 5,
      0, 14, 7, 11, 10, 4, 13, 1, 5, 8, 12, 6, 9, 3, 2, 15, 13, 8, 10, 1, 3, 15, 4, 2, 11, 6, 7, 12, 0, 5, 14, 9],
    [10, 0, 9, 14, 6, 3, 15, 5, 1, 13, 12, 7, 11, 4, 2, 8, 13, 7, 0, 9, 3, 4, 6, 10, 2, 8, 5, 14, 12, 11, 15, 1,
      13, 6, 4, 9, 8, 15, 3, 0, 11, 1, 2, 12, 5, 10, 14, 7, 1, 10, 13, 0, 6, 9, 8, 7, 4, 15, 14, 3, 11, 5, 2, 12],
    [7, 13, 14, 3, 0, 6, 9, 10, 1, 2, 8, 5, 11, 12, 4, 15, 13, 8, 11, 5, 6, 15, 0, 3, 4, 7, 2, 12, 1, 10, 14, 9,
      10, 6, 9, 0, 12, 11, 7, 13, 15, 1, 3, 14, 5, 2, 8, 4, 3, 15, 0, 6, 10, 1, 13, 8, 9, 4, 5, 11, 12, 7, 2, 14],
    [2, 12, 4, 1, 7, 10, 11, 6, 8, 5, 3, 15, 13, 0, 14, 9, 14, 11, 2, 12, 4, 7, 13, 1, 5, 0, 15, 10, 3, 9, 8, 6,
      4, 2, 1, 11, 10, 13, 7, 8, 15, 9, 12, 5, 6, 3, 0, 14, 11, 8, 12, 7, 1, 14, 2, 13, 6, 15, 0, 9, 10, 4, 5, 3],
    [12, 1, 10, 15, 9, 2, 6, 8, 0, 13, 3, 4, 14, 7, 5, 11, 10, 15, 4, 2, 7, 12, 9, 5, 6, 1, 13, 14, 0, 11, 3, 8,
      9, 14, 15, 5, 2, 8, 12, 3, 7, 0, 4, 10, 1, 13, 11, 6, 4, 3, 2, 12, 9, 5, 15, 10, 11, 14, 1, 7, 6, 0, 8, 13],
    [4, 11, 2, 14, 15, 0, 8, 13, 3, 12, 9, 7, 5, 10, 6, 1, 13, 0, 11, 7, 4, 9, 1, 10, 14, 3, 5, 12, 2, 15, 8, 6,
      1, 4, 11, 13, 12, 3, 7, 14, 10, 15, 6, 8, 0, 5, 9, 2, 6, 11, 13, 8, 1, 4, 10, 7, 9, 5, 0, 15, 14, 2, 3, 12],
    [13, 2, 8, 4, 6, 15, 11, 1, 10, 9, 3, 14, 5, 0, 12, 7, 1, 15, 13, 8, 10, 3, 7, 4, 12, 5, 6, 11, 0, 14, 9, 2,
      7, 11, 4, 1, 9, 12, 14, 2, 0, 6, 10, 13, 15, 3, 5, 8, 2, 1, 14, 7, 4, 10, 8, 13, 15, 12, 9, 0, 3, 5, 6, 11],
  ];

  // S-box output already moved through P, one table per box and 6-bit input.
  const DES_SP = (() => {
    const tables = [];
    for (let box = 0; box < 8; box++) {
      const t = new Int32Array(64);
      for (let v = 0; v < 64; v++) {
        const row = ((v >> 4) & 2) | (v & 1);
        const col = (v >> 1) & 15;
        const s = DES_S[box][row * 16 + col] << (28 - 4 * box);
        let p = 0;
        for (let i = 0; i < 32; i++) if ((s >>> (32 - DES_P[i])) & 1) p |= 1 << (31 - i);
        t[v] = p;
      }
      tables.push(t);
    }
    return tables;
  })();

  const DES_FP = (() => {
    const fp = new Array(64);
    for (let i = 0; i < 64; i++) fp[DES_IP[i] - 1] = i + 1;
    return fp;
  })();

  // Bit b (1 = most significant) of a 64-bit value held as two 32-bit halves.
  function bit64(hi, lo, b) {
    return b <= 32 ? (hi >>> (32 - b)) & 1 : (lo >>> (64 - b)) & 1;
  }

  function permute64(hi, lo, table) {
    let h = 0, l = 0;
    for (let i = 0; i < 32; i++) h |= bit64(hi, lo, table[i]) << (31 - i);
    for (let i = 32; i < 64; i++) l |= bit64(hi, lo, table[i]) << (63 - i);
    return [h, l];
  }

  // The key's top bits become odd-parity bits before the schedule, as the
  // studio does; keys that differ only there give the same schedule.
  function desParityKey(key) {
    const k = Uint8Array.from(asBytes(key).subarray(0, 8));
    if (k.length !== 8) fail('A DES key has 8 bytes.');
    for (let i = 0; i < 8; i++) {
      let ones = 0;
      for (let b = 0; b < 7; b++) ones += (k[i] >> b) & 1;
      k[i] = (k[i] & 0x7f) | (ones % 2 === 0 ? 0x80 : 0);
    }
    return k;
  }

  // Returns 16 round keys, each 8 six-bit groups.
  function desKeySchedule(key) {
    const k = desParityKey(key);
    const hi = ((k[0] << 24) | (k[1] << 16) | (k[2] << 8) | k[3]) >>> 0;
    const lo = ((k[4] << 24) | (k[5] << 16) | (k[6] << 8) | k[7]) >>> 0;
    const cd = DES_PC1.map((b) => bit64(hi, lo, b));
    let c = cd.slice(0, 28), d = cd.slice(28);
    const rounds = [];
    for (let r = 0; r < 16; r++) {
      for (let s = 0; s < DES_ROTATIONS[r]; s++) {
        c.push(c.shift());
        d.push(d.shift());
      }
      const both = c.concat(d);
      const groups = new Int32Array(8);
      for (let i = 0; i < 48; i++) groups[i / 6 | 0] |= both[DES_PC2[i] - 1] << (5 - (i % 6));
      rounds.push(groups);
    }
    return rounds;
  }

  function desRound(r, groups) {
    let out = 0;
    for (let j = 0; j < 8; j++) {
      const shift = (27 - 4 * j + 32) % 32;
      const e = ((r >>> shift) | (r << (32 - shift))) & 0x3f;
      out |= DES_SP[j][e ^ groups[j]];
    }
    return out;
  }

  function desBlock(hi, lo, schedule, encrypt) {
    let [l, r] = permute64(hi, lo, DES_IP);
    for (let i = 0; i < 16; i++) {
      const groups = schedule[encrypt ? i : 15 - i];
      const t = r;
      r = l ^ desRound(r, groups);
      l = t;
    }
    return permute64(r, l, DES_FP);
  }

  // Pads with 0x0A to a multiple of 8; decryption keeps the padding bytes.
  function desCbc(data, key, encrypt) {
    const src = asBytes(data);
    const length = Math.ceil(src.length / 8) * 8;
    const out = new Uint8Array(length).fill(0x0a);
    out.set(src);
    const schedule = desKeySchedule(key);
    let chainHi = 0, chainLo = 0;
    const view = new DataView(out.buffer);
    for (let off = 0; off < length; off += 8) {
      const hi = view.getUint32(off), lo = view.getUint32(off + 4);
      if (encrypt) {
        const [h, l] = desBlock((hi ^ chainHi) >>> 0, (lo ^ chainLo) >>> 0, schedule, true);
        chainHi = h >>> 0;
        chainLo = l >>> 0;
      } else {
        const [h, l] = desBlock(hi, lo, schedule, false);
        view.setUint32(off, (h ^ chainHi) >>> 0);
        view.setUint32(off + 4, (l ^ chainLo) >>> 0);
        chainHi = hi;
        chainLo = lo;
        continue;
      }
      view.setUint32(off, chainHi);
      view.setUint32(off + 4, chainLo);
    }
    return out;
  }

  // ---------------------------------------------------------------------------
  // The content file "tavlin.txt".

  class ByteReader {
    constructor(bytes, what) {
      this.bytes = bytes;
      this.view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
      this.pos = 0;
      this.what = what;
    }
    need(n) {
      if (this.pos + n > this.bytes.length) fail(`The ${this.what} is damaged or cut short (at byte ${this.pos}).`);
    }
    remaining() { return this.bytes.length - this.pos; }
    u8() { this.need(1); return this.bytes[this.pos++]; }
    s8() { const v = this.u8(); return v >= 128 ? v - 256 : v; }
    u16() { this.need(2); const v = this.view.getUint16(this.pos); this.pos += 2; return v; }
    s16() { this.need(2); const v = this.view.getInt16(this.pos); this.pos += 2; return v; }
    u32() { this.need(4); const v = this.view.getUint32(this.pos); this.pos += 4; return v; }
    s32() { this.need(4); const v = this.view.getInt32(this.pos); this.pos += 4; return v; }
    text(n) { this.need(n); const t = utf8.decode(this.bytes.subarray(this.pos, this.pos + n)); this.pos += n; return t; }
    str8() { return this.text(this.u8()); }
    str16() { return this.text(this.u16()); }
    // A count of records that each take at least minSize bytes; refuses counts
    // the remaining bytes cannot hold before anything is built for them.
    count(minSize) {
      const n = this.u16();
      if (n * minSize > this.remaining()) fail(`The ${this.what} is damaged or cut short (a count of ${n} at byte ${this.pos - 2}).`);
      return n;
    }
  }

  const KIND_VIDEO = 0, KIND_IMAGE = 1, KIND_PATH = 2;
  const EVENT_PLAY = 0, EVENT_JUMP = 1, EVENT_SOUND = 2, EVENT_LINK = 3, EVENT_PARAM = 4;

  // Deciphers (unless plain) and reads every field. Throws TavlinError with a
  // readable message on anything it cannot read.
  function parseContent(fileBytes, key) {
    let data = ncrfUnwrap(fileBytes);
    const content = { headerWord: null, publishDate: 0, reserved: 0, headerFlag: 0, enciphered: false };
    const plain = data.length >= 2 && data[0] === 0x00 && data[1] === 0x03;
    if (!plain) {
      if (data.length === 0) fail('The content file "tavlin.txt" is empty.');
      if (data.length % 8 !== 0) fail('The content file "tavlin.txt" is damaged: its length does not fit the cipher.');
      data = desCbc(data, key || contentKeyText(), false);
      content.enciphered = true;
    }
    const r = new ByteReader(data, 'content file "tavlin.txt"');
    if (!plain) {
      content.headerWord = r.u32();
      if (content.headerWord !== CONTENT_HEADER_WORD) {
        fail('The content file "tavlin.txt" cannot be read: it was made with another key, or it is damaged.');
      }
      content.publishDate = r.u32();
      content.reserved = r.u32();
      content.headerFlag = r.u8();
    }
    content.version = r.u16();
    if (content.version !== CONTENT_FORMAT_VERSION) {
      fail(`The content file "tavlin.txt" has format version ${content.version}; this viewer reads version 3.`);
    }
    content.videoCount = r.u16();
    content.pictures = [];
    for (let i = 0, n = r.count(1); i < n; i++) content.pictures.push(r.str8());
    content.sounds = [];
    for (let i = 0, n = r.count(1); i < n; i++) content.sounds.push(r.str8());
    content.width = r.u16();
    content.height = r.u16();
    content.length = r.u16();
    content.objects = [];
    for (let i = 0, n = r.count(11); i < n; i++) content.objects.push(readObject(r));
    content.events = [];
    for (let i = 0, n = r.count(13); i < n; i++) content.events.push(readEvent(r));
    return content;
  }

  function readObject(r) {
    const o = { kind: r.u8(), x: r.s16(), y: r.s16(), width: r.u16(), height: r.u16(), ranges: [] };
    for (let i = 0, n = r.count(8); i < n; i++) o.ranges.push([r.s32(), r.s32()]);
    if (o.kind === KIND_VIDEO) {
      o.video = r.s16();
    } else if (o.kind === KIND_IMAGE) {
      o.picture = r.s16();
    } else if (o.kind === KIND_PATH) {
      o.states = [];
      for (let s = 0; s < 3; s++) {
        const picture = r.s16(), lineWidth = r.u8();
        const colour = (r.u8() << 16) | (r.u8() << 8) | r.u8();
        o.states.push({ picture, lineWidth, colour });
      }
      o.arrowMode = r.u8();
      o.curve = r.u8();
      // The writer negates the distance for grab-from-thumb; a byte of 128 or
      // more therefore reads as a thumb distance.
      o.grabByte = r.u8();
      o.grabDistance = o.grabByte >= 128 ? 256 - o.grabByte : o.grabByte;
      o.grabFromThumb = o.grabByte >= 128;
      o.thumbs = [];
      for (let i = 0, n = r.u8(); i < n; i++) o.thumbs.push(r.s16());
      o.keepThumb = r.u8();
      o.thumbDirection = r.u8();
      o.points = [];
      for (let i = 0, n = r.count(9); i < n; i++) {
        o.points.push({ x: r.s16(), y: r.s16(), frame: r.s32(), handOver: r.u8() === 0 });
      }
    }
    return o;
  }

  function readEvent(r) {
    const e = { kind: r.u8(), first: r.s32(), last: r.s32(), wait: r.s32() };
    switch (e.kind) {
      case EVENT_PLAY: e.interruptible = r.u8(); break;
      case EVENT_JUMP: e.targets = []; for (let i = 0, n = r.count(4); i < n; i++) e.targets.push(r.s32()); break;
      case EVENT_SOUND: e.repeat = r.u8(); e.sound = r.s16(); break;
      case EVENT_LINK: e.target = r.str8(); e.address = r.str16(); break;
      case EVENT_PARAM: e.text = r.str16(); break;
      default: fail(`The content file "tavlin.txt" holds an event of unknown kind ${e.kind}.`);
    }
    return e;
  }

  // ---------------------------------------------------------------------------
  // The block index stream of frame lists.

  class BitReader {
    constructor(bytes) { this.bytes = bytes; this.bit = 0; }
    bitsLeft() { return this.bytes.length * 8 - this.bit; }
    read(n) {
      if (n > this.bitsLeft()) fail('The block table of a frame list is cut short.');
      let v = 0;
      for (let i = 0; i < n; i++, this.bit++) {
        v = v * 2 + ((this.bytes[this.bit >> 3] >> (7 - (this.bit & 7))) & 1);
      }
      return v;
    }
  }

  const TABLE_BITS = 12;

  // Yields the integers one by one, so a hostile count costs nothing until
  // the reader actually asks for that many.
  class BlockIndexDecoder {
    constructor(bytes) {
      const bits = new BitReader(asBytes(bytes));
      this.bits = bits;
      this.count = bits.read(31);
      this.taken = 0;
      if (this.count === 0) { this.root = -1; return; }
      const M = bits.read(16);
      this.max = M;
      let b = 0;
      while ((1 << b) <= M) b++;
      // Inner nodes are numbered from M+1 and there can be at most M of them.
      this.left = new Int32Array(M + 1);
      this.right = new Int32Array(M + 1);
      let nextInner = M + 1;
      const readNode = () => {
        if (bits.read(1) === 0) {
          const v = bits.read(b);
          if (v > M) fail('The block table of a frame list holds a value above its stated maximum.');
          return v;
        }
        if (nextInner > 2 * M) fail('The block table of a frame list has a malformed tree.');
        return nextInner++;
      };
      // Pre-order without recursion: a deep tree must not exhaust the stack.
      this.root = readNode();
      const stack = this.root > M ? [[this.root, 0]] : [];
      while (stack.length) {
        const top = stack[stack.length - 1];
        const child = readNode();
        if (top[1] === 0) { this.left[top[0] - M - 1] = child; top[1] = 1; }
        else { this.right[top[0] - M - 1] = child; stack.pop(); }
        if (child > M) stack.push([child, 0]);
      }
      this.buildTable();
    }

    // The first TABLE_BITS bits of a code looked up at once: each entry holds
    // the node reached (a value, or an inner node to walk on from) and the
    // bits it took. Long lists hold millions of bits, and decoding them is
    // most of the time to the first frame.
    buildTable() {
      const K = TABLE_BITS, M = this.max;
      this.table = new Int32Array(1 << K);
      if (this.root <= M) return;
      const stack = [[this.root, 0, 0]];
      while (stack.length) {
        const [node, code, len] = stack.pop();
        if (node <= M || len === K) {
          const from = code << (K - len);
          this.table.fill(node * 32 + len, from, from + (1 << (K - len)));
          continue;
        }
        stack.push([this.left[node - M - 1], code * 2, len + 1], [this.right[node - M - 1], code * 2 + 1, len + 1]);
      }
    }
    remaining() { return this.count - this.taken; }
    next() {
      if (this.taken >= this.count) fail('The block table of a frame list ends too early.');
      this.taken++;
      const max = this.max;
      let node = this.root;
      if (node <= max) return node;
      const bytes = this.bits.bytes, end = bytes.length * 8;
      let bit = this.bits.bit;
      // Bytes past the end read as zero; a code that runs past it is refused.
      const i = bit >> 3;
      const n = bytes.length;
      const word = (bytes[i] << 16) | ((i + 1 < n ? bytes[i + 1] : 0) << 8) | (i + 2 < n ? bytes[i + 2] : 0);
      const e = this.table[(word >>> (24 - TABLE_BITS - (bit & 7))) & ((1 << TABLE_BITS) - 1)];
      node = e >> 5;
      bit += e & 31;
      if (bit > end) fail('The block table of a frame list is cut short.');
      while (node > max) {
        if (bit >= end) fail('The block table of a frame list is cut short.');
        node = (bytes[bit >> 3] >> (7 - (bit & 7))) & 1 ? this.right[node - max - 1] : this.left[node - max - 1];
        bit++;
      }
      this.bits.bit = bit;
      return node;
    }
  }

  // ---------------------------------------------------------------------------
  // Pictures as {width, height, data: Uint32Array}. The viewer keeps pixels in
  // the canvas's byte order; alpha is the top byte either way, and 0 means
  // transparent, which is all the frame logic looks at.

  function newPicture(width, height, fill) {
    const data = new Uint32Array(width * height);
    if (fill) data.fill(fill);
    return { width, height, data };
  }

  const OPAQUE_WHITE = 0xffffffff;

  // Averaging reduction as the studio scales frames.
  function scaleAveraged(src, w, h) {
    if (w <= 0 || h <= 0) return newPicture(1, 1, OPAQUE_WHITE);
    if (w === src.width && h === src.height) return { width: w, height: h, data: src.data.slice() };
    const sw = src.width, sh = src.height;
    const sx = sw < w ? sw / w : 1, tx = sw < w ? 1 : w / sw;
    const sy = sh < h ? sh / h : 1, ty = sh < h ? 1 : h / sh;
    const sums = new Float64Array(w * h * 3), counts = new Uint32Array(w * h), last = new Uint32Array(w * h);
    for (let syp = 0, typ = 0; syp < sh && typ < h; syp += sy, typ += ty) {
      const srow = Math.trunc(syp) * sw, trow = Math.trunc(typ) * w;
      for (let sxp = 0, txp = 0; sxp < sw && txp < w; sxp += sx, txp += tx) {
        const p = src.data[srow + Math.trunc(sxp)];
        if ((p >>> 24) === 0) continue;
        const t = trow + Math.trunc(txp);
        sums[t * 3] += (p >>> 16) & 255; sums[t * 3 + 1] += (p >>> 8) & 255; sums[t * 3 + 2] += p & 255;
        counts[t]++;
        last[t] = p;
      }
    }
    const out = newPicture(w, h);
    for (let t = 0; t < w * h; t++) {
      const c = counts[t];
      if (c === 0) continue;
      if (c === 1) { out.data[t] = (last[t] | 0xff000000) >>> 0; continue; }
      out.data[t] = ((0xff << 24) | (Math.trunc(sums[t * 3] / c) << 16) | (Math.trunc(sums[t * 3 + 1] / c) << 8) |
        Math.trunc(sums[t * 3 + 2] / c)) >>> 0;
    }
    return out;
  }

  // Crop, or pad with transparent pixels on the right and bottom.
  function fitToSize(src, w, h) {
    const out = newPicture(w, h);
    const cw = Math.min(w, src.width);
    for (let y = 0; y < Math.min(h, src.height); y++) {
      out.data.set(src.data.subarray(y * src.width, y * src.width + cw), y * w);
    }
    return out;
  }

  const WIDE_PICTURE_LIMIT = 720;

  // Frame pictures wider than 720 pixels are reduced by the first whole factor
  // that brings them within it.
  function reduceWide(pic) {
    if (pic.width <= WIDE_PICTURE_LIMIT) return pic;
    for (let f = 2; f <= 9; f++) {
      if (Math.trunc(pic.width / f) <= WIDE_PICTURE_LIMIT) {
        return scaleAveraged(pic, Math.trunc(pic.width / f), Math.trunc(pic.height / f));
      }
    }
    return pic;
  }

  function copyBlock(src, sx, sy, dst, dx, dy) {
    const w = Math.min(8, dst.width - dx, src.width - sx), h = Math.min(8, dst.height - dy, src.height - sy);
    if (w <= 0 || h <= 0 || sx < 0 || sy < 0) return;
    for (let j = 0; j < h; j++) {
      const s = (sy + j) * src.width + sx;
      dst.data.set(src.data.subarray(s, s + w), (dy + j) * dst.width + dx);
    }
  }

  // ---------------------------------------------------------------------------
  // Frame lists "v%x.txt".

  const FRAME_LIST_LINE_LIMIT = 2047;
  // Block maps take 4 bytes per block and record; beyond this the list is
  // refused rather than exhausting the page's memory.
  const FRAME_LIST_MAP_LIMIT = 64 * 1024 * 1024;

  function readLine(bytes, pos) {
    if (pos >= bytes.length) return null;
    let end = bytes.indexOf(0x0a, pos);
    const next = end < 0 ? bytes.length : end + 1;
    if (end < 0) end = bytes.length;
    if (end - pos > FRAME_LIST_LINE_LIMIT) fail('A frame list has a line longer than 2047 characters.');
    return { text: String.fromCharCode.apply(null, bytes.subarray(pos, end)), next };
  }

  // Parses text, records and block table; pictures are attached later with
  // FrameList.setPicture as they arrive.
  function parseFrameList(fileBytes, name, cache) {
    const list = readFrameList(fileBytes, name, cache);
    list.finishMaps();
    return list;
  }

  // Header and records only: which pictures there are is known at once, and
  // their fetching can start while finishMaps works out the block maps.
  function readFrameList(fileBytes, name, cache) {
    const what = `frame list "${name || 'v0.txt'}"`;
    const bytes = ncrfUnwrap(fileBytes);
    const header = readLine(bytes, 0);
    if (!header || !/^[0-9]/.test(header.text)) fail(`The ${what} does not start with its header line.`);
    const nums = header.text.trim().split(/\s+/).slice(0, 4).map((t) => parseInt(t, 10));
    if (nums.length < 4 || nums.some((v) => !Number.isFinite(v))) fail(`The ${what} has a malformed header line.`);
    const [W, H, F, R] = nums;
    for (const [label, v] of [['width', W], ['height', H], ['record count', R]]) {
      if (v < 0 || v > 10000) fail(`The ${what} has a ${label} of ${v}, outside 0..10000.`);
    }
    const list = new FrameList(W, H, F, name, cache);
    let pos = header.next;
    for (let r = 0; r < R; r++) {
      const line = readLine(bytes, pos);
      if (!line) fail(`The ${what} ends after ${r} of its ${R} frame lines.`);
      pos = line.next;
      const m = /^(.) +(-?\d+)(?: +([^\r\n]*))?/.exec(line.text);
      if (!m || 'NSDd'.indexOf(m[1]) < 0) fail(`The ${what} has a malformed frame line ${r + 1}.`);
      const type = m[1];
      const file = m[3] || '';
      if (type !== 'd' && !file) fail(`The ${what} names no picture on frame line ${r + 1}.`);
      list.records.push({ type, index: parseInt(m[2], 10), file: type === 'd' ? null : file, key: 0, picture: null });
    }
    list.finishRecords();
    const tail = readLine(bytes, pos);
    list.pendingTable = tail && tail.text[0] === 'C' ? { stream: bytes.subarray(tail.next), what } : null;
    return list;
  }

  // Decoded frame pixels of every frame list of a page, put out least recently
  // used first once they pass `limit` bytes, so that memory stays flat however
  // long the videos are. What the frame being put together uses is never put
  // out, so a frame that alone needs more than the bound still shows; the
  // bound can be passed by that one frame's pictures and no more.
  const FRAME_CACHE_BYTES = 48 * 1024 * 1024;

  class PixelCache {
    constructor(limit) {
      this.limit = limit === undefined ? FRAME_CACHE_BYTES : limit;
      this.bytes = 0;
      this.peak = 0;
      this.order = new Set(); // least recently used first
      this.use = 1;
    }

    // A new frame is being put together: what it touches is held until the next.
    begin() { this.use++; }

    // holder[field] = pic, counted against the bound. `held` keeps it for the
    // frame being put together.
    put(holder, field, pic, held) {
      this.remove(holder, field);
      holder[field] = pic;
      const e = { holder, field, bytes: pic.data.byteLength, use: held ? this.use : 0 };
      (holder.cached || (holder.cached = {}))[field] = e;
      this.order.add(e);
      this.bytes += e.bytes;
      this.trim();
      this.peak = Math.max(this.peak, this.bytes);
    }

    touch(holder, field) {
      const e = holder.cached && holder.cached[field];
      if (!e) return;
      e.use = this.use;
      this.order.delete(e);
      this.order.add(e);
    }

    remove(holder, field) {
      const e = holder.cached && holder.cached[field];
      holder[field] = null;
      if (!e) return;
      holder.cached[field] = null;
      this.order.delete(e);
      this.bytes -= e.bytes;
    }

    trim() {
      for (const e of this.order) {
        if (this.bytes <= this.limit) return;
        if (e.use !== this.use) this.remove(e.holder, e.field);
      }
    }
  }

  class FrameList {
    constructor(W, H, F, name, cache) {
      this.width = W;
      this.height = H;
      this.frameCount = F;
      this.name = name || '';
      this.blocksPerRow = Math.ceil(W / 8);
      this.blockRows = Math.ceil(H / 8);
      this.blockCount = this.blocksPerRow * this.blockRows;
      this.records = [];
      this.cache = cache || new PixelCache();
      // Called with a record whose picture came but was put out of the cache;
      // the owner decodes it again and hands it back with setPicture.
      this.reload = null;
      this.current = newPicture(W, H, OPAQUE_WHITE);
      this.keysMapped = false;
    }

    finishRecords() {
      let lastKey = 0;
      if (this.records.length * this.blockCount * 4 > FRAME_LIST_MAP_LIMIT) {
        fail(`The frame list "${this.name}" is too large for this viewer (${this.records.length} frames of ${this.width}x${this.height}).`);
      }
      this.records.forEach((rec, r) => {
        rec.pos = new Uint16Array(this.blockCount);
        rec.owner = new Uint16Array(this.blockCount);
        if (rec.type === 'N' || rec.type === 'S') lastKey = r;
        else rec.key = lastKey;
      });
    }

    finishMaps() {
      const table = this.pendingTable;
      this.pendingTable = null;
      if (table) this.applyBlockTable(table.stream, table.what);
      this.propagate();
    }

    applyBlockTable(stream, what) {
      const dec = new BlockIndexDecoder(stream);
      const R = this.records.length;
      for (let r = 0; r < R; r++) {
        const rec = this.records[r];
        if (rec.type === 'S') {
          const n = dec.next();
          if (n > this.blockCount) fail(`The ${what} lists ${n} blocks for a key frame of ${this.blockCount}.`);
          for (let k = 0; k < n; k++) {
            const j = dec.next();
            if (j >= this.blockCount) fail(`The ${what} names block ${j} outside its frame.`);
            rec.pos[j] = k + 1;
            (rec.own || (rec.own = [])).push(j);
          }
        } else if (rec.type === 'D') {
          const n = dec.next();
          let span = 1;
          while (r + span < R && this.records[r + span].type === 'd') span++;
          if (n > this.blockCount * span) fail(`The ${what} lists ${n} blocks for a patch of ${span} frames.`);
          for (let k = 0; k < n; k++) {
            const a = dec.next(), j = dec.next();
            if (a >= R || j >= this.blockCount) fail(`The ${what} names a block outside its frames.`);
            const target = this.records[a];
            target.pos[j] = k + 1;
            (target.own || (target.own = [])).push(j);
          }
        }
      }
    }

    // A record's own blocks (those the block table names for it) come from
    // the last D patch; every other block is as the record before has it,
    // unless that record is a key patch. Whole maps are copied and the own
    // blocks put back, as most records name few blocks of their own.
    propagate() {
      let lastD = 0;
      const recs = this.records;
      for (let r = 1; r < recs.length; r++) {
        const rec = recs[r];
        if (rec.type === 'N') continue;
        if (rec.type === 'D') lastD = r;
        const prev = recs[r - 1], own = rec.own || [];
        if (prev.type !== 'S') {
          const mine = own.map((j) => rec.pos[j]);
          rec.pos.set(prev.pos);
          rec.owner.set(prev.owner);
          own.forEach((j, i) => { rec.pos[j] = mine[i]; });
        }
        for (const j of own) rec.owner[j] = lastD;
      }
      for (const rec of recs) delete rec.own;
    }

    // Which pictures to fetch, key pictures first so that dragging can start
    // before the difference patches are in.
    pictureOrder() {
      const first = [], then = [];
      this.records.forEach((rec, r) => {
        if (!rec.file) return;
        (rec.type === 'D' ? then : first).push(r);
      });
      return first.concat(then);
    }

    // pic: {width, height, data}. Pictures come as they are fetched, in any
    // order, and again when the cache had put them out.
    setPicture(r, pic) {
      const rec = this.records[r];
      if (!rec || rec.type === 'd') return;
      // Held only for the frame that asked for it, not one dragged past since.
      const held = rec.reloading && rec.reloadUse === this.cache.use;
      rec.arrived = true;
      rec.reloading = false;
      this.cache.remove(rec, 'whole');
      this.cache.put(rec, 'picture', rec.type === 'N' ? reduceWide(pic) : pic, held);
    }

    // Each key patch covers what changed since the key patch before it. The
    // whole frame of a key record takes every block from the last key patch
    // up to it that has the block, so that it can be rebuilt from those
    // patches alone once the cache has put it out. Key records keep in
    // pos/owner where each block comes from (pos 0: still white).
    mapKeys() {
      let prev = null;
      for (let r = 0; r < this.records.length; r++) {
        const rec = this.records[r];
        if (rec.type !== 'S') continue;
        for (let j = 0; j < this.blockCount; j++) {
          if (rec.pos[j] !== 0) rec.owner[j] = r;
          else if (prev) { rec.pos[j] = prev.pos[j]; rec.owner[j] = prev.owner[j]; }
        }
        prev = rec;
      }
      this.keysMapped = true;
    }

    // The record's decoded picture, asking for it again when the cache put it
    // out. `state.missing` counts what a frame waits for.
    patch(r, state) {
      const rec = this.records[r];
      if (rec.picture) { this.cache.touch(rec, 'picture'); return rec.picture; }
      if (!rec.arrived) return null;
      state.missing++;
      // Still wanted by the frame now being put together, when it comes.
      rec.reloadUse = this.cache.use;
      if (!rec.reloading && this.reload) {
        rec.reloading = true;
        this.reload(r);
      }
      return null;
    }

    recordAt(t) {
      const recs = this.records;
      if (recs.length === 0) return -1;
      for (let r = 1; r < recs.length; r++) if (recs[r].index > t) return r - 1;
      return recs.length - 1;
    }

    // The whole frame of a key record (N or S), or null while pictures it
    // needs are missing.
    wholeFrame(r, state) {
      const rec = this.records[r];
      if (rec.whole) { this.cache.touch(rec, 'whole'); return rec.whole; }
      if (rec.type === 'N') {
        const p = this.patch(r, state);
        if (!p) return null;
        if (p.width === this.width && p.height === this.height) return p;
        this.cache.put(rec, 'whole', fitToSize(p, this.width, this.height), true);
        return rec.whole;
      }
      if (!this.keysMapped) this.mapKeys();
      // Every key patch up to this one must have come; then each block is
      // copied from the patch that last changed it.
      const patches = new Map();
      let waiting = false;
      for (const k of new Set(rec.owner.filter((o, j) => rec.pos[j] !== 0))) {
        const p = this.patch(k, state);
        if (!p) waiting = true;
        else patches.set(k, p);
      }
      for (let k = 0; k < r; k++) if (this.records[k].type === 'S' && !this.records[k].arrived) waiting = true;
      if (waiting) return null;
      const out = newPicture(this.width, this.height, OPAQUE_WHITE);
      for (let j = 0; j < this.blockCount; j++) {
        const pos = rec.pos[j];
        if (!pos) continue;
        const p = patches.get(rec.owner[j]);
        const perRow = Math.max(1, Math.ceil(p.width / 8));
        copyBlock(p, ((pos - 1) % perRow) * 8, Math.trunc((pos - 1) / perRow) * 8,
          out, (j % this.blocksPerRow) * 8, Math.trunc(j / this.blocksPerRow) * 8);
      }
      this.cache.put(rec, 'whole', out, true);
      return out;
    }

    // The frame shown at timeline index t, or null when the list has no
    // records or the pictures it needs are not in (the first time, or again
    // after the cache put them out: they are then asked for with reload).
    // Blocks of difference patches still on their way the first time are
    // left as the key frame shows them.
    frameAt(t) {
      const r = this.recordAt(t);
      if (r < 0) return null;
      this.cache.begin();
      const state = { missing: 0 };
      const rec = this.records[r];
      if (rec.type === 'N' || rec.type === 'S') return this.wholeFrame(r, state);
      const key = this.wholeFrame(rec.key, state);
      const patches = new Map();
      for (const k of new Set(rec.owner.filter((o, j) => rec.pos[j] !== 0))) {
        const p = this.patch(k, state);
        if (p) patches.set(k, p);
      }
      if (!key || state.missing) return null;
      const cur = this.current;
      cur.data.set(key.data);
      for (let j = 0; j < this.blockCount; j++) {
        const p = rec.pos[j];
        if (!p) continue;
        const patch = patches.get(rec.owner[j]);
        if (!patch) continue;
        const perRow = Math.max(1, Math.ceil(patch.width / 8));
        copyBlock(patch, ((p - 1) % perRow) * 8, Math.trunc((p - 1) / perRow) * 8,
          cur, (j % this.blocksPerRow) * 8, Math.trunc(j / this.blocksPerRow) * 8);
      }
      return cur;
    }
  }

  // ---------------------------------------------------------------------------
  // Sounds "a%x.au": 8-bit mu-law at 8000 Hz, decoded as the studio decodes.

  const MU_LAW_SCALE = 128.50196078431372;

  function muLawDecode(byte) {
    const n = ~byte & 0xff;
    const m = n & 0x7f;
    const v = Math.trunc((Math.pow(256, m / 128) - 1) * MU_LAW_SCALE);
    return n & 0x80 && v ? -v : v;
  }

  // Returns {sampleRate, samples: Float32Array in -1..1}.
  function parseSunAudio(fileBytes, name) {
    const bytes = asBytes(fileBytes);
    const what = `sound "${name || 'a0.au'}"`;
    if (bytes.length < 24) fail(`The ${what} is not a Sun audio file.`);
    const v = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
    const [magic, offset, size, encoding, rate, channels] = [0, 4, 8, 12, 16, 20].map((o) => v.getUint32(o));
    if (magic !== 0x2e736e64 || encoding !== 1 || rate !== 8000 || channels !== 1) {
      fail(`The ${what} is not 8000 Hz mono mu-law Sun audio.`);
    }
    if (offset > bytes.length || size > bytes.length - offset) fail(`The ${what} is cut short.`);
    const table = new Float32Array(256);
    for (let b = 0; b < 256; b++) table[b] = muLawDecode(b) / 32768;
    const samples = new Float32Array(size);
    for (let i = 0; i < size; i++) samples[i] = table[bytes[offset + i]];
    return { sampleRate: 8000, samples };
  }

  // ---------------------------------------------------------------------------
  // ZIP reading for "data.jar": stored and deflated entries only.

  const ZIP_LIMITS = { maxEntryBytes: 64 * 1024 * 1024, maxTotalBytes: 512 * 1024 * 1024, maxEntries: 100000 };

  const CRC_TABLE = (() => {
    const t = new Int32Array(256);
    for (let n = 0; n < 256; n++) {
      let c = n;
      for (let k = 0; k < 8; k++) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
      t[n] = c;
    }
    return t;
  })();

  function crc32(bytes) {
    let c = -1;
    for (let i = 0; i < bytes.length; i++) c = CRC_TABLE[(c ^ bytes[i]) & 0xff] ^ (c >>> 8);
    return (c ^ -1) >>> 0;
  }

  function safeEntryName(name) {
    if (!name || name.indexOf('\0') >= 0 || name.indexOf('\\') >= 0 || name[0] === '/' || /^[A-Za-z]:/.test(name)) return false;
    return !name.split('/').some((part) => part === '..');
  }

  async function inflateRaw(bytes, limit) {
    if (typeof DecompressionStream === 'undefined') fail('This browser cannot unpack "data.jar" (no DecompressionStream).');
    const ds = new DecompressionStream('deflate-raw');
    const writer = ds.writable.getWriter();
    writer.write(bytes).catch(() => {});
    writer.close().catch(() => {});
    const reader = ds.readable.getReader();
    const chunks = [];
    let total = 0;
    for (;;) {
      let step;
      try {
        step = await reader.read();
      } catch (e) {
        fail('An entry of "data.jar" is damaged (its compressed data cannot be unpacked).');
      }
      if (step.done) break;
      total += step.value.length;
      if (total > limit) {
        reader.cancel().catch(() => {});
        fail('An entry of "data.jar" unpacks to more than it declares; the archive is refused.');
      }
      chunks.push(step.value);
    }
    const out = new Uint8Array(total);
    let o = 0;
    for (const c of chunks) { out.set(c, o); o += c.length; }
    return out;
  }

  // Returns a Map from entry name to bytes. Refuses the whole archive on names
  // that leave its folder, sizes beyond the limits, or damage.
  async function unzip(archive, limits) {
    const lim = Object.assign({}, ZIP_LIMITS, limits || {});
    const bytes = asBytes(archive);
    const v = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
    let eocd = -1;
    for (let i = bytes.length - 22; i >= Math.max(0, bytes.length - 22 - 65535); i--) {
      if (v.getUint32(i, true) === 0x06054b50) { eocd = i; break; }
    }
    if (eocd < 0) fail('"data.jar" is not a ZIP archive, or it is cut short.');
    const entries = v.getUint16(eocd + 10, true);
    const cdSize = v.getUint32(eocd + 12, true), cdOffset = v.getUint32(eocd + 16, true);
    if (entries > lim.maxEntries || cdOffset + cdSize > eocd) fail('"data.jar" has a damaged directory.');
    const files = new Map();
    let p = cdOffset, total = 0;
    for (let i = 0; i < entries; i++) {
      if (p + 46 > eocd || v.getUint32(p, true) !== 0x02014b50) fail('"data.jar" has a damaged directory.');
      const flags = v.getUint16(p + 8, true), method = v.getUint16(p + 10, true);
      const crc = v.getUint32(p + 16, true), csize = v.getUint32(p + 20, true), usize = v.getUint32(p + 24, true);
      const nameLen = v.getUint16(p + 28, true), extraLen = v.getUint16(p + 30, true), commentLen = v.getUint16(p + 32, true);
      const local = v.getUint32(p + 42, true);
      if (p + 46 + nameLen > eocd) fail('"data.jar" has a damaged directory.');
      const name = utf8.decode(bytes.subarray(p + 46, p + 46 + nameLen));
      p += 46 + nameLen + extraLen + commentLen;
      if (!safeEntryName(name)) fail(`"data.jar" holds an entry named "${name}" outside its folder; the archive is refused.`);
      if (name.endsWith('/')) continue;
      if (flags & 1) fail(`"data.jar" holds an encrypted entry "${name}".`);
      if (usize > lim.maxEntryBytes || csize > bytes.length) fail(`"data.jar" declares ${usize} bytes for "${name}", more than this viewer accepts.`);
      total += usize;
      if (total > lim.maxTotalBytes) fail('"data.jar" declares more data than this viewer accepts.');
      if (local + 30 > bytes.length || v.getUint32(local, true) !== 0x04034b50) fail(`"data.jar" is damaged at "${name}".`);
      const start = local + 30 + v.getUint16(local + 26, true) + v.getUint16(local + 28, true);
      if (start + csize > bytes.length) fail(`"data.jar" is cut short at "${name}".`);
      const raw = bytes.subarray(start, start + csize);
      let data;
      if (method === 0) {
        if (csize !== usize) fail(`"data.jar" is damaged at "${name}".`);
        data = raw;
      } else if (method === 8) {
        data = await inflateRaw(raw, usize);
        if (data.length !== usize) fail(`"data.jar" is damaged at "${name}" (size differs).`);
      } else {
        fail(`"data.jar" uses a compression this viewer does not read (method ${method}, "${name}").`);
      }
      if (crc32(data) !== crc) fail(`"data.jar" is damaged at "${name}" (checksum differs).`);
      files.set(name, data);
    }
    return files;
  }

  // ---------------------------------------------------------------------------
  // Drag path geometry and the pointer-to-frame mapping.

  const FAR = 10000000;

  function trunc(v) { return Math.trunc(v) || 0; }

  function lineDistance(px, py, a, b) {
    const dx = b.x - a.x, dy = b.y - a.y, len = Math.hypot(dx, dy);
    if (len >= 1e-10) return Math.abs((dy / len) * (px - b.x) - (dx / len) * (py - b.y));
    return Math.hypot(px - b.x, py - b.y);
  }

  function projectionParameter(px, py, a, b) {
    const ex = a.x - b.x, ey = a.y - b.y, len2 = ex * ex + ey * ey;
    if (len2 < 1e-10) return 0;
    return ((a.x - px) * ex + (a.y - py) * ey) / len2;
  }

  function side(px, py, a) { return (px - a.x) * a.cy - (py - a.y) * a.cx; }

  class Path {
    // points: [{x, y, frame, handOver}]
    constructor(points) {
      this.points = points.map((p) => ({ x: p.x, y: p.y, frame: p.frame, handOver: !!p.handOver, cx: 0, cy: 0, inSlab: false }));
      this.computeCross();
    }

    get count() { return this.points.length; }

    computeCross() {
      const p = this.points, n = p.length;
      if (n < 2) return;
      p[0].cx = -(p[1].y - p[0].y); p[0].cy = p[1].x - p[0].x;
      p[n - 1].cx = -(p[n - 1].y - p[n - 2].y); p[n - 1].cy = p[n - 1].x - p[n - 2].x;
      for (let i = 1; i < n - 1; i++) {
        const a1 = Math.atan2(p[i].y - p[i - 1].y, p[i].x - p[i - 1].x);
        const a2 = Math.atan2(p[i + 1].y - p[i].y, p[i + 1].x - p[i].x);
        const theta = a1 + (Math.PI - (a1 - a2)) / 2;
        p[i].cx = Math.cos(theta); p[i].cy = Math.sin(theta);
      }
    }

    segmentAtFrame(F) {
      const p = this.points;
      for (let i = 1; i < p.length; i++) if ((p[i].frame - F) * (p[i - 1].frame - F) <= 0) return i;
      return -1;
    }

    markSlabs(x, y) {
      const p = this.points;
      for (let i = 1; i < p.length; i++) {
        const a = p[i - 1], b = p[i];
        p[i].inSlab = side(x, y, a) * side(b.x, b.y, a) >= 0 && side(x, y, b) * side(a.x, a.y, b) >= 0;
      }
    }

    // Returns {frame, distance, index}; null with fewer than 2 points. The
    // neighbour chosen in the step before the global search does not become
    // the best distance, so the later neighbour can still win against the
    // ends; paths that turn back on themselves then drag forward.
    mapPointer(x, y, currentFrame) {
      const p = this.points, n = p.length;
      if (n < 2) return null;
      this.markSlabs(x, y);
      const dist = (i) => lineDistance(x, y, p[i - 1], p[i]);
      let k = -1, chosen = -1, best = 0;
      if (currentFrame !== undefined && currentFrame !== null) {
        k = this.segmentAtFrame(currentFrame);
        if (k > 0 && p[k].inSlab) { chosen = k; best = dist(k); }
      }
      if (chosen < 0) {
        for (let i = 0; i < n; i++) if (p[i].x === x && p[i].y === y) return { frame: p[i].frame, distance: 0, index: i };
        const d0 = Math.hypot(x - p[0].x, y - p[0].y), dL = Math.hypot(x - p[n - 1].x, y - p[n - 1].y);
        best = Math.min(d0, dL);
        const nearestEnd = d0 <= dL ? 0 : n - 1;
        let before = false, after = false;
        if (k >= 2 && p[k - 1].inSlab && dist(k - 1) < best) { chosen = k - 1; before = true; }
        if (k >= 0 && k + 1 < n && p[k + 1].inSlab && dist(k + 1) < best) { chosen = k + 1; after = true; }
        if (!before && !after) {
          for (let i = 1; i < n; i++) {
            if (!p[i].inSlab) continue;
            const d = dist(i);
            if (d < best) { best = d; chosen = i; }
          }
        }
        if (chosen < 0) return { frame: p[nearestEnd].frame, distance: best, index: nearestEnd };
      }
      const a = p[chosen - 1], b = p[chosen];
      const dx = b.x - a.x, dy = b.y - a.y, dlen = Math.hypot(dx, dy);
      const crossA = dx * a.cy - dy * a.cx, crossB = dx * b.cy - dy * b.cx;
      if (Math.abs(crossA) > 1e-10 && Math.abs(crossB) > 1e-10) {
        const sa = ((a.x - x) * a.cy - (a.y - y) * a.cx) / crossA;
        const sb = ((b.x - x) * b.cy - (b.y - y) * b.cx) / crossB;
        const da = Math.abs(sa) * dlen, db = Math.abs(sb) * dlen;
        if (da + db > 1e-10) return { frame: (b.frame * da + a.frame * db) / (da + db), distance: best, index: chosen };
      }
      return { frame: b.frame, distance: best, index: chosen };
    }

    polylinePositionAt(F) {
      const i = this.segmentAtFrame(F);
      if (i < 1) return null;
      const a = this.points[i - 1], b = this.points[i];
      const t = b.frame === a.frame ? 0 : (F - a.frame) / (b.frame - a.frame);
      if (t < 0 || t > 1) return null;
      return { x: trunc((1 - t) * a.x + t * b.x + 0.5), y: trunc((1 - t) * a.y + t * b.y + 0.5), dx: b.x - a.x, dy: b.y - a.y, segment: i, t };
    }

    bezierAt(u) {
      const p = this.points, n = p.length;
      let x = 0, y = 0, c = 1;
      for (let i = 0; i < n; i++) {
        const w = c * Math.pow(1 - u, n - 1 - i) * Math.pow(u, i);
        x += w * p[i].x; y += w * p[i].y;
        c = (c * (n - 1 - i)) / (i + 1);
      }
      if (Number.isFinite(x) && Number.isFinite(y)) return { x, y };
      // Very long curves overflow the binomials; de Casteljau stays finite.
      const q = p.map((pt) => ({ x: pt.x, y: pt.y }));
      for (let r = n - 1; r > 0; r--) for (let i = 0; i < r; i++) {
        q[i].x = (1 - u) * q[i].x + u * q[i + 1].x; q[i].y = (1 - u) * q[i].y + u * q[i + 1].y;
      }
      return q[0];
    }

    isBezier(curveFlag) { return this.points.length > 2 && curveFlag === 1; }

    // Thumb position and direction at a (real) frame; null when the frame
    // lies off the path.
    positionAt(F, curveFlag) {
      const lin = this.polylinePositionAt(F);
      if (!lin || !this.isBezier(curveFlag)) return lin;
      const p = this.points;
      let total = 0, before = 0;
      for (let j = 1; j < p.length; j++) {
        const c = Math.hypot(p[j].x - p[j - 1].x, p[j].y - p[j - 1].y);
        total += c;
        if (j < lin.segment) before += c;
      }
      if (total <= 0) return null;
      const a = p[lin.segment - 1];
      const u = (before + Math.hypot(lin.x - a.x, lin.y - a.y)) / total;
      const B = this.bezierAt(u);
      let dx, dy;
      if (u < 0.9) { const B2 = this.bezierAt(u + 0.05); dx = trunc(B2.x - B.x); dy = trunc(B2.y - B.y); }
      else { const B0 = this.bezierAt(u - 0.05); dx = trunc(B.x - B0.x); dy = trunc(B.y - B0.y); }
      return { x: trunc(B.x), y: trunc(B.y), dx, dy };
    }

    distanceTo(x, y, curveFlag) {
      const p = this.points;
      if (p.length < 2) return FAR;
      if (this.isBezier(curveFlag)) {
        let best = FAR;
        for (let u = 0; u <= 1; u += 0.01) {
          const B = this.bezierAt(u);
          const ddx = trunc(x - B.x), ddy = trunc(y - B.y);
          best = Math.min(best, Math.sqrt(ddx * ddx + ddy * ddy));
        }
        return trunc(best);
      }
      let best = FAR;
      for (let i = 0; i < p.length; i++) best = Math.min(best, Math.hypot(x - p[i].x, y - p[i].y));
      for (let i = 1; i < p.length; i++) {
        const t = projectionParameter(x, y, p[i - 1], p[i]);
        if (t >= 0 && t <= 1) best = Math.min(best, lineDistance(x, y, p[i - 1], p[i]));
      }
      return trunc(best);
    }

    // Points to draw: the polygon, or 10 samples per control point of the curve.
    drawPoints(curveFlag) {
      const p = this.points;
      if (!this.isBezier(curveFlag)) return p.map((q) => ({ x: q.x, y: q.y }));
      const m = 10 * p.length, out = [{ x: p[0].x, y: p[0].y }];
      for (let j = 1; j <= m; j++) out.push(this.bezierAt(j / m));
      return out;
    }
  }

  // ---------------------------------------------------------------------------
  // Play model: the stage's objects, current frame, events and dragging, as
  // the studio's play mode runs them. No DOM here; the view below draws it.

  function visibleAt(o, f) {
    for (const [a, b] of o.ranges) if (a <= f && f <= b) return true;
    return false;
  }

  function parseParams(text) {
    const out = {};
    for (const token of String(text || '').split(';')) {
      if (token.startsWith('$play_dir=')) out.playDir = parseInt(token.slice(10), 10) || 0;
      else if (token.startsWith('$play_speed=')) out.playSpeed = parseInt(token.slice(12), 10) || 0;
    }
    return out;
  }

  // Addresses from link events; script and data addresses are refused, since
  // a page must not run what a content file smuggles in.
  function safeLinkUrl(address, base) {
    const text = String(address || '').trim();
    if (!text) return null;
    let url;
    try { url = new URL(text, base); } catch (e) { return null; }
    return ['http:', 'https:', 'mailto:', 'ftp:', 'file:'].includes(url.protocol) ? url.href : null;
  }

  class Presentation {
    // hooks: now(), random(), playSound(index, repeat), stopSound(),
    // openLink(target, address), param(text), redraw()
    constructor(content, hooks) {
      const h = Object.assign({
        now: () => Date.now(), random: Math.random, playSound() {}, stopSound() {},
        openLink() {}, param() {}, redraw() {},
      }, hooks || {});
      this.hooks = h;
      this.content = content;
      this.width = content.width;
      this.height = content.height;
      this.length = Math.max(1, content.length);
      this.objects = content.objects.map((o) => Object.assign({}, o, o.kind === KIND_PATH ? {
        path: new Path(o.points), currentThumb: 0, thumbX: 0, thumbY: 0, thumbDx: 0, thumbDy: 0,
        facing: 0, newlyShown: false,
      } : {}));
      this.events = content.events.map((e) => Object.assign({}, e, { due: 0 }));
      this.currentFrame = 0;
      this.running = [null, null, null, null, null];
      this.playSpeed = 100;
      this.playDir = 1;
      this.busy = false;
      this.mouseDown = false;
      this.activePath = null;
      this.nextAnimation = 0;
      this.lastThumbX = 0;
      this.coded = null; // null: every frame can be shown
    }

    // Frames for which a frame list holds a record; dragging shows only those.
    setCodedFrames(frames) {
      const coded = new Uint8Array(this.length);
      let any = false;
      for (const f of frames) if (f >= 0 && f < this.length) { coded[f] = 1; any = true; }
      this.coded = any ? coded : null;
    }

    // Entering play: speed and direction reset, then a timer step and a frame entry.
    start() {
      this.playSpeed = 100;
      this.playDir = 1;
      this.timerStep();
      this.enterFrame();
    }

    playBlocksDrag() {
      const play = this.running[EVENT_PLAY];
      return !!play && !play.interruptible;
    }

    setCurrentFrame(f) {
      this.currentFrame = f;
      if (!this.running[EVENT_PLAY]) this.timerStep();
      this.enterFrame();
      this.hooks.redraw();
    }

    seekCodedFrame(f) {
      f = Math.min(Math.max(trunc(f), 0), this.length - 1);
      if (this.coded) while (f > 0 && !this.coded[f]) f--;
      this.setCurrentFrame(f);
    }

    nextCodedFrame(f) {
      f = Math.min(Math.max(trunc(f), 0), this.length - 1);
      if (this.coded) {
        let g = f;
        while (g < this.length && !this.coded[g]) g++;
        if (g < this.length) f = g;
      }
      return f;
    }

    // --- events ---

    enterFrame() {
      this.busy = true;
      const f = this.currentFrame;
      for (let k = 0; k < 5; k++) {
        const e = this.running[k];
        if (e && (f < e.first || f > e.last)) { this.stopEvent(e); this.running[k] = null; }
      }
      for (const e of this.events) {
        if (f < e.first || f > e.last || this.running[e.kind] === e) continue;
        if (this.running[e.kind]) this.stopEvent(this.running[e.kind]);
        this.running[e.kind] = e;
        this.armEvent(e);
      }
      this.busy = false;
    }

    armEvent(e) {
      const now = this.hooks.now();
      if (e.kind === EVENT_PLAY) {
        if (this.currentFrame === e.last) { this.stopEvent(e); return; }
        const r = this.playDir * this.playSpeed;
        if (r === 0) return;
        e.due = now + trunc((Math.max(0, e.wait) * 100) / Math.abs(r));
      } else if (e.kind === EVENT_PARAM) {
        e.due = now;
      } else {
        e.due = now + Math.max(0, e.wait);
      }
    }

    stopEvent(e) {
      if (e.kind === EVENT_PLAY) {
        e.due = 0;
        if (this.running[EVENT_PLAY] === e) this.running[EVENT_PLAY] = null;
      } else if (e.kind === EVENT_SOUND && e.repeat) {
        this.hooks.stopSound();
      }
    }

    tickEvent(e) {
      const now = this.hooks.now();
      if (!(e.due >= 1 && now >= e.due)) return false;
      if (e.kind === EVENT_PLAY) {
        this.armEvent(e);
      } else {
        e.due = 0;
      }
      this.fireEvent(e);
      return true;
    }

    fireEvent(e) {
      switch (e.kind) {
        case EVENT_PLAY: {
          const r = this.playDir * this.playSpeed;
          let f = this.currentFrame;
          if (r >= 1) f++; else if (r < 0) f--;
          f = Math.max(f, 0);
          // Playback stops at the last frame of the timeline too.
          if (f >= e.first && f <= e.last && f < this.length) this.setCurrentFrame(f);
          else this.stopEvent(e);
          if (!e.interruptible) this.activePath = null;
          break;
        }
        case EVENT_JUMP:
          if (this.running[EVENT_PLAY]) this.stopEvent(this.running[EVENT_PLAY]);
          if (e.targets.length) {
            const i = Math.floor(this.hooks.random() * e.targets.length) % e.targets.length;
            this.setCurrentFrame(e.targets[i]);
          }
          break;
        case EVENT_SOUND:
          if (e.sound >= 0) this.hooks.playSound(e.sound, !!e.repeat);
          break;
        case EVENT_LINK:
          this.hooks.openLink(e.target, e.address);
          break;
        case EVENT_PARAM: {
          for (const token of String(e.text || '').split(';')) {
            if (token.startsWith('$play_dir=')) { this.playDir = parseParams(token).playDir; this.timerStep(); }
            else if (token.startsWith('$play_speed=')) { this.playSpeed = parseParams(token).playSpeed; this.timerStep(); }
          }
          this.hooks.param(e.text);
          break;
        }
      }
    }

    timerStep() {
      if (this.busy) return false;
      let fired = false;
      for (let k = 0; k < 5; k++) {
        const e = this.running[k];
        if (!e) continue;
        if (k === EVENT_PLAY && this.mouseDown && e.interruptible) continue;
        if (this.tickEvent(e)) fired = true;
      }
      const now = this.hooks.now();
      if (this.nextAnimation && now < this.nextAnimation) {
        if (fired) this.hooks.redraw();
        return fired;
      }
      let changed = false;
      for (const o of this.objects) {
        if (o.kind === KIND_PATH && visibleAt(o, this.currentFrame) && o.thumbs.length) {
          o.currentThumb = (o.currentThumb + 1) % o.thumbs.length;
          changed = true;
        }
      }
      this.nextAnimation = now + 300;
      if (fired || changed) this.hooks.redraw();
      return fired || changed;
    }

    // --- drag paths ---

    updateThumb(o) {
      const pos = o.path.positionAt(this.currentFrame, o.curve);
      if (pos) { o.thumbX = pos.x; o.thumbY = pos.y; o.thumbDx = pos.dx; o.thumbDy = pos.dy; }
      if (o.thumbX < this.lastThumbX) o.facing = 0; else if (o.thumbX > this.lastThumbX) o.facing = 1;
      if (o === this.activePath) this.lastThumbX = o.thumbX;
    }

    grabDistance(o, x, y) {
      if (o.grabFromThumb) {
        this.updateThumb(o);
        return trunc(Math.hypot(x - o.thumbX, y - o.thumbY));
      }
      return o.path.distanceTo(x, y, o.curve);
    }

    // limit: an extra bound on the distance (touch input), or undefined.
    pickPath(x, y, limit) {
      if (x < 0 || y < 0 || x >= this.width || y >= this.height) return null;
      let best = FAR, found = null;
      for (const o of this.objects) {
        if (o.kind !== KIND_PATH || !visibleAt(o, this.currentFrame)) continue;
        const d = this.grabDistance(o, x, y);
        if (o.grabDistance >= 1 && d > o.grabDistance) continue;
        const onPicture = this.statePicture(o, 0) !== null && x >= o.x && y >= o.y && x < o.x + o.width && y < o.y + o.height;
        if (limit !== undefined && d > limit && !onPicture) continue;
        if (d < best) { best = d; found = o; }
      }
      return found;
    }

    statePicture(o, s) {
      const ref = o.states[s].picture;
      return ref >= 0 ? ref : null;
    }

    hover(x, y) {
      if (this.playBlocksDrag()) return;
      const o = this.pickPath(x, y);
      if (o !== this.activePath) { this.activePath = o; this.hooks.redraw(); }
    }

    press(x, y) {
      this.mouseDown = true;
      this.dragTo(x, y);
      this.hooks.redraw();
    }

    release() {
      this.mouseDown = false;
      this.hooks.redraw();
    }

    dragTo(x, y) {
      if (this.playBlocksDrag()) return;
      let o = this.activePath;
      if (!o) return;
      let F = this.currentFrame;
      if (!visibleAt(o, F)) {
        const other = this.pickPath(x, y);
        if (other && other !== o) {
          o = this.activePath = other;
          const m = o.path.mapPointer(x, y, F);
          if (m) F = m.frame;
        }
      }
      const m = o.path.mapPointer(x, y, F);
      if (!m) return;
      F = m.frame;
      const s = m.index === 0 ? 1 : m.index;
      if (o.path.points[s] && o.path.points[s].handOver) {
        const other = this.pickPath(x, y);
        if (other && other !== o) {
          o = this.activePath = other;
          const m2 = o.path.mapPointer(x, y, F);
          if (m2) F = m2.frame;
        }
      }
      this.seekCodedFrame(trunc(F + 0.5));
    }

    // Pointer state for drawing: 2 pressed, 1 highlighted, 0 normal.
    pathState(o) {
      let s = this.mouseDown ? 2 : o === this.activePath ? 1 : 0;
      if (o.newlyShown) s = 1;
      if (o === this.activePath) o.newlyShown = false;
      return s;
    }

    arrowsAt(o) {
      const p = o.path.points;
      if (p.length < 2) return { start: false, end: false };
      const f0 = p[0].frame, f1 = p[p.length - 1].frame, F = this.currentFrame;
      if (o.arrowMode & 4) return { start: F > (f1 + 2 * f0) / 3, end: F < (f0 + 2 * f1) / 3 };
      return { start: !!(o.arrowMode & 1), end: !!(o.arrowMode & 2) };
    }

    thumbShownAt(o) {
      if (!o.thumbs.length) return false;
      const p = o.path.points;
      if (!o.keepThumb && p.length) {
        const lo = Math.min(p[0].frame, p[p.length - 1].frame), hi = Math.max(p[0].frame, p[p.length - 1].frame);
        if (this.currentFrame < lo || this.currentFrame > hi) return false;
      }
      return true;
    }

    // --- keyboard ---

    visiblePaths() {
      return this.objects.filter((o) => o.kind === KIND_PATH && visibleAt(o, this.currentFrame) && o.path.count >= 2);
    }

    isButton(o) {
      const p = o.path.points;
      return p.length >= 2 && p.every((q) => q.frame === p[0].frame);
    }

    focusPath(step) {
      const paths = this.visiblePaths();
      if (!paths.length) { this.activePath = null; return null; }
      const i = paths.indexOf(this.activePath);
      this.activePath = paths[(i < 0 ? 0 : (i + step + paths.length) % paths.length)];
      this.hooks.redraw();
      return this.activePath;
    }

    // Moves one shown frame along the active path (or the first one shown).
    stepAlongPath(step) {
      if (this.playBlocksDrag()) return;
      let o = this.activePath;
      if (!o || !visibleAt(o, this.currentFrame)) o = this.focusPath(0);
      if (!o || this.isButton(o)) return;
      const p = o.path.points;
      const lo = Math.min(p[0].frame, p[p.length - 1].frame), hi = Math.max(p[0].frame, p[p.length - 1].frame);
      const forward = (p[p.length - 1].frame >= p[0].frame) === (step > 0);
      let f = this.currentFrame + (forward ? 1 : -1);
      f = Math.min(Math.max(f, lo), hi);
      if (forward) f = Math.min(this.nextCodedFrame(f), hi);
      this.seekCodedFrame(f);
    }

    stepToPathEnd(atEnd) {
      let o = this.activePath;
      if (!o || !visibleAt(o, this.currentFrame)) o = this.focusPath(0);
      if (!o || this.playBlocksDrag()) return;
      const p = o.path.points;
      this.seekCodedFrame(atEnd ? p[p.length - 1].frame : p[0].frame);
    }

    pressActiveButton() {
      const o = this.activePath;
      if (!o || !visibleAt(o, this.currentFrame) || this.playBlocksDrag()) return false;
      if (!this.isButton(o)) return false;
      this.seekCodedFrame(o.path.points[0].frame);
      return true;
    }
  }

  // ---------------------------------------------------------------------------
  // The APPLET block: its size, archive list and parameters.

  function appletConfig(attrs, params) {
    const get = (o, k) => {
      for (const name of Object.keys(o)) if (name.toLowerCase() === k) return o[name];
      return undefined;
    };
    const num = (v, d) => { const n = parseInt(v, 10); return Number.isFinite(n) && n > 0 ? n : d; };
    const archives = String(get(attrs, 'archive') || '').split(',').map((s) => s.trim()).filter(Boolean);
    const colour = String(get(params, 'bgcolor') || 'FFFFFF').replace(/^#/, '');
    return {
      width: num(get(attrs, 'width'), 320),
      height: num(get(attrs, 'height'), 240),
      archives,
      useDataJar: archives.some((a) => a.toLowerCase() === 'data.jar'),
      preload: String(get(params, 'preload') || '').toUpperCase() === 'TRUE',
      background: /^[0-9a-fA-F]{6}$/.test(colour) ? '#' + colour : '#ffffff',
      message: String(get(params, 'message') || 'Loading'),
      dir: String(get(params, 'dir') || ''),
    };
  }

  // ---------------------------------------------------------------------------
  // In the browser: loading, the stage canvas and its input.

  const TOUCH_GRAB_CSS_PIXELS = 28;
  const LOAD_CONCURRENCY = 6;
  const TIMER_STEP_MS = 10;

  const FILE_MESSAGE = 'This page cannot play when it is opened as a file: browsers do not let it read its own files ' +
    'from the disk. View it through a web server instead, for example with the studio\'s preview, or with ' +
    '"tavlin serve FOLDER" and the address it prints.';

  // Decoded pixels of a JPEG or GIF, in the canvas's byte order. Kept apart
  // so that everything above it can be fed pixels directly.
  async function decodePixels(bytes) {
    const bitmap = await decodeBitmap(bytes);
    const w = bitmap.width, h = bitmap.height;
    const canvas = typeof OffscreenCanvas !== 'undefined' ? new OffscreenCanvas(w, h)
      : Object.assign(document.createElement('canvas'), { width: w, height: h });
    const ctx = canvas.getContext('2d', { willReadFrequently: true });
    ctx.drawImage(bitmap, 0, 0);
    bitmap.close && bitmap.close();
    const img = ctx.getImageData(0, 0, w, h);
    return { width: w, height: h, data: new Uint32Array(img.data.buffer) };
  }

  async function decodeBitmap(bytes) {
    try {
      return await createImageBitmap(new Blob([bytes]), { premultiplyAlpha: 'none', colorSpaceConversion: 'none' });
    } catch (e) {
      fail('a picture cannot be decoded');
    }
  }

  class Viewer {
    constructor(applet, config) {
      this.config = config;
      this.doc = applet.ownerDocument;
      this.win = this.doc.defaultView;
      this.base = new URL(config.dir || '.', this.doc.baseURI).href.replace(/[^/]*$/, '');
      this.files = null; // entries of data.jar, when it is used
      this.pictures = [];
      this.sounds = [];
      this.frameLists = [];
      this.videoCanvases = new Map();
      // Decoded frames of all videos share one bound; the fetched files stay
      // (they are a fraction of the size) to be decoded again when needed.
      // A page may set its own bound before the script runs.
      this.pixelCache = new PixelCache(this.win.tavlinFrameCacheBytes);
      this.frameFiles = new Map();
      this.dirty = true;
      this.buildStage(applet);
    }

    buildStage(applet) {
      const c = this.config, doc = this.doc;
      const box = this.element = doc.createElement('div');
      box.className = 'tavlin-stage';
      box.tabIndex = 0;
      box.setAttribute('role', 'application');
      box.setAttribute('aria-roledescription', 'draggable video');
      box.setAttribute('aria-label', 'Draggable video. Drag along the path, or use the arrow keys to move along it, ' +
        'Page Up and Page Down to choose a path, and Enter to press a button.');
      Object.assign(box.style, {
        position: 'relative', display: 'inline-block', width: '100%', maxWidth: c.width + 'px',
        aspectRatio: `${c.width} / ${c.height}`, background: c.background, overflow: 'hidden',
        verticalAlign: 'top', outlineOffset: '2px', userSelect: 'none', webkitUserSelect: 'none',
        touchAction: 'pan-x pan-y pinch-zoom',
      });
      const canvas = this.canvas = doc.createElement('canvas');
      Object.assign(canvas.style, { position: 'absolute', left: 0, top: 0, width: '100%', height: '100%', display: 'block' });
      box.appendChild(canvas);
      const overlay = this.overlay = doc.createElement('div');
      overlay.setAttribute('role', 'status');
      Object.assign(overlay.style, {
        position: 'absolute', left: 0, right: 0, bottom: 0, padding: '6px 8px', font: '13px sans-serif',
        color: '#000', background: 'rgba(255,255,255,0.85)', pointerEvents: 'none',
      });
      const label = this.overlayText = doc.createElement('div');
      const bar = doc.createElement('div');
      Object.assign(bar.style, { height: '4px', marginTop: '4px', background: '#ddd' });
      const fill = this.progressFill = doc.createElement('div');
      Object.assign(fill.style, { height: '100%', width: '0%', background: '#36c' });
      bar.appendChild(fill);
      overlay.appendChild(label);
      overlay.appendChild(bar);
      this.progressBar = bar;
      box.appendChild(overlay);
      label.textContent = c.message;
      applet.parentNode.replaceChild(box, applet);
      this.ctx = canvas.getContext('2d');
      this.fitCanvas();
      if (typeof ResizeObserver !== 'undefined') new ResizeObserver(() => this.fitCanvas()).observe(box);
      else this.win.addEventListener('resize', () => this.fitCanvas());
    }

    // The backing store follows the shown size and the screen's pixel ratio.
    fitCanvas() {
      const rect = this.element.getBoundingClientRect();
      const dpr = this.win.devicePixelRatio || 1;
      const w = Math.max(1, Math.round((rect.width || this.config.width) * dpr));
      const h = Math.max(1, Math.round((rect.height || this.config.height) * dpr));
      if (this.canvas.width !== w || this.canvas.height !== h) {
        this.canvas.width = w;
        this.canvas.height = h;
      }
      if (this.presentation) this.requestDraw();
    }

    showMessage(text) {
      this.overlay.style.top = '0';
      this.overlay.style.display = 'flex';
      this.overlay.style.alignItems = 'center';
      this.overlay.style.justifyContent = 'center';
      this.overlay.style.textAlign = 'center';
      this.overlay.style.background = 'rgba(255,255,255,0.95)';
      this.progressBar.style.display = 'none';
      this.overlayText.textContent = text;
      this.element.setAttribute('data-tavlin-state', 'error');
    }

    progress(done, total) {
      this.progressFill.style.width = (total ? Math.round((100 * done) / total) : 0) + '%';
      if (total && done >= total) {
        this.overlay.style.display = 'none';
        this.element.setAttribute('data-tavlin-state', 'ready');
      }
    }

    async fetchBytes(url, onProgress) {
      let response;
      try {
        response = await fetch(url);
      } catch (e) {
        if (this.win.location.protocol === 'file:') fail(FILE_MESSAGE);
        fail(`"${url.split('/').pop()}" cannot be loaded (the network refused it).`);
      }
      if (!response.ok) fail(`"${decodeURIComponent(url.split('/').pop())}" cannot be loaded (${response.status} ${response.statusText}).`);
      const total = Number(response.headers.get('content-length')) || 0;
      if (!onProgress || !response.body || !total) return new Uint8Array(await response.arrayBuffer());
      const reader = response.body.getReader();
      const chunks = [];
      let got = 0;
      for (;;) {
        const { done, value } = await reader.read();
        if (done) break;
        chunks.push(value);
        got += value.length;
        onProgress(got, total);
      }
      const out = new Uint8Array(got);
      let o = 0;
      for (const c of chunks) { out.set(c, o); o += c.length; }
      return out;
    }

    async file(name) {
      if (this.files && this.files.has(name)) return this.files.get(name);
      return this.fetchBytes(new URL(name, this.base).href);
    }

    async run() {
      try {
        if (this.win.location.protocol === 'file:' && !this.config.allowFile) fail(FILE_MESSAGE);
        await this.load();
      } catch (e) {
        this.showMessage(e instanceof TavlinError ? e.message : 'The page cannot be played: ' + (e && e.message));
        if (!(e instanceof TavlinError) && this.win.console) this.win.console.error(e);
      }
    }

    async load() {
      const c = this.config;
      if (c.useDataJar) {
        const jar = await this.fetchBytes(new URL('data.jar', this.base).href, (got, total) => this.progress(got / 2, total));
        this.files = await unzip(jar);
      }
      const content = parseContent(await this.file('tavlin.txt'));
      this.content = content;
      const p = this.presentation = new Presentation(content, {
        now: () => 1 + Math.floor(this.win.performance.now()),
        redraw: () => this.requestDraw(),
        playSound: (i, repeat) => this.playSound(i, repeat),
        stopSound: () => this.stopSound(),
        openLink: (target, address) => this.openLink(target, address),
        param: (text) => this.element.dispatchEvent(new CustomEvent('tavlin-param', { detail: { text }, bubbles: true })),
      });
      // Frame lists are small; they come first so that the stage knows its frames.
      const listNames = Array.from({ length: content.videoCount }, (_, i) => `v${i.toString(16)}.txt`);
      const readable = (name, step) => {
        try {
          return step();
        } catch (e) {
          if (e instanceof TavlinError) throw e;
          throw new TavlinError(`The frame list "${name}" cannot be read.`);
        }
      };
      const lists = await Promise.all(listNames.map(async (name) => {
        const bytes = await this.file(name);
        return readable(name, () => readFrameList(bytes, name, this.pixelCache));
      }));
      // The first picture of each video is on its way while the block maps
      // are worked out, and is decoded before the others start.
      const early = new Map();
      for (const list of lists) {
        const first = list.records[0];
        if (!first || !first.file || early.has(first.file)) continue;
        const fetching = this.file(first.file);
        fetching.catch(() => {}); // its own job reports a failure
        early.set(first.file, fetching);
      }
      lists.forEach((list, i) => readable(listNames[i], () => list.finishMaps()));
      this.frameLists = lists;
      for (const list of lists) list.reload = (r) => this.reloadFrame(list, r);
      const coded = [];
      for (const o of content.objects) {
        const list = o.kind === KIND_VIDEO && o.video >= 0 ? lists[o.video] : null;
        if (!list || !o.ranges.length) continue;
        for (const rec of list.records) coded.push(o.ranges[0][0] + rec.index);
      }
      p.setCodedFrames(coded);
      this.attachInput();
      p.start();
      this.loop();

      const jobs = [], lead = [];
      content.pictures.forEach((name, i) => jobs.push(async () => {
        this.pictures[i] = await decodeBitmap(await this.file(name)).catch(() => fail(`The picture "${name}" cannot be decoded.`));
        this.requestDraw();
      }));
      content.sounds.forEach((name, i) => jobs.push(async () => { this.sounds[i] = parseSunAudio(await this.file(name), name); }));
      // Whole frames and key patches of every list first, then the differences.
      const keys = [], diffs = [];
      lists.forEach((list) => {
        for (const r of list.pictureOrder()) (list.records[r].type === 'D' ? diffs : keys).push([list, r]);
      });
      for (const [list, r] of keys.concat(diffs)) {
        const first = r === 0 && early.has(list.records[r].file);
        (first ? lead : jobs).push(async () => {
          const file = list.records[r].file;
          let pixels;
          try {
            const bytes = await (first ? early.get(file) : this.file(file));
            if (!this.files || !this.files.has(file)) this.frameFiles.set(file, bytes);
            pixels = await decodePixels(bytes);
          } catch (e) {
            fail(e instanceof TavlinError && !/decoded/.test(e.message) ? e.message : `The frame picture "${file}" cannot be decoded.`);
          }
          list.setPicture(r, pixels);
          this.requestDraw();
        });
      }
      jobs.unshift(...lead);
      let done = 0;
      const total = jobs.length;
      // With data.jar its download was the first half of the bar; the
      // pictures fill the rest, so the bar never runs backwards.
      const share = c.useDataJar ? 0.5 : 0;
      const report = (d) => this.progress(share * total + (1 - share) * d, total);
      report(0);
      if (!total) this.progress(1, 1);
      let next = 0;
      const worker = async () => {
        while (next < jobs.length) {
          const job = jobs[next++];
          await job();
          report(++done);
        }
      };
      // The first frames alone, so that they do not share the line.
      while (next < lead.length) {
        await jobs[next++]();
        report(++done);
      }
      await Promise.all(Array.from({ length: Math.min(LOAD_CONCURRENCY, total - next) }, worker));
      this.element.setAttribute('data-tavlin-state', 'ready');
    }

    // A frame picture the cache put out, decoded again from its file.
    reloadFrame(list, r) {
      const file = list.records[r].file;
      const bytes = this.frameFiles.get(file) || (this.files && this.files.get(file));
      if (!bytes) return;
      decodePixels(bytes).then((pixels) => {
        list.setPicture(r, pixels);
        this.requestDraw();
      }, () => { list.records[r].reloading = false; });
    }

    // --- sound and links ---

    audio() {
      if (!this.audioContext) {
        const AC = this.win.AudioContext || this.win.webkitAudioContext;
        if (!AC) return null;
        this.audioContext = new AC();
      }
      if (this.audioContext.state === 'suspended') this.audioContext.resume().catch(() => {});
      return this.audioContext;
    }

    playSound(i, repeat) {
      const sound = this.sounds[i];
      const ac = this.audio();
      if (!sound || !ac) return;
      this.stopSound();
      if (!sound.buffer) {
        sound.buffer = ac.createBuffer(1, Math.max(1, sound.samples.length), sound.sampleRate);
        sound.buffer.copyToChannel(sound.samples, 0);
      }
      const src = ac.createBufferSource();
      src.buffer = sound.buffer;
      src.loop = repeat;
      src.connect(ac.destination);
      src.start();
      this.soundSource = src;
    }

    stopSound() {
      if (this.soundSource) { try { this.soundSource.stop(); } catch (e) { /* already ended */ } }
      this.soundSource = null;
    }

    openLink(target, address) {
      const url = safeLinkUrl(address, this.doc.baseURI);
      if (!url) return;
      this.win.open(url, target || '_self');
    }

    // --- input ---

    stagePoint(ev) {
      const rect = this.canvas.getBoundingClientRect();
      return {
        x: Math.floor(((ev.clientX - rect.left) * this.content.width) / (rect.width || 1)),
        y: Math.floor(((ev.clientY - rect.top) * this.content.height) / (rect.height || 1)),
      };
    }

    touchLimit() {
      const rect = this.canvas.getBoundingClientRect();
      return (TOUCH_GRAB_CSS_PIXELS * this.content.width) / (rect.width || 1);
    }

    attachInput() {
      const p = this.presentation, el = this.canvas, box = this.element;
      let dragging = null;
      const wake = () => { if (this.audioContext) this.audio(); };
      el.addEventListener('pointermove', (ev) => {
        const pt = this.stagePoint(ev);
        if (dragging === ev.pointerId) p.dragTo(pt.x, pt.y);
        else if (ev.pointerType === 'mouse') p.hover(pt.x, pt.y);
      });
      el.addEventListener('pointerdown', (ev) => {
        if (ev.pointerType === 'mouse' && ev.button !== 0) return;
        wake();
        const pt = this.stagePoint(ev);
        if (ev.pointerType !== 'mouse') {
          // A touch drags only when it starts on or near a path; elsewhere
          // the page scrolls.
          if (p.playBlocksDrag()) return;
          const o = p.pickPath(pt.x, pt.y, this.touchLimit());
          if (!o) return;
          p.activePath = o;
        } else {
          p.hover(pt.x, pt.y);
        }
        dragging = ev.pointerId;
        try { el.setPointerCapture(ev.pointerId); } catch (e) { /* pointer already gone */ }
        box.focus({ preventScroll: true });
        p.press(pt.x, pt.y);
        ev.preventDefault();
      });
      const end = (ev) => {
        if (dragging !== ev.pointerId) return;
        dragging = null;
        p.release();
      };
      el.addEventListener('pointerup', end);
      el.addEventListener('pointercancel', end);
      el.addEventListener('lostpointercapture', end);
      el.addEventListener('pointerleave', (ev) => { if (ev.pointerType === 'mouse' && dragging === null) p.hover(-1, -1); });
      // Only a touch that starts near a path keeps the page from scrolling.
      el.addEventListener('touchstart', (ev) => {
        if (ev.touches.length !== 1 || p.playBlocksDrag()) return;
        const pt = this.stagePoint(ev.touches[0]);
        if (p.pickPath(pt.x, pt.y, this.touchLimit())) ev.preventDefault();
      }, { passive: false });
      el.addEventListener('touchmove', (ev) => { if (dragging !== null) ev.preventDefault(); }, { passive: false });
      box.addEventListener('keydown', (ev) => {
        wake();
        let handled = true;
        switch (ev.key) {
          case 'ArrowRight': case 'ArrowUp': p.stepAlongPath(1); break;
          case 'ArrowLeft': case 'ArrowDown': p.stepAlongPath(-1); break;
          case 'Home': p.stepToPathEnd(false); break;
          case 'End': p.stepToPathEnd(true); break;
          case 'PageDown': p.focusPath(1); break;
          case 'PageUp': p.focusPath(-1); break;
          case 'Enter': case ' ': handled = p.pressActiveButton(); break;
          default: handled = false;
        }
        if (handled) ev.preventDefault();
      });
      box.addEventListener('focus', () => { if (!p.activePath) p.focusPath(0); });
    }

    // Events run on their own timer, drawing on animation frames: a hidden
    // page stops drawing but its events still keep time.
    loop() {
      this.win.setInterval(() => {
        this.presentation.timerStep();
        if (this.dirty) this.requestDraw();
      }, TIMER_STEP_MS);
      this.requestDraw();
    }

    requestDraw() {
      this.dirty = true;
      if (this.drawPending) return;
      this.drawPending = true;
      this.win.requestAnimationFrame(() => {
        this.drawPending = false;
        if (!this.dirty) return;
        this.dirty = false;
        const t0 = this.win.performance.now();
        this.waiting = false;
        this.draw();
        this.lastDrawMs = this.win.performance.now() - t0;
        this.element.setAttribute('data-tavlin-frame', String(this.presentation.currentFrame));
      });
    }

    // --- drawing ---

    draw() {
      const p = this.presentation, ctx = this.ctx, c = this.content;
      ctx.setTransform(1, 0, 0, 1, 0, 0);
      ctx.fillStyle = this.config.background;
      ctx.fillRect(0, 0, this.canvas.width, this.canvas.height);
      ctx.setTransform(this.canvas.width / c.width, 0, 0, this.canvas.height / c.height, 0, 0);
      const f = p.currentFrame;
      for (let i = p.objects.length - 1; i >= 0; i--) {
        const o = p.objects[i];
        if (o.kind === KIND_PATH) { this.drawPath(o); continue; }
        if (!visibleAt(o, f)) continue;
        if (o.kind === KIND_VIDEO) this.drawVideo(o, i);
        else if (o.kind === KIND_IMAGE) this.drawPicture(this.pictures[o.picture], o);
      }
    }

    drawPicture(bitmap, o) {
      if (!bitmap) return;
      this.ctx.drawImage(bitmap, o.x, o.y, o.width || bitmap.width, o.height || bitmap.height);
    }

    drawVideo(o, index) {
      const list = o.video >= 0 ? this.frameLists[o.video] : null;
      if (!list || !o.ranges.length || !list.width || !list.height) return;
      const pic = list.frameAt(this.presentation.currentFrame - o.ranges[0][0]);
      let entry = this.videoCanvases.get(index);
      // While a picture is decoded again, the frame shown before stays.
      if (!pic) {
        this.waiting = true;
        if (entry && entry.shown) this.ctx.drawImage(entry.canvas, o.x, o.y, o.width, o.height);
        return;
      }
      if (!entry) {
        const canvas = this.doc.createElement('canvas');
        canvas.width = list.width;
        canvas.height = list.height;
        const ctx = canvas.getContext('2d');
        entry = { canvas, ctx, image: ctx.createImageData(list.width, list.height) };
        this.videoCanvases.set(index, entry);
      }
      new Uint32Array(entry.image.data.buffer).set(pic.data);
      entry.ctx.putImageData(entry.image, 0, 0);
      entry.shown = true;
      this.ctx.imageSmoothingEnabled = true;
      this.ctx.drawImage(entry.canvas, o.x, o.y, o.width, o.height);
    }

    drawPath(o) {
      const p = this.presentation, ctx = this.ctx;
      if (!visibleAt(o, p.currentFrame)) { o.newlyShown = true; return; }
      const s = p.pathState(o);
      const state = o.states[s];
      const pts = o.path.points;
      if (state.picture >= 0 && this.pictures[state.picture]) {
        this.drawPicture(this.pictures[state.picture], o);
      } else if (state.lineWidth >= 1 && pts.length >= 2) {
        const colour = '#' + state.colour.toString(16).padStart(6, '0');
        const line = o.path.drawPoints(o.curve);
        ctx.strokeStyle = colour;
        ctx.lineWidth = state.lineWidth === 1 ? 1 : state.lineWidth * 2;
        ctx.lineJoin = 'round';
        ctx.lineCap = 'round';
        ctx.beginPath();
        ctx.moveTo(line[0].x + 0.5, line[0].y + 0.5);
        for (let i = 1; i < line.length; i++) ctx.lineTo(line[i].x + 0.5, line[i].y + 0.5);
        ctx.stroke();
        const arrows = p.arrowsAt(o);
        ctx.fillStyle = colour;
        if (arrows.start) this.arrowhead(pts[0], pts[1], state.lineWidth);
        if (arrows.end) this.arrowhead(pts[pts.length - 1], pts[pts.length - 2], state.lineWidth);
      }
      if (!p.thumbShownAt(o)) return;
      p.updateThumb(o);
      if (o.currentThumb >= o.thumbs.length) o.currentThumb = 0;
      const thumb = this.pictures[o.thumbs[o.currentThumb]];
      if (!thumb) return;
      ctx.save();
      ctx.translate(o.thumbX, o.thumbY);
      if (o.thumbDirection === 1 && o.facing === 1) ctx.scale(-1, 1);
      else if (o.thumbDirection === 2 && (o.thumbDx || o.thumbDy)) ctx.rotate(Math.atan2(o.thumbDy, o.thumbDx));
      ctx.drawImage(thumb, -Math.trunc(thumb.width / 2), -Math.trunc(thumb.height / 2));
      ctx.restore();
    }

    arrowhead(A, B, w) {
      const k = (2 * w + 3) / (Math.hypot(B.x - A.x, B.y - A.y) + 0.1);
      const p = trunc((B.y - A.y) * k), q = trunc((B.x - A.x) * k);
      const ctx = this.ctx;
      ctx.beginPath();
      ctx.moveTo(A.x - p, A.y + q);
      ctx.lineTo(A.x + p, A.y - q);
      ctx.lineTo(A.x - q, A.y - p);
      ctx.closePath();
      ctx.fill();
    }
  }

  function readAppletElement(el) {
    const attrs = {};
    for (const a of el.attributes) attrs[a.name] = a.value;
    const params = {};
    for (const param of el.getElementsByTagName('param')) {
      const name = param.getAttribute('name');
      if (name) params[name] = param.getAttribute('value') || '';
    }
    return appletConfig(attrs, params);
  }

  function isOurApplet(el) {
    const code = (el.getAttribute('code') || '').toLowerCase();
    const archive = (el.getAttribute('archive') || '').toLowerCase();
    return code === 'tavlin.class' || /(^|,)\s*tavlin\.jar\s*(,|$)/.test(archive);
  }

  // Puts a stage in place of every TAVLIN applet of the page; returns the viewers.
  function start(doc) {
    const viewers = [];
    for (const el of Array.from(doc.getElementsByTagName('applet'))) {
      if (!isOurApplet(el)) continue;
      const viewer = new Viewer(el, readAppletElement(el));
      viewers.push(viewer);
      viewer.run();
    }
    return viewers;
  }

  function startWhenReady(doc) {
    const go = () => { api.viewers = start(doc); };
    if (doc.readyState === 'loading') doc.addEventListener('DOMContentLoaded', go, { once: true });
    else go();
  }

  const api = {
    CONTENT_KEY_FIRST, CONTENT_KEY_SECOND, CONTENT_HEADER_WORD, contentKeyText, TavlinError,
    ncrfUnwrap, ncrfWrap, desParityKey, desKeySchedule, desCbc, parseContent,
    KIND_VIDEO, KIND_IMAGE, KIND_PATH, EVENT_PLAY, EVENT_JUMP, EVENT_SOUND, EVENT_LINK, EVENT_PARAM,
    BlockIndexDecoder, parseFrameList, FrameList, PixelCache, FRAME_CACHE_BYTES, newPicture, scaleAveraged, fitToSize, reduceWide,
    muLawDecode, parseSunAudio, crc32, unzip, safeEntryName, ZIP_LIMITS, Path,
    Presentation, visibleAt, parseParams, safeLinkUrl, appletConfig,
    Viewer, start, startWhenReady, decodePixels, viewers: [],
  };
  return api;
});
