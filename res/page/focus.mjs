// Where the focus goes after a new fragment: where the user goes on. The
// control they used, if the new page still has it (the same grid cell, the
// same button); else the field the page's parts name (the question);
// else, when the focus was lost with the old page, the first card or
// control of the page. Another page opens at its top. And a short word for
// screen readers on what the new page says: its heading (pages head
// themselves with an h3: the answer of the Yes/No page, the question of a
// reading).
import { focusField } from './enhance.mjs';
import { gridCellAt, rove } from './grid.mjs';
import { meaningHasFocus } from './meaning-window.mjs';

// The element of the new page that stands for what the user acted on.
function counterpart(container, actedOn) {
  if (actedOn.row !== null && actedOn.col !== null) {
    const cell = gridCellAt(container, actedOn.row, actedOn.col);
    if (cell) {
      rove(cell);
      return cell;
    }
  }
  if (!actedOn.id) return null;
  const same = Array.from(container.querySelectorAll('[id]'))
    .filter((element) => element.id === actedOn.id && element.tagName === actedOn.tag);
  return same.length === 1 ? same[0] : null;
}

function firstControl(container) {
  const controls = container.querySelectorAll('input:not([type=hidden]), select, textarea, a.btn, [tabindex="0"]');
  return Array.from(controls).find((control) => !control.disabled) || null;
}

export function placeFocus(container, actedOn) {
  if (meaningHasFocus()) return;
  const active = document.activeElement;
  const lost = !active || active === document.body || active === container;
  let target = actedOn && actedOn.inFragment ? counterpart(container, actedOn) : null;
  // Another page starts at its top; the same page written again (a grid
  // cell, a button it still has) keeps its place.
  if (!target) (document.scrollingElement || document.documentElement).scrollTo(0, 0);
  if (!target) target = focusField(container);
  // A spread's tab stop is the card of its first position.
  if (!target && lost) {
    target = container.querySelector('img.card[tabindex="0"]') || container.querySelector('img.card') ||
      firstControl(container) || container;
  }
  if (target && target !== active) target.focus({ preventScroll: target === container });
}

export function announce(container, status) {
  const heading = container.querySelector('h3');
  status.textContent = '';
  if (heading) setTimeout(() => { status.textContent = heading.textContent; }, 100);
}
