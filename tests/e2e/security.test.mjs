// The loopback server refuses what does not come from its own page: requests
// without the secret, foreign Host headers, WebSockets from foreign origins,
// and paths outside the picture folders. None of it reaches the program.
import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { randomBytes } from 'node:crypto';
import { copyFileSync, mkdirSync, readFileSync, symlinkSync, writeFileSync } from 'node:fs';
import http from 'node:http';
import { join } from 'node:path';
import { createRequire } from 'node:module';
import { click, copySample, dataTool, launchBrowser, startSession } from './harness.mjs';

const require = createRequire(import.meta.url);

let browser;
before(async () => { browser = await launchBrowser(); });
after(async () => { await browser?.close(); });

// Sends the path exactly as given (no normalisation of "..").
function get(port, path, headers = {}) {
  return new Promise((resolve, reject) => {
    const request = http.request({ host: '127.0.0.1', port, path, headers, agent: false }, (response) => {
      const chunks = [];
      response.on('data', (chunk) => chunks.push(chunk));
      response.on('end', () => resolve({ status: response.statusCode, headers: response.headers, body: Buffer.concat(chunks) }));
    });
    request.on('error', reject);
    request.end();
  });
}

// A WebSocket opening handshake; resolves with the status the server answers.
function handshake(port, path, headers = {}) {
  return new Promise((resolve, reject) => {
    const request = http.request({
      host: '127.0.0.1',
      port,
      path,
      agent: false,
      headers: {
        Connection: 'Upgrade',
        Upgrade: 'websocket',
        'Sec-WebSocket-Version': '13',
        'Sec-WebSocket-Key': randomBytes(16).toString('base64'),
        ...headers,
      },
    });
    request.on('upgrade', (response, socket) => resolve({ status: response.statusCode, socket }));
    request.on('response', (response) => {
      response.resume();
      resolve({ status: response.statusCode });
    });
    request.on('error', reject);
    request.end();
  });
}

// Folders and links around the picture folders that must never be served.
function plantTraps(dir) {
  mkdirSync(join(dir, 'outside'));
  copyFileSync(join(dir, 'images', 'logo.gif'), join(dir, 'outside', 'secret.gif'));
  mkdirSync(join(dir, 'images2'));
  copyFileSync(join(dir, 'images', 'logo.gif'), join(dir, 'images2', 'logo.gif'));
  writeFileSync(join(dir, 'images', 'x.dat'), 'not a picture');
  symlinkSync(join(dir, 'outside', 'secret.gif'), join(dir, 'images', 'link.gif'));
  symlinkSync(join(dir, 'outside'), join(dir, 'images', 'linkdir'));
  symlinkSync(join(dir, 'images2', 'logo.gif'), join(dir, 'images', 'sibling.gif'));
}

test('requests without the secret, from foreign hosts or origins, or outside the picture folders are refused', async (t) => {
  const { run, url, page } = await startSession(t, browser, { seed: 41 });
  plantTraps(run.dir);
  const { port, searchParams } = new URL(url);
  const key = searchParams.get('key');
  const withKey = (path) => `${path}?key=${key}`;
  const layoutsBefore = readFileSync(join(run.dir, 'data', 'layouts.dat'));
  await click(page, '#tarotbtn');
  const shown = await page.innerHTML('#fileList');
  const applied = await page.evaluate(() => document.documentElement.dataset.applied);

  // What is allowed, so that the refusals below are about what they change.
  assert.equal((await get(port, withKey('/'))).status, 200);
  const logo = await get(port, withKey('/images/logo.gif'));
  assert.equal(logo.status, 200);
  assert.equal(logo.headers['content-type'], 'image/gif');
  assert.equal((await get(port, withKey('/decks/Classic%20Tarot/00.svg'))).status, 200);

  const wrongKey = '0'.repeat(key.length);
  for (const path of ['/', '/page/main.mjs', '/images/logo.gif', '/help/index.htm', `/?key=${wrongKey}`, '/?key=']) {
    assert.equal((await get(port, path)).status, 403, `${path} without the secret`);
  }
  const cookieName = `sagewend-${port}`;
  assert.equal((await get(port, '/images/logo.gif', { Cookie: `${cookieName}=${wrongKey}` })).status, 403,
    'a wrong secret in the cookie');

  for (const host of ['evil.example', `evil.example:${port}`, `127.0.0.1:${Number(port) + 1}`, '127.0.0.1']) {
    assert.equal((await get(port, withKey('/'), { Host: host })).status, 403, `Host ${host}`);
  }

  const ownOrigin = `http://127.0.0.1:${port}`;
  for (const [what, path, headers] of [
    ['a foreign Origin', withKey('/ws'), { Origin: 'http://evil.example' }],
    ['a foreign Origin on our port', withKey('/ws'), { Origin: `http://evil.example:${port}` }],
    ['no Origin', withKey('/ws'), {}],
    ['no secret', '/ws', { Origin: ownOrigin }],
    ['a foreign Host', withKey('/ws'), { Origin: 'http://evil.example', Host: 'evil.example' }],
  ]) {
    assert.equal((await handshake(port, path, headers)).status, 403, `a WebSocket with ${what}`);
  }

  for (const path of [
    '/decks/../data/layouts.dat',
    '/images/../data/layouts.dat',
    '/decks/%2e%2e/data/layouts.dat',
    '/images/..%2fdata%2flayouts.dat',
    '/data/layouts.dat',
    '/decks/Classic%20Tarot/index.dat',
    '/images/x.dat',
    '/images/link.gif',
    '/images/linkdir/secret.gif',
    '/images/sibling.gif',
    '/images2/logo.gif',
    '/images/../images2/logo.gif',
    '/images/',
    '/images/missing.gif',
  ]) {
    const response = await get(port, withKey(path));
    assert.equal(response.status, 404, `${path} is not served`);
    assert.ok(!response.body.equals(logo.body), `${path} gives no picture`);
  }

  // Nothing reached the program or its page.
  assert.equal(await page.evaluate(() => document.documentElement.dataset.applied), applied);
  assert.ok(await page.isHidden('#sw-ended'));
  assert.equal(await page.innerHTML('#fileList'), shown);
  assert.ok(readFileSync(join(run.dir, 'data', 'layouts.dat')).equals(layoutsBefore));
  await click(page, '#home');
  assert.notEqual(await page.innerHTML('#fileList'), shown, 'the page still works');

  // The same handshake from the page's own origin is accepted (and takes the
  // page over), so the refusals above were about origin, host and secret.
  const accepted = await handshake(port, withKey('/ws'), { Origin: ownOrigin });
  t.after(() => accepted.socket?.destroy());
  assert.equal(accepted.status, 101);
  await page.waitForSelector('#sw-ended:not([hidden])');
});

