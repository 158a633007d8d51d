// The console's QR encoder comes from the npm package qrcode-generator that
// package.json pins, vendored as src/web/vendor/qrcode.js: only the part
// the page reaches (byte mode, error-correction level M, the module
// matrix), cut out of the package's dist/qrcode.js by the steps below,
// under a header that names the package, its version and its licence (a
// "/*!" comment, which the build keeps in the page), then a note of the
// package's own notice and of what was kept. Every step finds its anchor exactly once, so a new
// upstream version that moved things fails here instead of producing a
// quietly different encoder.
//
//   node tests/browser/vendor-qrcode.mjs    rewrites src/web/vendor/qrcode.js from
//                                           node_modules (after npm ci)
//
// vendor.test.mjs checks that the embedded copy is still exactly this, and
// that it draws the same modules as the whole package for a table of
// addresses.
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const ROOT = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
export const PACKAGE_DIR = path.join(ROOT, 'node_modules/qrcode-generator');
export const VENDORED = path.join(ROOT, 'src/web/vendor/qrcode.js');

export function upstreamFile() {
  const pkg = JSON.parse(fs.readFileSync(path.join(PACKAGE_DIR, 'package.json'), 'utf8'));
  return { pkg, file: path.join(PACKAGE_DIR, pkg.main) };
}

export function asciiCopy(text) {
  return text.replace(/[^\n\x20-\x7e]/g, (c) => '\\u' + c.charCodeAt(0).toString(16).padStart(4, '0'));
}

// The one index of `what` in `text`; throws when it is missing or repeated.
function onlyIndex(text, what, from = 0) {
  const at = text.indexOf(what, from);
  if (at < 0) throw new Error(`qrcode-generator: anchor not found: ${JSON.stringify(what)}`);
  if (text.indexOf(what, at + 1) >= 0 && from === 0) {
    throw new Error(`qrcode-generator: anchor found more than once: ${JSON.stringify(what)}`);
  }
  return at;
}

// Replaces the text from `begin` up to (not including) `end`, which follows it.
function cut(text, begin, end, insert = '') {
  const a = onlyIndex(text, begin);
  const b = text.indexOf(end, a + begin.length);
  if (b < 0) throw new Error(`qrcode-generator: end anchor not found: ${JSON.stringify(end)}`);
  return text.slice(0, a) + insert + text.slice(b);
}

function replaceOnce(text, what, insert) {
  const a = onlyIndex(text, what);
  return text.slice(0, a) + insert + text.slice(a + what.length);
}

// A section of the package starts with a banner: a dashed comment line,
// the section's name, a dashed line.
const BANNER = '  //---------------------------------------------------------------------\n';
function section(name) {
  return `${BANNER}  // ${name}\n${BANNER}`;
}

// The code without indentation and without the blanks next to
// punctuation (= ( ) { } [ ] , ; : < > * & | ? ! %; not + or -) outside string
// literals: none of these needs a blank to end the token before it, and
// the check below catches two operators melting into one (the package has no regular expression literal,
// and no "<!--" or "-->" comes of it, which a script would read as a
// comment).
export function tight(code) {
  const literal = /('(?:[^'\\\n]|\\.)*'|"(?:[^"\\\n]|\\.)*")/;
  const parts = code.split(literal);
  const out = parts.map((part, i) => (i % 2 ? part
    : part.replace(/^[ ]+/gm, '').replace(/[ ]*([=(){}[\],;:<>*&|?!%])[ ]*/g, '$1'))).join('');
  // Two operators must not melt into one ("a - -b", "a + ++b").
  const count = (text, re) => (text.match(re) || []).length;
  const codeOnly = (text) => text.split(literal).filter((p, i) => i % 2 === 0).join('');
  for (const re of [/\+\+/g, /--/g, /\/\//g, /\/\*/g, /<!--|-->/g]) {
    if (count(codeOnly(out), re) !== count(codeOnly(code), re)) throw new Error(`qrcode-generator: tightening made ${re}`);
  }
  return out;
}

