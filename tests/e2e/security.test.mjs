// The loopback server refuses what does not come from its own page: requests
// without the secret, foreign Host headers, WebSockets from foreign origins,
// paths outside the picture folders, and windows that another loopback port
// opens with the cookie alone. None of it reaches the program, and no page
// it serves reaches out of it.
import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { randomBytes } from 'node:crypto';
import { copyFileSync, mkdirSync, readFileSync, symlinkSync, writeFileSync } from 'node:fs';
import http from 'node:http';
import { join } from 'node:path';
import { click, copySample, dataTool, decodeFile, launchBrowser, openPage, startSession } from './harness.mjs';

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

// A web server of another program on another loopback port, noting what it is asked for.
async function otherPort(t) {
  const asked = [];
  const server = http.createServer((request, response) => {
    asked.push(request.url);
    response.writeHead(200, { 'Content-Type': 'text/html' });
    response.end('<!DOCTYPE html><title>elsewhere</title><p>elsewhere</p>');
  });
  await new Promise((done) => server.listen(0, '127.0.0.1', done));
  t.after(() => server.close());
  return { origin: `http://127.0.0.1:${server.address().port}`, asked };
}

test('a window that another loopback port opens with the cookie alone never takes the page over', async (t) => {
  const { url, context, page } = await startSession(t, browser, { seed: 42 });
  await click(page, '#yesnobtn');
  const shown = await page.innerHTML('#fileList');
  const other = await otherPort(t);

  // The cookie is the site's, not the port's: a page on another port sends it.
  const elsewhere = await context.newPage();
  await elsewhere.goto(`${other.origin}/`);
  const opened = context.waitForEvent('page');
  await elsewhere.evaluate((address) => { window.opened = window.open(address); }, new URL('/', url).href);
  const popup = await opened;
  await popup.waitForLoadState();
  assert.equal(await popup.textContent('p'), 'Sagewend is open in another window.');
  assert.equal(await popup.locator('#fileList').count(), 0, 'the popup has no page of the program');
  assert.equal(await elsewhere.evaluate(() => window.opened.closed), true, 'its opener keeps no handle on it');

  await new Promise((done) => setTimeout(done, 2500));  // past the wait a reload's socket gets
  assert.ok(await page.isHidden('#sw-ended'), 'the page is not replaced');
  await click(page, '#home');
  assert.notEqual(await page.innerHTML('#fileList'), shown, 'and still follows the program');

  // A reload carries only the cookie, and the page gets its session back.
  const home = await page.innerHTML('#fileList');
  await page.reload();
  await page.waitForFunction(() => document.documentElement.dataset.connected === 'true' &&
    document.getElementById('fileList').innerHTML.length > 0);
  assert.equal(await page.innerHTML('#fileList'), home);
  assert.ok(await page.isHidden('#sw-ended'));
});

test('help runs no refresh and keeps no handle on the window that opened it', async (t) => {
  // A deck whose meaning asks to be sent elsewhere.
  const dir = copySample();
  const other = await otherPort(t);
  const index = join(dir, 'decks', 'Classic Tarot', 'index.dat');
  const lines = decodeFile(index);
  const meaning = lines.indexOf('~~~~~~Meaning~~~~~~') + 1;
  lines[meaning] = `<meta http-equiv="refresh" content="0;url=${other.origin}/refreshed">${lines[meaning]}`;
  writeFileSync(index, execFileSync(dataTool, ['encode'], { input: lines.join('\n') }));
  const { url, page } = await startSession(t, browser, { dir, seed: 43 });

  const popup = page.waitForEvent('popup');
  await click(page, '#help');
  const help = await popup;
  await help.waitForLoadState();
  await help.goto(new URL('/help/cards.htm', url).href);
  await new Promise((done) => setTimeout(done, 1500));  // time for a refresh that must not come
  assert.equal(new URL(help.url()).pathname, '/help/cards.htm');
  assert.deepEqual(other.asked, [], 'nothing asked the other port for anything');
  assert.ok(await help.evaluate(() => Array.from(document.images).every((image) => image.naturalWidth > 0)),
    'its pictures still load');

  // Sent elsewhere all the same, the help window has no handle on the page.
  await help.goto(`${other.origin}/`);
  assert.equal(await help.evaluate(() => window.opener), null);
  assert.equal(new URL(page.url()).origin, new URL(url).origin);
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
