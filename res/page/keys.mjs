// The names the program knows keys by ("Alt+O", "F1", "Escape"), shared by
// the main page and the card meaning window's own document.

// Accelerators follow the key's label, as the window's virtual keys did:
// on a German keyboard the key labelled Y is Alt+Y. Keys whose label is no
// Latin letter (another script, or what Alt makes on a Mac) fall back to
// the key's position. Null for a key the program does not take.
export function keyName(event) {
  if (event.altKey && !event.ctrlKey && !event.metaKey) {
    if (/^[a-z]$/i.test(event.key)) return 'Alt+' + event.key.toUpperCase();
    if (/^Key[A-Z]$/.test(event.code)) return 'Alt+' + event.code.slice(3);
  }
  if (event.key === 'F1' || event.key === 'F5' || event.key === 'Escape') return event.key;
  return null;
}

// Ctrl+R (Cmd+R): a reload, which the page never allows from the keyboard.
export function isReloadKey(event) {
  return (event.ctrlKey || event.metaKey) && (event.key === 'r' || event.key === 'R');
}
