// How a file chosen for import is cut for sending to the program (journal.mjs
// sends the pieces): byte ranges small enough that a piece's message stays
// below what the program takes from the page (1 MB) even when every
// character of it must be escaped in JSON (six bytes for one).
export const PIECE_BYTES = 128 * 1024;

// The [start, end) byte ranges of a file of size bytes, in order; an empty
// file is one empty piece, so the program still hears of it.
export function pieces(size, pieceBytes = PIECE_BYTES) {
  const ranges = [];
  for (let start = 0; start < size || ranges.length === 0; start += pieceBytes) {
    ranges.push([start, Math.min(size, start + pieceBytes)]);
  }
  return ranges;
}
