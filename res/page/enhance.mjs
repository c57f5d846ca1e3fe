// Making a fragment usable from the keyboard and by a screen reader. The
// fragments stay as the program composed them; here they get roles, names,
// tab stops and small labels. What a part of the page is (a field's
// caption, a picture that is only decoration, what a hexagram drawing
// shows) comes from the program beside the fragment ("parts" and
// "cardLabels" in platform/shell.h); the page only knows the conventions
// all fragments follow: buttons are A elements of class btn, spread cards
// IMG elements of class card, "Ask the Oracle" an image input named by its
// value, I Ching lines rules of class iching.
import { setOwn } from './own.mjs';
import { enhanceGrid } from './grid.mjs';
import { scheduleFit } from './fit.mjs';
import { keepPictures } from './recent.mjs';
import { mapUrl } from './urls.mjs';
import { prefetch } from './prefetch.mjs';
import { sanitize } from './sanitize.mjs';
import { clearSheet, showSheet } from './sheet.mjs';
import { orderCards } from './spread.mjs';

const NO_PARTS = { fields: [], pictures: [], hexagrams: [], cards: [], focus: '', enter: '', menu: '' };
let parts = NO_PARTS;

// The field the page's parts say the focus goes to, if it is there.
export function focusField(container) {
  return parts.focus ? byName(container, parts.focus) : null;
}

// The control Enter presses in a text field of the page, if it is there.
export function enterControl(container) {
  if (!parts.enter) return null;
  const found = Array.from(container.querySelectorAll('[id]')).filter((element) => element.id === parts.enter);
  return found.length === 1 ? found[0] : null;
}

// Whether a list's choice acts at once (a keyboard choice is then sent as a click).
export function choosesOnChange(element) {
  const name = (element.getAttribute('name') || element.getAttribute('id') || '').toLowerCase();
  return parts.fields.some((field) => field.chooses && field.name.toLowerCase() === name);
}

function byName(container, name) {
  const wanted = String(name).toLowerCase();
  return Array.from(container.querySelectorAll('[name],[id]')).find((element) =>
    (element.getAttribute('name') || '').toLowerCase() === wanted ||
    (element.getAttribute('id') || '').toLowerCase() === wanted) || null;
}

function enhanceCards(container) {
  for (const card of container.querySelectorAll('img.card')) {
    setOwn(card, 'role', 'button');
    const reversed = card.getAttribute('reversed') === '1';
    // Until the program names it (cardLabels): its picture's text, and how it lies.
    setOwn(card, 'aria-label', (card.getAttribute('alt') || 'Card') + (reversed ? ', reversed' : ''));
    if (!card.complete) {
      card.addEventListener('load', scheduleFit, { once: true });
      card.addEventListener('error', scheduleFit, { once: true });
    }
  }
  orderCards(container);
}

// Under each card's caption, the card's name, and "Reversed" where it lies
// so (upside down is easy to miss on a symmetrical card). Screen readers
// have both in the card's own name.
function nameCards(container, cards) {
  const pictures = container.querySelectorAll('img.card');
  cards.forEach((card, index) => {
    const picture = pictures[index];
    if (!picture || typeof card.name !== 'string') return;
    const line = document.createElement('div');
    line.className = 'sw-cardname';
    line.setAttribute('aria-hidden', 'true');
    line.textContent = card.name;
    if (card.reversed) {
      const mark = document.createElement('span');
      mark.className = 'sw-reversed';
      mark.textContent = 'Reversed';
      line.append(' ', mark);
    }
    picture.parentElement.appendChild(line);
  });
}

// The menu link of the part of the program on show is marked as such.
function markMenu(menu) {
  for (const link of document.querySelectorAll('td[role=navigation] a.btn[aria-current]')) link.removeAttribute('aria-current');
  const link = menu ? document.querySelector(`td[role=navigation] a.btn[id="${CSS.escape(menu)}"]`) : null;
  if (link) link.setAttribute('aria-current', 'page');
}

