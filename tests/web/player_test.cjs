// The browser half of player_test.sh: one headless chromium (sound allowed
// without a gesture) drives the pages served at BASE and compares them with
// the native build's results in EXPECTED:
//   exec.NAME   sorted output lines of NAME.q7 in exec mode ("out: ",
//               "err: ", "exit: N");
//   first.png, pressed.png, second.png   the native console's screen (128 x
//               128) in the first run, after O was pressed, and in the
//               second run of the same home.
// Prints "ok NAME" or "FAIL NAME: why" for each check and the count line.
//   node player_test.cjs BASE EXPECTED
// playwright-core is found through NODE_PATH.
const fs = require('node:fs');
const path = require('node:path');
const { chromium } = require('playwright-core');

const [base, expected] = process.argv.slice(2);
const viewport = { width: 800, height: 640 };
// The console scales its 128 x 128 screen by whole pixels and centres it.
const scale = Math.floor(Math.min(viewport.width, viewport.height) / 128);
const screenRect = { x: (viewport.width - 128 * scale) / 2, y: (viewport.height - 128 * scale) / 2,
                     width: 128 * scale, height: 128 * scale };
const waitMs = 30000;
let passed = 0, failed = 0;

function report(name, why) {
  if (why) {
    failed++;
    console.log(`FAIL ${name}: ${why}`);
  } else {
    passed++;
    console.log(`ok ${name}`);
  }
}

// Page errors and failed requests, per page, for the checks to report.
function watch(page) {
  const problems = [];
  page.on('pageerror', (error) => problems.push('page error: ' + error.message));
  page.on('requestfailed', (req) => problems.push('request failed: ' + req.url()));
  page.on('response', (res) => { if (res.status() >= 400) problems.push(`HTTP ${res.status()}: ${res.url()}`); });
  return problems;
}

// Pixels of a PNG as the browser decodes it, sampled at the centre of each
// of the 128 x 128 cells a picture of the screen has: a list of
// "r,g,b" texts.
async function cells(page, png) {
  return page.evaluate(async (b64) => {
    const bytes = Uint8Array.from(atob(b64), (c) => c.charCodeAt(0));
    const image = await createImageBitmap(new Blob([bytes], { type: 'image/png' }));
    const canvas = new OffscreenCanvas(image.width, image.height);
    const context = canvas.getContext('2d');
    context.drawImage(image, 0, 0);
    const data = context.getImageData(0, 0, image.width, image.height).data;
    const step = image.width / 128;
    const out = [];
    for (let y = 0; y < 128; y++) {
      for (let x = 0; x < 128; x++) {
        const i = ((Math.floor(y * step + step / 2)) * image.width + Math.floor(x * step + step / 2)) * 4;
        out.push(`${data[i]},${data[i + 1]},${data[i + 2]}`);
      }
    }
    return out;
  }, png.toString('base64'));
}

// Waits until the canvas shows the native picture NAME; "" when it did,
// else how far it was.
async function showsNative(page, name) {
  const want = await cells(page, fs.readFileSync(path.join(expected, name + '.png')));
  const end = Date.now() + waitMs;
  let differing = want.length;
  while (Date.now() < end) {
    const got = await cells(page, await page.screenshot({ clip: screenRect }));
    differing = got.filter((c, i) => c !== want[i]).length;
    if (differing === 0) return '';
    await page.waitForTimeout(250);
  }
  return `${differing} of 16384 screen pixels still differ from the native ${name}.png`;
}

async function waitFor(page, fn, arg) {
  try {
    await page.waitForFunction(fn, arg, { timeout: waitMs });
    return true;
  } catch (error) {
    return false;
  }
}

async function execPages(browser) {
  for (const file of fs.readdirSync(expected).filter((f) => f.startsWith('exec.'))) {
    const cart = file.slice(5) + '.q7';
    const page = await browser.newPage();
    const problems = watch(page);
    const lines = [];
    page.on('console', (msg) => {
      if (msg.type() !== 'log' && msg.type() !== 'warning') return;
      for (const line of msg.text().split('\n')) lines.push((msg.type() === 'log' ? 'out: ' : 'err: ') + line);
    });
    const query = new URLSearchParams([['file', cart], ['arg', '-x'], ['arg', '/' + cart]]);
    await page.goto(`${base}/exec.html?${query}`);
    if (await waitFor(page, () => 'orreryExitStatus' in window)) {
      lines.push('exit: ' + await page.evaluate(() => window.orreryExitStatus));
    } else {
      problems.push('the program did not end');
    }
    const got = lines.sort().join('\n') + '\n';
    const want = fs.readFileSync(path.join(expected, file), 'utf8');
    if (got !== want) problems.push(`output differs:\n--- native\n${want}--- page\n${got}`);
    report(`exec mode of ${cart} as natively`, problems.join('; '));
    await page.close();
  }
}

async function exportedPage(browser) {
  // One context for both loads: the browser's storage lives as long as it.
  const context = await browser.newContext({ viewport });
  const page = await context.newPage();
  const problems = watch(page);
  await page.goto(base + '/');
  report('the page names the cartridge', (await page.title()) === 'player test' ? '' : `title "${await page.title()}"`);
  const asks = await waitFor(page, () => document.getElementById('status').textContent === 'click to start');
  report('the page asks for a click', asks ? '' : 'no "click to start"');

  await page.mouse.click(viewport.width / 2, viewport.height / 2);
  report('the canvas shows the first frame as natively', await showsNative(page, 'first'));

  const before = await page.evaluate(() => Module._vell_web_audible_samples());
  await page.keyboard.down('z');
  await page.waitForTimeout(150);
  await page.keyboard.up('z');
  report('a key press changes the screen as natively', await showsNative(page, 'pressed'));
  const sounding = await waitFor(page, (n) => Module._vell_web_audible_samples() > n &&
                                 Module.SDL2.audioContext.state === 'running', before);
  report('the mixer delivers sound after the press', sounding ? '' : 'no audible samples, or the sound output is not running');

  // The cartridge's data reaches the page's files at once; the page keeps
  // them in the browser's storage right after.
  const saved = await waitFor(page, () => FS.analyzePath('/orrery/cdata/web_player_test.q7d.txt').exists);
  await page.waitForTimeout(2000);
  const kept = await page.evaluate(() => window.orreryHomeKept);
  report('cartridge data is written and kept', saved && kept > 0 ? '' : `written ${saved}, copies kept ${kept}`);
  await page.reload();
  await waitFor(page, () => document.getElementById('status').textContent === 'click to start');
  await page.mouse.click(viewport.width / 2, viewport.height / 2);
  report('cartridge data survives a reload', await showsNative(page, 'second'));

  report('no page error or failed request', problems.join('; '));
  await context.close();
}

async function main() {
  const browser = await chromium.launch({
    executablePath: '/usr/bin/chromium',
    headless: true,
    // (playwright gives every launch a fresh profile folder of its own.)
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--autoplay-policy=no-user-gesture-required',
           '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
  try {
    await execPages(browser);
    await exportedPage(browser);
  } finally {
    await browser.close();
  }
  console.log(`${passed} passed, ${failed} failed`);
  process.exit(failed ? 1 : 0);
}

main().catch((error) => { console.log('FAIL: ' + error.message); process.exit(1); });
