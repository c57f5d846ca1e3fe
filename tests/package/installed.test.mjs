// The Debian package as a user meets it, unpacked into a scratch root
// (SAGEWEND_ROOT; scripts/check-package.sh builds and unpacks it): what it
// installs, and the installed program started with a fresh home from a
// folder that holds no data. It must make the user's own data folder from
// the installed sample, read from it, and save layouts there and nowhere
// else: the installed sample never changes.
import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { createHash } from 'node:crypto';
import { existsSync, mkdirSync, mkdtempSync, readdirSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join, relative } from 'node:path';
import { click, launchBrowser, messageBox, openPage, readLayouts, settle, waitForExit } from '../e2e/harness.mjs';
import { launch } from './launch.mjs';

const root = process.env.SAGEWEND_ROOT;
assert.ok(root, 'SAGEWEND_ROOT names the folder the package was unpacked into');
const bin = join(root, 'usr', 'bin');
const sample = join(root, 'usr', 'share', 'sagewend');
const appId = 'org.sagewend.Sagewend';

let browser;
before(async () => { browser = await launchBrowser(); });
after(async () => { await browser?.close(); });

// Every file under dir, by its path inside dir, with a hash of its bytes.
function snapshot(dir) {
  const files = {};
  for (const entry of readdirSync(dir, { recursive: true, withFileTypes: true })) {
    if (!entry.isFile()) continue;
    const path = join(entry.parentPath ?? entry.path, entry.name);
    files[relative(dir, path)] = createHash('sha256').update(readFileSync(path)).digest('hex');
  }
  return files;
}

// A fresh home with its own XDG data folder, and an empty folder to start in.
function freshUser(t) {
  const home = mkdtempSync(join(tmpdir(), 'sagewend-home-'));
  const cwd = mkdtempSync(join(tmpdir(), 'sagewend-cwd-'));
  t.after(() => {
    rmSync(home, { recursive: true, force: true });
    rmSync(cwd, { recursive: true, force: true });
  });
  const dataHome = join(home, 'data');
  mkdirSync(dataHome);
  const env = { PATH: process.env.PATH, HOME: home, XDG_DATA_HOME: dataHome };
  return { home, cwd, dataHome, env, folder: join(dataHome, 'sagewend') };
}

const literally = (text) => new RegExp(text.replace(/[.*+?^${}()|[\]\\]/g, '\\$&'));

function start(t, args, options) {
  const run = launch(join(bin, 'sagewend'), args, options);
  t.after(() => run.stop());
  return run;
}

test('the package installs both programs, launcher, icons, metainfo, manual pages, the 1909 deck and its credit', () => {
  const version = process.env.SAGEWEND_PACKAGE_VERSION;
  assert.ok(version, 'SAGEWEND_PACKAGE_VERSION gives the package version');
  assert.equal(execFileSync(join(bin, 'sagewend'), ['--version'], { encoding: 'utf8' }), `sagewend ${version}\n`);
  assert.equal(execFileSync(join(bin, 'sagewend-data'), ['--version'], { encoding: 'utf8' }),
    `sagewend-data ${version}\n`);

  const share = join(root, 'usr', 'share');
  const desktop = readFileSync(join(share, 'applications', `${appId}.desktop`), 'utf8');
  const icon = desktop.match(/^Icon=(.*)$/m)[1];
  const pngSize = (path) => {
    const png = readFileSync(path);
    return [png.readUInt32BE(16), png.readUInt32BE(20)];
  };
  for (const size of [48, 256])
    assert.deepEqual(pngSize(join(share, 'icons', 'hicolor', `${size}x${size}`, 'apps', `${icon}.png`)), [size, size]);
  assert.match(readFileSync(join(share, 'icons', 'hicolor', 'scalable', 'apps', `${icon}.svg`), 'utf8'), /<svg /);
  const metainfo = readFileSync(join(share, 'metainfo', `${appId}.metainfo.xml`), 'utf8');
  assert.match(metainfo, new RegExp(`<launchable type="desktop-id">${appId}.desktop</launchable>`));
  assert.match(metainfo, new RegExp(`<release version="${version.replace(/\./g, '\\.')}"`), 'the metainfo names this release');
  for (const page of ['sagewend', 'sagewend-data']) {
    const text = execFileSync('gzip', ['-dc', join(share, 'man', 'man1', `${page}.1.gz`)], { encoding: 'utf8' });
    assert.match(text, new RegExp(`^\\.TH ${page.toUpperCase()} 1 .*"Sagewend ${version}"`, 'm'));
  }
  for (const folder of ['data', 'decks', 'images']) assert.ok(existsSync(join(sample, folder)), `share/sagewend/${folder}`);
  const pictures = readdirSync(join(sample, 'decks', 'Tarot 1909')).filter((file) => /^[0-9A-Z]{2}r?\.jpg$/.test(file));
  assert.equal(pictures.length, 156, 'the 1909 deck, each of its 78 cards with a reversed picture');
  const credit = 'Card pictures of the 1909 deck: Pamela Colman Smith (1878-1951), public domain; ' +
    'scans of a 1909 printing via Wikimedia Commons.';
  assert.match(readFileSync(join(share, 'doc', 'sagewend', 'copyright'), 'utf8'), literally(credit));
});