// A deck from someone else: every markup that could reach out of the page,
// in its names and meanings. Shown on every page that shows deck text, it
// must send no request anywhere but the program and move no window.
const AWAY = 'http://example.invalid';
const HOSTILE = [
  `<meta http-equiv="refresh" content="0;url=${AWAY}/refresh">`,
  `<base href="${AWAY}/">`,
  `<form action="${AWAY}/form"><button>Send</button></form>`,
  `<a href="${AWAY}/link">a link</a>`,
  `<img src="${AWAY}/picture.png">`,
  `<script>location = '${AWAY}/script'</script>`,
  `<iframe src="${AWAY}/frame"></iframe>`,
  `<svg><a href="javascript:location='${AWAY}/svg'">x</a></svg>`,
  `<b onmouseover="location='${AWAY}/handler'">bold</b>`,
].join('');

function writeHostileDeck(dir) {
  const { execFileSync } = require('node:child_process');
  const encode = (path, lines) => writeFileSync(path, execFileSync(dataTool, ['encode'], { input: lines.join('\n') }));
  const deck = join(dir, 'decks', 'Hostile');
  mkdirSync(deck, { recursive: true });
  const lines = ['3'];
  for (let card = 0; card < 3; card += 1) {
    copyFileSync(join(dir, 'decks', 'Classic Tarot', `0${card}.svg`), join(deck, `0${card}.svg`));
    copyFileSync(join(dir, 'decks', 'Classic Tarot', `0${card}r.svg`), join(deck, `0${card}r.svg`));
    lines.push('######CARD######', `Card ${card}${HOSTILE}`, '1', 'svg', 'r', `0${card}`, '~~~~~~Meaning~~~~~~',
      `<B>Upright</B>${HOSTILE}`, '~~~~~~Reverse~~~~~~', `<B>Reversed</B>${HOSTILE}`, '######END######');
  }
  encode(join(deck, 'index.dat'), lines);
  encode(join(dir, 'data', 'decks.dat'), ['3', 'Hostile', 'Tarot 1909', 'Classic Tarot']);
}

test('a hostile deck shown on every page that shows deck text reaches nothing outside the program', async (t) => {
  const dir = copySample();
  writeHostileDeck(dir);
  const { page, context, url } = await startSession(t, browser, { dir, seed: 3 });
  const origin = new URL(url).origin;
  const outside = [];
  context.on('request', (request) => {
    if (!request.url().startsWith(origin) && !request.url().startsWith('data:') && !request.url().startsWith('blob:')) {
      outside.push(request.url());
    }
  });
  const pages = [page];
  context.on('page', (opened) => pages.push(opened));
  const stayed = async (where) => {
    await page.waitForTimeout(1200);  // long enough for a refresh of 0 s to have fired
    for (const shown of pages) {
      if (shown.isClosed()) continue;
      assert.ok(shown.url().startsWith(origin) || shown.url() === 'about:blank', `${where}: a window went to ${shown.url()}`);
      for (const frame of shown.frames()) {
        assert.ok(frame.url().startsWith(origin) || frame.url() === 'about:blank' || frame.url() === '',
          `${where}: a frame went to ${frame.url()}`);
      }
    }
    assert.deepEqual(outside, [], `${where}: nothing was asked of another site`);
  };

  // The reading, its sheet and the meaning window.
  await click(page, '#tarotbtn');
  await page.selectOption('select[name=layout]', { label: 'Past, Present, Future' });
  await click(page, '#reading');
  assert.equal(await page.$$eval('#fileList img.card', (cards) => cards.length), 3);
  await page.hover('.sw-sheet b');
  await stayed('the spread and its sheet');
  await page.click('#fileList img.card');
  await page.waitForSelector('#sw-meaning:not([hidden])');
  await stayed('the meaning window');
  await page.click('#sw-meaning-close');

  // The journal, with the reading kept.
  await click(page, '#keep');
  await click(page, '#journal');
  await click(page, '#journalentry');
  await stayed('the kept reading');

  // The card library.
  await click(page, '#cards');
  await click(page, '#librarycard');
  await stayed('a card of the library');

  // Help, its card index and hexagram index, opened as the program opens help.
  const opened = context.waitForEvent('page');
  await click(page, '#help');
  const helpWindow = await opened;
  await helpWindow.waitForLoadState();
  assert.equal(await helpWindow.evaluate(() => window.opener), null, 'the help window has no handle on the main window');
  for (const topic of ['cards.htm', 'hexagrams.htm']) {
    await helpWindow.goto(`${origin}/help/${topic}`);
    await stayed(`help ${topic}`);
  }
  assert.ok(page.url().startsWith(origin), 'the main window still shows Sagewend');
});
