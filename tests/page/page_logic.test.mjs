// The page script's decisions that need no browser: where the meaning
// window goes, key names, a spread's fitting step, grid moves, what is kept
// of the recent pictures and meanings, picture addresses, which cards the
// letters typed for one's own card name.
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { fileURLToPath } from 'node:url';
import { dirname, join } from 'node:path';

const page = join(dirname(fileURLToPath(import.meta.url)), '..', '..', 'res', 'page');
const load = (name) => import(join(page, name));

const { MEANING, placeMeaning, keepInside, dragTo } = await load('placement.mjs');
const { keyName, isReloadKey } = await load('keys.mjs');
const { nextFactor, firstFactor, sizedFactor } = await load('fit.mjs');
const { resolveLook } = await load('look.mjs');
const { positionOrder } = await load('spread.mjs');
const { gridStep } = await load('grid.mjs');
const { recentEntry } = await load('recent.mjs');
const { mapUrls, mapUrl } = await load('urls.mjs');
const { matchCards } = await load('owncards.mjs');

const rect = (left, top, width, height) => ({ left, top, right: left + width, bottom: top + height, width, height });
const covers = (box, r) => box.x < r.right && r.left < box.x + box.width && box.y < r.bottom && r.top < box.y + box.height;

test('the meaning window opens beside its card, never over it or outside its region', () => {
  const region = { left: 0, top: 70, right: 1170, bottom: 800 };
  assert.deepEqual(placeMeaning(region, null), { x: 0, y: 70, width: MEANING.width, height: MEANING.height });

  // Room on the right: there, its usual size, level with the card's top.
  const card = rect(100, 120, 80, 140);
  const right = placeMeaning(region, card);
  assert.deepEqual(right, { x: card.right + MEANING.gap, y: 120, width: MEANING.width, height: MEANING.height });

  // Room only on the left: there.
  const nearRight = rect(900, 120, 80, 140);
  const left = placeMeaning(region, nearRight);
  assert.equal(left.x + left.width, nearRight.left - MEANING.gap);
  assert.equal(left.width, MEANING.width);

  // Room on both sides: the side that hides less of the spread.
  const centre = rect(600, 120, 80, 140);
  const spread = [rect(700, 120, 80, 140), rect(800, 300, 80, 140), rect(100, 500, 80, 140)];
  const clearer = placeMeaning(region, centre, spread);
  assert.equal(clearer.x + clearer.width, centre.left - MEANING.gap, 'on the left, where one card is hidden, not two');

  // Neither side has its usual width: the roomier side, narrowed to it.
  const narrow = { left: 0, top: 60, right: 700, bottom: 600 };
  const middle = rect(300, 100, 80, 140);
  const side = placeMeaning(narrow, middle);
  assert.ok(!covers(side, middle) && side.x >= narrow.left && side.x + side.width <= narrow.right);
  assert.equal(side.width, narrow.right - middle.right - MEANING.gap);

  // A card low in the view: the window stays inside, below the menu.
  const low = placeMeaning(region, rect(100, 700, 80, 90));
  assert.ok(low.y >= region.top && low.y + low.height <= region.bottom);

  // No side wide enough: above or below the card, never over it.
  const tight = { left: 0, top: 60, right: 400, bottom: 900 };
  const wide = rect(100, 100, 200, 150);
  const below = placeMeaning(tight, wide);
  assert.ok(!covers(below, wide) && below.y >= wide.bottom && below.y + below.height <= tight.bottom);
});

test('a moved or resized meaning window stays inside its region', () => {
  const region = { left: 0, top: 60, right: 800, bottom: 600 };
  assert.deepEqual(keepInside({ x: 700, y: 500, width: 480, height: 400 }, region), { x: 320, y: 200, width: 480, height: 400 });
  assert.deepEqual(keepInside({ x: -50, y: 0, width: 100, height: 100 }, region),
    { x: 0, y: 60, width: MEANING.minWidth, height: MEANING.minHeight });
  assert.deepEqual(keepInside({ x: 0, y: 0, width: 2000, height: 2000 }, region), { x: 0, y: 60, width: 800, height: 540 });
  assert.deepEqual(dragTo({ x: 900, y: -20 }, { x: 10, y: 5 }, { width: 320, height: 460 }, region), { x: 480, y: 60 });
});

