// Starts the real program on a private copy of the sample data and drives its
// page in headless Chromium. Tests wait on page state, never on time.
import { execFileSync, spawn } from 'node:child_process';
import { cpSync, mkdirSync, mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';

const here = dirname(fileURLToPath(import.meta.url));
export const sourceDir = resolve(here, '..', '..');
export const program = process.env.SAGEWEND_BIN || join(sourceDir, 'build', 'default', 'sagewend');
const chromiumPath = process.env.CHROMIUM_PATH || '/usr/bin/chromium';

export function copySample() {
  const dir = mkdtempSync(join(tmpdir(), 'sagewend-e2e-'));
  cpSync(join(sourceDir, 'sample'), dir, { recursive: true });
  return dir;
}

// Starts the program; resolves once it has printed its URL.
export function startProgram({ dir = copySample(), seed = 1, args = [] } = {}) {
  const child = spawn(program, ['--no-browser', '--seed', String(seed), '-C', dir, ...args], {
    stdio: ['ignore', 'pipe', 'pipe'],
  });
  let stdout = '';
  let stderr = '';
  const exited = new Promise((resolveExit) => child.on('exit', (code, signal) => resolveExit({ code, signal })));
  const url = new Promise((resolveUrl, reject) => {
    child.stdout.on('data', (chunk) => {
      stdout += chunk;
      const match = stdout.match(/^(http:\/\/127\.0\.0\.1:\d+\/\S*)$/m);
      if (match) resolveUrl(match[1]);
    });
    child.stderr.on('data', (chunk) => { stderr += chunk; });
    exited.then(({ code }) => reject(new Error(`program exited with ${code} before listening: ${stderr}`)));
  });
  return { child, dir, url, exited, output: () => ({ stdout, stderr }) };
}

export async function launchBrowser() {
  return chromium.launch({
    executablePath: chromiumPath,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
      '--disable-component-update', '--disable-sync'],
  });
}

// Opens the page and waits for the home page the program writes at start.
export async function openPage(browser, url, { viewport = { width: 1280, height: 900 } } = {}) {
  const context = await browser.newContext({ viewport });
  // Anything the page's security policy blocks is a picture or script the user never sees.
  await context.addInitScript(() => {
    window.sagewendBlocked = [];
    document.addEventListener('securitypolicyviolation', (event) => {
      window.sagewendBlocked.push(`${event.violatedDirective}: ${event.blockedURI}`);
    });
  });
  const page = await context.newPage();
  await page.goto(url);
  await page.waitForFunction(() => document.getElementById('fileList').innerHTML.length > 0);
  return { context, page };
}

// Performs an action that sends one event, then waits until the program has
// handled everything the page sent.
export async function act(page, action) {
  const before = Number(await page.evaluate(() => document.documentElement.dataset.sent || 0));
  await action();
  await page.waitForFunction((count) => Number(document.documentElement.dataset.sent || 0) > count, before);
  await settle(page);
}

export async function settle(page) {
  await page.waitForFunction(() => {
    const root = document.documentElement.dataset;
    const box = !document.getElementById('sw-overlay').hidden;
    return box || Number(root.done || 0) >= Number(root.sent || 0);
  });
}

export async function blockedByPolicy(page) {
  return page.evaluate(() => window.sagewendBlocked);
}

export async function messageBox(page) {
  await page.waitForSelector('#sw-overlay:not([hidden])');
  return page.textContent('#sw-msgbox-text');
}

// A short notice that asks for nothing: its text, once it shows.
export async function notice(page) {
  await page.waitForSelector('#sw-notice:not([hidden])');
  return page.textContent('#sw-notice');
}

export function stopProgram(run) {
  if (run.child.exitCode === null && run.child.signalCode === null) run.child.kill('SIGKILL');
}

export function cleanUp(run) {
  try { stopProgram(run); } catch { /* already gone */ }
  rmSync(run.dir, { recursive: true, force: true });
}

