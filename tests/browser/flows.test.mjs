// The flows an operator lives through on a node without a password: first
// load, a whole device login, refresh, re-login, cancel, and failing tools.
// Real lighttpd, the real program, the demo's stand-in tools. Polling runs
// on Playwright's clock, so no test waits out a 5-second interval.
import { test, before, after, beforeEach } from 'node:test';
import assert from 'node:assert/strict';
import {
  OPEN, launchBrowser, newContext, resetNode, writeCreds, readCreds, exists, override,
  recordActions, count, waitText, isShown, decideOnApprovalPage, nowSec, pauseClock,
} from './helpers.mjs';

const CONSOLE = OPEN.url + '/plugin_lumivane_login';
const POLL_MS = 5000;
let browser;

before(async () => { browser = await launchBrowser(); });
after(async () => { await browser?.close(); });
beforeEach(() => resetNode(OPEN));

// A console page on the open node, its plugin requests recorded, with the
// page clock under the test's control.
async function openConsole(options = {}) {
  const context = await newContext(browser, { permissions: ['clipboard-read', 'clipboard-write'], ...options });
  const page = await context.newPage();
  await pauseClock(page);
  const seen = recordActions(page);
  await page.goto(CONSOLE);
  return { context, page, seen };
}

async function startLogin(page) {
  await page.locator('#btnStartLogin').click();
  await waitText(page, '#userCode', /^[A-Z]{4}-[0-9]{4}$/);
  return page.locator('#userCode').textContent();
}

// Moves the page clock one poll interval and waits for that poll's answer.
async function pollOnce(page) {
  const answered = page.waitForResponse((r) => r.url().includes('action=poll'));
  await page.clock.runFor(POLL_MS);
  await answered;
}

test('first load on an empty node shows Not Connected and invites a login', async () => {
  const { context, page } = await openConsole();
  await waitText(page, '#pillText', 'Not Connected');
  assert.equal(await page.locator('#pill').getAttribute('class'), 'pill off');
  await waitText(page, '#vStatus', 'Not signed in');
  await waitText(page, '#vAccount', '-');
  await waitText(page, '#vToken', 'none');
  await waitText(page, '#vRefresh', 'not stored');
  await waitText(page, '#vProfile', 'not created');
  await waitText(page, '#vPath', OPEN.data + '/auth.json');
  await waitText(page, '#tokLine', 'Login CLI present \u00b7 token CLI present');
  await waitText(page, '#sessionNote', 'No session on this node yet. Start a device login below.');
  assert.equal(await isShown(page, '#stepIdle'), true);
  assert.equal(await isShown(page, '#stepActive'), false);
  assert.equal(await isShown(page, '#btnRelogin'), false);
  assert.equal(await isShown(page, '#userBadge'), false);
  await context.close();
});

test('device login: code and address shown, approval in the opened tab, polling reaches Connected', async () => {
  const { context, page, seen } = await openConsole();
  await waitText(page, '#pillText', 'Not Connected');

  const code = await startLogin(page);
  const verify = `${OPEN.url}/demo/approve?code=${code}`;
  await waitText(page, '#verifyUrl', verify);
  await waitText(page, '#pillText', 'Signing in');
  await waitText(page, '#vStatus', 'Device flow in progress');
  assert.equal(await page.locator('#btnStartLogin').isDisabled(), true);
  assert.equal(await isShown(page, '#stepActive'), true);
  assert.equal(exists(OPEN, 'login-pending.json'), true, 'the tool left its pending marker');
  assert.equal(count(seen, 'poll'), 0, 'the first poll waits one interval');

  // Copy & open: the code lands on the clipboard, the approval page opens
  // in a new tab without an opener.
  const [tab] = await Promise.all([context.waitForEvent('page'), page.locator('#btnCopyOpen').click()]);
  await tab.waitForLoadState();
  assert.equal(tab.url(), verify);
  assert.equal(await tab.evaluate(() => window.opener), null);
  await waitText(page, '#flowNote', 'Code copied. Open the link and approve.');
  assert.equal(await page.evaluate(() => navigator.clipboard.readText()), code);

  // Not approved yet: the poll answers pending and the flow goes on. The
  // label reads the same before and after; the status check that follows a
  // pending answer shows that the page took it (and armed the next poll).
  const taken = page.waitForRequest((r) => r.url().includes('action=status'));
  await pollOnce(page);
  await taken;
  await waitText(page, '#pollLabel', 'Waiting for approval');
  assert.equal(await isShown(page, '#stepActive'), true);

  await decideOnApprovalPage(tab, 'approve');
  await pollOnce(page);
  await waitText(page, '#pillText', 'Connected');
  await waitText(page, '#flowNote', 'Signed in. The credential file has been written.');
  await waitText(page, '#pollLabel', 'Signed in');
  await waitText(page, '#vStatus', 'Signed in');
  await waitText(page, '#vAccount', 'demo-org-4711');
  await waitText(page, '#vToken', /^valid, expires in (1 h 0 min|59 min)$/);
  await waitText(page, '#vRefresh', 'stored (presence only)');
  await waitText(page, '#vProfile', 'grandlumivane (exists)');
  await waitText(page, '#userLabel', 'demo-org-4711');
  await waitText(page, '#userAv', 'D');
  assert.equal(await isShown(page, '#stepIdle'), true);
  assert.equal(await isShown(page, '#btnRelogin'), true);
  assert.equal(await page.locator('#btnStartLogin').isDisabled(), true, 'signed in: Re-login is the way to replace');
  await waitText(page, '#sessionNote', 'Signed in as demo-org-4711.');
  assert.equal(await page.evaluate(() => document.activeElement.id), 'sessionNote');
  assert.equal(exists(OPEN, 'login-pending.json'), false);
  assert.equal(readCreds(OPEN).org_id, 'demo-org-4711');

  // Done means done: no further polls.
  const polls = count(seen, 'poll');
  await page.clock.runFor(3 * POLL_MS);
  assert.equal(count(seen, 'poll'), polls);
  await context.close();
});

