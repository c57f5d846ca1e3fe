// Card readings: the form, the spread dealt onto a layout's grid, and the card
// meaning window, checked against the data files themselves; the deal options
// beside the form, and the preferences kept from one run to the next.
import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { existsSync, readFileSync } from 'node:fs';
import { join } from 'node:path';
import {
  act, cardPicture, click, decodeFile, launchBrowser, readDeck, readLayouts, screenshot, startSession, stopProgram,
} from './harness.mjs';

// A fresh reading deals the first deck of the sample; the Celtic Cross below
// is dealt on another one, chosen on the form.
const DEFAULT_DECK = 'Tarot 1909';
const CHOSEN_DECK = 'Classic Tarot';

let browser;
before(async () => { browser = await launchBrowser(); });
after(async () => { await browser?.close(); });

async function readForm(page) {
  return page.evaluate(() => ({
    question: document.querySelector('input[name=question]').value,
    layout: document.querySelector('select[name=layout]').value,
    markedLayout: document.querySelector('select[name=layout] option[selected]')?.value ?? null,
    deck: document.querySelector('select[name=deck]').value,
    markedDeck: document.querySelector('select[name=deck] option[selected]')?.value ?? null,
    reversed: document.querySelector('input[name=reverse]').checked,
  }));
}

// The spread as shown: one entry per grid cell, row by row.
async function readSpread(page) {
  await page.waitForFunction(() => Array.from(document.querySelectorAll('#fileList img.card'))
    .every((img) => img.complete));
  return page.evaluate(() => {
    const table = document.querySelector('#fileList table');
    return {
      heading: document.querySelector('#fileList h3')?.textContent ?? null,
      rows: Array.from(table.rows, (row) => Array.from(row.cells, (cell) => {
        const img = cell.querySelector('img');
        if (!img) return { empty: cell.innerHTML === '' };
        return {
          className: img.getAttribute('class'),
          pos: Number(img.getAttribute('pos')),
          card: Number(img.getAttribute('card')),
          reversed: Number(img.getAttribute('reversed')),
          src: img.getAttribute('src'),
          alt: img.getAttribute('alt'),
          loaded: img.naturalWidth > 0,
          caption: cell.querySelector('div')?.textContent ?? null,
        };
      })),
    };
  });
}

function meaningFrame(page) {
  return page.frame({ url: /\/meaning\.html$/ });
}

// The meaning window's page, with the expected meaning parsed the same way.
async function readMeaning(page, expectedMeaningHtml) {
  const frame = meaningFrame(page);
  return frame.evaluate((expected) => {
    const cells = Array.from(document.querySelectorAll('#fileList table td'));
    const img = cells[0]?.querySelector('img');
    const parsed = document.createElement('td');
    parsed.innerHTML = expected;
    return {
      src: img?.getAttribute('src'),
      alt: img?.getAttribute('alt'),
      loaded: Boolean(img && img.complete && img.naturalWidth > 0),
      name: cells[0]?.querySelector('.heading')?.textContent,
      title: cells[1]?.textContent,
      description: cells[2]?.textContent.trim(),
      heading: cells[3]?.textContent,
      meaningMatches: cells[4]?.innerHTML === parsed.innerHTML,
    };
  }, expectedMeaningHtml);
}

async function clickCard(page, cardIndex) {
  const frame = meaningFrame(page);
  const target = `#fileList img.card[card="${cardIndex}"]`;
  // The window opens beside the card it explains and may lie over others, as a window does.
  await page.locator(target).scrollIntoViewIfNeeded();
  const covered = await page.$eval(target, (img) => {
    const box = img.getBoundingClientRect();
    return document.elementFromPoint(box.left + box.width / 2, box.top + box.height / 2) !== img;
  });
  if (covered) await page.click('#sw-meaning-close');
  await act(page, () => page.click(target));
  await page.waitForSelector('#sw-meaning:not([hidden])');
  await frame.waitForFunction((index) =>
    document.querySelector(`#fileList img[card="${index}"]`)?.complete, cardIndex);
}

