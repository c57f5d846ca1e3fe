// What the user does, sent to the program as it happens: clicks on the
// program's elements (with the page as the user left it), the keys the
// program knows, and keyboard choices in a list that acts at once. Enter
// or Space on a button, card or grid cell is a click on that element;
// Enter in a text field presses the page's own control for it (Ask the
// Oracle, Find); the arrow keys move in the editor's grid; Tab goes
// through a spread's cards in position order. While a notification is
// open, keys go to it and nothing reaches the page behind.
import * as connection from './connection.mjs';
import { choosesOnChange, enterControl } from './enhance.mjs';
import { isGridCell, moveInGrid, rove } from './grid.mjs';
import { isReloadKey, keyName } from './keys.mjs';
import { cardClicked, closeMeaning, meaningHasKey, stepKey, stepMeaning } from './meaning-window.mjs';
import { boxKey, boxOpen } from './notification.mjs';
import { describe, inChrome, snapshot } from './own.mjs';
import { tabInSpread } from './spread.mjs';

let container = null;
let currentPage = () => 0;
let lastPointer = -Infinity;

function blocked() {
  return boxOpen() || connection.isFinished();
}

function sendClick(element) {
  if (blocked()) return;
  const inFragment = container.contains(element);
  connection.send({ type: 'click', element: describe(element), inFragment, page: currentPage(), document: snapshot() }, {
    tag: element.tagName, id: element.getAttribute('id'), row: element.getAttribute('row'),
    col: element.getAttribute('col'), inFragment,
  });
}

export function sendKey(name) {
  if (blocked()) return;
  connection.send({ type: 'key', key: name, document: snapshot() }, null);
}

// Elements that act when clicked, and so when Enter or Space is pressed on them.
function activatable(element) {
  if (!(element instanceof Element) || inChrome(element)) return false;
  if (element.tagName === 'INPUT') return element.type === 'image';
  return element.matches('a.btn, img.card, [role=button]') || isGridCell(element);
}

function onKeyDown(event) {
  if (connection.isFinished()) return;
  if (boxOpen()) {
    event.preventDefault();
    event.stopPropagation();
    boxKey(event);
    return;
  }
  if (isReloadKey(event)) {
    event.preventDefault();  // the page is never reloaded from the keyboard
    return;
  }
  const target = event.target;
  const plain = !event.altKey && !event.ctrlKey && !event.metaKey;
  if (plain && (event.key === 'Enter' || event.key === ' ') && activatable(target)) {
    event.preventDefault();
    if (!event.repeat) target.click();
    return;
  }
  if (plain && event.key === 'Enter' && target instanceof HTMLInputElement && target.type === 'text' &&
      container.contains(target)) {
    const control = enterControl(container);
    if (control) {
      event.preventDefault();
      if (!event.repeat) control.click();
      return;
    }
  }
  if (!event.altKey && !event.ctrlKey && !event.metaKey && event.key === 'Tab' && target instanceof Element &&
      target.matches('img.card') && container.contains(target) && tabInSpread(container, target, event.shiftKey)) {
    event.preventDefault();
    return;
  }
  if (plain && stepKey(event.key) && meaningHasKey(target)) {
    event.preventDefault();
    stepMeaning(stepKey(event.key));
    return;
  }
  if (plain && !event.shiftKey && event.key.startsWith('Arrow') && target instanceof Element && isGridCell(target)) {
    event.preventDefault();
    moveInGrid(container, target, event.key);
    return;
  }
  // Escape in the card meaning window closes it, as in a window of its own.
  if (event.key === 'Escape' && meaningHasKey(target)) {
    event.preventDefault();
    closeMeaning();
    return;
  }
  const name = keyName(event);
  if (!name) return;
  event.preventDefault();
  sendKey(name);
}

// pageNumber() is the program's number of the fragment on show.
export function setUpInput(fileList, pageNumber) {
  container = fileList;
  currentPage = pageNumber;
  document.addEventListener('click', (event) => {
    if (blocked()) return;
    // The second click of a double-click is no click of its own, as in the
    // window the page stands in for: however fast the first one is
    // answered, a double-click acts once.
    if (event.detail > 1) return;
    let element = event.target;
    if (!(element instanceof Element) || inChrome(element)) return;
    if (element.tagName === 'OPTION') element = element.closest('select') || element;
    if (element.matches('img.card')) cardClicked(element);
    sendClick(element);
  }, true);
  document.addEventListener('mousedown', () => { lastPointer = performance.now(); }, true);
  // Choosing in a list that acts at once (the editor's positions) with the
  // keyboard is choosing with a click.
  document.addEventListener('change', (event) => {
    const element = event.target;
    if (element.tagName === 'SELECT' && container.contains(element) && choosesOnChange(element) &&
        performance.now() - lastPointer > 500) {
      sendClick(element);
    }
  });
  container.addEventListener('focusin', (event) => {
    if (isGridCell(event.target)) rove(event.target);
  });
  document.addEventListener('keydown', onKeyDown, true);
  // A button pressed with Space acts on key down; its key up must not act again.
  document.addEventListener('keyup', (event) => {
    if (event.key === ' ' && activatable(event.target)) event.preventDefault();
  }, true);
  document.addEventListener('contextmenu', (event) => event.preventDefault());
}
