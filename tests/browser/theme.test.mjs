// Themes and embedding: the early theme choice (address, storage, system),
// the palette each theme paints, the toggle with its "bot-theme" event,
// embed mode, and the theme exchange with a host that frames the console.
import { test, before, after, beforeEach } from 'node:test';
import assert from 'node:assert/strict';
import { OPEN, launchBrowser, newContext, resetNode, waitText, waitFor, isShown } from './helpers.mjs';

const CONSOLE = OPEN.url + '/plugin_lumivane_login';
const BG = { dark: 'rgb(0, 0, 0)', light: 'rgb(245, 245, 247)' };
let browser;

before(async () => { browser = await launchBrowser(); });
after(async () => { await browser?.close(); });
beforeEach(() => resetNode(OPEN));

async function consolePage({ scheme = 'dark', stored = null, query = '' } = {}) {
  const context = await newContext(browser, { colorScheme: scheme });
  if (stored) await context.addInitScript((t) => window.localStorage.setItem('bot_theme', t), stored);
  const page = await context.newPage();
  await page.goto(CONSOLE + query);
  await waitText(page, '#pillText', 'Not Connected');
  return { context, page };
}

function themeOf(page) {
  return page.evaluate(() => ({
    attr: document.documentElement.getAttribute('data-theme'),
    stored: window.localStorage.getItem('bot_theme'),
    bg: getComputedStyle(document.body).backgroundColor,
    vnTheme: window.vnTheme(),
  }));
}

test('the early choice: theme= in the address, then storage, then the system preference', async () => {
  const cases = [
    { why: 'system dark', scheme: 'dark', want: 'dark' },
    { why: 'system light', scheme: 'light', want: 'light' },
    { why: 'stored light over system dark', scheme: 'dark', stored: 'light', want: 'light' },
    { why: 'stored junk is ignored', scheme: 'light', stored: 'blue', want: 'light' },
    { why: 'theme=light over stored dark', scheme: 'dark', stored: 'dark', query: '?theme=light', want: 'light' },
    { why: 'theme=dark later in the query', scheme: 'light', stored: 'light', query: '?node=x&theme=dark', want: 'dark' },
    { why: 'theme=blue is not a theme', scheme: 'light', query: '?theme=blue', want: 'light' },
  ];
  for (const c of cases) {
    const { context, page } = await consolePage(c);
    const got = await themeOf(page);
    assert.deepEqual(got, { attr: c.want, stored: c.want, bg: BG[c.want], vnTheme: c.want }, c.why);
    await context.close();
  }
});

test('each theme paints its own palette on the page', async () => {
  // Filled buttons use --accent-dim (white on --blue is under 4.5:1).
  const want = {
    dark: { card: 'rgb(28, 28, 30)', text: 'rgb(245, 245, 247)', button: 'rgb(0, 113, 227)' },
    light: { card: 'rgb(255, 255, 255)', text: 'rgb(29, 29, 31)', button: 'rgb(0, 102, 214)' },
  };
  for (const theme of ['dark', 'light']) {
    const { context, page } = await consolePage({ query: `?theme=${theme}` });
    const got = await page.evaluate(() => ({
      card: getComputedStyle(document.querySelector('.card')).backgroundColor,
      text: getComputedStyle(document.body).color,
      button: getComputedStyle(document.getElementById('btnStartLogin')).backgroundColor,
    }));
    assert.deepEqual(got, want[theme], theme);
    await context.close();
  }
});

test('the toggle switches the theme, stores it and announces it with a bot-theme event', async () => {
  const { context, page } = await consolePage({ query: '?theme=dark' });
  await page.evaluate(() => {
    window.seenThemes = [];
    window.addEventListener('bot-theme', (e) => window.seenThemes.push(e.detail));
  });
  await page.locator('#themeToggle').click();
  assert.deepEqual(await themeOf(page), { attr: 'light', stored: 'light', bg: BG.light, vnTheme: 'light' });
  await page.locator('#themeToggle').click();
  assert.equal((await themeOf(page)).attr, 'dark');
  // Applying the theme already shown, or a word that is no theme, does nothing.
  await page.evaluate(() => { window.vnApplyTheme('dark'); window.vnApplyTheme('sepia'); });
  assert.deepEqual(await page.evaluate(() => window.seenThemes), ['light', 'dark']);
  await context.close();
});

test('embed mode hides the theme toggle; embed=10 is not embed mode', async () => {
  const cases = [
    { query: '?embed=1', embedded: true },
    { query: '?node=x&embed=true', embedded: true },
    { query: '?embed=10', embedded: false },
    { query: '', embedded: false },
  ];
  for (const c of cases) {
    const { context, page } = await consolePage({ query: c.query });
    const cls = await page.evaluate(() => document.documentElement.classList.contains('embedded'));
    assert.equal(cls, c.embedded, c.query);
    assert.equal(await isShown(page, '#themeToggle'), !c.embedded, c.query);
    await context.close();
  }
});

test('inside the host frame the console asks for the theme and follows the host', async () => {
  // The browser prefers dark and has dark stored: only the host's answer
  // can make the framed console light.
  const context = await newContext(browser, { colorScheme: 'dark' });
  await context.addInitScript(() => window.localStorage.setItem('bot_theme', 'dark'));
  const host = await context.newPage();
  await host.goto(`${OPEN.url}/host.html?theme=light`);
  const frame = host.frameLocator('#plugin');
  await frame.locator('#pillText').filter({ hasText: 'Not Connected' }).waitFor();
  const consoleFrame = host.frames().find((f) => f.url().includes('/plugins?'));
  await waitFor(consoleFrame, () => document.documentElement.getAttribute('data-theme') === 'light');
  assert.equal(await host.evaluate(() => window.hostRequests), 1, 'one vn-theme-request from the frame');
  assert.equal(await consoleFrame.evaluate(() => document.documentElement.classList.contains('embedded')), true);
  assert.equal(await frame.locator('#themeToggle').isVisible(), false);

  // The host changes its theme and tells the frame.
  await host.locator('#hostTheme').click();
  await waitFor(consoleFrame, () => document.documentElement.getAttribute('data-theme') === 'dark');

  // Messages that are not a theme change nothing. Messages from one sender
  // arrive in order, so once the last one is seen the others were handled.
  await consoleFrame.evaluate(() => new Promise((resolve) => {
    window.addEventListener('message', (e) => { if (e.data && e.data.type === 'done') resolve(); });
    window.postMessage({ type: 'vn-theme', theme: 'blue' }, '*');
    window.postMessage({ type: 'other', theme: 'light' }, '*');
    window.postMessage('vn-theme', '*');
    window.postMessage({ type: 'done' }, '*');
  }));
  assert.equal(await consoleFrame.evaluate(() => window.vnTheme()), 'dark');
  await context.close();
});

test('a console that is not framed sends no theme request', async () => {
  const context = await newContext(browser);
  // Listen from before the page's scripts run; a request posted to the
  // window itself (its own parent when not framed) would land here.
  await context.addInitScript(() => {
    window.selfMessages = [];
    window.addEventListener('message', (e) => window.selfMessages.push(e.data));
  });
  const page = await context.newPage();
  await page.goto(CONSOLE);
  await waitText(page, '#pillText', 'Not Connected');
  const seen = await page.evaluate(() => new Promise((resolve) => {
    window.addEventListener('message', (e) => { if (e.data === 'done') resolve(window.selfMessages); });
    window.postMessage('done', '*');
  }));
  assert.deepEqual(seen, ['done']);
  await context.close();
});
