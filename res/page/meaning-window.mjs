// The card meaning window: a window part of the page (#sw-meaning) holding
// its own document (meaning.html) in a frame, as the program's second
// window did. The program writes its page and shows or hides it; here it is
// placed beside the card it explains (never over the card or the menu),
// moved by its caption, resized by its corner, closed by its close box or
// Escape, which gives the focus back to the card. Left and Right (or
// PageUp and PageDown) open the previous and next card in position order,
// as a click on that card would. A reversed card says so by its name.
import { keepInside, overlaps, placeMeaning, dragTo } from './placement.mjs';
import { sanitizedNodes } from './sanitize.mjs';
import { nextCard, roveCard } from './spread.mjs';

let windowPart = null;
let frame = null;
let pendingPage = null;       // written before the frame's document was ready
let lastCard = null;          // the card last clicked, until the window shows
let opener = null;            // the card whose meaning is on show
let focusPending = false;     // the focus moves into it at the next frame
let reversed = false;         // the card on show lies reversed
let container = null;         // the fragment's DIV, whose cards the window steps through

function frameDocument() {
  const doc = frame.contentDocument;
  return doc && doc.getElementById('fileList') ? doc : null;
}

function viewport() {
  const scroller = document.scrollingElement || document.documentElement;
  return {
    width: Math.min(window.innerWidth, scroller.clientWidth || window.innerWidth),
    height: Math.min(window.innerHeight, scroller.clientHeight || window.innerHeight),
  };
}

// The window lies in the page, in the page's coordinates: it scrolls with
// the cards it explains, and never over the menu at the page's top.
function scrolled() {
  const scroller = document.scrollingElement || document.documentElement;
  return { x: scroller.scrollLeft, y: scroller.scrollTop };
}

// What the window may cover: the part of the page in view, below the menu
// and left of the program's column.
function region() {
  const view = viewport();
  const at = scrolled();
  const [menu, column] = document.querySelectorAll('td[role=navigation]');
  const menuBottom = menu ? menu.getBoundingClientRect().bottom + at.y : 0;
  const columnLeft = column ? column.getBoundingClientRect().left + at.x : at.x + view.width;
  return {
    left: at.x,
    top: Math.max(at.y, Math.min(menuBottom, at.y + view.height / 2)),
    right: Math.max(at.x + view.width / 2, Math.min(columnLeft, at.x + view.width)),
    bottom: at.y + view.height,
  };
}

function inPage(rect) {
  const at = scrolled();
  return { left: rect.left + at.x, top: rect.top + at.y, right: rect.right + at.x, bottom: rect.bottom + at.y };
}

function setBox(box) {
  windowPart.style.left = Math.round(box.x) + 'px';
  windowPart.style.top = Math.round(box.y) + 'px';
  windowPart.style.width = Math.round(box.width) + 'px';
  windowPart.style.height = Math.round(box.height) + 'px';
}

function currentBox() {
  const box = inPage(windowPart.getBoundingClientRect());
  return { x: box.left, y: box.top, width: box.right - box.left, height: box.bottom - box.top };
}

// The card with its caption underneath.
function cardRect(card) {
  return card && card.isConnected ? inPage((card.closest('td') || card).getBoundingClientRect()) : null;
}

export function writeMeaning(html) {
  const doc = frameDocument();
  if (!doc) {
    pendingPage = html;
    return;
  }
  doc.getElementById('fileList').replaceChildren(sanitizedNodes(html));
  markReversed(doc);
  // Back to the top before the next paint, without forcing a layout of the
  // new text now.
  requestAnimationFrame(() => { doc.scrollingElement.scrollTop = 0; });
}

// The card's name heads the meaning page (the first of its headings); the
// mark stands beside it, not in it.
function markReversed(doc) {
  const heading = doc.querySelector('.heading');
  const badge = doc.querySelector('.sw-reversed');
  if (badge) badge.remove();
  if (!reversed || !heading) return;
  const mark = doc.createElement('span');
  mark.className = 'sw-reversed';
  mark.textContent = 'Reversed';
  heading.after(mark);
}

export function setMeaningLabel(label, lies) {
  windowPart.setAttribute('aria-label', label || 'Meanings');
  reversed = Boolean(lies);
  const doc = frameDocument();
  if (doc) markReversed(doc);
}

// The card a click is about to open the window for.
export function cardClicked(card) {
  lastCard = card;
}

