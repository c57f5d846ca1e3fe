// The card meaning window's own document: F5 and the context menu do
// nothing. The main page owns the window, so the keys this document does
// not keep go to it: Escape closes the window, Left and Right (PageUp and
// PageDown) step to the previous and next card, and the main window's keys
// (Alt+letter, F1) work from here as from the main window.
import { isReloadKey, keyName } from './keys.mjs';

document.addEventListener('keydown', (event) => {
  if (event.key === 'F5' || isReloadKey(event)) {
    event.preventDefault();
    return;
  }
  const plain = !event.altKey && !event.ctrlKey && !event.metaKey && !event.shiftKey;
  const step = plain && ['ArrowLeft', 'ArrowRight', 'PageUp', 'PageDown'].includes(event.key) ? event.key : null;
  const name = step || keyName(event);
  if (!name || window.parent === window) return;
  event.preventDefault();
  window.parent.postMessage({ sagewendKey: name }, location.origin);
}, true);
document.addEventListener('contextmenu', (event) => event.preventDefault());
