// The card meaning window's own document: F5 and the context menu do nothing.
document.addEventListener('keydown', (event) => {
  if (event.key === 'F5' || ((event.ctrlKey || event.metaKey) && (event.key === 'r' || event.key === 'R'))) {
    event.preventDefault();
  }
}, true);
document.addEventListener('contextmenu', (event) => event.preventDefault());
