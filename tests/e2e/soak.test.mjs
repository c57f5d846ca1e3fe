// A soak: 10,000 random clicks and keys over every page of the running
// program, seeded so that a failure can be replayed (SOAK_SEED=n, fixed by
// default so that a run in CI is the same run every time; SOAK_ACTIONS for a
// shorter run). It fails on a crash of the program or the page, a click
// or key the program never finishes with, a console error, the program
// ending, or resident memory that does not stay flat. Memory is measured
// after one scripted pass over what is costly only the first time (the
// journal's database is opened by the first Keep, the card library loads
// every picture): that is a step, not growth, and growth is what a leak shows.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { click, launchBrowser, openPage, startProgram, cleanUp } from './harness.mjs';

const SEED = Number(process.env.SOAK_SEED ?? 20261207);
const ACTIONS = Number(process.env.SOAK_ACTIONS ?? 10000);
const WINDOW = Math.min(1000, Math.floor(ACTIONS / 4));  // the first and last actions compared for memory
const HANG_MS = 20000;

// mulberry32: small, seeded, good enough to pick actions.
function generator(seed) {
  let state = seed >>> 0;
  return () => {
    state = (state + 0x6d2b79f5) >>> 0;
    let t = state;
    t = Math.imul(t ^ (t >>> 15), t | 1);
    t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
    return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
  };
}

const TEXTS = [
  '', 'Will it rain?', "A friend's idea", 'Is <b>this</b> "it" & more?', 'x|y|z',
  'Averyveryverylongunbrokenwordthatkeepsgoingwellpastthewidthofanywindowatall',
  'Grüße, 你好, مرحبا', '%s %d %n', ' leading and trailing ', '<img src=x>',
];
const MENU_KEYS = ['Alt+O', 'Alt+R', 'Alt+I', 'Alt+Y', 'Alt+E', 'Alt+H', 'F1', 'F5', 'Escape', 'Alt+X'];
const MOVE_KEYS = ['Tab', 'Tab', 'Tab', 'Shift+Tab', 'Enter', ' ', 'ArrowUp', 'ArrowDown', 'ArrowLeft', 'ArrowRight',
  'End', 'PageDown'];
const VIEWPORTS = [[800, 600], [1024, 768], [1280, 800], [1280, 900]];
// Slow targets, mostly passed over to keep the run to a few minutes: the two
// "Ask the Oracle" images pause a second, and help opens a window.
const PAUSING = new Set(['iching', 'yesno']);
const OPENS_HELP = new Set(['help', 'disclaim', 'F1', 'Alt+H']);
const slow = (target) => PAUSING.has(target) || OPENS_HELP.has(target);

function residentKb(pid) {
  const match = readFileSync(`/proc/${pid}/status`, 'utf8').match(/^VmRSS:\s+(\d+) kB/m);
  return match ? Number(match[1]) : NaN;
}