// The names the page calls (the qrcode function and its addData, make,
// getModuleCount and isDark) and those of the language and its built-in
// objects stay; every other name the package declares (a var, a function
// parameter, a property it sets on its own objects) gets a short one,
// the same at every use outside string literals.
const KEPT_NAMES = new Set([
  'qrcode', 'addData', 'make', 'getModuleCount', 'isDark',
  'length', 'push', 'floor', 'abs', 'charCodeAt', 'Array', 'Math', 'String',
]);
export function shortNames(code) {
  const literal = /('(?:[^'\\\n]|\\.)*'|"(?:[^"\\\n]|\\.)*")/;
  const parts = code.split(literal);
  const codeOnly = parts.filter((p, i) => i % 2 === 0).join('\n');
  if (/[$]/.test(codeOnly)) throw new Error('qrcode-generator: the code uses "$", which the short names are made of');
  const declared = new Set();
  for (const m of codeOnly.matchAll(/\bvar ([A-Za-z_]\w*)/g)) declared.add(m[1]);
  for (const m of codeOnly.matchAll(/\bfunction\(([^)]*)\)/g)) {
    for (const p of m[1].split(',')) if (p) declared.add(p);
  }
  for (const m of codeOnly.matchAll(/\b_this\.([A-Za-z_]\w*)=/g)) declared.add(m[1]);
  for (const m of codeOnly.matchAll(/[{,\n]([A-Za-z_]\w*):/g)) declared.add(m[1]);
  // Longer names first, by how much their uses weigh, for the shortest new ones.
  const uses = (name) => (codeOnly.match(new RegExp(`(?<![\\w$])${name}(?![\\w$])`, 'g')) || []).length;
  const names = [...declared].filter((n) => n.length > 3 && !KEPT_NAMES.has(n))
    .map((n) => ({ n, weight: (n.length - 2) * uses(n) })).sort((a, b) => b.weight - a.weight || (a.n < b.n ? -1 : 1));
  const DIGITS = 'abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789';
  const short = new Map(names.map(({ n }, i) => [n, '$' + (i < DIGITS.length ? DIGITS[i]
    : DIGITS[Math.floor(i / DIGITS.length) - 1] + DIGITS[i % DIGITS.length])]));
  const word = /(?<![\w$])[A-Za-z_][\w]*(?![\w$])/g;
  return parts.map((p, i) => (i % 2 ? p : p.replace(word, (w) => short.get(w) || w))).join('');
}

