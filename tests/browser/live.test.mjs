// A console left open, and every failure with its reason: re-reads while
// idle or signed in, the token's expiry, a node that stops answering, an
// unanswered Refresh or Start, the login tool's own failures, a start the
// node never shows, one stored flow for both pages of a node, the code
// announced, focus after Refresh, a refused password, and the small
// things. One row per path; real lighttpd, the real program, the demo's
// stand-in tools.
import { test, before, after, beforeEach } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { spawnSync } from 'node:child_process';
import { fileURLToPath } from 'node:url';
import {
  OPEN, LOCKED, launchBrowser, newContext, resetNode, writeCreds, override, waitText, waitFor, isShown, nowSec,
  pauseClock, axeViolations,
} from './helpers.mjs';

const ROOT = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
const CONSOLE = OPEN.url + '/plugin_lumivane_login';
const CODE = /^[A-Z]{4}-[0-9]{4}$/;
const ELLIPSIS = '\u2026';
const READY = /^(Connected|Not Connected|Signing in|Expired)$/;
const REPLACED = 'This code was replaced by a login started elsewhere, and no longer works.';
const MARKER = path.join(OPEN.data, 'login-pending.json');

// Another browser's start in the same second as this page's: the node's
// marker names another code with the very same start time.
function startedElsewhereSameSecond() {
  const mine = JSON.parse(fs.readFileSync(MARKER, 'utf8'));
  fs.writeFileSync(MARKER, JSON.stringify({ created: mine.created, user_code: 'ZZZZ-0000' }) + '\n');
}
let browser;

before(async () => { browser = await launchBrowser(); });
after(async () => { await browser?.close(); });
beforeEach(() => resetNode(OPEN));

// A page whose plugin calls are counted in window.__calls as they are sent.
async function openConsole({ url = CONSOLE, clock = true, ready = READY, options = {} } = {}) {
  const context = await newContext(browser, options);
  await context.addInitScript(() => {
    window.__calls = [];
    const fetch = window.fetch.bind(window);
    window.fetch = (u, init) => {
      window.__calls.push(new URL(u, window.location.href).searchParams.get('action'));
      return fetch(u, init);
    };
  });
  const page = await context.newPage();
  if (clock) await pauseClock(page);
  await page.goto(url);
  if (ready) await waitText(page, '#pillText', ready);
  return { context, page };
}

const calls = (page, action) => page.evaluate((a) => window.__calls.filter((c) => c === a).length, action);
// One matcher per action, so that unroute finds the route it removes.
const ACTION = Object.fromEntries(['status', 'start', 'refresh'].map((name) =>
  [name, (url) => url.searchParams.get('action') === name]));
const isAction = (name) => ACTION[name];

// Answers one action with the node's real answer, its fields changed.
function patchAnswer(page, action, fields) {
  return page.route(isAction(action), async (route) => {
    const real = await route.fetch();
    const doc = { ...(await real.json()), ...fields };
    await route.fulfill({ response: real, body: JSON.stringify(doc) });
  });
}

