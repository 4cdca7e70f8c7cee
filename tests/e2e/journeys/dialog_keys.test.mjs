// The in-page dialogs own the keyboard while they are open: the delete
// confirmation and the folder prompt are answered with keys alone, Tab stays
// inside them, and no key typed in them reaches the slide show below, by
// any of the ways a page may listen for keys.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { existsSync } from 'node:fs';
import { join } from 'node:path';
import { closesWindow, launchBrowser, startHost, stopHost, tempFolder } from '../harness.mjs';
import { TREE, scanOrder, writePictures } from './fixtures.mjs';
import { pressButton, shownFile, wait, waitForFile } from './page_helpers.mjs';

let home, pictures, profile, host, browser, main;

before(async () => {
  home = tempFolder('lumorel-keys-home-');
  pictures = tempFolder('lumorel-keys-pictures-');
  profile = tempFolder('lumorel-keys-profile-');
  host = await startHost(home.path, { builtInPages: true });
  browser = await launchBrowser(profile.path);
  const scratch = await browser.newPage();
  await writePictures(scratch, pictures.path, TREE);
  await scratch.close();
  main = await browser.newPage();
  await main.setViewportSize({ width: 300, height: 300 });
  await main.goto(host.address);
  await main.waitForFunction(() => window.lm && document.readyState === 'complete');
  await main.evaluate((dir) => {
    // A folder chosen before: no first-time help; a window, not full screen.
    lm.Preference('SelDir', dir);
    lm.Preference('FullScreen', '0');
    lm.Preference('MainImg.Width', '640');
    lm.Preference('MainImg.Height', '480');
  }, pictures.path + '/');
});

after(async () => {
  if (browser) await browser.close();
  if (host) {
    const { code, signal } = await stopHost(host);
    assert.equal(code, 0, `lumorel ended with ${code} ${signal}`);
  }
  for (const folder of [home, pictures, profile]) if (folder) folder.remove();
});

// Opens the slide show from the main window; gives its page once the folder
// prompt shows the folder it starts in.
async function openSlideshow() {
  const popup = main.waitForEvent('popup', wait);
  await pressButton(main, 'slideshow');
  const show = await popup;
  await show.locator('[data-dialog="200"][data-folder]').waitFor(wait);
  return show;
}

// Records in window.reached every key event that reaches the page by the
// ways a page listens: on the window, the document and the body, in the
// capture and the bubble phase, and through the on-handler properties
// (after the page's own, which it keeps calling).
function listenAsThePageMay(show) {
  return show.evaluate(() => {
    window.reached = [];
    const note = (where) => (e) => window.reached.push(`${where} ${e.type} ${e.key}`);
    for (const type of ['keydown', 'keypress', 'keyup']) {
      for (const [name, target] of [['window', window], ['document', document], ['body', document.body]]) {
        target.addEventListener(type, note(`${name} capture`), true);
        target.addEventListener(type, note(`${name} bubble`));
      }
      const own = document['on' + type];
      document['on' + type] = function (e) {
        note('document.on' + type)(e);
        return own ? own.call(this, e) : undefined;
      };
      document.body.setAttribute('on' + type, `window.reached.push('body attribute ${type} ' + event.key)`);
    }
  });
}

const reached = (show) => show.evaluate(() => window.reached);
const focused = (page) => page.evaluate(() => document.activeElement && (document.activeElement.name || document.activeElement.tagName));

test('the folder prompt: Enter on its focused OK starts the show, and no key of the prompt reaches the page', async () => {
  const show = await openSlideshow();
  await listenAsThePageMay(show);
  assert.equal(await focused(show), 'ok');
  await show.keyboard.press('Enter');
  await waitForFile(show, scanOrder(pictures.path)[0]);
  assert.deepEqual(await reached(show), []);
  await closesWindow(show, () => show.keyboard.press('Escape'));
});

