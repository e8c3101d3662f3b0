'use strict';
// Writes a small published folder by hand for trying the viewer in a browser:
//   node viewer/test_support/make_sample.js OUTDIR [--jar]
// Frames become real JPEG files through "tavlin image convert" when TAVLIN_CLI
// names the tool; otherwise PNG data under the .jpg names (browsers sniff).
const fs = require('node:fs');
const path = require('node:path');
const { execFileSync } = require('node:child_process');
const zlib = require('node:zlib');
const T = require('../tavlin.js');
const { StreamWriter, writeFrameList, picture } = require('./writers.js');

const out = process.argv[2];
if (!out) { console.error('usage: make_sample.js OUTDIR [--jar]'); process.exit(2); }
const jar = process.argv.includes('--jar');
fs.mkdirSync(out, { recursive: true });

const W = 160, H = 120, N = 30;
const frames = [];
for (let i = 0; i < N; i++) {
  const sx = 10 + i * 4, sy = 40;
  frames.push({
    code: i % 10 === 0 ? 2 : 3,
    pic: picture(W, H, (x, y) => (x >= sx && x < sx + 24 && y >= sy && y < sy + 24 ? 0xffd02020 : 0xff000000 | ((x + 60) << 8) | (y + 100))),
  });
}
const list = writeFrameList(frames, W, H);
function png(pic) {
  const chunk = (type, data) => {
    const len = Buffer.alloc(4); len.writeUInt32BE(data.length);
    const body = Buffer.concat([Buffer.from(type), data]);
    const crc = Buffer.alloc(4); crc.writeUInt32BE(T.crc32(body));
    return Buffer.concat([len, body, crc]);
  };
  const raw = Buffer.alloc((pic.width * 3 + 1) * pic.height);
  for (let y = 0; y < pic.height; y++) for (let x = 0; x < pic.width; x++) {
    const p = pic.data[y * pic.width + x], o = y * (pic.width * 3 + 1) + 1 + x * 3;
    raw[o] = (p >>> 16) & 255; raw[o + 1] = (p >>> 8) & 255; raw[o + 2] = p & 255;
  }
  const ihdr = Buffer.alloc(13);
  ihdr.writeUInt32BE(pic.width, 0); ihdr.writeUInt32BE(pic.height, 4); ihdr[8] = 8; ihdr[9] = 2;
  return Buffer.concat([Buffer.from([137, 80, 78, 71, 13, 10, 26, 10]), chunk('IHDR', ihdr), chunk('IDAT', zlib.deflateSync(raw)), chunk('IEND', Buffer.alloc(0))]);
}
function writeJpeg(file, pic) {
  const target = path.join(out, file);
  if (!process.env.TAVLIN_CLI) { fs.writeFileSync(target, png(pic)); return; }
  const tmp = target + '.png';
  fs.writeFileSync(tmp, png(pic));
  execFileSync(process.env.TAVLIN_CLI, ['image', 'convert', tmp, target, '--quality', '95']);
  fs.unlinkSync(tmp);
}
for (const [name, pic] of Object.entries(list.pictures)) writeJpeg(name.replace(/^v/, 'v0'), pic);
fs.writeFileSync(path.join(out, 'v0.txt'), T.ncrfWrap(Buffer.from(Buffer.from(list.bytes).toString('latin1').replace(/ v([nsd])/g, ' v0$1'), 'latin1')));

const w = new StreamWriter();
w.u32(T.CONTENT_HEADER_WORD).u32(261207).u32(0).u8(0).u16(3).u16(1).u16(0).u16(0);
w.u16(320).u16(240).u16(N).u16(2);
// A drag path along the bottom, in front of the video.
w.u8(2).u16(20).u16(190).u16(281).u16(21).u16(1).u32(0).u32(N - 1);
for (const [width, colour] of [[2, 0xff8080], [3, 0xff0000], [0, 0]]) w.u16(-1).u8(width).u8(colour >> 16).u8(colour >> 8).u8(colour);
w.u8(4).u8(0).u8(0).u8(0).u8(0).u8(0);
w.u16(2).u16(20).u16(200).u32(0).u8(1).u16(300).u16(200).u32(N - 1).u8(1);
w.u8(0).u16(0).u16(0).u16(320).u16(240).u16(1).u32(0).u32(N - 1).u16(0);
w.u16(1).u8(4).u32(N - 1).u32(N - 1).u32(0).str16('reached=end');
fs.writeFileSync(path.join(out, 'tavlin.txt'), T.ncrfWrap(T.desCbc(w.bytes(), T.contentKeyText(), true)));

if (jar) {
  const names = fs.readdirSync(out).filter((n) => /^(tavlin\.txt|v.*\.(txt|jpg))$/.test(n));
  execFileSync('zip', ['-q', '-6', 'data.jar', ...names], { cwd: out });
}
const applet = `<!-- start TAVLIN --><APPLET width=320 height=240 code="Tavlin.class" archive="tavlin.jar${jar ? ',data.jar' : ''}">\r\n` +
  '<PARAM NAME=PRELOAD VALUE=TRUE>\r\n<!-- <PARAM NAME=DIR VALUE="."> -->\r\n<PARAM NAME=BGCOLOR VALUE="FFFFFF">\r\n' +
  '<PARAM NAME=MESSAGE VALUE="TAVLIN Loading">\r\n</APPLET><!-- end TAVLIN -->';
const template = fs.readFileSync(path.join(__dirname, '../../template/simple/index.html'), 'utf8');
fs.writeFileSync(path.join(out, 'index.html'), template.replace(/\$([^$]*)\$/g, (m, name) => ({
  title: 'sample', applet, width: '320', height: '240', year: '2026', month: '12', day: '7', '': '$',
})[name] ?? m));
fs.copyFileSync(path.join(__dirname, '../tavlin.js'), path.join(out, 'tavlin.js'));
console.log(out);
