// The journeys of a user through the page set, in headless Chromium against
// the host with its built-in pages: the main window, the options, keys and
// about dialogs, and the slide show with its keys, timer, name line,
// enlarging, delete, an empty folder and dismissal.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { copyFileSync, existsSync, mkdirSync, writeFileSync } from 'node:fs';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { closesWindow, launchBrowser, startHost, stopHost, tempFolder } from '../harness.mjs';
import { TREE, scanOrder, writePictures } from './fixtures.mjs';
import {
  answerFolderPrompt, dialogFrame, dialogGone, expectedBox, pictureBox, pressButton, shownFile, wait, waitForFile,
} from './page_helpers.mjs';

const here = dirname(fileURLToPath(import.meta.url));
// Screenshots of the main window, the options dialog and the slide show.
const ARTIFACTS = process.env.LUMOREL_E2E_ARTIFACTS || join(here, '..', 'artifacts');

let home, pictures, empty, profile, host, browser, main;
let order = [];
// The console errors of the slide-show windows.
const pageErrors = [];

// The host with the page set compiled into it.
before(async () => {
  home = tempFolder('lumorel-journey-home-');
  pictures = tempFolder('lumorel-journey-pictures-');
  empty = tempFolder('lumorel-journey-empty-');
  profile = tempFolder('lumorel-journey-profile-');
  mkdirSync(ARTIFACTS, { recursive: true });
  writeFileSync(join(empty.path, 'notes.txt'), 'no pictures here\n');
  mkdirSync(join(empty.path, 'inner'));
  host = await startHost(home.path, { builtInPages: true });
  browser = await launchBrowser(profile.path);
  await browser.addInitScript(recordStatusLines);
  const scratch = await browser.newPage();
  await writePictures(scratch, pictures.path, TREE);
  await scratch.close();
  order = scanOrder(pictures.path);
  main = await browser.newPage();
  await main.setViewportSize({ width: 300, height: 300 });
  await main.goto(host.address);
  await main.waitForFunction(() => window.lm && document.readyState === 'complete');
  // The slide show's window where the user last left it.
  await main.evaluate(() => {
    lm.Preference('MainImg.Top', '10');
    lm.Preference('MainImg.Left', '20');
    lm.Preference('MainImg.Width', '640');
    lm.Preference('MainImg.Height', '480');
  });
});

after(async () => {
  if (browser) await browser.close();
  if (host) {
    const { code, signal } = await stopHost(host);
    assert.equal(code, 0, `lumorel ended with ${code} ${signal}`);
  }
  for (const folder of [home, pictures, empty, profile]) if (folder) folder.remove();
});

// Every text the slide show's status line takes, in order, kept in
// window.statusLines of each page.
function recordStatusLines() {
  window.statusLines = [];
  // Script errors end the slide show silently: say them on the console.
  window.addEventListener('error', (e) => console.error('page error: ' + e.message + ' at ' + e.lineno));
  // A window opened by a page of the same origin keeps its first, empty
  // document's window: watch each document as it comes.
  const watch = () => {
    new MutationObserver(() => {
      const status = document.getElementById('statusText');
      const text = status && status.innerText;
      if (text && window.statusLines[window.statusLines.length - 1] !== text) window.statusLines.push(text);
    }).observe(document, { childList: true, characterData: true, subtree: true });
  };
  watch();
  window.addEventListener('DOMContentLoaded', () => {
    window.statusLines = [];
    watch();
  }, true);
}

function fixtureOf(file) {
  return TREE.find((p) => join(pictures.path, p.path) === file);
}

async function assertFitted(show, enlarge) {
  const { box, inner, natural } = await pictureBox(show);
  assert.deepEqual(box, expectedBox(inner, natural, enlarge));
}

const pref = (key) => main.evaluate((k) => lm.Preference(k), key);

// Opens the slide show from the main window and answers its prompt with
// `folder`; gives the slide show's page and the alerts it shows.
async function openSlideshow(folder) {
  const popup = main.waitForEvent('popup', wait);
  await pressButton(main, 'slideshow');
  const show = await popup;
  show.on('console', (m) => { if (m.text().startsWith('page error: ')) pageErrors.push(m.text()); });
  const alerts = [];
  show.on('dialog', (d) => {
    alerts.push(d.message());
    d.accept();
  });
  await show.waitForLoadState();
  await answerFolderPrompt(show, folder);
  return { show, alerts };
}

