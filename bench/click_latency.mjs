// Click latency in headless Chromium: from a click until the page marks it
// handled (data-done), measured inside the page, so the browser's own
// remote control adds nothing; and until the frame that shows it has been
// drawn (frames come at the display's rate, so this one is for reference).
// Prints one JSON object: the p95 in ms of each kind of click (`drawn` the
// same until drawn), and the program's resident memory after all of them.
//
//   node bench/click_latency.mjs PROGRAM DATA_FOLDER [CLICKS_PER_KIND]
import { launchChromium, memoryKb, startProgram } from './browser.mjs';

const [program, folder, perKind = '200'] = process.argv.slice(2);
const clicks = Number(perKind);

// Clicks the element selector names, inside the page, and resolves with
// the milliseconds until the program's acknowledgement was applied, and
// until the frame after it had been drawn. The page is
// let settle first (pictures in, two frames drawn), as it has when a person
// clicks, so each click is timed on its own.
async function timedClick(page, selector) {
  await page.evaluate(() => new Promise((settled) => {
    const images = Array.from(document.querySelectorAll('img'));
    Promise.all(images.map((image) => (image.complete ? null : new Promise((loaded) => {
      image.addEventListener('load', loaded, { once: true });
      image.addEventListener('error', loaded, { once: true });
    })))).then(() => requestAnimationFrame(() => requestAnimationFrame(settled)));
  }));
  return page.evaluate((target) => new Promise((done) => {
    const root = document.documentElement;
    const element = document.querySelector(target);
    const before = Number(root.dataset.done || 0);
    const startedAt = performance.now();
    const observer = new MutationObserver(() => {
      if (Number(root.dataset.done || 0) > before) {
        observer.disconnect();
        const handled = performance.now() - startedAt;
        // A task queued from a frame callback runs once that frame is drawn.
        requestAnimationFrame(() => setTimeout(() => done({ handled, drawn: performance.now() - startedAt })));
      }
    });
    observer.observe(root, { attributes: true, attributeFilter: ['data-done'] });
    element.click();
  }), selector);
}

function p95(samples) {
  const sorted = [...samples].sort((a, b) => a - b);
  return sorted[Math.min(sorted.length - 1, Math.ceil(sorted.length * 0.95) - 1)];
}

const { child, url } = await startProgram(program, folder);
const browser = await launchChromium();
try {
  const page = await (await browser.newContext({ viewport: { width: 1280, height: 900 } })).newPage();
  await page.goto(url);
  await page.waitForFunction(() => document.getElementById('fileList').innerHTML.length > 0);

  const results = { noop: [], deal: [], meaning: [], editor: [] };
  // A click nothing answers but the acknowledgement: the floor.
  for (let i = 0; i < clicks; i += 1) results.noop.push(await timedClick(page, '#Disclaimer div'));
  await timedClick(page, '#tarotbtn');
  await page.selectOption('select[name=layout]', { label: 'Celtic Cross' });
  for (let i = 0; i < clicks; i += 1) {
    results.deal.push(await timedClick(page, '#reading'));
    results.meaning.push(await timedClick(page, 'img.card'));
    await timedClick(page, '#tarotbtn');
  }
  for (let i = 0; i < clicks; i += 1) results.editor.push(await timedClick(page, 'a#editor'));

  const report = { clicks: clicks * 5, residentKb: memoryKb(child.pid), drawn: {} };
  for (const [kind, samples] of Object.entries(results)) {
    report[kind] = Number(p95(samples.map((sample) => sample.handled)).toFixed(2));
    report.drawn[kind] = Number(p95(samples.map((sample) => sample.drawn)).toFixed(2));
  }
  console.log(JSON.stringify(report));
} finally {
  await browser.close();
  child.kill('SIGKILL');
}
