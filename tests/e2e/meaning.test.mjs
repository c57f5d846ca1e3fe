// The card meaning window as a window of its own: its own document, its own
// keys, and a caption that moves it.
import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { click, launchBrowser, startSession } from './harness.mjs';

let browser;
before(async () => { browser = await launchBrowser(); });
after(async () => { await browser?.close(); });

test('the meaning window ignores F5, moves by its caption and keeps its document apart', async (t) => {
  const { page } = await startSession(t, browser, { seed: 4 });
  await click(page, '#tarotbtn');
  await click(page, '#reading');
  await click(page, 'img.card');
  await page.waitForSelector('#sw-meaning:not([hidden])');
  const frame = page.frameLocator('#sw-meaning-frame');
  await frame.locator('.heading').first().waitFor();

  // F5 in the window does not reload its page.
  const inner = page.frame({ url: /meaning\.html$/ });
  await inner.evaluate(() => { window.marker = 'kept'; });
  await frame.locator('body').click();
  await page.keyboard.press('F5');
  assert.equal(await inner.evaluate(() => window.marker), 'kept');

  // The main page's lookups never see the window's fileList.
  assert.equal(await page.evaluate(() => document.querySelectorAll('#fileList').length), 1);

  // Dragging the caption moves the window, from wherever it opened.
  const caption = await page.locator('#sw-meaning-caption').boundingBox();
  const opened = await page.locator('#sw-meaning').boundingBox();
  await page.mouse.move(caption.x + 60, caption.y + 8);
  await page.mouse.down();
  await page.mouse.move(caption.x + 60 + 200 - opened.x, caption.y + 8 + 150 - opened.y, { steps: 5 });
  await page.mouse.up();
  const moved = await page.locator('#sw-meaning').boundingBox();
  assert.deepEqual([Math.round(moved.x), Math.round(moved.y)], [200, 150]);
});
