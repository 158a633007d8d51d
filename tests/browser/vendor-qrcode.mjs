// The console's QR encoder is the npm package qrcode-generator, vendored as
// src/web/vendor/qrcode.js: the package's dist/qrcode.js under a header that names
// the package, its version and its licence, with every character outside
// printable ASCII written as a \uXXXX escape (the build embeds only
// printable ASCII; the package's non-ASCII characters all sit in string
// literals, where the escape means the same character).
//
//   node tests/browser/vendor-qrcode.mjs    rewrites src/web/vendor/qrcode.js from
//                                           node_modules (after npm ci)
//
// vendor.test.mjs checks that the embedded copy is still exactly this.
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const ROOT = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
export const PACKAGE_DIR = path.join(ROOT, 'node_modules/qrcode-generator');
export const VENDORED = path.join(ROOT, 'src/web/vendor/qrcode.js');

export function asciiCopy(text) {
  return text.replace(/[^\n\x20-\x7e]/g, (c) => '\\u' + c.charCodeAt(0).toString(16).padStart(4, '0'));
}

export function vendoredText() {
  const pkg = JSON.parse(fs.readFileSync(path.join(PACKAGE_DIR, 'package.json'), 'utf8'));
  const source = fs.readFileSync(path.join(PACKAGE_DIR, pkg.main), 'utf8');
  const header = [
    `/* Vendored: npm package ${pkg.name} ${pkg.version} (${pkg.main}), licence ${pkg.license}.`,
    '   Copyright (c) 2009 Kazuhiko Arase.',
    '',
    '   Permission is hereby granted, free of charge, to any person obtaining a copy',
    '   of this software and associated documentation files (the "Software"), to deal',
    '   in the Software without restriction, including without limitation the rights',
    '   to use, copy, modify, merge, publish, distribute, sublicense, and/or sell',
    '   copies of the Software, and to permit persons to whom the Software is',
    '   furnished to do so, subject to the following conditions:',
    '',
    '   The above copyright notice and this permission notice shall be included in',
    '   all copies or substantial portions of the Software.',
    '',
    '   THE SOFTWARE IS PROVIDED "AS IS", WITHOUT WARRANTY OF ANY KIND, EXPRESS OR',
    '   IMPLIED, INCLUDING BUT NOT LIMITED TO THE WARRANTIES OF MERCHANTABILITY,',
    '   FITNESS FOR A PARTICULAR PURPOSE AND NONINFRINGEMENT. IN NO EVENT SHALL THE',
    '   AUTHORS OR COPYRIGHT HOLDERS BE LIABLE FOR ANY CLAIM, DAMAGES OR OTHER',
    '   LIABILITY, WHETHER IN AN ACTION OF CONTRACT, TORT OR OTHERWISE, ARISING FROM,',
    '   OUT OF OR IN CONNECTION WITH THE SOFTWARE OR THE USE OR OTHER DEALINGS IN',
    '   THE SOFTWARE.',
    '',
    '   Changed only in this: characters outside printable ASCII are written as',
    '   \\uXXXX escapes (tests/browser/vendor-qrcode.mjs makes this file). */',
    '',
  ].join('\n');
  return header + asciiCopy(source);
}

if (process.argv[1] && path.resolve(process.argv[1]) === fileURLToPath(import.meta.url)) {
  fs.writeFileSync(VENDORED, vendoredText());
  console.log(`wrote ${path.relative(ROOT, VENDORED)}`);
}
