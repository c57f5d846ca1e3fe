// Accessibility in Chromium: axe-core over every page the program shows, the
// names a screen reader gives the cards and hexagrams, the focus ring, the
// high-contrast look, and spreads that fit the window at the sizes we support.
import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import {
  act, click, launchBrowser, messageBox, readDeck, readLayouts, screenshot, settle, startSession,
} from './harness.mjs';

const DECK = 'Tarot 1909';  // the deck a fresh reading deals
// The lines of hexagrams 1 to 64, bottom first: 8 a solid (yang) line, 7 a broken (yin) one.
const HEXAGRAM_LINES = [
  '888888', '777777', '877787', '787778', '888787', '787888', '787777', '777787',
  '888788', '887888', '888777', '777888', '878888', '888878', '778777', '777877',
  '877887', '788778', '887777', '777788', '877878', '878778', '777778', '877777',
  '877888', '888778', '877778', '788887', '787787', '878878', '778887', '788877',
  '778888', '888877', '777878', '878777', '878788', '887878', '778787', '787877',
  '887778', '877788', '888887', '788888', '777887', '788777', '787887', '788787',
  '878887', '788878', '877877', '778778', '778788', '887877', '878877', '778878',
  '788788', '887887', '787788', '887787', '887788', '778877', '878787', '787878',
];
const axeSource = readFileSync(createRequire(import.meta.url).resolve('axe-core/axe.min.js'), 'utf8');

let browser;
before(async () => { browser = await launchBrowser(); });
after(async () => { await browser?.close(); });

// The serious and critical findings of axe-core on a page or frame, one line each.
async function audit(target, { iframes = false } = {}) {
  if (!(await target.evaluate(() => Boolean(window.axe)))) await target.evaluate(axeSource);
  const results = await target.evaluate((withFrames) => window.axe.run(document, { iframes: withFrames }), iframes);
  return results.violations
    .filter((violation) => violation.impact === 'serious' || violation.impact === 'critical')
    .map((violation) => `${violation.id}: ${violation.nodes.map((node) => node.target.join(' ')).join(', ')}`);
}

async function expectClean(target, what) {
  assert.deepEqual(await audit(target), [], `axe finds nothing serious on ${what}`);
}

// axe works on timers, which never fire in the help pages' sandbox: the
// audit serves them without their policy.
async function withoutHelpPolicy(context) {
  await context.route('**/help/*', async (route) => {
    const response = await route.fetch();
    const headers = response.headers();
    delete headers['content-security-policy'];
    await route.fulfill({ response, headers });
  });
}

async function allLoaded(page) {
  await page.waitForFunction(() => Array.from(document.querySelectorAll('#fileList img')).every((img) => img.complete));
}

async function deal(page, layoutName, question = 'What should I keep in mind?') {
  await click(page, '#tarotbtn');
  await page.fill('input[name=question]', question);
  await page.selectOption('select[name=layout]', { label: layoutName });
  await click(page, '#reading');
  await allLoaded(page);
}

function contrast(a, b) {
  const luminance = (rgb) => {
    const [r, g, b2] = rgb.match(/\d+(\.\d+)?/g).slice(0, 3).map(Number).map((c) => {
      const v = c / 255;
      return v <= 0.03928 ? v / 12.92 : ((v + 0.055) / 1.055) ** 2.4;
    });
    return 0.2126 * r + 0.7152 * g + 0.0722 * b2;
  };
  const [hi, lo] = [luminance(a), luminance(b)].sort((x, y) => y - x);
  return (hi + 0.05) / (lo + 0.05);
}

