// The WebSocket to the program. Clicks and keys go out numbered (seq),
// each with what it acted on kept here until the program says it is done
// with it; every message that comes back goes to the handler main.mjs
// gives. The root element's data-sent, data-done, data-applied and
// data-connected say how far both sides are: browser tests and benchmarks
// wait on them. A dropped socket is opened again a few times; after that
// the page says the program is gone.
const root = document.documentElement;
let socket = null;
let sent = 0;
let applied = 0;
let retries = 0;
let finished = false;
const actedOn = new Map();  // seq -> what it acted on, until handled

export function isFinished() {
  return finished;
}

export function finish() {
  finished = true;
}

// message.seq is given here; answers to a notification are not numbered.
export function send(message, target = null) {
  if (!socket || socket.readyState !== WebSocket.OPEN || finished) return;
  if (message.type !== 'answer') {
    sent += 1;
    message.seq = sent;
    root.dataset.sent = String(sent);
    actedOn.set(sent, target);
  }
  socket.send(JSON.stringify(message));
}

// What the event the program has now finished with acted on.
export function actedOnBy(done) {
  return done ? actedOn.get(done) : null;
}

export function acknowledge(done) {
  root.dataset.done = String(done);
  for (const seq of actedOn.keys()) if (seq <= done) actedOn.delete(seq);
}

export function markApplied() {
  applied += 1;
  root.dataset.applied = String(applied);
}

// onMessage(message) for each message; onGone() once the program is gone for good.
export function connect(key, onMessage, onGone) {
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
    onMessage(message);
  });
  socket.addEventListener('close', () => {
    root.dataset.connected = 'false';
    if (finished) return;
    if (retries < 5) {
      retries += 1;
      setTimeout(() => connect(key, onMessage, onGone), 1000);
    } else {
      finished = true;
      onGone();
    }
  });
}
