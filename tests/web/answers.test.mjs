// What the node's answers mean (src/web/logic/answers.js): the plugin's
// document or no answer, poll outcomes, stored flows, addresses and the
// password, and the replaced-login test.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { L, plain, NOW, NODE_NOW } from './console-driver.mjs';

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
    { why: 'pending', r: doc({ state: 'pending', interval: 7 }), want: { kind: 'pending', still: false, interval: 7, id: '' } },
    { why: 'pending, the marker named', r: doc({ state: 'pending', interval: 7, pending_id: '0123456789abcdef' }), want: { kind: 'pending', still: false, interval: 7, id: '0123456789abcdef' } },
    { why: 'a name that is no digest is none', r: doc({ state: 'pending', interval: 7, pending_id: '<b>x</b>' }), want: { kind: 'pending', still: false, interval: 7, id: '' } },
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

test('a stored flow is read back with its numbers checked', () => {
  const good = { code: 'ABCD-1234', url: 'http://x/a', expires_at: NOW + 60_000, interval: 7, created: NODE_NOW };
  const cases = [
    { why: 'usable', value: good, want: { code: 'ABCD-1234', url: 'http://x/a', expiresAt: NOW + 60_000, expired: false, interval: 7, created: NODE_NOW } },
    { why: 'expired', value: { ...good, expires_at: NOW - 1 }, want: { expiresAt: 0, expired: true } },
    { why: 'expiry past any lifetime: no countdown', value: { ...good, expires_at: 1.6666666666666668e+295 }, want: { expiresAt: 0, expired: false } },
    { why: 'no expiry', value: { ...good, expires_at: 0 }, want: { expiresAt: 0, expired: false } },
    { why: 'pace out of range', value: { ...good, interval: 2147484 }, want: { interval: 60 } },
    { why: 'start time not a number', value: { ...good, created: 'yesterday' }, want: { created: 0 } },
    { why: 'stored before logins had names', value: good, want: { pendingId: '' } },
    { why: 'the login\'s name', value: { ...good, pending_id: 'ab12' }, want: { pendingId: 'ab12' } },
    { why: 'a name that is no digest', value: { ...good, pending_id: 7 }, want: { pendingId: '' } },
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
  const flow = { code: 'A', url: 'u', expiresAt: NOW + 5000, interval: 5, created: NODE_NOW, pendingId: '00ff' };
  const back = L.readStoredFlow(L.storedFlowText(flow), NOW);
  assert.deepEqual([back.created, back.pendingId], [NODE_NOW, '00ff'], 'round trip');
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

  // The header carries printable ASCII as it is (the node compares it as
  // sent, and decoded), anything else percent-encoded as UTF-8.
  const header = [
    ['node-pass-7', 'node-pass-7'], ['a b&c+d%41', 'a b&c+d%41'], ['', ''],
    ['p\u00e4 ss&w', 'p%C3%A4%20ss%26w'], ['caf\u00e9', 'caf%C3%A9'], ['\u{1f511}', '%F0%9F%94%91'], ['tab\there', 'tab%09here'],
  ];
  for (const [pwd, want] of header) assert.equal(L.headerPassword(pwd), want, JSON.stringify(pwd));

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
  const named = (pendingId) => ({ ...flow, pendingId });
  const cases = [
    { why: 'same login', flow, doc: status(100), want: false },
    { why: 'same login, the status took a while', flow, doc: status(100 - L.SAME_LOGIN_SLACK_SEC), want: false },
    { why: 'newer login', flow, doc: status(20), want: true },
    { why: 'older reading', flow, doc: status(300), want: false },
    { why: 'age unknown', flow, doc: { ok: true, pending: true, now: NODE_NOW }, want: false },
    { why: 'nothing pending', flow, doc: { ok: true, pending: false, pending_age_sec: 1, now: NODE_NOW }, want: false },
    { why: 'own start time unknown', flow: { code: 'A', created: 0 }, doc: status(1), want: false },
    { why: 'code unknown here', flow: { code: '', created: NODE_NOW - 100 }, doc: status(1), want: false },
    // The node names its pending login: two starts in the same second
    // have two names, and the name decides over the start times.
    { why: 'two starts in one second: another name', flow: named('aaaa'), doc: { ...status(100), pending_id: 'bbbb' }, want: true },
    { why: 'the same name', flow: named('aaaa'), doc: { ...status(100), pending_id: 'aaaa' }, want: false },
    { why: 'the same name, a later reading of the time', flow: named('aaaa'), doc: { ...status(20), pending_id: 'aaaa' }, want: false },
    { why: 'the node names none: start times', flow: named('aaaa'), doc: status(20), want: true },
    { why: 'this flow has no name: start times', flow, doc: { ...status(100), pending_id: 'bbbb' }, want: false },
    { why: 'a name, nothing pending', flow: named('aaaa'), doc: { ok: true, pending: false, pending_id: 'bbbb', now: NODE_NOW }, want: false },
  ];
  for (const c of cases) assert.equal(L.isReplaced(c.flow, c.doc), c.want, c.why);
  assert.equal(L.nodeCreated(status(40)), NODE_NOW - 40);
  assert.equal(L.nodeCreated(status(-1)), 0);
});
