// Things kept in order of use, the least recent dropped past a limit: the
// pictures a spread showed lately and the meanings read lately.

// What map holds for key, made if it holds nothing; it is now the most
// recent, and the least recent beyond limit go.
export function recentEntry(map, key, limit, make) {
  let value = map.get(key);
  if (value === undefined) value = make();
  else map.delete(key);
  map.set(key, value);
  while (map.size > limit) map.delete(map.keys().next().value);
  return value;
}

// The browser gives a picture back without asking the program again only
// while the page still holds it. Holding the recent ones means a deal's
// cards are there, at their size, in the same task as the page: the spread
// is fitted once, before its first frame, and no picture is read anew.
const KEPT_PICTURES = 300;
const keptPictures = new Map();  // address -> Image, least recently shown first

export function keepPictures(container) {
  for (const img of container.querySelectorAll('img[src^="/decks/"], img[src^="/images/"]')) {
    const url = img.src;
    recentEntry(keptPictures, url, KEPT_PICTURES, () => {
      const image = new Image();
      image.src = url;
      return image;
    });
  }
}
