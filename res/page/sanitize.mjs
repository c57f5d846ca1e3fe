// HTML a deck's author wrote (meanings, position descriptions): only the
// markup a meaning needs survives (res/markup-policy.json, which
// `sagewend-data check` reads too), and pictures only from the program's
// own folders. Without the sanitiser nothing of the author's markup is
// trusted: it shows as text.
import policy from '../markup-policy.json' with { type: 'json' };
import { recentEntry } from './recent.mjs';
import { mapUrls } from './urls.mjs';

function ownPicturesOnly(node) {
  if (node.hasAttribute('src') && !/^\/(?:decks|images)\//.test(node.getAttribute('src'))) node.removeAttribute('src');
}

const purify = window.DOMPurify || null;
if (purify) purify.addHook('afterSanitizeAttributes', ownPicturesOnly);
// The meaning window's own sanitiser, set up once: it gives nodes, not
// text, and does not read its settings again for every meaning.
const nodePurifier = purify ? purify(window) : null;
if (nodePurifier) {
  nodePurifier.setConfig({ ...policy, RETURN_DOM_FRAGMENT: true });
  nodePurifier.addHook('afterSanitizeAttributes', ownPicturesOnly);
}

function asText(html) {
  return html.replace(/[&<>]/g, (c) => ({ '&': '&amp;', '<': '&lt;', '>': '&gt;' }[c]));
}

// The author's markup, safe to set as inner HTML.
export function sanitize(html) {
  const mapped = mapUrls(String(html));
  return purify ? purify.sanitize(mapped, policy) : asText(mapped);
}

// Sanitised straight into nodes: the text is parsed once, not twice. A
// reader goes back and forth between the cards of a spread, so the
// meanings shown lately are kept as nodes, and copied.
const KEPT_MEANINGS = 100;
const keptMeanings = new Map();  // the author's markup -> its nodes, least recently shown first

export function sanitizedNodes(html) {
  if (!nodePurifier) {
    const template = document.createElement('template');
    template.innerHTML = sanitize(html);
    return template.content;
  }
  return recentEntry(keptMeanings, html, KEPT_MEANINGS, () => nodePurifier.sanitize(mapUrls(html))).cloneNode(true);
}