test('a code denied on the approval page ends the flow as failed with the tool\'s reason', async () => {
  const { context, page } = await openConsole();
  const code = await startLogin(page);
  const tab = await context.newPage();
  await tab.goto(`${OPEN.url}/demo/approve?code=${code}`);
  await decideOnApprovalPage(tab, 'deny');
  await pollOnce(page);
  await waitText(page, '#flowNote', 'Login failed: the login was denied on the approval page (the code was denied on the approval page).');
  assert.equal(await isShown(page, '#stepIdle'), true);
  await waitText(page, '#pillText', 'Not Connected');
  await context.close();
});

test('refresh token: the token tool confirms a live token and the new expiry shows', async () => {
  writeCreds(OPEN, { expires_at: nowSec() + 600 });
  const { context, page } = await openConsole();
  await waitText(page, '#pillText', 'Connected');
  await waitText(page, '#vToken', /^valid, expires in (10|9) min$/);

  await page.locator('#btnRefresh').click();
  await waitText(page, '#sessionNote', 'Token re-read. CLI confirmed a live token.');
  await waitText(page, '#vToken', /^valid, expires in (1 h 0 min|59 min)$/);
  assert.ok(readCreds(OPEN).expires_at >= nowSec() + 3500, 'the stand-in extended the stored expiry');
  await context.close();
});

test('refresh without a sign-in, or with a token tool that returns no token, reports the failure', async () => {
  const cases = [
    { name: 'not signed in', setup: () => {}, note: 'Refresh failed: there is no session to refresh, because this node is not signed in (start a device login first).' },
    {
      name: 'no token from the tool, and no reason',
      setup: () => { writeCreds(OPEN, {}); override(OPEN, 'local', '{"ok":false}'); },
      note: 'Refresh failed: the token tool did not confirm a live token (token CLI returned no token).',
    },
    {
      name: 'no token from the tool, which says revoked',
      setup: () => { writeCreds(OPEN, {}); override(OPEN, 'local', '{"ok":false,"error":"revoked"}'); },
      note: 'Refresh failed: the login service no longer accepts this node\'s refresh token (revoked). Sign in again with Re-login.',
    },
  ];
  for (const c of cases) {
    resetNode(OPEN);
    c.setup();
    const { context, page } = await openConsole();
    await waitText(page, '#pillText', /^(Not Connected|Connected)$/);
    await page.locator('#btnRefresh').click();
    await waitText(page, '#sessionNote', c.note);
    assert.match(await page.locator('#sessionNote').getAttribute('class'), /\berr\b/, c.name);
    await context.close();
  }
});