test('axe-core finds no serious fault on any page', async (t) => {
  const { run, page, url } = await startSession(t, browser, { seed: 21 });
  await allLoaded(page);
  await expectClean(page, 'the home page');

  await click(page, '#tarotbtn');
  await expectClean(page, 'the reading form');
  for (const layout of readLayouts(run.dir)) {
    await deal(page, layout.name);
    await expectClean(page, `the ${layout.name} spread`);
  }

  await act(page, () => page.click('#fileList img.card'));
  await page.waitForSelector('#sw-meaning:not([hidden])');
  const frame = page.frame({ url: /\/meaning\.html$/ });
  await frame.waitForSelector('#fileList .heading');
  await expectClean(page, 'the page with the meaning window open');
  await expectClean(frame, 'the meaning window');

  // I Ching until a cast has moving lines.
  await click(page, '#ichingbtn');
  await expectClean(page, 'the I Ching question page');
  for (let attempt = 0; attempt < 6; attempt++) {
    await page.fill('#question', 'Where does this road lead?');
    await click(page, '#iching');
    if (await page.isVisible('text=Moving Lines')) break;
    await click(page, '#ichingbtn');
  }
  assert.ok(await page.isVisible('text=Moving Lines'), 'a cast with moving lines');
  await expectClean(page, 'an I Ching cast with moving lines');

  await click(page, '#yesnobtn');
  await page.fill('#question', 'Is it time?');
  await click(page, '#yesno');
  await expectClean(page, 'a Yes/No answer');

  await click(page, '#editor');
  await expectClean(page, 'the layout list');
  await page.selectOption('select[name=layout]', { label: 'Celtic Cross' });
  await click(page, '#editlayout');
  await expectClean(page, 'the editor with a filled grid');

  await click(page, '#tarotbtn');
  await act(page, () => page.keyboard.press('Escape'));
  assert.equal(await messageBox(page), 'Are you sure?');
  await expectClean(page, 'a notification');
  await page.click('#sw-cancel');
  await settle(page);

  // The other looks, chosen on the settings page, over the pages whose colours they change.
  await withoutHelpPolicy(page.context());
  await act(page, () => page.keyboard.press('Alt+S'));
  await expectClean(page, 'the settings page');
  for (const look of ['dark', 'contrast']) {
    await act(page, () => page.keyboard.press('Alt+S'));
    await act(page, () => page.check(`#look-${look}`));
    await page.waitForFunction((wanted) => document.documentElement.dataset.swLook === wanted, look);
    await expectClean(page, `the settings page in the ${look} look`);
    await deal(page, 'Celtic Cross');
    await act(page, () => page.click('#fileList img.card'));
    await frame.waitForSelector('#fileList .heading');
    assert.equal(await frame.evaluate(() => document.documentElement.dataset.swLook), look, 'the meaning window wears it too');
    await expectClean(page, `a Celtic Cross with its meaning window in the ${look} look`);
    await expectClean(frame, `the meaning window in the ${look} look`);
    await click(page, '#ichingbtn');
    await page.fill('#question', 'Where does this road lead?');
    await click(page, '#iching');
    await expectClean(page, `an I Ching cast in the ${look} look`);
    await click(page, '#editor');
    await page.selectOption('select[name=layout]', { label: 'Celtic Cross' });
    await click(page, '#editlayout');
    await expectClean(page, `the editor in the ${look} look`);
    await act(page, () => page.keyboard.press('Alt+J'));
    await expectClean(page, `the journal in the ${look} look`);
    // The help, in a window of its own, wears the look kept when it opens.
    const help = await page.context().newPage();
    for (const topic of ['index.htm', 'own-deck.htm', 'cards.htm', 'hexagrams.htm']) {
      await help.goto(new URL(`/help/${topic}`, url).href);
      assert.equal(await help.evaluate(() => getComputedStyle(document.body).backgroundColor),
        { dark: 'rgb(22, 25, 29)', contrast: 'rgb(255, 255, 255)' }[look], `help ${topic} in the ${look} look`);
      await expectClean(help, `help ${topic} in the ${look} look`);
    }
    await help.close();
  }
});

