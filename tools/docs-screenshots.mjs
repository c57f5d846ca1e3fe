// Retakes README.md's pictures of a reading (docs/reading-1280x800.png and
// docs/reading-800x600.png): a Celtic Cross on the 1909 deck with its
// reading sheet, beside the spread in the larger window and below it in the
// smaller one, from the program itself on a copy of the sample data with a
// fixed seed.
//
//   (cd tests/e2e && npm install) && SAGEWEND_BIN=build/ci/sagewend node tools/docs-screenshots.mjs
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { act, cleanUp, click, launchBrowser, openPage, startProgram } from '../tests/e2e/harness.mjs';

const docs = join(dirname(fileURLToPath(import.meta.url)), '..', 'docs');
const run = startProgram({ seed: 11 });
const browser = await launchBrowser();
try {
  for (const [width, height, place, shown] of [[1280, 800, 'beside', 800], [800, 600, 'below', 1000]]) {
    const { page, context } = await openPage(browser, await run.url, { viewport: { width, height } });
    await click(page, '#tarotbtn');
    await page.fill('input[name=question]', 'What should I know about the year ahead?');
    await page.selectOption('select[name=layout]', { label: 'Celtic Cross' });
    await page.selectOption('select[name=deck]', { label: 'Tarot 1909' });
    await click(page, '#reading');
    await page.waitForFunction(() => Array.from(document.querySelectorAll('#fileList img.card')).every((img) => img.complete));
    await act(page, () => page.click(`.sw-sheet-button[data-place="${place}"]`));
    await page.evaluate(() => new Promise((done) => requestAnimationFrame(() => requestAnimationFrame(done))));
    const name = `reading-${width}x${height}.png`;
    await page.screenshot({ path: join(docs, name), clip: { x: 0, y: 0, width, height: shown }, fullPage: true });
    console.log(name);
    await context.close();
  }
} finally {
  await browser.close();
  cleanUp(run);
}