test('start on a node signed in meanwhile warns instead of polling; re-login forces a new login that replaces the credentials', async () => {
  const { context, page, seen } = await openConsole();
  await waitText(page, '#pillText', 'Not Connected');
  // Signed in behind the page's back: Start is still offered, the tool refuses.
  writeCreds(OPEN, { access_token: 'old-token', org_id: 'org-old' });
  await page.locator('#btnStartLogin').click();
  await waitText(page, '#userLabel', 'org-old');
  await waitText(page, '#sessionNote', 'This node already has LumiVane credentials. Use Re-login to replace them.');
  assert.equal(await isShown(page, '#stepIdle'), true);
  await page.clock.runFor(2 * POLL_MS);
  assert.equal(count(seen, 'poll'), 0, 'an already-logged-in answer starts no polling');

  await page.locator('#btnRelogin').click();
  const code = await waitText(page, '#userCode', /^[A-Z]{4}-[0-9]{4}$/).then(() => page.locator('#userCode').textContent());
  const start = seen.filter((r) => r.action === 'start').pop();
  assert.equal(start.url.searchParams.has('force'), true, 'the re-login start carries force');

  const tab = await context.newPage();
  await tab.goto(`${OPEN.url}/demo/approve?code=${code}`);
  await decideOnApprovalPage(tab, 'approve');
  await pollOnce(page);
  await waitText(page, '#flowNote', 'Signed in. The credential file has been written.');
  await waitText(page, '#userLabel', 'demo-org-4711');
  assert.notEqual(readCreds(OPEN).access_token, 'old-token');
  await context.close();
});

test('cancel ends the device flow, removes the pending login and stops polling', async () => {
  const { context, page, seen } = await openConsole();
  await startLogin(page);
  assert.equal(exists(OPEN, 'login-pending.json'), true);

  await page.locator('#btnCancel').click();
  await waitText(page, '#flowNote', 'Device flow cancelled.');
  await waitText(page, '#pillText', 'Not Connected');
  assert.equal(await isShown(page, '#stepIdle'), true);
  assert.equal(exists(OPEN, 'login-pending.json'), false);
  const polls = count(seen, 'poll');
  await page.clock.runFor(3 * POLL_MS);
  assert.equal(count(seen, 'poll'), polls, 'no poll after a cancel');
  await context.close();
});

test('a page opened while a login is pending resumes polling it', async () => {
  const first = await openConsole();
  const code = await startLogin(first.page);
  await first.context.close();

  const { context, page, seen } = await openConsole();
  await waitText(page, '#pillText', 'Signing in');
  assert.equal(await isShown(page, '#stepActive'), true);
  const tab = await context.newPage();
  await tab.goto(`${OPEN.url}/demo/approve?code=${code}`);
  await decideOnApprovalPage(tab, 'approve');
  await pollOnce(page);
  await waitText(page, '#pillText', 'Connected');
  assert.ok(count(seen, 'poll') >= 1);
  await context.close();
});

test('a failing login tool is reported where the operator pressed', async () => {
  // Start failures: each shown in the session note, no flow started.
  const startCases = [
    { why: 'tool prints no JSON (502)', text: 'segmentation fault', note: 'Start failed: the login tool could not start a login (login CLI produced no JSON).' },
    { why: 'tool reports its own error', text: '{"ok":false,"error":"rate_limited","detail":"slow down"}', note: 'Start failed: the login service is refusing requests for a while; try again later (slow down).' },
    { why: 'success without a code (502)', text: '{"ok":true,"verify_url":"http://127.0.0.1/x"}', note: 'Start failed: the login tool answered without a code or an address to approve it at (login CLI did not return a verify url and user code).' },
    { why: 'tool not installed (exit 127)', text: '', exit: 127, note: 'Start failed: the login tool vantorel-lumivane-login is not installed on this node.' },
  ];
  for (const c of startCases) {
    resetNode(OPEN);
    override(OPEN, 'start', c.text, c.exit ?? 0);
    const { context, page } = await openConsole();
    await waitText(page, '#pillText', 'Not Connected');
    await page.locator('#btnStartLogin').click();
    await waitText(page, '#sessionNote', c.note);
    assert.equal(await isShown(page, '#stepIdle'), true, c.why);
    await context.close();
  }

  // Poll failures that are errors (not a failed login): reported, polling goes on.
  resetNode(OPEN);
  const { context, page, seen } = await openConsole();
  await startLogin(page);
  override(OPEN, 'poll', 'Traceback: something broke');
  await pollOnce(page);
  await waitText(page, '#flowNote', 'Poll error: the login tool could not be asked about the login (login CLI produced no JSON).');
  assert.equal(await isShown(page, '#stepActive'), true);
  await pollOnce(page);
  assert.equal(count(seen, 'poll'), 2, 'polling goes on after a poll error');
  await context.close();
});

test('a login tool missing from the node shows in the token line', async () => {
  override(OPEN, 'status', '', 127);
  const { context, page } = await openConsole();
  await waitText(page, '#tokLine', 'vantorel-lumivane-login is not on this node.');
  assert.equal(await page.locator('#tokLine span').getAttribute('class'), 'no');
  await context.close();
});