test('a screen reader hears each card, its orientation and place, and each hexagram line by line', async (t) => {
  const { run, page } = await startSession(t, browser, { seed: 11 });
  const cards = readDeck(run.dir, DECK);
  const layout = readLayouts(run.dir).find((candidate) => candidate.name === 'Celtic Cross');
  await deal(page, 'Celtic Cross');

  const dealt = await page.$$eval('#fileList img.card', (images) => images.map((img) => ({
    card: Number(img.getAttribute('card')), pos: Number(img.getAttribute('pos')),
    reversed: img.getAttribute('reversed') === '1',
    label: img.closest('td').querySelector('.sw-reversed')?.textContent ?? null,
    labelShown: Boolean(img.closest('td').querySelector('.sw-reversed')?.getBoundingClientRect().height),
  })));
  assert.ok(dealt.some((shown) => shown.reversed) && dealt.some((shown) => !shown.reversed), 'seed 11 deals both ways');
  for (const shown of dealt) {
    const name = `${cards[shown.card].name}, ${shown.reversed ? 'reversed' : 'upright'}, position ${shown.pos + 1}, ` +
      layout.positions[shown.pos].title;
    assert.equal(await page.getByRole('button', { name, exact: true }).count(), 1, `a card named "${name}"`);
    assert.equal(shown.label, shown.reversed ? 'Reversed' : null, `${name} is marked on screen as it lies`);
    assert.equal(shown.labelShown, shown.reversed);
  }
  // The picture's own alternative text is still the position's title, as written.
  assert.equal(await page.getAttribute('#fileList img.card', 'alt'), layout.positions[dealt[0].pos].title);

  await act(page, () => page.click('#fileList img.card'));
  const first = dealt[0];
  const dialog = page.getByRole('dialog', { name: `${cards[first.card].name}, ${first.reversed ? 'reversed' : 'upright'}` });
  assert.ok(await dialog.isVisible(), 'the meaning window is a dialog named after its card');

  // The drawings of a cast read as the hexagram they show.
  await click(page, '#ichingbtn');
  await page.fill('#question', 'Where does this road lead?');
  await click(page, '#iching');
  const figures = await page.getByRole('img', { name: /^Hexagram / }).evaluateAll((nodes) => nodes.map((node) => ({
    name: node.getAttribute('aria-label'), drawn: Array.from(node.querySelectorAll('tr'), (row) => row.querySelectorAll('hr').length),
  })));
  assert.ok(figures.length >= 1);
  for (const figure of figures) {
    const match = figure.name.match(/^Hexagram (\d+), (\S.*): lines from the bottom: ((?:yang|yin)(?:, (?:yang|yin)){5})$/);
    assert.ok(match, `"${figure.name}" names the hexagram and its six lines`);
    const expected = HEXAGRAM_LINES[Number(match[1]) - 1].split('').map((line) => (line === '8' ? 'yang' : 'yin'));
    assert.equal(match[3], expected.join(', '), `hexagram ${match[1]} from the bottom`);
    assert.deepEqual(figure.drawn.reverse().map((rules) => (rules === 3 ? 'yang' : 'yin')), expected, 'as drawn');
  }
});

