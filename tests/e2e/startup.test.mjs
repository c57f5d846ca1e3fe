// Start-up with damaged data: fatal errors end the program with a failure
// status before any page exists; other data errors are written at once and
// shown in the page, in order, when it first connects. Start-up without a
// window: when none can open, the program says so with the address and
// keeps serving. A second start on a folder in use says so, in a window of
// its own, and changes nothing.
import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { chmodSync, mkdtempSync, readdirSync, readFileSync, rmSync, statSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import {
  click, copySample, launchBrowser, messageBox, openPage, program, screenshot, startProgram, startSession, waitForExit,
} from './harness.mjs';
import { launch } from '../package/launch.mjs';

let browser;
before(async () => { browser = await launchBrowser(); });
after(async () => { await browser?.close(); });

const encode = (lines) => lines.map((line) => Buffer.from(line).toString('base64')).join('\n') + '\n';

test('a folder without data ends the program with a failure status and the reason', async () => {
  const dir = mkdtempSync(join(tmpdir(), 'sagewend-empty-'));
  try {
    const run = startProgram({ dir });
    await assert.rejects(run.url, /before listening/);
    const { code } = await waitForExit(run);
    assert.notEqual(code, 0);
    assert.match(run.output().stderr, /Error opening Deck files/);
  } finally {
    rmSync(dir, { recursive: true, force: true });
  }
});

test('a malformed layout file ends the program with a failure status', async () => {
  const dir = copySample();
  try {
    writeFileSync(join(dir, 'data', 'layouts.dat'), encode(['1', '0', '0', 'Cut short']));
    const run = startProgram({ dir });
    await assert.rejects(run.url, /before listening/);
    const { code } = await waitForExit(run);
    assert.notEqual(code, 0);
    assert.match(run.output().stderr, /Error in Layout files/);
  } finally {
    rmSync(dir, { recursive: true, force: true });
  }
});

test('a deck that cannot be read is reported at once and again in the page, and left out', async (t) => {
  const dir = copySample();
  writeFileSync(join(dir, 'data', 'decks.dat'), encode(['2', 'Missing Deck', 'Classic Tarot']));
  const { page, run } = await startSession(t, browser, { dir });
  const stderr = run.output().stderr;
  assert.match(stderr, /sagewend: Error opening source plaintext file!\nsagewend: Error opening destination ciphertext file!\nsagewend: Error opening Missing Deck index file/);

  const shown = [];
  for (let i = 0; i < 3; i += 1) {
    shown.push(await messageBox(page));
    await page.click('#sw-ok');
  }
  assert.deepEqual(shown, [
    'Error opening source plaintext file!',
    'Error opening destination ciphertext file!',
    'Error opening Missing Deck index file',
  ]);
  // The home page was written behind them, and the deck is not offered.
  assert.ok(await page.isVisible('#fileList img'));
  await page.keyboard.press('Alt+R');
  await page.waitForSelector('select[name=deck]');
  const decks = await page.$$eval('select[name=deck] option', (options) => options.map((o) => [o.value, o.textContent]));
  assert.deepEqual(decks, [['1', 'Classic Tarot']]);
});

// Starts the program as the desktop does, with a window wanted, in env, on
// a copy of the sample data or on dir (which the test owns).
function startWithWindow(t, env, dir) {
  const folder = dir ?? copySample();
  const run = launch(program, ['--seed', '1', '-C', folder], { cwd: folder, env });
  t.after(() => {
    run.stop();
    if (!dir) rmSync(folder, { recursive: true, force: true });
  });
  return run;
}

// The address the program printed for the user, checked against its URL
// line, and the page opened from it afterwards.
async function openTheAddressGiven(t, run) {
  const url = await run.url();
  const [, given] = await run.said(/open this address in a browser: (\S+)/, 20000);
  assert.equal(given, url);
  const { context, page } = await openPage(browser, given);
  t.after(() => context.close().catch(() => {}));
  assert.ok(await page.isVisible('#fileList img'), 'the home page is shown');
}

function fakeBin(t, scripts) {
  const dir = mkdtempSync(join(tmpdir(), 'sagewend-bin-'));
  t.after(() => rmSync(dir, { recursive: true, force: true }));
  for (const [name, body] of Object.entries(scripts)) {
    writeFileSync(join(dir, name), `#!/bin/sh\n${body}\n`);
    chmodSync(join(dir, name), 0o755);
  }
  return dir;
}

const withoutDisplay = () => {
  const env = { ...process.env };
  delete env.DISPLAY;
  delete env.WAYLAND_DISPLAY;
  return env;
};

test('without a display it says so with the address, and a page opened afterwards works', async (t) => {
  const run = startWithWindow(t, withoutDisplay());
  await run.said(/no display: set DISPLAY or open the URL in a browser/, 20000);
  await openTheAddressGiven(t, run);
});

test('with no browser at all it says so with the address, and keeps serving', async (t) => {
  const run = startWithWindow(t, { ...withoutDisplay(), DISPLAY: ':97', PATH: fakeBin(t, {}) });
  await run.said(/no browser could be started \(neither Chromium nor xdg-open was found\)/, 20000);
  await openTheAddressGiven(t, run);
});

test('a browser that ends at once is reported with what it said; the default browser gets the start file', async (t) => {
  const log = join(mkdtempSync(join(tmpdir(), 'sagewend-log-')), 'calls');
  t.after(() => rmSync(join(log, '..'), { recursive: true, force: true }));
  const bin = fakeBin(t, {
    chromium: 'echo "chromium $*" >> "$FAKE_LOG"; echo "Missing X server" >&2; exit 1',
    'xdg-open': 'echo "xdg-open $*" >> "$FAKE_LOG"',
  });
  const run = startWithWindow(t, { ...withoutDisplay(), DISPLAY: ':97', PATH: bin, FAKE_LOG: log });
  const url = await run.url();
  await run.said(/Chromium ended before the page opened \(it said: Missing X server\)/, 20000);
  await run.said(/open this address in a browser/);

  // The default browser is handed the private start file, which forwards to
  // the page; the secret key is on no command line.
  let calls = '';
  for (let waited = 0; !/^xdg-open /m.test(calls) && waited < 10000; waited += 100) {
    await new Promise((resolve) => setTimeout(resolve, 100));
    try { calls = readFileSync(log, 'utf8'); } catch { /* not called yet */ }
  }
  assert.match(calls, /^chromium --app=file:\/\/\S+\/start\.html /m);
  const startFile = calls.match(/^xdg-open file:\/\/(\S+)$/m)?.[1];
  assert.ok(startFile, `xdg-open was given the start file: ${calls}`);
  const key = new URL(url).searchParams.get('key');
  assert.ok(key && !calls.includes(key), 'the key is on no command line');
  const forward = readFileSync(startFile, 'utf8').match(/content="0;url=([^"]+)"/)[1].replace(/&amp;/g, '&');
  assert.equal(forward, url);
  const { context, page } = await openPage(browser, forward);
  t.after(() => context.close().catch(() => {}));
  assert.ok(await page.isVisible('#fileList img'));
});

