'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const crypto = require('node:crypto');
const T = require('../tavlin.js');
const { opensslDesCbc, haveOpenssl } = require('../test_support/writers.js');

const hex = (s) => Uint8Array.from(Buffer.from(s, 'hex'));
const toHex = (b) => Buffer.from(b).toString('hex');

test('NCRF unwrap restores every byte and ignores raw line breaks', () => {
  const all = Uint8Array.from({ length: 256 }, (_, i) => i);
  const wrapped = T.ncrfWrap(all);
  assert.ok(!wrapped.includes(0x0a) && !wrapped.includes(0x0d));
  assert.deepEqual(T.ncrfUnwrap(wrapped), all);
  // Line breaks added by a mail or FTP client in between are dropped; an
  // escape of an unknown byte stands for that byte.
  const noisy = Uint8Array.from([...Buffer.from('NCRF'), 0x41, 0x0d, 0x0a, 0x01, 0x03, 0x01, 0x07, 0x0a, 0x42]);
  assert.deepEqual(T.ncrfUnwrap(noisy), Uint8Array.from([0x41, 0x0a, 0x07, 0x42]));
  const plain = Uint8Array.from(Buffer.from('320 240 1 0\n'));
  assert.deepEqual(T.ncrfUnwrap(plain), plain);
  // A trailing lone escape byte cannot read past the end.
  assert.deepEqual(T.ncrfUnwrap(Uint8Array.from([...Buffer.from('NCRF'), 0x01])), Uint8Array.from([0x01]));
});

test('DES agrees with the published validation vectors', () => {
  // Variable-plaintext known answer of the FIPS validation set, the FIPS 81
  // example block, and the classic worked example.
  assert.equal(toHex(T.desCbc(hex('8000000000000000'), hex('0101010101010101'), true)), '95f8a5e5dd31d900');
  assert.equal(toHex(T.desCbc(Buffer.from('Now is t'), hex('0123456789abcdef'), true)), '3fa40e8a984d4815');
  assert.equal(toHex(T.desCbc(hex('0123456789abcdef'), hex('133457799bbcdff1'), true)), '85e813540f0ab405');
  assert.equal(toHex(T.desCbc(hex('85e813540f0ab405'), hex('133457799bbcdff1'), false)), '0123456789abcdef');
});

test('DES-CBC pads with line feeds and keys with top-bit parity', () => {
  const key = Buffer.from('47110815');
  assert.equal(T.desCbc(new Uint8Array(0), key, true).length, 0);
  assert.equal(T.desCbc(new Uint8Array(8), key, true).length, 8);
  const nine = Uint8Array.from([1, 2, 3, 4, 5, 6, 7, 8, 9]);
  const enc = T.desCbc(nine, key, true);
  assert.equal(enc.length, 16);
  assert.deepEqual(T.desCbc(enc, key, false), Uint8Array.from([...nine, 10, 10, 10, 10, 10, 10, 10]));
  // Keys that differ only in their top bits give the same cipher.
  const flipped = Uint8Array.from(key, (b) => b ^ 0x80);
  assert.deepEqual(T.desCbc(nine, flipped, true), enc);
  assert.equal(T.contentKeyText(), '47110815');
  assert.equal(toHex(T.desParityKey(key)), '34373131b03831b5');
});

test('DES-CBC matches libcrypto on random keys and buffers', { skip: !haveOpenssl && 'openssl with the legacy provider is not available' }, () => {
  for (let i = 0; i < 24; i++) {
    const key = crypto.randomBytes(8);
    const data = crypto.randomBytes(i * 13 % 200);
    const ours = T.desCbc(data, key, true);
    assert.equal(toHex(ours), toHex(opensslDesCbc(data, key, true)), `case ${i}`);
    assert.equal(toHex(T.desCbc(ours, key, false)), toHex(opensslDesCbc(ours, key, false)));
  }
});
