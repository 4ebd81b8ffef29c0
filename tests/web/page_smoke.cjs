// Loads the web build's page in Debian's chromium, served over HTTP on
// 127.0.0.1, with a cartridge and a command line in its address, and prints
// what the program wrote: standard output lines as "out: ", standard error
// lines as "err: ", then "exit: N". A page error, a failed request or no
// exit within the time limit fails the run.
//   node page_smoke.cjs WEB_BUILD CART.q7 [ARG...]
// The cartridge is served beside the page; ARG "@CART" stands for it.
// playwright-core is found through NODE_PATH.
const http = require('node:http');
const fs = require('node:fs');
const path = require('node:path');
const { chromium } = require('playwright-core');

async function main() {

const [webBuild, cartPath, ...args] = process.argv.slice(2);
const cartName = path.basename(cartPath);
const types = { '.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm' };

// Only the page's three files and the cartridge are served.
const served = new Map([
  ['/orrery_page.html', path.join(webBuild, 'orrery_page.html')],
  ['/orrery_page.js', path.join(webBuild, 'orrery_page.js')],
  ['/orrery_page.wasm', path.join(webBuild, 'orrery_page.wasm')],
  ['/' + cartName, cartPath],
]);
const server = http.createServer((req, res) => {
  const file = served.get(new URL(req.url, 'http://127.0.0.1').pathname);
  if (!file) { res.writeHead(404).end(); return; }
  res.writeHead(200, { 'content-type': types[path.extname(file)] || 'application/octet-stream' });
  fs.createReadStream(file).pipe(res);
});
await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));

const failures = [];
const browser = await chromium.launch({
  executablePath: '/usr/bin/chromium',
  headless: true,
  // (playwright gives every launch a fresh profile folder of its own.)
  args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
         '--disable-background-networking', '--disable-component-update', '--disable-sync'],
});
try {
  const page = await browser.newPage();
  // The program's standard output goes to console.log, its standard error
  // to console.warn.
  page.on('console', (msg) => {
    if (msg.type() !== 'log' && msg.type() !== 'warning') return;
    for (const line of msg.text().split('\n')) console.log((msg.type() === 'log' ? 'out: ' : 'err: ') + line);
  });
  page.on('pageerror', (error) => failures.push('page error: ' + error.message));
  page.on('requestfailed', (req) => failures.push('request failed: ' + req.url()));
  page.on('response', (res) => {
    if (res.status() >= 400 && !res.url().endsWith('/favicon.ico')) failures.push(`HTTP ${res.status()}: ${res.url()}`);
  });

  const query = new URLSearchParams([['file', cartName],
    ...args.map((a) => ['arg', a === '@CART' ? '/' + cartName : a])]);
  const address = `http://127.0.0.1:${server.address().port}/orrery_page.html?${query}`;
  await page.goto(address, { waitUntil: 'load' });
  try {
    await page.waitForFunction(() => 'orreryExitStatus' in window, null, { timeout: 60000 });
    console.log('exit: ' + await page.evaluate(() => window.orreryExitStatus));
  } catch (error) {
    failures.push('the program did not exit: ' + error.message);
  }
} finally {
  await browser.close();
  server.close();
}
for (const f of failures) console.error('FAIL: ' + f);
process.exit(failures.length ? 1 : 0);
}

main().catch((error) => { console.error('FAIL: ' + error.message); process.exit(1); });
