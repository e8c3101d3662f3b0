'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const { spawnSync } = require('node:child_process');
const crypto = require('node:crypto');
const T = require('../tavlin.js');
const { zipArchive } = require('../test_support/writers.js');

// A data archive as a JAR writer lays it out, made by Python's zipfile.
function pythonJar(files) {
  const script = `
import sys, zipfile, io, json, base64
files = json.loads(sys.stdin.read())
buf = io.BytesIO()
with zipfile.ZipFile(buf, 'w') as z:
    for name, data, deflate in files:
        z.writestr(name, base64.b64decode(data), zipfile.ZIP_DEFLATED if deflate else zipfile.ZIP_STORED)
sys.stdout.write(base64.b64encode(buf.getvalue()).decode())`;
  const r = spawnSync('python3', ['-c', script], { input: JSON.stringify(files.map(([n, d, z]) => [n, Buffer.from(d).toString('base64'), z])) });
  if (r.status !== 0 || r.error) return null;
  return new Uint8Array(Buffer.from(r.stdout.toString(), 'base64'));
}

test('data.jar: stored and deflated entries come out byte for byte', { skip: !pythonJar([]) && 'python3 is not available' }, async () => {
  const big = crypto.randomBytes(200000);
  const text = Buffer.from('NCRF'.repeat(5000));
  const jar = pythonJar([['META-INF/MANIFEST.MF', 'Manifest-Version: 1.0\r\n', true], ['tavlin.txt', big, false],
    ['v0.txt', text, true], ['v0s0.jpg', big.subarray(0, 999), true], ['empty.au', '', true]]);
  const files = await T.unzip(jar);
  assert.deepEqual([...files.keys()], ['META-INF/MANIFEST.MF', 'tavlin.txt', 'v0.txt', 'v0s0.jpg', 'empty.au']);
  assert.ok(Buffer.from(files.get('tavlin.txt')).equals(big));
  assert.ok(Buffer.from(files.get('v0.txt')).equals(text));
  assert.ok(Buffer.from(files.get('v0s0.jpg')).equals(big.subarray(0, 999)));
  assert.equal(files.get('empty.au').length, 0);
});

test('data.jar: hostile archives are refused with a message, without unpacking them', async () => {
  const cases = [
    [[{ name: '../x', data: 'evil' }], /outside its folder/],
    [[{ name: 'a/../../x', data: 'evil' }], /outside its folder/],
    [[{ name: '/etc/passwd', data: 'evil' }], /outside its folder/],
    [[{ name: 'C:x', data: 'evil' }], /outside its folder/],
    [[{ name: 'a\\..\\x', data: 'evil' }], /outside its folder/],
    [[{ name: 'huge.jpg', data: 'x', method: 8, usize: 0xfffffff0 }], /declares 4294967280 bytes/],
    // Declares 100 bytes but inflates to a megabyte.
    [[{ name: 'bomb.jpg', data: Buffer.alloc(1 << 20), method: 8, usize: 100 }], /more than it declares/],
    [[{ name: 'bad.txt', data: 'hello', crc: 1234 }], /checksum/],
    [[{ name: 'odd.txt', data: 'hello', method: 12 }], /method 12/],
  ];
  for (const [entries, message] of cases) await assert.rejects(T.unzip(zipArchive(entries)), message, entries[0].name);
  const good = zipArchive([{ name: 'a.txt', data: 'hello world', method: 8 }]);
  assert.equal(Buffer.from((await T.unzip(good)).get('a.txt')).toString(), 'hello world');
  // Broken deflate data, a cut archive, and something that is no archive.
  const broken = good.slice();
  broken.fill(0xff, 30 + 5, 30 + 5 + 4);
  await assert.rejects(T.unzip(broken), /damaged/);
  await assert.rejects(T.unzip(good.subarray(0, good.length - 30)), /not a ZIP archive|damaged/);
  await assert.rejects(T.unzip(Buffer.from('<html>404</html>')), /not a ZIP archive/);
  await assert.rejects(T.unzip(zipArchive([{ name: 'a', data: 'x' }, { name: 'b', data: 'y' }]), { maxTotalBytes: 1 }), /more data than/);
});

test('sounds: mu-law bytes decode as the studio decodes them; bad files are refused', () => {
  assert.deepEqual([0xff, 0x80, 0x00, 0x7f].map(T.muLawDecode), [0, 31373, -31373, 0]);
  const au = Buffer.alloc(24 + 3);
  [0x2e736e64, 24, 3, 1, 8000, 1].forEach((v, i) => au.writeUInt32BE(v, i * 4));
  au.set([0xff, 0x80, 0x00], 24);
  const s = T.parseSunAudio(au, 'a0.au');
  assert.equal(s.sampleRate, 8000);
  assert.deepEqual(Array.from(s.samples), [0, 31373 / 32768, -31373 / 32768].map(Math.fround));
  const long = Buffer.from(au); long.writeUInt32BE(1000, 8);
  assert.throws(() => T.parseSunAudio(long, 'a0.au'), /cut short/);
  const stereo = Buffer.from(au); stereo.writeUInt32BE(2, 20);
  assert.throws(() => T.parseSunAudio(stereo, 'a0.au'), /mono mu-law/);
  assert.throws(() => T.parseSunAudio(Buffer.from('RIFF'), 'a0.au'), /not a Sun audio file/);
});
