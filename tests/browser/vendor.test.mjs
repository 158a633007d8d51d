// The vendored QR encoder (src/web/vendor/qrcode.js) is the npm package that
// package.json pins, changed only by the ASCII escapes the build needs:
// a hand edit, a stale copy after a version bump, or a stray byte fails
// here. Needs no browser and no host.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import { VENDORED, vendoredText, asciiCopy } from './vendor-qrcode.mjs';

test('src/web/vendor/qrcode.js is the pinned qrcode-generator with non-ASCII characters escaped', () => {
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
