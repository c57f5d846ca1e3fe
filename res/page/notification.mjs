// The notification dialog. It stands in for a modal dialog window: while it
// is open the rest of the page is inert (dimmed, unfocusable, deaf to
// clicks), Tab stays inside the box, Enter presses the focused button and
// Escape answers Cancel. The program waits for the answer.

let openBox = null;      // the program's number of the box on show
let focusBefore = null;  // where the focus was when it opened
let answered = () => {};

const overlay = () => document.getElementById('sw-overlay');
const okButton = () => document.getElementById('sw-ok');
const cancelButton = () => document.getElementById('sw-cancel');

// onAnswer(box, result) tells the program: 1 for OK, 2 for Cancel.
export function setUpNotification(onAnswer) {
  answered = onAnswer;
  okButton().addEventListener('click', () => answer(1));
  cancelButton().addEventListener('click', () => answer(2));
}

export function boxOpen() {
  return openBox !== null;
}

function setInert(inert) {
  for (const child of document.body.children) {
    if (child !== overlay() && child.tagName !== 'SCRIPT') child.inert = inert;
  }
}

// message: {box, text, icon: 'question' | 'exclamation'}
export function showBox(message) {
  if (openBox === null) {
    const active = document.activeElement;
    focusBefore = active && active !== document.body && !overlay().contains(active) ? active : null;
  }
  openBox = message.box;
  document.getElementById('sw-msgbox-icon').className = 'sw-icon ' + (message.icon === 'question' ? 'question' : 'exclamation');
  document.getElementById('sw-msgbox-text').textContent = message.text;
  overlay().hidden = false;
  setInert(true);
  okButton().focus();
}

// restoreFocus: the focus goes back where it was, as when a dialog window closes.
export function closeBox(restoreFocus = true) {
  const wasOpen = openBox !== null;
  openBox = null;
  overlay().hidden = true;
  setInert(false);
  if (wasOpen && restoreFocus && focusBefore && focusBefore.isConnected) focusBefore.focus({ preventScroll: true });
  focusBefore = null;
}

function answer(result) {
  if (openBox === null) return;
  const box = openBox;
  closeBox();
  answered(box, result);
}

// A key while the box is open: it goes to the box, never to the page behind.
export function boxKey(event) {
  const other = () => (document.activeElement === okButton() ? cancelButton() : okButton()).focus();
  if (event.key === 'Escape') answer(2);
  else if (event.key === 'Enter' || event.key === ' ') answer(document.activeElement === cancelButton() ? 2 : 1);
  else if (event.key === 'Tab' || event.key === 'ArrowLeft' || event.key === 'ArrowRight') other();
}
