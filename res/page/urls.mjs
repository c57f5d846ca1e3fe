// Fragments name pictures by relative file: URLs (file:images/..,
// file:./decks/..); the page serves them from the program's own routes.

export function mapUrls(html) {
  return html.replace(/(\b(?:src|background)\s*=\s*)(['"]?)file:(?:\.\/)?/gi, '$1$2/');
}

// A picture's address as written in a fragment, as the page shows it.
export function mapUrl(src) {
  return String(src).replace(/^file:(?:\.\/)?/i, '/');
}
