// The reading sheet: the whole reading on one page, beside or below the
// spread (the user's choice, kept with the preferences). Every position in its
// number order: the number and title, the position's description, a small
// picture, the card's name and how it lies, and the meaning for how it
// lies. Screen readers read it as a list of sections, and the keyboard
// reaches each; a section's picture opens the card's meaning window, as
// the card in the spread does. It prints with the spread. What it shows
// comes from the program beside the spread ("parts" in platform/shell.h).
import { positionOrder } from './spread.mjs';
import { sanitize } from './sanitize.mjs';
import { mapUrl } from './urls.mjs';
import { preference, setPreference } from './settings.mjs';

const WIDE_ENOUGH = 1400;  // below this, the sheet starts below the spread, which then has the width
// Where the sheet goes: where the user last put it, else beside the spread
// in a wide window.
export function sheetPlacement() {
  const chosen = preference('sheet');
  if (chosen === 'beside' || chosen === 'below') return chosen;
  return window.innerWidth >= WIDE_ENOUGH ? 'beside' : 'below';
}

function place(reading, where) {
  reading.classList.toggle('sw-sheet-beside', where === 'beside');
  for (const button of reading.querySelectorAll('.sw-sheet-place button')) {
    button.setAttribute('aria-pressed', String(button.dataset.place === where));
  }
}

function element(tag, className, text) {
  const node = document.createElement(tag);
  if (className) node.className = className;
  if (text !== undefined) node.textContent = text;
  return node;
}

// cards: the spread's cards in the order of the fragment's pictures;
// onPlaced() once the sheet has moved (the spread then fits anew).
export function showSheet(container, beside, cards, onPlaced) {
  const reading = beside.parentElement;
  const pictures = Array.from(container.querySelectorAll('img.card'));
  const sheet = element('section', 'sw-sheet');
  sheet.setAttribute('aria-labelledby', 'sw-sheet-title');
  const head = element('div', 'sw-sheet-head');
  head.append(element('h3', '', 'The reading'));
  head.firstChild.id = 'sw-sheet-title';
  const choice = element('div', 'sw-sheet-place');
  choice.setAttribute('role', 'group');
  choice.setAttribute('aria-label', 'Show the reading');
  for (const [where, text] of [['beside', 'Beside'], ['below', 'Below']]) {
    const button = element('button', 'sw-sheet-button', text);
    button.type = 'button';
    button.dataset.place = where;
    button.addEventListener('click', () => {
      setPreference('sheet', where);
      place(reading, where);
      onPlaced();
    });
    choice.append(button);
  }
  head.append(choice);
  sheet.append(head);

  const list = element('ol', 'sw-sheet-list');
  const ordered = positionOrder(cards.map((card, index) => ({ card, picture: pictures[index], pos: card.position })));
  ordered.forEach(({ card, picture }, index) => {
    const item = element('li', 'sw-sheet-entry');
    const section = element('section');
    section.tabIndex = 0;
    const headingId = `sw-sheet-${index + 1}`;
    section.setAttribute('aria-labelledby', headingId);
    const heading = element('h4', '', `${card.position} - ${card.title}`);
    heading.id = headingId;
    const image = element('img', 'sw-sheet-picture');
    image.src = mapUrl(card.picture);
    image.alt = '';
    if (picture) image.addEventListener('click', () => picture.click());
    const name = element('p', 'sw-sheet-card');
    name.append(element('b', '', card.name), card.reversed ? ', reversed' : ', upright');
    const description = element('p', 'sw-sheet-description');
    description.innerHTML = sanitize(card.description);
    const meaning = element('div', 'sw-sheet-meaning');
    meaning.innerHTML = sanitize(card.meaning);
    section.append(heading, image, description, name, meaning);
    // Enter on a section opens its card's meaning window.
    section.addEventListener('keydown', (event) => {
      if (event.key === 'Enter' && event.target === section && picture) {
        event.preventDefault();
        picture.click();
      }
    });
    item.append(section);
    list.append(item);
  });
  sheet.append(list);
  beside.append(sheet);
  place(reading, sheetPlacement());
}

// A page without a spread: the reading area holds the fragment alone.
export function clearSheet(beside) {
  beside.parentElement.classList.remove('sw-sheet-beside');
}
