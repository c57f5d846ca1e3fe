// What the program reads of the page, and what the page adds to the
// program's fragments. The program reads the page as it wrote it: the
// attributes the page adds (roles, names, tab stops, card sizes) are kept
// apart here and never reported back. The page's own window parts
// (.sw-chrome: the notification box, the meaning window, the status line;
// .sw-beside: what the page shows beside a fragment) are not the program's
// and are never reported either.

const ownAttributes = new WeakMap();  // element -> names the page added

export function markOwn(element, name) {
  let names = ownAttributes.get(element);
  if (!names) {
    names = new Set();
    ownAttributes.set(element, names);
  }
  names.add(name);
}

// Sets an attribute the fragment did not bring with it.
export function setOwn(element, name, value) {
  const names = ownAttributes.get(element);
  if (element.hasAttribute(name) && !(names && names.has(name))) return;
  element.setAttribute(name, value);
  markOwn(element, name);
}

export function inChrome(element) {
  return element.closest && element.closest('.sw-chrome, .sw-beside') !== null;
}

// An element as the program sees it: its tag, its own attributes and, for
// fields, what the user has typed, chosen or ticked.
export function describe(element) {
  const attributes = {};
  const own = ownAttributes.get(element);
  for (const attribute of element.attributes) {
    if (!own || !own.has(attribute.name)) attributes[attribute.name] = attribute.value;
  }
  if (element.tagName === 'INPUT' || element.tagName === 'SELECT' || element.tagName === 'TEXTAREA') {
    attributes.value = element.value;
    if (element.type === 'checkbox' || element.type === 'radio') attributes.checked = element.checked;
  }
  return { tag: element.tagName, attributes };
}

function pageElements() {
  return Array.from(document.querySelectorAll('[id],[name]')).filter((element) => !inChrome(element));
}

// Every element of the main page with an id or a name, as the handlers look
// them up.
export function snapshot() {
  return pageElements().map(describe);
}

// The one element whose id or name is name, whatever its case; null when
// none or several are.
export function findOne(name) {
  const wanted = String(name).toLowerCase();
  const found = pageElements().filter((element) =>
    (element.getAttribute('id') || '').toLowerCase() === wanted ||
    (element.getAttribute('name') || '').toLowerCase() === wanted);
  return found.length === 1 ? found[0] : null;
}