test('the main window shows its four buttons, and the about and keys dialogs open and close', async () => {
  assert.equal(await main.title(), 'Lumorel 1.4 for IE 4');
  const labels = await main.locator('.button span').allInnerTexts();
  assert.deepEqual(labels, ['Help...', 'Options...', 'Slideshow', 'Exit']);
  const tips = await main.locator('.button').evaluateAll((els) => els.map((e) => e.title));
  assert.deepEqual(tips, ['Displays information about where to get help.', 'Customize the slide show.',
    'Start a slide show of all the images in a local directory.', 'Exits Lumorel']);
  await main.waitForFunction(() => Array.prototype.every.call(document.images, (i) => i.complete && i.naturalWidth === 32));
  await main.screenshot({ path: join(ARTIFACTS, 'main-window.png') });

  // A button acts when released, sunken while pressed.
  const box = await main.locator('#help').boundingBox();
  await main.mouse.move(box.x + 20, box.y + 20);
  await main.mouse.down();
  assert.equal(await main.locator('#help').evaluate((e) => e.style.marginLeft), '1px');
  assert.equal(await main.locator('.lumorel-modal').count(), 0);
  await main.mouse.up();
  assert.equal(await main.locator('#help').evaluate((e) => e.style.marginLeft), '0px');
  const about = await dialogFrame(main, 'about');
  assert.equal(await about.title(), 'About Lumorel');
  assert.match(await about.locator('body').innerText(), /Lumorel 1\.4 \(1999,0626\)[\s\S]*Help information can be found online:/);
  assert.equal(await about.evaluate(() => document.activeElement.value), ' OK ');
  await about.locator('#ok').click();
  await dialogGone(main);

  // F1 opens the keys; Esc closes them.
  await main.keyboard.press('F1');
  const keys = await dialogFrame(main, 'keys');
  assert.equal(await keys.title(), 'Lumorel Help');
  const rows = await keys.locator('table.keys tr').allInnerTexts();
  assert.equal(rows.length, 10);
  assert.match(rows[0], /^Key\s+Action$/);
  assert.match(rows[3], /^Down & Up Arrow\s+Next & Previous SubFolder \(New\)$/);
  await keys.locator('body').press('Escape');
  await dialogGone(main);
});

test('the options dialog shows the defaults of a fresh profile and OK stores them', async () => {
  await pressButton(main, 'options');
  const options = await dialogFrame(main, 'options');
  assert.equal(await options.title(), 'Lumorel Options');
  const state = () => options.evaluate(() => {
    const ids = ['fullScreen', 'growImg', 'recursive', 'timer', 'displayType0', 'displayType1', 'displayType2',
      'randomize0', 'randomize1', 'randomize2'];
    const out = {};
    for (const id of ids) out[id] = document.getElementById(id).checked;
    out.timerSec = document.getElementById('timerSec').value;
    return out;
  });
  assert.deepEqual(await state(), {
    fullScreen: true, growImg: false, recursive: true, timer: false, displayType0: true, displayType1: false,
    displayType2: false, randomize0: true, randomize1: false, randomize2: false, timerSec: '5',
  });
  // The dialog is larger than the 300-pixel main window: widen the view for
  // its picture.
  await main.setViewportSize({ width: 640, height: 480 });
  await main.locator('.lumorel-modal iframe').screenshot({ path: join(ARTIFACTS, 'options-dialog.png') });
  await main.setViewportSize({ width: 300, height: 300 });

  // Cancel stores nothing.
  await options.locator('input[value="Cancel"]').click();
  await dialogGone(main);
  assert.equal(await pref('FullScreen'), '');

  // Clicking texts toggles and selects; OK stores every control.
  await pressButton(main, 'options');
  const again = await dialogFrame(main, 'options');
  await again.getByText('Full Screen', { exact: true }).click();
  await again.getByText('Short File Name', { exact: true }).click();
  await again.locator('#timerSec').fill('0');
  await again.locator('#ok').click();
  await dialogGone(main);
  const stored = {};
  for (const key of ['FullScreen', 'Recusive', 'GrowImg', 'Timer', 'TimerSec', 'Randomize', 'DisplayType']) {
    stored[key] = await pref(key);
  }
  // A seconds field of 0 keeps the stored (empty) value.
  assert.deepEqual(stored, { FullScreen: '0', Recusive: '1', GrowImg: '0', Timer: '0', TimerSec: '',
    Randomize: '0', DisplayType: '1' });

  // Keys... opens the keys over the options; Enter in the options is OK.
  await pressButton(main, 'options');
  const third = await dialogFrame(main, 'options');
  await third.locator('input[value=" Keys... "]').click();
  // A dialog's own dialog opens in the dialog's frame.
  const keysFrame = await dialogFrame(third, 'keys');
  assert.equal(await keysFrame.title(), 'Lumorel Help');
  await keysFrame.locator('#ok').click();
  await dialogGone(third);
  await third.locator('#timerSec').fill('1');
  await third.locator('#ok').press('Enter');
  await dialogGone(main);
  assert.equal(await pref('TimerSec'), '1');
});