test('keys are named as the program knows them', () => {
  const key = (init) => ({ altKey: false, ctrlKey: false, metaKey: false, key: '', code: '', ...init });
  assert.equal(keyName(key({ altKey: true, key: 'y', code: 'KeyZ' })), 'Alt+Y', 'the label counts, not the position');
  assert.equal(keyName(key({ altKey: true, key: 'к', code: 'KeyR' })), 'Alt+R', 'another script falls back to the position');
  assert.equal(keyName(key({ altKey: true, key: '®', code: 'KeyR' })), 'Alt+R');
  assert.equal(keyName(key({ altKey: true, ctrlKey: true, key: 'o', code: 'KeyO' })), null, 'Ctrl+Alt is no accelerator');
  assert.equal(keyName(key({ altKey: true, key: '1', code: 'Digit1' })), null);
  for (const name of ['F1', 'F5', 'Escape']) assert.equal(keyName(key({ key: name })), name);
  assert.equal(keyName(key({ key: 'o', code: 'KeyO' })), null, 'a plain letter is typing');
  assert.ok(isReloadKey(key({ ctrlKey: true, key: 'R' })) && isReloadKey(key({ metaKey: true, key: 'r' })));
  assert.ok(!isReloadKey(key({ key: 'r' })));
});

test('a spread that overflows shrinks by its overflow, never below the smallest scale', () => {
  assert.equal(nextFactor(1, 0, 0, 500, 400, 0.1), 1);
  assert.equal(nextFactor(1, 0, 99, 500, 400, 0.1), 1 - 100 / 400);
  assert.equal(nextFactor(1, 49, 0, 500, 400, 0.1), 1 - 50 / 500);
  assert.equal(nextFactor(1, 49, 99, 500, 400, 0.1), 0.75, 'the larger cut of the two');
  assert.equal(nextFactor(0.5, 0, 5000, 500, 400, 0.1), 0.1);
  // The first try: the cards alone in the room, never past their own size.
  assert.equal(firstFactor({ width: 1000, height: 600 }, 500, 1200, 0.05), 0.5);
  assert.equal(firstFactor({ width: 1000, height: 6000 }, 500, 1200, 0.05), 1);
  assert.equal(firstFactor({ width: 10, height: 10 }, 500, 1200, 0.05), 0.05);
  // The user's card size scales the fit, never past the pictures' size nor below the smallest.
  assert.equal(sizedFactor(0.5, 'smaller', 0.1), 0.375);
  assert.equal(sizedFactor(0.5, 'larger', 0.1), 0.675);
  assert.equal(sizedFactor(0.9, 'larger', 0.1), 1);
  assert.equal(sizedFactor(0.12, 'smaller', 0.1), 0.1);
  assert.equal(sizedFactor(0.5, 'unheard-of', 0.1), 0.5);
});

test('a chosen look holds whatever the system asks; until one is chosen the system decides', () => {
  const plain = { dark: false, moreContrast: false };
  assert.equal(resolveLook(undefined, plain), 'green', 'a first start looks as it always did');
  assert.equal(resolveLook('system', { dark: true, moreContrast: false }), 'dark');
  assert.equal(resolveLook('system', { dark: true, moreContrast: true }), 'contrast', 'more contrast comes first');
  assert.equal(resolveLook('green', { dark: true, moreContrast: true }), 'green');
  assert.equal(resolveLook('dark', { dark: false, moreContrast: true }), 'dark');
  assert.equal(resolveLook('<b>', plain), 'green', 'an unknown name is no look');
});

