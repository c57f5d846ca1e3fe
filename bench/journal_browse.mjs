// Browsing a journal in headless Chromium, for bench/journal.sh: the
// program runs on a data folder whose journal journal_fill made, and each
// action is timed inside the page from the click until the page marks it
// handled (data-done), the list or page written, as bench/click_latency.mjs
// times clicks. Prints one JSON object: the median ms of each action over
// REPEATS, the first visit (which opens the file) on its own, the
// program's resident memory after browsing (and its peak so far), and the
// time of exporting the whole journal as JSON Lines through the download
// with the peak resident memory after it.
//
//   node bench/journal_browse.mjs PROGRAM DATA_FOLDER [REPEATS]
import { statSync } from 'node:fs';
import { launchChromium, memoryKb, startProgram } from './browser.mjs';

const [program, folder, repeatsText = '7'] = process.argv.slice(2);
const repeats = Number(repeatsText);

// Clicks selector inside the page (after setting the search field to
// search, when given) and resolves with the ms until the program's frame
// for it was applied.
async function timed(page, selector, search = null) {
  await page.evaluate(() => new Promise((settled) => requestAnimationFrame(() => requestAnimationFrame(settled))));
  return page.evaluate(([target, words]) => new Promise((done, fail) => {
    const root = document.documentElement;
    const element = document.querySelector(target);
    if (!element) return fail(new Error(`no ${target} on the page`));
    if (words !== null) document.getElementById('journalsearch').value = words;
    const before = Number(root.dataset.done || 0);
    const startedAt = performance.now();
    const observer = new MutationObserver(() => {
      if (Number(root.dataset.done || 0) > before) {
        observer.disconnect();
        done(performance.now() - startedAt);
      }
    });
    observer.observe(root, { attributes: true, attributeFilter: ['data-done'] });
    element.click();
    return undefined;
  }), [selector, search]);
}

function median(samples) {
  const sorted = [...samples].sort((a, b) => a - b);
  return sorted[Math.floor(sorted.length / 2)];
}

async function repeated(action) {
  const samples = [];
  for (let i = 0; i < repeats; i += 1) samples.push(await action());
  return Number(median(samples).toFixed(2));
}

const { child, url } = await startProgram(program, folder);
const browser = await launchChromium();
try {
  const context = await browser.newContext({ viewport: { width: 1280, height: 900 }, acceptDownloads: true });
  const page = await context.newPage();
  await page.goto(url);
  await page.waitForFunction(() => document.getElementById('fileList').innerHTML.length > 0);

  const report = { firstVisit: Number((await timed(page, '#journal')).toFixed(2)) };
  report.rows = await page.$$eval('#journalentry', (entries) => entries.length);
  report.visit = await repeated(() => timed(page, '#journal'));
  // The next page; a journal of one page has none, and its page is the first.
  const paged = async (open) => {
    await open();
    if (!(await page.$('#journalolder'))) return timed(page, '#journal');
    return timed(page, '#journalolder');
  };
  report.page = await repeated(() => paged(() => timed(page, '#journal')));
  report.search = await repeated(() => timed(page, '#journalfind', 'Death'));
  report.searchPage = await repeated(() => paged(() => timed(page, '#journalfind', 'Death')));
  report.searchOne = await repeated(() => timed(page, '#journalfind', 'needle'));
  report.found = await page.$$eval('#journalentry', (entries) => entries.length);
  await timed(page, '#journal');
  report.insights = await repeated(async () => {
    const ms = await timed(page, '#journalinsights');
    await timed(page, '#journalback');
    return ms;
  });
  report.residentKb = memoryKb(child.pid, 'VmRSS');
  report.peakBeforeExportKb = memoryKb(child.pid, 'VmHWM');

  const exportStarted = performance.now();
  const [download] = await Promise.all([page.waitForEvent('download', { timeout: 3600000 }),
    page.click('#journalexportjsonl')]);
  const saved = await download.path();
  report.exportMs = Number((performance.now() - exportStarted).toFixed(0));
  report.exportBytes = statSync(saved).size;
  report.peakKb = memoryKb(child.pid, 'VmHWM');
  await download.delete();
  console.log(JSON.stringify(report));
} finally {
  await browser.close();
  child.kill('SIGKILL');
}