// A fragment just written: what every fragment gets, before its parts come.
export function enhance(container, beside) {
  parts = NO_PARTS;
  beside.replaceChildren();
  clearSheet(beside);
  markMenu('');
  keepPictures(container);
  // A picture the program says nothing about is decoration.
  for (const img of container.querySelectorAll('img:not(.card)')) setOwn(img, 'alt', '');
  for (const input of container.querySelectorAll('input[type=image]')) setOwn(input, 'alt', input.getAttribute('value') || '');
  for (const button of container.querySelectorAll('a.btn')) {
    setOwn(button, 'tabindex', '0');
    setOwn(button, 'role', 'button');
  }
  enhanceCards(container);
  enhanceGrid(container);
}

// The hexagram drawings, in the order the fragment draws them: the tables
// that hold rules of class iching.
function drawings(container) {
  const found = [];
  for (const rule of container.querySelectorAll('hr.iching')) {
    const table = rule.closest('table');
    if (table && !found.includes(table)) found.push(table);
  }
  return found;
}

function describeHexagram(figure, hexagram) {
  const lines = hexagram.lines.map((line) => (line.yang ? 'yang' : 'yin'));
  setOwn(figure, 'role', 'img');
  setOwn(figure, 'aria-label', `Hexagram ${hexagram.number}, ${hexagram.name}: lines from the bottom: ${lines.join(', ')}`);
  const moving = hexagram.lines.flatMap((line, index) => (line.moving ? [index + 1] : []));
  if (moving.length > 0) setOwn(figure, 'aria-description', `Moving lines, from the bottom: ${moving.join(', ')}`);
}

// When all six lines of a cast move, the text its hexagram has for that,
// beside the cast.
function showAllMoving(beside, hexagram) {
  const section = document.createElement('section');
  section.className = 'sw-allmoving';
  section.setAttribute('aria-label', 'All six lines moving');
  const heading = document.createElement('h4');
  heading.textContent = `All six lines moving: ${hexagram.name}`;
  const text = document.createElement('div');
  text.innerHTML = sanitize(hexagram.allMoving);
  section.append(heading, text);
  beside.appendChild(section);
}

// What the program says the fragment's parts are.
export function applyParts(container, beside, given) {
  const list = (value) => (Array.isArray(value) ? value : []);
  const text = (value) => (typeof value === 'string' ? value : '');
  parts = {
    fields: list(given.fields), pictures: list(given.pictures), hexagrams: list(given.hexagrams), cards: list(given.cards),
    focus: text(given.focus), enter: text(given.enter), menu: text(given.menu),
  };
  markMenu(parts.menu);
  prefetch(given.prefetch);
  for (const field of parts.fields) {
    const element = byName(container, field.name);
    if (element && !(element.labels && element.labels.length > 0)) setOwn(element, 'aria-label', String(field.label));
  }
  for (const picture of parts.pictures) {
    const src = mapUrl(picture.src);
    for (const img of container.querySelectorAll('img:not(.card)')) {
      if (img.getAttribute('src') === src) setOwn(img, 'alt', String(picture.alt));
    }
  }
  const figures = drawings(container);
  parts.hexagrams.forEach((hexagram, index) => {
    if (figures[index] && Array.isArray(hexagram.lines) && hexagram.lines.length === 6) describeHexagram(figures[index], hexagram);
    if (typeof hexagram.allMoving === 'string' && hexagram.allMoving) showAllMoving(beside, hexagram);
  });
  if (parts.cards.length > 0) {
    nameCards(container, parts.cards);
    showSheet(container, beside, parts.cards, scheduleFit);
  }
}

export function applyCardLabels(container, labels) {
  const cards = container.querySelectorAll('img.card');
  labels.forEach((label, index) => {
    if (cards[index] && typeof label === 'string' && label) setOwn(cards[index], 'aria-label', label);
  });
}
