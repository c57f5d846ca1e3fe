// The page script's decisions that need no browser: where the meaning
// window goes, key names, a spread's fitting step, grid moves, what is kept
// of the recent pictures and meanings, picture addresses, how a file for
// import is cut.
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { fileURLToPath } from 'node:url';
import { dirname, join } from 'node:path';

const page = join(dirname(fileURLToPath(import.meta.url)), '..', '..', 'res', 'page');
const load = (name) => import(join(page, name));

const { MEANING, placeMeaning, keepInside, dragTo } = await load('placement.mjs');
const { keyName, isReloadKey } = await load('keys.mjs');
const { nextFactor, MIN_CARD_SCALE } = await load('fit.mjs');
const { gridStep } = await load('grid.mjs');
const { recentEntry } = await load('recent.mjs');
const { mapUrls, mapUrl } = await load('urls.mjs');
const { pieces, PIECE_BYTES } = await load('pieces.mjs');

const rect = (left, top, width, height) => ({ left, top, right: left + width, bottom: top + height, width, height });
const covers = (box, r) => box.x < r.right && r.left < box.x + box.width && box.y < r.bottom && r.top < box.y + box.height;

test('the meaning window opens at the top left unless it would cover its card', () => {
  const view = { width: 1280, height: 800 };
  assert.deepEqual(placeMeaning(view, null), { x: 0, y: 0, width: MEANING.width, height: MEANING.height });
  assert.deepEqual(placeMeaning(view, rect(600, 300, 80, 120)), { x: 0, y: 0, width: MEANING.width, height: MEANING.height });

  // Over the card: beside it on the right, level with its top.
  const card = rect(100, 50, 80, 140);
  const right = placeMeaning(view, card);
  assert.equal(right.x, card.right + MEANING.gap);
  assert.equal(right.y, 50);
  assert.ok(!covers(right, card));

  // No room on the right: on the left, shrunk to the room there.
  const narrow = { width: 700, height: 800 };
  const nearRight = rect(400, 10, 80, 140);
  const left = placeMeaning(narrow, nearRight);
  assert.ok(!covers(left, nearRight));
  assert.ok(left.x >= 0 && left.width >= MEANING.minWidth && left.x + left.width <= nearRight.left);

  // No room on either side: above or below, never outside the view.
  const small = { width: 400, height: 600 };
  const middle = rect(150, 20, 100, 150);
  const below = placeMeaning(small, middle);
  assert.ok(!covers(below, middle));
  assert.ok(below.y >= middle.bottom && below.y + below.height <= small.height);

  // A window smaller than the box: the box is no larger than the view.
  const tiny = placeMeaning({ width: 200, height: 150 }, null);
  assert.ok(tiny.width <= 200 && tiny.height <= 150);
});

test('a moved or resized meaning window stays inside the view', () => {
  const view = { width: 800, height: 600 };
  assert.deepEqual(keepInside({ x: 700, y: 500, width: 320, height: 460 }, view), { x: 480, y: 140, width: 320, height: 460 });
  assert.deepEqual(keepInside({ x: -50, y: -5, width: 100, height: 100 }, view), { x: 0, y: 0, width: 320, height: 460 });
  assert.deepEqual(keepInside({ x: 0, y: 0, width: 2000, height: 2000 }, view), { x: 0, y: 0, width: 800, height: 600 });
  assert.deepEqual(dragTo({ x: 900, y: -20 }, { x: 10, y: 5 }, { width: 320, height: 460 }, view), { x: 480, y: 0 });
  assert.deepEqual(dragTo({ x: 5, y: 5 }, { x: 10, y: 5 }, { width: 900, height: 460 }, view), { x: 0, y: 0 });
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
  assert.equal(nextFactor(1, 0, 0, 500, 400), 1);
  assert.equal(nextFactor(1, 0, 99, 500, 400), 1 - 100 / 400);
  assert.equal(nextFactor(1, 49, 0, 500, 400), 1 - 50 / 500);
  assert.equal(nextFactor(1, 49, 99, 500, 400), 0.75, 'the larger cut of the two');
  assert.equal(nextFactor(0.5, 0, 5000, 500, 400), MIN_CARD_SCALE);
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

test('a file for import is cut into pieces that cover it once, in order, each within the message limit', () => {
  assert.deepEqual(pieces(0), [[0, 0]], 'an empty file is still sent, as one empty piece');
  assert.deepEqual(pieces(10, 4), [[0, 4], [4, 8], [8, 10]]);
  assert.deepEqual(pieces(8, 4), [[0, 4], [4, 8]]);
  const size = 5 * PIECE_BYTES + 17;
  const ranges = pieces(size);
  assert.equal(ranges.length, 6);
  ranges.forEach(([start, end], i) => {
    assert.equal(start, i === 0 ? 0 : ranges[i - 1][1]);
    assert.ok(end > start && end - start <= PIECE_BYTES);
  });
  assert.equal(ranges.at(-1)[1], size);
  // Escaped as \u0001 in JSON, every byte of a piece becomes six.
  assert.ok(6 * PIECE_BYTES + 1024 < 1 << 20);
});
