// The service's page as the README and the manual show it: a cover chosen,
// the preview drawn, a look turned up; one screenshot at a desktop's width
// and one at a phone's. Run by make-page-images.sh, beside puppeteer-core's modules.
//
// node page-screenshot.mjs BASE_URL COVER DESKTOP.png PHONE.png
import puppeteer from 'puppeteer-core';

const [base, cover, desktopShot, phoneShot] = process.argv.slice(2);

async function shoot(browser, viewport, file) {
  const page = await browser.newPage();
  await page.setViewport(viewport);
  await page.goto(base, { waitUntil: 'networkidle0' });
  await page.select('#form', '0');
  await page.$eval('#form', (e) => e.dispatchEvent(new Event('change')));
  await (await page.$('input[name=front]')).uploadFile(cover);
  // Shadow and light up, as a person would set them by the keyboard.
  for (const [bar, steps] of [['shadow', 60], ['light', 50]]) {
    await page.focus('#bar-' + bar);
    for (let i = 0; i < steps; ++i) await page.keyboard.press('ArrowRight');
  }
  await page.$eval('#bar-light', (e) => e.blur());
  // The preview of the last change, loaded.
  await page.waitForFunction(() => {
    const img = document.getElementById('preview');
    return img.complete && img.naturalWidth > 0 && document.getElementById('busy').hidden;
  }, { timeout: 60_000 });
  await new Promise((r) => setTimeout(r, 1500)); // a debounced last preview
  await page.waitForFunction(() => document.getElementById('busy').hidden, { timeout: 60_000 });
  // At a phone's width the preview comes after the controls: shown with its buttons.
  await page.evaluate(() => {
    if (window.innerWidth < 700) document.querySelector('.result').scrollIntoView({ block: 'end' });
    else window.scrollTo(0, 0);
  });
  await page.screenshot({ path: file });
  await page.close();
}

const browser = await puppeteer.launch({
  executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
  headless: true,
  args: ['--no-sandbox', '--disable-gpu', '--disable-dev-shm-usage'],
});
try {
  await shoot(browser, { width: 1280, height: 860 }, desktopShot);
  await shoot(browser, { width: 390, height: 844, deviceScaleFactor: 1, isMobile: true }, phoneShot);
} finally {
  await browser.close();
}
