// The journal's and the card library's services in the page: the "Keep in
// journal" control of the page's frame (every page write hides it; it
// stands in the right-hand column, under the buttons, where it takes no
// room from the result it keeps), HTML a deck's author wrote put into an
// element of the fragment just written, a text handed to the user as a
// file, a file the program serves downloaded from its address, a file the
// user chose for import sent to the program piece by piece, the browser's
// print, and a kept reading's notes put after its reading sheet.
import * as connection from './connection.mjs';
import { pieces } from './pieces.mjs';
import { sanitize } from './sanitize.mjs';

export function showKeep(state, container) {
  const bar = document.getElementById('sw-keepbar');
  const button = document.getElementById('keep');
  bar.hidden = state === 'hidden';
  button.hidden = state !== 'offered';
  document.getElementById('sw-kept').textContent = state === 'kept' ? 'Kept in journal' : '';
  if (state === 'kept' && document.activeElement === button) container.focus({ preventScroll: true });
}

// A kept reading's notes come after the whole reading, and the sheet the
// page draws beside the fragment is part of it: the notes move out of the
// fragment to just after the reading area, where they stay the program's
// (reported with every click, as the fragment's fields are). Every page
// write takes them away with the fragment.
export function placeNotes(container, after) {
  const notes = container.querySelector(':scope > .sw-entry-notes');
  if (notes && document.querySelector('#sw-beside .sw-sheet')) after.append(notes);
}

export function fill(container, id, html) {
  const target = document.getElementById(id);
  if (target && container.contains(target)) target.innerHTML = sanitize(String(html));
}

export function download(name, text) {
  const link = document.createElement('a');  // never in the document: its click goes nowhere else
  link.href = URL.createObjectURL(new Blob([text], { type: 'text/markdown;charset=utf-8' }));
  link.download = name;
  link.click();
  setTimeout(() => URL.revokeObjectURL(link.href), 10000);
}

// A file the program serves under its own address (the journal's export):
// the browser downloads it, with the run's cookie, as it is written.
export function downloadFrom(url) {
  const link = document.createElement('a');  // never in the document, like the one above
  link.href = url;
  link.download = '';
  link.click();
}

// Resolves once the program is done with everything sent so far.
function handled(seq) {
  const root = document.documentElement;
  return new Promise((resolve) => {
    const check = () => Number(root.dataset.done || 0) >= seq || connection.isFinished();
    if (check()) return resolve();
    const observer = new MutationObserver(() => {
      if (!check()) return;
      observer.disconnect();
      resolve();
    });
    observer.observe(root, { attributes: true, attributeFilter: ['data-done'] });
  });
}

// Sends the file chosen in input to the program, a piece at a time, each
// once the program is done with the one before, so neither side ever
// holds more than a piece. A page that moves on stops the import: the
// program drops what comes for a page no longer on show.
async function sendFile(input, file, page) {
  const decoder = new TextDecoder();  // UTF-8; broken bytes become U+FFFD
  const ranges = pieces(file.size);
  for (let part = 0; part < ranges.length; part += 1) {
    const [start, end] = ranges[part];
    const bytes = new Uint8Array(await file.slice(start, end).arrayBuffer());
    const last = part === ranges.length - 1;
    const text = decoder.decode(bytes, { stream: !last });
    if (!document.contains(input) || connection.isFinished()) return;
    const before = Number(document.documentElement.dataset.sent || 0);
    connection.send({ type: 'file', input: input.id, name: file.name, part, last, text, page });
    const seq = Number(document.documentElement.dataset.sent || 0);
    if (seq === before) return;  // not sent: the connection is gone
    await handled(seq);
  }
}

// Import fields of the fragments: pageNumber() is the program's number of
// the fragment on show.
export function setUpImport(container, pageNumber) {
  container.addEventListener('change', (event) => {
    const input = event.target;
    if (!(input instanceof HTMLInputElement) || input.type !== 'file' || !input.files || input.files.length === 0) return;
    const file = input.files[0];
    input.value = '';  // the same file may be chosen again
    sendFile(input, file, pageNumber());
  });
}

export function print() {
  setTimeout(() => window.print(), 0);  // once the frame's page is in place
}