// The control's navigation over a list of files, as the journeys expect it.
const folderOf = (file) => file.slice(0, file.lastIndexOf('/') + 1);
const shortOf = (file) => file.slice(file.lastIndexOf('/') + 1);

function jumpToFolder(list, at, forward) {
  const n = list.length;
  const step = (i) => (forward ? (i + 1) % n : (i - 1 + n) % n);
  let current = folderOf(list[at]);
  let candidate = step(at);
  let switched = false;
  for (;;) {
    if (candidate === at) return at;
    const folder = folderOf(list[candidate]);
    if (folder.toLowerCase() === current.toLowerCase()) {
      candidate = step(candidate);
      continue;
    }
    if (forward) return candidate;
    if (!switched) {
      current = folder;
      switched = true;
      candidate = step(candidate);
      continue;
    }
    return candidate === n - 1 ? candidate : candidate + 1;
  }
}

function jumpTo(list, at, letter) {
  for (let i = (at + 1) % list.length; ; i = (i + 1) % list.length) {
    if (shortOf(list[i]).charAt(0).toLowerCase() === letter.toLowerCase() || i === at) return i;
  }
}

function sizeText(n) {
  if (n <= 10240) return String(n);
  const k = n / 1024;
  return Math.floor(k) + '.' + Math.floor((k - Math.floor(k)) * 10) + 'k';
}

const nameLine = (show) => show.evaluate(() => ({
  band: document.getElementById('band').style.visibility,
  name: document.getElementById('nameText').innerText,
  timer: document.getElementById('timerText').innerText,
}));

let show, alerts;

test('a windowed slide show: the prompt, the status line, the first picture fitted, and every navigation key', async () => {
  ({ show, alerts } = await openSlideshow(pictures.path));
  assert.equal(await show.evaluate(() => document.title + '|' + document.querySelectorAll('title').length), 'Lumorel|1');
  let at = 0;
  await waitForFile(show, order[at]);
  // A fresh profile has no folder yet: the first-time help.
  assert.deepEqual(alerts, ['Lumorel Newbie Help\n\nUse the right & left keys to rotate through images. Spacebar or Esc key ends the slide-show.']);
  assert.equal((await show.evaluate(() => window.statusLines))[0], 'Loading ...');
  assert.equal(await pref('SelDir'), pictures.path + '/');
  await assertFitted(show, false);
  assert.deepEqual(await nameLine(show), { band: 'visible', name: shortOf(order[at]), timer: '' });
  await show.screenshot({ path: join(ARTIFACTS, 'slide-show.png') });

  const steps = [
    ['ArrowRight', () => (at + 1) % order.length],
    ['ArrowLeft', () => (at - 1 + order.length) % order.length],
    ['ArrowDown', () => jumpToFolder(order, at, true)],
    ['ArrowDown', () => jumpToFolder(order, at, true)],
    ['ArrowUp', () => jumpToFolder(order, at, false)],
    ['Period', () => (at + 1) % order.length],
    ['Comma', () => (at - 1 + order.length) % order.length],
    ['KeyE', () => jumpTo(order, at, 'e')],
    ['KeyA', () => jumpTo(order, at, 'a')],
  ];
  for (const [key, next] of steps) {
    at = next();
    await show.keyboard.press(key);
    await waitForFile(show, order[at]);
    await assertFitted(show, false);
  }
  // F1 shows the keys over the slide show.
  await show.keyboard.press('F1');
  const keys = await dialogFrame(show, 'keys');
  await keys.locator('#ok').click();
  await dialogGone(show);
  assert.equal(await shownFile(show), order[at]);

  await show.keyboard.press('Backquote');
  const random = await shownFile(show);
  assert.ok(order.includes(random));
  assert.equal(await show.evaluate(() => lm.CurrentName), 'file://' + random);
});

