// Starts the real program on a private copy of the sample data and drives its
// page in headless Chromium. Tests wait on page state, never on time.
import { spawn } from 'node:child_process';
import { cpSync, mkdtempSync, rmSync } from 'node:fs';
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

export async function messageBox(page) {
  await page.waitForSelector('#sw-overlay:not([hidden])');
  return page.textContent('#sw-msgbox-text');
}

export function cleanUp(run) {
  try { run.child.kill('SIGKILL'); } catch { /* already gone */ }
  rmSync(run.dir, { recursive: true, force: true });
}
