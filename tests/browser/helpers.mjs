// Shared by the browser tests: the two hosts that scripts/test-browser.sh
// started, their data folders, Debian's Chromium, and condition waits.
import fs from 'node:fs';
import path from 'node:path';
import { createRequire } from 'node:module';
import assert from 'node:assert/strict';
import { chromium } from 'playwright-core';

function required(name) {
  const v = process.env[name];
  if (!v) throw new Error(`${name} is not set: run the browser tests through scripts/test-browser.sh`);
  return v;
}

// A node without a password, and one with LV_PASSWORD.
export const OPEN = { url: required('LV_OPEN_URL'), data: required('LV_OPEN_DATA') };
export const LOCKED = { url: required('LV_PW_URL'), data: required('LV_PW_DATA'), password: required('LV_PASSWORD') };

const CHROMIUM_ARGS = [
  '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync',
];

// `extraArgs` adds Chromium switches (a host-resolver rule, for one).
export function launchBrowser(extraArgs = []) {
  return chromium.launch({ executablePath: '/usr/bin/chromium', headless: true, args: [...CHROMIUM_ARGS, ...extraArgs] });
}

// A fresh context whose requests may only reach this machine: anything
// else is aborted, so a test can never talk to the outside.
export async function newContext(browser, options = {}) {
  const context = await browser.newContext(options);
  await context.route((url) => url.hostname !== '127.0.0.1' && url.hostname !== 'localhost',
    (route) => route.abort());
  return context;
}

// Puts a node back to "nothing signed in, nothing pending, well-behaved
// tools". The run/ folder (lighttpd's own files) stays.
export function resetNode(node) {
  for (const name of ['auth.json', 'auth.json.tmp', 'login-pending.json', 'approval']) {
    fs.rmSync(path.join(node.data, name), { force: true });
  }
  for (const dir of ['vantorel-env', 'override']) {
    fs.rmSync(path.join(node.data, dir), { recursive: true, force: true });
  }
  fs.mkdirSync(path.join(node.data, 'override'), { recursive: true });
}

// Installs Playwright's clock on a page, paused, before the page loads: the
// page's timers then move only when a test runs the clock, however long a
// loaded machine takes between two steps of the test. (An installed clock
// that is not paused also runs in real time.)
export async function pauseClock(page) {
  await page.clock.install();
  await page.clock.pauseAt(Date.now() + 1000);
}

export function nowSec() {
  return Math.floor(Date.now() / 1000);
}

// Writes the credentials file that the real login tool would leave.
export function writeCreds(node, fields) {
  const creds = {
    access_token: 'at-test', refresh_token: 'rt-test', expires_at: nowSec() + 3600, org_id: 'org-test', ...fields,
  };
  fs.writeFileSync(path.join(node.data, 'auth.json'), JSON.stringify(creds) + '\n');
}

// For tests whose start answer comes from an override: leaves the pending
// marker that a login tool writes when a login starts, as the page's start
// request goes out (so the status that follows the start reports pending).
export async function pendingOnStart(page, node) {
  await page.route((url) => url.searchParams.get('action') === 'start', (route) => {
    fs.writeFileSync(path.join(node.data, 'login-pending.json'), JSON.stringify({ created: nowSec() }) + '\n');
    return route.continue();
  });
}

export function readCreds(node) {
  return JSON.parse(fs.readFileSync(path.join(node.data, 'auth.json'), 'utf8'));
}

export function exists(node, name) {
  return fs.existsSync(path.join(node.data, name));
}

// Makes the stand-in login tool (or the token tool, for "local") print
// `text` for one option instead of its own answer, and exit with `exit`.
export function override(node, option, text, exit = 0) {
  fs.writeFileSync(path.join(node.data, 'override', option), text + '\n');
  fs.writeFileSync(path.join(node.data, 'override', option + '.exit'), String(exit) + '\n');
}

// Lets the stand-in answer `option` on its own again.
export function clearOverride(node, option) {
  fs.rmSync(path.join(node.data, 'override', option), { force: true });
  fs.rmSync(path.join(node.data, 'override', option + '.exit'), { force: true });
}

// Records the plugin requests of a page (action name and full URL).
export function recordActions(page) {
  const seen = [];
  page.on('request', (req) => {
    const u = new URL(req.url());
    const action = u.searchParams.get('action');
    if (action) seen.push({ action, url: u, headers: req.headers() });
  });
  return seen;
}

export function count(seen, action) {
  return seen.filter((r) => r.action === action).length;
}

const WAIT_MS = 10000;

function escapeRegExp(s) {
  return s.replace(/[.*+?^${}()|[\]\\]/g, '\\$&');
}

// Waits until the element's whole text is `want` (a string) or matches it
// (a RegExp), shown or not (visibility is asserted separately); on timeout
// the error names what the element showed instead.
export async function waitText(page, selector, want) {
  const pattern = want instanceof RegExp ? want : new RegExp('^' + escapeRegExp(want) + '$');
  try {
    await page.locator(selector).filter({ hasText: pattern }).waitFor({ state: 'attached', timeout: WAIT_MS });
  } catch (err) {
    const got = await page.locator(selector).textContent().catch(() => '(no element)');
    throw new Error(`${selector}: waited for ${pattern}, it shows ${JSON.stringify(got)}`);
  }
}

// Waits for a condition evaluated in the page.
export async function waitFor(page, fn, arg) {
  await page.waitForFunction(fn, arg, { timeout: WAIT_MS });
}

export async function isShown(page, selector) {
  return page.locator(selector).isVisible();
}

// Approves (or denies) the pending code on the demo approval page, the way
// the operator does in the tab that the console opened.
export async function decideOnApprovalPage(page, decision) {
  await page.locator(decision === 'approve' ? '#approve' : '#deny').click();
  await waitText(page, '#result', decision === 'approve' ? /^Approved\./ : /^Denied\./);
}

const AXE = fs.readFileSync(createRequire(import.meta.url).resolve('axe-core/axe.min.js'), 'utf8');

// axe's findings on the page as "rule: target (message)" lines. axe is
// evaluated, not added as a script tag: the console's policy refuses any
// inline script it has no hash for, which is the point of the policy.
export async function axeViolations(page) {
  await page.evaluate(AXE);
  return page.evaluate(async () => {
    const result = await window.axe.run(document);
    return result.violations.flatMap((v) => v.nodes.map((n) =>
      `${v.id}: ${n.target.join(' ')} (${(n.any[0] || n.all[0] || n.none[0] || {}).message || v.help})`));
  });
}

// Walks one way the demo's pages hand a password on (`way.start`, then the
// link `way.link` if any; the console in the host page's frame when
// `way.framed`) and waits for a console that got the password.
export async function expectWorkingConsole(browser, node, way) {
  const context = await newContext(browser);
  const page = await context.newPage();
  const refused = [];
  page.on('response', (r) => { if (r.status() === 401) refused.push(r.url()); });
  await page.goto(node.url + way.start);
  if (way.link) await Promise.all([page.waitForNavigation(), page.locator(way.link).click()]);
  const consoleFrame = way.framed ? page.frameLocator('#plugin') : page;
  const told = `${way.why}: the console did not get the password (401 for ${refused.join(', ') || 'nothing'})`;
  await consoleFrame.locator('#pillText').filter({ hasText: /^Not Connected$/ }).waitFor({ timeout: 10000 })
    .catch(() => assert.fail(told));
  await consoleFrame.locator('#sessionNote').filter({ hasText: /^No session on this node yet\./ })
    .waitFor({ timeout: 10000 })
    .catch(() => assert.fail(told));
  await context.close();
}
