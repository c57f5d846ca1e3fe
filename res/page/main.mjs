// The page side of Sagewend: forwards clicks and keys to the program and
// applies what its handlers send back. All decisions are made by the
// program; the messages both ways are described in platform/shell.h. This
// module applies the program's frames; the rooms it uses:
//   connection.mjs      the WebSocket, numbering, how far both sides are
//   input.mjs           what the user does: clicks, keys, choices
//   notification.mjs    the modal notification dialog
//   meaning-window.mjs  the card meaning window (placement.mjs: where it goes)
//   enhance.mjs         fragments made usable from the keyboard and by screen readers
//   fit.mjs             a spread fitted into the window
//   spread.mjs          a spread's cards in position order
//   sheet.mjs           the reading sheet beside or below the spread
//   notice.mjs          short notices that ask for nothing
//   focus.mjs           where the focus goes after a new fragment
//   grid.mjs            the layout editor's grid from the keyboard
//   journal.mjs         the journal's controls and services
//   own.mjs             what the program reads of the page
//   sanitize.mjs        a deck author's HTML made safe
//   controls.mjs        the controls the program asks for beside a fragment
//   owncards.mjs        the page of a reading of one's own cards
//   settings.mjs        the kept preferences the page applies itself
//   look.mjs            the theme the page and the meaning window wear
//   prefetch.mjs        pictures fetched while the user is busy on a form
import * as connection from './connection.mjs';
import { applyCardLabels, applyParts, enhance } from './enhance.mjs';
import { checkFit, fitSpread, scheduleFit, setCardSize, setUpFit } from './fit.mjs';
import { announce, placeFocus } from './focus.mjs';
import { setUpInput, sendKey } from './input.mjs';
import { download, fill, print, showKeep } from './journal.mjs';
import { keepMeaningInside, setMeaningLabel, setUpMeaningWindow, showMeaning, writeMeaning } from './meaning-window.mjs';
import { showNotice as notify } from './notice.mjs';
import { closeBox, setUpNotification, showBox } from './notification.mjs';
import { clearControls, setUpControls, showControls } from './controls.mjs';
import { findOne, markOwn } from './own.mjs';
import { focusOwnCards, setUpOwnCards } from './owncards.mjs';
import { setTheme, setUpLook } from './look.mjs';
import { applySettings, onPreferences } from './settings.mjs';
import { mapUrls } from './urls.mjs';

const root = document.documentElement;
const fileList = document.getElementById('fileList');
const beside = document.getElementById('sw-beside');
const statusRegion = document.getElementById('sw-status');
const key = new URLSearchParams(location.search).get('key') || '';
let pageNumber = 0;  // the program's number of the fragment on show

// The address carries the run's secret; once the page has its cookie the
// address bar need not show it.
if (key) history.replaceState(null, '', '/');

// Nothing is shown until the program has written its first page, so the
// window never shows an empty frame first.
function ready() { root.classList.remove('sw-loading'); }
setTimeout(ready, 3000);

function showNotice(text) {
  document.getElementById('sw-ended-text').textContent = text;
  document.getElementById('sw-ended').hidden = false;
  closeBox(false);
  ready();
}

function applyOp(op) {
  switch (op.op) {
    case 'write':
      fileList.innerHTML = mapUrls(op.html);
      pageNumber = op.page;
      showKeep('hidden', fileList);
      clearControls();
      enhance(fileList, beside);
      ready();
      break;
    case 'parts':
      applyParts(fileList, beside, op);
      showControls(fileList, op.controls);
      break;
    case 'settings':
      applySettings(op.values);
      break;
    case 'cardLabels':
      if (Array.isArray(op.labels)) applyCardLabels(fileList, op.labels);
      break;
    case 'keep':
      showKeep(op.state, fileList);
      break;
    case 'fill':
      fill(fileList, op.id, op.html);
      break;
    case 'download':
      download(String(op.name), String(op.text));
      break;
    case 'print':
      print();
      break;
    case 'meaningLabel':
      setMeaningLabel(op.label, op.reversed);
      break;
    case 'notice':
      notify(String(op.text));
      break;
    case 'setValue': {
      const element = findOne(op.id);
      if (element) element.value = op.value;
      break;
    }
    case 'meaning':
      writeMeaning(op.html);
      break;
    case 'meaningVisible':
      showMeaning(Boolean(op.visible));
      break;
    case 'messageBox':
      showBox(op);
      ready();
      break;
    case 'cursor':
      root.classList.toggle('sw-wait', Boolean(op.wait));
      break;
    case 'help':
      // The help window gets no handle on this one.
      window.open('/help/' + encodeURIComponent(op.topic), 'sagewend-help', 'noopener');
      break;
    case 'ended':
      connection.finish();
      showNotice('Sagewend has ended. You can close this window.');
      setTimeout(() => window.close(), 1500);
      break;
    default:
      break;
  }
}

function apply(message) {
  if (message.type === 'update') {
    const ops = message.ops || [];
    const actedOn = connection.actedOnBy(message.done);
    for (const op of ops) applyOp(op);
    if (ops.some((op) => op.op === 'write')) {
      // Focusing lays the new page out; a remembered fit is checked on that
      // layout, so the page is laid out once before its first frame.
      fitSpread(true);
      placeFocus(fileList, actedOn);
      focusOwnCards(fileList);
      checkFit();
      announce(fileList, statusRegion);
    }
    if (message.done) connection.acknowledge(message.done);
  } else if (message.type === 'replaced') {
    connection.finish();
    showNotice('Sagewend is now shown in another window.');
  }
  connection.markApplied();
}

setUpFit(fileList);
setUpLook(document.getElementById('sw-meaning-frame'));
onPreferences((values) => {
  setTheme(values.get('theme'));
  setCardSize(values.get('cardSize'));
});
setUpNotification((box, result) => connection.send({ type: 'answer', box, result }));
setUpMeaningWindow(fileList, sendKey);
setUpInput(fileList, () => pageNumber);
setUpControls(document.getElementById('sw-controls'));
setUpOwnCards(fileList, statusRegion);
window.addEventListener('resize', () => {
  scheduleFit();
  keepMeaningInside();
});
fileList.setAttribute('tabindex', '-1');
markOwn(fileList, 'tabindex');

connection.connect(key, apply, () => showNotice('Sagewend is no longer running. You can close this window.'));