test('"/" cycles the name line through its three forms, and "+" and "-" enlarge and restore', async () => {
  // A picture smaller than the window.
  await show.keyboard.press('KeyC');
  const cloud = await waitForFile(show, join(pictures.path, 'cloud.gif'));
  const line1 = await nameLine(show);
  assert.equal(line1.name, 'cloud.gif');
  await show.keyboard.press('Slash');
  const size = (await import('node:fs')).statSync(cloud).size;
  assert.deepEqual(await nameLine(show), { band: 'visible', name: `file://${cloud}  Size=${sizeText(size)}  (30 x 40)`, timer: '' });
  assert.equal(await pref('DisplayType'), '2');
  await show.keyboard.press('Slash');
  assert.equal((await nameLine(show)).band, 'hidden');
  assert.equal(await pref('DisplayType'), '0');
  await show.keyboard.press('Slash');
  assert.deepEqual(await nameLine(show), line1);
  assert.equal(await pref('DisplayType'), '1');

  await assertFitted(show, false);
  assert.deepEqual((await pictureBox(show)).box.width, 40);
  await show.keyboard.press('Equal');
  await assertFitted(show, true);
  assert.equal(await pref('GrowImg'), '1');
  await show.keyboard.press('Minus');
  await assertFitted(show, false);
  assert.equal(await pref('GrowImg'), '0');
});

test('the timer advances at one second per picture, any key restarts its count, and "\\" turns it off', async () => {
  const from = await shownFile(show);
  let at = order.indexOf(from);
  await show.keyboard.press('Backslash');
  assert.equal(await pref('Timer'), '1');
  at = (at + 1) % order.length;
  await waitForFile(show, order[at]);
  at = (at + 1) % order.length;
  await waitForFile(show, order[at]);
  await show.keyboard.press('Backslash');
  assert.equal(await pref('Timer'), '0');
  assert.equal((await nameLine(show)).timer, '');
  const stopped = await shownFile(show);
  await show.waitForTimeout(2500);
  assert.equal(await shownFile(show), stopped);

  // Three seconds a picture: the count shows, and a key that is no command
  // starts it again.
  await show.evaluate(() => lm.Preference('TimerSec', '3'));
  await show.keyboard.press('Backslash');
  await show.waitForFunction(() => document.getElementById('timerText').innerText === 'Timer: 2', undefined, wait);
  // The count as the key left it, read as the key's handling ends: a slow
  // machine may let the next tick pass before the test reads the line.
  await show.evaluate(() => window.addEventListener('keydown', () => {
    window.timerAfterKey = document.getElementById('timerText').innerText;
  }, { once: true }));
  await show.keyboard.press('Semicolon');
  assert.equal(await show.evaluate(() => window.timerAfterKey), 'Timer: 3');
  assert.equal(await shownFile(show), stopped);
  await show.keyboard.press('Backslash');
  assert.equal(await pref('Timer'), '0');
});

test('Delete asks in the page: Cancel keeps the file, Delete removes it and shows the next picture', async () => {
  await show.keyboard.press('KeyB');
  const berry = await waitForFile(show, join(pictures.path, 'berry.png'));
  await show.keyboard.press('Delete');
  const confirm = show.locator('[data-dialog="201"]');
  await confirm.waitFor(wait);
  assert.match(await confirm.innerText(), /Are you sure you want to delete the image file\?/);
  await confirm.locator('button[name="cancel"]').click();
  await confirm.waitFor({ state: 'detached', ...wait });
  assert.ok(existsSync(berry));
  assert.equal(await shownFile(show), berry);

  const next = order[(order.indexOf(berry) + 1) % order.length];
  await show.keyboard.press('Delete');
  await confirm.waitFor(wait);
  await confirm.locator('button[name="ok"]').click();
  await waitForFile(show, next);
  assert.equal(existsSync(berry), false);
  assert.ok(existsSync(next));
  order = order.filter((f) => f !== berry);
});