test('a Celtic Cross reading: the spread, the meaning window, and the form offered again', async (t) => {
  const { run, page } = await startSession(t, browser, { seed: 11 });
  const layouts = readLayouts(run.dir);
  const cards = readDeck(run.dir, CHOSEN_DECK);
  const deckIndex = String(decodeFile(join(run.dir, 'data', 'decks.dat')).slice(1).indexOf(CHOSEN_DECK));
  const layoutIndex = layouts.findIndex((layout) => layout.name === 'Celtic Cross');
  const layout = layouts[layoutIndex];
  assert.ok(layout, 'the sample data has a Celtic Cross');
  assert.notEqual(deckIndex, '0', 'the chosen deck is not the one offered first');

  await click(page, '#tarotbtn');
  assert.deepEqual(await readForm(page), {
    question: '', layout: '0', markedLayout: '0', deck: '0', markedDeck: '0', reversed: true,
  });
  const question = "Should I follow a friend's idea?";
  await page.fill('input[name=question]', question);
  await page.selectOption('select[name=layout]', { label: 'Celtic Cross' });
  await page.selectOption('select[name=deck]', { label: CHOSEN_DECK });
  await screenshot(page, 'reading-form');

  await click(page, '#reading');
  const spread = await readSpread(page);
  await screenshot(page, 'reading-celtic-cross', { fullPage: true });
  assert.equal(spread.heading, question);
  assert.equal(spread.rows.length, layout.rows);
  const dealt = [];
  layout.grid.forEach((row, r) => {
    assert.equal(spread.rows[r].length, layout.columns, `row ${r} has a cell per column`);
    row.forEach((text, c) => {
      const shown = spread.rows[r][c];
      if (text === ' ') {
        assert.deepEqual(shown, { empty: true }, `cell ${r},${c} is empty`);
        return;
      }
      const position = layout.positions[Number(text) - 1];
      const card = cards[shown.card];
      assert.ok(card, `cell ${r},${c} holds a card of the deck`);
      assert.equal(shown.className, 'card');
      assert.equal(shown.pos, Number(text) - 1);
      assert.equal(shown.caption, `${text} - ${position.title}`);
      assert.equal(shown.alt, position.title);
      assert.ok(shown.reversed === 0 || (shown.reversed === 1 && card.hasReversedImage));
      assert.equal(shown.src, cardPicture(CHOSEN_DECK, card, shown.reversed));
      assert.ok(shown.loaded, `the picture of cell ${r},${c} loads`);
      dealt.push(shown);
    });
  });
  const filled = layout.grid.flat().filter((text) => text !== ' ').length;
  assert.equal(dealt.length, filled, 'one card per filled cell');
  assert.equal(new Set(dealt.map((shown) => shown.card)).size, filled, 'no card twice');

  // With this seed the spread holds upright and reversed cards; open one of each.
  const reversed = dealt.find((shown) => shown.reversed === 1);
  const upright = dealt.find((shown) => shown.reversed === 0);
  assert.ok(reversed && upright, 'seed 11 deals both orientations');
  for (const shown of [reversed, upright]) {
    const card = cards[shown.card];
    const position = layout.positions[shown.pos];
    await clickCard(page, shown.card);
    const meaning = await readMeaning(page, shown.reversed ? card.reversedMeaning : card.meaning);
    assert.deepEqual(meaning, {
      src: cardPicture(CHOSEN_DECK, card, shown.reversed),
      alt: card.name,
      loaded: true,
      name: card.name,
      title: position.title,
      description: position.description,
      heading: 'Meaning',
      meaningMatches: true,
    }, `the meaning window for ${card.name}`);
    if (shown === reversed) await screenshot(page, 'reading-meaning-window');
  }
  // It opens beside its card, below the menu, at its usual width where there is room.
  const placed = await page.evaluate((cardIndex) => {
    const box = document.getElementById('sw-meaning').getBoundingClientRect();
    const opener = document.querySelector(`#fileList img.card[card="${cardIndex}"]`).closest('td').getBoundingClientRect();
    const menu = document.querySelector('td[role=navigation]').getBoundingClientRect();
    return {
      clear: box.right <= opener.left || box.left >= opener.right || box.bottom <= opener.top || box.top >= opener.bottom,
      belowMenu: box.top >= menu.bottom, width: box.width,
    };
  }, upright.card);
  assert.ok(placed.clear, 'the meaning window leaves its card in view');
  assert.ok(placed.belowMenu, 'and the menu');
  assert.ok(placed.width >= 480, `and is 480 px wide or more (${placed.width})`);

  // Its close box hides it; a card click shows it again; Home hides it.
  await page.click('#sw-meaning-close');
  assert.ok(await page.isHidden('#sw-meaning'));
  await clickCard(page, upright.card);
  await click(page, '#home');
  assert.ok(await page.isHidden('#sw-meaning'), 'Home hides the meaning window');

  await click(page, '#tarotbtn');
  assert.deepEqual(await readForm(page), {
    question,
    layout: String(layoutIndex),
    markedLayout: String(layoutIndex),
    deck: deckIndex,
    markedDeck: deckIndex,
    reversed: true,
  }, 'the form offers the same question, layout and deck again');
});

