// The service's page in a real browser: Debian's chromium, headless, on a
// service bound to loopback that this test starts and stops. A person's
// steps: pick a cover, move a bar with the keyboard, wait for the new
// preview, download the picture and the 3D model; they must be the bytes
// `cubiform render` writes for the same options. The bars are those GET
// /options describes and read as the window's labels do. Also: readable at
// a phone's width, and a clear message when the options cannot be had.
//
// node page_test.mjs CUBIFORM COVER.jpg
import { spawn, execFileSync } from 'node:child_process';
import { mkdirSync, mkdtempSync, readFileSync, readdirSync, rmSync } from 'node:fs';
import { createServer } from 'node:net';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import puppeteer from 'puppeteer-core';

const [program, cover] = process.argv.slice(2);
if (!program || !cover) {
  console.error('usage: node page_test.mjs CUBIFORM COVER');
  process.exit(2);
}
const scratch = mkdtempSync(join(tmpdir(), 'cubiform-page-'));
const deadline = setTimeout(() => fail('took longer than 120 s'), 120_000);
let service = null;
let browser = null;

async function finish(code) {
  clearTimeout(deadline);
  if (browser) await browser.close().catch(() => {});
  if (service && service.exitCode === null) service.kill('SIGTERM');
  rmSync(scratch, { recursive: true, force: true });
  process.exit(code);
}

function fail(why) {
  console.error('FAIL: ' + why);
  finish(1);
}

function check(condition, why) {
  if (!condition) throw new Error(why);
}

function freePort() {
  return new Promise((resolve, reject) => {
    const probe = createServer();
    probe.once('error', reject);
    probe.listen(0, '127.0.0.1', () => {
      const { port } = probe.address();
      probe.close(() => resolve(port));
    });
  });
}

async function waitForService(base) {
  for (let i = 0; i < 100; ++i) {
    try {
      if ((await fetch(base + 'healthz')).ok) return;
    } catch (e) { /* not up yet */ }
    await new Promise((r) => setTimeout(r, 100));
  }
  throw new Error('the service did not become ready');
}

async function waitForFile(folder) {
  for (let i = 0; i < 300; ++i) {
    const done = readdirSync(folder).filter((f) => !f.endsWith('.crdownload'));
    if (done.length) return join(folder, done[0]);
    await new Promise((r) => setTimeout(r, 100));
  }
  throw new Error('no download arrived');
}

async function previewSerial(page) {
  return Number(await page.$eval('#preview', (img) => img.dataset.serial || 0));
}

async function waitForNewPreview(page, after) {
  await page.waitForFunction(
    (n) => Number(document.getElementById('preview').dataset.serial || 0) > n &&
      document.getElementById('preview').complete,
    { timeout: 30_000 }, after);
}