test('Esc ends the slide show and closes its window', async () => {
  await closesWindow(show, () => show.keyboard.press('Escape'));
});

test('keys typed in the folder prompt are the prompt\'s: Space on its OK button starts the show', async () => {
  const popup = main.waitForEvent('popup', wait);
  await pressButton(main, 'slideshow');
  const page = await popup;
  // The folder chosen before, shown with the OK button focused.
  const prompt = page.locator(`[data-dialog="200"][data-folder="${pictures.path}/"]`);
  await prompt.waitFor(wait);
  assert.equal(await page.evaluate(() => document.activeElement.name), 'ok');
  // A space that reached the slide show's own keys would end it.
  await page.keyboard.press('Space');
  await waitForFile(page, order[0]);
  await closesWindow(page, () => page.keyboard.press('Escape'));
});

test('an empty folder gives the message and a new prompt; no folder ends the show', async () => {
  const popup = main.waitForEvent('popup', wait);
  await pressButton(main, 'slideshow');
  const page = await popup;
  const messages = [];
  page.on('dialog', (d) => {
    messages.push(d.message());
    d.accept();
  });
  await answerFolderPrompt(page, empty.path);
  const prompt = page.locator('[data-dialog="200"]');
  await prompt.waitFor(wait);
  assert.deepEqual(messages, ['No image files where found in the selected folder.\nor sub-folders.\nSelect a different folder and try again.']);
  await closesWindow(page, () => prompt.locator('button[name="cancel"]').click());
});

test('the slide show honours the options: no sub-folders, full file information', async () => {
  await pressButton(main, 'options');
  const options = await dialogFrame(main, 'options');
  await options.getByText('All Sub-Folders', { exact: true }).click();
  await options.getByText('Full File Information', { exact: true }).click();
  await options.locator('#ok').click();
  await dialogGone(main);
  assert.equal(await pref('Recusive'), '0');
  assert.equal(await pref('DisplayType'), '2');

  const opened = await openSlideshow(pictures.path);
  const page = opened.show;
  const rootOnly = order.filter((f) => folderOf(f) === pictures.path + '/');
  const first = await waitForFile(page, rootOnly[0]);
  // The folder was chosen before: no first-time help, the counts instead.
  assert.deepEqual(opened.alerts, []);
  const lines = await page.evaluate(() => window.statusLines);
  assert.ok(lines.includes(`( Folders:1  Images:${rootOnly.length})`), JSON.stringify(lines));
  assert.match((await nameLine(page)).name, new RegExp('^file://' + first.replace(/[.*+?^${}()|[\]\\]/g, '\\$&') + '  Size=\\S+  \\(\\d+ x \\d+\\)$'));
  // Only the folder's own pictures: the list wraps after them.
  await page.keyboard.press('ArrowLeft');
  await waitForFile(page, rootOnly[rootOnly.length - 1]);

  // With sub-folders off, an empty folder's message points to the option.
  const messages = [];
  page.on('dialog', (d) => messages.push(d.message()));
  assert.deepEqual(pageErrors, []);
  await closesWindow(page, () => page.keyboard.press('Space'));

  const popup = main.waitForEvent('popup', wait);
  await pressButton(main, 'slideshow');
  const again = await popup;
  const told = [];
  again.on('dialog', (d) => {
    told.push(d.message());
    d.accept();
  });
  await answerFolderPrompt(again, empty.path);
  await again.locator('[data-dialog="200"]').waitFor(wait);
  assert.deepEqual(told, ["No image files where found in the selected folder.\nTurn on 'Show Sub-Folders' in Options or select a different folder and try again."]);
  await closesWindow(again, () => again.keyboard.press('Escape'));
});

test('the launcher opens the main window and ends itself', async () => {
  const launcher = await browser.newPage();
  const opened = launcher.waitForEvent('popup', wait);
  await launcher.goto(host.base + '/lm:lm_run');
  const mainWindow = await opened;
  await mainWindow.waitForLoadState();
  assert.match(mainWindow.url(), /\/lm:main$/);
  await mainWindow.waitForFunction(() => document.title === 'Lumorel 1.4 for IE 4', undefined, wait);
  // A window the user opened stays open in a modern browser; the host then
  // says that Lumorel has ended in it.
  await launcher.waitForFunction(() => document.title === 'Lumorel has ended', undefined, wait);
  await launcher.close();
  await mainWindow.close();
});