test('major arcana only deals only trumps; the options, the layout and the look survive a restart', async (t) => {
  const first = await startSession(t, browser, { seed: 14 });
  const cards = readDeck(first.run.dir, DEFAULT_DECK);
  const isTrump = (card) => /^\d\d?$/.test(card.number) && Number(card.number) < 22;
  await click(first.page, '#tarotbtn');
  assert.equal(await first.page.isChecked('#dealmajor'), false, 'the whole deck at first');
  assert.equal(await first.page.isChecked('#dealreversals-sometimes'), true, 'reversed as always at first');
  assert.equal(existsSync(join(first.run.dir, 'settings.json')), false, 'a first start writes nothing');
  await click(first.page, '#dealmajor');
  await click(first.page, '#dealreversals-often');
  await first.page.selectOption('select[name=layout]', { label: 'Celtic Cross' });
  for (let deal = 0; deal < 3; deal++) {
    await click(first.page, '#reading');
    const dealt = (await readSpread(first.page)).rows.flat().filter((cell) => !cell.empty);
    assert.equal(dealt.length, 10);
    assert.ok(dealt.every((cell) => isTrump(cards[cell.card])), `deal ${deal}: trumps only`);
    await click(first.page, '#tarotbtn');
    assert.equal(await first.page.isChecked('#dealmajor'), true, 'the option stays ticked');
  }
  // The look and the card size, chosen on the settings page.
  await act(first.page, () => first.page.keyboard.press('Alt+S'));
  await act(first.page, () => first.page.check('#look-dark'));
  await first.page.waitForFunction(() => document.documentElement.dataset.swLook === 'dark');
  const stored = JSON.parse(readFileSync(join(first.run.dir, 'settings.json'), 'utf8'));
  assert.deepEqual(stored, {
    version: 1, deck: DEFAULT_DECK, layout: 'Celtic Cross', majorOnly: true, reversals: 'often',
    cardSize: 'fit', theme: 'dark',
  }, 'the sheet\'s place is kept only once the user has chosen it');
  stopProgram(first.run);

  const { page } = await startSession(t, browser, { dir: first.run.dir, seed: 15 });
  assert.equal(await page.evaluate(() => document.documentElement.dataset.swLook), 'dark');
  await act(page, () => page.keyboard.press('Alt+S'));
  assert.equal(await page.isChecked('#look-dark'), true, 'the settings page shows the look kept');
  await click(page, '#tarotbtn');
  assert.equal(await page.$eval('select[name=layout] option[selected]', (option) => option.textContent), 'Celtic Cross');
  assert.equal(await page.isChecked('#dealmajor'), true);
  assert.equal(await page.isChecked('#dealreversals-often'), true);
});

test('without reversed cards every card lies upright; a question with markup shows as typed', async (t) => {
  const { run, page } = await startSession(t, browser, { seed: 12 });
  const layouts = readLayouts(run.dir);
  const cards = readDeck(run.dir, DEFAULT_DECK);
  const layoutIndex = layouts.findIndex((layout) => layout.name === 'Past, Present, Future');

  await act(page, () => page.keyboard.press('Alt+R'));
  const question = 'Is <b>this</b> "it" & more?';
  await page.fill('input[name=question]', question);
  await page.selectOption('select[name=layout]', String(layoutIndex));
  await page.uncheck('input[name=reverse]');
  await click(page, '#reading');

  const spread = await readSpread(page);
  assert.equal(spread.heading, question, 'the question is shown as text, not markup');
  const shown = spread.rows.flat().filter((cell) => !cell.empty);
  assert.deepEqual(shown.map((cell) => cell.caption), ['1 - The Past', '2 - The Present', '3 - The Future']);
  for (const cell of shown) {
    assert.equal(cell.reversed, 0);
    assert.equal(cell.src, cardPicture(DEFAULT_DECK, cards[cell.card], 0));
  }

  await act(page, () => page.keyboard.press('Alt+R'));
  const form = await readForm(page);
  assert.equal(form.question, question, 'the field shows the whole question');
  assert.equal(form.markedLayout, String(layoutIndex));
  assert.equal(form.reversed, true, 'the reversed box is ticked again');
});
