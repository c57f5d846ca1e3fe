// Fitting a spread into the window: its cards are drawn at the largest size
// at which the whole spread (from its heading's foot to its last caption)
// shows without scrolling, never larger than the pictures themselves, and
// fitted again when the window changes size. The room is the window below
// the spread's top, between the page's left column and the program's
// column, less the reading sheet when it stands beside the spread. This
// measures the laid-out page: the spread's geometry is what the browser
// drew (its captions wrap as the cards narrow). The user's card size
// ("cardSize") then makes the fitted cards smaller or larger (a larger
// spread may scroll), never larger than the pictures themselves.
import { markOwn, setOwn } from './own.mjs';

export const MIN_CARD_HEIGHT = 20;  // pixels on screen, whatever the pictures' size
// Below this height the captions and names are set smaller, so that more
// of a crowded spread's height goes to its cards.
export const COMPACT_BELOW = 72;
const MARGIN = 8;

// The next, smaller scale for a spread that overflows its room by overX
// and overY pixels, whose cards take cardsWide and cardsHigh pixels at
// scale 1. Not below minScale; the same factor when nothing overflows.
export function nextFactor(factor, overX, overY, cardsWide, cardsHigh, minScale = 0.1) {
  let next = factor;
  if (overY > 0) next = Math.min(next, factor - (overY + 1) / cardsHigh);
  if (overX > 0) next = Math.min(next, factor - (overX + 1) / cardsWide);
  return Math.max(minScale, next);
}

// The first scale to try: as if the cards were all the spread held. At
// most 1, never below minScale; fitting shrinks it from there.
export function firstFactor(room, cardsWide, cardsHigh, minScale = 0.1) {
  return Math.max(minScale, Math.min(1, room.width / cardsWide, room.height / cardsHigh));
}

// The fitted scale, as the user's card size makes it: not past 1, not below minScale.
export const CARD_SIZES = { smaller: 0.75, fit: 1, larger: 1.35 };
export function sizedFactor(fitted, cardSize, minScale = 0.1) {
  return Math.max(minScale, Math.min(1, fitted * (CARD_SIZES[cardSize] || 1)));
}

let fitPending = false;
// What the last fit found for the room and the page's shape: the next
// deal of that spread takes its size at once, without a layout of its
// own, and is checked on the layout that placing the focus makes anyway
// (and its cards keep their size from deal to deal).
let lastFit = { shape: '', factor: 1, compact: false };
let fitToCheck = false;
let container = null;
let cardSize = 'fit';  // the user's: "smaller", "fit" or "larger"

export function setUpFit(fileList) {
  container = fileList;
}

// The user's card size, from the kept preferences: a change refits the spread on show.
export function setCardSize(name) {
  if (name === cardSize) return;
  cardSize = name;
  scheduleFit();
}

export function scheduleFit() {
  if (fitPending) return;
  fitPending = true;
  requestAnimationFrame(() => {
    fitPending = false;
    fitSpread();
  });
}

// After a page write has been laid out (placing the focus lays it out):
// checks a remembered fit on that layout.
export function checkFit() {
  if (!fitToCheck) return;
  fitToCheck = false;
  fitSpread();
}

function roomFor(table, scroller) {
  const reading = container.parentElement;
  const beside = reading.classList.contains('sw-sheet-beside') ? reading.querySelector('.sw-beside') : null;
  const cell = reading.closest('td');
  const column = document.querySelectorAll('td[role=navigation]')[1];
  const left = cell ? cell.getBoundingClientRect().left + scroller.scrollLeft : 0;
  const right = scroller.clientWidth - (column ? column.offsetWidth : 0) - (beside ? beside.offsetWidth + 16 : 0);
  const top = table.getBoundingClientRect().top + scroller.scrollTop;
  if (beside) beside.style.maxHeight = Math.max(200, scroller.clientHeight - (beside.getBoundingClientRect().top + scroller.scrollTop) - MARGIN) + 'px';
  return { width: Math.max(1, right - left - MARGIN), height: Math.max(1, scroller.clientHeight - top - MARGIN) };
}

