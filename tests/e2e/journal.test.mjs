// The journal and the card library in Chromium: a reading kept, found again
// after a restart, shown as it was dealt, annotated and exported, with the
// mouse and with the keyboard alone; the card of the day, the same after a
// restart, and kept; and axe-core over their pages.
import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import {
  act, click, launchBrowser, notice, startSession, stopProgram,
} from './harness.mjs';

const axeSource = readFileSync(createRequire(import.meta.url).resolve('axe-core/axe.min.js'), 'utf8');

let browser;
before(async () => { browser = await launchBrowser(); });
after(async () => { await browser?.close(); });

const QUESTION = 'Will the garden grow this year?';

async function cardsShown(page) {
  return page.$$eval('#fileList img.card', (cards) => cards.map((card) =>
    [card.getAttribute('src'), card.getAttribute('pos'), card.getAttribute('reversed')]));
}

async function seriousFindings(page) {
  if (!(await page.evaluate(() => Boolean(window.axe)))) await page.evaluate(axeSource);
  const results = await page.evaluate(() => window.axe.run(document));
  return results.violations.filter((v) => v.impact === 'serious' || v.impact === 'critical')
    .map((v) => `${v.id}: ${v.nodes.map((node) => node.target.join(' ')).join(', ')}`);
}

async function downloaded(page, action) {
  const [file] = await Promise.all([page.waitForEvent('download'), action()]);
  return readFileSync(await file.path(), 'utf8');
}

// Tabs until the focused element matches, as a keyboard user would.
async function tabTo(page, selector, limit = 60) {
  for (let i = 0; i < limit; i += 1) {
    if (await page.evaluate((s) => document.activeElement?.matches(s) ?? false, selector)) return;
    await page.keyboard.press('Tab');
  }
  assert.fail(`Tab never reached ${selector}`);
}

test('a kept reading is found after a restart, shown as it was dealt, annotated and exported', async (t) => {
  const first = await startSession(t, browser, { seed: 61 });
  await click(first.page, '#tarotbtn');
  await first.page.fill('input[name=question]', QUESTION);
  await first.page.selectOption('select[name=layout]', { label: 'Past, Present, Future' });
  await click(first.page, '#reading');
  const dealt = await cardsShown(first.page);
  assert.ok(await first.page.isVisible('#keep'), 'the result is offered for keeping');
  await click(first.page, '#keep');
  assert.equal(await first.page.textContent('#sw-kept'), 'Kept in journal');
  assert.ok(await first.page.isHidden('#keep'));
  await click(first.page, '#home');
  assert.ok(await first.page.isHidden('#sw-keepbar'), 'other pages offer nothing');
  stopProgram(first.run);

  const { page } = await startSession(t, browser, { dir: first.run.dir, seed: 62 });
  await click(page, '#journal');
  assert.deepEqual(await seriousFindings(page), [], 'the journal page');
  await page.fill('#journalsearch', 'GARDEN');
  await click(page, '#journalfind');
  assert.deepEqual(await page.$$eval('#journalentry', (entries) => entries.map((e) => e.textContent)), [QUESTION]);
  await click(page, '#journalentry');
  assert.deepEqual(await cardsShown(page), dealt, 'the same cards, positions and orientations');
  assert.deepEqual(await seriousFindings(page), [], 'an entry');

  await act(page, () => page.click('#fileList img.card'));
  await page.waitForSelector('#sw-meaning:not([hidden])');
  await page.frameLocator('#sw-meaning-frame').locator('.heading', { hasText: 'Meaning' }).waitFor();
  await page.click('#sw-meaning-close');

  await page.fill('#journalnotes', 'Planted the beans.');
  await click(page, '#journalsavenotes');
  assert.equal(await notice(page), 'Notes saved');
  assert.ok(await page.isHidden('#sw-overlay'), 'saved notes need no answer');
  const markdown = await downloaded(page, () => page.click('#journalexportone'));
  assert.match(markdown, /^> Will the garden grow this year\?$/m);
  assert.match(markdown, /Planted the beans\./);
  assert.match(markdown, /Past, Present, Future/);

  await click(page, '#cards');
  assert.equal(await page.$$eval('#librarycard', (cards) => cards.length), 78);
  assert.deepEqual(await seriousFindings(page), [], 'the Cards page');
  await click(page, '#librarycard[card="16"]');
  assert.equal(await page.textContent('#fileList h3'), 'The Tower');
  assert.ok((await page.textContent('#sw-fill-upright')).length > 40, 'the upright meaning is shown');
  assert.ok((await page.textContent('#sw-fill-reversed')).length > 40, 'and the reversed one');
  assert.deepEqual(await seriousFindings(page), [], 'a card of the library');
});

test('the card of the day is the same after a restart, and is kept as a reading of one card', async (t) => {
  const first = await startSession(t, browser, { seed: 64 });
  const dayCard = (page) => page.$eval('#fileList .sw-daycard img', (img) => [img.getAttribute('src'), img.getAttribute('alt')]);
  await click(first.page, '#daycard');
  assert.equal(await first.page.textContent('#fileList h3'), 'Card of the day');
  const shown = await dayCard(first.page);
  assert.ok((await first.page.textContent('#sw-fill-daycard')).length > 40, 'with its meaning');
  assert.deepEqual(await seriousFindings(first.page), [], 'the card of the day');
  const date = new Date().toDateString();
  stopProgram(first.run);

  const { page } = await startSession(t, browser, { dir: first.run.dir, seed: 65 });
  await act(page, () => page.keyboard.press('Alt+A'));
  const again = await dayCard(page);
  if (new Date().toDateString() === date) assert.deepEqual(again, shown, 'the same card all day');
  await click(page, '#keep');
  assert.equal(await page.textContent('#sw-kept'), 'Kept in journal');
  await click(page, '#journal');
  await click(page, '#journalentry');
  assert.match(await page.textContent('#fileList .sw-entry'), /Layout: Card of the day/);
  assert.equal(await page.$eval('#fileList img.card', (img) => img.getAttribute('src')), again[0]);
});

test('keeping, finding, annotating and exporting from the keyboard alone', async (t) => {
  const { page } = await startSession(t, browser, { seed: 63 });
  const press = (key) => act(page, () => page.keyboard.press(key));

  await press('Alt+Y');
  await page.keyboard.type('Should I call today?');
  await tabTo(page, '#yesno');
  await press('Enter');
  await tabTo(page, '#keep');
  await press('Enter');
  assert.equal(await page.textContent('#sw-kept'), 'Kept in journal');

  await press('Alt+J');
  await tabTo(page, '#journalsearch');
  await page.keyboard.type('call');
  await tabTo(page, '#journalfind');
  await press('Enter');
  await tabTo(page, '#journalentry');
  await press('Enter');
  assert.match(await page.textContent('#fileList h3'), /^Yes\/No of /);
  await tabTo(page, '#journalnotes');
  await page.keyboard.type('Called; all is well.');
  await tabTo(page, '#journalsavenotes');
  await press('Enter');
  assert.equal(await notice(page), 'Notes saved');
  assert.equal(await page.evaluate(() => document.activeElement.id), 'journalsavenotes', 'the notice leaves the focus where it was');
  await tabTo(page, '#journalexportone');
  const markdown = await downloaded(page, () => page.keyboard.press('Enter'));
  assert.match(markdown, /Should I call today\?/);
  assert.match(markdown, /Called; all is well\./);

  await press('Alt+C');
  await tabTo(page, '#librarycard');
  await press('Enter');
  assert.equal(await page.textContent('#fileList h3'), 'The Fool');
});