test('the delete confirmation is answered with keys alone, and its keys stay in it', async () => {
  const show = await openSlideshow();
  await show.keyboard.press('Enter');
  let order = scanOrder(pictures.path);
  let at = 0;
  await waitForFile(show, order[at]);
  await listenAsThePageMay(show);
  const confirm = show.locator('[data-dialog="201"]');

  // The key that asks, the keys typed in the confirmation, and whether the
  // picture is deleted.
  const cases = [
    { ask: 'Delete', keys: ['Enter'], deleted: true, why: 'Enter presses the focused Delete' },
    { ask: 'Backspace', keys: ['Space'], deleted: true, why: 'Space presses it, and does not end the show' },
    { ask: 'Delete', keys: ['Tab', 'Enter'], deleted: false, why: 'Tab moves to Cancel' },
    { ask: 'Delete', keys: ['Tab', 'Tab', 'Space'], deleted: true, why: 'Tab stays inside the dialog' },
    { ask: 'Delete', keys: ['Shift+Tab', 'Space'], deleted: false, why: 'Shift+Tab goes round backwards' },
    { ask: 'Backspace', keys: ['ArrowRight', 'KeyA', 'Escape'], deleted: false, why: 'Esc cancels; other keys do nothing' },
  ];
  for (const c of cases) {
    const file = order[at];
    await show.keyboard.press(c.ask);
    await confirm.waitFor(wait);
    assert.equal(await focused(show), 'ok', c.why);
    await show.evaluate(() => { window.reached = []; });
    const focus = [];
    for (const key of c.keys) {
      if (key === 'Tab' || key === 'Shift+Tab') {
        await show.keyboard.press(key);
        focus.push(await focused(show));
      } else {
        await show.keyboard.press(key);
      }
    }
    await confirm.waitFor({ state: 'detached', ...wait });
    if (c.deleted) {
      order = order.filter((f) => f !== file);
      at %= order.length;
    }
    await waitForFile(show, order[at]);
    assert.equal(existsSync(file), !c.deleted, c.why);
    assert.deepEqual(await reached(show), [], c.why);
    if (c.keys.includes('Tab')) assert.deepEqual(focus, ['cancel', 'ok'].slice(0, focus.length), c.why);
    if (c.keys.includes('Shift+Tab')) assert.deepEqual(focus, ['cancel'], c.why);
  }
  // The page's own keys work again once the confirmation is gone.
  await show.keyboard.press('ArrowRight');
  await waitForFile(show, order[(at + 1) % order.length]);
  await closesWindow(show, () => show.keyboard.press('Space'));
});

test('in the folder prompt arrows move in the list, Tab goes round its controls, Esc cancels; the timer waits', async () => {
  await main.evaluate(() => lm.Preference('Timer', '1'));
  try {
    const show = await openSlideshow();
    await listenAsThePageMay(show);
    const prompt = show.locator('[data-dialog="200"]');
    const list = prompt.locator('select[name="folders"]');
    await list.locator('option[value="sub1"]').waitFor({ state: 'attached', ...wait });

    // From OK round every control and back.
    const round = [];
    for (let i = 0; i < 5; ++i) {
      await show.keyboard.press('Tab');
      round.push(await focused(show));
    }
    assert.deepEqual(round, ['cancel', 'path', 'folders', 'places', 'ok']);
    await show.keyboard.press('Shift+Tab');
    await show.keyboard.press('Shift+Tab');
    assert.equal(await focused(show), 'folders');

    // The list shows ".." first, then the folders by name.
    await show.keyboard.press('ArrowDown');
    await show.keyboard.press('ArrowDown');
    assert.equal(await list.inputValue(), 'sub1');
    await show.keyboard.press('ArrowDown');
    await show.keyboard.press('ArrowUp');
    assert.equal(await list.inputValue(), 'sub1');
    // Enter goes into the selected folder.
    await show.keyboard.press('Enter');
    await show.locator(`[data-dialog="200"][data-folder="${pictures.path}/sub1/"]`).waitFor(wait);

    // Nothing reached the slide show: its picture timer has not started.
    assert.deepEqual(await reached(show), []);
    assert.equal(await show.locator('#timerText').innerText(), '');
    assert.equal(await show.locator('#band').evaluate((e) => getComputedStyle(e).visibility), 'hidden');

    // Esc cancels the prompt, and no folder ends the show.
    await closesWindow(show, () => show.keyboard.press('Escape'));
  } finally {
    await main.evaluate(() => lm.Preference('Timer', '0'));
  }
});

test('Space on the prompt\'s OK chooses the folder; the show\'s first picture then shows', async () => {
  const show = await openSlideshow();
  await listenAsThePageMay(show);
  await show.keyboard.press('Space');
  const first = await shownFile(show);
  assert.ok(TREE.some((p) => join(pictures.path, p.path) === first), first);
  assert.deepEqual(await reached(show), []);
  await closesWindow(show, () => show.keyboard.press('Space'));
});
