// The page behaves as the modal dialog window it stands in for, and nothing
// a deck, a layout file or another local program sends can crash the
// program, run in its page, or keep its page from being served; a page that
// failed to load is not taken for one that was closed.
import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync, spawn } from 'node:child_process';
import { mkdirSync, mkdtempSync, readdirSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { connect } from 'node:net';
import { tmpdir } from 'node:os';
import { dirname, join } from 'node:path';
import {
  act, click, copySample, dataTool, decodeFile, launchBrowser, messageBox, openPage, program, settle, startSession,
  waitForExit,
} from './harness.mjs';

let browser;
before(async () => { browser = await launchBrowser(); });
after(async () => { await browser?.close(); });

// Lines of raw bytes (Buffers or latin1 strings) in the stored form.
function writeStored(path, lines) {
  mkdirSync(dirname(path), { recursive: true });
  const text = lines.map((line) => Buffer.isBuffer(line) ? line.toString('latin1') : line).join('\n');
  writeFileSync(path, execFileSync(dataTool, ['encode'], { input: Buffer.from(text, 'latin1') }));
}

const layoutCount = (dir) => Number(decodeFile(join(dir, 'data', 'layouts.dat'))[0]);

test('a double-click acts once, and a click on a page that has been replaced does nothing', async (t) => {
  const { page, run } = await startSession(t, browser, { seed: 51 });
  const before = layoutCount(run.dir);
  await click(page, '#editor');
  await click(page, '#addlayout');
  await page.fill('input[name=title]', 'Only');
  await page.fill('input[name=description]', 'once');
  await act(page, () => page.dblclick('#addpos'));
  await settle(page);
  assert.deepEqual(await page.$$eval('#desclist option', (options) => options.map((o) => o.textContent)), ['1 - Only']);

  await page.fill('input[name=name]', 'Twice clicked');
  await act(page, () => page.dblclick('#savelayout'));
  assert.equal(await messageBox(page), 'Layout successfully added');
  await page.click('#sw-ok');
  await settle(page);
  assert.ok(await page.isHidden('#sw-overlay'), 'no second notification');
  assert.equal(layoutCount(run.dir), before + 1, 'the layout is stored once');

  await act(page, () => page.dblclick('#exit'));
  assert.equal(await messageBox(page), 'Are you sure?');
  await page.click('#sw-cancel');
  await settle(page);
  assert.ok(await page.isHidden('#sw-overlay'), 'Exit asked once');
});

test('the notification is modal: Tab stays in it, Enter presses the focused button, input behind it is dropped',
  async (t) => {
    const { page, run } = await startSession(t, browser, { seed: 52 });
    await click(page, '#yesnobtn');
    const shown = await page.innerHTML('#fileList');

    // A key sent before the box appeared is dropped, not replayed.
    await page.keyboard.press('Escape');
    await page.keyboard.press('Alt+R');
    assert.equal(await messageBox(page), 'Are you sure?');
    assert.ok(await page.evaluate(() => document.querySelector('table').inert), 'the page behind takes no input');
    await page.keyboard.press('Alt+I');  // while the box is open
    await page.keyboard.press('Tab');
    assert.equal(await page.evaluate(() => document.activeElement.id), 'sw-cancel');
    await page.keyboard.press('Tab');
    assert.equal(await page.evaluate(() => document.activeElement.id), 'sw-ok', 'Tab stays inside the box');
    await page.keyboard.press('Shift+Tab');
    assert.equal(await page.evaluate(() => document.activeElement.id), 'sw-cancel');
    await page.keyboard.press('Enter');  // Cancel has the focus: Cancel it is
    await settle(page);
    assert.ok(await page.isHidden('#sw-overlay'));
    assert.equal(await page.innerHTML('#fileList'), shown, 'nothing behind the box acted');
    assert.equal(run.child.exitCode, null, 'the program goes on');
  });

test('accelerators follow the key\'s label, as on a German keyboard', async (t) => {
  const { page } = await startSession(t, browser, { seed: 53 });
  // The key labelled Y sits where a US keyboard has Z.
  await act(page, () => page.evaluate(() => document.dispatchEvent(
    new KeyboardEvent('keydown', { key: 'y', code: 'KeyZ', altKey: true, bubbles: true }))));
  assert.match(await page.textContent('#fileList h3'), /Without a question there can be no answer/);
  // A label that is no Latin letter falls back to the key's place.
  await act(page, () => page.evaluate(() => document.dispatchEvent(
    new KeyboardEvent('keydown', { key: 'к', code: 'KeyR', altKey: true, bubbles: true }))));
  assert.match(await page.textContent('#fileList h3'), /select a reading below/);
});

test('Windows-1252 and UTF-8 bytes in a deck and a layout never end the program, and show as text', async (t) => {
  const dir = copySample();
  const svg = readFileSync(join(dir, 'decks', 'Classic Tarot', '00.svg'));
  // The folder is named in Windows-1252 in the catalogue; on disk, in UTF-8.
  mkdirSync(join(dir, 'decks', 'Café'));
  writeFileSync(join(dir, 'decks', 'Café', '1é.svg'), svg);
  writeFileSync(join(dir, 'decks', 'Café', '2é.svg'), svg);
  const card = (name, number, meaning) => ['######CARD######', name, '0', 'svg', '', number, '~~~~~~Meaning~~~~~~',
    meaning, '~~~~~~Reverse~~~~~~', '######END######'];
  writeStored(join(dir, 'decks', 'Café', 'index.dat'), ['2',
    ...card(Buffer.from('Caf\xe9 card', 'latin1'), Buffer.from('1\xe9', 'latin1'),
      '<meta http-equiv="refresh" content="0;url=/help/index.htm"><b>kept</b><img src=x onerror="parent.pwned=1">'),
    ...card(Buffer.from('Crème card', 'utf8'), Buffer.from('2é', 'utf8'), 'plain')]);
  writeStored(join(dir, 'data', 'decks.dat'), ['2', 'Classic Tarot', Buffer.from('Caf\xe9', 'latin1')]);
  writeStored(join(dir, 'data', 'layouts.dat'), ['2',
    '2', '0', Buffer.from('Caf\xe9 spread', 'latin1'), 'It\'s here|One', 'Two|<b>Second</b>', '2', '1', '1#2',
    '#######LAYOUT#######',
    '1', '0', '<button id="fake">Fake</button>', 'A|a', '1', '1', '1', '#######LAYOUT#######']);
  const { page, run } = await startSession(t, browser, { dir, seed: 54 });
  await click(page, '#tarotbtn');
  assert.deepEqual(await page.$$eval('select[name=layout] option', (o) => o.map((x) => x.textContent)),
    ['Café spread', '<button id="fake">Fake</button>'], 'names are text');
  assert.equal(await page.$('#fake'), null, 'a name cannot put an element on the page');
  await page.selectOption('select[name=deck]', { label: 'Café' });
  await click(page, '#reading');
  const pictures = await page.$$eval('img.card', (images) => images.map((i) => [i.getAttribute('src'), i.alt]));
  assert.deepEqual(pictures.map(([src]) => src).sort(), ['/decks/Café/1é.svg', '/decks/Café/2é.svg']);
  assert.ok(pictures.some(([, alt]) => alt === 'It\'s here'), 'an apostrophe stays inside its attribute');
  await page.waitForFunction(() => Array.from(document.querySelectorAll('img.card')).every((i) => i.naturalWidth > 0));

  // A meaning's markup is sanitised: no refresh, no script, the text kept.
  const first = await page.$$eval('img.card', (images) => images.findIndex((i) => i.getAttribute('card') === '0'));
  await act(page, () => page.locator('img.card').nth(first).click());
  await page.waitForSelector('#sw-meaning:not([hidden])');
  const frame = page.frameLocator('#sw-meaning-frame');
  await frame.locator('b', { hasText: 'kept' }).waitFor();
  await page.waitForTimeout(300);  // time for a refresh that must not come
  const frames = page.frames().filter((f) => f !== page.mainFrame()).map((f) => new URL(f.url()).pathname);
  assert.deepEqual(frames, ['/meaning.html'], 'the meaning window was not sent elsewhere');
  assert.equal(await frame.locator('#fileList meta').count(), 0);
  assert.equal(await page.evaluate(() => window.pwned), undefined);
  assert.equal(run.child.exitCode, null);
});

test('idle connections and a lack of file descriptors never keep the page from being served', async (t) => {
  const dir = copySample();
  const child = spawn('prlimit', ['--nofile=256:256', program, '--no-browser', '-C', dir],
    { stdio: ['ignore', 'pipe', 'pipe'] });
  const sockets = [];
  t.after(() => {
    for (const socket of sockets) socket.destroy();
    child.kill('SIGKILL');
    rmSync(dir, { recursive: true, force: true });
  });
  const url = await new Promise((resolveUrl, reject) => {
    let out = '';
    child.stdout.on('data', (chunk) => {
      out += chunk;
      const match = out.match(/^(http:\/\/127\.0\.0\.1:\d+\/\S*)$/m);
      if (match) resolveUrl(match[1]);
    });
    child.on('exit', (code) => reject(new Error(`ended with ${code}`)));
  });
  const { port } = new URL(url);
  for (let i = 0; i < 400; i += 1) {
    const socket = connect(Number(port), '127.0.0.1');
    socket.on('error', () => {});
    sockets.push(socket);
  }
  await new Promise((done) => setTimeout(done, 1000));
  const cpu = () => readFileSync(`/proc/${child.pid}/stat`, 'utf8').split(') ')[1].split(' ').slice(11, 13)
    .reduce((sum, ticks) => sum + Number(ticks), 0);
  const before = cpu();
  await new Promise((done) => setTimeout(done, 2000));
  assert.ok(cpu() - before < 40, 'the program does not spin on failed accepts');
  const started = Date.now();
  const { context, page } = await openPage(browser, url);
  t.after(() => context.close());
  assert.ok(Date.now() - started < 20000, 'the page came within seconds');
  await click(page, '#tarotbtn');
  assert.match(await page.textContent('#fileList h3'), /select a reading below/);
});

test('too few file descriptors are said on standard error and in the page; none to spare ends the program', async (t) => {
  const dir = copySample();
  t.after(() => rmSync(dir, { recursive: true, force: true }));
  const start = (limit) => {
    const child = spawn('prlimit', [`--nofile=${limit}:${limit}`, program, '--no-browser', '-C', dir],
      { stdio: ['ignore', 'pipe', 'pipe'] });
    t.after(() => child.kill('SIGKILL'));
    const said = { stdout: '', stderr: '' };
    child.stdout.on('data', (chunk) => { said.stdout += chunk; });
    child.stderr.on('data', (chunk) => { said.stderr += chunk; });
    const exited = new Promise((done) => child.on('exit', (code, signal) => done({ code, signal })));
    return { child, said, exited };
  };
  const none = start(8);
  assert.deepEqual(await waitForExit(none), { code: 1, signal: null });
  assert.match(none.said.stderr, /may open only 8 files at once and has 0 of them left, too few for its page: raise the limit \(ulimit -n \d+ or more\)/);
  assert.doesNotMatch(none.said.stdout, /http:/, 'it gives no address that could never answer');

  const few = start(14);
  const url = await new Promise((resolveUrl) => {
    const check = () => {
      const match = few.said.stdout.match(/^(http:\/\/127\.0\.0\.1:\d+\/\S*)$/m);
      if (match) resolveUrl(match[1]);
      else setTimeout(check, 50);
    };
    check();
  });
  const warning = /Sagewend may open only 14 files at once and has \d+ of them left: its page may load slowly or not at all\. To mend it, raise the limit \(ulimit -n \d+ or more\) and start Sagewend again\./;
  assert.match(few.said.stderr, warning);
  const context = await browser.newContext();
  t.after(() => context.close());
  const page = await context.newPage();
  await page.goto(url);
  assert.match(await messageBox(page), warning);
  await page.click('#sw-ok');
  await click(page, '#tarotbtn');
  assert.match(await page.textContent('#fileList h3'), /select a reading below/, 'the page works all the same');
});

// Keeps count keyless connections open to the port that send nothing, each
// opened again as soon as it is closed, as a local program (or a web page's
// requests) may make them; resolves once the program has begun closing them.
async function flood(port, count) {
  const open = new Set();
  let stopped = false;
  let closed = 0;
  const one = () => {
    if (stopped) return;
    const socket = connect(port, '127.0.0.1');
    open.add(socket);
    socket.on('error', () => {});
    socket.on('close', () => {
      open.delete(socket);
      closed += 1;
      setImmediate(one);
    });
  };
  for (let i = 0; i < count; i += 1) one();
  while (closed < count / 10) await new Promise((done) => setTimeout(done, 100));
  return () => {
    stopped = true;
    for (const socket of open) socket.destroy();
  };
}

test('300 keyless idle connections coming back as they close never break a page load, nor end the program', async (t) => {
  // Few descriptors make it harder: this is where pages broke one load in two.
  const limit = process.env.SAGEWEND_FLOOD_NOFILE || '64';
  const dir = copySample();
  const child = spawn('prlimit', [`--nofile=${limit}:${limit}`, program, '--no-browser', '-C', dir],
    { stdio: ['ignore', 'pipe', 'pipe'] });
  const run = { child, exited: new Promise((done) => child.on('exit', (code, signal) => done({ code, signal }))) };
  t.after(() => {
    child.kill('SIGKILL');
    rmSync(dir, { recursive: true, force: true });
  });
  const url = await new Promise((resolveUrl, reject) => {
    let out = '';
    child.stdout.on('data', (chunk) => {
      out += chunk;
      const match = out.match(/^(http:\/\/127\.0\.0\.1:\d+\/\S*)$/m);
      if (match) resolveUrl(match[1]);
    });
    child.on('exit', (code) => reject(new Error(`ended with ${code}`)));
  });
  // Every request of every load is watched: the page, its style, every
  // module, the sanitiser, the pictures and the WebSocket.
  let failed = [];
  const watch = (context) => {
    context.on('requestfailed', (request) =>
      failed.push(`${new URL(request.url()).pathname}: ${request.failure()?.errorText}`));
    context.on('response', (response) => {
      if (response.status() >= 400) failed.push(`${new URL(response.url()).pathname}: ${response.status()}`);
    });
  };
  const loaded = (p) => p.waitForFunction(() => document.documentElement.dataset.connected === 'true' &&
    document.getElementById('fileList').innerHTML.length > 0, null, { timeout: 15000 });
  const freshWindow = async () => {
    const context = await browser.newContext();
    watch(context);
    const page = await context.newPage();
    await page.goto(url);
    await loaded(page);
    return { context, page };
  };
  let { context, page } = await freshWindow();
  t.after(() => context.close().catch(() => {}));
  const stop = await flood(Number(new URL(url).port), 300);
  t.after(stop);

  // Fresh windows with the key, and reloads, which carry only the cookie.
  for (let load = 1; load <= 20; load += 1) {
    failed = [];
    if (load % 2) {
      const previous = context;
      ({ context, page } = await freshWindow());
      await previous.close();
    } else {
      await page.reload();
      await loaded(page);
    }
    assert.deepEqual(failed, [], `load ${load}`);
    assert.equal(child.exitCode, null, `the program runs after load ${load}`);
  }
  await click(page, '#tarotbtn');
  assert.match(await page.textContent('#fileList h3'), /select a reading below/);

  // A reload whose script never arrives is not a page that was closed:
  // the program waits well past its few seconds of grace for the next one.
  await page.route('**/page/main.mjs', (route) => route.abort('connectionreset'));
  await page.reload();
  await new Promise((done) => setTimeout(done, 7000));
  assert.equal(child.exitCode, null, 'the program still runs');
  await page.unroute('**/page/main.mjs');
  await page.reload();
  await loaded(page);
  assert.match(await page.textContent('#fileList h3'), /select a reading below/, 'the session is back');
  stop();
  await click(page, '#exit');
  assert.equal(await messageBox(page), 'Are you sure?');
  await page.click('#sw-ok');
  assert.deepEqual(await waitForExit(run), { code: 0, signal: null });
});

test('SIGTERM ends the program cleanly: the browser it started is closed and its folder removed', async (t) => {
  const dir = copySample();
  const bin = mkdtempSync(join(tmpdir(), 'sagewend-bin-'));
  const runtime = mkdtempSync(join(tmpdir(), 'sagewend-runtime-'));
  // A browser that stays open until it is told to go.
  writeFileSync(join(bin, 'chromium'), '#!/bin/sh\nexec sleep 300\n', { mode: 0o755 });
  const child = spawn(program, ['--seed', '5', '-C', dir], {
    stdio: ['ignore', 'pipe', 'pipe'],
    env: { ...process.env, PATH: `${bin}:${process.env.PATH}`, DISPLAY: ':77', XDG_RUNTIME_DIR: runtime },
  });
  const run = { child, dir, exited: new Promise((done) => child.on('exit', (code, signal) => done({ code, signal }))) };
  t.after(() => {
    child.kill('SIGKILL');
    for (const folder of [dir, bin, runtime]) rmSync(folder, { recursive: true, force: true });
  });
  await new Promise((done) => child.stdout.once('data', done));
  await new Promise((done) => setTimeout(done, 500));
  assert.equal(readdirSync(runtime).filter((name) => name.startsWith('sagewend-run-')).length, 1);
  const browserPids = execFileSync('pgrep', ['-f', 'sleep 300']).toString().trim().split('\n');
  child.kill('SIGTERM');
  assert.deepEqual(await waitForExit(run), { code: 0, signal: null });
  assert.deepEqual(readdirSync(runtime), [], 'the private folder is gone');
  for (const pid of browserPids) {
    assert.throws(() => process.kill(Number(pid), 0), 'the browser was closed');
  }
});
