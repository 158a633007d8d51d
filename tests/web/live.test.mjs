// A console left open: the calm re-reads of the status, the one at the
// token's expiry, the unknown state after a request that got no answer,
// a refused status, the login tool's own failures, and a start whose
// pending marker the node never shows. Each row drives the transition
// function with real events and checks what the page then shows and does.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { L, NOW, NODE_NOW, ELLIPSIS, statusDoc, pendingDoc, signedInDoc, asResult, startDoc, Console, check, signedOut } from './console-driver.mjs';

const NO_ANSWER = L.classify(0, '');
// A node signed in with `left` seconds of token, by its own clock.
const tokenDoc = (left, fields = {}) => signedInDoc({
  expires_at: NODE_NOW + left, expires_in_sec: left, expired: left < 0, ...fields,
});
const signedIn = (left = 3600) => new Console().status(tokenDoc(left));

test('re-check pace: calm while at rest and in view, none while hidden, at once on return or online', () => {
  assert.equal(L.recheckDelayMs(0, NOW), 60_000);
  assert.equal(L.recheckDelayMs(NOW + 40_000, NOW), 40_000);
  assert.equal(L.recheckDelayMs(NOW + 600_000, NOW), 60_000);
  assert.equal(L.recheckDelayMs(NOW - 1, NOW), 60_000, 'an expiry already past gives no loop of re-reads');
  check([
    { why: 'signed out: the next re-read in 60 s', run: () => signedOut(), want: { fx: ['timer:recheck:60000'] } },
    { why: 'signed in for an hour: 60 s', run: () => signedIn(), want: { fx: ['timer:recheck:60000'] } },
    { why: 'the re-check timer asks', run: () => signedIn().after(60_000).timer('recheck'), want: { fx: ['call:status'] } },
    { why: 'hidden: the timer stops', run: () => signedIn().event('hidden'), want: { fx: ['stop:recheck'] } },
    { why: 'hidden: a late timer asks nothing', run: () => signedIn().event('hidden').timer('recheck'), want: { noFx: ['call'] } },
    { why: 'shown again: asks at once', run: () => signedIn().event('hidden').event('visible'), want: { fx: ['call:status'] } },
    { why: 'back online: asks at once', run: () => signedIn().event('online'), want: { fx: ['call:status'] } },
    {
      why: 'following a login: polls pace it, no re-check',
      run: () => signedOut().press('start').answer('start', asResult(startDoc())).status(pendingDoc(0)),
      want: { phase: 'following', noFx: ['timer:recheck'] },
    },
  ]);
});

test('the expiry moment: a re-read when the token runs out, never "valid" after it', () => {
  check([
    { why: '40 s left: the re-read comes then', run: () => signedIn(40), want: { token: 'valid, expires in 40s', fx: ['timer:recheck:40000'] } },
    {
      why: 'the moment comes: expired by the page clock before the node answers',
      run: () => signedIn(40).after(40_000).timer('recheck'),
      want: { pill: 'Expired', token: 'expired', fx: ['call:status'] },
    },
    {
      why: 'the node, in the same second, does not call it expired yet: still expired, calm pace',
      run: () => signedIn(40).after(40_000).timer('recheck').status(tokenDoc(0)),
      want: { pill: 'Expired', fx: ['timer:recheck:60000'] },
    },
    {
      why: 'a late event still words it by the page clock',
      run: () => signedIn(40).after(160_000).timer('recheck'),
      want: { token: 'expired 2 min ago', sessionNote: 'Expired 2 min ago. Try Refresh Token Now; if that fails, re-login.' },
    },
    { why: 'before the moment it is valid', run: () => signedIn(40).after(39_000).event('online'), want: { pill: 'Connected', token: 'valid, expires in 1s' } },
  ]);
});

