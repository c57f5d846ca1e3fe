// The page side of Sagewend: forwards clicks and keys to the program and
// applies what its handlers send back. All decisions are made by the program.
(() => {
  'use strict';
  const root = document.documentElement;
  const fileList = document.getElementById('fileList');
  const overlay = document.getElementById('sw-overlay');
  const meaningWindow = document.getElementById('sw-meaning');
  const meaningFrame = document.getElementById('sw-meaning-frame');
  const endedNotice = document.getElementById('sw-ended');
  const key = new URLSearchParams(location.search).get('key') || '';

  let socket = null;
  let applied = 0;
  let sent = 0;
  let openBox = null;
  let finished = false;
  let retries = 0;
  let pendingMeaning = null;

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
    overlay.hidden = true;
  }

  // Notification dialog.
  function showBox(message) {
    openBox = message.box;
    const icon = document.getElementById('sw-msgbox-icon');
    icon.className = 'sw-icon ' + (message.icon === 32514 ? 'question' : 'exclamation');
    document.getElementById('sw-msgbox-text').textContent = message.text;
    overlay.hidden = false;
    document.getElementById('sw-ok').focus();
  }

  function answer(result) {
    if (openBox === null) return;
    const box = openBox;
    openBox = null;
    overlay.hidden = true;
    send({ type: 'answer', box, result });
  }

  document.getElementById('sw-ok').addEventListener('click', () => answer(1));
  document.getElementById('sw-cancel').addEventListener('click', () => answer(2));

  // Card meaning window.
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
    doc.getElementById('fileList').innerHTML = mapUrls(html);
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

  // What the program sends.
  function apply(message) {
    switch (message.type) {
      case 'write':
        fileList.innerHTML = mapUrls(message.html);
        break;
      case 'setValue': {
        const element = findOne(message.id);
        if (element) element.value = message.value;
        break;
      }
      case 'meaning':
        writeMeaning(message.html);
        break;
      case 'meaningVisible':
        meaningWindow.hidden = !message.visible;
        break;
      case 'messageBox':
        showBox(message);
        break;
      case 'cursor':
        root.classList.toggle('sw-wait', Boolean(message.wait));
        break;
      case 'help':
        window.open('/help/' + encodeURIComponent(message.topic), 'sagewend-help');
        break;
      case 'done':
        root.dataset.done = String(message.seq);
        break;
      case 'ended':
        finished = true;
        showNotice('Sagewend has ended. You can close this window.');
        setTimeout(() => window.close(), 1500);
        break;
      case 'replaced':
        finished = true;
        showNotice('Sagewend is now shown in another window.');
        break;
      default:
        break;
    }
    applied += 1;
    root.dataset.applied = String(applied);
  }

  // What the user does.
  document.addEventListener('click', (event) => {
    if (openBox !== null || finished) return;
    let element = event.target;
    if (!(element instanceof Element) || inChrome(element)) return;
    if (element.tagName === 'OPTION') element = element.closest('select') || element;
    send({ type: 'click', element: describe(element), document: snapshot() });
  }, true);

  function keyName(event) {
    if (event.altKey && /^Key[A-Z]$/.test(event.code)) return 'Alt+' + event.code.slice(3);
    if (event.key === 'F1' || event.key === 'F5' || event.key === 'Escape') return event.key;
    return null;
  }

  document.addEventListener('keydown', (event) => {
    if (finished) return;
    if (openBox !== null) {
      if (event.key === 'Enter') {
        event.preventDefault();
        answer(1);
      } else if (event.key === 'Escape') {
        event.preventDefault();
        answer(2);
      }
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