// Resolves with the exit status; a program that does not end in time fails
// the test instead of hanging it.
export async function waitForExit(run, timeoutMs = 20000) {
  let timer;
  const timeout = new Promise((_, reject) => {
    timer = setTimeout(() => reject(new Error(`program still running after ${timeoutMs} ms`)), timeoutMs);
  });
  try {
    return await Promise.race([run.exited, timeout]);
  } finally {
    clearTimeout(timer);
  }
}

// Starts a program and opens its page; everything is torn down after the test.
export async function startSession(t, browser, options = {}) {
  const run = startProgram(options);
  t.after(() => cleanUp(run));
  const url = await run.url;
  const { context, page } = await openPage(browser, url);
  t.after(() => context.close().catch(() => {}));
  return { run, url, context, page };
}

// Clicks an element of the page and waits until the program has handled it.
export async function click(page, selector) {
  await act(page, () => page.click(selector));
}

export const artifactsDir = join(here, 'artifacts');

export async function screenshot(page, name, { fullPage = false } = {}) {
  mkdirSync(artifactsDir, { recursive: true });
  const path = join(artifactsDir, `${name}.png`);
  await page.screenshot({ path, fullPage });
  return path;
}

// Data files hold one Base64 line per text line; the program's own data
// tool reads them, so the tests keep no reader of their own.
export const dataTool = process.env.SAGEWEND_DATA_TOOL || join(dirname(program), 'sagewend-data');

export function decodeFile(path) {
  return execFileSync(dataTool, ['decode', path]).toString('utf8').split('\n').slice(0, -1);
}

export function readLayouts(dir) {
  const lines = decodeFile(join(dir, 'data', 'layouts.dat'));
  let at = 0;
  const next = () => lines[at++] ?? '';
  const count = parseInt(next(), 10) || 0;
  const layouts = [];
  for (let i = 0; i < count; i++) {
    const positionCount = parseInt(next(), 10) || 0;
    const stored = next() === '1';
    const name = next();
    const positions = [];
    for (let p = 0; p < positionCount; p++) {
      const [title = '', description = ''] = next().split('|').filter((piece) => piece.length > 0);
      positions.push({ title, description });
    }
    const columns = parseInt(next(), 10);
    const rows = parseInt(next(), 10);
    const grid = [];
    for (let r = 0; r < rows; r++) {
      const cells = next().split('#').filter((piece) => piece.length > 0);
      grid.push(Array.from({ length: columns }, (_, c) => cells[c] ?? ' '));
    }
    if (next() !== '#######LAYOUT#######') throw new Error(`layout ${i} has no terminator`);
    layouts.push({ name, stored, positions, columns, rows, grid });
  }
  return layouts;
}

export function readDeck(dir, deck) {
  const lines = decodeFile(join(dir, 'decks', deck, 'index.dat'));
  let at = 0;
  const next = () => lines[at++] ?? '';
  const readUntil = (marker) => {
    let text = '';
    for (;;) {
      if (at >= lines.length) throw new Error(`${deck}: the file ends before ${marker}`);
      const line = next();
      if (line === marker) return text;
      text += line;
    }
  };
  const count = parseInt(next(), 10) || 0;
  const cards = [];
  for (let i = 0; i < count; i++) {
    if (next() !== '######CARD######') throw new Error(`card ${i} has no marker`);
    const card = { name: next(), hasReversedImage: next() === '1', extension: next(), reversedSuffix: next(), number: next() };
    if (next() !== '~~~~~~Meaning~~~~~~') throw new Error(`card ${i} has no meaning marker`);
    card.meaning = readUntil('~~~~~~Reverse~~~~~~');
    card.reversedMeaning = readUntil('######END######');
    cards.push(card);
  }
  return cards;
}

// The picture a page shows for a card, as the page's script maps it.
export function cardPicture(deck, card, reversed) {
  const base = card.number.slice(0, 2);
  const suffix = reversed && card.hasReversedImage ? card.reversedSuffix : '';
  return `/decks/${deck}/${base}${suffix}.${card.extension}`;
}