test('unknown state: a node that stops answering, an unanswered Refresh or Start, and the way back', () => {
  const reach = 'Can\'t reach the node. Retrying' + ELLIPSIS;
  check([
    {
      why: 'a re-read unanswered: unknown, retried',
      run: () => signedIn().after(60_000).timer('recheck').answer('status', NO_ANSWER),
      want: { phase: 'unreachable', pill: 'Unknown', sessionNote: reach, fx: ['timer:retry:2000', 'stop:recheck'] },
    },
    {
      why: 'recovers by itself at the retry',
      run: () => signedIn().timer('recheck').answer('status', NO_ANSWER).timer('retry').status(tokenDoc(3000)),
      want: { phase: 'signed-in', pill: 'Connected', sessionNote: 'Signed in as org-x.', fx: ['timer:recheck:60000'] },
    },
    {
      why: 'Refresh unanswered: unknown at once, the note says which press failed, focus on it',
      run: () => signedIn().press('refresh').answer('refresh', NO_ANSWER),
      want: {
        phase: 'unreachable', pill: 'Unknown', sessionNote: 'Refresh failed: can\'t reach the node. Retrying' + ELLIPSIS,
        step: 'loading', fx: ['timer:retry:2000', 'focus:sessionNote'],
      },
    },
    {
      why: 'the refresh note does not outlive the unknown state',
      run: () => signedIn().press('refresh').answer('refresh', NO_ANSWER).timer('retry').status(tokenDoc(3000)),
      want: { phase: 'signed-in', sessionNote: 'Signed in as org-x.' },
    },
    {
      why: 'Start unanswered, then a status: the start note is gone',
      run: () => signedOut().press('start').answer('start', NO_ANSWER).timer('retry').status(statusDoc()),
      want: { phase: 'idle', sessionNote: 'No session on this node yet. Start a device login below.' },
    },
    {
      why: 'an earlier refusal in words does not come back after an unknown spell',
      run: () => signedOut().press('refresh').answer('refresh', asResult({ ok: false, error: 'not_logged_in' }))
        .timer('recheck').answer('status', NO_ANSWER).timer('retry').status(statusDoc()),
      want: { sessionNote: 'No session on this node yet. Start a device login below.' },
    },
    {
      why: 'Refresh refused in words: a note, not the unknown state',
      run: () => signedIn().press('refresh').answer('refresh', asResult({ ok: false, error: 'refresh_failed' })),
      want: { phase: 'signed-in', pill: 'Connected', sessionNote: 'Refresh failed: the token tool did not confirm a live token.' },
    },
  ]);
});

test('a refused status: asked no more, no spinner, until the page is opened again', () => {
  const refused = () => new Console().answer('status', asResult({ ok: false, error: 'invalid node password' }, 401));
  check([
    {
      why: 'the refusal in words, no retry, the idle step instead of the spinner',
      run: refused,
      want: {
        phase: 'unreachable', pill: 'Unknown', step: 'idle', noFx: ['timer', 'call'],
        sessionNote: 'Error: the node refused this page\'s password; open the console again from the node\'s own page.',
        idleLine: 'Nothing is asked of the node until this page is opened again.',
      },
    },
    { why: 'a retry timer left over asks nothing', run: () => refused().timer('retry'), want: { noFx: ['call'] } },
    { why: 'back in view or online asks nothing', run: () => refused().event('visible').event('online'), want: { noFx: ['call'] } },
    {
      why: 'a refusal later, while signed in, also stops the asking',
      run: () => signedIn().timer('recheck').answer('status', asResult({ ok: false, error: 'invalid node password' }, 401)),
      want: { phase: 'unreachable', noFx: ['timer:retry'] },
    },
  ]);
});

