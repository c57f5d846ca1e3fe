// A deal on the 1909 deck against the page's own floor, in headless
// Chromium: from a click on "Ask the Oracle" (a Celtic Cross) until the
// frame showing the dealt spread has been drawn (its pictures in and
// decoded), against the same update the deal sent, applied by the page
// script to itself with no program and no socket (the floor). And the
// first deal of a run, whose pictures the browser has not seen yet.
// Prints one JSON object of milliseconds: floor and deal p95, first deal.
//
//   node bench/deal_frame.mjs PROGRAM DATA_FOLDER [DEALS]
import { spawn } from 'node:child_process';
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

// Runs act() inside the page and resolves with the milliseconds until the
// frame after the spread it writes (pictures loaded and decoded) is drawn.
function timed(page, act) {
  return page.evaluate((source) => new Promise((done) => {
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
      (0, eval)(source)();
    });
  }), act.toString());
}

function p95(samples) {
  const sorted = [...samples].sort((a, b) => a - b);
  return sorted[Math.min(sorted.length - 1, Math.ceil(sorted.length * 0.95) - 1)];
}

const { child, url } = await start();
const browser = await chromium.launch({
  executablePath: process.env.CHROMIUM_PATH || '/usr/bin/chromium',
  args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
    '--disable-component-update', '--disable-sync'],
});
try {
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
  await form();
  const first = await timed(page, () => document.getElementById('reading').click());
  const dealt = [];
  const floor = [];
  for (let i = 0; i < deals; i += 1) {
    await form();
    dealt.push(await timed(page, () => document.getElementById('reading').click()));
    floor.push(await timed(page, () => window.sagewendSocket.dispatchEvent(
      new MessageEvent('message', { data: window.sagewendDealFrame }))));
  }
  console.log(JSON.stringify({ deals, floor: Number(p95(floor).toFixed(2)), deal: Number(p95(dealt).toFixed(2)),
    first: Number(first.toFixed(2)) }));
} finally {
  await browser.close();
  child.kill('SIGKILL');
}
