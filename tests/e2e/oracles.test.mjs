// The I Ching and Yes/No oracles end to end, with their one-second pause under
// the wait cursor, and the question they share with the reading form.
import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { act, click, launchBrowser, screenshot, startSession } from './harness.mjs';

const ANSWERS = new Set([
  'Yes.', 'No.', 'It depends on you.', 'Time will tell.', 'It is very unlikely.', 'Perhaps.', 'Definitely.',
  'Maybe the question is not the right one?', 'The answer lies within your heart.', 'Of course.', 'YES.', 'NO.',
  'The answer depends on what you decide.', 'Ask again later.', 'Take some time and the answer will come.',
  'Things look promising', 'What you do will give you the answer',
]);
const NO_QUESTION = 'Without a question there can be no answer';

let browser;
before(async () => { browser = await launchBrowser(); });
after(async () => { await browser?.close(); });

// Records, in page time, when the wait cursor comes and goes and when a page
// is written, so a test can tell a paused answer from an immediate one.
async function watch(page) {
  await page.evaluate(() => {
    window.sagewendLog = [];
    if (window.sagewendWatching) return;
    window.sagewendWatching = true;
    const root = document.documentElement;
    new MutationObserver(() => window.sagewendLog.push({ at: performance.now(), wait: root.classList.contains('sw-wait') }))
      .observe(root, { attributes: true, attributeFilter: ['class'] });
    new MutationObserver(() => window.sagewendLog.push({ at: performance.now(), write: true }))
      .observe(document.getElementById('fileList'), { childList: true });
  });
}

// How long the wait cursor showed before the page was written (null: never shown).
async function waitBeforeWrite(page) {
  const log = await page.evaluate(() => window.sagewendLog);
  const on = log.findIndex((entry) => entry.wait === true);
  const write = log.findIndex((entry) => entry.write);
  assert.ok(write >= 0, 'a page was written');
  if (on < 0) return null;
  const off = log.findIndex((entry, index) => index > on && entry.wait === false);
  assert.ok(off > on && off < write, 'the wait cursor is gone before the page shows');
  assert.equal(await page.evaluate(() => document.documentElement.classList.contains('sw-wait')), false);
  return log[off].at - log[on].at;
}

async function readCast(page) {
  return page.evaluate(() => {
    const list = document.getElementById('fileList');
    const drawing = (table) => Array.from(table.rows, (row) => (row.querySelectorAll('hr.iching').length === 3 ? 8 : 7));
    const movingTable = list.querySelector('table[cellspacing="15"]');
    return {
      heading: list.querySelector('h3')?.textContent ?? null,
      text: list.textContent,
      titles: Array.from(list.querySelector('table').rows[0].cells, (cell) => cell.querySelector('b')?.textContent),
      drawings: Array.from(list.querySelectorAll('td[width="50%"] > table'), drawing),
      movingLines: movingTable ? movingTable.rows.length - 1 : 0,
    };
  });
}

test('I Ching: question page, a cast after a pause under the wait cursor, moving lines', async (t) => {
  const { page } = await startSession(t, browser, { seed: 21 });
  await click(page, '#ichingbtn');
  assert.equal(await page.textContent('#fileList h3'), 'Type your question below and then focus on it in your mind');
  assert.equal(await page.inputValue('#question'), '');

  const question = 'Where does this road lead?';
  let cast;
  for (let attempt = 0; attempt < 5; attempt++) {
    if (attempt > 0) await act(page, () => page.keyboard.press('Alt+I'));
    await page.fill('#question', question);
    await watch(page);
    await click(page, '#iching');
    const waited = await waitBeforeWrite(page);
    assert.ok(waited !== null && waited >= 500, `the cast waits under the wait cursor (${waited} ms)`);
    cast = await readCast(page);
    assert.equal(cast.heading, question);
    assert.ok(cast.text.includes('The current situation'));
    assert.ok(cast.text.includes('The Judgement'));
    assert.match(cast.titles[0], /^\d+ \S/);
    if (cast.movingLines > 0) break;
    // A cast without moving lines shows one hexagram only.
    assert.equal(cast.drawings.length, 1);
    assert.ok(!cast.text.includes('How things will progress'));
  }
  assert.ok(cast.movingLines > 0, 'seed 21 casts moving lines within five tries');
  await screenshot(page, 'iching-moving-lines', { fullPage: true });

  assert.ok(cast.text.includes('How things will progress'));
  assert.ok(cast.text.includes('Moving Lines'));
  assert.equal(cast.titles.length, 2);
  assert.match(cast.titles[1], /^\d+ \S/);
  assert.equal(cast.drawings.length, 2);
  assert.ok(cast.drawings.every((lines) => lines.length === 6), 'each hexagram has six lines');
  const changed = cast.drawings[0].filter((line, index) => line !== cast.drawings[1][index]).length;
  assert.equal(cast.movingLines, changed, 'one moving-line text per line that changes');
});

test('Yes/No answers after a pause, keeps the question, and shares it with the other pages', async (t) => {
  const { page } = await startSession(t, browser, { seed: 22 });
  await watch(page);
  await click(page, '#yesnobtn');
  assert.equal(await page.textContent('#fileList h3'), NO_QUESTION);
  assert.equal(await page.inputValue('#question'), '');
  const menuWait = await waitBeforeWrite(page);
  assert.ok(menuWait === null || menuWait < 500, `the menu page comes at once (${menuWait} ms)`);

  const question = "Is a friend's idea the right one?";
  await page.fill('#question', question);
  await watch(page);
  await click(page, '#yesno');
  const waited = await waitBeforeWrite(page);
  assert.ok(waited !== null && waited >= 500, `the answer waits under the wait cursor (${waited} ms)`);
  const answer = await page.textContent('#fileList h3');
  assert.ok(ANSWERS.has(answer), `"${answer}" is one of the answers`);
  assert.equal(await page.inputValue('#question'), question, 'the field keeps the whole question');
  await screenshot(page, 'yesno-answer');

  // Alt+Y is the menu, never a submit; the field offers the question again.
  await act(page, () => page.keyboard.press('Alt+Y'));
  assert.equal(await page.textContent('#fileList h3'), NO_QUESTION);
  assert.equal(await page.inputValue('#question'), question);

  await click(page, 'u#ichingu');
  assert.equal(await page.inputValue('#question'), question, 'the I Ching page offers the question');
  await click(page, '#tarotbtn');
  assert.equal(await page.inputValue('input[name=question]'), question, 'the reading form offers the question');
});
