// A deal on the 1909 deck against the page's own floor, in headless
// Chromium: from a click on "Ask the Oracle" (a Celtic Cross) until the
// frame showing the dealt spread has been drawn (its pictures in and
// decoded), against the same update the deal sent, applied by the page
// script to itself with no program and no socket (the floor). And the
// first deal of a run, whose pictures the browser has not seen yet; the
// deals measured after it come once every picture of the deck is seen.
// Prints one JSON object of milliseconds: floor and deal p95, the first
// deal at once and after the question is typed.
//
//   node bench/deal_frame.mjs PROGRAM DATA_FOLDER [DEALS]
import { spawn } from 'node:child_process';
import { readdirSync } from 'node:fs';
import { createRequire } from 'node:module';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';

const here = dirname(fileURLToPath(import.meta.url));
const require = createRequire(join(here, '..', 'tests', 'e2e', 'package.json'));
const { chromium } = require('playwright-core');

const [program, folder, perKind = '200'] = process.argv.slice(2);
const deals = Number(perKind);

function start() {
  const child = spawn(resolve(program), ['--no-browser', '--seed', '1', '-C', resolve(folder)], {
    stdio: ['ignore', 'pipe', 'ignore'],
  });
  return new Promise((resolveUrl, reject) => {
    let out = '';
    child.stdout.on('data', (chunk) => {
      out += chunk;
      const match = out.match(/^(http:\/\/127\.0\.0\.1:\d+\/\S*)$/m);
      if (match) resolveUrl({ child, url: match[1] });
    });
    child.on('exit', (code) => reject(new Error(`the program ended with ${code}`)));
  });
}

// Before the page's script runs: keep the page's socket and the last frame
// that wrote a spread, so the floor can replay that very frame.
function watchSocket() {
  const Socket = window.WebSocket;
  window.WebSocket = function (...args) {
    const socket = new Socket(...args);
    window.sagewendSocket = socket;
    socket.addEventListener('message', (event) => {
      if (typeof event.data === 'string' && event.data.includes('"op":"write"') && event.data.includes("class='card'")) {
        window.sagewendDealFrame = event.data;
      }
    });
    return socket;
  };
  window.WebSocket.prototype = Socket.prototype;
  Object.assign(window.WebSocket, { OPEN: Socket.OPEN, CLOSED: Socket.CLOSED, CONNECTING: Socket.CONNECTING });
}

// Deals ("deal": a click on Ask the Oracle) or replays the last deal's
// frame ("floor") inside the page, and resolves with the milliseconds until
// the frame after the spread it writes (pictures loaded and decoded) is
// drawn. (The page's policy allows no eval: the two acts are named.)
function timed(page, act) {
  return page.evaluate((kind) => new Promise((done) => {
    const settle = () => new Promise((settled) => requestAnimationFrame(() => requestAnimationFrame(settled)));
    settle().then(() => {
      const root = document.documentElement;
      const before = Number(root.dataset.applied || 0);
      const startedAt = performance.now();
      const observer = new MutationObserver(() => {
        if (Number(root.dataset.applied || 0) <= before || !document.querySelector('#fileList img.card')) return;
        observer.disconnect();
        const pictures = Array.from(document.querySelectorAll('#fileList img.card'));
        Promise.all(pictures.map((picture) => picture.decode().catch(() => null))).then(() => {
          // A task queued from a frame callback runs once that frame is drawn.
          requestAnimationFrame(() => setTimeout(() => done(performance.now() - startedAt)));
        });
      });
      observer.observe(root, { attributes: true, attributeFilter: ['data-applied'] });
      if (kind === 'deal') document.getElementById('reading').click();
      else window.sagewendSocket.dispatchEvent(new MessageEvent('message', { data: window.sagewendDealFrame }));
    });
  }), act);
}

function p95(samples) {
  const sorted = [...samples].sort((a, b) => a - b);
  return sorted[Math.min(sorted.length - 1, Math.ceil(sorted.length * 0.95) - 1)];
}

const browser = await chromium.launch({
  executablePath: process.env.CHROMIUM_PATH || '/usr/bin/chromium',
  args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
    '--disable-component-update', '--disable-sync'],
});
const children = [];
// A fresh program and a fresh browser context (nothing cached on either side).
async function session() {
  const { child, url } = await start();
  children.push(child);
  const context = await browser.newContext({ viewport: { width: 1280, height: 800 } });
  await context.addInitScript(watchSocket);
  const page = await context.newPage();
  await page.goto(url);
  await page.waitForFunction(() => document.getElementById('fileList').innerHTML.length > 0);
  const form = async () => {
    await page.click('#tarotbtn');
    await page.waitForSelector('select[name=layout]');
    await page.selectOption('select[name=layout]', { label: 'Celtic Cross' });
    await page.selectOption('select[name=deck]', { label: 'Tarot 1909' });
  };
  return { page, form };
}
try {
  // The first deal of a run: at once when the form shows, and as a user
  // makes it, after typing the question (two seconds on the form).
  const hurried = await session();
  await hurried.form();
  const first = await timed(hurried.page, 'deal');
  const { page, form } = await session();
  await form();
  await page.fill('input[name=question]', 'What should I know?');
  await page.waitForTimeout(2000);
  const firstTyped = await timed(page, 'deal');
  // Every picture of the deck seen once, as after a while of use: the
  // deals measured then differ from the floor by the program alone.
  const pictures = readdirSync(join(resolve(folder), 'decks', 'Tarot 1909')).filter((name) => name.endsWith('.jpg'));
  await page.evaluate(async (names) => {
    const { mapUrl } = await import('/page/urls.mjs');
    window.sagewendSeen = names.map((name) => Object.assign(new Image(), { src: mapUrl(`file:decks/Tarot 1909/${name}`) }));
    await Promise.all(window.sagewendSeen.map((picture) => picture.decode().catch(() => null)));
  }, pictures);
  const dealt = [];
  const floor = [];
  for (let i = 0; i < deals; i += 1) {
    await form();
    dealt.push(await timed(page, 'deal'));
    floor.push(await timed(page, 'floor'));
  }
  console.log(JSON.stringify({ deals, floor: Number(p95(floor).toFixed(2)), deal: Number(p95(dealt).toFixed(2)),
    first: Number(first.toFixed(2)), firstTyped: Number(firstTyped.toFixed(2)) }));
} finally {
  await browser.close();
  for (const child of children) child.kill('SIGKILL');
}
