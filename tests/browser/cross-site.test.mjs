// A page on another site, in a real browser, tries what needs no token: an
// <img> that starts a forced login and a no-cors fetch that cancels one
// (and the same for poll and refresh). The node refuses each with 403
// (cross_site_request: tests/e2e has the bytes) and runs no tool; the same
// markup on the node's own origin does reach the tools, which shows that
// the attempts are real.
import { test, before, after, beforeEach } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { OPEN, LOCKED, launchBrowser, newContext, resetNode, nowSec, waitText } from './helpers.mjs';

let browser;

before(async () => { browser = await launchBrowser(); });
after(async () => { await browser?.close(); });
beforeEach(() => { resetNode(OPEN); resetNode(LOCKED); });

const MARKER = path.join(OPEN.data, 'login-pending.json');
const TARGET = new URL(OPEN.url);
// The open node's own origin; the same host under the name localhost (a
// different site to the browser); and the other node's port (same site,
// another origin).
const ORIGINS = {
  own: OPEN.url,
  otherSite: `http://localhost:${TARGET.port}`,
  siblingOrigin: LOCKED.url,
};

const GUARDED = ['start', 'poll', 'cancel', 'refresh'];

// From a page of `origin` (the demo's index page), sends the four actions
// to the open node the way a foreign page can: <img> for start and poll, a
// no-cors fetch for cancel and refresh; then the status document, which
// changes nothing, by <img> as well. Returns the HTTP status the node
// answered to each, as the browser's network layer received it: the
// browser itself hides a cross-origin image's JSON answer from the page
// (and from Playwright's response events), but not from the DevTools
// protocol.
async function attackFrom(origin) {
  const context = await newContext(browser);
  const page = await context.newPage();
  const cdp = await context.newCDPSession(page);
  await cdp.send('Network.enable');
  const actionOf = {};
  const answers = {};
  cdp.on('Network.requestWillBeSent', (e) => {
    const u = new URL(e.request.url);
    if (u.host === TARGET.host && u.searchParams.has('action')) actionOf[e.requestId] = u.searchParams.get('action');
  });
  cdp.on('Network.responseReceivedExtraInfo', (e) => {
    if (actionOf[e.requestId]) answers[actionOf[e.requestId]] = e.statusCode;
  });
  await page.goto(origin + '/');
  await page.evaluate(async (target) => {
    const base = target + '/plugin_lumivane_login?action=';
    const viaImage = (q) => new Promise((done) => {
      const img = document.createElement('img');
      img.onload = done;
      img.onerror = done;
      img.src = base + q;
      document.body.appendChild(img);
    });
    const viaFetch = (q) => fetch(base + q, { mode: 'no-cors', credentials: 'include' }).catch(() => {});
    await viaImage('start&force=1');
    await viaImage('poll');
    await viaFetch('cancel');
    await viaFetch('refresh');
    await viaImage('status');
  }, OPEN.url);
  // The protocol's events may trail the page's own.
  for (let i = 0; i < 50 && Object.keys(answers).length < 5; i++) await page.waitForTimeout(100);
  await context.close();
  return answers;
}

test('start, poll, cancel and refresh from another site or origin are refused, and nothing changes', async () => {
  const cases = [
    { why: 'a page on another site', origin: ORIGINS.otherSite },
    { why: 'a page on another port of the same host', origin: ORIGINS.siblingOrigin },
  ];
  for (const c of cases) {
    resetNode(OPEN);
    const marker = JSON.stringify({ created: nowSec(), user_code: 'KEEP-0000' }) + '\n';
    fs.writeFileSync(MARKER, marker);
    const answers = await attackFrom(c.origin);
    for (const action of GUARDED) assert.equal(answers[action], 403, `${c.why}: ${action}`);
    assert.equal(answers.status, 200, `${c.why}: the status document is served`);
    assert.equal(fs.readFileSync(MARKER, 'utf8'), marker, `${c.why}: the pending login is untouched`);
  }
});

test('the same requests from the node\'s own pages reach the tools', async () => {
  fs.writeFileSync(MARKER, JSON.stringify({ created: nowSec(), user_code: 'KEEP-0000' }) + '\n');
  const answers = await attackFrom(ORIGINS.own);
  for (const action of GUARDED) {
    assert.ok(answers[action], `${action} reached the node`);
    assert.notEqual(answers[action], 403, action);
  }
  // The forced start replaced the pending login, and the cancel removed it.
  assert.equal(fs.existsSync(MARKER), false);
});

test('a link from another site opens a working console', async () => {
  const context = await newContext(browser);
  const page = await context.newPage();
  await page.goto(ORIGINS.otherSite + '/');
  await page.evaluate((target) => {
    const a = document.createElement('a');
    a.id = 'toConsole';
    a.href = target + '/plugin_lumivane_login';
    a.textContent = 'console';
    document.body.appendChild(a);
  }, OPEN.url);
  const [response] = await Promise.all([page.waitForNavigation(), page.locator('#toConsole').click()]);
  assert.equal(response.status(), 200);
  // The console's own calls are same-origin: start works from there.
  await waitText(page, '#pillText', 'Not Connected');
  await page.locator('#btnStartLogin').click();
  await waitText(page, '#userCode', /^[A-Z]{4}-[0-9]{4}$/);
  assert.equal(fs.existsSync(MARKER), true);
  await context.close();
});
