// Takes the README's screenshots of the console from a running demo: a
// device login in progress (the code, its countdown, the QR code and the
// address; a re-login when the node is signed in), in the light and the
// dark theme at 900 px, and in the light theme at 360 px, a phone's width:
//   node demo/screenshots.mjs http://127.0.0.1:PORT docs/
// Needs a running demo host (scripts/demo.sh) and Debian's Chromium. Each
// shot starts its own login and cancels it afterwards.
import { chromium } from 'playwright-core';

const [base, outDir = 'docs'] = process.argv.slice(2);
if (!base) {
  console.error('usage: node demo/screenshots.mjs BASE_URL [OUT_DIR]');
  process.exit(2);
}
const shots = [
  { file: 'console-light.png', theme: 'light', width: 900, height: 860 },
  { file: 'console-dark.png', theme: 'dark', width: 900, height: 860 },
  { file: 'console-narrow.png', theme: 'light', width: 360, height: 760 },
];
const browser = await chromium.launch({
  executablePath: '/usr/bin/chromium',
  args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync'],
});
try {
  for (const shot of shots) {
    const context = await browser.newContext({ viewport: { width: shot.width, height: shot.height }, deviceScaleFactor: 1 });
    await context.route((u) => u.hostname !== '127.0.0.1', (r) => r.abort());
    const page = await context.newPage();
    await page.goto(`${base}/plugin_lumivane_login?theme=${shot.theme}`);
    await page.locator('#pillText').filter({ hasText: /^(Connected|Not Connected|Signing in)$/ }).waitFor();
    if (!(await page.locator('#btnCopyOpen').isVisible())) {
      await page.locator(await page.locator('#btnRelogin').isVisible() ? '#btnRelogin' : '#btnStartLogin').click();
    }
    await page.locator('#qrCode').waitFor({ state: 'visible' });
    await page.locator('#flowExpiry').filter({ hasText: /^Code expires in / }).waitFor();
    await page.locator('#pillText').filter({ hasText: /^(Connected|Signing in)$/ }).waitFor();
    // The focus ring on Copy & Open is what an operator sees after Start;
    // the shot shows the page at rest.
    await page.evaluate(() => document.activeElement && document.activeElement.blur());
    await page.screenshot({ path: `${outDir}/${shot.file}`, fullPage: true });
    // Leave the node as it was: the next shot starts its own login.
    await page.locator('#btnCancel').click();
    await page.locator('#flowNote').filter({ hasText: 'Device flow cancelled.' }).waitFor();
    await context.close();
  }
} finally {
  await browser.close();
}
