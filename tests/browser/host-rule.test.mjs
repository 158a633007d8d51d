// DNS rebinding in a real browser. A host-resolver rule makes evil.test
// resolve to this machine, as an attacker's DNS would after the page has
// loaded; a page on http://evil.test:PORT then calls the open node
// same-origin, so Sec-Fetch-Site says "same-origin" and only the Host
// header gives it away. The node refuses every action (403
// host_not_allowed, tests/e2e has the bytes) and runs no tool, while the
// same page on 127.0.0.1 works; the console opened under the rebound name
// tells the operator what to set.
import { test, before, after, beforeEach } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { execFileSync } from 'node:child_process';
import { fileURLToPath } from 'node:url';
import { OPEN, launchBrowser, resetNode } from './helpers.mjs';

const ROOT = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
const REBOUND = 'evil.test';
const TARGET = new URL(OPEN.url);
const MARKER = path.join(OPEN.data, 'login-pending.json');
const CREDS = path.join(OPEN.data, 'auth.json');
let browser;

before(async () => { browser = await launchBrowser([`--host-resolver-rules=MAP ${REBOUND} 127.0.0.1`]); });
after(async () => { await browser?.close(); });
beforeEach(() => { resetNode(OPEN); });

// A context whose requests may only reach this machine: 127.0.0.1 and the
// rebound name, which resolves to it; anything else is aborted.
async function localContext() {
  const context = await browser.newContext();
  await context.route((url) => ![TARGET.hostname, REBOUND].includes(url.hostname), (route) => route.abort());
  return context;
}

// From the demo's index page at `origin`, fetches each action same-origin
// and returns what the page itself could read: status and body.
async function callFrom(origin, actions) {
  const context = await localContext();
  const page = await context.newPage();
  await page.goto(origin + '/');
  const answers = await page.evaluate(async (list) => {
    const out = {};
    for (const a of list) {
      const r = await fetch('/plugin_lumivane_login?action=' + a);
      out[a] = { status: r.status, body: await r.text() };
    }
    return out;
  }, actions);
  await context.close();
  return answers;
}

test('a page on a rebound name is refused every action and starts no login', async () => {
  const answers = await callFrom(`http://${REBOUND}:${TARGET.port}`, ['status', 'start', 'poll', 'cancel', 'refresh']);
  for (const [action, a] of Object.entries(answers)) {
    assert.equal(a.status, 403, `${action}: ${a.body}`);
    const doc = JSON.parse(a.body);
    assert.equal(doc.ok, false, action);
    assert.equal(doc.error, 'host_not_allowed', action);
    assert.ok(doc.detail.includes(`${REBOUND}:${TARGET.port}`) && doc.detail.includes('LUMIVANE_ALLOWED_HOSTS'),
      `${action}: the detail names the host and the variable: ${doc.detail}`);
  }
  // The stand-in's start writes the marker: no tool ran.
  assert.equal(fs.existsSync(MARKER), false, 'no login was started');
  assert.equal(fs.existsSync(CREDS), false);
});

test('the same page on the node\'s address starts a login', async () => {
  const answers = await callFrom(OPEN.url, ['start']);
  assert.equal(answers.start.status, 200, answers.start.body);
  assert.match(JSON.parse(answers.start.body).user_code, /^[A-Z]{4}-[0-9]{4}$/);
  assert.equal(fs.existsSync(MARKER), true);
});

test('the console under a rebound name is served and says what to set', async () => {
  const context = await localContext();
  const page = await context.newPage();
  const response = await page.goto(`http://${REBOUND}:${TARGET.port}/plugin_lumivane_login`);
  assert.equal(response.status(), 200);
  await page.waitForFunction(() => document.body.innerText.includes('add that name to LUMIVANE_ALLOWED_HOSTS'));
  assert.equal(fs.existsSync(MARKER), false);
  await context.close();
});

test('the demo says what LUMIVANE_ALLOWED_HOSTS is set to, or what its absence means', () => {
  const cases = [
    { why: 'unset', env: {}, want: /^LUMIVANE_ALLOWED_HOSTS: unset, so the node answers only under an IP address or localhost/ },
    { why: 'set', env: { LUMIVANE_ALLOWED_HOSTS: 'node.example,other' },
      want: /^LUMIVANE_ALLOWED_HOSTS: node\.example,other \(the node answers under these names/ },
    { why: 'a node with a password', env: { BOT_PASSWORD: 'pw' }, want: /not needed, since the node has a password/ },
  ];
  for (const c of cases) {
    const env = { PATH: process.env.PATH, ...c.env };
    const printed = execFileSync('bash', ['-c', 'source "$1"; demo_allowed_hosts_text', 'bash',
      path.join(ROOT, 'demo/host.sh')], { env, encoding: 'utf8' });
    assert.match(printed, c.want, c.why);
  }
});
