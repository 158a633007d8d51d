// Every path an operator can take besides the happy one, walked as a new
// operator would: a failing cancel, a code that expires, failures and a
// failing host, a second window or browser, a signed-in or expired
// session, a missing tool, slow requests, the primary action, a small
// screen, copying by hand, coming back to the tab, the password, numbers
// out of range, theme messages from strangers, and a login collected by
// another tab's poll. One row per path; each
// says what the console must show. Real lighttpd, the real program, the
// demo's stand-in tools; timers run on Playwright's clock.
import { test, before, after, beforeEach } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import {
  OPEN, LOCKED, launchBrowser, newContext, resetNode, writeCreds, override, clearOverride, exists,
  waitText, waitFor, isShown, nowSec, pauseClock, decideOnApprovalPage,
} from './helpers.mjs';

const CONSOLE = OPEN.url + '/plugin_lumivane_login';
// The stored flow is the node's, keyed by its credentials path.
const FLOW_KEY = 'lumivane_flow_' + path.join(OPEN.data, 'auth.json');
const CODE = /^[A-Z]{4}-[0-9]{4}$/;
const ELLIPSIS = '\u2026';
let browser;

before(async () => { browser = await launchBrowser(); });
after(async () => { await browser?.close(); });
beforeEach(() => { resetNode(OPEN); resetNode(LOCKED); });

// A context whose pages count their plugin calls in window.__calls, at the
// moment the console sends them.
async function countingContext(options = {}) {
  const context = await newContext(browser, options);
  await context.addInitScript(() => {
    window.__calls = [];
    const fetch = window.fetch.bind(window);
    window.fetch = (url, init) => {
      window.__calls.push(new URL(url, window.location.href).searchParams.get('action'));
      return fetch(url, init);
    };
  });
  return context;
}

async function openPage(context, { url = CONSOLE, clock = true, ready = true } = {}) {
  const page = await context.newPage();
  if (clock) await pauseClock(page);
  await page.goto(url);
  if (ready) await waitText(page, '#pillText', /^(Connected|Not Connected|Signing in|Expired)$/);
  return page;
}

async function openConsole(options = {}, pageOptions = {}) {
  const context = await countingContext(options);
  return { context, page: await openPage(context, pageOptions) };
}

const calls = (page, action) => page.evaluate((a) => window.__calls.filter((c) => c === a).length, action);

async function startLogin(page) {
  await page.locator('#btnStartLogin').click();
  await waitText(page, '#userCode', CODE);
  return page.locator('#userCode').textContent();
}

// Starts with `doc` as the start answer (the stand-in prints it), writing
// the pending marker as the real tool would, created `ageSec` ago.
async function startWith(page, node, doc, ageSec = 0) {
  override(node, 'start', JSON.stringify({ ok: true, verify_url: `${node.url}/demo/approve?code=QRST-1234`, user_code: 'QRST-1234', ...doc }));
  await page.route((url) => url.searchParams.get('action') === 'start', (route) => {
    fs.writeFileSync(path.join(node.data, 'login-pending.json'), JSON.stringify({ created: nowSec() - ageSec, user_code: 'QRST-1234' }) + '\n');
    return route.continue();
  });
  await page.locator('#btnStartLogin').click();
  await waitText(page, '#userCode', 'QRST-1234');
}

// Holds every request of one action until the returned function is
// called; from then on they pass.
async function hold(page, action) {
  let release;
  const gate = new Promise((resolve) => { release = resolve; });
  await page.route((url) => url.searchParams.get('action') === action, async (route) => {
    await gate;
    await route.continue();
  });
  return () => release();
}

// Moves the page clock and waits for the answer of the poll it sends.
async function pollAfter(page, ms) {
  const answered = page.waitForResponse((r) => r.url().includes('action=poll'));
  await page.clock.runFor(ms);
  await answered;
}

// The console's stored flow has its start time on the node: the status
// after Start has been read.
async function flowSettled(page) {
  await waitFor(page, (k) => (JSON.parse(window.localStorage.getItem(k) || '{}').created || 0) > 0, FLOW_KEY);
}

const className = (page, sel) => page.locator(sel).getAttribute('class');
const focused = (page) => page.evaluate(() => document.activeElement && document.activeElement.id);

function inViewport(page, selectors) {
  return page.evaluate((sels) => sels.filter((s) => {
    const r = document.querySelector(s).getBoundingClientRect();
    return !(r.height > 0 && r.top >= 0 && r.bottom <= window.innerHeight);
  }), selectors);
}

