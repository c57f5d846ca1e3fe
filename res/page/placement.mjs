// Where the card meaning window goes: pure geometry, in the page's
// coordinates (boxes are {x, y, width, height}; a card's rectangle is
// {left, top, right, bottom, width}). It opens at the window's top left,
// where the program places it, unless that would cover the card it
// explains: then beside the card (right, else left), or above or below it,
// shrunk to the room there. It is never larger than the visible window.

export const MEANING = { width: 320, height: 460, minWidth: 200, minHeight: 120, gap: 8 };

export function overlaps(box, rect) {
  return box.x < rect.right && rect.left < box.x + box.width && box.y < rect.bottom && rect.top < box.y + box.height;
}

// The window's box for a card at rect (null: no card) in a view of the
// given size.
export function placeMeaning(view, rect) {
  const box = { x: 0, y: 0, width: Math.min(MEANING.width, view.width), height: Math.min(MEANING.height, view.height) };
  if (!rect || rect.width <= 0 || !overlaps(box, rect)) return box;
  // Beside the card, level with its top as far as the window allows.
  const left = rect.left - MEANING.gap;
  const right = view.width - rect.right - MEANING.gap;
  box.y = Math.min(Math.max(0, rect.top), view.height - box.height);
  if (right >= box.width) {
    box.x = rect.right + MEANING.gap;
  } else if (Math.max(left, right) >= MEANING.minWidth) {
    box.width = Math.max(left, right);
    box.x = left >= right ? left - box.width : rect.right + MEANING.gap;
  } else {
    const above = rect.top - MEANING.gap;
    const below = view.height - rect.bottom - MEANING.gap;
    box.height = Math.max(Math.min(box.height, Math.max(above, below)), Math.min(MEANING.minHeight, view.height));
    box.y = above >= below ? 0 : view.height - box.height;
    box.x = Math.min(Math.max(0, rect.left + rect.width / 2 - box.width / 2), view.width - box.width);
  }
  return box;
}

// A moved or resized window, kept inside the view and at least its usual size.
export function keepInside(box, view) {
  const width = Math.min(Math.max(box.width, Math.min(MEANING.width, view.width)), view.width);
  const height = Math.min(Math.max(box.height, Math.min(MEANING.height, view.height)), view.height);
  return {
    x: Math.min(Math.max(0, box.x), view.width - width),
    y: Math.min(Math.max(0, box.y), view.height - height),
    width,
    height,
  };
}

// Where a window being dragged goes: under the pointer, less the grip,
// never past the view's edges.
export function dragTo(pointer, grip, size, view) {
  return {
    x: Math.min(Math.max(0, pointer.x - grip.x), Math.max(0, view.width - size.width)),
    y: Math.min(Math.max(0, pointer.y - grip.y), Math.max(0, view.height - size.height)),
  };
}