test('started from a folder without data, it makes your data folder, reads from it and saves only there', async (t) => {
  const user = freshUser(t);
  const installed = snapshot(sample);
  const run = start(t, ['--no-browser', '--seed', '7'], user);
  const url = await run.url();
  assert.match(run.output().stderr, literally(`made your data folder ${user.folder} from ${sample}`));
  const made = snapshot(user.folder);
  assert.deepEqual(made, installed, 'the data folder is a copy of the installed sample');

  const { context, page } = await openPage(browser, url);
  t.after(() => context.close().catch(() => {}));
  await click(page, '#tarotbtn');
  await page.fill('input[name=question]', 'Where does this road lead?');
  await click(page, '#reading');
  await page.waitForFunction(() => {
    const cards = Array.from(document.querySelectorAll('#fileList img.card'));
    return cards.length > 0 && cards.every((img) => img.complete && img.naturalWidth > 0);
  });
  const dealt = await page.$$eval('#fileList img.card', (cards) => cards.map((img) => img.getAttribute('src')));
  assert.ok(dealt.every((src) => /^\/decks\/Tarot 1909\/[0-9A-Z]{2}r?\.jpg$/.test(src)),
    `a fresh user deals the 1909 deck (${dealt})`);

  await click(page, '#editor');
  await click(page, '#addlayout');
  await page.fill('input[name=name]', 'Crossroads');
  await page.fill('input[name=title]', 'The Choice');
  await page.fill('input[name=description]', 'What stands before you.');
  await click(page, '#addpos');
  await click(page, '#desclist option[value="0"]');
  await click(page, 'td#grid[row="1"][col="1"]');
  await click(page, '#savelayout');
  assert.equal(await messageBox(page), 'Layout successfully added');
  await page.click('#sw-ok');
  await settle(page);

  const saved = readLayouts(user.folder);
  assert.equal(saved.at(-1).name, 'Crossroads');
  assert.deepEqual(saved.at(-1).positions, [{ title: 'The Choice', description: 'What stands before you.' }]);
  assert.deepEqual(readLayouts(sample), saved.slice(0, -1), 'the installed layouts are the ones before the save');
  const after = snapshot(user.folder);
  // The deal kept its deck and layout for the next run; the save changed the layouts alone.
  assert.deepEqual(Object.keys(after).filter((file) => after[file] !== made[file]).sort(), ['data/layouts.dat', 'settings.json'],
    'the save changed only the layout file of your data folder');
  assert.deepEqual(snapshot(sample), installed, 'the installed sample is unchanged');
  assert.deepEqual(readdirSync(user.cwd), [], 'nothing was written in the current folder');
  assert.deepEqual(readdirSync(user.home), ['data']);
  assert.deepEqual(readdirSync(user.dataHome), ['sagewend']);

  await click(page, '#exit');
  assert.equal(await messageBox(page), 'Are you sure?');
  await page.click('#sw-ok');
  assert.deepEqual(await waitForExit(run), { code: 0, signal: null });
});

test('started inside the installed sample, it works from your data folder instead', async (t) => {
  const user = freshUser(t);
  const installed = snapshot(sample);
  const run = start(t, ['--no-browser'], { ...user, cwd: sample });
  await run.url();
  assert.match(run.output().stderr, /the current folder holds the sample data, which is only copied/);
  assert.ok(existsSync(join(user.folder, 'data', 'layouts.dat')));
  run.child.kill('SIGTERM');
  assert.equal((await waitForExit(run)).code, 0);
  assert.deepEqual(snapshot(sample), installed);
});

test("the launcher's command starts the program, which serves its page when no window can open", async (t) => {
  const desktop = readFileSync(join(root, 'usr', 'share', 'applications', `${appId}.desktop`), 'utf8');
  assert.match(desktop, /^Terminal=false$/m);
  const command = desktop.match(/^Exec=(.*)$/m)[1].split(' ');
  const user = freshUser(t);
  // As a desktop session would run it, found on PATH, here without a display.
  const env = { ...user.env, PATH: `${bin}:${process.env.PATH}` };
  const run = launch(command[0], command.slice(1), { ...user, env });
  t.after(() => run.stop());
  const url = await run.url();
  await run.said(/open this address in a browser: http:\/\/127\.0\.0\.1/);
  const { context } = await openPage(browser, url);
  await context.close();
});