test('the login tool: failing its status check, cannot be started, not installed', () => {
  check([
    {
      why: 'status check failed: the tool\'s error as a sentence, not "No session"',
      run: () => new Console().status(statusDoc({ cli_error: 'profile_locked' })),
      want: {
        tools: 'failing', noteClass: 'err',
        sessionNote: 'The login tool\'s status check failed: the node answered with an error this page does not know (profile_locked).',
      },
    },
    {
      why: 'a known error code in words',
      run: () => new Console().status(statusDoc({ cli_error: 'network_error' })),
      want: { sessionNote: 'The login tool\'s status check failed: the login tool could not reach the login service.' },
    },
    {
      why: 'cannot be started: told apart from not installed, the host\'s configuration to change',
      run: () => new Console().status(statusDoc({ cli_present: false, cli_error: 'cli_spawn_failed', login_command: '/opt/lv/bin' })),
      want: {
        tools: 'unstartable', noteClass: 'err',
        sessionNote: 'The login tool this node is set to run (/opt/lv/bin) is there but cannot be started: it is not an ' +
          'executable program. Fix LUMIVANE_LOGIN_BIN in the host\'s configuration and restart the host; reloading this page changes nothing.',
        idleLine: 'No login can start here until the host can start the login tool.',
      },
    },
    {
      why: 'cannot be started, no command named: the default tool',
      run: () => new Console().status(statusDoc({ cli_present: false, cli_error: 'cli_spawn_failed' })),
      want: {
        sessionNote: 'The login tool this node is set to run (vantorel-lumivane-login) is there but cannot be started: it is not an ' +
          'executable program. Fix LUMIVANE_LOGIN_BIN in the host\'s configuration and restart the host; reloading this page changes nothing.',
      },
    },
    {
      why: 'status check failed with the tool\'s detail: both, in one pair of parentheses',
      run: () => new Console().status(statusDoc({ cli_error: 'profile_locked', cli_detail: 'held by pid 4242' })),
      want: { sessionNote: 'The login tool\'s status check failed: the node answered with an error this page does not know (profile_locked: held by pid 4242).' },
    },
    {
      why: 'not installed',
      run: () => new Console().status(statusDoc({ cli_present: false, cli_error: 'cli_not_found' })),
      want: { tools: 'absent', idleLine: 'No login can start here until the login tool is installed.' },
    },
    { why: 'a healthy tool', run: () => signedOut(), want: { tools: 'ok', noteClass: '' } },
  ]);
});

test('a start whose marker the node never shows is told apart from one cancelled elsewhere', () => {
  const started = () => signedOut().press('start').answer('start', asResult(startDoc()));
  const noMarker = 'The node shows no pending login for this code; check LUMIVANE_PENDING_PATH.';
  check([
    { why: 'the status after the start shows nothing pending', run: () => started().status(statusDoc()), want: { phase: 'ended', flowNote: noMarker } },
    {
      why: 'the first poll says no pending login, before any status',
      run: () => started().timer('poll').answer('poll', asResult({ ok: true, state: 'failed', error: 'no_pending_login', logged_in: false })),
      want: { flowNote: noMarker },
    },
    {
      why: 'seen pending, then gone: cancelled elsewhere',
      run: () => started().status(pendingDoc(0)).status(statusDoc()),
      want: { phase: 'ended', flowNote: 'This login was cancelled, perhaps from another window.' },
    },
  ]);
});

test('small things: one filled button, the code announced, Refresh busy but focusable', () => {
  const relogin = () => signedIn().press('relogin').answer('start', asResult(startDoc())).status(pendingDoc(0));
  check([
    { why: 're-login shows a code: Refresh is not filled', run: relogin, want: { refreshPrimary: false, announce: 'Your code is A B C D - 1 2 3 4.' } },
    { why: 'signed in, no code: Refresh is filled', run: () => signedIn(), want: { refreshPrimary: true, announce: '' } },
    { why: 'signed out: the note is not a success', run: () => signedOut(), want: { noteClass: '' } },
    { why: 'a refresh out: busy, not disabled', run: () => signedIn().press('refresh'), want: { refreshBusy: true, refreshOff: false } },
    { why: 'pressed again while out: no second request', run: () => signedIn().press('refresh').press('refresh'), want: { noFx: ['call'] } },
  ]);
});
