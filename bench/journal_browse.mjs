// Browsing a journal in headless Chromium, for bench/journal.sh: the
// program runs on a data folder whose journal journal_fill made, and each
// action is timed inside the page from the click until the page marks it
// handled (data-done), the list or page written, as bench/click_latency.mjs
// times clicks, and, of that, until the program's frame for it arrived (the
// rest is the page laying out what it wrote). Prints one JSON object: the
// median ms of each action over REPEATS (name, and nameProgram for the
// program's part), the first visit (which opens the file) on its own, how
// long the integrity check that opening starts ran on after it, the
// program's resident memory after browsing (and its peak so far), and the
// time of exporting the whole journal as JSON Lines through the download
// with the peak resident memory after it.
//
//   node bench/journal_browse.mjs PROGRAM DATA_FOLDER [REPEATS]
import { readdirSync, statSync } from 'node:fs';
import { launchChromium, memoryKb, startProgram } from './browser.mjs';

const [program, folder, repeatsText = '7'] = process.argv.slice(2);
const repeats = Number(repeatsText);

// Clicks selector inside the page (after setting the search field to
// search, when given) and resolves with the ms until the program's frame
// for it was applied (total) and until it arrived (program).
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
        const total = performance.now() - startedAt;
        const arrived = window.benchFrames.find((at) => at >= startedAt);
        done({ total, program: arrived === undefined ? total : arrived - startedAt });
      }
    });
    observer.observe(root, { attributes: true, attributeFilter: ['data-done'] });
    element.click();
    return undefined;
  }), [selector, search]);
}

function threadCount(pid) {
  return readdirSync(`/proc/${pid}/task`).length;
}

function median(samples) {
  const sorted = [...samples].sort((a, b) => a - b);
  return sorted[Math.floor(sorted.length / 2)];
}

// The medians of an action's times into report[name] and report[name + 'Program'].
async function measure(report, name, action) {
  const samples = [];
  for (let i = 0; i < repeats; i += 1) samples.push(await action());
  report[name] = Number(median(samples.map((sample) => sample.total)).toFixed(2));
  report[`${name}Program`] = Number(median(samples.map((sample) => sample.program)).toFixed(2));
}

const { child, url } = await startProgram(program, folder);
const browser = await launchChromium();
try {
  const context = await browser.newContext({ viewport: { width: 1280, height: 900 }, acceptDownloads: true });
  // When each of the program's frames arrives.
  await context.addInitScript(() => {
    const Native = window.WebSocket;
    window.benchFrames = [];
    window.WebSocket = class extends Native {
      constructor(...args) {
        super(...args);
        this.addEventListener('message', () => window.benchFrames.push(performance.now()));
      }
    };
  });
  const page = await context.newPage();
  await page.goto(url);
  await page.waitForFunction(() => document.getElementById('fileList').innerHTML.length > 0);

  const threads = threadCount(child.pid);
  const first = await timed(page, '#journal');
  const report = { firstVisit: Number(first.total.toFixed(2)), firstVisitProgram: Number(first.program.toFixed(2)) };
  // Opening the file starts the integrity check on a thread of its own; the
  // rest is timed once it has ended, as it is after the first seconds.
  const checkStarted = performance.now();
  while (threadCount(child.pid) > threads && performance.now() - checkStarted < 600000) {
    await new Promise((later) => setTimeout(later, 10));
  }
  report.checkMs = Number((performance.now() - checkStarted).toFixed(0));
  report.rows = await page.$$eval('#journalentry', (entries) => entries.length);
  await measure(report, 'visit', () => timed(page, '#journal'));
  // The next page; a journal of one page has none, and its page is the first.
  const paged = async (open) => {
    await open();
    if (!(await page.$('#journalolder'))) return timed(page, '#journal');
    return timed(page, '#journalolder');
  };
  await measure(report, 'page', () => paged(() => timed(page, '#journal')));
  await measure(report, 'search', () => timed(page, '#journalfind', 'Death'));
  await measure(report, 'searchPage', () => paged(() => timed(page, '#journalfind', 'Death')));
  await measure(report, 'searchOne', () => timed(page, '#journalfind', 'needle'));
  report.found = await page.$$eval('#journalentry', (entries) => entries.length);
  await timed(page, '#journal');
  await measure(report, 'insights', async () => {
    const times = await timed(page, '#journalinsights');
    await timed(page, '#journalback');
    return times;
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