const paths = [
  {
    name: 'a failed Cancel keeps the code, says why in a sentence, and keeps Cancel for a retry',
    run: async () => {
      const { context, page } = await openConsole();
      const code = await startLogin(page);
      const release = await hold(page, 'cancel');
      await page.locator('#btnCancel').click();
      await waitText(page, '#pollLabel', `Cancelling${ELLIPSIS}`);
      await waitText(page, '#userCode', code);
      assert.equal(await page.locator('#btnCancel').isDisabled(), true, 'no second cancel while one is out');
      override(OPEN, 'cancel', '', 127);
      release();
      await waitText(page, '#flowNote', 'Cancel failed: the login tool vantorel-lumivane-login is not installed on this node.');
      await waitText(page, '#userCode', code);
      assert.equal(await isShown(page, '#userCode'), true);
      await waitText(page, '#pillText', 'Signing in');
      assert.equal(await page.locator('#btnCancel').isDisabled(), false, 'Cancel offered again');
      assert.notEqual(await page.evaluate((k) => window.localStorage.getItem(k), FLOW_KEY), null, 'the code is still stored');
      assert.equal(exists(OPEN, 'login-pending.json'), true);

      // The tool's own code, in place of the plugin's fixed detail.
      override(OPEN, 'cancel', '{"ok":false,"error":"busy"}');
      await page.locator('#btnCancel').click();
      await waitText(page, '#flowNote', 'Cancel failed: the login tool did not cancel the login (busy).');
      await waitText(page, '#userCode', code);

      clearOverride(OPEN, 'cancel');
      await page.locator('#btnCancel').click();
      await waitText(page, '#flowNote', 'Device flow cancelled.');
      await waitText(page, '#pillText', 'Not Connected');
      await context.close();
    },
  },
  {
    name: 'at 0:00 the flow ends at the node and the whole page says the code expired; a reload agrees',
    run: async () => {
      const { context, page } = await openConsole();
      await startWith(page, OPEN, { expires_in: 3, interval: 5 });
      const cancelled = page.waitForResponse((r) => r.url().includes('action=cancel'));
      await page.clock.runFor(3000);
      await waitText(page, '#flowNote', 'The code has expired. Start a new login.');
      await waitText(page, '#pillText', 'Not Connected');
      await waitText(page, '#vStatus', 'Not signed in');
      await cancelled;
      assert.equal(exists(OPEN, 'login-pending.json'), false, 'ended at the node too');
      assert.equal(await page.locator('#btnStartLogin').isDisabled(), false);
      await waitText(page, '#idleLine', 'No login in progress. Press Start LumiVane Login above for a new code.');
      assert.equal(await page.title(), 'lumivane');
      await page.reload();
      await waitText(page, '#pillText', 'Not Connected');
      await waitText(page, '#sessionNote', 'No session on this node yet. Start a device login below.');
      assert.equal(await isShown(page, '#stepActive'), false, 'no pending login with an unknown code');
      await context.close();

      // The code ran out while no page showed it: the next page ends it.
      resetNode(OPEN);
      const second = await openConsole({}, { clock: false });
      await startWith(second.page, OPEN, { expires_in: 2, interval: 5 });
      await flowSettled(second.page);
      await second.page.close();
      await new Promise((resolve) => { setTimeout(resolve, 2500); });
      const later = await openPage(second.context, { clock: false, ready: false });
      await waitText(later, '#flowNote', 'The code has expired. Start a new login.');
      await waitText(later, '#pillText', 'Not Connected');
      await later.waitForFunction(() => window.__calls.includes('cancel'));
      await second.context.close();
    },
  },
  {
    name: 'every failure reads as a sentence with the plugin\'s detail, never a bare code',
    run: async () => {
      const cases = [
        {
          why: 'start: the tool cannot reach the service',
          setup: () => override(OPEN, 'start', '{"ok":false,"error":"network_error","detail":"could not reach auth.lumivane.example"}'),
          press: '#btnStartLogin', note: '#sessionNote',
          want: 'Start failed: the login tool could not reach the login service (could not reach auth.lumivane.example).',
        },
        {
          why: 'start: the tool ran past its time limit',
          route: (page) => page.route((u) => u.searchParams.get('action') === 'start', (r) => r.fulfill({
            status: 504, contentType: 'application/json', body: '{"ok":false,"error":"start_failed","detail":"login CLI timed out"}\n',
          })),
          press: '#btnStartLogin', note: '#sessionNote',
          want: 'Start failed: the login tool could not start a login (login CLI timed out).',
        },
        {
          why: 'refresh while signed out',
          press: '#btnRefresh', note: '#sessionNote',
          want: 'Refresh failed: there is no session to refresh, because this node is not signed in (start a device login first).',
        },
      ];
      for (const c of cases) {
        resetNode(OPEN);
        if (c.setup) c.setup();
        const { context, page } = await openConsole();
        if (c.route) await c.route(page);
        await page.locator(c.press).click();
        await waitText(page, c.note, c.want);
        await context.close();
      }
      resetNode(OPEN);
      const { context, page } = await openConsole();
      await startLogin(page);
      override(OPEN, 'poll', '{"ok":false,"error":"access_denied","detail":"the user said no"}');
      await pollAfter(page, 5000);
      await waitText(page, '#flowNote', 'Login failed: the login was denied on the approval page (the user said no).');
      await context.close();
    },
  },
  {
    name: 'a host that answers with no plugin document reads as an unknown state, retried with a growing delay',
    run: async () => {
      const context = await countingContext();
      const page = await context.newPage();
      await pauseClock(page);
      const failing = (route) => route.fulfill({ status: 502, contentType: 'text/html', body: '<html><body><h1>502 Bad Gateway</h1></body></html>' });
      const isStatus = (u) => u.searchParams.get('action') === 'status';
      await page.route(isStatus, failing);
      await page.goto(CONSOLE);
      await waitText(page, '#sessionNote', `Can't reach the node (HTTP 502). Retrying${ELLIPSIS}`);
      await waitText(page, '#pillText', 'Unknown');
      await waitText(page, '#vStatus', 'Unknown');
      assert.equal(await page.locator('#btnStartLogin').isDisabled(), true);
      assert.equal(await calls(page, 'status'), 1);
      // 2 s, then 4 s.
      await page.clock.runFor(1500);
      assert.equal(await calls(page, 'status'), 1, 'not before 2 s');
      await page.clock.runFor(600);
      await page.waitForFunction(() => window.__calls.filter((c) => c === 'status').length === 2);
      await page.clock.runFor(3000);
      assert.equal(await calls(page, 'status'), 2, 'the second wait is longer');
      await page.unroute(isStatus, failing);
      const noAnswer = (route) => route.abort();
      await page.route(isStatus, noAnswer);
      await page.clock.runFor(1200);
      await waitText(page, '#sessionNote', `Can't reach the node. Retrying${ELLIPSIS}`);
      await page.unroute(isStatus, noAnswer);
      await page.clock.runFor(8100);
      await waitText(page, '#pillText', 'Not Connected');
      await waitText(page, '#sessionNote', 'No session on this node yet. Start a device login below.');
      await context.close();
    },
  },
  {
    name: 'a second browser asks before replacing a pending login, and the first says its code was replaced',
    run: async () => {
      const a = await openConsole();
      // A's login started a minute ago on the node's clock. The status
      // that follows the start tells A when.
      const told = a.page.waitForResponse((r) => r.url().includes('action=status'));
      await startWith(a.page, OPEN, { interval: 5 }, 60);
      await told;
      clearOverride(OPEN, 'start');

      const b = await openConsole();
      await waitText(b.page, '#flowNote', /^A login is pending on this node, but its code is not known in this browser\./);
      await b.page.locator('#btnStartLogin').click();
      await waitText(b.page, '#confirmText', /^A login is already pending on this node, started in another window or browser/);
      assert.equal(await isShown(b.page, '#stepConfirm'), true);
      assert.equal(await calls(b.page, 'start'), 0, 'nothing replaced before the answer');
      await b.page.locator('#btnReplace').click();
      const codeB = await waitText(b.page, '#userCode', CODE).then(() => b.page.locator('#userCode').textContent());
      assert.notEqual(codeB, 'QRST-1234');

      await pollAfter(a.page, 5000);
      await waitText(a.page, '#flowNote', 'This code was replaced by a login started elsewhere, and no longer works.');
      await waitText(a.page, '#pillText', 'Not Connected');
      const polls = await calls(a.page, 'poll');
      await a.page.clock.runFor(30000);
      assert.equal(await calls(a.page, 'poll'), polls, 'A stops polling');
      await a.context.close();
      await b.context.close();
    },
  },
  {
    name: 'Cancel in one tab: the other says the login was cancelled, not that it failed',
    run: async () => {
      const { context, page } = await openConsole();
      const code = await startLogin(page);
      const other = await openPage(context, { clock: false });   // the clock is the context's, shared
      await waitText(other, '#userCode', code);
      await other.locator('#btnCancel').click();
      await waitText(other, '#flowNote', 'Device flow cancelled.');
      await pollAfter(page, 5000);
      await waitText(page, '#flowNote', 'This login was cancelled, perhaps from another window.');
      assert.doesNotMatch(await className(page, '#flowNote'), /\berr\b/);
      await context.close();
    },
  },
  {
    name: 'signed in: Start is off, the account is said plainly, and a load moves no focus to that message',
    run: async () => {
      writeCreds(OPEN, { org_id: 'org-seven' });
      const { context, page } = await openConsole();
      await waitText(page, '#sessionNote', 'Signed in as org-seven.');
      assert.notEqual(await focused(page), 'sessionNote');
      assert.equal(await page.locator('#btnStartLogin').isDisabled(), true);
      assert.equal(await page.locator('#btnRelogin').isDisabled(), false);
      await waitText(page, '#idleLine', 'Signed in. Re-login (replace) above starts a login that replaces this session.');
      await context.close();
    },
  },
  {
    name: 'an expired token says how long ago, and Refresh Token Now first',
    run: async () => {
      writeCreds(OPEN, { expires_at: nowSec() - 7300 });
      const { context, page } = await openConsole();
      await waitText(page, '#pillText', 'Expired');
      await waitText(page, '#vToken', 'expired 2 h ago');
      await waitText(page, '#sessionNote', 'Expired 2 h ago. Try Refresh Token Now; if that fails, re-login.');
      await page.locator('#btnRefresh').click();
      await waitText(page, '#sessionNote', 'Token re-read. CLI confirmed a live token.');
      await waitText(page, '#pillText', 'Connected');
      await context.close();
    },
  },
  {
    name: 'the login tool missing: Start is off, with a sentence on installing it',
    run: async () => {
      override(OPEN, 'status', '', 127);
      const { context, page } = await openConsole();
      await waitText(page, '#sessionNote', 'The login tool vantorel-lumivane-login is not installed on this node, so no login can start. ' +
        'Install it, or set LUMIVANE_LOGIN_BIN to its path in the host\'s configuration.');
      assert.equal(await page.locator('#btnStartLogin').isDisabled(), true);
      await context.close();
    },
  },
  {
    name: 'work in progress shows: loading, requesting a code, a slow poll, a failed poll',
    run: async () => {
      const context = await countingContext();
      const page = await context.newPage();
      await pauseClock(page);
      const releaseStatus = await hold(page, 'status');
      await page.goto(CONSOLE);
      await waitText(page, '#loadingText', `Checking this node${ELLIPSIS}`);
      assert.equal(await isShown(page, '#stepLoading'), true);
      await waitText(page, '#pillText', 'Checking');
      for (const b of ['#btnStartLogin', '#btnRefresh']) assert.equal(await page.locator(b).isDisabled(), true, `${b} held back`);
      releaseStatus();
      await waitText(page, '#pillText', 'Not Connected');

      const releaseStart = await hold(page, 'start');
      await page.locator('#btnStartLogin').click();
      await waitText(page, '#workText', `Requesting a code${ELLIPSIS}`);
      assert.equal(await isShown(page, '#stepStarting'), true);
      assert.equal(await isShown(page, '#stepIdle'), false, 'no "No login in progress" while a start is out');
      releaseStart();
      await waitText(page, '#userCode', CODE);

      const releasePoll = await hold(page, 'poll');
      await page.clock.runFor(5000);
      await page.waitForFunction(() => window.__calls.includes('poll'));
      await page.clock.runFor(10000);
      await waitText(page, '#pollLabel', `Still checking with the node${ELLIPSIS}`);
      override(OPEN, 'poll', 'Traceback: something broke');
      const answered = page.waitForResponse((r) => r.url().includes('action=poll'));
      releasePoll();
      await answered;
      await waitText(page, '#pollLabel', 'Having trouble checking; retrying');
      assert.equal(await isShown(page, '#stepActive'), true, 'the flow goes on');
      await context.close();
    },
  },
  {
    name: 'the primary action follows the state: Start when signed out, Refresh Token Now when signed in',
    run: async () => {
      const out = await openConsole();
      assert.equal(await className(out.page, '#btnStartLogin'), 'btn');
      assert.equal(await className(out.page, '#btnRefresh'), 'btn ghost');
      await out.context.close();
      writeCreds(OPEN, {});
      const inside = await openConsole();
      await waitText(inside.page, '#pillText', 'Connected');
      assert.equal(await className(inside.page, '#btnRefresh'), 'btn');
      assert.equal(await className(inside.page, '#btnStartLogin'), 'btn ghost');
      await inside.context.close();
    },
  },
  {
    name: 'at 360 px Start brings the code, countdown, QR code, address and Cancel into view',
    run: async () => {
      const { context, page } = await openConsole({ viewport: { width: 360, height: 760 } });
      await startLogin(page);
      await page.locator('#qrCode').waitFor({ state: 'visible' });
      await waitText(page, '#flowExpiry', /^Code expires in /);
      assert.deepEqual(await inViewport(page, ['#userCode', '#flowExpiry', '#qrCode', '#verifyUrl', '#btnCancel']), []);
      await context.close();
    },
  },
  {
    name: 'one click selects the whole code; without a clipboard the button says to copy by hand first',
    run: async () => {
      const { context, page } = await openConsole();
      const code = await startLogin(page);
      await page.locator('#userCode').click();
      assert.equal(await page.evaluate(() => window.getSelection().toString().trim()), code);
      await context.close();

      resetNode(OPEN);
      const noClip = await countingContext();
      await noClip.addInitScript(() => Object.defineProperty(Navigator.prototype, 'clipboard', { get: () => undefined }));
      const p = await openPage(noClip);
      await startLogin(p);
      await waitText(p, '#btnCopyOpen', 'Open LumiVane');
      assert.equal(await isShown(p, '#copyHint'), true);
      await waitText(p, '#copyHint', /copy the code by hand before the page opens/);
      assert.equal(await p.locator('#btnCopyOpen').getAttribute('aria-describedby'), 'copyDesc copyHint');
      await noClip.close();
    },
  },
  {
    name: 'coming back to the tab checks at once',
    run: async () => {
      const { context, page } = await openConsole();
      await startLogin(page);
      // The clock stands still: only the tab coming back can send a poll.
      const setVisibility = (state) => page.evaluate((s) => {
        Object.defineProperty(document, 'visibilityState', { value: s, configurable: true });
        document.dispatchEvent(new Event('visibilitychange'));
      }, state);
      await setVisibility('hidden');
      assert.equal(await calls(page, 'poll'), 0);
      const answered = page.waitForResponse((r) => r.url().includes('action=poll'), { timeout: 5000 });
      await setVisibility('visible');
      await answered;
      assert.equal(await calls(page, 'poll'), 1, 'a poll without waiting for the interval');
      await context.close();
    },
  },
  {
    name: 'the password travels in the header only, and in the address only after a host dropped the header',
    run: async () => {
      const seen = [];
      const context = await newContext(browser);
      const page = await context.newPage();
      page.on('request', (req) => {
        const u = new URL(req.url());
        if (u.searchParams.get('action')) seen.push({ action: u.searchParams.get('action'), pwd: u.searchParams.get('pwd'), header: req.headers()['x-bot-password'] });
      });
      await page.goto(`${LOCKED.url}/plugin_lumivane_login?pwd=${LOCKED.password}`);
      await waitText(page, '#pillText', 'Not Connected');
      await startLogin(page);
      assert.ok(seen.length >= 2);
      for (const r of seen) assert.deepEqual([r.pwd, r.header], [null, LOCKED.password], r.action);
      await context.close();

      // A host that drops the header: one refusal, then pwd in the address for good.
      resetNode(LOCKED);
      const responses = [];
      const dropping = await newContext(browser);
      await dropping.route((u) => u.searchParams.has('action'), (route) => {
        const headers = { ...route.request().headers() };
        delete headers['x-bot-password'];
        return route.continue({ headers });
      });
      const p = await dropping.newPage();
      const urls = [];
      p.on('request', (req) => { if (new URL(req.url()).searchParams.has('action')) urls.push(new URL(req.url())); });
      p.on('response', (r) => { if (new URL(r.url()).searchParams.has('action')) responses.push(r.status()); });
      await p.goto(`${LOCKED.url}/plugin_lumivane_login?pwd=${LOCKED.password}`);
      await waitText(p, '#pillText', 'Not Connected');
      await startLogin(p);
      assert.equal(responses.filter((s) => s === 401).length, 1, 'one refusal');
      assert.equal(urls[0].searchParams.has('pwd'), false, 'the first call tries the header alone');
      for (const u of urls.slice(1)) assert.equal(u.searchParams.get('pwd'), LOCKED.password, u.searchParams.get('action'));
      await dropping.close();
    },
  },
  {
    name: 'numbers from a tool or from storage stay in range: pace at most 60 s, no absurd countdown',
    run: async () => {
      const { context, page } = await openConsole();
      // The plugin reads a tool's numbers out of range as its defaults (a
      // 5 s pace, a 15-minute code), so the console never sees them.
      await startWith(page, OPEN, { interval: 2147484, expires_in: 9223372036854775807 });
      await waitText(page, '#flowExpiry', 'Code expires in 15:00');
      await page.clock.runFor(30000);
      assert.ok(await calls(page, 'poll') <= 6, 'no poll storm');
      await context.close();

      // A poisoned stored flow for the pending login shows its code and no countdown.
      resetNode(OPEN);
      const first = await openConsole();
      await startWith(first.page, OPEN, { interval: 5 });
      await first.context.close();
      const poisoned = await countingContext();
      await poisoned.addInitScript((k) => window.localStorage.setItem(k, JSON.stringify({
        code: 'QRST-1234', url: 'http://127.0.0.1/x', expires_at: 1.6666666666666668e+295, interval: 1e300,
      })), FLOW_KEY);
      const p = await openPage(poisoned);
      await waitText(p, '#userCode', 'QRST-1234');
      await waitText(p, '#flowExpiry', '');
      await poisoned.close();
    },
  },
  {
    name: 'theme messages count only from the parent frame, not from a page that opened the console',
    run: async () => {
      const context = await newContext(browser, { colorScheme: 'dark' });
      const stranger = await context.newPage();
      // Another origin: the same host under another name.
      await stranger.goto(OPEN.url.replace('127.0.0.1', 'localhost') + '/');
      const [popup] = await Promise.all([
        context.waitForEvent('page'),
        stranger.evaluate((u) => { window.consoleWindow = window.open(u); }, CONSOLE + '?theme=dark'),
      ]);
      await waitText(popup, '#pillText', 'Not Connected');
      // Messages from one sender arrive in order: once 'done' is seen, the
      // theme message before it was handled.
      await popup.evaluate(() => {
        window.__done = new Promise((resolve) => {
          window.addEventListener('message', (e) => { if (e.data === 'done') resolve(); });
        });
      });
      await stranger.evaluate(() => {
        window.consoleWindow.postMessage({ type: 'vn-theme', theme: 'light' }, '*');
        window.consoleWindow.postMessage('done', '*');
      });
      await popup.evaluate(() => window.__done);
      assert.equal(await popup.evaluate(() => document.documentElement.getAttribute('data-theme')), 'dark');
      assert.equal(await popup.evaluate(() => window.localStorage.getItem('bot_theme')), 'dark');
      // Nor from the console's own window.
      await popup.evaluate(() => new Promise((resolve) => {
        window.addEventListener('message', (e) => { if (e.data === 'done2') resolve(); });
        window.postMessage({ type: 'vn-theme', theme: 'light' }, '*');
        window.postMessage('done2', '*');
      }));
      assert.equal(await popup.evaluate(() => document.documentElement.getAttribute('data-theme')), 'dark');
      await context.close();
    },
  },
  {
    name: 'approved, and collected by the other tab\'s poll first: this tab says signed in, not cancelled',
    run: async () => {
      const { context, page } = await openConsole();
      const code = await startLogin(page);
      const other = await openPage(context, { clock: false });   // the clock is the context's, shared
      await waitText(other, '#userCode', code);
      const approval = await context.newPage();
      await approval.goto(`${OPEN.url}/demo/approve?code=${code}`);
      await decideOnApprovalPage(approval, 'approve');
      // This tab's poll reaches the node only after the other tab's poll
      // has written the credentials and dropped the pending login.
      const release = await hold(page, 'poll');
      await page.clock.runFor(5000);
      await waitText(other, '#flowNote', 'Signed in. The credential file has been written.');
      assert.equal(exists(OPEN, 'login-pending.json'), false);
      const answered = page.waitForResponse((r) => r.url().includes('action=poll'));
      release();
      await answered;
      await waitText(page, '#flowNote', 'Signed in. The credential file has been written.');
      await waitText(page, '#pillText', 'Connected');
      await waitText(page, '#sessionNote', 'Signed in as demo-org-4711.');
      await context.close();
    },
  },
];

for (const [i, p] of paths.entries()) test(`${i + 1}. ${p.name}`, p.run);
