// Pictures the program expects the next page to show (the reading form's
// deck: the deal that follows shows some of them), fetched and decoded a
// few at a time while the browser is idle, so that the first deal of a run
// finds its pictures at hand as later deals do. Each picture is kept
// referenced for the page's life, so the browser's memory cache holds it;
// a picture asked for again is not fetched again.
import { mapUrl } from './urls.mjs';

const held = new Map();  // address -> picture
let queue = [];
let running = 0;
const AT_ONCE = 4;
const START_AFTER_MS = 500;
let starting = 0;

const whenIdle = (callback) =>
  (window.requestIdleCallback ? window.requestIdleCallback(callback, { timeout: 1000 }) : setTimeout(callback, 50));

function next() {
  while (queue.length > 0 && held.has(queue[0])) queue.shift();
  if (queue.length === 0) {
    running -= 1;
    return;
  }
  const address = queue.shift();
  const picture = new Image();
  picture.decoding = 'async';
  picture.src = address;
  held.set(address, picture);
  picture.decode().catch(() => null).then(() => whenIdle(next));
}

// The pictures the page just written asks for; what an earlier page asked
// for and is not fetched yet is dropped (a deal's own pictures come first;
// the form, shown again, asks again).
export function prefetch(list) {
  queue = (Array.isArray(list) ? list : []).filter((src) => typeof src === 'string' && src).map(mapUrl);
  clearTimeout(starting);
  // Not at once: one who deals without a pause would wait for these.
  if (queue.length > 0) starting = setTimeout(start, START_AFTER_MS);
}

function start() {
  for (; queue.length > 0 && running < AT_ONCE; running += 1) whenIdle(next);
}
