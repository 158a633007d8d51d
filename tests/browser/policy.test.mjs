// The page's Content-Security-Policy in a real browser: the console runs
// whole under it (no report of a blocked script, style or request through
// a device login), and markup injected into the page runs nothing.
import { test, before, after, beforeEach } from 'node:test';
import assert from 'node:assert/strict';
import { OPEN, launchBrowser, newContext, resetNode, waitText, waitFor } from './helpers.mjs';

const CONSOLE = OPEN.url + '/plugin_lumivane_login';
let browser;

before(async () => { browser = await launchBrowser(); });
after(async () => { await browser?.close(); });
beforeEach(() => resetNode(OPEN));

// Every policy violation the page reports, from the moment it starts.
async function watchViolations(context) {
  await context.addInitScript(() => {
    window.violations = [];
    document.addEventListener('securitypolicyviolation', (e) => {
      window.violations.push(`${e.violatedDirective} ${e.blockedURI}`);
    });
  });
}

test('the console runs under its policy: a whole device login reports no violation', async () => {
  const context = await newContext(browser);
  await watchViolations(context);
  const page = await context.newPage();
  const consoleErrors = [];
  page.on('console', (m) => { if (m.type() === 'error') consoleErrors.push(m.text()); });
  const response = await page.goto(CONSOLE);
  const policy = response.headers()['content-security-policy'];
  assert.match(policy, /^default-src 'none'; script-src 'sha256-/);

  await waitText(page, '#pillText', 'Not Connected');
  await page.locator('#btnStartLogin').click();
  await waitText(page, '#userCode', /^[A-Z]{4}-[0-9]{4}$/);
  await waitFor(page, () => !document.getElementById('qrCode').hidden);
  // The palette and the page's own style apply: the body takes --bg.
  const styled = await page.evaluate(() => getComputedStyle(document.body).backgroundColor);
  assert.notEqual(styled, 'rgba(0, 0, 0, 0)');
  await page.locator('#btnCancel').click();
  await waitText(page, '#pillText', 'Not Connected');

  assert.deepEqual(await page.evaluate(() => window.violations), []);
  assert.deepEqual(consoleErrors.filter((t) => /Content Security Policy/i.test(t)), []);
  await context.close();
});

test('markup injected into the page runs no script', async () => {
  const cases = [
    { why: 'an inline script in the served page', markup: '<script>window.injected = "inline";</script>' },
    { why: 'an event handler attribute', markup: '<img src="data:," onload="window.injected = \'handler\'" onerror="window.injected = \'handler\'">' },
    { why: 'a javascript: address', markup: '<iframe src="javascript:parent.injected = \'iframe\'"></iframe>' },
    { why: 'a script from another origin', markup: '<script src="http://localhost:9/x.js"></script>' },
  ];
  for (const c of cases) {
    const context = await newContext(browser);
    await watchViolations(context);
    const page = await context.newPage();
    // As if a value had reached the page as HTML: the served body gets the
    // markup, the served headers (the policy among them) stay as they are.
    await page.route((url) => url.pathname === '/plugin_lumivane_login' && !url.searchParams.has('action'),
      async (route) => {
        const served = await route.fetch();
        const body = (await served.text()).replace('<main id="app">', '<main id="app">' + c.markup);
        await route.fulfill({ response: served, body });
      });
    await page.goto(CONSOLE);
    await waitText(page, '#pillText', 'Not Connected');
    await waitFor(page, () => window.violations.length > 0);
    assert.equal(await page.evaluate(() => window.injected), undefined, c.why);
    await context.close();
  }
});
