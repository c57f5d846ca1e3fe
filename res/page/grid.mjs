// The layout editor's grid from the keyboard: one tab stop for the whole
// grid (the cell last in hand), the arrow keys move between cells, and each
// cell says where it is and what it holds. Grid cells are the editor's own
// TD elements of class grid (empty) and gridfilled (holding a position
// number), with their row and col attributes.
import { setOwn } from './own.mjs';

const STEPS = { ArrowUp: [-1, 0], ArrowDown: [1, 0], ArrowLeft: [0, -1], ArrowRight: [0, 1] };

// The cell an arrow key leads to from row, col; null for another key.
export function gridStep(row, col, key) {
  const step = STEPS[key];
  return step ? { row: row + step[0], col: col + step[1] } : null;
}

export function isGridCell(element) {
  return element.tagName === 'TD' && (element.classList.contains('grid') || element.classList.contains('gridfilled'));
}

export function enhanceGrid(container) {
  const cells = Array.from(container.querySelectorAll('td')).filter(isGridCell);
  if (cells.length === 0) return;
  const table = cells[0].closest('table');
  setOwn(table, 'role', 'grid');
  setOwn(table, 'aria-label', 'Layout grid');
  cells.forEach((cell, index) => {
    const row = Number(cell.getAttribute('row')) + 1;
    const col = Number(cell.getAttribute('col')) + 1;
    const text = cell.textContent.replace(/\u00a0/g, ' ').trim();
    setOwn(cell, 'aria-label', `Row ${row}, column ${col}, ` + (text ? `position ${text}` : 'empty'));
    setOwn(cell, 'tabindex', index === 0 ? '0' : '-1');
  });
}

// The grid's one tab stop goes to cell.
export function rove(cell) {
  const table = cell.closest('table');
  for (const other of table.querySelectorAll('td[tabindex]')) {
    if (isGridCell(other)) setOwn(other, 'tabindex', other === cell ? '0' : '-1');
  }
}

export function moveInGrid(container, cell, key) {
  const to = gridStep(Number(cell.getAttribute('row')), Number(cell.getAttribute('col')), key);
  const next = to && container.querySelector(`td[row="${to.row}"][col="${to.col}"]`);
  if (next && isGridCell(next)) {
    rove(next);
    next.focus();
  }
}

// The cell at row, col, if it is still on the page.
export function gridCellAt(container, row, col) {
  const cell = container.querySelector(`td[row="${CSS.escape(row)}"][col="${CSS.escape(col)}"]`);
  return cell && isGridCell(cell) ? cell : null;
}
