// The card meaning window's own document: F5 and the context menu do nothing.
// The main page owns the window, so the keys this document does not keep go
// to it: Escape closes the window, and the main window's keys (Alt+letter,
// F1) work from here as from the main window.
(() => {
  'use strict';
  function keyName(event) {
    if (event.altKey && !event.ctrlKey && !event.metaKey) {
      if (/^[a-z]$/i.test(event.key)) return 'Alt+' + event.key.toUpperCase();
      if (/^Key[A-Z]$/.test(event.code)) return 'Alt+' + event.code.slice(3);
    }
    if (event.key === 'F1' || event.key === 'Escape') return event.key;
    return null;
  }

  document.addEventListener('keydown', (event) => {
    if (event.key === 'F5' || ((event.ctrlKey || event.metaKey) && (event.key === 'r' || event.key === 'R'))) {
      event.preventDefault();
      return;
    }
    const name = keyName(event);
    if (!name || window.parent === window) return;
    event.preventDefault();
    window.parent.postMessage({ sagewendKey: name }, location.origin);
  }, true);
  document.addEventListener('contextmenu', (event) => event.preventDefault());
})();