test('the focus ring shows on the green, the grey grid and the cards; more contrast when asked for', async (t) => {
  const { page } = await startSession(t, browser, { seed: 12 });
  const ring = (selector) => page.$eval(selector, (element) => {
    const style = getComputedStyle(element);
    return { width: parseFloat(style.outlineWidth), style: style.outlineStyle, color: style.outlineColor, shadow: style.boxShadow };
  });
  const page_ = 'rgb(51, 102, 51)';

  await page.keyboard.press('Tab');
  assert.equal(await page.evaluate(() => document.activeElement.id), 'home', 'Tab starts at the menu');
  for (const selector of ['#home']) {
    const shown = await ring(selector);
    assert.equal(shown.style, 'solid');
    assert.ok(shown.width >= 2, `${selector}: a ring of ${shown.width} px`);
    assert.ok(contrast(shown.color, page_) >= 3, `${selector}: the ring stands out from the page`);
  }
  await deal(page, 'Single Card');
  await page.focus('#fileList img.card');
  await page.keyboard.press('Shift+Tab');
  await page.keyboard.press('Tab');
  const onCard = await ring('#fileList img.card');
  assert.ok(onCard.width >= 2 && contrast(onCard.color, page_) >= 3, 'a card shows the ring');

  await click(page, '#editor');
  await page.selectOption('select[name=layout]', { label: 'Celtic Cross' });
  await click(page, '#editlayout');
  // Long words may wrap anywhere, but a cell's number stays whole ("10", not "1" over "0").
  const cellLines = await page.$$eval('td#gridfilled', (cells) => cells.map((cell) => {
    const range = document.createRange();
    range.selectNodeContents(cell);
    return range.getClientRects().length;
  }));
  assert.ok(cellLines.every((lines) => lines === 1), `every grid number on one line (${cellLines})`);
  await page.focus('td#gridfilled');
  await page.keyboard.press('ArrowRight');
  await page.keyboard.press('ArrowLeft');
  const onCell = await ring('td#gridfilled');
  assert.ok(onCell.width >= 2, 'a grid cell shows the ring');
  // Inside the grey cell the white ring lies on black, which stands out from the grey.
  assert.match(onCell.shadow, /rgb\(0, 0, 0\) 0px 0px 0px 6px inset/);

  // The Part's own pale gold stays the default; asked for more contrast the page lifts it.
  await click(page, '#ichingbtn');
  await page.fill('#question', 'Which way?');
  await click(page, '#iching');
  const colours = () => page.evaluate(() => {
    const heading = Array.from(document.querySelectorAll('#fileList td')).find((cell) => cell.textContent === 'The current situation');
    const body = getComputedStyle(document.body).backgroundColor;
    return {
      heading: getComputedStyle(heading).color, body,
      rule: getComputedStyle(document.querySelector('hr.iching')).backgroundColor,
      mainRule: getComputedStyle(document.querySelector('hr.mainhr')).backgroundColor,
    };
  });
  const standard = await colours();
  assert.equal(standard.heading, 'rgb(204, 204, 153)');
  assert.equal(standard.rule, 'rgb(204, 204, 0)');
  await page.emulateMedia({ contrast: 'more' });
  const more = await colours();
  assert.ok(contrast(more.heading, more.body) >= 4.5, `the headings reach 4.5:1 (${contrast(more.heading, more.body)})`);
  assert.ok(contrast(more.rule, more.body) >= 3, 'the hexagram lines reach 3:1');
  assert.ok(contrast(more.mainRule, more.body) >= 3, 'the rules of the main page reach 3:1');
  await screenshot(page, 'iching-more-contrast');

  // Until a look is chosen the help follows the system as the page does.
  const help = await page.context().newPage();
  const helpBackground = async (media) => {
    await help.emulateMedia(media);
    await help.goto(new URL('/help/index.htm', page.url()).href);
    return help.evaluate(() => getComputedStyle(document.body).backgroundColor);
  };
  assert.equal(await helpBackground({ contrast: 'more', colorScheme: 'dark' }), 'rgb(255, 255, 255)', 'more contrast');
  assert.equal(await helpBackground({ contrast: 'no-preference', colorScheme: 'dark' }), 'rgb(22, 25, 29)', 'dark');
  assert.equal(await helpBackground({ contrast: 'no-preference', colorScheme: 'light' }), 'rgb(51, 102, 51)', 'green');
  await help.close();
});

// What a dealt spread looks like in the window: its box, the room between
// the menu and the window's foot (less the reading sheet beside it), its
// cards' sizes and what shows under each caption.
async function spreadShown(page) {
  await page.evaluate(() => new Promise((done) => requestAnimationFrame(() => requestAnimationFrame(done))));
  return page.evaluate(() => {
    const scroller = document.scrollingElement;
    const spread = document.querySelector('#fileList table').getBoundingClientRect();
    const [menu, column] = Array.from(document.querySelectorAll('td[role=navigation]'), (cell) => cell.getBoundingClientRect());
    const main = document.querySelector('td[role=main]').getBoundingClientRect();
    const reading = document.getElementById('sw-reading');
    const sheet = reading.classList.contains('sw-sheet-beside') ? document.getElementById('sw-beside').getBoundingClientRect() : null;
    const buttons = Array.from(document.querySelectorAll('body > table .btn'), (b) => b.getBoundingClientRect());
    const cards = Array.from(document.querySelectorAll('#fileList img.card'));
    return {
      spread: { left: spread.left, right: spread.right, top: spread.top, bottom: spread.bottom, width: spread.width, height: spread.height },
      room: { width: (sheet ? sheet.left : column.left) - main.left, height: innerHeight - menu.bottom },
      wide: scroller.scrollWidth - scroller.clientWidth,
      buttonsInside: buttons.every((b) => b.left >= 0 && b.right <= innerWidth && b.bottom <= innerHeight),
      natural: cards.every((card) => card.width <= card.naturalWidth && card.height <= card.naturalHeight),
      smallest: Math.min(...cards.map((card) => card.height)),
      first: { width: cards[0].width, height: cards[0].height },
      shown: cards.map((card) => ({
        card: Number(card.getAttribute('card')), reversed: card.getAttribute('reversed') === '1',
        name: card.closest('td').querySelector('.sw-cardname')?.textContent ?? null,
      })),
    };
  });
}

