// The main window: home page, keyboard, notification dialog, help and exit,
// and the program's life following its page.
import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import {
  act, blockedByPolicy, click, launchBrowser, messageBox, openPage, screenshot, settle, startSession, waitForExit,
} from './harness.mjs';

let browser;
before(async () => { browser = await launchBrowser(); });
after(async () => { await browser?.close(); });

// Screenshots leave an empty style attribute on inputs; that is not the page changing.
const fileList = async (page) => (await page.innerHTML('#fileList')).replaceAll(' style=""', '');

async function homePage(page) {
  return page.evaluate(() => {
    const list = document.getElementById('fileList');
    const logo = list.querySelector('img');
    return {
      logo: logo && logo.getAttribute('src'),
      logoLoaded: Boolean(logo && logo.complete && logo.naturalWidth > 0),
      quotation: list.querySelector('div[align=left]')?.textContent ?? '',
      attribution: list.querySelector('b > i')?.textContent ?? '',
    };
  });
}

test('the home page is there at start, and Alt+O and Home draw again', async (t) => {
  const { page } = await startSession(t, browser, { seed: 1 });
  assert.equal(await page.title(), 'Sagewend');
  assert.equal(await page.evaluate(() => document.documentElement.dataset.sent), undefined, 'no click was needed');
  await page.waitForFunction(() => document.querySelector('#fileList img')?.complete);
  const first = await homePage(page);
  assert.equal(first.logo, '/images/logo.gif');
  assert.ok(first.logoLoaded, 'the logo picture loads');
  assert.ok(first.quotation.length > 0, 'a quotation is shown');
  assert.match(first.attribution, /^- \S/);
  await screenshot(page, 'home');

  // With seed 1 the first two draws name different quotations.
  const before = await fileList(page);
  await act(page, () => page.keyboard.press('Alt+O'));
  const second = await homePage(page);
  assert.notEqual(await fileList(page), before);
  assert.notEqual(second.quotation, first.quotation);
  assert.match(second.attribution, /^- \S/);

  // The underlined letter routes like its link.
  const beforeHome = await fileList(page);
  await click(page, 'u#home');
  assert.notEqual(await fileList(page), beforeHome);
  assert.equal((await homePage(page)).logo, '/images/logo.gif');
});

test('Escape asks "Are you sure?"; Cancel or Escape keep the page', async (t) => {
  const { run, page } = await startSession(t, browser, { seed: 2 });
  await click(page, '#tarotbtn');
  const shown = await fileList(page);

  await act(page, () => page.keyboard.press('Escape'));
  assert.equal(await messageBox(page), 'Are you sure?');
  assert.equal(await page.getAttribute('#sw-msgbox-icon', 'class'), 'sw-icon question');
  assert.equal(await page.textContent('#sw-msgbox-caption'), 'Notification');
  assert.equal(await page.textContent('#sw-ok'), 'OK');
  assert.equal(await page.textContent('#sw-cancel'), 'Cancel');
  assert.ok(await page.evaluate(() => document.activeElement.id === 'sw-ok'), 'OK has the focus');
  await screenshot(page, 'notification');
  await page.click('#sw-cancel');
  await settle(page);
  assert.ok(await page.isHidden('#sw-overlay'));
  assert.equal(await fileList(page), shown);

  // Escape inside the dialog answers Cancel.
  await click(page, '#exit');
  assert.equal(await messageBox(page), 'Are you sure?');
  await page.keyboard.press('Escape');
  await settle(page);
  assert.ok(await page.isHidden('#sw-overlay'));
  assert.equal(await fileList(page), shown);
  assert.equal(run.child.exitCode, null, 'the program still runs');

  // And the page still answers clicks.
  await click(page, '#home');
  assert.notEqual(await fileList(page), shown);
});