const ROWS = [
  {
    name: 'signed in and idle: the status is read again while the page stays open',
    run: async () => {
      writeCreds(OPEN, {});
      const { context, page } = await openConsole({ ready: 'Connected' });
      const before = await calls(page, 'status');
      await page.clock.runFor(61_000);
      await waitFor(page, (n) => window.__calls.filter((c) => c === 'status').length > n, before);
      await context.close();
    },
  },
  {
    name: 'a token that runs out reads expired at its expiry, without a press',
    run: async () => {
      // Long enough for a busy machine to show it valid first; the wait
      // for "Expired" only bounds from above, well past the expiry.
      writeCreds(OPEN, { expires_at: nowSec() + 15 });
      const { context, page } = await openConsole({ clock: false, ready: 'Connected' });
      await page.locator('#pillText').filter({ hasText: /^Expired$/ }).waitFor({ timeout: 60_000 });
      await waitText(page, '#vToken', /^expired/);
      await context.close();
    },
  },
  {
    name: 'a node that stops answering: unknown within one re-read, back by itself',
    run: async () => {
      writeCreds(OPEN, {});
      const { context, page } = await openConsole({ ready: 'Connected' });
      await page.route(isAction('status'), (route) => route.abort());
      await page.clock.runFor(61_000);
      await waitText(page, '#pillText', 'Unknown');
      await page.unroute(isAction('status'));
      await page.clock.runFor(3_000);
      await waitText(page, '#pillText', 'Connected');
      await context.close();
    },
  },
  {
    name: 'Refresh on an unreachable node: unknown, retried, and the note gone once it answers',
    run: async () => {
      writeCreds(OPEN, {});
      const { context, page } = await openConsole({ ready: 'Connected' });
      await page.route(isAction('refresh'), (route) => route.abort());
      await page.route(isAction('status'), (route) => route.abort());
      await page.locator('#btnRefresh').click();
      await waitText(page, '#pillText', 'Unknown');
      await waitText(page, '#sessionNote', 'Refresh failed: can\'t reach the node. Retrying' + ELLIPSIS);
      await page.unroute(isAction('status'));
      await page.clock.runFor(3_000);
      await waitText(page, '#pillText', 'Connected');
      await waitText(page, '#sessionNote', /^Signed in as /);
      await context.close();
    },
  },
  {
    name: 'Start on an unreachable node: unknown, and no start note left once it answers',
    run: async () => {
      const { context, page } = await openConsole({ ready: 'Not Connected' });
      await page.route(isAction('start'), (route) => route.abort());
      await page.route(isAction('status'), (route) => route.abort());
      await page.locator('#btnStartLogin').click();
      await waitText(page, '#pillText', 'Unknown');
      await page.unroute(isAction('status'));
      await page.clock.runFor(3_000);
      await waitText(page, '#pillText', 'Not Connected');
      await waitText(page, '#sessionNote', /^No session on this node yet\./);
      await context.close();
    },
  },
  {
    name: 'the login tool\'s failing status check is shown with its error',
    run: async () => {
      override(OPEN, 'status', '{"ok":false,"error":"network_error","detail":"auth host down"}');
      const { context, page } = await openConsole({ ready: 'Not Connected' });
      await waitText(page, '#sessionNote',
        'The login tool\'s status check failed: the login tool could not reach the login service (auth host down).');
      await waitText(page, '#tokLine', /^Login CLI failing/);
      await context.close();
    },
  },
  {
    name: 'a login tool that cannot be started is not called "not installed"',
    run: async () => {
      const { context, page } = await openConsole({ clock: false, ready: false });
      await patchAnswer(page, 'status', { cli_present: false, cli_error: 'cli_spawn_failed' });
      await page.reload();
      // The command the node is set to run, as its status names it.
      await waitText(page, '#sessionNote', /^The login tool this node is set to run \(\/[^()]*\/lumivane-login-standin\) is there but cannot be started: .* Fix LUMIVANE_LOGIN_BIN in the host's configuration and restart the host; reloading this page changes nothing\.$/);
      await waitText(page, '#tokLine', 'Login CLI cannot be started');
      assert.equal(await page.locator('#btnStartLogin').isDisabled(), true);
      await context.close();
    },
  },
  {
    name: 'a start whose pending marker the node does not show says so',
    run: async () => {
      // The tool answers with a code but leaves no marker where the node looks.
      override(OPEN, 'start', JSON.stringify({
        ok: true, flow: 'device_code', verify_url: OPEN.url + '/demo/approve?code=WXYZ-0000', user_code: 'WXYZ-0000',
        expires_in: 900, interval: 5,
      }));
      const { context, page } = await openConsole({ ready: 'Not Connected' });
      await page.locator('#btnStartLogin').click();
      await waitText(page, '#flowNote', 'The node shows no pending login for this code; check LUMIVANE_PENDING_PATH.');
      await context.close();
    },
  },
  {
    name: 'one node, one stored flow: the code started on the node\'s page is known in the host page',
    run: async () => {
      const { context, page } = await openConsole({ ready: 'Not Connected' });
      await page.locator('#btnStartLogin').click();
      await waitText(page, '#userCode', CODE);
      const code = await page.locator('#userCode').textContent();
      const host = await context.newPage();
      await host.goto(OPEN.url + '/host.html?node=demo');
      const frame = host.frameLocator('#plugin');
      await frame.locator('#userCode').filter({ hasText: code }).waitFor({ timeout: 10000 });
      assert.equal(await frame.locator('#flowKnown').isVisible(), true);
      await context.close();
    },
  },
  {
    name: 'the code is announced, and Copy Code & Open has a description',
    run: async () => {
      const { context, page } = await openConsole({ ready: 'Not Connected' });
      await page.locator('#btnStartLogin').click();
      await waitText(page, '#userCode', CODE);
      const code = await page.locator('#userCode').textContent();
      await waitText(page, '#codeAnnounce', `Your code is ${code.split('').join(' ')}.`);
      assert.equal(await page.locator('#codeAnnounce').getAttribute('aria-live'), 'polite');
      const description = await page.locator('#btnCopyOpen').evaluate((b) => (b.getAttribute('aria-describedby') || '')
        .split(' ').map((id) => document.getElementById(id)?.textContent || '').join(' ').trim());
      assert.equal(description, 'Copies the code and opens the approval page in a new tab.');
      await context.close();
    },
  },
  {
    name: 'Refresh Token Now keeps the focus on the button',
    run: async () => {
      writeCreds(OPEN, {});
      const { context, page } = await openConsole({ clock: false, ready: 'Connected' });
      await page.locator('#btnRefresh').focus();
      await page.keyboard.press('Enter');
      await waitText(page, '#sessionNote', /^Token re-read\./);
      assert.equal(await page.evaluate(() => document.activeElement.id), 'btnRefresh');
      await context.close();
    },
  },
  {
    name: 'a refused password: no spinner beside the note, and the status not asked again',
    run: async () => {
      // The node's password changed after the page got its own.
      const { context, page } = await openConsole({ ready: false });
      await page.route(isAction('status'), (route) => route.fulfill({
        status: 401, contentType: 'application/json', body: '{"ok":false,"error":"invalid node password"}\n',
      }));
      await page.reload();
      await waitText(page, '#pillText', 'Unknown');
      await waitText(page, '#sessionNote', /^Error: the node refused this page's password/);
      assert.equal(await isShown(page, '#stepLoading'), false, 'no spinner');
      const asked = await calls(page, 'status');
      await page.clock.runFor(180_000);
      assert.equal(await calls(page, 'status'), asked, 'asked again after a refusal');
      await context.close();
    },
  },
  {
    name: 'a login started elsewhere in the same second: noticed within one poll',
    run: async () => {
      const { context, page } = await openConsole({ ready: 'Not Connected' });
      const told = page.waitForResponse((r) => r.url().includes('action=status'));
      await page.locator('#btnStartLogin').click();
      await waitText(page, '#userCode', CODE);
      await told;
      startedElsewhereSameSecond();
      const polls = await calls(page, 'poll');
      await page.clock.runFor(5_000);
      await waitFor(page, (n) => window.__calls.filter((c) => c === 'poll').length > n, polls);
      await waitText(page, '#flowNote', REPLACED);
      await waitText(page, '#pillText', 'Not Connected');
      await context.close();
    },
  },
  {
    name: 'a refused cancel says the tool\'s own reason, once',
    run: async () => {
      override(OPEN, 'cancel', '{"ok":false,"error":"profile_locked","detail":"another login holds the profile"}');
      const { context, page } = await openConsole({ ready: 'Not Connected' });
      await page.locator('#btnStartLogin').click();
      await waitText(page, '#userCode', CODE);
      await page.locator('#btnCancel').click();
      await waitText(page, '#flowNote',
        'Cancel failed: the login tool did not cancel the login (profile_locked: another login holds the profile).');
      await waitText(page, '#userCode', CODE);
      await context.close();
    },
  },
  {
    name: 'a revoked refresh token reads as such and says to sign in again',
    run: async () => {
      writeCreds(OPEN, {});
      override(OPEN, 'local', '{"ok":false,"error":"invalid_grant","detail":"refresh token revoked by the provider"}');
      const { context, page } = await openConsole({ ready: 'Connected' });
      await page.locator('#btnRefresh').click();
      await waitText(page, '#sessionNote', 'Refresh failed: the login service no longer accepts this node\'s refresh token ' +
        '(refresh token revoked by the provider). Sign in again with Re-login.');
      await context.close();
    },
  },
  {
    name: 'a signed-in load moves no focus to the note',
    run: async () => {
      writeCreds(OPEN, {});
      const { context, page } = await openConsole({ clock: false, ready: 'Connected' });
      await waitText(page, '#sessionNote', /^Signed in as /);
      assert.notEqual(await page.evaluate(() => document.activeElement.id), 'sessionNote');
      await context.close();
    },
  },
  {
    name: 'a re-login shows one filled button: Copy Code & Open, not Refresh too',
    run: async () => {
      writeCreds(OPEN, {});
      const { context, page } = await openConsole({ ready: 'Connected' });
      await page.locator('#btnRelogin').click();
      await waitText(page, '#userCode', CODE);
      assert.equal(await page.locator('#btnRefresh').getAttribute('class'), 'btn ghost');
      await context.close();
    },
  },
  {
    name: 'the host frame\'s theme is not remembered for the console opened on its own',
    run: async () => {
      const context = await newContext(browser, { colorScheme: 'light' });
      const host = await context.newPage();
      await host.goto(OPEN.url + '/host.html?node=demo');
      await host.frameLocator('#plugin').locator('#pillText').filter({ hasText: READY }).waitFor({ timeout: 10000 });
      const page = await context.newPage();
      await page.goto(CONSOLE);
      await waitText(page, '#pillText', READY);
      assert.equal(await page.evaluate(() => document.documentElement.getAttribute('data-theme')), 'light');
      await context.close();
    },
  },
  {
    name: 'the signed-out note is not styled as a success',
    run: async () => {
      const { context, page } = await openConsole({ clock: false, ready: 'Not Connected' });
      await waitText(page, '#sessionNote', /^No session on this node yet\./);
      assert.equal((await page.locator('#sessionNote').getAttribute('class')).split(' ').includes('ok'), false);
      await context.close();
    },
  },
];

for (const row of ROWS) test(row.name, row.run);

test('the demo\'s approval page keeps its code input inside the card', async () => {
  const context = await newContext(browser);
  const page = await context.newPage();
  await page.goto(`${OPEN.url}/demo/approve?code=ABCD-1234`);
  const input = await page.locator('#code').boundingBox();
  // The card is the page's main element; its content ends at its padding.
  const card = await page.locator('main').evaluate((el) => ({
    right: el.getBoundingClientRect().right - parseFloat(getComputedStyle(el).paddingRight),
  }));
  assert.ok(input.x + input.width <= card.right + 0.5, `input ends at ${input.x + input.width}, the card's content at ${card.right}`);
  await context.close();
});

test('scripts/demo.sh on a port it cannot have: said plainly, no data folder, no "demo stopped"', () => {
  const demoDir = path.join(ROOT, 'build/demo');
  const listing = () => (fs.existsSync(demoDir) ? fs.readdirSync(demoDir).sort() : []);
  const busy = new URL(OPEN.url).port;
  const cases = [
    { port: busy, said: `port ${busy} is already in use` },
    { port: 'eighty', said: 'eighty is not a port number' },
    { port: '99999', said: '99999 is not a port number' },
  ];
  for (const c of cases) {
    const before = listing();
    const r = spawnSync('bash', [path.join(ROOT, 'scripts/demo.sh'), c.port], { encoding: 'utf8', timeout: 60_000 });
    const told = `demo.sh ${c.port}: exit ${r.status}\nstdout: ${r.stdout}\nstderr: ${r.stderr}`;
    assert.notEqual(r.status, 0, told);
    assert.ok(r.stderr.includes(c.said), told);
    assert.ok(!r.stdout.includes('demo stopped'), told);
    assert.deepEqual(listing(), before, told);
  }
});

test('axe finds no violation in the new states, in both themes', async () => {
  const states = [
    {
      name: 'tool status failure',
      setup: () => override(OPEN, 'status', '{"ok":false,"error":"profile_locked"}'),
      ready: (page) => waitText(page, '#sessionNote', /^The login tool's status check failed/),
    },
    {
      name: 'cannot start',
      patch: { cli_present: false, cli_error: 'cli_spawn_failed' },
      ready: (page) => waitText(page, '#tokLine', 'Login CLI cannot be started'),
    },
    {
      name: 'replaced',
      act: async (page) => {
        await waitText(page, '#pillText', 'Not Connected');
        await page.locator('#btnStartLogin').click();
        await waitText(page, '#userCode', CODE);
        startedElsewhereSameSecond();
      },
      ready: (page) => page.locator('#flowNote').filter({ hasText: REPLACED }).waitFor({ timeout: 30_000 }),
    },
    {
      name: 'the 401 page of a node with a password',
      url: LOCKED.url + '/plugin_lumivane_login',
      ready: (page) => waitText(page, 'h2', 'Password needed'),
    },
    {
      name: 'unknown after a failed refresh',
      setup: () => writeCreds(OPEN, {}),
      act: async (page) => {
        await waitText(page, '#pillText', 'Connected');
        await page.route(isAction('refresh'), (route) => route.abort());
        await page.route(isAction('status'), (route) => route.abort());
        await page.locator('#btnRefresh').click();
      },
      ready: (page) => waitText(page, '#sessionNote', /^Refresh failed: can't reach the node/),
    },
  ];
  for (const theme of ['light', 'dark']) {
    for (const s of states) {
      resetNode(OPEN);
      if (s.setup) s.setup();
      const context = await newContext(browser, { colorScheme: theme });
      const page = await context.newPage();
      if (s.patch) await patchAnswer(page, 'status', s.patch);
      await page.goto(s.url || CONSOLE + '?theme=' + theme);
      if (s.act) await s.act(page);
      await s.ready(page);
      const found = await axeViolations(page);
      assert.deepEqual(found, [], `${s.name}, ${theme}`);
      await context.close();
    }
  }
});
