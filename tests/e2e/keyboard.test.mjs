// Keyboard only: a reading with two meanings, an I Ching cast, a Yes/No answer,
// a new layout made, placed and saved, and a Celtic Cross of one's own cards
// entered, kept and reopened, with page.keyboard alone. The page is read to
// check where things stand, never clicked.
import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { join } from 'node:path';
import {
  act, decodeFile, launchBrowser, messageBox, readDeck, readLayouts, settle, startSession,
} from './harness.mjs';

const DECK = 'Tarot 1909';  // the deck a fresh reading deals

let browser;
before(async () => { browser = await launchBrowser(); });
after(async () => { await browser?.close(); });

// What has the focus: an id, a field's name, or the meaning window.
async function focused(page) {
  return page.evaluate(() => {
    const element = document.activeElement;
    if (!element || element === document.body) return null;
    if (element.id === 'sw-meaning-frame') return 'meaning window';
    return element.id || element.getAttribute('name') || element.tagName.toLowerCase();
  });
}

// Presses a key that makes the page send a click or a key, and waits until
// the program has handled it.
async function press(page, key) {
  await act(page, () => page.keyboard.press(key));
}

async function tab(page, times = 1, key = 'Tab') {
  for (let i = 0; i < times; i++) await page.keyboard.press(key);
}

// Moves a closed select to the option with the given text by arrow keys.
async function choose(page, selector, text) {
  for (let i = 0; i < 20; i++) {
    const shown = await page.$eval(selector, (select) => select.selectedOptions[0]?.textContent);
    if (shown === text) return;
    await page.keyboard.press('ArrowDown');
  }
  assert.fail(`${selector} never showed ${text}`);
}

test('a reading from the keyboard: form, deal, two meanings opened and closed; Disclaimer by Tab', async (t) => {
  const { run, page } = await startSession(t, browser, { seed: 11 });
  const cards = readDeck(run.dir, DECK);

  await press(page, 'Alt+R');
  assert.equal(await focused(page), 'question', 'the question field has the focus');
  await page.keyboard.type('Where is this going?');
  await tab(page);
  assert.equal(await focused(page), 'layout');
  await choose(page, 'select[name=layout]', 'Celtic Cross');
  await tab(page);
  assert.equal(await focused(page), 'deck');
  await tab(page);
  assert.equal(await focused(page), 'reverse');
  await tab(page);
  assert.equal(await focused(page), 'reading');
  await press(page, 'Enter');
  await page.waitForFunction(() => Array.from(document.querySelectorAll('#fileList img.card')).every((img) => img.complete));
  assert.equal(await page.textContent('#fileList h3'), 'Where is this going?');
  assert.equal(await page.$$eval('#fileList img.card', (images) => images.length), 10, 'the Celtic Cross is dealt');

  // The first card has the focus; Enter opens its meaning, Escape closes it.
  const frame = page.frame({ url: /\/meaning\.html$/ });
  // Cards go in position order, not in the order they lie on the grid.
  const readCard = (pos) => page.$eval(`#fileList img.card[pos="${pos}"]`, (img) => Number(img.getAttribute('card')));
  const focusedPos = () => page.evaluate(() => document.activeElement.getAttribute('pos'));
  assert.equal(await focusedPos(), '0', 'the card of position 1 has the focus');
  await press(page, 'Enter');
  await page.waitForSelector('#sw-meaning:not([hidden])');
  assert.equal(await focused(page), 'meaning window', 'the focus moves into the meaning window');
  assert.equal(await frame.textContent('#fileList .heading'), cards[await readCard(0)].name);
  // The window's text scrolls from the keyboard.
  await page.keyboard.press('End');
  await frame.waitForFunction(() => document.scrollingElement.scrollTop > 0);
  // The frame hands Escape to the page by a posted message: wait for it.
  await page.keyboard.press('Escape');
  await page.waitForSelector('#sw-meaning', { state: 'hidden' });
  await settle(page);
  assert.ok(await page.isHidden('#sw-overlay'), 'and does not ask about exit');
  assert.equal(await page.evaluate(() => document.activeElement.matches('img.card')), true, 'the focus is back on the card');

  // Space on the next card (position 2); the window's close box is a button.
  await tab(page);
  assert.equal(await focusedPos(), '1', 'Tab goes to the card of the next position');
  await press(page, ' ');
  await page.waitForSelector('#sw-meaning:not([hidden])');
  await frame.waitForFunction((name) => document.querySelector('#fileList .heading')?.textContent === name,
    cards[await readCard(1)].name);
  await tab(page, 1, 'Shift+Tab');
  assert.equal(await focused(page), 'sw-meaning-close');
  await page.keyboard.press('Enter');
  assert.ok(await page.isHidden('#sw-meaning'));
  assert.equal(await focusedPos(), '1');

  // Every menu link is a tab stop in reading order; the Disclaimer opens by Enter.
  await page.focus('#home');
  const order = [await focused(page)];
  for (let i = 0; i < 7; i++) {
    await tab(page);
    order.push(await focused(page));
  }
  assert.deepEqual(order, ['home', 'tarotbtn', 'ichingbtn', 'yesnobtn', 'editor', 'exit', 'help', 'disclaim']);
  const popup = page.waitForEvent('popup');
  await press(page, 'Enter');
  const disclaimer = await popup;
  await disclaimer.waitForLoadState();
  assert.equal(new URL(disclaimer.url()).pathname, '/help/disclaimer.htm');
  await disclaimer.close();
});

