// The demo around the console: the index page on a node with a password,
// the host page's frame address, the stand-in's code lifetime, and axe on
// the approval stand-in and the host page.
import { test, before, after, beforeEach } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { execFileSync } from 'node:child_process';
import { fileURLToPath } from 'node:url';
import { OPEN, LOCKED, launchBrowser, newContext, resetNode, waitText, axeViolations } from './helpers.mjs';

const ROOT = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
let browser;

before(async () => { browser = await launchBrowser(); });
after(async () => { await browser?.close(); });
beforeEach(() => { resetNode(OPEN); resetNode(LOCKED); });

test('on a node with a password the index page asks for it instead of linking to a 401', async () => {
  const context = await newContext(browser);
  const page = await context.newPage();
  await page.goto(LOCKED.url + '/');
  await page.locator('#pwd').waitFor({ state: 'visible' });
  assert.equal(await page.locator('#linkConsole').isVisible(), false, 'no link to a refusal');
  assert.equal(await page.locator('#pwdRefused').isVisible(), false);

  await page.locator('#pwd').fill('wrong-one');
  await Promise.all([page.waitForNavigation(), page.locator('#pwd').press('Enter')]);
  await page.locator('#pwdRefused').waitFor({ state: 'visible' });

  await page.locator('#pwd').fill(LOCKED.password);
  await Promise.all([page.waitForNavigation(), page.locator('#pwd').press('Enter')]);
  await Promise.all([page.waitForNavigation(), page.locator('#linkConsole').click()]);
  await waitText(page, '#sessionNote', 'No session on this node yet. Start a device login below.');
  await context.close();

  // A node without a password shows the links at once.
  const open = await newContext(browser);
  const p = await open.newPage();
  await p.goto(OPEN.url + '/');
  await p.locator('#linkConsole').waitFor({ state: 'visible' });
  assert.equal(await p.locator('#pwdForm').isVisible(), false);
  await open.close();
});

test('the host page puts its theme in the frame\'s address', async () => {
  for (const theme of ['light', 'dark']) {
    const context = await newContext(browser);
    const page = await context.newPage();
    await page.goto(`${OPEN.url}/host.html?theme=${theme}`);
    const src = new URL(await page.locator('#plugin').getAttribute('src'), OPEN.url);
    assert.equal(src.searchParams.get('theme'), theme);
    await context.close();
  }
});

test('the stand-in\'s codes live DEMO_CODE_LIFETIME seconds, 900 when unset or not a number; the demo prints that same value', () => {
  const cases = [['60', 60], ['', 900], ['abc', 900], ['0', 900], ['-5', 900], ['1.5', 900], [undefined, 900]];
  for (const [value, want] of cases) {
    const data = fs.mkdtempSync(path.join(os.tmpdir(), 'lv-demo-'));
    const env = { PATH: process.env.PATH, LUMIVANE_DEMO_DATA: data, LUMIVANE_DEMO_PORT: '8080' };
    if (value !== undefined) env.DEMO_CODE_LIFETIME = value;
    const out = execFileSync(path.join(ROOT, 'demo/tools/lumivane-login-standin'), ['--start'], { env, encoding: 'utf8' });
    assert.equal(JSON.parse(out).expires_in, want, String(value));
    // scripts/demo.sh prints the lifetime that demo/host.sh exports.
    const printed = execFileSync('bash', ['-c', 'source "$1"; demo_code_lifetime "${DEMO_CODE_LIFETIME:-}"', 'bash',
      path.join(ROOT, 'demo/host.sh')], { env, encoding: 'utf8' });
    assert.equal(Number(printed), want, `printed for ${value}`);
    fs.rmSync(data, { recursive: true, force: true });
  }
});

test('axe finds no violation on the approval stand-in and the host page, in both themes', async () => {
  const hostReady = (page) => page.frameLocator('#plugin').locator('#pillText').filter({ hasText: 'Not Connected' }).waitFor();
  const pages = [
    { name: 'approval page', url: `${OPEN.url}/demo/approve?code=ABCD-1234`, ready: (page) => page.locator('#approve').waitFor() },
    { name: 'host page, light', url: `${OPEN.url}/host.html?theme=light`, ready: hostReady },
    { name: 'host page, dark', url: `${OPEN.url}/host.html?theme=dark`, ready: hostReady },
    { name: 'index page', url: `${OPEN.url}/`, ready: (page) => page.locator('#linkConsole').waitFor() },
    { name: 'index page asking for the password', url: `${LOCKED.url}/`, ready: (page) => page.locator('#pwd').waitFor() },
  ];
  for (const p of pages) {
    const context = await newContext(browser);
    const page = await context.newPage();
    await page.goto(p.url);
    await p.ready(page);
    assert.deepEqual(await axeViolations(page), [], p.name);
    await context.close();
  }
});
