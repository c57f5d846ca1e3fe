// Start-up with damaged data: fatal errors end the program with a failure
// status before any page exists; other data errors are written at once and
// shown in the page, in order, when it first connects.
import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import {
  copySample, launchBrowser, messageBox, openPage, startProgram, startSession, waitForExit,
} from './harness.mjs';

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
  assert.match(stderr, /Error opening source plaintext file!\nError opening destination ciphertext file!\nError opening Missing Deck index file/);

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
