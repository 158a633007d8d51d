// How documents are shown: the expiry wording in the Token row, values
// from documents rendered as text (never as markup), and a verification
// address that is opened only when it is an http(s) URL.
import { test, before, after, beforeEach } from 'node:test';
import assert from 'node:assert/strict';
import {
  OPEN, launchBrowser, newContext, resetNode, writeCreds, pendingOnStart, override, waitText, isShown, nowSec,
} from './helpers.mjs';

const CONSOLE = OPEN.url + '/plugin_lumivane_login';
const MARKUP = '<img src=x onerror=window.__injected=1>';
let browser;

before(async () => { browser = await launchBrowser(); });
after(async () => { await browser?.close(); });
beforeEach(() => resetNode(OPEN));

// A signed-in status document as the program writes it, with `fields` over it.
function statusDoc(fields) {
  return {
    ok: true, provider: 'lumivane', logged_in: true, username: 'org-x', account: 'org-x', org_id: 'org-x',
    expires_at: 0, expires_in_sec: 0, expired: false, has_refresh: true, pending: false,
    profile: 'grandlumivane', profile_exists: true, cli_present: true, token_cli_present: true,
    path: '/data/auth.json', protocol: 'VNLOGIN-MACHINE-V1', plugin: 'plugin_lumivane_login',
    plugin_version: '1.0.0', now: nowSec(), ...fields,
  };
}

// Serves `doc` as every status answer of the page, in place of the program.
async function pageWithStatus(context, doc) {
  const page = await context.newPage();
  await page.route((url) => url.searchParams.get('action') === 'status',
    (route) => route.fulfill({ contentType: 'application/json', body: JSON.stringify(doc) }));
  await page.goto(CONSOLE);
  return page;
}

test('the Token row words the time left', async () => {
  const cases = [
    { sec: 45, want: 'valid, expires in 45s' },
    { sec: 59, want: 'valid, expires in 59s' },
    { sec: 60, want: 'valid, expires in 1 min' },
    { sec: 3599, want: 'valid, expires in 59 min' },
    { sec: 3600, want: 'valid, expires in 1 h 0 min' },
    { sec: 7200, want: 'valid, expires in 2 h 0 min' },
    { sec: 5 * 3600 + 17 * 60 + 59, want: 'valid, expires in 5 h 17 min' },
    { sec: 48 * 3600 - 1, want: 'valid, expires in 47 h 59 min' },
    { sec: 172800, want: 'valid, expires in 2 days' },
    { sec: 10 * 86400 + 86399, want: 'valid, expires in 10 days' },
    { sec: 0, want: 'valid, expires in unknown' },
    { sec: undefined, want: 'valid, expires in unknown' },
    { sec: -600, expired: true, want: 'expired 10 min ago' },
    { sec: -2 * 3600 - 100, expired: true, want: 'expired 2 h ago' },
    { sec: 0, expired: true, want: 'expired' },
  ];
  const context = await newContext(browser);
  for (const c of cases) {
    const page = await pageWithStatus(context, statusDoc({ expires_in_sec: c.sec, expired: !!c.expired }));
    await waitText(page, '#pillText', c.expired ? 'Expired' : 'Connected');
    await waitText(page, '#vToken', c.want);
    await page.close();
  }
  await context.close();
});

test('an expired session: Expired pill, status wording, and a note that offers Refresh first', async () => {
  const context = await newContext(browser);
  const page = await pageWithStatus(context, statusDoc({ expired: true, expires_in_sec: -30 }));
  await waitText(page, '#pillText', 'Expired');
  assert.equal(await page.locator('#pill').getAttribute('class'), 'pill warn');
  await waitText(page, '#vStatus', 'Signed in (token expired)');
  await waitText(page, '#sessionNote', 'Expired 30 s ago. Try Refresh Token Now; if that fails, re-login.');
  assert.equal(await page.locator('#btnRefresh').getAttribute('class'), 'btn', 'Refresh is the primary action');
  await context.close();
});

test('the real program\'s expiry reaches the Token row in days', async () => {
  writeCreds(OPEN, { expires_at: nowSec() + 3 * 86400 + 3600 });
  const context = await newContext(browser);
  const page = await context.newPage();
  await page.goto(CONSOLE);
  await waitText(page, '#vToken', 'valid, expires in 3 days');
  await context.close();
});

