// The device login as an operator lives it: a flow that stays ended, one
// start and one poll at a time, the tool's pace (interval, slow_down,
// authorization_pending), the countdown, the code kept across a reload, the
// address as a link and as a QR code that decodes back to it.
// Real lighttpd, the real program, the demo's stand-in tools; timers run on
// Playwright's clock. Plugin calls are counted inside the page, at the
// moment the console sends them, so "no poll yet" is exact.
import { test, before, after, beforeEach } from 'node:test';
import assert from 'node:assert/strict';
import path from 'node:path';
import jsQR from 'jsqr';
import {
  OPEN, launchBrowser, newContext, resetNode, writeCreds, override, clearOverride, pendingOnStart, waitText, isShown,
  pauseClock,
} from './helpers.mjs';

const CONSOLE = OPEN.url + '/plugin_lumivane_login';
// The stored flow is the node's, keyed by its credentials path.
const FLOW_KEY = 'lumivane_flow_' + path.join(OPEN.data, 'auth.json');
const CODE = /^[A-Z]{4}-[0-9]{4}$/;
let browser;

before(async () => { browser = await launchBrowser(); });
after(async () => { await browser?.close(); });
beforeEach(() => resetNode(OPEN));

// A context whose pages count their plugin calls in window.__calls.
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

// Playwright's clock belongs to the context: a second page of the same
// context shares the paused clock of the first (clock: false).
async function openPage(context, { clock = true } = {}) {
  const page = await context.newPage();
  if (clock) await pauseClock(page);
  await page.goto(CONSOLE);
  await waitText(page, '#pillText', /^(Connected|Not Connected|Signing in)$/);
  return page;
}

async function openConsole(options) {
  const context = await countingContext(options);
  return { context, page: await openPage(context) };
}

const calls = (page, action) => page.evaluate((a) => window.__calls.filter((c) => c === a).length, action);

async function startLogin(page) {
  await page.locator('#btnStartLogin').click();
  await waitText(page, '#userCode', CODE);
  return page.locator('#userCode').textContent();
}

// Starts with the start answer given by `doc` (the stand-in prints it), the
// pending marker written as the real tool would.
async function startWith(page, doc) {
  override(OPEN, 'start', JSON.stringify({ ok: true, verify_url: `${OPEN.url}/demo/approve?code=QRST-1234`, user_code: 'QRST-1234', ...doc }));
  await pendingOnStart(page, OPEN);
  await page.locator('#btnStartLogin').click();
  await waitText(page, '#userCode', 'QRST-1234');
  await waitText(page, '#pillText', 'Signing in');
}

// The next poll goes out `sec` seconds after the last answer: not a second
// earlier, and by then. Waits for its answer.
async function expectPollAfter(page, sec, why) {
  const before = await calls(page, 'poll');
  await page.clock.runFor(sec * 1000 - 1000);
  assert.equal(await calls(page, 'poll'), before, `${why}: no poll before ${sec} s`);
  const answered = page.waitForResponse((r) => r.url().includes('action=poll'));
  await page.clock.runFor(1000);
  await answered;
  assert.equal(await calls(page, 'poll'), before + 1, `${why}: one poll at ${sec} s`);
}

async function expectNoPollFor(page, sec, why) {
  const before = await calls(page, 'poll');
  await page.clock.runFor(sec * 1000);
  assert.equal(await calls(page, 'poll'), before, why);
}

// Holds every request of one action until release() is called.
async function hold(page, action) {
  let release;
  const gate = new Promise((resolve) => { release = resolve; });
  await page.route((url) => url.searchParams.get('action') === action, async (route) => {
    await gate;
    await route.continue();
  });
  return () => release();
}