test('every bundled layout on the 1909 deck fits the window at 800 x 600 and 1280 x 800 and uses it; names show under the captions', async (t) => {
  const { page, run } = await startSession(t, browser, { seed: 13 });
  const layouts = readLayouts(run.dir);
  const cards = readDeck(run.dir, DECK);
  const long = 'Shouldtheunbrokenwordsofaverylongquestionwidenthepagepastthewindowoneday?';
  for (const [width, height] of [[800, 600], [1280, 800]]) {
    await page.setViewportSize({ width, height });
    for (const layout of layouts) {
      await deal(page, layout.name, layout.name === 'Horseshoe' ? long : 'What lies ahead?');
      const fit = await spreadShown(page);
      const where = `${layout.name} at ${width} x ${height}`;
      assert.ok(fit.spread.bottom <= height && fit.spread.right <= width, `${where}: the spread is inside the window`);
      assert.ok(fit.wide <= 0, `${where}: nothing widens the page`);
      assert.ok(fit.buttonsInside, `${where}: every menu button is inside the window`);
      assert.ok(fit.natural, `${where}: no card is larger than its picture`);
      assert.ok(fit.smallest >= 40, `${where}: the cards stay large enough to make out (${fit.smallest} px)`);
      // Never more than a third of the room left unused both ways.
      assert.ok(fit.spread.width >= fit.room.width * 2 / 3 || fit.spread.height >= fit.room.height * 2 / 3,
        `${where}: the spread uses the room (${Math.round(fit.spread.width)} x ${Math.round(fit.spread.height)} of ` +
        `${Math.round(fit.room.width)} x ${Math.round(fit.room.height)})`);
      for (const shown of fit.shown) {
        const expected = cards[shown.card].name + (shown.reversed ? ' Reversed' : '');
        assert.equal(shown.name, expected, `${where}: the card's name under its caption`);
      }
      if (layout.name === 'Celtic Cross' && width === 1280) {
        // Dealt at 60 x 100 before the spread filled the window.
        assert.ok(fit.first.height >= 130, `a Celtic Cross card at 1280 x 800 is ${fit.first.width} x ${fit.first.height}`);
      }
      await screenshot(page, `fit-${layout.name.replaceAll(/\W+/g, '-')}-${width}x${height}`);
    }
    // The spread follows the window when it is resized.
    await deal(page, 'Celtic Cross');
    const before = await spreadShown(page);
    // Its first card's meaning window: inside the window, clear of the card and the menu.
    await act(page, () => page.click('#fileList img.card[pos="0"]'));
    await page.waitForSelector('#sw-meaning:not([hidden])');
    const placed = await page.evaluate(() => {
      const box = document.getElementById('sw-meaning').getBoundingClientRect();
      const card = document.querySelector('#fileList img.card[pos="0"]').closest('td').getBoundingClientRect();
      const menu = document.querySelector('td[role=navigation]').getBoundingClientRect();
      const apart = (a, b) => a.right <= b.left || a.left >= b.right || a.bottom <= b.top || a.top >= b.bottom;
      return {
        inside: box.left >= 0 && box.top >= 0 && box.right <= innerWidth && box.bottom <= innerHeight,
        card: apart(box, card), menu: apart(box, menu),
      };
    });
    assert.deepEqual(placed, { inside: true, card: true, menu: true }, `the meaning window at ${width} x ${height}`);
    await screenshot(page, `meaning-window-${width}x${height}`);
    await page.keyboard.press('Escape');
    await page.waitForSelector('#sw-meaning', { state: 'hidden' });
    await page.setViewportSize({ width: width + 200, height: height + 150 });
    await page.waitForFunction((was) => document.querySelector('#fileList img.card').height > was, before.first.height);
    await page.setViewportSize({ width, height });
    await page.waitForFunction((was) => document.querySelector('#fileList img.card').height <= was, before.first.height);
  }
});

