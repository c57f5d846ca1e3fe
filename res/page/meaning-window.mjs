// The card meaning window: a window part of the page (#sw-meaning) holding
// its own document (meaning.html) in a frame, as the program's second
// window did. The program writes its page and shows or hides it; here it is
// placed beside the card it explains, moved by its caption, closed by its
// close box or Escape, which gives the focus back to the card.
import { keepInside, overlaps, placeMeaning, dragTo } from './placement.mjs';
import { sanitizedNodes } from './sanitize.mjs';

let windowPart = null;
let frame = null;
let pendingPage = null;       // written before the frame's document was ready
let lastCard = null;          // the card last clicked, until the window shows
let opener = null;            // the card whose meaning is on show
let focusPending = false;     // the focus moves into it at the next frame

function frameDocument() {
  const doc = frame.contentDocument;
  return doc && doc.getElementById('fileList') ? doc : null;
}

export function viewport() {
  const scroller = document.scrollingElement || document.documentElement;
  return {
    width: Math.min(window.innerWidth, scroller.clientWidth || window.innerWidth),
    height: Math.min(window.innerHeight, scroller.clientHeight || window.innerHeight),
  };
}

function setBox(box) {
  windowPart.style.left = Math.round(box.x) + 'px';
  windowPart.style.top = Math.round(box.y) + 'px';
  windowPart.style.width = Math.round(box.width) + 'px';
  windowPart.style.height = Math.round(box.height) + 'px';
}

function currentBox() {
  const box = windowPart.getBoundingClientRect();
  return { x: box.left, y: box.top, width: box.width, height: box.height };
}

// The card with its caption underneath.
function cardRect(card) {
  return card && card.isConnected ? (card.closest('td') || card).getBoundingClientRect() : null;
}

export function writeMeaning(html) {
  const doc = frameDocument();
  if (!doc) {
    pendingPage = html;
    return;
  }
  doc.getElementById('fileList').replaceChildren(sanitizedNodes(html));
  // Back to the top before the next paint, without forcing a layout of the
  // new text now.
  requestAnimationFrame(() => { doc.scrollingElement.scrollTop = 0; });
}

export function setMeaningLabel(label) {
  windowPart.setAttribute('aria-label', label || 'Meanings');
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
    setBox(placeMeaning(viewport(), cardRect(card)));
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
  setBox(keepInside(currentBox(), viewport()));
}

function makeMovable() {
  const caption = document.getElementById('sw-meaning-caption');
  let grip = null;
  caption.addEventListener('mousedown', (event) => {
    if (event.button !== 0) return;
    const box = windowPart.getBoundingClientRect();
    grip = { x: event.clientX - box.left, y: event.clientY - box.top };
    frame.style.pointerEvents = 'none';
    event.preventDefault();
  });
  window.addEventListener('mousemove', (event) => {
    if (!grip) return;
    const at = dragTo({ x: event.clientX, y: event.clientY }, grip, currentBox(), viewport());
    windowPart.style.left = at.x + 'px';
    windowPart.style.top = at.y + 'px';
  });
  window.addEventListener('mouseup', () => {
    grip = null;
    frame.style.pointerEvents = '';
  });
}

// onKey(name) passes on the main window's keys pressed in the window's
// own document.
export function setUpMeaningWindow(onKey) {
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
    else if (typeof name === 'string' && /^(?:Alt\+[A-Z]|F1)$/.test(name)) onKey(name);
  });
  makeMovable();
}