test('a Celtic Cross of one\'s own cards entered from the keyboard, kept and reopened', async (t) => {
  const { run, page } = await startSession(t, browser, { seed: 13 });
  const cards = readDeck(run.dir, DECK);
  const layout = readLayouts(run.dir).find((candidate) => candidate.name === 'Celtic Cross');
  const tabUntil = async (name) => {
    for (let i = 0; i < 40 && (await focused(page)) !== name; i++) await tab(page);
    assert.equal(await focused(page), name);
  };

  await press(page, 'Alt+R');
  await page.keyboard.type('What is on its way?');
  await tab(page);
  await choose(page, 'select[name=layout]', 'Celtic Cross');
  await tabUntil('owncards');
  await press(page, 'Enter');
  assert.equal(await focused(page), 'ownfind', 'typing starts at once');

  // A few letters each; the second and fifth lie reversed.
  const typed = ['tow', 'star', 'moon', 'fool', 'magi', 'hermit', 'death', '3 cups', 'q sw', 'ace of w'];
  const names = ['The Tower', 'The Star', 'The Moon', 'The Fool', 'The Magician', 'The Hermit', 'Death',
    'Three of Cups', 'Queen of Swords', 'Ace of Wands'];
  for (const [index, letters] of typed.entries()) {
    assert.match(await page.textContent('#fileList h3'), new RegExp(`^Card ${index + 1} of 10: ${index + 1} - `));
    await page.keyboard.type(letters);
    assert.equal(await page.$eval('#owncard', (list) => list.selectedOptions[0]?.textContent), names[index]);
    if (index === 1 || index === 4) {
      await tab(page, 2);
      assert.equal(await focused(page), 'ownreversed');
      await press(page, ' ');
      await tab(page);
      assert.equal(await focused(page), 'ownplace');
    }
    await press(page, 'Enter');
    if (index < 9) assert.equal(await focused(page), 'ownfind');
  }

  // The spread, as a deal of these cards shows it.
  await page.waitForFunction(() => document.querySelectorAll('#fileList img.card').length === 10);
  const shown = await page.$$eval('#fileList img.card', (images) => images.map((img) =>
    [Number(img.getAttribute('pos')), Number(img.getAttribute('card')), Number(img.getAttribute('reversed'))]));
  const byPosition = new Map(shown.map(([pos, card, reversed]) => [pos, [cards[card].name, reversed]]));
  assert.deepEqual(Array.from({ length: 10 }, (_, pos) => byPosition.get(pos)),
    names.map((name, index) => [name, index === 1 || index === 4 ? 1 : 0]));
  assert.equal(layout.grid.flat().filter((cell) => cell !== ' ').length, 10);
  assert.equal(await page.textContent('#fileList h3'), 'What is on its way?');

  // Kept, and opened again from the journal.
  await tabUntil('keep');
  await press(page, 'Enter');
  assert.equal(await page.textContent('#sw-kept'), 'Kept in journal');
  await press(page, 'Alt+J');
  await tabUntil('journalentry');
  await press(page, 'Enter');
  assert.match(await page.textContent('#fileList .sw-entry'), /drawn by hand/);
  assert.deepEqual(await page.$$eval('#fileList img.card', (images) => images.map((img) =>
    [Number(img.getAttribute('pos')), Number(img.getAttribute('card')), Number(img.getAttribute('reversed'))])), shown);
});

