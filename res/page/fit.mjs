// Fitting a spread into the window. Cards shrink (never grow past their own
// size) until the page needs no scrolling; captions wrap meanwhile. Where
// that would leave the cards too small to make out, the spread alone fits
// the window and the words of the page's foot wait below it. Both limits are
// the tallest card's height on screen, whatever the size of the pictures
// behind it. This measures the laid-out page: the spread's geometry is what
// the browser drew.
import { markOwn } from './own.mjs';

export const MIN_CARD_HEIGHT = 20;
export const READABLE_CARD_HEIGHT = 60;

// The next, smaller scale for a page that overflows by overX and overY
// pixels, whose cards take cardsWide and cardsHigh pixels at scale 1. Not
// below minScale; the same factor when nothing overflows.
export function nextFactor(factor, overX, overY, cardsWide, cardsHigh, minScale) {
  let next = factor;
  if (overY > 0) next = Math.min(next, factor - (overY + 1) / cardsHigh);
  if (overX > 0) next = Math.min(next, factor - (overX + 1) / cardsWide);
  return Math.max(minScale, next);
}

let fitPending = false;
// What the last fit found, for the window's size and the page's shape: the
// next deal of that spread takes its size at once, without a layout of its
// own, and is checked on the layout that placing the focus makes anyway
// (and its cards keep their size from deal to deal).
let lastFit = { shape: '', whole: true, factor: 1 };
let fitToCheck = false;
let container = null;

export function setUpFit(fileList) {
  container = fileList;
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

// A page just written (remembered) takes the last fit of its shape if it
// has one; it is measured once the focus is placed.
export function fitSpread(remembered = false) {
  const all = container.querySelectorAll('img.card');
  const cards = Array.from(all).filter((card) => card.complete && card.naturalWidth > 0);
  if (cards.length === 0 || cards.length !== all.length) return;
  const sizes = cards.map((card) => [card.naturalWidth, card.naturalHeight]);
  // The cards' share of the page: the tallest card of each row, the widest of each column.
  const rowHeights = new Map();
  const columnWidths = new Map();
  cards.forEach((card, index) => {
    const cell = card.closest('td');
    const row = cell.parentElement;
    rowHeights.set(row, Math.max(rowHeights.get(row) || 0, sizes[index][1]));
    columnWidths.set(cell.cellIndex, Math.max(columnWidths.get(cell.cellIndex) || 0, sizes[index][0]));
  });
  const table = cards[0].closest('table');
  // The words around the spread count too: another page of the same spread
  // (a journal entry with its notes) has its own fit.
  const shape = [window.innerWidth, window.innerHeight, container.textContent.length - table.textContent.length,
    ...cards.map((card, index) => {
      const cell = card.closest('td');
      return `${cell.parentElement.rowIndex}.${cell.cellIndex}:${sizes[index].join('x')}`;
    })].join(' ');
  const cardsHigh = Array.from(rowHeights.values()).reduce((a, b) => a + b, 0);
  const cardsWide = Array.from(columnWidths.values()).reduce((a, b) => a + b, 0);
  const tallest = Math.max(...rowHeights.values());
  const minScale = Math.min(1, MIN_CARD_HEIGHT / tallest);
  const scale = (factor) => cards.forEach((card, index) => {
    card.style.width = Math.max(1, Math.floor(sizes[index][0] * factor)) + 'px';
    card.style.height = Math.max(1, Math.floor(sizes[index][1] * factor)) + 'px';
    markOwn(card, 'style');
  });
  const known = lastFit.shape === shape;
  if (known && remembered) {
    scale(lastFit.factor);
    fitToCheck = true;
    return;
  }
  // (Asking which element scrolls lays the page out, in a page with no doctype.)
  const scroller = document.scrollingElement || document.documentElement;
  const pageBottom = () => scroller.scrollHeight;
  const spreadBottom = () => table.getBoundingClientRect().bottom + scroller.scrollTop + 4;
  const fit = (bottom, from) => {
    let factor = from;
    scale(factor);
    for (let round = 0; round < 8; round++) {
      const overY = bottom() - scroller.clientHeight;
      const overX = scroller.scrollWidth - scroller.clientWidth;
      if (overY <= 0 && overX <= 0) break;
      const next = nextFactor(factor, overX, overY, cardsWide, cardsHigh, minScale);
      if (next >= factor) break;
      factor = next;
      scale(factor);
    }
    return factor;
  };
  let whole = !known || lastFit.whole;
  let factor = whole ? fit(pageBottom, known ? lastFit.factor : 1) : 0;
  if (factor < Math.min(1, READABLE_CARD_HEIGHT / tallest)) {
    whole = false;
    factor = fit(spreadBottom, known && !lastFit.whole ? lastFit.factor : 1);
  }
  lastFit = { shape, whole, factor };
}
