// The console's decisions without a browser: the logic scripts (src/web/logic/), the
// very files the page embeds, loaded as the page loads them. Tables for the
// pure parts (error sentences, answers, pace, expiry, stored flows,
// addresses, the replaced-login test) and for the transition function,
// whose rows start from a model reached by real events and check the next
// phase, what the view says and which effects come out.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { loadLogic } from './load-logic.mjs';

const L = loadLogic();
const ROOT = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
// Objects made in the module's own context have that context's
// prototypes; they are compared as plain values.
const plain = (v) => JSON.parse(JSON.stringify(v));
const NOW = 1_700_000_000_000;          // page clock, ms
const NODE_NOW = 1_700_000_000;         // node clock, s
const ELLIPSIS = '\u2026';

test('every error code the plugin and the demo tools send has a sentence, never the bare code', () => {
  const sources = [];
  for (const dir of ['src/actions', 'src/app', 'src/cgi']) {
    for (const f of fs.readdirSync(path.join(ROOT, dir))) sources.push(fs.readFileSync(path.join(ROOT, dir, f), 'utf8'));
  }
  const codes = new Set();
  for (const text of sources) {
    for (const m of text.matchAll(/emit_error\(\s*\d+,\s*"[^"]*",\s*"([^"]+)"/g)) codes.add(m[1]);
    for (const m of text.matchAll(/\\"error\\":\\"([a-z_ ]+)\\"/g)) codes.add(m[1]);
  }
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

test('an answer is the plugin\'s document, or no answer from the plugin; parser messages never show', () => {
  const cases = [
    { why: 'status document', http: 200, text: '{"ok":true,"logged_in":false}', want: 'doc' },
    { why: 'error document under 502', http: 502, text: '{"ok":false,"error":"start_failed"}', want: 'doc' },
    { why: '401 refusal', http: 401, text: '{"ok":false,"error":"invalid node password"}', want: 'doc' },
    { why: 'host error page', http: 502, text: '<html><body>Bad Gateway</body></html>', want: 'unreachable', sentence: 'can\'t reach the node (HTTP 502)' },
    { why: 'empty body', http: 200, text: '', want: 'unreachable', sentence: 'can\'t reach the node (HTTP 200)' },
    { why: 'no answer at all', http: 0, text: '', want: 'unreachable', sentence: 'can\'t reach the node' },
    { why: 'JSON but not an object', http: 200, text: '[{"ok":true}]', want: 'unreachable' },
    { why: 'JSON null', http: 200, text: 'null', want: 'unreachable' },
    { why: 'ok is not a boolean', http: 200, text: '{"ok":"yes"}', want: 'unreachable' },
  ];
  for (const c of cases) {
    const r = L.classify(c.http, c.text);
    assert.equal(r.kind, c.want, c.why);
    if (c.sentence) assert.equal(L.failureSentence(r), c.sentence, c.why);
    assert.doesNotMatch(L.failureSentence(r), /JSON|token|Unexpected/, c.why);
  }
});

test('poll answers: the state decides before logged_in', () => {
  const doc = (d) => L.classify(200, JSON.stringify({ ok: true, ...d }));
  const cases = [
    { why: 'pending', r: doc({ state: 'pending', interval: 7 }), want: { kind: 'pending', still: false, interval: 7 } },
    { why: 'done', r: doc({ state: 'done', logged_in: true }), want: { kind: 'done' } },
    { why: 'authorization_pending is still pending', r: doc({ state: 'failed', error: 'authorization_pending' }), want: { kind: 'pending', still: true, interval: 0 } },
    { why: 'slow_down', r: doc({ state: 'failed', error: 'slow_down' }), want: { kind: 'slow-down' } },
    { why: 'no pending login', r: doc({ state: 'failed', error: 'no_pending_login', logged_in: false }), want: { kind: 'gone', signedIn: false } },
    // The login was approved and collected by another window's poll.
    { why: 'no pending login, the node signed in', r: doc({ state: 'failed', error: 'no_pending_login', logged_in: true }), want: { kind: 'gone', signedIn: true } },
    // A re-login that fails reports the credentials that were there before.
    { why: 'failed re-login is no sign-in', r: doc({ state: 'failed', error: 'access_denied', logged_in: true }), want: { kind: 'failed', sentence: 'the login was denied on the approval page' } },
    { why: 'plugin error', r: L.classify(502, '{"ok":false,"error":"poll_failed","detail":"login CLI produced no JSON"}'), want: { kind: 'trouble', sentence: 'the login tool could not be asked about the login (login CLI produced no JSON)' } },
    { why: 'host error', r: L.classify(504, 'Gateway Timeout'), want: { kind: 'trouble', sentence: 'can\'t reach the node (HTTP 504)' } },
  ];
  for (const c of cases) assert.deepEqual(plain(L.pollOutcome(c.r)), c.want, c.why);
});

test('the pace stays between 5 and 60 s whatever the tool says', () => {
  const intervals = [
    [undefined, 5], [0, 5], [-3, 5], ['x', 5], [null, 5], [1, 5], [5, 5], [7, 7], [12.5, 12.5], [60, 60],
    [61, 60], [2147484, 60], [Infinity, 60], ['9', 9],
  ];
  for (const [v, want] of intervals) assert.equal(L.saneInterval(v), want, String(v));
  const delays = [
    [{ interval: 5, extraSec: 0 }, 5000],
    [{ interval: 12, extraSec: 5 }, 17000],
    [{ interval: 60, extraSec: 5 }, 60000],
    [{ interval: 5, extraSec: 100 }, 60000],
  ];
  for (const [flow, want] of delays) assert.equal(L.pollDelayMs(flow), want, JSON.stringify(flow));
  const retries = [[1, 2000], [2, 4000], [3, 8000], [4, 16000], [5, 32000], [6, 60000], [50, 60000]];
  for (const [n, want] of retries) assert.equal(L.retryDelayMs(n), want, `retry ${n}`);
});

test('a code\'s lifetime is shown only between 1 s and 24 h', () => {
  const cases = [
    [900, NOW + 900_000], [1, NOW + 1000], [86400, NOW + 86_400_000],
    [86401, 0], [0, 0], [0.5, 0], [-5, 0], [9223372036854775807, 0], ['900', 0], [undefined, 0], [NaN, 0],
  ];
  for (const [v, want] of cases) assert.equal(L.expiryFrom(v, NOW), want, String(v));
});

test('times in words: the Token row, time left, time since', () => {
  const expiry = [
    [45, '45s'], [60, '1 min'], [3599, '59 min'], [3600, '1 h 0 min'], [7200, '2 h 0 min'],
    [48 * 3600 - 1, '47 h 59 min'], [172800, '2 days'], [0, 'unknown'], [undefined, 'unknown'], [-600, 'unknown'],
  ];
  for (const [v, want] of expiry) assert.equal(L.fmtExpiry(v), want, String(v));
  const left = [[0, '0:00'], [9, '0:09'], [60, '1:00'], [899, '14:59']];
  for (const [v, want] of left) assert.equal(L.fmtLeft(v), want, String(v));
  const ago = [[30, '30 s'], [600, '10 min'], [7300, '2 h'], [47 * 3600, '47 h'], [3 * 86400, '3 days']];
  for (const [v, want] of ago) assert.equal(L.fmtAgo(v), want, String(v));
  assert.equal(L.expiredNote(-7300), 'Expired 2 h ago. Try Refresh Token Now; if that fails, re-login.');
  assert.equal(L.expiredNote(0), 'Expired. Try Refresh Token Now; if that fails, re-login.');
});

test('a stored flow is read back with its numbers checked', () => {
  const good = { code: 'ABCD-1234', url: 'http://x/a', expires_at: NOW + 60_000, interval: 7, created: NODE_NOW };
  const cases = [
    { why: 'usable', value: good, want: { code: 'ABCD-1234', url: 'http://x/a', expiresAt: NOW + 60_000, expired: false, interval: 7, created: NODE_NOW } },
    { why: 'expired', value: { ...good, expires_at: NOW - 1 }, want: { expiresAt: 0, expired: true } },
    { why: 'expiry past any lifetime: no countdown', value: { ...good, expires_at: 1.6666666666666668e+295 }, want: { expiresAt: 0, expired: false } },
    { why: 'no expiry', value: { ...good, expires_at: 0 }, want: { expiresAt: 0, expired: false } },
    { why: 'pace out of range', value: { ...good, interval: 2147484 }, want: { interval: 60 } },
    { why: 'start time not a number', value: { ...good, created: 'yesterday' }, want: { created: 0 } },
    { why: 'no code', value: { ...good, code: '' }, want: null },
    { why: 'address not a text', value: { ...good, url: 5 }, want: null },
    { why: 'unreadable', text: '{not json', want: null },
    { why: 'nothing stored', text: null, want: null },
  ];
  for (const c of cases) {
    const text = 'text' in c ? c.text : JSON.stringify(c.value);
    const got = L.readStoredFlow(text, NOW);
    if (c.want === null) {
      assert.equal(got, null, c.why);
      continue;
    }
    for (const [k, v] of Object.entries(c.want)) assert.equal(got[k], v, `${c.why}: ${k}`);
  }
  const flow = { code: 'A', url: 'u', expiresAt: NOW + 5000, interval: 5, created: NODE_NOW };
  assert.equal(L.readStoredFlow(L.storedFlowText(flow), NOW).created, NODE_NOW, 'round trip');
});

test('addresses: the action URL, the password only where the host needs it, what may be opened', () => {
  const urls = [
    { where: {}, action: 'status', extra: '', withPwd: false, want: '/plugin_lumivane_login?action=status' },
    { where: { hub: 'x', node: 'n' }, action: 'status', extra: '', withPwd: false, want: '/plugins?plugin=x&action=status&node=n' },
    { where: { node: 'n 1', sid: '7', pwd: 'p&q' }, action: 'start', extra: 'force=1', withPwd: false, want: '/plugin_lumivane_login?action=start&force=1&node=n%201&id=7' },
    { where: { pwd: 'p&q' }, action: 'poll', extra: '', withPwd: true, want: '/plugin_lumivane_login?action=poll&pwd=p%26q' },
    { where: { pwd: '' }, action: 'poll', extra: '', withPwd: true, want: '/plugin_lumivane_login?action=poll' },
  ];
  for (const c of urls) assert.equal(L.actionUrl(c.where, c.action, c.extra, c.withPwd), c.want, c.want);

  const retry = [
    [401, 'pw', false, true], [401, 'pw', true, false], [401, '', false, false], [200, 'pw', false, false], [403, 'pw', false, false],
  ];
  for (const [http, pwd, withPwd, want] of retry) assert.equal(L.retryWithPwd(http, pwd, withPwd), want, `${http} ${pwd} ${withPwd}`);

  const store = { bot_pwd_n1: 'node-one', bot_active_pwd: 'active' };
  const get = (k) => store[k] || '';
  const pwds = [['q', 'n1', 'q'], ['', 'n1', 'node-one'], ['', 'n2', 'active'], ['', '', 'active']];
  for (const [q, n, want] of pwds) assert.equal(L.pagePassword(q, n, get), want, `${q}/${n}`);
  assert.equal(L.pagePassword('', 'n', () => ''), '');

  const open = [
    ['https://login.example/device', 'https://login.example/device'],
    ['http://127.0.0.1:8080/demo/approve?code=A', 'http://127.0.0.1:8080/demo/approve?code=A'],
    ['javascript:alert(1)', ''], ['JavaScript:alert(1)', ''], ['data:text/html,x', ''], ['/relative', ''], ['ftp://x/y', ''], ['', ''],
  ];
  for (const [text, want] of open) assert.equal(L.openableUrl(text), want, text);
});

test('a login started on the node after this page\'s flow replaced it; readings within the slack are the same login', () => {
  const status = (age, now = NODE_NOW) => ({ ok: true, pending: true, pending_age_sec: age, now });
  const flow = { code: 'ABCD-1234', created: NODE_NOW - 100 };
  const cases = [
    { why: 'same login', flow, doc: status(100), want: false },
    { why: 'same login, the status took a while', flow, doc: status(100 - L.SAME_LOGIN_SLACK_SEC), want: false },
    { why: 'newer login', flow, doc: status(20), want: true },
    { why: 'older reading', flow, doc: status(300), want: false },
    { why: 'age unknown', flow, doc: { ok: true, pending: true, now: NODE_NOW }, want: false },
    { why: 'nothing pending', flow, doc: { ok: true, pending: false, pending_age_sec: 1, now: NODE_NOW }, want: false },
    { why: 'own start time unknown', flow: { code: 'A', created: 0 }, doc: status(1), want: false },
    { why: 'code unknown here', flow: { code: '', created: NODE_NOW - 100 }, doc: status(1), want: false },
  ];
  for (const c of cases) assert.equal(L.isReplaced(c.flow, c.doc), c.want, c.why);
  assert.equal(L.nodeCreated(status(40)), NODE_NOW - 40);
  assert.equal(L.nodeCreated(status(-1)), 0);
});

// ---- Transitions ----

function statusDoc(fields = {}) {
  return {
    ok: true, provider: 'lumivane', logged_in: false, username: '', account: '', expires_in_sec: 0, expired: false,
    has_refresh: false, pending: false, profile: 'grandlumivane', profile_exists: false, cli_present: true,
    token_cli_present: true, path: '/data/auth.json', now: NODE_NOW, ...fields,
  };
}
const pendingDoc = (age, fields = {}) => statusDoc({ pending: true, pending_age_sec: age, ...fields });
const signedInDoc = (fields = {}) => statusDoc({ logged_in: true, account: 'org-x', username: 'org-x', expires_in_sec: 3600, has_refresh: true, ...fields });
const asResult = (doc, http = 200) => L.classify(http, JSON.stringify(doc));
const startDoc = (fields = {}) => ({ ok: true, flow: 'device_code', verify_url: 'http://127.0.0.1/demo/approve?code=ABCD-1234', user_code: 'ABCD-1234', expires_in: 900, interval: 5, pending: true, ...fields });

// A console driven by events; `now` moves only when a step says so.
class Console {
  constructor(canCopy = true) {
    const b = L.boot(NOW, canCopy);
    this.model = b.model;
    this.now = NOW;
    this.effects = b.effects;
    this.stored = null;
  }
  step(ev) {
    const out = L.transition(this.model, { now: this.now, ...ev });
    this.model = out.model;
    this.effects = out.effects;
    for (const e of out.effects) {
      if (e.type === 'store') this.stored = e.text;
      if (e.type === 'forget') this.stored = null;
    }
    return this;
  }
  gen() { return this.model.gen; }
  answer(tag, result, gen = this.model.gen) { return this.step({ type: 'answer', tag, gen, result, stored: this.stored }); }
  status(doc) { return this.answer('status', asResult(doc)); }
  press(what) { return this.step({ type: 'press', what }); }
  timer(name) { return this.step({ type: 'timer', name }); }
  after(ms) { this.now += ms; return this; }
  get view() { return plain(L.view(this.model)); }
  // The effects as short words: "call:start", "timer:poll:5000", "forget"...
  get fx() {
    return plain(this.effects).map((e) => {
      if (e.type === 'call') return `call:${e.tag === e.action ? e.action : e.action + '/' + e.tag}`;
      if (e.type === 'timer') return `timer:${e.name}:${e.ms}`;
      if (e.type === 'stop') return `stop:${e.name}`;
      if (e.type === 'focus') return `focus:${e.id}`;
      if (e.type === 'scroll') return `scroll:${e.id}`;
      return e.type;
    });
  }
}

function signedOut() { return new Console().status(statusDoc()); }
function following(fields = {}) {
  const c = signedOut().press('start').answer('start', asResult(startDoc(fields)));
  return c.status(pendingDoc(0));
}

// What a step shows, for the rows below to check a part of.
function shows(c) {
  const v = c.view;
  return {
    phase: c.model.phase, pill: v.pill.text, status: v.rows.vStatus, token: v.rows.vToken,
    sessionNote: v.sessionNote.text, flowNote: v.flowNote.text, step: v.step, code: v.flow ? v.flow.code : null,
    expiry: v.flow ? v.flow.expiry : null, pollLabel: v.pollLabel, title: v.title,
    start: v.buttons.start.disabled ? 'off' : (v.buttons.start.primary ? 'primary' : 'on'),
    refresh: v.buttons.refresh.disabled ? 'off' : (v.buttons.refresh.primary ? 'primary' : 'on'),
    cancel: v.buttons.cancel.disabled ? 'off' : 'on', fx: c.fx,
  };
}

function check(rows) {
  for (const row of rows) {
    const c = row.run();
    const got = shows(c);
    for (const [key, want] of Object.entries(row.want)) {
      if (key === 'fx') {
        for (const e of want) assert.ok(got.fx.includes(e), `${row.why}: effect ${e} in ${got.fx.join(', ')}`);
      } else if (key === 'noFx') {
        for (const e of want) assert.ok(!got.fx.some((f) => f.startsWith(e)), `${row.why}: no ${e} in ${got.fx.join(', ')}`);
      } else {
        assert.deepEqual(got[key], want, `${row.why}: ${key}`);
      }
    }
  }
}

test('transitions: loading, the resting states and a node that does not answer', () => {
  check([
    { why: 'boot', run: () => new Console(), want: { phase: 'loading', pill: 'Checking', status: 'Checking', start: 'off', refresh: 'off', step: 'loading', fx: ['call:status'] } },
    { why: 'signed out', run: () => signedOut(), want: { phase: 'idle', pill: 'Not Connected', start: 'primary', refresh: 'on', sessionNote: 'No session on this node yet. Start a device login below.', step: 'idle' } },
    {
      why: 'signed in: Start off, Refresh primary, the account said, no focus moved on a load',
      run: () => new Console().status(signedInDoc()),
      want: { phase: 'signed-in', pill: 'Connected', start: 'off', refresh: 'primary', sessionNote: 'Signed in as org-x.', noFx: ['focus'] },
    },
    {
      why: 'expired token',
      run: () => new Console().status(signedInDoc({ expired: true, expires_in_sec: -7300 })),
      want: { pill: 'Expired', token: 'expired 2 h ago', sessionNote: 'Expired 2 h ago. Try Refresh Token Now; if that fails, re-login.', refresh: 'primary' },
    },
    {
      why: 'login tool missing',
      run: () => new Console().status(statusDoc({ cli_present: false })),
      want: { start: 'off', sessionNote: 'The login tool vantorel-lumivane-login is not installed on this node, so no login can start. Install it, or set LUMIVANE_LOGIN_BIN to its path in the host\'s configuration.' },
    },
    {
      why: 'host error page: unknown, not signed out; retried after 2 s',
      run: () => new Console().answer('status', L.classify(502, '<html>')),
      want: { phase: 'unreachable', pill: 'Unknown', status: 'Unknown', start: 'off', refresh: 'off', sessionNote: `Can't reach the node (HTTP 502). Retrying${ELLIPSIS}`, fx: ['timer:retry:2000'] },
    },
    {
      why: 'no answer twice: the delay grows',
      run: () => new Console().answer('status', L.classify(0, '')).timer('retry').answer('status', L.classify(0, '')),
      want: { sessionNote: `Can't reach the node. Retrying${ELLIPSIS}`, fx: ['timer:retry:4000'] },
    },
    { why: 'the retry asks again', run: () => new Console().answer('status', L.classify(0, '')).timer('retry'), want: { fx: ['call:status'] } },
    {
      why: 'back after a retry',
      run: () => new Console().answer('status', L.classify(0, '')).timer('retry').status(statusDoc()),
      want: { phase: 'idle', pill: 'Not Connected', sessionNote: 'No session on this node yet. Start a device login below.' },
    },
    {
      why: 'refused password',
      run: () => new Console().answer('status', L.classify(401, '{"ok":false,"error":"invalid node password"}')),
      want: { phase: 'unreachable', pill: 'Unknown', sessionNote: 'Error: the node refused this page\'s password; open the console again from the node\'s own page.' },
    },
    { why: 'tab shown again at rest: status at once', run: () => signedOut().step({ type: 'visible' }), want: { fx: ['call:status'] } },
  ]);
});

test('transitions: starting and following a login', () => {
  check([
    { why: 'Start', run: () => signedOut().press('start'), want: { phase: 'starting', step: 'starting', start: 'off', sessionNote: '', fx: ['call:start', 'focus:flowTitle'] } },
    {
      why: 'code shown: stored, scrolled to, focus on Copy & Open, title shows it',
      run: () => signedOut().press('start').answer('start', asResult(startDoc())),
      want: {
        phase: 'following', pill: 'Signing in', status: 'Device flow in progress', code: 'ABCD-1234', expiry: 'Code expires in 15:00',
        title: 'ABCD-1234 \u00b7 lumivane', start: 'off', fx: ['timer:poll:5000', 'timer:tick:1000', 'store', 'scroll:flowCard', 'focus:btnCopyOpen', 'call:status'],
      },
    },
    {
      why: 'a start failure in words, with the detail',
      run: () => signedOut().press('start').answer('start', asResult({ ok: false, error: 'network_error', detail: 'could not reach auth.example' })),
      want: { phase: 'idle', sessionNote: 'Start failed: the login tool could not reach the login service (could not reach auth.example).', start: 'primary' },
    },
    {
      why: 'a start past the tool\'s time limit',
      run: () => signedOut().press('start').answer('start', asResult({ ok: false, error: 'start_failed', detail: 'login CLI timed out' }, 504)),
      want: { sessionNote: 'Start failed: the login tool could not start a login (login CLI timed out).' },
    },
    {
      why: 'a start the host did not pass on',
      run: () => signedOut().press('start').answer('start', L.classify(502, '<html>')),
      want: { phase: 'unreachable', pill: 'Unknown', sessionNote: 'Start failed: can\'t reach the node (HTTP 502). Retrying\u2026' },
    },
    {
      why: 'tool pace and lifetime out of range: 60 s and no countdown',
      run: () => signedOut().press('start').answer('start', asResult(startDoc({ interval: 2147484, expires_in: 9223372036854775807 }))),
      want: { expiry: '', fx: ['timer:poll:60000'], noFx: ['timer:tick'] },
    },
    { why: 'poll time', run: () => following().timer('poll'), want: { fx: ['call:poll', 'timer:slow:10000'] } },
    { why: 'a poll out for long', run: () => following().timer('poll').timer('slow'), want: { pollLabel: `Still checking with the node${ELLIPSIS}` } },
    {
      why: 'pending: the next poll and a status check',
      run: () => following().timer('poll').answer('poll', asResult({ ok: true, state: 'pending', interval: 7 })),
      want: { phase: 'following', pollLabel: 'Waiting for approval', fx: ['timer:poll:7000', 'call:status'] },
    },
    {
      why: 'a failed poll: the flow goes on, and says so',
      run: () => following().timer('poll').answer('poll', L.classify(502, '<html>')),
      want: { phase: 'following', pollLabel: 'Having trouble checking; retrying', flowNote: 'Poll error: can\'t reach the node (HTTP 502).', fx: ['timer:poll:5000'] },
    },
    {
      why: 'the trouble goes at the next pending answer',
      run: () => following().timer('poll').answer('poll', L.classify(0, '')).timer('poll').answer('poll', asResult({ ok: true, state: 'failed', error: 'authorization_pending' })),
      want: { pollLabel: 'Still waiting for approval', flowNote: '' },
    },
    {
      why: 'slow_down twice, then a short interval: 5 s added each time, never under 5 s',
      run: () => {
        const c = following({ interval: 12 });
        for (const a of [{ state: 'failed', error: 'slow_down' }, { state: 'failed', error: 'slow_down' }, { state: 'pending', interval: 2 }]) {
          c.timer('poll').answer('poll', asResult({ ok: true, ...a }));
        }
        return c;
      },
      want: { fx: ['timer:poll:15000'], flowNote: 'The login service asked for a slower pace: checking every 22 s.' },
    },
    {
      why: 'done: signed in, the account said, focus on it',
      run: () => following().timer('poll').answer('poll', asResult(signedInDoc({ state: 'done' }))),
      want: { phase: 'signed-in', pill: 'Connected', sessionNote: 'Signed in as org-x.', flowNote: 'Signed in. The credential file has been written.', start: 'off', fx: ['forget', 'focus:sessionNote', 'call:status'] },
    },
    {
      why: 'denied',
      run: () => following().timer('poll').answer('poll', asResult({ ok: true, state: 'failed', error: 'access_denied', detail: 'the code was denied', logged_in: false, pending: false })),
      want: { phase: 'ended', pill: 'Not Connected', flowNote: 'Login failed: the login was denied on the approval page (the code was denied).', start: 'primary', fx: ['forget', 'focus:btnStartLogin'] },
    },
    {
      why: 'a failed re-login is no sign-in',
      run: () => {
        const c = new Console().status(signedInDoc()).press('relogin').answer('start', asResult(startDoc()));
        return c.status(pendingDoc(0, { logged_in: true })).timer('poll')
          .answer('poll', asResult({ ok: true, state: 'failed', error: 'access_denied', logged_in: true }));
      },
      want: { phase: 'signed-in', flowNote: 'Login failed: the login was denied on the approval page.' },
    },
    {
      why: 'an answer for an earlier flow changes nothing',
      run: () => { const c = following(); const old = c.gen(); return c.press('cancel').answer('cancel', asResult(statusDoc({ state: 'cancelled' }))).press('start').answer('start', asResult(startDoc())).answer('poll', asResult({ ok: true, state: 'done', logged_in: true }), old); },
      want: { phase: 'following', code: 'ABCD-1234' },
    },
    { why: 'tab shown again while following: poll at once', run: () => following().step({ type: 'visible' }), want: { fx: ['call:poll'] } },
  ]);
});

test('transitions: cancel, expiry, and other windows', () => {
  check([
    {
      why: 'Cancel keeps the code until the answer',
      run: () => following().press('cancel'),
      want: { phase: 'cancelling', code: 'ABCD-1234', pollLabel: `Cancelling${ELLIPSIS}`, pill: 'Signing in', cancel: 'off', fx: ['stop:poll', 'call:cancel'], noFx: ['forget'] },
    },
    {
      why: 'a failed cancel keeps the code, says why, and offers Cancel again',
      run: () => following().press('cancel').answer('cancel', asResult({ ok: false, error: 'cli_unavailable', detail: 'vantorel-lumivane-login is not on this node' })),
      want: { phase: 'following', code: 'ABCD-1234', pill: 'Signing in', cancel: 'on', flowNote: 'Cancel failed: the login tool vantorel-lumivane-login is not installed on this node.', fx: ['timer:poll:5000'], noFx: ['forget'] },
    },
    {
      why: 'a cancel the host did not pass on',
      run: () => following().press('cancel').answer('cancel', L.classify(0, '')),
      want: { phase: 'following', flowNote: 'Cancel failed: can\'t reach the node.' },
    },
    {
      why: 'cancelled',
      run: () => following().press('cancel').answer('cancel', asResult(statusDoc({ state: 'cancelled' }))),
      want: { phase: 'idle', pill: 'Not Connected', flowNote: 'Device flow cancelled.', step: 'idle', fx: ['forget', 'focus:btnStartLogin'] },
    },
    {
      why: 'at 0:00 the flow ends here and at the node, and the whole page agrees',
      run: () => following({ expires_in: 3 }).after(3000).timer('tick'),
      want: {
        phase: 'ended', pill: 'Not Connected', status: 'Not signed in', step: 'idle', title: 'lumivane', start: 'primary',
        flowNote: 'The code has expired. Start a new login.', fx: ['call:cancel/expire', 'forget', 'stop:poll'],
      },
    },
    { why: 'before 0:00 the countdown goes on', run: () => following({ expires_in: 3 }).after(2500).timer('tick'), want: { phase: 'following', expiry: 'Code expires in 0:01', fx: ['timer:tick:1000'] } },
    {
      why: 'a marker the expired login left behind is not followed again',
      run: () => following({ expires_in: 3 }).after(3000).timer('tick').answer('expire', asResult({ ok: false, error: 'cancel_failed' })).status(pendingDoc(3)),
      want: { phase: 'ended', pill: 'Not Connected', start: 'primary' },
    },
    {
      why: 'a status asked before the code ran out does not revive the flow',
      run: () => {
        const c = signedOut().press('start').answer('start', asResult(startDoc({ expires_in: 3 })));
        const asked = c.gen();
        c.after(3000).timer('tick');
        return c.answer('status', asResult(pendingDoc(3)), asked);
      },
      want: { phase: 'ended', pill: 'Not Connected', flowNote: 'The code has expired. Start a new login.', noFx: ['forget', 'timer:poll'] },
    },
    {
      why: 'a reload after the code ran out with no page open ends it at the node',
      run: () => {
        const c = new Console();
        c.stored = L.storedFlowText({ code: 'ABCD-1234', url: 'http://x/', expiresAt: NOW - 1000, interval: 5, created: NODE_NOW - 900 });
        return c.status(pendingDoc(900));
      },
      want: { phase: 'ended', flowNote: 'The code has expired. Start a new login.', fx: ['call:cancel/expire'] },
    },
    {
      why: 'a reload shows the stored code of the pending login',
      run: () => {
        const c = new Console();
        c.stored = L.storedFlowText({ code: 'ABCD-1234', url: 'http://x/', expiresAt: NOW + 60_000, interval: 5, created: NODE_NOW - 30 });
        return c.status(pendingDoc(30));
      },
      want: { phase: 'following', code: 'ABCD-1234', expiry: 'Code expires in 1:00' },
    },
    {
      why: 'a pending login whose code is not known here',
      run: () => new Console().status(pendingDoc(30)),
      want: { phase: 'following', code: '', start: 'primary', flowNote: 'A login is pending on this node, but its code is not known in this browser. Cancel it, or start a new login.' },
    },
    {
      why: 'Re-login while this page shows its own code asks nothing: the code is known here, and a new one replaces it',
      run: () => new Console().status(signedInDoc()).press('relogin').answer('start', asResult(startDoc()))
        .status(pendingDoc(0, { logged_in: true })).press('relogin'),
      want: { phase: 'starting', step: 'starting', fx: ['call:start'], noFx: ['focus:confirmText'] },
    },
    {
      why: 'Re-login over a pending login whose code is not known here asks first',
      run: () => new Console().status(signedInDoc({ pending: true, pending_age_sec: 30 })).press('relogin'),
      want: { phase: 'confirming', step: 'confirm', noFx: ['call:start'] },
    },
    { why: 'Start over an unknown pending login asks first', run: () => new Console().status(pendingDoc(30)).press('start'), want: { phase: 'confirming', step: 'confirm', fx: ['stop:poll', 'focus:confirmText'], noFx: ['call:start'] } },
    { why: 'Keep It', run: () => new Console().status(pendingDoc(30)).press('start').press('keep'), want: { phase: 'following', fx: ['timer:poll:5000'], noFx: ['call:start'] } },
    { why: 'Replace', run: () => new Console().status(pendingDoc(30)).press('start').press('replace'), want: { phase: 'starting', fx: ['call:start'] } },
    {
      why: 'a newer login at the node: this code was replaced, polling stops',
      run: () => following().after(60_000).timer('poll').answer('poll', asResult({ ok: true, state: 'pending' })).status(pendingDoc(0, { now: NODE_NOW + 60 })),
      want: { phase: 'ended', pill: 'Not Connected', flowNote: 'This code was replaced by a login started elsewhere, and no longer works.', fx: ['stop:poll', 'forget'] },
    },
    {
      why: 'the same login read a few seconds apart is not a replacement',
      run: () => following().status(pendingDoc(60 - L.SAME_LOGIN_SLACK_SEC, { now: NODE_NOW + 60 })),
      want: { phase: 'following' },
    },
    {
      why: 'after a replacement, Start asks first',
      run: () => following().status(pendingDoc(0, { now: NODE_NOW + 60 })).press('start'),
      want: { phase: 'confirming' },
    },
    {
      why: 'after its own failure, Start does not ask about the marker it left',
      run: () => following().timer('poll').answer('poll', asResult({ ok: true, state: 'failed', error: 'server_error' })).status(pendingDoc(10, { now: NODE_NOW + 10 })).press('start'),
      want: { phase: 'starting' },
    },
    {
      why: 'a flow that failed before the node told its start time: the marker it left is not followed, and Start does not ask',
      run: () => {
        const c = signedOut().press('start').answer('start', asResult(startDoc())).timer('poll')
          .answer('poll', asResult({ ok: true, state: 'failed', error: 'server_error' }));
        c.status(pendingDoc(10, { now: NODE_NOW + 10 }));
        assert.deepEqual([c.model.phase, c.view.step, c.view.pill.text], ['ended', 'idle', 'Not Connected']);
        return c.status(pendingDoc(15, { now: NODE_NOW + 15 })).press('start');
      },
      want: { phase: 'starting' },
    },
    {
      why: 'a login started elsewhere after a cancel whose start time was never known is followed, and Start asks',
      run: () => {
        const c = signedOut().press('start').answer('start', asResult(startDoc())).press('cancel')
          .answer('cancel', asResult(statusDoc({ state: 'cancelled' }))).status(statusDoc({ now: NODE_NOW + 20 }));
        c.status(pendingDoc(5, { now: NODE_NOW + 100 }));
        assert.equal(c.model.phase, 'following');
        return c.press('start');
      },
      want: { phase: 'confirming' },
    },
    {
      why: 'cancelled in another window: no_pending_login is no failure',
      run: () => following().timer('poll').answer('poll', asResult({ ok: true, state: 'failed', error: 'no_pending_login', detail: 'no device login in progress' })),
      want: { phase: 'ended', flowNote: 'This login was cancelled, perhaps from another window.' },
    },
    {
      why: 'approved and collected in another window, seen in a poll first: signed in, not cancelled',
      run: () => following().timer('poll').answer('poll', asResult({ ok: true, state: 'failed', error: 'no_pending_login', detail: 'no device login in progress', logged_in: true, pending: false })),
      want: { phase: 'signed-in', pill: 'Connected', flowNote: 'Signed in. The credential file has been written.', sessionNote: 'Signed in.', fx: ['forget', 'call:status'] },
    },
    {
      why: 'a re-login whose pending login went away: the node was signed in before, so that tells nothing of an approval',
      run: () => new Console().status(signedInDoc()).press('relogin').answer('start', asResult(startDoc()))
        .status(pendingDoc(0, { logged_in: true })).timer('poll')
        .answer('poll', asResult({ ok: true, state: 'failed', error: 'no_pending_login', logged_in: true, pending: false })),
      want: { phase: 'signed-in', flowNote: 'This login was cancelled, perhaps from another window.' },
    },
    {
      why: 'cancelled in another window, seen in a status first',
      run: () => following().status(statusDoc()),
      want: { phase: 'ended', flowNote: 'This login was cancelled, perhaps from another window.' },
    },
    {
      why: 'approved and collected in another window',
      run: () => following().status(signedInDoc()),
      want: { phase: 'signed-in', flowNote: 'Signed in. The credential file has been written.' },
    },
  ]);
});

test('transitions: copying, refreshing', () => {
  check([
    { why: 'Copy & Open', run: () => following().press('copy'), want: { fx: ['copy'] } },
    { why: 'copied', run: () => following().step({ type: 'copied', ok: true, opened: true }), want: { flowNote: 'Code copied. Open the link and approve.' } },
    { why: 'not copied, opened', run: () => following().step({ type: 'copied', ok: false, opened: true }), want: { flowNote: 'Copy the code shown above, then approve on the page that opened.' } },
    { why: 'not copied, nothing opened', run: () => following().step({ type: 'copied', ok: false, opened: false }), want: { flowNote: 'Copy the code shown above, then open the address and approve.' } },
    { why: 'refresh', run: () => new Console().status(signedInDoc()).press('refresh'), want: { fx: ['call:refresh'] } },
    {
      why: 'refresh refused in words',
      run: () => signedOut().press('refresh').answer('refresh', asResult({ ok: false, error: 'not_logged_in', detail: 'start a device login first' })),
      want: { sessionNote: 'Refresh failed: there is no session to refresh, because this node is not signed in (start a device login first).', refresh: 'on' },
    },
    {
      why: 'refreshed',
      run: () => new Console().status(signedInDoc({ expired: true, expires_in_sec: -60 })).press('refresh').answer('refresh', asResult(signedInDoc({ refreshed: true }))),
      want: { pill: 'Connected', sessionNote: 'Token re-read. CLI confirmed a live token.' },
    },
  ]);
  const noClip = new Console(false);
  assert.equal(noClip.view.buttons.copy.label, 'Open LumiVane');
  assert.match(noClip.view.copyHint, /copy the code by hand before the page opens/);
  assert.equal(new Console(true).view.buttons.copy.label, 'Copy Code & Open LumiVane');
  assert.equal(new Console(true).view.copyHint, '');
});

test('the model passed to transition is left as it was', () => {
  const c = following();
  const before = JSON.stringify(c.model);
  const frozen = c.model;
  L.transition(frozen, { type: 'press', what: 'cancel', now: NOW });
  L.transition(frozen, { type: 'timer', name: 'poll', now: NOW });
  assert.equal(JSON.stringify(frozen), before);
});
