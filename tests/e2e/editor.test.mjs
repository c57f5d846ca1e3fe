// The layout editor driven with the mouse: a new layout is made, saved, and
// used for a reading after the program has been restarted on the same data.
import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import {
  act, click, decodeFile, launchBrowser, messageBox, readLayouts, screenshot, settle, startSession, waitForExit,
} from './harness.mjs';
import { join } from 'node:path';

let browser;
before(async () => { browser = await launchBrowser(); });
after(async () => { await browser?.close(); });

const POSITIONS = [
  { title: 'The Left Path', description: 'Where the familiar road takes you.' },
  { title: 'The Right Path', description: 'Where the untried road could take you.' },
];

async function readEditor(page) {
  return page.evaluate(() => {
    const value = (selector) => document.querySelector(selector)?.value ?? null;
    return {
      name: value('input[name=name]'),
      title: value('input[name=title]'),
      description: value('input[name=description]'),
      positions: Array.from(document.querySelectorAll('#desclist option'), (option) => option.textContent),
      chosen: value('#desclist'),
      columns: value('#cols'),
      rows: value('#rows'),
      grid: Array.from(document.querySelector('#fileList table[border="1"]').rows,
        (row) => Array.from(row.cells, (cell) => (cell.id === 'gridfilled' ? cell.textContent : ' '))),
    };
  });
}

async function choosePosition(page, index) {
  await act(page, () => page.click(`#desclist option[value="${index}"]`));
  assert.equal(await page.inputValue('input[name=title]'), POSITIONS[index].title, 'choosing fills the title');
}

test('a layout made with the mouse is saved and read after a restart', async (t) => {
  const first = await startSession(t, browser, { seed: 31 });
  const { page, run } = first;
  const storedBefore = readLayouts(run.dir);

  await click(page, '#editor');
  assert.equal(await page.textContent('#fileList h3'),
    'Select the layout you wish to edit or click add to create a new one.');
  await click(page, '#addlayout');
  assert.deepEqual(await readEditor(page), {
    name: '', title: '', description: '', positions: ['Enter a Card position'], chosen: '-1',
    columns: '3', rows: '3', grid: [[' ', ' ', ' '], [' ', ' ', ' '], [' ', ' ', ' ']],
  });

  await page.fill('input[name=name]', 'Two Paths');
  for (const position of POSITIONS) {
    await page.fill('input[name=title]', position.title);
    await page.fill('input[name=description]', position.description);
    await click(page, '#addpos');
  }
  let editor = await readEditor(page);
  assert.equal(editor.name, 'Two Paths', 'the typed name survives the rebuilds');
  assert.deepEqual(editor.positions, ['1 - The Left Path', '2 - The Right Path']);

  // A 3 x 2 grid: the left path in the top left corner, the right path bottom right.
  await page.selectOption('#rows', '2');
  await click(page, '#refreshgrid');
  await choosePosition(page, 0);
  await click(page, 'td#grid[row="0"][col="0"]');
  await choosePosition(page, 1);
  await click(page, 'td#grid[row="1"][col="2"]');
  editor = await readEditor(page);
  assert.deepEqual(editor.grid, [['1', ' ', ' '], [' ', ' ', '2']]);
  assert.equal(editor.rows, '2');
  assert.equal(editor.name, 'Two Paths');
  await screenshot(page, 'editor-filled-grid');

  await click(page, '#savelayout');
  assert.equal(await messageBox(page), 'Layout successfully added');
  assert.equal(await page.getAttribute('#sw-msgbox-icon', 'class'), 'sw-icon exclamation');
  await page.click('#sw-ok');
  await settle(page);
  const listed = await page.$$eval('select[name=layout] option', (options) => options.map((option) => option.textContent));
  assert.equal(listed.at(-1), 'Two Paths', 'the list page shows the new layout last');

  const lines = decodeFile(join(run.dir, 'data', 'layouts.dat'));
  assert.equal(lines[0], String(storedBefore.length + 1));
  assert.deepEqual(lines.slice(-10), [
    '2', '0', 'Two Paths',
    'The Left Path|Where the familiar road takes you.',
    'The Right Path|Where the untried road could take you.',
    '3', '2', '1# # ', ' # #2', '#######LAYOUT#######',
  ]);
  assert.deepEqual(readLayouts(run.dir).slice(0, -1), storedBefore, 'the other layouts are written back unchanged');

  await click(page, '#exit');
  assert.equal(await messageBox(page), 'Are you sure?');
  await page.click('#sw-ok');
  assert.deepEqual(await waitForExit(run), { code: 0, signal: null });

  // The same data folder, a new program. (The folder is removed once, after the test.)
  const second = await startSession(t, browser, { seed: 32, dir: run.dir });
  await click(second.page, '#tarotbtn');
  const index = await second.page.$eval('select[name=layout]',
    (select) => Array.from(select.options).find((option) => option.textContent === 'Two Paths')?.value);
  assert.equal(index, String(storedBefore.length), 'the new layout is offered for readings');
  await second.page.fill('input[name=question]', 'Which way now?');
  await second.page.selectOption('select[name=layout]', index);
  await click(second.page, '#reading');
  const spread = await second.page.evaluate(() => Array.from(document.querySelector('#fileList table').rows,
    (row) => Array.from(row.cells, (cell) => cell.querySelector('img.card + br + div')?.textContent ?? ' ')));
  assert.deepEqual(spread, [['1 - The Left Path', ' ', ' '], [' ', ' ', '2 - The Right Path']]);

  await act(second.page, () => second.page.click('img.card[pos="1"]'));
  const frame = second.page.frame({ url: /\/meaning\.html$/ });
  await frame.waitForSelector('#fileList .heading');
  const meaning = await frame.$$eval('#fileList td', (cells) => cells.map((cell) => cell.textContent.trim()));
  assert.equal(meaning[1], 'The Right Path');
  assert.equal(meaning[2], 'Where the untried road could take you.');
});