test('markup in an account name or an error text is shown as text', async () => {
  override(OPEN, 'start', JSON.stringify({ ok: false, error: 'access_denied', detail: MARKUP }));
  const context = await newContext(browser);
  const page = await context.newPage();
  await page.goto(CONSOLE);
  await page.locator('#btnStartLogin').click();
  await waitText(page, '#sessionNote', `Start failed: the login was denied on the approval page (${MARKUP}).`);

  writeCreds(OPEN, { org_id: MARKUP });
  await page.reload();
  await waitText(page, '#vAccount', MARKUP);
  await waitText(page, '#userLabel', MARKUP);
  await waitText(page, '#userAv', '<');
  await waitText(page, '#sessionNote', `Signed in as ${MARKUP}.`);
  assert.equal(await page.locator('#app img').count(), 0, 'no element was made from the texts');
  assert.equal(await page.evaluate(() => window.__injected), undefined);
  await context.close();
});

test('markup in the user code and the address of a started login is shown as text', async () => {
  const code = '<b>AB</b>';
  const url = 'https://127.0.0.1/<script>window.__injected=2</script>';
  override(OPEN, 'start', JSON.stringify({ ok: true, verify_url: url, user_code: code }));
  const context = await newContext(browser);
  const page = await context.newPage();
  await pendingOnStart(page, OPEN);
  await page.goto(CONSOLE);
  await page.locator('#btnStartLogin').click();
  await waitText(page, '#userCode', code);
  await waitText(page, '#verifyUrl', url);
  assert.equal(await page.locator('#userCode b').count(), 0);
  assert.equal(await page.evaluate(() => window.__injected), undefined);
  await context.close();
});

test('Copy & Open opens only http(s) addresses, without an opener', async () => {
  const approval = `${OPEN.url}/demo/approve?code=WXYZ-1234`;
  const cases = [
    { url: 'javascript:window.__injected=3', opens: false },
    { url: 'JavaScript:window.__injected=4', opens: false },
    { url: 'data:text/html,<script>opener.__injected=5</script>', opens: false },
    { url: '/demo/approve?code=WXYZ-1234', opens: false },  // not an absolute URL
    { url: approval, opens: true },
  ];
  // With the clipboard allowed, with the write refused, and with no
  // clipboard at all (any plain-http address but localhost): the last two
  // copy nothing and must say so, and must neither open a forbidden address
  // nor open a second tab.
  for (const clipboard of ['allowed', 'refused', 'missing']) {
    for (const c of cases) {
      const why = `${clipboard}: ${c.url}`;
      resetNode(OPEN);
      override(OPEN, 'start', JSON.stringify({ ok: true, verify_url: c.url, user_code: 'WXYZ-1234' }));
      const context = await newContext(browser, clipboard === 'allowed' ? { permissions: ['clipboard-write'] } : {});
      // Every window.open call of the page is recorded, then carried out.
      await context.addInitScript((mode) => {
        window.openCalls = [];
        const open = window.open.bind(window);
        window.open = (...args) => { window.openCalls.push(args); return open(...args); };
        if (mode === 'refused') navigator.clipboard.writeText = () => Promise.reject(new Error('denied'));
        if (mode === 'missing') Object.defineProperty(Navigator.prototype, 'clipboard', { get: () => undefined });
      }, clipboard);
      const page = await context.newPage();
      await pendingOnStart(page, OPEN);
      await page.goto(CONSOLE);
      await page.locator('#btnStartLogin').click();
      await waitText(page, '#verifyUrl', c.url);
      await waitText(page, '#pillText', 'Signing in');

      const tab = c.opens ? context.waitForEvent('page') : null;
      await page.locator('#btnCopyOpen').click();
      // A refused write copied nothing, and the note says so.
      await waitText(page, '#flowNote', clipboard === 'allowed'
        ? 'Code copied. Open the link and approve.'
        : (c.opens ? 'Copy the code shown above, then approve on the page that opened.'
          : 'Copy the code shown above, then open the address and approve.'));
      const calls = await page.evaluate(() => window.openCalls);
      if (c.opens) {
        assert.deepEqual(calls, [[c.url, '_blank', 'noopener']], why);
        const opened = await tab;
        await opened.waitForLoadState();
        assert.equal(opened.url(), c.url, why);
        assert.equal(await opened.evaluate(() => window.opener), null, why);
      } else {
        assert.deepEqual(calls, [], why);
      }
      assert.equal(await page.evaluate(() => window.__injected), undefined, why);
      assert.equal(await isShown(page, '#stepActive'), true, why);
      await context.close();
    }
  }
});
