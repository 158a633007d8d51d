// The transition function (src/web/logic/machine.js): each row starts from
// a model reached by real events and checks the next phase, what the view
// says and which effects come out.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { L, NOW, NODE_NOW, ELLIPSIS, statusDoc, pendingDoc, signedInDoc, asResult, startDoc, Console, signedOut, following, check } from './console-driver.mjs';

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
});

test('the model passed to transition is left as it was', () => {
  const c = following();
  const before = JSON.stringify(c.model);
  const frozen = c.model;
  L.transition(frozen, { type: 'press', what: 'cancel', now: NOW });
  L.transition(frozen, { type: 'timer', name: 'poll', now: NOW });
  assert.equal(JSON.stringify(frozen), before);
});

// Which login is whose: the node names its pending login (pending_id, a
// digest of the marker's bytes), and the page compares that name with the
// one its own start got, so that two starts within the same second are
// still told apart. Without names on both sides, start times decide.
test('transitions: the node\'s pending_id against the one this page\'s start got', () => {
  const MINE = '0123456789abcdef';
  const OTHER = 'fedcba9876543210';
  const started = () => signedOut().press('start').answer('start', asResult(startDoc({ pending_id: MINE })));
  const named = (id) => pendingDoc(0, { pending_id: id });
  const pollPending = (id) => asResult({ ok: true, state: 'pending', interval: 5, pending_id: id });
  const replaced = 'This code was replaced by a login started elsewhere, and no longer works.';
  const reloaded = (storedId, nodeId) => {
    const c = new Console();
    c.stored = JSON.stringify({ code: 'ABCD-1234', url: 'http://x/a', expires_at: NOW + 600_000, interval: 5, created: NODE_NOW, pending_id: storedId });
    return c.status(named(nodeId));
  };
  check([
    {
      why: 'a start in the same second elsewhere: the status names another login, this one ends at once',
      run: () => started().status(named(OTHER)),
      want: { phase: 'ended', flowNote: replaced, fx: ['stop:poll', 'forget'] },
    },
    { why: 'the status names this login: followed', run: () => started().status(named(MINE)), want: { phase: 'following', code: 'ABCD-1234' } },
    {
      why: 'the poll names another login: ended within that poll',
      run: () => started().status(named(MINE)).timer('poll').answer('poll', pollPending(OTHER)),
      want: { phase: 'ended', flowNote: replaced, fx: ['stop:poll', 'forget'] },
    },
    {
      why: 'after a replacement the poll told, Start asks before replacing that login in turn',
      run: () => started().status(named(MINE)).timer('poll').answer('poll', pollPending(OTHER)).press('start'),
      want: { phase: 'confirming', noFx: ['call:start'] },
    },
    {
      why: 'the poll names this login: the next poll is set',
      run: () => started().status(named(MINE)).timer('poll').answer('poll', pollPending(MINE)),
      want: { phase: 'following', fx: ['timer:poll:5000'] },
    },
    {
      why: 'the start named none: start times decide, the same second is the same login',
      run: () => signedOut().press('start').answer('start', asResult(startDoc())).status(named(OTHER)),
      want: { phase: 'following' },
    },
    { why: 'a reload shows the stored code for its own login', run: () => reloaded(MINE, MINE), want: { phase: 'following', code: 'ABCD-1234' } },
    {
      why: 'a reload after another login replaced it in the same second: the code is not known here',
      run: () => reloaded(MINE, OTHER),
      want: { phase: 'following', code: '', fx: ['forget'] },
    },
    {
      why: 'a login that failed here stays ended while the node still shows it',
      run: () => started().status(named(MINE)).timer('poll').answer('poll', asResult({ ok: true, state: 'failed', error: 'access_denied' })).status(named(MINE)),
      want: { phase: 'ended' },
    },
    {
      why: 'one started elsewhere in the same second after it is followed',
      run: () => started().status(named(MINE)).timer('poll').answer('poll', asResult({ ok: true, state: 'failed', error: 'access_denied' })).status(named(OTHER)),
      want: { phase: 'following' },
    },
  ]);
});

test('transitions: a refused cancel or refresh says the tool\'s own reason', () => {
  check([
    {
      why: 'a refused cancel: the tool\'s code and detail, the code kept',
      run: () => following().press('cancel').answer('cancel', asResult({ ok: false, error: 'cancel_failed', tool_error: 'profile_locked', detail: 'another login holds the profile' })),
      want: { phase: 'following', code: 'ABCD-1234', flowNote: 'Cancel failed: the login tool did not cancel the login (profile_locked: another login holds the profile).' },
    },
    {
      why: 'a revoked refresh token: said as such, and to sign in again',
      run: () => new Console().status(signedInDoc()).press('refresh').answer('refresh', asResult({ ok: false, error: 'refresh_failed', tool_error: 'invalid_grant', detail: 'refresh token revoked by the provider' })),
      want: { phase: 'signed-in', sessionNote: 'Refresh failed: the login service no longer accepts this node\'s refresh token (refresh token revoked by the provider). Sign in again with Re-login.' },
    },
    {
      why: 'another refused refresh: the tool\'s code beside the plugin\'s sentence',
      run: () => new Console().status(signedInDoc()).press('refresh').answer('refresh', asResult({ ok: false, error: 'refresh_failed', tool_error: 'network_error', detail: 'auth host down' })),
      want: { sessionNote: 'Refresh failed: the token tool did not confirm a live token: the login tool could not reach the login service (auth host down).' },
    },
  ]);
});