test(`${ACTIONS} random clicks and keys leave the program running, answering and flat in memory`, {
  timeout: 20 * 60 * 1000,
}, async (t) => {
  t.diagnostic(`soak seed ${SEED} (replay with SOAK_SEED=${SEED})`);
  console.log(`soak seed ${SEED}`);
  const random = generator(SEED);
  const pick = (list) => list[Math.floor(random() * list.length)];

  const browser = await launchBrowser();
  t.after(() => browser.close());
  const run = startProgram({ seed: SEED % 1000000 });
  t.after(() => cleanUp(run));
  const { context, page } = await openPage(browser, await run.url, { viewport: { width: 1280, height: 800 } });
  // Help and Disclaimer open pages of their own; they are not what is soaked.
  let popups = 0;
  context.on('page', (opened) => {
    if (opened === page) return;
    popups += 1;
    opened.close().catch(() => {});
  });

  const problems = [];
  page.on('console', (message) => { if (message.type() === 'error') problems.push(`console: ${message.text()}`); });
  page.on('pageerror', (error) => problems.push(`page error: ${error.message}`));
  page.on('crash', () => problems.push('the page crashed'));

  const recent = [];
  const memory = [];
  let boxCause = null;  // what the open notification answers: a target's id or a key
  let answered = 0;
  const visited = new Set();

  // Resolves once the program has finished with all the page sent (or a
  // notification waits for an answer), with what the page then shows and,
  // from three random numbers, the point the next click would go to: one
  // round trip per action keeps ten thousand of them to a few minutes.
  const look = (numbers) => page.evaluate(([a, b, c]) => new Promise((done) => {
    const root = document.documentElement;
    const overlay = document.getElementById('sw-overlay');
    const nextClick = () => {
      const shown = Array.from(document.querySelectorAll('body *')).filter((element) => {
        if (element.closest('[hidden]') || ['SCRIPT', 'IFRAME', 'BR'].includes(element.tagName)) return false;
        const box = element.getBoundingClientRect();
        return box.width > 0 && box.height > 0 && box.bottom > 0 && box.right > 0 && box.top < innerHeight && box.left < innerWidth;
      });
      if (shown.length === 0) return null;
      const box = shown[Math.floor(a * shown.length)].getBoundingClientRect();
      const left = Math.max(box.left, 0);
      const top = Math.max(box.top, 0);
      const x = left + b * (Math.min(box.right, innerWidth) - left);
      const y = top + c * (Math.min(box.bottom, innerHeight) - top);
      const hit = document.elementFromPoint(x, y);
      return { x, y, id: hit ? hit.id : '', tag: hit ? hit.tagName : '' };
    };
    const state = () => {
      const active = document.activeElement;
      return {
        box: !overlay.hidden,
        boxText: document.getElementById('sw-msgbox-text').textContent,
        ended: !document.getElementById('sw-ended').hidden,
        focus: active && active.id === 'sw-meaning-frame' ? 'meaning' : (active ? active.id : ''),
        fields: document.querySelectorAll('#fileList input[type=text]').length,
        selects: Array.from(document.querySelectorAll('#fileList select'), (select) => select.options.length),
        click: overlay.hidden ? nextClick() : null,
        pages: Object.entries({
          home: 'img[src$="logo.gif"]', form: 'select[name=deck]', spread: 'img.card', iching: '#iching',
          cast: 'hr.iching', yesno: '#yesno', layouts: '#editlayout', editor: '#desclist',
        }).filter(([, selector]) => document.querySelector('#fileList ' + selector)).map(([name]) => name)
          .concat(document.getElementById('sw-meaning').hidden ? [] : ['meaning'], overlay.hidden ? [] : ['notification']),
      };
    };
    const ready = () => !overlay.hidden || Number(root.dataset.done || 0) >= Number(root.dataset.sent || 0);
    if (ready()) {
      done(state());
      return;
    }
    const observer = new MutationObserver(() => {
      if (!ready()) return;
      observer.disconnect();
      done(state());
    });
    observer.observe(root, { attributes: true, attributeFilter: ['data-done', 'data-sent'] });
    observer.observe(overlay, { attributes: true, attributeFilter: ['hidden'] });
  }), numbers);

  const failure = (what) => `${what} after action ${recent.length ? recent.at(-1).index : 0} ` +
    `(seed ${SEED}); last actions:\n  ${recent.map((entry) => `${entry.index}: ${entry.what}`).join('\n  ')}`;

  await click(page, '#tarotbtn');
  await page.fill('input[name=question]', 'Where does the road lead?');
  await click(page, '#reading');
  await click(page, '#keep');
  await click(page, '#journal');
  await click(page, '#cards');
  await page.waitForFunction(() => Array.from(document.querySelectorAll('#fileList img'), (image) => image.complete)
    .every(Boolean));
  await click(page, '#home');

  let shown = await look([random(), random(), random()]);

  async function act(what, action, target = null) {
    recent.push({ index: recent.length ? recent.at(-1).index + 1 : 0, what });
    if (recent.length > 25) recent.shift();
    const popupsBefore = popups;
    await action();
    let timer;
    const hung = new Promise((resolve) => { timer = setTimeout(() => resolve(null), HANG_MS); });
    const state = await Promise.race([look([random(), random(), random()]), hung]);
    clearTimeout(timer);
    if (!state) assert.fail(failure(`no answer within ${HANG_MS} ms`));
    shown = state;
    for (const name of shown.pages) visited.add(name);
    // Exit and Alt+X post their command, which runs after the click is
    // acknowledged: wait for its question, so no key of ours answers it.
    // (A key can also go to a select's open list instead of the page.)
    if (!shown.box && (target === 'exit' || target === 'Alt+X')) {
      await page.waitForSelector('#sw-overlay:not([hidden])', { timeout: 2000 }).catch(() => {});
      shown = await look([random(), random(), random()]);
    }
    // Input sent to the page while the browser opens a help window can be
    // lost on the way (the page never sees it): let the window open first.
    if (OPENS_HELP.has(target)) {
      const until = Date.now() + 5000;
      while (popups === popupsBefore && Date.now() < until) await new Promise((resume) => setTimeout(resume, 5));
    }
    if (!shown.box) boxCause = null;
    else if (boxCause === null) boxCause = target ?? '';
  }

  async function answerBox() {
    const text = shown.boxText;
    // OK to "Are you sure?" would end the program, except for Delete.
    const ok = text === 'Are you sure?' ? boxCause === 'deletepos' && random() < 0.5 : random() < 0.5;
    boxCause = null;
    const how = random() < 0.5 ? 'key' : 'click';
    await act(`answer "${text}" ${ok ? 'OK' : 'Cancel'} by ${how}`, async () => {
      if (how === 'key') await page.keyboard.press(ok ? 'Enter' : 'Escape');
      else await page.click(ok ? '#sw-ok' : '#sw-cancel');
    });
    answered += 1;
  }

  async function clickSomething() {
    const target = shown.click;
    if (!target || (slow(target.id) && random() < 0.85)) return;
    await act(`click ${target.tag}#${target.id} at ${Math.round(target.x)},${Math.round(target.y)}`,
      () => page.mouse.click(target.x, target.y), target.id);
  }

  async function typeSomewhere() {
    if (shown.fields === 0) return;
    const index = Math.floor(random() * shown.fields);
    const text = pick(TEXTS);
    await act(`type ${JSON.stringify(text)} into text field ${index}`,
      () => page.locator('#fileList input[type=text]').nth(index).fill(text));
  }

  async function chooseSomething() {
    if (shown.selects.length === 0) return;
    const which = Math.floor(random() * shown.selects.length);
    if (shown.selects[which] === 0) return;
    const index = Math.floor(random() * shown.selects[which]);
    await act(`choose option ${index} of select ${which}`,
      () => page.locator('#fileList select').nth(which).selectOption({ index }));
  }

  async function pressKey(key) {
    const focus = shown.focus;
    const activates = key === 'Enter' || key === ' ';
    if (slow(activates ? focus : key) && random() < 0.85) return;
    await act(`key ${key} on ${focus || 'the page'}`, () => page.keyboard.press(key), activates ? focus : key);
  }

  for (let index = 0; index < ACTIONS; index++) {
    if (run.child.exitCode !== null || run.child.signalCode !== null) {
      assert.fail(failure(`the program ended (${run.child.exitCode ?? run.child.signalCode})`));
    }
    if (shown.ended) assert.fail(failure('the page says the program has ended'));
    if (shown.box) {
      await answerBox();
    } else {
      const roll = random();
      if (roll < 0.45) await clickSomething();
      else if (roll < 0.55) await typeSomewhere();
      else if (roll < 0.63) await chooseSomething();
      else if (roll < 0.75) await pressKey(pick(MENU_KEYS));
      else if (roll < 0.99) await pressKey(pick(MOVE_KEYS));
      else {
        const [width, height] = pick(VIEWPORTS);
        await act(`window ${width} x ${height}`, () => page.setViewportSize({ width, height }));
      }
    }
    if (problems.length > 0) assert.fail(failure(problems.join('; ')));
    if (index % 10 === 0) memory.push({ index, kb: residentKb(run.child.pid) });
  }

  const mean = (entries) => entries.reduce((sum, entry) => sum + entry.kb, 0) / entries.length;
  const first = mean(memory.filter((entry) => entry.index < WINDOW));
  const last = mean(memory.filter((entry) => entry.index >= ACTIONS - WINDOW));
  t.diagnostic(`resident memory: ${Math.round(first)} kB over the first ${WINDOW} actions, ` +
    `${Math.round(last)} kB over the last ${WINDOW}; ${answered} notifications answered; ` +
    `pages seen: ${Array.from(visited).sort().join(', ')}`);
  if (ACTIONS >= 2000) assert.equal(visited.size, 10, 'every page was reached');
  assert.ok(Math.abs(last - first) <= 0.1 * first,
    `resident memory moved from ${Math.round(first)} kB to ${Math.round(last)} kB (seed ${SEED})`);
  assert.equal(run.child.exitCode, null, 'the program still runs');
});
