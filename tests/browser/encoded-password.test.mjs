// A node whose password holds a space, '+', '&' and a character beyond
// ASCII: the demo's index and host pages, and every browser, pass such a
// password on percent-encoded in the query, and each way must end in a
// working console. The host here is the third one that
// scripts/test-browser.sh starts.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { launchBrowser, newContext, expectWorkingConsole, waitText } from './helpers.mjs';

const NODE = { url: process.env.LV_ENCODED_URL, password: process.env.LV_ENCODED_PASSWORD };
let browser;

before(async () => {
  assert.ok(NODE.url && NODE.password, 'run the browser tests through scripts/test-browser.sh');
  browser = await launchBrowser();
});
after(async () => { await browser?.close(); });

test('the encoded password passes through the query, whole; a cut or unencoded one does not', async () => {
  const pwd = encodeURIComponent(NODE.password);
  const cases = [
    { why: 'encoded', pwd, status: 200 },
    { why: 'lower-case hex digits', pwd: pwd.replace(/%[0-9A-F]{2}/g, (m) => m.toLowerCase()), status: 200 },
    { why: 'unencoded: the & ends the value', pwd: NODE.password, status: 401 },
    { why: 'encoded, one byte short', pwd: pwd.slice(0, -3), status: 401 },
    { why: 'encoded, one byte more', pwd: pwd + 'x', status: 401 },
  ];
  for (const c of cases) {
    const r = await fetch(`${NODE.url}/plugin_lumivane_login?action=status&pwd=${c.pwd}`);
    assert.equal(r.status, c.status, c.why);
  }
});

test('the demo\'s index and host pages hand the password on encoded: each way ends in a working console', async () => {
  const pwd = encodeURIComponent(NODE.password);
  const ways = [
    { why: 'console address', start: `/plugin_lumivane_login?pwd=${pwd}`, link: null, framed: false },
    { why: 'index, console link', start: `/?pwd=${pwd}`, link: '#linkConsole', framed: false },
    { why: 'index, host link', start: `/?pwd=${pwd}`, link: '#linkHost', framed: true },
    { why: 'host page', start: `/host.html?pwd=${pwd}`, link: null, framed: true },
  ];
  for (const w of ways) await expectWorkingConsole(browser, NODE, w);
});

// The console sends a password beyond ASCII percent-encoded in the
// X-Bot-Password header, which the node compares decoded: no call of the
// page needs pwd in its address, and none is refused on the way there.
test('a password beyond ASCII travels in the header: no call carries pwd, none gets a 401', async () => {
  const context = await newContext(browser);
  const page = await context.newPage();
  const calls = [];
  const refused = [];
  page.on('request', (r) => {
    const url = new URL(r.url());
    if (url.searchParams.has('action')) calls.push({ url: r.url(), pwd: url.searchParams.has('pwd'), header: r.headers()['x-bot-password'] });
  });
  page.on('response', (r) => { if (r.status() === 401) refused.push(r.url()); });
  await page.goto(`${NODE.url}/plugin_lumivane_login?pwd=${encodeURIComponent(NODE.password)}`);
  await waitText(page, '#pillText', 'Not Connected');
  await page.locator('#btnStartLogin').click();
  await waitText(page, '#userCode', /^[A-Z]{4}-[0-9]{4}$/);
  await page.locator('#btnCancel').click();
  await waitText(page, '#flowNote', 'Device flow cancelled.');
  const told = `calls: ${JSON.stringify(calls, null, 1)}\nrefused: ${refused.join(', ') || 'none'}`;
  assert.ok(calls.length >= 4, told);
  assert.deepEqual(refused, [], told);
  assert.deepEqual(calls.filter((c) => c.pwd), [], told);
  assert.ok(calls.every((c) => c.header === encodeURIComponent(NODE.password)), told);
  await context.close();
});
