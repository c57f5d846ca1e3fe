// A spread's cards in the order of their positions, which is not the order
// of the fragment (cards are dealt row by row across the grid, whatever
// numbers the positions bear). Tab visits them in position order: one card
// of the spread is a tab stop at a time, and Tab or Shift+Tab on a card
// goes to the next or previous one; past the last (or first) the focus
// leaves the spread as usual. The meaning window steps through the same
// order.
import { setOwn } from './own.mjs';

// Pictures in position order; cards on the same position keep the
// fragment's order. Each card carries its position index as `pos`.
export function positionOrder(items) {
  return items
    .map((item, index) => ({ item, index, pos: Number(item.pos) }))
    .sort((a, b) => (a.pos - b.pos) || (a.index - b.index))
    .map((entry) => entry.item);
}

export function cardsInOrder(container) {
  const cards = Array.from(container.querySelectorAll('img.card'));
  return positionOrder(cards.map((card) => ({ card, pos: card.getAttribute('pos') }))).map((entry) => entry.card);
}

// The card step places after (or before, step -1) card; null at the ends.
export function nextCard(container, card, step) {
  const cards = cardsInOrder(container);
  const at = cards.indexOf(card);
  if (at < 0) return null;
  return cards[at + step] || null;
}

// The spread's one tab stop goes to card.
export function roveCard(container, card) {
  for (const other of container.querySelectorAll('img.card')) setOwn(other, 'tabindex', other === card ? '0' : '-1');
}

// A new spread: its first position is the tab stop.
export function orderCards(container) {
  const first = cardsInOrder(container)[0];
  if (first) roveCard(container, first);
}

// Tab on a card: true when it moved the focus within the spread.
export function tabInSpread(container, card, backwards) {
  const next = nextCard(container, card, backwards ? -1 : 1);
  if (!next) return false;
  roveCard(container, next);
  next.focus();
  return true;
}