test('a failed login stays ended, even when the tool leaves its pending marker; Start resumes', async () => {
  const failures = [
    { error: 'access_denied', detail: 'denied on the approval page', note: 'Login failed: the login was denied on the approval page (denied on the approval page).' },
    { error: 'expired_token', detail: 'the code expired', note: 'Login failed: the code expired before it was approved (the code expired).' },
    { error: 'server_error', note: 'Login failed: the login service had an error.' },
  ];
  for (const f of failures) {
    resetNode(OPEN);
    const { context, page } = await openConsole();
    await startLogin(page);
    // The override answers without touching the marker: status stays pending.
    override(OPEN, 'poll', JSON.stringify({ ok: false, ...f }));
    await expectPollAfter(page, 5, f.error);
    await waitText(page, '#flowNote', f.note);
    await page.waitForFunction(() => window.__calls.filter((c) => c === 'status').length >= 3);
    // The node still reports the marker; the page knows the login ended.
    await waitText(page, '#pillText', 'Not Connected');
    assert.equal(await isShown(page, '#stepIdle'), true, f.error);
    assert.equal(await page.locator('#btnStartLogin').isDisabled(), false, `${f.error}: Start offered`);
    await expectNoPollFor(page, 30, `${f.error}: no poll after the end`);
    assert.equal(await isShown(page, '#stepActive'), false, f.error);

    clearOverride(OPEN, 'poll');
    await page.locator('#btnStartLogin').click();
    await page.waitForFunction(() => document.getElementById('stepActive').classList.contains('on'));
    await expectPollAfter(page, 5, `${f.error}: polling again after Start`);
    await context.close();
  }
});

test('a double click sends one start, for Start and for Re-login', async () => {
  for (const button of ['#btnStartLogin', '#btnRelogin']) {
    resetNode(OPEN);
    if (button === '#btnRelogin') writeCreds(OPEN, { org_id: 'org-old' });
    const { context, page } = await openConsole();
    await page.locator(button).waitFor({ state: 'visible' });
    const release = await hold(page, 'start');
    await page.locator(button).dblclick();
    assert.equal(await page.locator('#btnStartLogin').isDisabled(), true, `${button}: Start off in flight`);
    assert.equal(await page.locator('#btnRelogin').isDisabled(), true, `${button}: Re-login off in flight`);
    release();
    await page.waitForFunction(() => document.getElementById('stepActive').classList.contains('on'));
    await waitText(page, '#userCode', CODE);
    assert.equal(await calls(page, 'start'), 1, button);
    assert.equal(await page.locator('#btnRelogin').isDisabled(), false, `${button}: Re-login back`);
    await context.close();
  }
});

test('a poll error goes away at the next answer that says pending', async () => {
  const pendingAnswers = [
    { why: 'pending document', text: null },
    { why: 'authorization_pending', text: '{"ok":false,"error":"authorization_pending"}' },
  ];
  for (const a of pendingAnswers) {
    resetNode(OPEN);
    const { context, page } = await openConsole();
    await startLogin(page);
    override(OPEN, 'poll', 'Traceback: something broke');
    await expectPollAfter(page, 5, a.why);
    await waitText(page, '#flowNote', 'Poll error: the login tool could not be asked about the login (login CLI produced no JSON).');
    if (a.text) override(OPEN, 'poll', a.text); else clearOverride(OPEN, 'poll');
    await expectPollAfter(page, 5, a.why);
    await waitText(page, '#flowNote', '');
    assert.equal(await isShown(page, '#flowNote'), false, a.why);
    assert.equal(await isShown(page, '#stepActive'), true, a.why);
    await waitText(page, '#pollLabel', a.text ? 'Still waiting for approval' : 'Waiting for approval');
    await context.close();
  }
});

test('no poll is sent while one is in flight', async () => {
  const { context, page } = await openConsole();
  await startLogin(page);
  const release = await hold(page, 'poll');
  await page.clock.runFor(5000);
  await page.waitForFunction(() => window.__calls.includes('poll'));
  await expectNoPollFor(page, 60, 'a slow tool gets no second poll');
  const answered = page.waitForResponse((r) => r.url().includes('action=poll'));
  release();
  await answered;
  // The page has taken the answer once the slow-poll label is gone.
  await waitText(page, '#pollLabel', /^(Still waiting|Waiting) for approval$/);
  await expectPollAfter(page, 5, 'the next poll one interval after the slow answer');
  await context.close();
});