test('the cards of a spread go in position order, cards of one position in the order dealt', () => {
  const dealt = [{ pos: '4', id: 'a' }, { pos: '0', id: 'b' }, { pos: '9', id: 'c' }, { pos: '0', id: 'd' }, { pos: '1', id: 'e' }];
  assert.deepEqual(positionOrder(dealt).map((card) => card.id), ['b', 'd', 'e', 'a', 'c']);
});

test('arrow keys step one cell in the grid', () => {
  assert.deepEqual(gridStep(2, 3, 'ArrowUp'), { row: 1, col: 3 });
  assert.deepEqual(gridStep(2, 3, 'ArrowDown'), { row: 3, col: 3 });
  assert.deepEqual(gridStep(2, 3, 'ArrowLeft'), { row: 2, col: 2 });
  assert.deepEqual(gridStep(2, 3, 'ArrowRight'), { row: 2, col: 4 });
  assert.equal(gridStep(2, 3, 'Enter'), null);
});

test('recent things are kept in order of use, the least recent dropped first', () => {
  const map = new Map();
  let made = 0;
  const make = () => ++made;
  for (const key of ['a', 'b', 'c']) recentEntry(map, key, 3, make);
  assert.equal(recentEntry(map, 'a', 3, make), 1, 'a kept thing is not made again');
  recentEntry(map, 'd', 3, make);
  assert.deepEqual([...map.keys()], ['c', 'a', 'd'], 'b, the least recently used, went');
  assert.equal(made, 4);
});

test('file: picture addresses become the program routes, nothing else changes', () => {
  assert.equal(mapUrls("<img src='file:images/ask.gif'><IMG SRC=\"file:./decks/A B/00.jpg\">"),
    "<img src='/images/ask.gif'><IMG SRC=\"/decks/A B/00.jpg\">");
  assert.equal(mapUrls("<td background=file:images/back.jpg>"), '<td background=/images/back.jpg>');
  assert.equal(mapUrls('<a title="file:images/x">'), '<a title="file:images/x">', 'only pictures are mapped');
  assert.equal(mapUrl('file:./images/logo.gif'), '/images/logo.gif');
  assert.equal(mapUrl('file:decks/Tarot 1909/00.jpg'), '/decks/Tarot 1909/00.jpg');
});

test('a few letters of a card\'s name find it, the best match first', () => {
  const names = ['The Fool', 'The Magician', 'The Tower', 'The Star', 'Ace of Cups', 'Three of Cups', 'Queen of Swords',
    'Three of Swords', 'Strength', 'Ten of Wands'];
  const find = (typed) => matchCards(names, typed).map((index) => names[index]);
  assert.deepEqual(matchCards(names, ''), names.map((_, index) => index), 'nothing typed: every card');
  assert.deepEqual(find('tow'), ['The Tower']);
  assert.deepEqual(find('TOWER'), ['The Tower']);
  assert.deepEqual(find('st'), ['The Star', 'Strength']);
  assert.deepEqual(find('sw'), ['Queen of Swords', 'Three of Swords']);
  assert.deepEqual(find('th'), ['Three of Cups', 'Three of Swords', 'The Fool', 'The Magician', 'The Tower', 'The Star',
    'Strength'], 'names beginning so first (a leading "the" aside), then a word beginning so, then the letters anywhere');
  assert.deepEqual(find('3 cups'), ['Three of Cups'], 'a number typed as a figure');
  assert.deepEqual(find('three of'), ['Three of Cups', 'Three of Swords']);
  assert.deepEqual(find('q sw'), ['Queen of Swords']);
  assert.deepEqual(find('10 w'), ['Ten of Wands']);
  assert.deepEqual(find('the fool'), ['The Fool']);
  assert.deepEqual(find('agic'), ['The Magician'], 'letters within a word, last');
  assert.deepEqual(find('cups ace'), [], 'the words in the order of the name');
  assert.deepEqual(find('  '), names, 'blanks alone: every card');
  assert.deepEqual(find('zz'), []);
});
