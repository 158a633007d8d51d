// The vendored QR encoder (src/web/vendor/qrcode.js) is the part of the npm
// package that package.json pins which the page reaches, cut out by
// vendor-qrcode.mjs: a hand edit, a stale copy after a version bump, or a
// stray byte fails here, and so does a cut that changed what the encoder
// draws. Needs no browser and no host.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import vm from 'node:vm';
import { VENDORED, vendoredText, asciiCopy, upstreamFile } from './vendor-qrcode.mjs';

test('src/web/vendor/qrcode.js is the trimmed pinned qrcode-generator with non-ASCII characters escaped', () => {
  const text = fs.readFileSync(VENDORED, 'utf8');
  assert.doesNotMatch(text, /[^\n\x20-\x7e]/, 'printable ASCII and line feeds only');
  assert.ok(text === vendoredText(), 'differs from `node tests/browser/vendor-qrcode.mjs` output');
});

test('the escapes stand for the same characters inside string literals', () => {
  const cases = ['\u2588\u2580 \u2584', 'plain', '\ud83d\ude00'];
  for (const s of cases) {
    const literal = `'${asciiCopy(s)}'`;
    assert.doesNotMatch(literal, /[^\x20-\x7e]/);
    assert.equal(JSON.parse(literal.replace(/^'|'$/g, '"')), s, JSON.stringify(s));
  }
});

// The encoder a script defines, run as the page runs it (a classic script
// whose `var qrcode` becomes a global).
function encoderOf(file) {
  const sandbox = {};
  vm.createContext(sandbox);
  vm.runInContext(fs.readFileSync(file, 'utf8'), sandbox, { filename: file });
  return sandbox.qrcode;
}

// The modules drawn for `text` the way the page asks (level M, byte mode),
// as lines of 0 and 1, or the error thrown.
function modulesOf(qrcode, text) {
  try {
    const qr = qrcode(0, 'M');
    qr.addData(text, 'Byte');
    qr.make();
    const n = qr.getModuleCount();
    const lines = [];
    for (let r = 0; r < n; r++) {
      let line = '';
      for (let c = 0; c < n; c++) line += qr.isDark(r, c) ? '1' : '0';
      lines.push(line);
    }
    return lines;
  } catch (e) {
    return { thrown: String(e) };
  }
}

test('the trimmed encoder draws the same modules as the whole package', () => {
  const whole = encoderOf(upstreamFile().file);
  const trimmed = encoderOf(VENDORED);
  // Level M in byte mode holds at most 2331 bytes (version 40); one more
  // fails in both, and the page shows the address without a code.
  const LONGEST = 2331;
  const base = 'https://login.example.com/device?user_code=WDJB-MJHT&x=';
  const cases = [
    { why: 'short', text: 'https://a.io/' },
    { why: 'typical', text: 'https://login.example.com/device?user_code=WDJB-MJHT' },
    { why: 'version 7 and up carry version bits', text: base + 'a'.repeat(200) },
    { why: 'long', text: base + 'b'.repeat(1000 - base.length) },
    { why: 'non-ASCII: each character\'s low byte', text: 'https://example.com/\u00e9t\u00e9/\u65e5\u672c' },
    { why: 'percent-encoded, as the page draws it', text: new URL('https://example.com/\u00e9t\u00e9').href },
    { why: 'the longest that fits', text: base + 'c'.repeat(LONGEST - base.length) },
    { why: 'one byte too long', text: base + 'd'.repeat(LONGEST + 1 - base.length), throws: true },
  ];
  for (const c of cases) {
    const want = modulesOf(whole, c.text);
    const got = modulesOf(trimmed, c.text);
    assert.equal(Array.isArray(want), !c.throws, `${c.why}: the whole package ${c.throws ? 'fails' : 'draws it'}`);
    assert.deepEqual(got, want, c.why);
  }
});