// The package's code with only what the page reaches.
export function trimmed(source) {
  let s = source;
  // The package's own header (its licence notice) moves into ours.
  const start = onlyIndex(s, 'var qrcode = function() {');
  const upstreamHeader = s.slice(0, start).trimEnd();
  s = s.slice(start);
  // Renderers (table, SVG, data URL, img tag, ASCII, 2D context).
  s = cut(s, '    _this.createTableTag = function(', '    return _this;\n  };\n\n' + section('qrcode.stringToBytes'));
  // Byte mode only.
  s = cut(s, '      switch(mode) {\n      case \'Numeric\' :', '      _dataList.push(newData);',
    '      if (mode != \'Byte\') {\n        throw \'mode:\' + mode;\n      }\n      newData = qr8BitByte(data);\n\n');
  // Conversion tables for other character sets, the other modes.
  s = cut(s, section('qrcode.createStringToBytes'), section('QRMode'));
  s = cut(s, section('qrNumber'), section('qr8BitByte'));
  s = cut(s, section('qrKanji'), '  //---------------------------------------------------------------------\n  // returns qrcode function.');
  // The UTF-8 add-on and the module loader wrapper.
  const end = '  return qrcode;\n}();\n';
  s = s.slice(0, onlyIndex(s, end) + end.length);
  // The block table for level M only: the package lists L, M, Q, H for
  // each version in turn.
  const tableAt = onlyIndex(s, '    var RS_BLOCK_TABLE = [\n');
  const tableEnd = s.indexOf('    ];\n', tableAt);
  const rows = s.slice(tableAt, tableEnd).match(/\[[0-9, ]+\]/g);
  if (!rows || rows.length !== 160) throw new Error(`qrcode-generator: ${rows && rows.length} block table rows, not 160`);
  const levelM = rows.filter((row, i) => i % 4 === 1);
  s = s.slice(0, tableAt) + '    var RS_BLOCK_TABLE = [\n' + levelM.map((r) => `      ${r},\n`).join('') + s.slice(tableEnd);
  s = cut(s, '    var getRsBlockTable = function(typeNumber, errorCorrectionLevel) {\n', '\n    };\n',
    '    var getRsBlockTable = function(typeNumber, errorCorrectionLevel) {\n' +
    '      return errorCorrectionLevel == QRErrorCorrectionLevel.M ? RS_BLOCK_TABLE[typeNumber - 1] : undefined;');
  // The length field's width and the mode names for byte mode only, the
  // one mode addData still takes: 8 bits for versions 1 to 9, 16 up to 40,
  // the package's errors otherwise.
  s = cut(s, '    _this.getLengthInBits = function(mode, type) {\n', '\n    };\n',
    '    _this.getLengthInBits = function(mode, type) {\n' +
    '      if (mode != QRMode.MODE_8BIT_BYTE) throw \'mode:\' + mode;\n' +
    '      if (type > 40) throw \'type:\' + type;\n' +
    '      return 1 <= type && type < 10 ? 8 : 16;');
  s = cut(s, '  var QRMode = {\n', '  };\n', '  var QRMode = {\n    MODE_8BIT_BYTE : 1 << 2\n');
  // Comments: whole-line and block comments.
  s = s.replace(/\/\*\*[\s\S]*?\*\/\n?/g, '');
  s = s.replace(/^[ \t]*\/\/.*\n/gm, '');
  s = s.replace(/[ \t]+\/\/ [^'\n]*$/gm, '');
  s = s.replace(/\n{2,}/g, '\n');
  if (/\/\/|\/\*/.test(s.replace(/'[^'\n]*'/g, "''"))) throw new Error('qrcode-generator: a comment is left in the trimmed code');
  return { upstreamHeader, code: shortNames(tight(s)) };
}

export function vendoredText() {
  const { pkg, file } = upstreamFile();
  const { upstreamHeader, code } = trimmed(fs.readFileSync(file, 'utf8'));
  const header = [
    `/*! Vendored: npm package ${pkg.name} ${pkg.version} (${pkg.main}), licence ${pkg.license}.`,
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
    '   THE SOFTWARE. */',
    '/* The package\'s own notice:',
    ...upstreamHeader.split('\n').map((line) => ('   ' + line).trimEnd()),
    '',
    '   Kept: qrcode(typeNumber, errorCorrectionLevel) with addData(text, \'Byte\'),',
    '   make(), getModuleCount() and isDark(row, col); level M only, byte mode only',
    '   (each character\'s low 8 bits, as the package does by default). Left out:',
    '   the table, SVG, image, ASCII and canvas renderers, the numeric,',
    '   alphanumeric and Kanji modes, the GIF and base64 encoders, the character',
    '   set conversions and the UTF-8 add-on, the module loader wrapper, the',
    '   comments and the blanks next to punctuation; the package\'s internal',
    '   names are shortened (to $ and a letter or two); characters outside',
    '   printable ASCII are written as \\uXXXX',
    '   escapes. tests/browser/vendor-qrcode.mjs makes this file. */',
    '',
  ].join('\n');
  return header + asciiCopy(code);
}

if (process.argv[1] && path.resolve(process.argv[1]) === fileURLToPath(import.meta.url)) {
  fs.writeFileSync(VENDORED, vendoredText());
  console.log(`wrote ${path.relative(ROOT, VENDORED)}`);
}
