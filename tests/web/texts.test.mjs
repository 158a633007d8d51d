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
    // one pair of parentheses, each reason once
    { code: 'made_up_code', detail: 'x', want: 'the node answered with an error this page does not know (made_up_code: x)' },
    { code: 'quota_exceeded_zz', detail: 'too many device codes today', want: 'the node answered with an error this page does not know (quota_exceeded_zz: too many device codes today)' },
    { code: undefined, detail: undefined, want: 'the node gave no reason' },
    { code: 42, detail: {}, want: 'the node gave no reason' },           // not texts: ignored
    { code: 'toString', detail: '', want: 'the node answered with an error this page does not know (toString)' },
  ];
  for (const c of cases) assert.equal(L.errorSentence(c.code, c.detail), c.want, String(c.code));
});

test('a failed cancel or refresh: the tool\'s own error code and detail beside the plugin\'s code', () => {
  const cases = [
    { why: 'the tool\'s code and its detail', code: 'cancel_failed', detail: 'another login holds the profile', tool: 'profile_locked', want: 'the login tool did not cancel the login (profile_locked: another login holds the profile)' },
    { why: 'the tool gave a code alone: the plugin\'s fixed detail says less', code: 'cancel_failed', detail: 'login CLI rejected the cancel', tool: 'busy', want: 'the login tool did not cancel the login (busy)' },
    { why: 'a detail alone', code: 'cancel_failed', detail: 'no login to cancel', tool: undefined, want: 'the login tool did not cancel the login (no login to cancel)' },
    { why: 'no tool code: the plugin\'s detail stays', code: 'refresh_failed', detail: 'token CLI returned no token', tool: undefined, want: 'the token tool did not confirm a live token (token CLI returned no token)' },
    { why: 'a tool code with a sentence reads in words', code: 'refresh_failed', detail: 'retry after 60 s', tool: 'rate_limited', want: 'the token tool did not confirm a live token: the login service is refusing requests for a while; try again later (retry after 60 s)' },
    { why: 'the tool\'s code the same as the plugin\'s: once', code: 'cancel_failed', detail: 'x', tool: 'cancel_failed', want: 'the login tool did not cancel the login (x)' },
  ];
  for (const c of cases) assert.equal(L.errorSentence(c.code, c.detail, c.tool), c.want, c.why);

  // A revoked refresh token reads as such, in the tool's words, and says to sign in again.
  const doc = (d) => L.classify(200, JSON.stringify({ ok: false, error: 'refresh_failed', ...d }));
  const revoked = [
    { why: 'invalid_grant with the provider\'s detail', r: doc({ tool_error: 'invalid_grant', detail: 'refresh token revoked by the provider' }), want: 'refresh token revoked by the provider' },
    { why: 'a code that says revoked, the plugin\'s fixed detail', r: doc({ tool_error: 'revoked', detail: 'token CLI returned no token' }), want: 'revoked' },
    { why: 'a detail that says revoked', r: doc({ tool_error: 'expired', detail: 'Refresh token was REVOKED' }), want: 'Refresh token was REVOKED' },
    { why: 'another refusal', r: doc({ tool_error: 'network_error', detail: 'timeout' }), want: null },
    { why: 'no answer', r: L.classify(0, ''), want: null },
  ];
  for (const c of revoked) assert.equal(L.revokedReason(c.r), c.want, c.why);
  assert.equal(L.TEXTS.refreshRevoked('revoked'),
    'Refresh failed: the login service no longer accepts this node\'s refresh token (revoked). Sign in again with Re-login.');
});