test('the whole reading: the sheet in position order, in print; the meaning window beside its card, stepping; Enter asks', async (t) => {
  const { page, run } = await startSession(t, browser, { seed: 11 });
  const layouts = readLayouts(run.dir);
  const cards = readDeck(run.dir, DECK);
  const cross = layouts.find((layout) => layout.name === 'Celtic Cross');
  await page.setViewportSize({ width: 1280, height: 800 });

  // Enter in the question field asks, as "Ask the Oracle" does.
  await click(page, '#tarotbtn');
  await page.selectOption('select[name=layout]', { label: 'Celtic Cross' });
  await page.fill('input[name=question]', 'Where does the road go?');
  await act(page, () => page.press('input[name=question]', 'Enter'));
  await allLoaded(page);
  assert.equal(await page.textContent('#fileList h3'), 'Where does the road go?');
  const dealt = await page.$$eval('#fileList img.card', (images) => images.map((img) => ({
    pos: Number(img.getAttribute('pos')), card: Number(img.getAttribute('card')), reversed: img.getAttribute('reversed') === '1',
  })));
  assert.ok(dealt.some((card) => card.reversed), 'seed 11 deals a reversed card');

  // The sheet: every position in number order, with the meaning for how its card lies.
  const sheet = await page.$$eval('.sw-sheet-entry section', (sections) => sections.map((section) => ({
    heading: section.querySelector('h4').textContent,
    card: section.querySelector('.sw-sheet-card').textContent,
    meaning: section.querySelector('.sw-sheet-meaning').textContent,
    focusable: section.tabIndex === 0,
  })));
  const textOf = (html) => page.evaluate((markup) => {
    const cell = document.createElement('div');
    cell.innerHTML = markup;
    return cell.textContent;
  }, html);
  const inOrder = [...dealt].sort((a, b) => a.pos - b.pos);
  assert.equal(sheet.length, inOrder.length);
  for (const [index, shown] of inOrder.entries()) {
    const card = cards[shown.card];
    assert.deepEqual(sheet[index], {
      heading: `${shown.pos + 1} - ${cross.positions[shown.pos].title}`,
      card: `${card.name}, ${shown.reversed ? 'reversed' : 'upright'}`,
      meaning: await textOf(shown.reversed ? card.reversedMeaning : card.meaning),
      focusable: true,
    }, `the sheet's entry ${index + 1}`);
  }
  assert.deepEqual(await audit(page), [], 'axe finds nothing serious on the spread and its sheet');
  await screenshot(page, 'reading-sheet-1280x800');

  // Printed: the spread and the sheet, no menus.
  await page.emulateMedia({ media: 'print' });
  const printed = await page.evaluate(() => ({
    sheet: document.querySelector('.sw-sheet').getBoundingClientRect().height > 0,
    spread: document.querySelector('#fileList table').getBoundingClientRect().height > 0,
    menus: Array.from(document.querySelectorAll('td[role=navigation]'), (cell) => getComputedStyle(cell).display),
  }));
  assert.deepEqual(printed, { sheet: true, spread: true, menus: ['none', 'none'] });
  await page.emulateMedia({ media: 'screen' });

  // The meaning window opens beside its card, clear of it and of the menu,
  // and steps through the positions with the arrow keys.
  const frame = page.frame({ url: /\/meaning\.html$/ });
  const byPos = (pos) => dealt.find((card) => card.pos === pos);
  const placed = async (pos) => page.evaluate((p) => {
    const box = document.getElementById('sw-meaning').getBoundingClientRect();
    const card = document.querySelector(`#fileList img.card[pos="${p}"]`).closest('td').getBoundingClientRect();
    const menu = document.querySelector('td[role=navigation]').getBoundingClientRect();
    const apart = (a, b) => a.right <= b.left || a.left >= b.right || a.bottom <= b.top || a.top >= b.bottom;
    return { card: apart(box, card), menu: apart(box, menu), width: box.width };
  }, pos);
  const headingIs = (name) => frame.waitForFunction((n) => document.querySelector('#fileList .heading')?.textContent === n, name);
  await act(page, () => page.click('#fileList img.card[pos="0"]'));
  await page.waitForSelector('#sw-meaning:not([hidden])');
  await headingIs(cards[byPos(0).card].name);
  assert.deepEqual(await placed(0), { card: true, menu: true, width: 480 });
  assert.deepEqual(await audit(frame), [], 'axe finds nothing serious in the meaning window');
  await page.waitForFunction(() => document.activeElement === document.getElementById('sw-meaning-frame'));
  for (const [key, pos] of [['ArrowRight', 1], ['PageDown', 2], ['ArrowLeft', 1], ['PageUp', 0]]) {
    await act(page, () => page.keyboard.press(key));
    await headingIs(cards[byPos(pos).card].name);
    const where = await placed(pos);
    assert.ok(where.card && where.menu, `after ${key} the window leaves position ${pos + 1}'s card and the menu in view`);
    const marked = await frame.evaluate(() => document.querySelector('.sw-reversed')?.textContent ?? null);
    assert.equal(marked, byPos(pos).reversed ? 'Reversed' : null, `a reversed card says so (position ${pos + 1})`);
  }
  await page.keyboard.press('Escape');
  await page.waitForSelector('#sw-meaning', { state: 'hidden' });
  assert.equal(await page.evaluate(() => document.activeElement.getAttribute('pos')), '0', 'the focus is back on the card');
});

