// The loopback server refuses what does not come from its own page: requests
// without the secret, foreign Host headers, WebSockets from foreign origins,
// and paths outside the picture folders. None of it reaches the program.
import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { randomBytes } from 'node:crypto';
import { copyFileSync, mkdirSync, readFileSync, symlinkSync, writeFileSync } from 'node:fs';
import http from 'node:http';
import { join } from 'node:path';
import { click, launchBrowser, startSession } from './harness.mjs';

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
