// The journal's and the card library's services in the page: the "Keep in
// journal" control of the page's frame (every page write hides it; it
// stands in the right-hand column, under the buttons, where it takes no
// room from the result it keeps), HTML a deck's author wrote put into an
// element of the fragment just written, a text handed to the user as a
// file, and the browser's print.
import { sanitize } from './sanitize.mjs';

export function showKeep(state, container) {
  const bar = document.getElementById('sw-keepbar');
  const button = document.getElementById('keep');
  bar.hidden = state === 'hidden';
  button.hidden = state !== 'offered';
  document.getElementById('sw-kept').textContent = state === 'kept' ? 'Kept in journal' : '';
  if (state === 'kept' && document.activeElement === button) container.focus({ preventScroll: true });
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

export function print() {
  setTimeout(() => window.print(), 0);  // once the frame's page is in place
}