export function showMeaning(visible) {
  if (!visible) {
    windowPart.hidden = true;
    return;
  }
  const card = lastCard && lastCard.isConnected ? lastCard : null;
  lastCard = null;
  // Placed before it is shown: every measurement is taken on the page as
  // it stands, so showing it costs one layout, not several. A window the
  // user left in place stays, unless it covers the new card.
  if (windowPart.hidden || !windowPart.style.width || (card && overlaps(currentBox(), cardRect(card)))) {
    const others = card ? Array.from(container.querySelectorAll('img.card'), (other) => other === card ? null : cardRect(other))
      .filter(Boolean) : [];
    setBox(placeMeaning(region(), cardRect(card), others));
  }
  windowPart.hidden = false;
  if (card) {
    // Opened from a card: the reader goes on in the window, from its first
    // frame on (focusing lays the new text out; it need not hold up the rest).
    opener = card;
    focusPending = true;
    requestAnimationFrame(() => {
      focusPending = false;
      if (!windowPart.hidden && opener === card) frame.focus({ preventScroll: true });
    });
  }
}

export function closeMeaning() {
  const hadFocus = windowPart.contains(document.activeElement) || focusPending;
  focusPending = false;
  windowPart.hidden = true;
  if (hadFocus && opener && opener.isConnected) opener.focus();
}

// Whether a key pressed on target is the meaning window's (also in the
// frame before the focus has moved into it).
export function meaningHasKey(target) {
  return windowPart.contains(target) || focusPending;
}

export function meaningHasFocus() {
  return windowPart.contains(document.activeElement);
}

export function keepMeaningInside() {
  if (windowPart.hidden || !windowPart.style.width) return;
  setBox(keepInside(currentBox(), region()));
}

// The meaning of the card step places after (or before) the one on show.
export function stepMeaning(step) {
  const card = opener && opener.isConnected ? nextCard(container, opener, step) : null;
  if (!card) return;
  roveCard(container, card);
  card.click();
}

const STEP_KEYS = { ArrowLeft: -1, PageUp: -1, ArrowRight: 1, PageDown: 1 };
export function stepKey(name) {
  return STEP_KEYS[name] || 0;
}

function makeMovable() {
  const caption = document.getElementById('sw-meaning-caption');
  let grip = null;
  caption.addEventListener('mousedown', (event) => {
    if (event.button !== 0) return;
    const box = windowPart.getBoundingClientRect();
    grip = { x: event.clientX - box.left, y: event.clientY - box.top };  // the same in the page's coordinates
    frame.style.pointerEvents = 'none';
    event.preventDefault();
  });
  window.addEventListener('mousemove', (event) => {
    if (!grip) return;
    const page = scrolled();
    const at = dragTo({ x: event.clientX + page.x, y: event.clientY + page.y }, grip, currentBox(), region());
    windowPart.style.left = at.x + 'px';
    windowPart.style.top = at.y + 'px';
  });
  window.addEventListener('mouseup', () => {
    grip = null;
    frame.style.pointerEvents = '';
  });
}

// onKey(name) passes on the main window's keys pressed in the window's
// own document; fileList holds the cards it steps through.
export function setUpMeaningWindow(fileList, onKey) {
  container = fileList;
  windowPart = document.getElementById('sw-meaning');
  frame = document.getElementById('sw-meaning-frame');
  frame.addEventListener('load', () => {
    if (pendingPage === null) return;
    const html = pendingPage;
    pendingPage = null;
    writeMeaning(html);
  });
  const closeButton = document.getElementById('sw-meaning-close');
  closeButton.addEventListener('mousedown', (event) => {
    event.stopPropagation();
    closeMeaning();
  });
  closeButton.addEventListener('click', closeMeaning);
  // The window's own document passes on the keys it does not keep: Escape
  // closes the window, and the main window's keys work from it as they do
  // from the main window.
  window.addEventListener('message', (event) => {
    if (event.source !== frame.contentWindow || event.origin !== location.origin) return;
    const name = event.data && event.data.sagewendKey;
    if (name === 'Escape') closeMeaning();
    else if (stepKey(name)) stepMeaning(stepKey(name));
    else if (typeof name === 'string' && /^(?:Alt\+[A-Z]|F1)$/.test(name)) onKey(name);
  });
  makeMovable();
}
