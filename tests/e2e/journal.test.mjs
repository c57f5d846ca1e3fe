// The journal and the card library in Chromium: a reading kept, found again
// after a restart, shown as it was dealt, annotated and exported, with the
// mouse and with the keyboard alone; a journal imported from a file, found
// by what came up, counted on the Insights page and exported again through
// the program's downloads; the card of the day, the same after a restart,
// and kept; and axe-core over their pages.
import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import {
  act, click, launchBrowser, messageBox, notice, readDeck, settle, startSession, stopProgram,
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
  assert.ok(await page.evaluate(() => Boolean(document.querySelector('.sw-sheet')?.compareDocumentPosition(
    document.getElementById('journalnotes')) & Node.DOCUMENT_POSITION_FOLLOWING)), 'the notes come after the reading sheet');

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
  assert.equal(await page.$('#journalnotes'), null, 'the notes leave with their entry');
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

// A kept reading of Past, Present, Future as the program keeps it
// (journal/journal_result.h): cards [index, reversed] of the sample deck.
function keptReading(deck, cards) {
  const kept = {};
  for (const [index] of cards) {
    const card = deck[index];
    kept[String(index)] = {
      number: card.number, name: card.name, meaning: card.meaning, reversedMeaning: card.reversedMeaning,
      imageExtension: card.extension, reversedImageSuffix: card.reversedSuffix, hasReversedImage: card.hasReversedImage,
    };
  }
  return {
    layout: {
      name: 'Past, Present, Future', rows: 1, columns: 3, grid: [['1', '2', '3']],
      positions: ['The Past|Behind you.', 'The Present|Now.', 'The Future|Ahead.'],
    },
    deck: { directory: 'Classic Tarot', cards: kept },
    dealt: cards.map(([card, reversed], i) => ({ row: 0, column: i, position: i, card, roll: reversed, reversed })),
    reversedAllowed: true,
  };
}

function journalLines(dir) {
  const deck = readDeck(dir, 'Classic Tarot');
  const DEATH = 13, TOWER = 16, ACE_OF_CUPS = 36, TWO_OF_SWORDS = 51, KING_OF_WANDS = 35, STAR = 17;
  const entries = [
    { keptAt: '2026-01-05T09:00:00+00:00', oracle: 'reading', question: 'The new house?', notes: '',
      result: keptReading(deck, [[DEATH, 0], [TOWER, 1], [ACE_OF_CUPS, 0]]) },
    { keptAt: '2026-01-20T09:00:00+00:00', oracle: 'iching', question: 'Which road?',
      notes: 'Took the left road past the old mill; the bridge was open again after the winter floods.',
      result: { draws: [3, 1, 2, 2, 1, 0] } },
    { keptAt: '2026-02-02T09:00:00+00:00', oracle: 'reading', question: 'The garden?', notes: '',
      result: keptReading(deck, [[STAR, 0], [TWO_OF_SWORDS, 0], [KING_OF_WANDS, 0]]) },
    { keptAt: '2026-02-10T09:00:00+00:00', oracle: 'reading', question: 'The trip?', notes: '',
      result: keptReading(deck, [[DEATH, 0], [TWO_OF_SWORDS, 0], [KING_OF_WANDS, 0]]) },
    { keptAt: '2026-02-11T09:00:00+00:00', oracle: 'yesno', question: 'Call her?', notes: '',
      result: { answer: 18, text: 'No.' } },
    { keptAt: '2026-02-12T09:00:00+00:00', oracle: 'yesno', question: 'Call him?', notes: '',
      result: { answer: 18, text: 'No.' } },
  ];
  return entries.map((entry) => JSON.stringify(entry));
}

async function importFile(page, name, text) {
  await page.setInputFiles('#journalimport', { name, mimeType: 'application/x-ndjson', buffer: Buffer.from(text) });
  const report = await messageBox(page);
  await page.click('#sw-ok');
  await settle(page);
  return report;
}

const entryQuestions = (page) => page.$$eval('#journalentry', (entries) => entries.map((e) => e.textContent));

// The figures of an Insights table: its caption, then row by row.
async function figures(page, caption) {
  return page.$$eval('#fileList table.sw-figures', (tables, wanted) => {
    const table = tables.find((t) => t.caption.textContent === wanted);
    return table ? Array.from(table.tBodies[0].rows, (row) => Array.from(row.cells, (cell) => cell.textContent)) : null;
  }, caption);
}

test('a journal imported from a file is found by what came up, counted, and exported again', async (t) => {
  const { page, run } = await startSession(t, browser, { seed: 64 });
  const lines = journalLines(run.dir);
  await click(page, '#journal');
  const damaged = [lines[0], lines[1], '{"keptAt": "2026-03-01T09:00:00Z", "oracle": "tarot"}', ...lines.slice(2)];
  assert.equal(await importFile(page, 'mine.jsonl', damaged.join('\n') + '\n'),
    'Imported 6 entries from "mine.jsonl". 1 line could not be read and was skipped: line 3 (it names no oracle '
    + 'the journal knows).');
  assert.deepEqual(await entryQuestions(page),
    ['Call him?', 'Call her?', 'The trip?', 'The garden?', 'Which road?', 'The new house?']);
  // In a small window no word of the list is cut in two.
  await page.setViewportSize({ width: 800, height: 600 });
  assert.deepEqual(await page.evaluate(() => {
    const broken = [];
    const walker = document.createTreeWalker(document.querySelector('#fileList .sw-journal'), NodeFilter.SHOW_TEXT);
    for (let node = walker.nextNode(); node; node = walker.nextNode()) {
      for (const match of node.data.matchAll(/\S+/g)) {
        const range = document.createRange();
        range.setStart(node, match.index);
        range.setEnd(node, match.index + match[0].length);
        if (new Set(Array.from(range.getClientRects(), (r) => Math.round(r.top))).size > 1) broken.push(match[0]);
      }
    }
    return broken;
  }), []);
  await page.setViewportSize({ width: 1280, height: 900 });

  // Found by the card that came up, not only by the question and notes.
  await page.fill('#journalsearch', 'Death');
  await click(page, '#journalfind');
  assert.deepEqual(await entryQuestions(page), ['The trip?', 'The new house?']);
  assert.match(await page.textContent('.sw-journal-filter'), /that hold “Death”: 2 entries/);
  await page.fill('#journalsearch', '"Tower (reversed)"');
  await click(page, '#journalfind');
  assert.deepEqual(await entryQuestions(page), ['The new house?']);
  await page.fill('#journalsearch', 'withdrawal');
  await page.selectOption('#journaloracle', '2');
  await click(page, '#journalfind');
  assert.deepEqual(await entryQuestions(page), []);
  await page.fill('#journalsearch', '');
  await page.fill('#journalfrom', '2026-02-01');
  await page.fill('#journalto', '2026-02-11');
  await page.selectOption('#journaloracle', '0');
  await click(page, '#journalfind');
  assert.deepEqual(await entryQuestions(page), ['Call her?', 'The trip?', 'The garden?']);

  // The search stays while an entry is looked at; a new visit starts afresh.
  await click(page, '#journalentry');
  await click(page, '#journalback');
  assert.equal(await page.inputValue('#journalfrom'), '2026-02-01');
  assert.deepEqual(await entryQuestions(page), ['Call her?', 'The trip?', 'The garden?']);
  await click(page, '#home');
  await act(page, () => page.keyboard.press('Alt+J'));
  assert.equal(await page.inputValue('#journalfrom'), '');
  assert.equal(await page.inputValue('#journalsearch'), '');
  assert.equal(await page.$('#journalclear'), null);
  assert.equal((await entryQuestions(page)).length, 6);

  // A kept cast shows its notes after the whole reading; a kept answer
  // shows the answer and no form to ask again.
  await click(page, '#journalentry:text("Which road?")');
  assert.ok(await page.evaluate(() => {
    const moving = Array.from(document.querySelectorAll('#fileList b')).find((b) => b.textContent === 'Moving Lines');
    const notes = document.getElementById('journalnotes');
    return Boolean(moving && notes && moving.compareDocumentPosition(notes) & Node.DOCUMENT_POSITION_FOLLOWING);
  }), 'the notes come after the moving lines');
  await click(page, '#journalback');
  await click(page, '#journalentry:text("Call her?")');
  assert.ok((await page.$$eval('#fileList h3', (headings) => headings.map((h) => h.textContent))).includes('No.'));
  assert.equal(await page.$('#fileList #yesno, #fileList input[name=question]'), null);
  assert.deepEqual(await seriousFindings(page), [], 'a kept answer');
  await click(page, '#journalback');

  // Insights: the counts of the journal built here, against chance.
  await click(page, '#journalinsights');
  assert.equal(await page.getAttribute('td[role=navigation] #journal', 'aria-current'), 'page', 'a page of the journal');
  assert.match(await page.textContent('#fileList'), /Of the whole journal: 6 entries \(3 card readings, 1 cast, 2 answers\)/);
  assert.deepEqual(await figures(page, 'Kept per month, in figures'),
    [['January 2026', '1', '1', '0'], ['February 2026', '2', '0', '2']]);
  // Nine cards dealt from a deck of 78: 22 majors and 14 of each suit.
  assert.deepEqual(await figures(page, 'Major arcana and suits, in figures'), [
    ['Major arcana', '4', '2.54'], ['Wands', '2', '1.62'], ['Cups', '1', '1.62'], ['Swords', '2', '1.62'],
    ['Pentacles', '0', '1.62']]);
  const frequent = await figures(page, 'The cards that came up most, in figures');
  assert.deepEqual(frequent.slice(0, 3), [['Death', '2', '0.12'], ['King of Wands', '2', '0.12'], ['Two of Swords', '2', '0.12']]);
  assert.deepEqual(await figures(page, 'Reversed cards, in figures'), [['Reversed', '11.1%', '25.0%']]);
  assert.deepEqual(await figures(page, 'Yes/No answers, in figures'), [['No.', '2', '0.09']]);
  assert.equal((await figures(page, 'Hexagrams cast, in figures')).length, 1);
  assert.equal(await page.$$eval('#fileList svg[role=img]', (charts) => charts.length), 6);
  assert.deepEqual(await seriousFindings(page), [], 'the Insights page');
  // Another page opens at its top, though the focus stays in the menu (in
  // a low window, where the journal's list is taller than the window too).
  const viewport = page.viewportSize();
  await page.setViewportSize({ width: 800, height: 300 });
  await page.evaluate(() => {
    window.scrollTo(0, document.documentElement.scrollHeight);
    document.getElementById('journal').focus({ preventScroll: true });
  });
  assert.ok(await page.evaluate(() => window.scrollY > 300), 'Insights is taller than the window');
  await act(page, () => page.keyboard.press('Enter'));
  assert.ok(await page.evaluate(() => document.documentElement.scrollHeight > 300 + 100), 'so is the journal');
  assert.equal(await page.evaluate(() => window.scrollY), 0, 'the journal opens at its top');
  await page.setViewportSize(viewport);

  // Of the search in force only.
  await page.fill('#journalsearch', 'Death');
  await click(page, '#journalfind');
  await click(page, '#journalinsights');
  assert.match(await page.textContent('#fileList'), /Of the entries that hold “Death”: 2 entries/);
  assert.deepEqual((await figures(page, 'Major arcana and suits, in figures'))[0], ['Major arcana', '3', '1.69']);
  await click(page, '#insightswhole');
  assert.match(await page.textContent('#fileList'), /Of the whole journal: 6 entries/);

  // Exported through the program's own download, oldest first, and known
  // again when imported once more.
  await click(page, '#journalback');
  const exported = await downloaded(page, () => page.click('#journalexportjsonl'));
  assert.deepEqual(exported.trimEnd().split('\n').map((line) => JSON.parse(line).question),
    ['The new house?', 'Which road?', 'The garden?', 'The trip?', 'Call her?', 'Call him?']);
  const markdown = await downloaded(page, () => page.click('#journalexport'));
  assert.match(markdown, /^# Sagewend journal$/m);
  assert.ok(markdown.indexOf('Call him?') < markdown.indexOf('The new house?'), 'newest first');
  assert.match(markdown, /### 1\. The Past: Death/);
  await click(page, '#journalclear');
  assert.equal(await importFile(page, 'again.jsonl', exported),
    'Imported 0 entries from "again.jsonl". 6 entries were in the journal already and were left as they are.');
  assert.equal((await entryQuestions(page)).length, 6);
});