test('the pace follows the tool: interval of the start and of pending answers, slow_down, authorization_pending', async () => {
  const { context, page } = await openConsole();
  await startWith(page, { interval: 12 });
  override(OPEN, 'poll', '{"ok":true,"state":"pending","interval":7}');
  await expectPollAfter(page, 12, 'the start document\'s interval');
  override(OPEN, 'poll', '{"ok":false,"error":"slow_down"}');
  await expectPollAfter(page, 7, 'the pending document\'s interval');
  await waitText(page, '#flowNote', 'The login service asked for a slower pace: checking every 12 s.');
  assert.doesNotMatch(await page.locator('#flowNote').getAttribute('class'), /\berr\b/);
  await expectPollAfter(page, 12, 'slow_down adds 5 s');
  override(OPEN, 'poll', '{"ok":false,"error":"authorization_pending"}');
  await expectPollAfter(page, 17, 'a second slow_down adds 5 s more');
  assert.equal(await isShown(page, '#stepActive'), true, 'authorization_pending is no end');
  await waitText(page, '#pollLabel', 'Still waiting for approval');
  override(OPEN, 'poll', '{"ok":true,"state":"pending","interval":2}');
  await expectPollAfter(page, 17, 'the pace holds after authorization_pending');
  await expectPollAfter(page, 15, 'never under 5 s, slow_down kept on top');
  await context.close();

  // A start document asking for less than 5 s still gets 5 s.
  resetNode(OPEN);
  const second = await openConsole();
  await startWith(second.page, { interval: 1 });
  await expectPollAfter(second.page, 5, 'interval 1 in the start document');
  await second.context.close();
});

test('the countdown runs from expires_in; at zero polling stops and the console says so', async () => {
  const { context, page } = await openConsole();
  await startWith(page, { expires_in: 12, interval: 5 });
  await waitText(page, '#flowExpiry', 'Code expires in 0:12');
  await page.clock.runFor(1000);
  await waitText(page, '#flowExpiry', 'Code expires in 0:11');
  await expectPollAfter(page, 4, 'polling while the code lives');
  await page.clock.runFor(7000);
  await waitText(page, '#flowNote', 'The code has expired. Start a new login.');
  assert.match(await page.locator('#flowNote').getAttribute('class'), /\berr\b/);
  assert.equal(await isShown(page, '#stepIdle'), true);
  assert.equal(await page.locator('#btnStartLogin').isDisabled(), false);
  await expectNoPollFor(page, 30, 'no poll after expiry');
  assert.equal(await page.evaluate((k) => window.localStorage.getItem(k), FLOW_KEY), null, 'stored flow dropped');
  await context.close();
});

test('a reload or a second tab shows the started code again', async () => {
  const { context, page } = await openConsole();
  const code = await startLogin(page);
  const url = `${OPEN.url}/demo/approve?code=${code}`;
  await page.clock.runFor(60000);
  const pages = [await page.reload().then(() => page), await openPage(context, { clock: false })];
  for (const p of pages) {
    await waitText(p, '#userCode', code);
    await waitText(p, '#verifyUrl', url);
    await waitText(p, '#flowExpiry', /^Code expires in 1[45]:[0-5][0-9]$/);
    assert.equal(await isShown(p, '#qrCode'), true);
    assert.equal(await p.locator('#btnStartLogin').isDisabled(), true);
  }
  // Polling resumes on both, one interval after each showed the code; the
  // clock they share runs once for both.
  await page.clock.runFor(4000);
  for (const p of pages) assert.equal(await calls(p, 'poll'), 0, 'no poll before 5 s');
  await page.clock.runFor(1000);
  for (const p of pages) await p.waitForFunction(() => window.__calls.includes('poll'));
  await context.close();
});

