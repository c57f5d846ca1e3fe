// The page side of Sagewend: forwards clicks and keys to the program and
// applies what its handlers send back. All decisions are made by the
// program; the messages both ways are described in platform/shell.h.
//
// The page stands in for a modal dialog window: while a notification is
// open the rest of the page is inert (dimmed, unfocusable, deaf to clicks),
// Tab stays inside the box and Enter presses the focused button.
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
  const key = new URLSearchParams(location.search).get('key') || '';

  let socket = null;
  let applied = 0;
  let sent = 0;
  let openBox = null;
  let finished = false;
  let retries = 0;
  let pendingMeaning = null;
  let pageNumber = 0;  // the program's number of the fragment on show

  // The address carries the run's secret; once the page has its cookie the
  // address bar need not show it.
  if (key) history.replaceState(null, '', '/');

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
    for (const attribute of element.attributes) attributes[attribute.name] = attribute.value;
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

  function send(message) {
    if (!socket || socket.readyState !== WebSocket.OPEN || finished) return;
    if (message.type !== 'answer') {
      sent += 1;
      message.seq = sent;
      root.dataset.sent = String(sent);
    }
    socket.send(JSON.stringify(message));
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
    openBox = null;
    overlay.hidden = true;
    setInert(false);
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
  if (window.DOMPurify) {
    window.DOMPurify.addHook('afterSanitizeAttributes', (node) => {
      if (node.hasAttribute('src') && !/^\/(?:decks|images)\//.test(node.getAttribute('src'))) {
        node.removeAttribute('src');
      }
    });
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

  function writeMeaning(html) {
    const doc = meaningDocument();
    if (!doc) {
      pendingMeaning = html;
      return;
    }
    doc.getElementById('fileList').innerHTML = sanitize(mapUrls(html));
    doc.scrollingElement.scrollTop = 0;
  }

  meaningFrame.addEventListener('load', () => {
    if (pendingMeaning !== null) {
      const html = pendingMeaning;
      pendingMeaning = null;
      writeMeaning(html);
    }
  });

  document.getElementById('sw-meaning-close').addEventListener('mousedown', (event) => {
    event.stopPropagation();
    meaningWindow.hidden = true;
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
      meaningWindow.style.left = Math.max(0, event.clientX - start.x) + 'px';
      meaningWindow.style.top = Math.max(0, event.clientY - start.y) + 'px';
    });
    window.addEventListener('mouseup', () => {
      start = null;
      meaningFrame.style.pointerEvents = '';
    });
  })();

  // ---- what the program sends ----------------------------------------------

  function applyOp(op) {
    switch (op.op) {
      case 'write':
        fileList.innerHTML = mapUrls(op.html);
        pageNumber = op.page;
        ready();
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
        meaningWindow.hidden = !op.visible;
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
      for (const op of message.ops || []) applyOp(op);
      if (message.done) root.dataset.done = String(message.done);
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
    let element = event.target;
    if (!(element instanceof Element) || inChrome(element)) return;
    if (element.tagName === 'OPTION') element = element.closest('select') || element;
    send({
      type: 'click', element: describe(element), inFragment: fileList.contains(element), page: pageNumber,
      document: snapshot(),
    });
  }, true);

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
    const name = keyName(event);
    if (!name) return;
    event.preventDefault();
    send({ type: 'key', key: name, document: snapshot() });
  }, true);

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
