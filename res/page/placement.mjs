// Where the card meaning window goes: pure geometry, in one system of
// coordinates (boxes are {x, y, width, height}; rectangles {left, top,
// right, bottom}). The window may use a region of the view: below the
// menu, left of the program's column. It opens beside the card it
// explains (right, else left, else above or below), level with the card's
// top, as wide as the room there allows up to its usual size, and never
// over the card or outside the region.

export const MEANING = { width: 480, height: 600, minWidth: 280, minHeight: 160, gap: 8 };

export function overlaps(box, rect) {
  return box.x < rect.right && rect.left < box.x + box.width && box.y < rect.bottom && rect.top < box.y + box.height;
}

const clamp = (value, low, high) => Math.min(Math.max(value, low), Math.max(low, high));

// The window's box for a card at rect (null: no card) in region; of two
// sides with room, the one that hides fewer of the others (the rest of
// the spread) wins.
export function placeMeaning(region, rect, others = []) {
  const roomWide = region.right - region.left;
  const roomHigh = region.bottom - region.top;
  const box = { x: region.left, y: region.top, width: Math.min(MEANING.width, roomWide), height: Math.min(MEANING.height, roomHigh) };
  if (!rect || rect.right <= rect.left) return box;
  const gap = MEANING.gap;
  const right = region.right - rect.right - gap;
  const left = rect.left - gap - region.left;
  const sideWidth = Math.min(box.width, Math.max(left, right));
  const least = Math.min(MEANING.minWidth, box.width);
  if (sideWidth >= least) {
    // Beside the card: on a side with room for the whole window, else the roomier one.
    const y = clamp(rect.top, region.top, region.bottom - box.height);
    const sides = [];
    for (const [room, onRight] of [[right, true], [left, false]]) {
      if (room < least) continue;
      const width = Math.min(box.width, room);
      const side = { x: onRight ? rect.right + gap : rect.left - gap - width, y, width, height: box.height };
      sides.push({ side, whole: width === box.width, hidden: others.filter((other) => overlaps(side, other)).length });
    }
    sides.sort((a, b) => (Number(b.whole) - Number(a.whole)) || (a.hidden - b.hidden));
    return sides[0].side;
  }
  // Above or below it, on the roomier side.
  const above = rect.top - gap - region.top;
  const below = region.bottom - rect.bottom - gap;
  box.height = Math.max(1, Math.min(box.height, Math.max(above, below)));
  box.y = below >= above ? rect.bottom + gap : rect.top - gap - box.height;
  box.x = clamp(rect.left + (rect.right - rect.left) / 2 - box.width / 2, region.left, region.right - box.width);
  return box;
}

// A moved or resized window, kept inside the region and no smaller than
// its least size (or the region).
export function keepInside(box, region) {
  const roomWide = region.right - region.left;
  const roomHigh = region.bottom - region.top;
  const width = Math.min(Math.max(box.width, Math.min(MEANING.minWidth, roomWide)), roomWide);
  const height = Math.min(Math.max(box.height, Math.min(MEANING.minHeight, roomHigh)), roomHigh);
  return {
    x: clamp(box.x, region.left, region.right - width),
    y: clamp(box.y, region.top, region.bottom - height),
    width,
    height,
  };
}

// Where a window being dragged goes: under the pointer, less the grip,
// inside the region.
export function dragTo(pointer, grip, size, region) {
  return {
    x: clamp(pointer.x - grip.x, region.left, region.right - size.width),
    y: clamp(pointer.y - grip.y, region.top, region.bottom - size.height),
  };
}