// The help is reached from its first page: every page it links to is opened,
// audited and walked in turn, so a new page is covered once anything links to it.
test('every help page passes axe-core, and its links, their targets and its pictures all resolve', async (t) => {
  const { page, url } = await startSession(t, browser, { seed: 22 });
  await withoutHelpPolicy(page.context());
  const help = await page.context().newPage();
  const base = new URL('/help/', url);
  const queue = ['index.htm'];
  const idsOf = new Map();
  const wanted = [];
  while (queue.length > 0) {
    const name = queue.shift();
    const response = await help.goto(new URL(name, base).href);
    assert.equal(response.status(), 200, `help ${name} is served`);
    await help.waitForFunction(() => Array.from(document.images).every((img) => img.complete));
    await expectClean(help, `help ${name}`);
    const found = await help.evaluate(() => ({
      links: Array.from(document.querySelectorAll('a[href]'), (a) => a.href),
      ids: Array.from(document.querySelectorAll('[id]'), (element) => element.id),
      pictures: Array.from(document.images, (img) => ({ src: img.getAttribute('src'), shown: img.naturalWidth > 0 })),
    }));
    idsOf.set(name, new Set(found.ids));
    for (const picture of found.pictures) assert.ok(picture.shown, `help ${name}: the picture ${picture.src} loads`);
    for (const href of found.links) {
      const target = new URL(href);
      assert.ok(target.origin === base.origin && target.pathname.startsWith(base.pathname),
        `help ${name}: ${href} stays inside the help`);
      const topic = target.pathname.slice(base.pathname.length);
      if (target.hash) wanted.push({ from: name, topic, id: decodeURIComponent(target.hash.slice(1)) });
      if (!idsOf.has(topic) && !queue.includes(topic)) queue.push(topic);
    }
  }
  for (const topic of ['index.htm', 'disclaimer.htm', 'cards.htm', 'hexagrams.htm', 'about.htm', 'first-reading.htm']) {
    assert.ok(idsOf.has(topic), `help ${topic} is reached by a link`);
  }
  for (const { from, topic, id } of wanted) {
    assert.ok(idsOf.get(topic).has(id), `help ${from}: the link to ${topic}#${id} finds its target`);
  }
  await help.close();
});
