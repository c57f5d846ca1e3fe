// The kept preferences the page applies itself: the look ("theme"), the
// size of the cards ("cardSize") and where the reading sheet goes
// ("sheet"). The program keeps them in the data folder's settings.json and
// sends them (op "settings") when the page opens and whenever one changes.
// They show on the root element as data-sw-theme, data-sw-card-size and
// data-sw-sheet, for the style sheets; modules read them with preference()
// and hear of changes through onPreferences(). setPreference() asks the
// program to change one: a click on an element {id: "setpref", pref, value},
// which the program checks against the values each one may take.
import * as connection from './connection.mjs';
import { snapshot } from './own.mjs';

const values = new Map();
const listeners = new Set();

// "cardSize" as "swCardSize", the dataset name of data-sw-card-size.
export function datasetName(name) {
  return 'sw' + name.charAt(0).toUpperCase() + name.slice(1);
}

export function applySettings(given) {
  if (!given || typeof given !== 'object') return;
  for (const [name, value] of Object.entries(given)) {
    if (typeof value !== 'string') continue;
    values.set(name, value);
    document.documentElement.dataset[datasetName(name)] = value;
  }
  for (const listener of listeners) listener(new Map(values));
}

export function preference(name) {
  return values.get(name);
}

export function onPreferences(listener) {
  listeners.add(listener);
  return () => listeners.delete(listener);
}

export function setPreference(name, value) {
  connection.send({
    type: 'click',
    element: { tag: 'BUTTON', attributes: { id: 'setpref', pref: String(name), value: String(value) } },
    inFragment: false,
    page: 0,
    document: snapshot(),
  }, null);
}