async function main() {
  const port = await freePort();
  const base = `http://127.0.0.1:${port}/`;
  // Bounded: it stops by itself after a few minutes or requests at the most.
  service = spawn(program, ['serve', '--bind', '127.0.0.1', '--port', String(port), '--workers', '1',
    '--stop-after-seconds', '150', '--stop-after-requests', '60'],
    { stdio: ['ignore', 'inherit', 'inherit'] });
  service.on('exit', (code) => { if (code !== 0 && code !== null) fail('the service ended with ' + code); });
  await waitForService(base);

  browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-dev-shm-usage'],
  });
  const page = await browser.newPage();
  const problems = [];
  page.on('pageerror', (e) => problems.push(e.message));
  await page.setViewport({ width: 1100, height: 900 });
  await page.goto(base, { waitUntil: 'networkidle0' });
  check(problems.length === 0, 'script errors: ' + problems.join('; '));
  check((await page.$$eval('#form option', (o) => o.length)) === 10, 'the ten box kinds are offered');
  const described = await (await fetch(base + 'options')).json();
  const option = Object.fromEntries(described.options.map((o) => [o.name, o]));
  const bars = await page.$$eval('.bar input', (all) => all.map((i) => [i.name, Number(i.min), Number(i.max)]));
  check(bars.length === 13, 'thirteen bars: ' + bars.length);
  for (const [name, min, max] of bars) {
    const span = option[name].bar || option[name];
    check(min === span.min && max === span.max, `${name} spans ${min}..${max}, not ${span.min}..${span.max}`);
  }
  const shown = (name) => page.$eval('#bar-' + name, (e) => e.nextElementSibling.textContent);
  // The side view box's width of 50 is 0.5 x 2 x 70 + 0.1 in the window's label.
  check(await shown('width') === '70', 'the width reads ' + await shown('width') + ', not the window\'s 70');

  // A cover, picked as a person would.
  let seen = await previewSerial(page);
  const picker = await page.$('input[name=front]');
  await picker.uploadFile(cover);
  await waitForNewPreview(page, seen);

  // A bar moved by the keyboard: Tab reaches it, Right raises it.
  seen = await previewSerial(page);
  await page.focus('#bar-side-angle');
  const before = Number(await page.$eval('#bar-side-angle', (e) => e.value));
  for (let i = 0; i < 5; ++i) await page.keyboard.press('ArrowRight');
  const after = Number(await page.$eval('#bar-side-angle', (e) => e.value));
  check(after === before + 5, `the side bar moved from ${before} to ${after}`);
  await waitForNewPreview(page, seen);
  const preview = await page.$eval('#preview', (img) => [img.naturalWidth, img.naturalHeight]);
  check(preview[0] > 0 && preview[0] <= 480, 'the preview is a small picture: ' + preview);

  // The full picture, downloaded.
  await page.$eval('#out-width', (e) => { e.value = '300'; });
  await page.$eval('#out-height', (e) => { e.value = '240'; });
  await page.select('#samples', '2');
  const downloads = join(scratch, 'downloads');
  mkdirSync(downloads);
  const session = await page.createCDPSession();
  await session.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: downloads });
  await page.click('#download-picture');
  const got = readFileSync(await waitForFile(downloads));

  // The references stand beside the service's answers; under the sanitizers
  // their leak check is off, as LeakSanitizer's tracer now and then crashes
  // at the exit of a process that used Mesa's threads (the command's own
  // tests check it for leaks).
  const quiet = { env: { ...process.env, ASAN_OPTIONS: `${process.env.ASAN_OPTIONS || ''}:detect_leaks=0` } };
  const reference = join(scratch, 'reference.png');
  const form = await page.$eval('#form', (e) => e.value);
  const background = await page.$eval('#background', (e) => e.value.toUpperCase());
  execFileSync(program, ['render', '--form', form, '--front', cover, '--side-angle', String(after),
    '--background', background, '--size', '300x240', '--samples', '2', '-o', reference], quiet);
  // The page also sends the kind's view and the box's sizes; they are the
  // values the kind gives, so the command line needs only what moved.
  check(Buffer.compare(got, readFileSync(reference)) === 0,
    'the downloaded picture differs from cubiform render\'s');

  // The 3D model, reached from the picture's button by the keyboard; it must
  // be the file `cubiform render --export-model` writes for the same options.
  const models = join(scratch, 'models');
  mkdirSync(models);
  await session.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: models });
  await page.focus('#download-picture');
  await page.keyboard.press('Tab');
  check(await page.evaluate(() => document.activeElement.id === 'download-model'),
    'Tab from the picture\'s button reaches the model\'s');
  await page.keyboard.press('Enter');
  const model = readFileSync(await waitForFile(models));
  const referenceModel = join(scratch, 'reference.glb');
  execFileSync(program, ['render', '--form', form, '--front', cover, '--side-angle', String(after),
    '--background', background, '--size', '300x240', '--export-model', referenceModel], quiet);
  check(model.subarray(0, 4).toString('latin1') === 'glTF', 'the model is binary glTF');
  check(Buffer.compare(model, readFileSync(referenceModel)) === 0,
    'the downloaded model differs from cubiform render --export-model\'s');

  // 2.5 degrees of turn: the window's label rounds to the even 2.
  await page.$eval('#bar-turn', (e) => { e.value = '25'; e.dispatchEvent(new Event('input')); });
  check(await shown('turn') === '2\u00B0', 'the turn reads ' + await shown('turn') + ', not the window\'s 2\u00B0');

  // A phone's width: one column, nothing wider than the screen.
  await page.setViewport({ width: 390, height: 844, isMobile: true });
  const wide = await page.evaluate(() => document.documentElement.scrollWidth);
  check(wide <= 390, 'at a phone\'s width the page is ' + wide + ' pixels wide');
  check(problems.length === 0, 'script errors: ' + problems.join('; '));

  // Without GET /options the page says so rather than showing empty groups.
  const bare = await browser.newPage();
  await bare.setRequestInterception(true);
  bare.on('request', (r) => (r.url().endsWith('/options') ? r.respond({ status: 500, body: '' }) : r.continue()));
  await bare.goto(base, { waitUntil: 'networkidle0' });
  const said = await bare.$eval('#status', (e) => [e.textContent, e.className]);
  check(said[1] === 'error' && said[0].includes('options'), 'without /options the page says: ' + said[0]);
}

main().then(() => { console.log('page test passed'); finish(0); }, (e) => fail(e.message));