test('the notification dialog and the main page load every picture they use', async (t) => {
  const { page } = await startSession(t, browser, { seed: 2 });
  await act(page, () => page.keyboard.press('Alt+X'));
  assert.equal(await messageBox(page), 'Are you sure?');
  const icon = await page.evaluate(() => getComputedStyle(document.getElementById('sw-msgbox-icon')).backgroundImage);
  assert.match(icon, /^url\("data:image\/svg\+xml/, 'the question icon is a picture');
  // Once the dialog has been painted, nothing it shows may have been refused
  // by the page's security policy.
  await page.evaluate(() => new Promise((done) => requestAnimationFrame(() => requestAnimationFrame(done))));
  assert.deepEqual(await blockedByPolicy(page), []);
});

test('Exit then OK ends the program with status 0 and the page says so', async (t) => {
  const { run, page } = await startSession(t, browser, { seed: 3 });
  await click(page, '#exit');
  assert.equal(await messageBox(page), 'Are you sure?');
  await page.click('#sw-ok');
  await page.waitForSelector('#sw-ended:not([hidden])');
  assert.match(await page.textContent('#sw-ended-text'), /Sagewend has ended/);
  assert.deepEqual(await waitForExit(run), { code: 0, signal: null });
});

test('Alt+X then Enter in the dialog answers OK and ends the program', async (t) => {
  const { run, page } = await startSession(t, browser, { seed: 4 });
  await act(page, () => page.keyboard.press('Alt+X'));
  assert.equal(await messageBox(page), 'Are you sure?');
  await page.keyboard.press('Enter');
  assert.deepEqual(await waitForExit(run), { code: 0, signal: null });
});

test('F5, Enter and the context menu do nothing; page text cannot be selected', async (t) => {
  const { page } = await startSession(t, browser, { seed: 5 });
  const shown = await fileList(page);
  await page.evaluate(() => { window.sagewendMarker = 'still here'; });
  let navigations = 0;
  page.on('framenavigated', (frame) => { if (frame === page.mainFrame()) navigations += 1; });

  await act(page, () => page.keyboard.press('F5'));
  await page.keyboard.press('Enter');  // sends nothing the program would act on
  await settle(page);
  assert.equal(await page.evaluate(() => window.sagewendMarker), 'still here', 'the page was not reloaded');
  assert.equal(navigations, 0);
  assert.equal(await fileList(page), shown);
  assert.ok(await page.isHidden('#sw-overlay'), 'Enter opened nothing');

  const prevented = await page.evaluate(() => {
    const event = new MouseEvent('contextmenu', { bubbles: true, cancelable: true, button: 2 });
    document.querySelector('#fileList div').dispatchEvent(event);
    return event.defaultPrevented;
  });
  assert.ok(prevented, 'the context menu is suppressed');

  assert.equal(await page.evaluate(() => getComputedStyle(document.body).userSelect), 'none');
  const quotation = await page.locator('#fileList div[align=left]').boundingBox();
  await page.mouse.move(quotation.x + 2, quotation.y + 4);
  await page.mouse.down();
  await page.mouse.move(quotation.x + quotation.width - 2, quotation.y + quotation.height - 4, { steps: 5 });
  await page.mouse.up();
  await settle(page);
  assert.equal(await page.evaluate(() => window.getSelection().toString()), '', 'dragging selects nothing');
});

test('Help (button, Alt+H, F1) and Disclaimer open their pages and leave the page as it was', async (t) => {
  const { page } = await startSession(t, browser, { seed: 6 });
  await click(page, '#yesnobtn');
  const shown = await fileList(page);

  const opens = [
    ['the Help button', () => page.click('#help'), '/help/index.htm', 'Sagewend Help'],
    ['its underlined letter', () => page.click('u#help'), '/help/index.htm', 'Sagewend Help'],
    ['Alt+H', () => page.keyboard.press('Alt+H'), '/help/index.htm', 'Sagewend Help'],
    ['F1', () => page.keyboard.press('F1'), '/help/index.htm', 'Sagewend Help'],
    ['Disclaimer', () => page.click('#disclaim'), '/help/disclaimer.htm', 'Sagewend Disclaimer'],
  ];
  for (const [how, action, path, title] of opens) {
    const popup = page.waitForEvent('popup');
    await act(page, action);
    const help = await popup;
    await help.waitForLoadState();
    assert.equal(new URL(help.url()).pathname, path, how);
    assert.equal(await help.title(), title, how);
    await help.close();
    assert.equal(await fileList(page), shown, `${how} leaves the page as it was`);
  }
});

test('a second page takes over and the first one says so', async (t) => {
  const { url, page } = await startSession(t, browser, { seed: 8 });
  await click(page, '#ichingbtn');
  const shown = await fileList(page);

  const second = await openPage(browser, url);
  t.after(() => second.context.close());
  await page.waitForSelector('#sw-ended:not([hidden])');
  assert.equal(await page.textContent('#sw-ended-text'), 'Sagewend is now shown in another window.');
  assert.equal(await fileList(second.page), shown, 'the new page shows what was on show');

  await click(second.page, '#home');
  assert.notEqual(await fileList(second.page), shown);
  assert.equal(await fileList(page), shown, 'the old page no longer follows the program');
});

test('closing the page ends the program by itself', async (t) => {
  const { run, context, page } = await startSession(t, browser, { seed: 9 });
  await click(page, '#home');
  await context.close();
  assert.deepEqual(await waitForExit(run, 30000), { code: 0, signal: null });
});