test('a pending login whose code is not known here is said plainly, with Cancel and Start', async () => {
  const stored = [
    { why: 'nothing stored', value: null },
    { why: 'stored code expired', value: { code: 'OLDC-0000', url: 'http://127.0.0.1/x', expires_at: 1000, interval: 5 } },
    { why: 'stored text unreadable', value: '{not json' },
  ];
  for (const s of stored) {
    resetNode(OPEN);
    const first = await openConsole();
    await startLogin(first.page);
    await first.context.close();

    const context = await countingContext();
    if (s.value !== null) {
      await context.addInitScript(([k, v]) => window.localStorage.setItem(k, v),
        [FLOW_KEY, typeof s.value === 'string' ? s.value : JSON.stringify(s.value)]);
    }
    const page = await openPage(context);
    await waitText(page, '#flowNote', 'A login is pending on this node, but its code is not known in this browser. ' +
      'Cancel it, or start a new login.');
    assert.equal(await isShown(page, '#userCode'), false, s.why);
    assert.equal(await isShown(page, '#btnCopyOpen'), false, s.why);
    assert.equal(await isShown(page, '#btnCancel'), true, s.why);
    assert.equal(await page.locator('#btnStartLogin').isDisabled(), false, s.why);

    // Replacing a login whose code is not known here is asked first.
    await page.locator('#btnStartLogin').click();
    await page.locator('#btnReplace').click();
    await page.locator('#userCode').waitFor({ state: 'visible' });
    await waitText(page, '#userCode', CODE);
    await waitText(page, '#flowNote', '');
    await context.close();
  }
});

test('the address is a link only for http: and https:, and only those get a QR code', async () => {
  const cases = [
    { url: `${OPEN.url}/demo/approve?code=QRST-1234`, link: true },
    { url: 'https://login.example.invalid/device', link: true },
    { url: 'javascript:alert(1)', link: false },
    { url: 'data:text/html,hello', link: false },
    { url: 'ftp://127.0.0.1/device', link: false },
    { url: '/demo/approve?code=QRST-1234', link: false },
  ];
  for (const c of cases) {
    resetNode(OPEN);
    const { context, page } = await openConsole();
    await startWith(page, { verify_url: c.url });
    await waitText(page, '#verifyUrl', c.url);
    const a = page.locator('#verifyUrl a');
    assert.equal(await a.count(), c.link ? 1 : 0, c.url);
    if (c.link) {
      assert.equal(await a.getAttribute('href'), new URL(c.url).href, c.url);
      assert.equal(await a.getAttribute('rel'), 'noopener noreferrer', c.url);
      assert.equal(await a.getAttribute('target'), '_blank', c.url);
    }
    assert.equal(await isShown(page, '#qrCode'), c.link, `${c.url}: QR code`);
    await context.close();
  }
});

test('the QR code drawn in the page decodes back to the address, in both themes', async () => {
  const long = 'https://login.example.invalid/device?code=QRST-1234&state=';
  const urls = [
    `${OPEN.url}/demo/approve?code=QRST-1234`,
    long + 'a1B2c3D4'.repeat(40),
    long + 'x'.repeat(1000 - long.length),
  ];
  assert.equal(urls[2].length, 1000);
  for (const url of urls) for (const scheme of ['light', 'dark']) {
    resetNode(OPEN);
    const { context, page } = await openConsole({ colorScheme: scheme });
    assert.equal(await page.evaluate(() => document.documentElement.getAttribute('data-theme')), scheme);
    await startWith(page, { verify_url: url });
    await page.locator('#qrCode').waitFor({ state: 'visible' });
    const img = await page.evaluate(() => {
      const c = document.getElementById('qrCode');
      const d = c.getContext('2d').getImageData(0, 0, c.width, c.height);
      return { width: d.width, height: d.height, data: Array.from(d.data) };
    });
    const found = jsQR(Uint8ClampedArray.from(img.data), img.width, img.height);
    assert.ok(found, `${url.slice(0, 60)} (${url.length} characters, ${scheme}): a QR code is found`);
    assert.equal(found.data, url);
    await context.close();
  }
});
