// Retakes the help's pictures of a reading (res/help/first-reading-spread.png
// and first-reading-meaning.png) from the program itself, so they can follow
// the reading page when it changes.
// The program (SAGEWEND_BIN, else build/default/sagewend) runs on a copy of the
// sample data with a fixed seed, so the same cards fall every time; the worked
// example in res/help/first-reading.htm names them, and this script prints them
// and the pictures' sizes, so the page (its text and its width and height
// attributes) can be checked against the pictures.
//
//   (cd tests/e2e && npm install) && SAGEWEND_BIN=build/ci/sagewend node tools/help-screenshots.mjs
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';
import {
  act, cleanUp, click, launchBrowser, openPage, readDeck, readLayouts, startProgram,
} from '../tests/e2e/harness.mjs';

const here = dirname(fileURLToPath(import.meta.url));
const helpDir = join(here, '..', 'res', 'help');
const SEED = 7;
const QUESTION = 'What should I keep in mind as I start my new job?';
const LAYOUT = 'Past, Present, Future';
const DECK = 'Classic Tarot';
const OPENED = 2;  // the card whose meaning window the second picture shows, from 0

const run = startProgram({ seed: SEED });
const browser = await launchBrowser();
try {
  const { page } = await openPage(browser, await run.url, { viewport: { width: 1000, height: 640 } });
  await click(page, '#tarotbtn');
  await page.fill('input[name=question]', QUESTION);
  await page.selectOption('select[name=layout]', { label: LAYOUT });
  await page.selectOption('select[name=deck]', { label: DECK });
  await click(page, '#reading');
  await page.waitForFunction(() => Array.from(document.querySelectorAll('#fileList img.card')).every((img) => img.complete));

  const cards = readDeck(run.dir, DECK);
  const layout = readLayouts(run.dir).find((candidate) => candidate.name === LAYOUT);
  const dealt = await page.$$eval('#fileList img.card', (images) => images.map((img) => ({
    card: Number(img.getAttribute('card')), pos: Number(img.getAttribute('pos')), reversed: img.getAttribute('reversed') === '1',
  })));
  for (const { card, pos, reversed } of dealt) {
    console.log(`${pos + 1}. ${layout.positions[pos].title}: ${cards[card].name}${reversed ? ' (reversed)' : ''}`);
  }

  // The question and the cards with their captions, and a margin of the page around them.
  const spread = await page.evaluate(() => {
    const content = (element) => {
      const range = document.createRange();
      range.selectNodeContents(element);
      return range.getBoundingClientRect();
    };
    const question = document.querySelector('#fileList h3');
    const boxes = [content(question.querySelector('center') ?? question),
      ...Array.from(document.querySelectorAll('#fileList img.card'), (img) => content(img.closest('td')))];
    const left = Math.max(0, Math.min(...boxes.map((box) => box.left)) - 24);
    const top = Math.max(0, Math.min(...boxes.map((box) => box.top)) - 8);
    return { x: left, y: top, width: Math.max(...boxes.map((box) => box.right)) + 24 - left,
      height: Math.max(...boxes.map((box) => box.bottom)) + 16 - top };
  });
  await page.screenshot({ path: join(helpDir, 'first-reading-spread.png'), clip: spread });
  console.log(`first-reading-spread.png: ${Math.floor(spread.width)} x ${Math.floor(spread.height)}`);

  await act(page, () => page.click(`#fileList img.card[pos="${OPENED}"]`));
  await page.waitForSelector('#sw-meaning:not([hidden])');
  await page.frame({ url: /\/meaning\.html$/ }).waitForSelector('#fileList .heading');
  const meaning = page.locator('#sw-meaning');
  await meaning.screenshot({ path: join(helpDir, 'first-reading-meaning.png') });
  const box = await meaning.boundingBox();
  console.log(`first-reading-meaning.png: ${Math.floor(box.width)} x ${Math.floor(box.height)}`);
} finally {
  await browser.close();
  cleanUp(run);
}