// Every file and folder under dir, with its size and time of change.
function snapshot(dir) {
  return readdirSync(dir, { recursive: true }).sort().map((name) => {
    const info = statSync(join(dir, name));
    return `${name} ${info.size} ${info.mtimeMs}`;
  });
}

const ALREADY_OPEN = /Sagewend is already open on the data folder (.+)\. Use its window, or end it before you start Sagewend on this folder again\./;

test('a second start on a folder in use says so, changes nothing and ends; the first goes on', async (t) => {
  const { run, page } = await startSession(t, browser, { seed: 11 });
  const before = snapshot(run.dir);
  const second = startProgram({ dir: run.dir, seed: 12 });
  await assert.rejects(second.url, /before listening/, 'it prints no address');
  assert.deepEqual(await waitForExit(second), { code: 1, signal: null });
  assert.equal(second.output().stderr.match(ALREADY_OPEN)?.[1], run.dir);
  assert.deepEqual(snapshot(run.dir), before, 'nothing in the folder changed');
  await click(page, '#tarotbtn');
  assert.match(await page.textContent('#fileList h3'), /select a reading below/);
});

test('with a window, the second start says it in a page of its own until that window is closed', async (t) => {
  const { run } = await startSession(t, browser, { seed: 13 });
  const before = snapshot(run.dir);
  const log = join(mkdtempSync(join(tmpdir(), 'sagewend-log-')), 'start');
  t.after(() => rmSync(join(log, '..'), { recursive: true, force: true }));
  // A browser window that shows the start file it was given and stays open.
  const bin = fakeBin(t, {
    chromium: 'for a; do case "$a" in --app=file://*) cat "${a#--app=file://}" > "$FAKE_LOG";; esac; done; exec sleep 60',
  });
  const second = startWithWindow(t, { ...withoutDisplay(), DISPLAY: ':97', PATH: `${bin}:${process.env.PATH}`,
    FAKE_LOG: log }, run.dir);
  let start = '';
  for (let waited = 0; !start && waited < 10000; waited += 100) {
    await new Promise((resolve) => setTimeout(resolve, 100));
    try { start = readFileSync(log, 'utf8'); } catch { /* not started yet */ }
  }
  const forward = start.match(/content="0;url=([^"]+)"/)[1].replace(/&amp;/g, '&');
  for (const viewport of [{ width: 800, height: 600 }, { width: 1280, height: 800 }]) {
    const context = await browser.newContext({ viewport });
    t.after(() => context.close().catch(() => {}));
    const notice = await context.newPage();
    await notice.goto(forward);
    assert.equal(await notice.title(), 'Sagewend');
    assert.equal((await notice.textContent('p')).match(ALREADY_OPEN)?.[1], run.dir);
    await screenshot(notice, `already-open-${viewport.width}x${viewport.height}`);
  }
  assert.match(second.output().stderr, ALREADY_OPEN);
  assert.equal(second.child.exitCode, null, 'it stays while its window is open');
  second.child.kill('SIGTERM');
  assert.deepEqual(await waitForExit(second), { code: 1, signal: null });
  assert.deepEqual(snapshot(run.dir), before, 'nothing in the folder changed');
});
