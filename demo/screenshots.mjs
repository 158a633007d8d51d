// Takes the README's screenshots of the console, signed in through the
// stand-in tools, in the light and the dark theme:
//   node demo/screenshots.mjs http://127.0.0.1:PORT docs/
// Needs a running demo host (scripts/demo.sh) and Debian's Chromium.
import { chromium } from 'playwright-core';

const [base, outDir = 'docs'] = process.argv.slice(2);
if (!base) {
  console.error('usage: node demo/screenshots.mjs BASE_URL [OUT_DIR]');
  process.exit(2);
}
const browser = await chromium.launch({
  executablePath: '/usr/bin/chromium',
  args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync'],
});
try {
  for (const theme of ['light', 'dark']) {
    const context = await browser.newContext({ viewport: { width: 900, height: 860 }, deviceScaleFactor: 1 });
    await context.route((u) => u.hostname !== '127.0.0.1', (r) => r.abort());
    const page = await context.newPage();
    await page.goto(`${base}/plugin_lumivane_login?theme=${theme}`);
    await page.locator('#pillText').filter({ hasText: /^(Connected|Not Connected|Signing in)$/ }).waitFor();
    // A device login in progress shows both cards at work.
    if (await page.locator('#stepIdle').isVisible()) {
      await page.locator(await page.locator('#btnRelogin').isVisible() ? '#btnRelogin' : '#btnStartLogin').click();
      await page.locator('#userCode').filter({ hasText: /^[A-Z]{4}-[0-9]{4}$/ }).waitFor();
    }
    await page.locator('#pillText').filter({ hasText: /^(Connected|Signing in)$/ }).waitFor();
    await page.screenshot({ path: `${outDir}/console-${theme}.png`, fullPage: true });
    // Leave the node as it was: the next shot starts its own login.
    await page.locator('#btnCancel').click();
    await page.locator('#flowNote').filter({ hasText: 'Device flow cancelled.' }).waitFor();
    await context.close();
  }
} finally {
  await browser.close();
}