test('an I Ching cast and a Yes/No answer from the keyboard', async (t) => {
  const { page } = await startSession(t, browser, { seed: 21 });
  await press(page, 'Alt+I');
  assert.equal(await focused(page), 'question');
  await page.keyboard.type('Which road?');
  await tab(page);
  assert.equal(await focused(page), 'iching');
  await press(page, 'Enter');
  assert.equal(await page.textContent('#fileList h3'), 'Which road?');
  assert.ok(await page.getByRole('img', { name: /^Hexagram \d+, .+: lines from the bottom: / }).count() >= 1);

  await press(page, 'Alt+Y');
  assert.equal(await focused(page), 'question');
  assert.equal(await page.inputValue('#question'), 'Which road?', 'the question is offered again');
  await tab(page);
  await press(page, 'Enter');
  assert.notEqual(await page.textContent('#fileList h3'), 'Without a question there can be no answer');
  assert.equal(await focused(page), 'yesno', 'the focus stays on the image, ready to ask again');
  await press(page, ' ');
  assert.notEqual(await page.textContent('#fileList h3'), 'Without a question there can be no answer');
});

test('a new layout made, placed and saved from the keyboard', async (t) => {
  const { run, page } = await startSession(t, browser, { seed: 31 });
  const storedBefore = readLayouts(run.dir).length;
  const grid = () => page.$$eval('#fileList table[border="1"] tr',
    (rows) => rows.map((row) => Array.from(row.cells, (cell) => (cell.id === 'gridfilled' ? cell.textContent : ' '))));

  await press(page, 'Alt+E');
  assert.equal(await focused(page), 'layout', 'the layout list has the focus');
  await tab(page, 2);
  assert.equal(await focused(page), 'addlayout');
  await press(page, 'Enter');
  assert.equal(await focused(page), 'name', 'the new layout starts at its name');
  await page.keyboard.type('Crossroads');

  const positions = [['Here', 'Where you stand.'], ['There', 'Where the road leads.']];
  for (const [index, [title, description]] of positions.entries()) {
    if (index === 0) {
      await tab(page);
    } else {
      await tab(page, 4, 'Shift+Tab');  // from Add back over Delete, Update and Description
    }
    assert.equal(await focused(page), 'title');
    await page.keyboard.press('Control+A');
    await page.keyboard.type(title);
    await tab(page);
    await page.keyboard.press('Control+A');
    await page.keyboard.type(description);
    await tab(page, 3);
    assert.equal(await focused(page), 'addpos');
    await press(page, 'Enter');
    assert.equal(await focused(page), 'addpos', 'the focus stays on Add');
  }
  assert.deepEqual(await page.$$eval('#desclist option', (options) => options.map((o) => o.textContent)),
    ['1 - Here', '2 - There']);

  // Position 1 from the list (the program fills in its texts), then a 3 x 2 grid.
  await tab(page);
  assert.equal(await focused(page), 'desclist');
  await press(page, 'ArrowUp');
  assert.equal(await page.inputValue('input[name=title]'), 'Here', 'choosing by key fills in the title');
  await tab(page, 2);
  assert.equal(await focused(page), 'rows');
  await page.keyboard.press('ArrowUp');
  await tab(page);
  await press(page, 'Enter');
  assert.equal(await focused(page), 'refreshgrid');
  assert.deepEqual(await grid(), [[' ', ' ', ' '], [' ', ' ', ' ']]);

  await tab(page);
  await press(page, 'Enter');
  assert.deepEqual(await grid(), [['1', ' ', ' '], [' ', ' ', ' ']]);

  // Position 2, placed bottom right by the arrow keys; Enter clears and places again.
  await tab(page, 4, 'Shift+Tab');
  assert.equal(await focused(page), 'desclist');
  await press(page, 'ArrowDown');
  await tab(page, 4);
  assert.equal(await page.evaluate(() => document.activeElement.getAttribute('row') + document.activeElement.getAttribute('col')), '00');
  await page.keyboard.press('ArrowDown');
  await page.keyboard.press('ArrowRight');
  await page.keyboard.press('ArrowRight');
  await press(page, 'Enter');
  assert.deepEqual(await grid(), [['1', ' ', ' '], [' ', ' ', '2']]);
  await press(page, 'Enter');
  assert.deepEqual(await grid(), [['1', ' ', ' '], [' ', ' ', ' ']]);
  await press(page, ' ');
  assert.deepEqual(await grid(), [['1', ' ', ' '], [' ', ' ', '2']]);

  await tab(page);
  assert.equal(await focused(page), 'savelayout');
  await press(page, 'Enter');
  assert.equal(await messageBox(page), 'Layout successfully added');
  await page.keyboard.press('Enter');
  await settle(page);
  assert.equal(await page.$eval('select[name=layout] option:last-child', (option) => option.textContent), 'Crossroads');

  const decoded = decodeFile(join(run.dir, 'data', 'layouts.dat'));
  assert.equal(decoded[0], String(storedBefore + 1));
  assert.deepEqual(decoded.slice(-10), [
    '2', '0', 'Crossroads', 'Here|Where you stand.', 'There|Where the road leads.',
    '3', '2', '1# # ', ' # #2', '#######LAYOUT#######',
  ]);
});
