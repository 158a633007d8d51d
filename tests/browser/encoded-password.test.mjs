// A node whose password holds a space, '+', '&' and a character beyond
// ASCII: the demo's index and host pages, and every browser, pass such a
// password on percent-encoded in the query, and each way must end in a
// working console. The host here is the third one that
// scripts/test-browser.sh starts.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { launchBrowser, expectWorkingConsole } from './helpers.mjs';

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
