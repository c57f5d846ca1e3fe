// The page side of Sagewend: forwards clicks and keys to the program and
// applies what its handlers send back. All decisions are made by the
// program; the messages both ways are described in platform/shell.h.
//
// The page stands in for a modal dialog window: while a notification is
// open the rest of the page is inert (dimmed, unfocusable, deaf to clicks),
// Tab stays inside the box and Enter presses the focused button.
//
// The fragments are written byte for byte as the program composes them; the
// page then makes them usable from the keyboard and by a screen reader
// (enhance): it adds roles, names, tab stops and small labels, and scales a
// spread's cards to fit the window. What it adds is kept apart (ownAttributes)
// and never reported back, so the program reads the page as it wrote it.
// Enter or Space on a button, card or grid cell is a click on that element,
// sent like any click. After a new fragment the focus goes where the user
// goes on: the control they used if it is still there, else the question
// field, else the first card or control of the page.
(() => {
  'use strict';
  const root = document.documentElement;
  const fileList = document.getElementById('fileList');
  const overlay = document.getElementById('sw-overlay');
  const meaningWindow = document.getElementById('sw-meaning');
  const meaningFrame = document.getElementById('sw-meaning-frame');
  const endedNotice = document.getElementById('sw-ended');
  const okButton = document.getElementById('sw-ok');
  const cancelButton = document.getElementById('sw-cancel');
  const closeButton = document.getElementById('sw-meaning-close');
  const statusRegion = document.getElementById('sw-status');
  const keepBar = document.getElementById('sw-keepbar');
  const keepButton = document.getElementById('keep');
  const keptNote = document.getElementById('sw-kept');
  const key = new URLSearchParams(location.search).get('key') || '';

  let socket = null;
  let applied = 0;
  let sent = 0;
  let openBox = null;
  let finished = false;
  let retries = 0;
  let pendingMeaning = null;
  let pageNumber = 0;  // the program's number of the fragment on show
  const sentEvents = new Map();  // seq -> what it acted on, until handled
  let focusBeforeBox = null;
  let lastCard = null;       // the card last clicked, until the window shows
  let meaningOpener = null;  // the card whose meaning is on show
  let meaningFocusPending = false;  // the focus moves into it at the next frame
  let lastPointer = -Infinity;

  // Attributes the page added to the program's elements, by element.
  const ownAttributes = new WeakMap();
  function markOwn(element, name) {
    let names = ownAttributes.get(element);
    if (!names) {
      names = new Set();
      ownAttributes.set(element, names);
    }
    names.add(name);
  }
  // Sets an attribute the fragment did not bring with it.
  function setOwn(element, name, value) {
    const names = ownAttributes.get(element);
    if (element.hasAttribute(name) && !(names && names.has(name))) return;
    element.setAttribute(name, value);
    markOwn(element, name);
  }

  // The address carries the run's secret; once the page has its cookie the
  // address bar need not show it.
  if (key) history.replaceState(null, '', '/');

  // What a map kept in order of use holds for key, made if it holds nothing;
  // it is now the most recent, and the least recent beyond limit go.
  function recentEntry(map, key, limit, make) {
    let value = map.get(key);
    if (value === undefined) value = make();
    else map.delete(key);
    map.set(key, value);
    while (map.size > limit) map.delete(map.keys().next().value);
    return value;
  }

  // Nothing is shown until the program has written its first page, so the
  // window never shows an empty frame first.
  function ready() { root.classList.remove('sw-loading'); }
  setTimeout(ready, 3000);

  // Fragments name pictures by relative file: URLs; here they are served
  // from the program's own routes.
  function mapUrls(html) {
    return html.replace(/(\b(?:src|background)\s*=\s*)(['"]?)file:(?:\.\/)?/gi, '$1$2/');
  }

  function inChrome(element) {
    return element.closest && element.closest('.sw-chrome') !== null;
  }

  function describe(element) {
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

  function snapshot() {
    return pageElements().map(describe);
  }

  function findOne(name) {
    const wanted = String(name).toLowerCase();
    const found = pageElements().filter((element) =>
      (element.getAttribute('id') || '').toLowerCase() === wanted ||
      (element.getAttribute('name') || '').toLowerCase() === wanted);
    return found.length === 1 ? found[0] : null;
  }

  function send(message, actedOn = null) {
    if (!socket || socket.readyState !== WebSocket.OPEN || finished) return;
    if (message.type !== 'answer') {
      sent += 1;
      message.seq = sent;
      root.dataset.sent = String(sent);
      sentEvents.set(sent, actedOn);
    }
    socket.send(JSON.stringify(message));
  }

  function sendClick(element) {
    if (openBox !== null || finished) return;
    const inFragment = fileList.contains(element);
    send({ type: 'click', element: describe(element), inFragment, page: pageNumber, document: snapshot() }, {
      tag: element.tagName, id: element.getAttribute('id'), row: element.getAttribute('row'),
      col: element.getAttribute('col'), inFragment,
    });
  }

  function sendKey(name) {
    if (openBox !== null || finished) return;
    send({ type: 'key', key: name, document: snapshot() }, null);
  }

  function showNotice(text) {
    document.getElementById('sw-ended-text').textContent = text;
    endedNotice.hidden = false;
    closeBox();
    ready();
  }

  // ---- the notification dialog ---------------------------------------------

  function setInert(inert) {
    for (const child of document.body.children) {
      if (child !== overlay && child.tagName !== 'SCRIPT') child.inert = inert;
    }
  }

  function showBox(message) {
    if (openBox === null) {
      const active = document.activeElement;
      focusBeforeBox = active && active !== document.body && !overlay.contains(active) ? active : null;
    }
    openBox = message.box;
    const icon = document.getElementById('sw-msgbox-icon');
    icon.className = 'sw-icon ' + (message.icon === 32514 ? 'question' : 'exclamation');
    document.getElementById('sw-msgbox-text').textContent = message.text;
    overlay.hidden = false;
    setInert(true);
    ready();
    okButton.focus();
  }

  function closeBox() {
    const wasOpen = openBox !== null;
    openBox = null;
    overlay.hidden = true;
    setInert(false);
    // The focus goes back where it was, as when a dialog window closes.
    if (wasOpen && focusBeforeBox && focusBeforeBox.isConnected && !finished) focusBeforeBox.focus({ preventScroll: true });
    focusBeforeBox = null;
  }

  function answer(result) {
    if (openBox === null) return;
    const box = openBox;
    closeBox();
    send({ type: 'answer', box, result });
  }

  okButton.addEventListener('click', () => answer(1));
  cancelButton.addEventListener('click', () => answer(2));

  function boxKey(event) {
    if (event.key === 'Escape') {
      answer(2);
    } else if (event.key === 'Enter' || event.key === ' ') {
      // The focused button answers, as in a dialog window.
      answer(document.activeElement === cancelButton ? 2 : 1);
    } else if (event.key === 'Tab') {
      (document.activeElement === okButton ? cancelButton : okButton).focus();
    } else if (!['ArrowLeft', 'ArrowRight'].includes(event.key)) {
      return;  // other keys do nothing, and nothing behind the box
    } else {
      (document.activeElement === okButton ? cancelButton : okButton).focus();
    }
  }

  // ---- the card meaning window ----------------------------------------------

  // Meanings and position descriptions are HTML written by a deck's author:
  // only the markup a meaning needs survives, and pictures only from the
  // program's own folders.
  const meaningMarkup = {
    ALLOWED_TAGS: ['a', 'b', 'big', 'blockquote', 'br', 'caption', 'center', 'col', 'colgroup', 'dd', 'del', 'div',
      'dl', 'dt', 'em', 'font', 'h1', 'h2', 'h3', 'h4', 'h5', 'h6', 'hr', 'i', 'img', 'ins', 'li', 'ol', 'p',
      'pre', 's', 'small', 'span', 'strike', 'strong', 'sub', 'sup', 'table', 'tbody', 'td', 'tfoot', 'th',
      'thead', 'tr', 'tt', 'u', 'ul'],
    ALLOWED_ATTR: ['align', 'alt', 'border', 'card', 'cellpadding', 'cellspacing', 'class', 'color', 'colspan',
      'face', 'height', 'rowspan', 'size', 'src', 'style', 'title', 'valign', 'width'],
    ALLOW_DATA_ATTR: false,
  };
  function ownPicturesOnly(node) {
    if (node.hasAttribute('src') && !/^\/(?:decks|images)\//.test(node.getAttribute('src'))) node.removeAttribute('src');
  }
  if (window.DOMPurify) window.DOMPurify.addHook('afterSanitizeAttributes', ownPicturesOnly);
  // The meaning window's own sanitiser, set up once: it gives nodes, not
  // text, and does not read its settings again for every meaning.
  const meaningPurifier = window.DOMPurify ? window.DOMPurify(window) : null;
  if (meaningPurifier) {
    meaningPurifier.setConfig({ ...meaningMarkup, RETURN_DOM_FRAGMENT: true });
    meaningPurifier.addHook('afterSanitizeAttributes', ownPicturesOnly);
  }

  function sanitize(html) {
    // Without the sanitiser nothing of the author's markup is trusted.
    if (!window.DOMPurify) return html.replace(/[&<>]/g, (c) => ({ '&': '&amp;', '<': '&lt;', '>': '&gt;' }[c]));
    return window.DOMPurify.sanitize(html, meaningMarkup);
  }

  function meaningDocument() {
    const doc = meaningFrame.contentDocument;
    return doc && doc.getElementById('fileList') ? doc : null;
  }

  // Sanitised straight into nodes: the text is parsed once, not twice. A
  // reader goes back and forth between the cards of a spread, so the
  // meanings shown lately are kept as nodes, and copied.
  const KEPT_MEANINGS = 100;
  const keptMeanings = new Map();  // the author's markup -> its nodes, least recently shown first

  function sanitizedMeaning(html) {
    return recentEntry(keptMeanings, html, KEPT_MEANINGS, () => meaningPurifier.sanitize(mapUrls(html))).cloneNode(true);
  }

  function writeMeaning(html) {
    const doc = meaningDocument();
    if (!doc) {
      pendingMeaning = html;
      return;
    }
    const target = doc.getElementById('fileList');
    if (meaningPurifier) {
      target.replaceChildren(sanitizedMeaning(html));
    } else {
      target.innerHTML = sanitize(mapUrls(html));
    }
    // Back to the top before the next paint, without forcing a layout of
    // the new text now.
    requestAnimationFrame(() => { doc.scrollingElement.scrollTop = 0; });
  }

  meaningFrame.addEventListener('load', () => {
    if (pendingMeaning !== null) {
      const html = pendingMeaning;
      pendingMeaning = null;
      writeMeaning(html);
    }
  });

  // The window opens at the window's top left, where the program places it,
  // unless that would cover the card it explains: then it opens beside the
  // card (right, else left), or above or below it, shrunk to the room there.
  // It is never larger than the visible window; its page scrolls.
  const MEANING_WIDTH = 320;
  const MEANING_HEIGHT = 460;
  const MEANING_MIN_WIDTH = 200;
  const MEANING_MIN_HEIGHT = 120;
  const MEANING_GAP = 8;

  function viewport() {
    const scroller = document.scrollingElement || document.documentElement;
    return {
      width: Math.min(window.innerWidth, scroller.clientWidth || window.innerWidth),
      height: Math.min(window.innerHeight, scroller.clientHeight || window.innerHeight),
    };
  }

  function setMeaningBox(box) {
    meaningWindow.style.left = Math.round(box.x) + 'px';
    meaningWindow.style.top = Math.round(box.y) + 'px';
    meaningWindow.style.width = Math.round(box.width) + 'px';
    meaningWindow.style.height = Math.round(box.height) + 'px';
  }

  function meaningBox() {
    const box = meaningWindow.getBoundingClientRect();
    return { x: box.left, y: box.top, width: box.width, height: box.height };
  }

  function overlaps(a, b) {
    return a.x < b.right && b.left < a.x + a.width && a.y < b.bottom && b.top < a.y + a.height;
  }

  function placeMeaning(card) {
    const view = viewport();
    const box = { x: 0, y: 0, width: Math.min(MEANING_WIDTH, view.width), height: Math.min(MEANING_HEIGHT, view.height) };
    // The card with its caption underneath.
    const r = card && card.isConnected ? (card.closest('td') || card).getBoundingClientRect() : null;
    if (r && r.width > 0 && overlaps(box, r)) {
      // Beside the card, level with its top as far as the window allows.
      const left = r.left - MEANING_GAP;
      const right = view.width - r.right - MEANING_GAP;
      box.y = Math.min(Math.max(0, r.top), view.height - box.height);
      if (right >= box.width) {
        box.x = r.right + MEANING_GAP;
      } else if (Math.max(left, right) >= MEANING_MIN_WIDTH) {
        box.width = Math.max(left, right);
        box.x = left >= right ? left - box.width : r.right + MEANING_GAP;
      } else {
        const above = r.top - MEANING_GAP;
        const below = view.height - r.bottom - MEANING_GAP;
        box.height = Math.max(Math.min(box.height, Math.max(above, below)), Math.min(MEANING_MIN_HEIGHT, view.height));
        box.y = above >= below ? 0 : view.height - box.height;
        box.x = Math.min(Math.max(0, r.left + r.width / 2 - box.width / 2), view.width - box.width);
      }
    }
    setMeaningBox(box);
  }

  // Keeps a moved or resized window inside the visible window.
  function keepMeaningInside() {
    if (meaningWindow.hidden || !meaningWindow.style.width) return;
    const view = viewport();
    const box = meaningBox();
    box.width = Math.min(Math.max(box.width, Math.min(MEANING_WIDTH, view.width)), view.width);
    box.height = Math.min(Math.max(box.height, Math.min(MEANING_HEIGHT, view.height)), view.height);
    box.x = Math.min(Math.max(0, box.x), view.width - box.width);
    box.y = Math.min(Math.max(0, box.y), view.height - box.height);
    setMeaningBox(box);
  }

  function showMeaning(visible) {
    if (!visible) {
      meaningWindow.hidden = true;
      return;
    }
    const card = lastCard && lastCard.isConnected ? lastCard : null;
    lastCard = null;
    // Placed before it is shown: every measurement is taken on the page as
    // it stands, so showing it costs one layout, not several.
    if (meaningWindow.hidden || !meaningWindow.style.width) {
      placeMeaning(card);
    } else if (card && overlaps(meaningBox(), (card.closest('td') || card).getBoundingClientRect())) {
      placeMeaning(card);  // a window the user left in place stays, unless it covers the new card
    }
    meaningWindow.hidden = false;
    if (card) {
      // Opened from a card: the reader goes on in the window, from its first
      // frame on (focusing lays the new text out; it need not hold up the rest).
      meaningOpener = card;
      meaningFocusPending = true;
      requestAnimationFrame(() => {
        meaningFocusPending = false;
        if (!meaningWindow.hidden && meaningOpener === card) meaningFrame.focus({ preventScroll: true });
      });
    }
  }

  function closeMeaning() {
    const hadFocus = meaningWindow.contains(document.activeElement) || meaningFocusPending;
    meaningFocusPending = false;
    meaningWindow.hidden = true;
    if (hadFocus && meaningOpener && meaningOpener.isConnected) meaningOpener.focus();
  }

  closeButton.addEventListener('mousedown', (event) => {
    event.stopPropagation();
    closeMeaning();
  });
  closeButton.addEventListener('click', closeMeaning);

  // The window's own document passes on the keys it does not keep: Escape
  // closes the window, and the main window's keys work from it as they do
  // from the main window.
  window.addEventListener('message', (event) => {
    if (event.source !== meaningFrame.contentWindow || event.origin !== location.origin) return;
    const name = event.data && event.data.sagewendKey;
    if (name === 'Escape') closeMeaning();
    else if (typeof name === 'string' && /^(?:Alt\+[A-Z]|F1)$/.test(name)) sendKey(name);
  });

  (function makeMovable() {
    const caption = document.getElementById('sw-meaning-caption');
    let start = null;
    caption.addEventListener('mousedown', (event) => {
      if (event.button !== 0) return;
      const box = meaningWindow.getBoundingClientRect();
      start = { x: event.clientX - box.left, y: event.clientY - box.top };
      meaningFrame.style.pointerEvents = 'none';
      event.preventDefault();
    });
    window.addEventListener('mousemove', (event) => {
      if (!start) return;
      const view = viewport();
      const box = meaningBox();
      meaningWindow.style.left = Math.min(Math.max(0, event.clientX - start.x), Math.max(0, view.width - box.width)) + 'px';
      meaningWindow.style.top = Math.min(Math.max(0, event.clientY - start.y), Math.max(0, view.height - box.height)) + 'px';
    });
    window.addEventListener('mouseup', () => {
      start = null;
      meaningFrame.style.pointerEvents = '';
    });
  })();

  // ---- making a fragment usable from the keyboard and by a screen reader ---

  // The page pictures say what page they head.
  const PICTURE_NAMES = {
    'logo.gif': 'Sagewend', 'readings.gif': 'Readings', 'iching.gif': 'I Ching', 'yesno.gif': 'Yes/No',
    'ask.gif': 'Ask the Oracle',
  };
  // Names of the fields whose caption is not in the cell before them.
  const FIELD_NAMES = {
    question: 'Question', layout: 'Layout', deck: 'Deck', reverse: 'Reversed', name: 'Name', title: 'Position Title',
    description: 'Description', desclist: 'Card Positions', cols: 'Columns', rows: 'Rows',
  };

  function pictureName(src) {
    const file = String(src || '').split('/').pop().toLowerCase();
    return PICTURE_NAMES[file] || '';
  }

  // The caption a field stands beside: the text of the cell before it
  // ("Question:"), else the field's known name.
  function fieldLabel(field) {
    const cell = field.closest('td');
    const before = cell && cell.previousElementSibling;
    const text = before ? before.textContent.replace(/\u00a0/g, ' ').trim().replace(/:$/, '') : '';
    const key = (field.getAttribute('name') || field.getAttribute('id') || '').toLowerCase();
    return text || FIELD_NAMES[key] || '';
  }

  function isGridCell(element) {
    return element.tagName === 'TD' && (element.classList.contains('grid') || element.classList.contains('gridfilled'));
  }

  // Elements that act when clicked, and so when Enter or Space is pressed on them.
  function activatable(element) {
    if (!(element instanceof Element) || inChrome(element)) return false;
    if (element.tagName === 'INPUT') return element.type === 'image';
    return element.matches('a.btn, img.card, [role=button]') || isGridCell(element);
  }

  function enhanceGrid() {
    const cells = Array.from(fileList.querySelectorAll('td')).filter(isGridCell);
    if (cells.length === 0) return;
    const table = cells[0].closest('table');
    setOwn(table, 'role', 'grid');
    setOwn(table, 'aria-label', 'Layout grid');
    cells.forEach((cell, index) => {
      const row = Number(cell.getAttribute('row')) + 1;
      const col = Number(cell.getAttribute('col')) + 1;
      const text = cell.textContent.replace(/\u00a0/g, ' ').trim();
      setOwn(cell, 'aria-label', `Row ${row}, column ${col}, ` + (text ? `position ${text}` : 'empty'));
      setOwn(cell, 'tabindex', index === 0 ? '0' : '-1');
    });
  }

  // One tab stop for the grid: the cell last in hand.
  function rove(cell) {
    const table = cell.closest('table');
    for (const other of table.querySelectorAll('td[tabindex]')) {
      if (isGridCell(other)) setOwn(other, 'tabindex', other === cell ? '0' : '-1');
    }
  }

  function moveInGrid(cell, key) {
    const row = Number(cell.getAttribute('row'));
    const col = Number(cell.getAttribute('col'));
    const step = { ArrowUp: [-1, 0], ArrowDown: [1, 0], ArrowLeft: [0, -1], ArrowRight: [0, 1] }[key];
    const next = fileList.querySelector(`td[row="${row + step[0]}"][col="${col + step[1]}"]`);
    if (next && isGridCell(next)) {
      rove(next);
      next.focus();
    }
  }

  // A hexagram drawing reads as its lines, bottom first, under its title.
  function enhanceHexagrams() {
    const figures = Array.from(fileList.querySelectorAll('table'))
      .filter((table) => table.rows.length === 6 && table.querySelector('hr.iching') && !table.querySelector('table'));
    figures.forEach((figure, index) => {
      const outer = figure.parentElement.closest('table');
      const title = outer && outer.rows[0] && outer.rows[0].cells[index];
      const number = title ? (title.querySelector('b')?.textContent || '').trim().split(/\s+/)[0] : '';
      const name = title ? (title.querySelector('i')?.textContent || '').trim() : '';
      const lines = Array.from(figure.rows).reverse()
        .map((row) => (row.querySelectorAll('hr.iching').length === 3 ? 'yang' : 'yin'));
      setOwn(figure, 'role', 'img');
      setOwn(figure, 'aria-label', `Hexagram ${number}, ${name}: lines from the bottom: ${lines.join(', ')}`);
    });
  }

  function enhanceCards() {
    for (const card of fileList.querySelectorAll('img.card')) {
      setOwn(card, 'tabindex', '0');
      setOwn(card, 'role', 'button');
      const reversed = card.getAttribute('reversed') === '1';
      setOwn(card, 'aria-label', (card.getAttribute('alt') || 'Card') + (reversed ? ', reversed' : ''));
      if (reversed) {
        // Upside down is easy to miss on a symmetrical card: say it.
        const label = document.createElement('div');
        label.className = 'sw-reversed';
        label.setAttribute('aria-hidden', 'true');
        label.textContent = 'Reversed';
        card.parentElement.appendChild(label);
      }
      if (!card.complete) {
        card.addEventListener('load', scheduleFit, { once: true });
        card.addEventListener('error', scheduleFit, { once: true });
      }
    }
  }

  // The browser gives a picture back without asking the program again only
  // while the page still holds it. Holding the recent ones means a deal's
  // cards are there, at their size, in the same task as the page: the spread
  // is fitted once, before its first frame, and no picture is read anew.
  const KEPT_PICTURES = 300;
  const keptPictures = new Map();  // address -> Image, least recently shown first

  function keepPictures() {
    for (const img of fileList.querySelectorAll('img[src^="/decks/"], img[src^="/images/"]')) {
      const url = img.src;
      recentEntry(keptPictures, url, KEPT_PICTURES, () => {
        const image = new Image();
        image.src = url;
        return image;
      });
    }
  }

  function enhance() {
    keepPictures();
    for (const img of fileList.querySelectorAll('img:not(.card)')) setOwn(img, 'alt', pictureName(img.getAttribute('src')));
    for (const input of fileList.querySelectorAll('input')) {
      if (input.type === 'hidden') continue;
      if (input.type === 'image') {
        setOwn(input, 'alt', input.getAttribute('value') || pictureName(input.getAttribute('src')));
      } else if (!input.labels || input.labels.length === 0) {
        setOwn(input, 'aria-label', fieldLabel(input));
      }
    }
    for (const select of fileList.querySelectorAll('select')) setOwn(select, 'aria-label', fieldLabel(select));
    for (const button of fileList.querySelectorAll('a.btn')) {
      setOwn(button, 'tabindex', '0');
      setOwn(button, 'role', 'button');
    }
    enhanceCards();
    enhanceGrid();
    enhanceHexagrams();
    fitSpread(true);
  }

  function applyCardLabels(labels) {
    const cards = fileList.querySelectorAll('img.card');
    labels.forEach((label, index) => {
      if (cards[index] && typeof label === 'string' && label) setOwn(cards[index], 'aria-label', label);
    });
  }

  // ---- fitting a spread into the window ----------------------------------

  // Cards shrink (never grow past their own size) until the page needs no
  // scrolling; captions wrap meanwhile. Where that would leave the cards too
  // small to make out, the spread alone fits the window and the words of the
  // page's foot wait below it. Both limits are the tallest card's height on
  // screen, whatever the size of the pictures behind it.
  const MIN_CARD_HEIGHT = 20;
  const READABLE_CARD_HEIGHT = 60;
  let fitPending = false;
  // What the last fit found, for the window's size and the page's shape: the
  // next deal of that spread takes its size at once, without a layout of its
  // own, and is checked on the layout that placing the focus makes anyway
  // (and its cards keep their size from deal to deal).
  let lastFit = { shape: '', whole: true, factor: 1 };
  let fitToCheck = false;

  function scheduleFit() {
    if (fitPending) return;
    fitPending = true;
    requestAnimationFrame(() => {
      fitPending = false;
      fitSpread();
    });
  }

  // A page just written (remembered) takes the last fit of its shape if it
  // has one; it is measured once the focus is placed.
  function fitSpread(remembered = false) {
    const cards = Array.from(fileList.querySelectorAll('img.card')).filter((card) => card.complete && card.naturalWidth > 0);
    if (cards.length === 0 || cards.length !== fileList.querySelectorAll('img.card').length) return;
    const sizes = cards.map((card) => [card.naturalWidth, card.naturalHeight]);
    // The cards' share of the page: the tallest card of each row, the widest of each column.
    const rowHeights = new Map();
    const columnWidths = new Map();
    cards.forEach((card, index) => {
      const cell = card.closest('td');
      const row = cell.parentElement;
      rowHeights.set(row, Math.max(rowHeights.get(row) || 0, sizes[index][1]));
      columnWidths.set(cell.cellIndex, Math.max(columnWidths.get(cell.cellIndex) || 0, sizes[index][0]));
    });
    const table = cards[0].closest('table');
    // The words around the spread count too: another page of the same spread
    // (a journal entry with its notes) has its own fit.
    const shape = [window.innerWidth, window.innerHeight, fileList.textContent.length - table.textContent.length,
      ...cards.map((card, index) => {
        const cell = card.closest('td');
        return `${cell.parentElement.rowIndex}.${cell.cellIndex}:${sizes[index].join('x')}`;
      })].join(' ');
    const cardsHigh = Array.from(rowHeights.values()).reduce((a, b) => a + b, 0);
    const tallest = Math.max(...rowHeights.values());
    const minScale = Math.min(1, MIN_CARD_HEIGHT / tallest);
    const cardsWide = Array.from(columnWidths.values()).reduce((a, b) => a + b, 0);
    const scale = (factor) => cards.forEach((card, index) => {
      card.style.width = Math.max(1, Math.floor(sizes[index][0] * factor)) + 'px';
      card.style.height = Math.max(1, Math.floor(sizes[index][1] * factor)) + 'px';
      markOwn(card, 'style');
    });
    const known = lastFit.shape === shape;
    if (known && remembered) {
      scale(lastFit.factor);
      fitToCheck = true;
      return;
    }
    // (Asking which element scrolls lays the page out, in a page with no doctype.)
    const scroller = document.scrollingElement || document.documentElement;
    const pageBottom = () => scroller.scrollHeight;
    const spreadBottom = () => table.getBoundingClientRect().bottom + scroller.scrollTop + 4;
    const fit = (bottom, from) => {
      let factor = from;
      scale(factor);
      for (let round = 0; round < 8; round++) {
        const overY = bottom() - scroller.clientHeight;
        const overX = scroller.scrollWidth - scroller.clientWidth;
        if (overY <= 0 && overX <= 0) break;
        let next = factor;
        if (overY > 0) next = Math.min(next, factor - (overY + 1) / cardsHigh);
        if (overX > 0) next = Math.min(next, factor - (overX + 1) / cardsWide);
        next = Math.max(minScale, next);
        if (next >= factor) break;
        factor = next;
        scale(factor);
      }
      return factor;
    };
    let whole = !known || lastFit.whole;
    let factor = whole ? fit(pageBottom, known ? lastFit.factor : 1) : 0;
    if (factor < Math.min(1, READABLE_CARD_HEIGHT / tallest)) {
      whole = false;
      factor = fit(spreadBottom, known && !lastFit.whole ? lastFit.factor : 1);
    }
    lastFit = { shape, whole, factor };
  }

  // ---- where the focus goes after a new fragment ----------------------------

  function counterpart(actedOn) {
    if (actedOn.row !== null && actedOn.col !== null) {
      const cell = fileList.querySelector(`td[row="${CSS.escape(actedOn.row)}"][col="${CSS.escape(actedOn.col)}"]`);
      if (cell && isGridCell(cell)) {
        rove(cell);
        return cell;
      }
    }
    if (!actedOn.id) return null;
    const same = Array.from(fileList.querySelectorAll('[id]'))
      .filter((element) => element.id === actedOn.id && element.tagName === actedOn.tag);
    return same.length === 1 ? same[0] : null;
  }

  function firstControl() {
    const controls = fileList.querySelectorAll('input:not([type=hidden]), select, textarea, a.btn, [tabindex="0"]');
    return Array.from(controls).find((control) => !control.disabled) || null;
  }

  function placeFocus(actedOn) {
    if (meaningWindow.contains(document.activeElement)) return;
    const active = document.activeElement;
    const lost = !active || active === document.body || active === fileList;
    let target = actedOn && actedOn.inFragment ? counterpart(actedOn) : null;
    if (!target) target = fileList.querySelector('input[name=question]');
    if (!target && lost) target = fileList.querySelector('img.card') || firstControl() || fileList;
    if (target && target !== active) target.focus({ preventScroll: target === fileList });
  }

  // A short word for screen readers on what the new page says: its heading
  // (the answer of the Yes/No page, the question of a reading).
  function announce() {
    const heading = fileList.querySelector('h3');
    statusRegion.textContent = '';
    if (heading) setTimeout(() => { statusRegion.textContent = heading.textContent; }, 100);
  }

  // ---- the journal's controls and services -----------------------------------

  // The "Keep in journal" control under a result; every page write hides it.
  // It stands in the right-hand column, under the buttons, where it takes no
  // room from the result it keeps.
  function showKeep(state) {
    keepBar.hidden = state === 'hidden';
    keepButton.hidden = state !== 'offered';
    keptNote.textContent = state === 'kept' ? 'Kept in journal' : '';
    if (state === 'kept' && document.activeElement === keepButton) fileList.focus({ preventScroll: true });
  }

  // HTML a deck's author wrote, into an element of the fragment just written.
  function fill(id, html) {
    const target = document.getElementById(id);
    if (target && fileList.contains(target)) target.innerHTML = sanitize(mapUrls(String(html)));
  }

  // A text handed to the user as a file: the browser's download.
  function download(name, text) {
    const link = document.createElement('a');  // never in the document: its click goes nowhere else
    link.href = URL.createObjectURL(new Blob([text], { type: 'text/markdown;charset=utf-8' }));
    link.download = name;
    link.click();
    setTimeout(() => URL.revokeObjectURL(link.href), 10000);
  }

  // ---- what the program sends ----------------------------------------------

  function applyOp(op) {
    switch (op.op) {
      case 'write':
        fileList.innerHTML = mapUrls(op.html);
        pageNumber = op.page;
        showKeep('hidden');
        enhance();
        ready();
        break;
      case 'keep':
        showKeep(op.state);
        break;
      case 'fill':
        fill(op.id, op.html);
        break;
      case 'download':
        download(String(op.name), String(op.text));
        break;
      case 'print':
        setTimeout(() => window.print(), 0);  // once the frame's page is in place
        break;
      case 'cardLabels':
        if (Array.isArray(op.labels)) applyCardLabels(op.labels);
        break;
      case 'meaningLabel':
        meaningWindow.setAttribute('aria-label', op.label || 'Meanings');
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
        break;
      case 'cursor':
        root.classList.toggle('sw-wait', Boolean(op.wait));
        break;
      case 'help':
        window.open('/help/' + encodeURIComponent(op.topic), 'sagewend-help');
        break;
      case 'ended':
        finished = true;
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
      const actedOn = message.done ? sentEvents.get(message.done) : null;
      for (const op of ops) applyOp(op);
      if (ops.some((op) => op.op === 'write')) {
        // Focusing lays the new page out; the fit is checked on that layout,
        // so the page is laid out once before its first frame.
        placeFocus(actedOn);
        if (fitToCheck) {
          fitToCheck = false;
          fitSpread();
        }
        announce();
      }
      if (message.done) {
        root.dataset.done = String(message.done);
        for (const seq of sentEvents.keys()) if (seq <= message.done) sentEvents.delete(seq);
      }
    } else if (message.type === 'replaced') {
      finished = true;
      showNotice('Sagewend is now shown in another window.');
    }
    applied += 1;
    root.dataset.applied = String(applied);
  }

  // ---- what the user does ----------------------------------------------------

  document.addEventListener('click', (event) => {
    if (openBox !== null || finished) return;
    // The second click of a double-click is no click of its own, as in the
    // window the page stands in for: however fast the first one is answered,
    // a double-click acts once.
    if (event.detail > 1) return;
    let element = event.target;
    if (!(element instanceof Element) || inChrome(element)) return;
    if (element.tagName === 'OPTION') element = element.closest('select') || element;
    if (element.matches('img.card')) lastCard = element;
    sendClick(element);
  }, true);

  document.addEventListener('mousedown', () => { lastPointer = performance.now(); }, true);

  // Choosing a position in the editor's list with the keyboard is choosing
  // it with a click: the program fills in its title and description.
  document.addEventListener('change', (event) => {
    const element = event.target;
    if (element.tagName === 'SELECT' && element.id === 'desclist' && fileList.contains(element) &&
        performance.now() - lastPointer > 500) {
      sendClick(element);
    }
  });

  fileList.addEventListener('focusin', (event) => {
    if (isGridCell(event.target)) rove(event.target);
  });

  // Accelerators follow the key's label, as the window's virtual keys did:
  // on a German keyboard the key labelled Y is Alt+Y. Keys whose label is no
  // Latin letter (another script, or what Alt makes on a Mac) fall back to
  // the key's position.
  function keyName(event) {
    if (event.altKey && !event.ctrlKey && !event.metaKey) {
      if (/^[a-z]$/i.test(event.key)) return 'Alt+' + event.key.toUpperCase();
      if (/^Key[A-Z]$/.test(event.code)) return 'Alt+' + event.code.slice(3);
    }
    if (event.key === 'F1' || event.key === 'F5' || event.key === 'Escape') return event.key;
    return null;
  }

  document.addEventListener('keydown', (event) => {
    if (finished) return;
    if (openBox !== null) {
      event.preventDefault();
      event.stopPropagation();
      boxKey(event);
      return;
    }
    if ((event.ctrlKey || event.metaKey) && (event.key === 'r' || event.key === 'R')) {
      event.preventDefault();  // the page is never reloaded from the keyboard
      return;
    }
    const target = event.target;
    const plain = !event.altKey && !event.ctrlKey && !event.metaKey;
    if (plain && (event.key === 'Enter' || event.key === ' ') && activatable(target)) {
      event.preventDefault();
      if (!event.repeat) target.click();
      return;
    }
    if (plain && !event.shiftKey && event.key.startsWith('Arrow') && target instanceof Element && isGridCell(target)) {
      event.preventDefault();
      moveInGrid(target, event.key);
      return;
    }
    // Escape in the card meaning window closes it, as in a window of its own
    // (also in the frame before the focus has moved into it).
    if (event.key === 'Escape' && (meaningWindow.contains(target) || meaningFocusPending)) {
      event.preventDefault();
      closeMeaning();
      return;
    }
    const name = keyName(event);
    if (!name) return;
    event.preventDefault();
    sendKey(name);
  }, true);

  // A button pressed with Space acts on key down; its key up must not act again.
  document.addEventListener('keyup', (event) => {
    if (event.key === ' ' && activatable(event.target)) event.preventDefault();
  }, true);

  window.addEventListener('resize', () => {
    scheduleFit();
    keepMeaningInside();
  });

  fileList.setAttribute('tabindex', '-1');
  markOwn(fileList, 'tabindex');

  document.addEventListener('contextmenu', (event) => event.preventDefault());

  function connect() {
    const url = (location.protocol === 'https:' ? 'wss://' : 'ws://') + location.host + '/ws' +
      (key ? '?key=' + encodeURIComponent(key) : '');
    socket = new WebSocket(url);
    socket.addEventListener('open', () => {
      retries = 0;
      root.dataset.connected = 'true';
    });
    socket.addEventListener('message', (event) => {
      let message;
      try {
        message = JSON.parse(event.data);
      } catch (error) {
        return;
      }
      apply(message);
    });
    socket.addEventListener('close', () => {
      root.dataset.connected = 'false';
      if (finished) return;
      if (retries < 5) {
        retries += 1;
        setTimeout(connect, 1000);
      } else {
        finished = true;
        showNotice('Sagewend is no longer running. You can close this window.');
      }
    });
  }

  connect();
})();