// A page just written (remembered) takes the last fit of its shape if it
// has one; it is measured once the focus is placed.
export function fitSpread(remembered = false) {
  const all = container.querySelectorAll('img.card');
  const cards = Array.from(all).filter((card) => card.complete && card.naturalWidth > 0);
  if (cards.length === 0 || cards.length !== all.length) return;
  const sizes = cards.map((card) => [card.naturalWidth, card.naturalHeight]);
  // The cards' share of the spread: the tallest card of each row, the widest of each column.
  const rowHeights = new Map();
  const columnWidths = new Map();
  cards.forEach((card, index) => {
    const cell = card.closest('td');
    const row = cell.parentElement;
    rowHeights.set(row, Math.max(rowHeights.get(row) || 0, sizes[index][1]));
    columnWidths.set(cell.cellIndex, Math.max(columnWidths.get(cell.cellIndex) || 0, sizes[index][0]));
  });
  const table = cards[0].closest('table');
  // (Asking which element scrolls lays the page out, in a page with no doctype.)
  const scroller = document.scrollingElement || document.documentElement;
  const room = roomFor(table, scroller);
  const cardsHigh = Array.from(rowHeights.values()).reduce((a, b) => a + b, 0);
  const cardsWide = Array.from(columnWidths.values()).reduce((a, b) => a + b, 0);
  const minScale = Math.min(1, MIN_CARD_HEIGHT / Math.max(...rowHeights.values()));
  // The words around the cards count too: another page of the same spread
  // (a journal entry) has its own fit.
  const shape = [room.width, room.height, table.textContent.length, ...cards.map((card, index) => {
    const cell = card.closest('td');
    return `${cell.parentElement.rowIndex}.${cell.cellIndex}:${sizes[index].join('x')}`;
  })].join(' ');
  const scale = (factor) => cards.forEach((card, index) => {
    card.style.width = Math.max(1, Math.floor(sizes[index][0] * factor)) + 'px';
    card.style.height = Math.max(1, Math.floor(sizes[index][1] * factor)) + 'px';
    markOwn(card, 'style');
  });
  const compact = (on) => {
    if (on) setOwn(table, 'class', 'sw-compact');
    else if (table.classList.contains('sw-compact')) table.removeAttribute('class');
  };
  const shown = (factor) => scale(sizedFactor(factor, cardSize, minScale));
  const known = lastFit.shape === shape;
  if (known && remembered) {
    compact(lastFit.compact);
    shown(lastFit.factor);
    fitToCheck = true;
    return;
  }
  const fit = (from) => {
    let factor = from;
    scale(factor);
    let width = Infinity;
    for (let round = 0; round < 8; round++) {
      // The room is measured again: the words above the spread wrap anew as its width changes.
      const now = roomFor(table, scroller);
      const box = table.getBoundingClientRect();
      // A spread as wide as its captions' longest words gets no narrower with smaller cards.
      const overX = box.width < width - 0.5 ? box.width - now.width : 0;
      width = box.width;
      const next = nextFactor(factor, overX, box.height - now.height, cardsWide, cardsHigh, minScale);
      if (next >= factor) break;
      factor = next;
      scale(factor);
    }
    // Shrinking by the overflow may overshoot where words wrap anew: grow
    // back into what room is left while the spread still fits.
    for (let round = 0; round < 3 && factor < 1; round++) {
      const now = roomFor(table, scroller);
      const box = table.getBoundingClientRect();
      const slackX = box.width > now.width ? Infinity : (now.width - box.width) / cardsWide;
      const grown = Math.min(1, factor + Math.min((now.height - box.height) / cardsHigh, slackX));
      if (grown - factor < 0.5 / cardsHigh) break;
      scale(grown);
      const after = table.getBoundingClientRect();
      const space = roomFor(table, scroller);
      if (after.height > space.height || (after.width > space.width && after.width > box.width + 0.5)) {
        scale(factor);
        break;
      }
      factor = grown;
    }
    return factor;
  };
  const tallest = Math.max(...rowHeights.values());
  compact(false);
  let factor = fit(known && !lastFit.compact ? lastFit.factor : firstFactor(room, cardsWide, cardsHigh, minScale));
  const small = tallest * factor < COMPACT_BELOW;
  if (small) {
    compact(true);
    factor = fit(firstFactor(room, cardsWide, cardsHigh, minScale));
  }
  lastFit = { shape, factor, compact: small };
  shown(factor);
}