test('duplicate mode: its own prompt, the search, the count told, and only the duplicates shown', async () => {
  const dups = tempFolder('lumorel-journey-dups-');
  try {
    const scratch = await browser.newPage();
    await writePictures(scratch, dups.path, [
      { path: 'one.jpg', width: 90, height: 60, colour: '#a04040' },
      { path: 'other.png', width: 50, height: 50, colour: '#4040a0' },
    ]);
    await scratch.close();
    copyFileSync(join(dups.path, 'one.jpg'), join(dups.path, 'copy.jpg'));

    // A folder chosen before: no first-time help.
    await main.evaluate((dir) => lm.Preference('SelDir', dir), dups.path + '/');
    const page = await browser.newPage();
    const told = [];
    page.on('dialog', (d) => {
      told.push(d.message());
      d.accept();
    });
    await page.goto(host.base + '/lm:&rsrc=mainimg&1=&2=0&3=1');
    const prompt = page.locator('[data-dialog="200"]');
    await prompt.waitFor(wait);
    assert.match(await prompt.innerText(), /^Select folder to find duplicate images\n/);
    await answerFolderPrompt(page, dups.path);
    const first = await shownFile(page);
    assert.ok(['one.jpg', 'copy.jpg'].includes(shortOf(first)), first);
    assert.deepEqual(told, ['A total of 2 possible duplicate images were found.', 'Use the arrow keys to go through them.']);
    const lines = await page.evaluate(() => window.statusLines);
    assert.ok(lines.includes('Searching for possible duplicates...'), JSON.stringify(lines));
    // The full name line, whatever the stored display type.
    assert.match((await nameLine(page)).name, /^file:\/\/.*  Size=\d+  \(60 x 90\)$/);
    await page.keyboard.press('ArrowRight');
    const second = await shownFile(page);
    assert.deepEqual([shortOf(first), shortOf(second)].sort(), ['copy.jpg', 'one.jpg']);
    await page.close();
  } finally {
    dups.remove();
  }
});

test('linked-picture mode shows the addresses left for it, and empties them', async () => {
  const addresses = [host.base + '/lm:start.gif', host.base + '/lm:help.gif'];
  await main.evaluate((text) => lm.Preference('+lmlkimg', text), addresses.join('\r'));
  const page = await browser.newPage();
  await page.goto(host.base + '/lm:&rsrc=mainimg&2=1&1=' + host.base + '/gallery.htm');
  await page.waitForFunction((want) => {
    const pic = document.getElementById('pic');
    return pic.style.visibility === 'visible' && pic.complete && pic.naturalWidth === 32 && pic.src === want;
  }, addresses[0], wait).catch(async (e) => {
    throw new Error(e.message + JSON.stringify(await page.evaluate(() => [document.getElementById('pic').src,
      document.getElementById('pic').style.visibility, lm.FileCount, lm.CurrentName, window.statusLines])));
  });
  assert.equal(await pref('+lmlkimg'), '');
  await page.keyboard.press('ArrowRight');
  await page.waitForFunction((want) => document.getElementById('pic').src === want &&
    document.getElementById('pic').complete, addresses[1], wait);
  await page.close();
});

test('full screen: the first key asks the browser for full screen, and no window place is kept', async () => {
  await main.evaluate((dir) => {
    lm.Preference('FullScreen', '1');
    lm.Preference('SelDir', dir);
    lm.Preference('Recusive', '1');
  }, pictures.path + '/');
  const opened = await openSlideshow(pictures.path);
  const page = opened.show;
  await waitForFile(page, order[0]);
  await page.keyboard.press('ArrowRight');
  await waitForFile(page, order[1]);
  await page.waitForFunction(() => document.fullscreenElement === document.documentElement, undefined, wait);
  // Full screen keeps no window place.
  await main.evaluate(() => lm.Preference('MainImg.Width', '123'));
  await closesWindow(page, () => page.keyboard.press('Space'));
  assert.equal(await pref('MainImg.Width'), '123');
  await main.evaluate(() => lm.Preference('FullScreen', '0'));
});
