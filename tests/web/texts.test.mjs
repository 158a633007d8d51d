// The console's words (src/web/logic/texts.js): every error code the plugin
// and the demo tools send has a sentence, and a sentence carries the detail.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { L } from './console-driver.mjs';

const ROOT = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');

test('every error code the plugin and the demo tools send has a sentence, never the bare code', () => {
  // The plugin's codes: the rows X(ERR_NAME, "code") of its one list.
  const list = fs.readFileSync(path.join(ROOT, 'src/cgi/error_codes.h'), 'utf8');
  const codes = new Set();
  for (const m of list.matchAll(/^\s*X\(ERR_\w+, "([^"]+)"\)/gm)) codes.add(m[1]);
  for (const f of fs.readdirSync(path.join(ROOT, 'demo/tools'))) {
    const text = fs.readFileSync(path.join(ROOT, 'demo/tools', f), 'utf8');
    for (const m of text.matchAll(/"error":"([a-z_]+)"/g)) codes.add(m[1]);
  }
  assert.ok(codes.has('cli_unavailable') && codes.has('invalid node password') && codes.has('access_denied'),
    `the scan found the codes: ${[...codes].join(', ')}`);
  for (const code of codes) {
    assert.ok(Object.prototype.hasOwnProperty.call(L.SENTENCES, code), `no sentence for ${code}`);
    const s = L.errorSentence(code, '');
    assert.ok(!s.includes(code) || code === 'exists', `${code}: the sentence is not the code: ${s}`);
  }
});

test('error sentences: the detail after the sentence, a plain fallback, nothing bare', () => {
  const cases = [
    { code: 'network_error', detail: 'could not reach auth.example', want: 'the login tool could not reach the login service (could not reach auth.example)' },
    { code: 'start_failed', detail: 'login CLI timed out', want: 'the login tool could not start a login (login CLI timed out)' },
    { code: 'not_logged_in', detail: '', want: 'there is no session to refresh, because this node is not signed in' },
    { code: 'access_denied', detail: undefined, want: 'the login was denied on the approval page' },
    // the detail only repeats the sentence
    { code: 'cli_unavailable', detail: 'vantorel-lumivane-login is not on this node', want: 'the login tool vantorel-lumivane-login is not installed on this node' },
    { code: 'made_up_code', detail: 'x', want: 'the node answered with an error this page does not know (made_up_code) (x)' },
    { code: undefined, detail: undefined, want: 'the node gave no reason' },
    { code: 42, detail: {}, want: 'the node gave no reason' },           // not texts: ignored
    { code: 'toString', detail: '', want: 'the node answered with an error this page does not know (toString)' },
  ];
  for (const c of cases) assert.equal(L.errorSentence(c.code, c.detail), c.want, String(c.code));
});
