// The slide show's lines of text as the user reads them: the name line's
// dimensions belong to the picture it names, the status line goes on
// counting when a folder had no pictures, and the timer counts down from
// the seconds the options could store.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { mkdirSync, statSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { closesWindow, launchBrowser, startHost, stopHost, tempFolder } from '../harness.mjs';
import { TREE, scanOrder, writePictures } from './fixtures.mjs';
import { dialogFrame, dialogGone, openSlideshow as openShow, pressButton, wait, waitForFile } from './page_helpers.mjs';

let home, pictures, empty, profile, host, browser, main;
let order = [];

before(async () => {
  home = tempFolder('lumorel-status-home-');
  pictures = tempFolder('lumorel-status-pictures-');
  empty = tempFolder('lumorel-status-empty-');
  profile = tempFolder('lumorel-status-profile-');
  writeFileSync(join(empty.path, 'notes.txt'), 'no pictures here\n');
  mkdirSync(join(empty.path, 'inner'));
  host = await startHost(home.path, { builtInPages: true });
  browser = await launchBrowser(profile.path);
  await browser.addInitScript(countStatusWrites);
  const scratch = await browser.newPage();
  await writePictures(scratch, pictures.path, TREE.slice(0, 3));
  await scratch.close();
  order = scanOrder(pictures.path);
  main = await browser.newPage();
  await main.setViewportSize({ width: 300, height: 300 });
  await main.goto(host.address);
  await main.waitForFunction(() => window.lm && document.readyState === 'complete');
  // A folder chosen before (no first-time help), in a window.
  await main.evaluate((dir) => {
    lm.Preference('SelDir', dir);
    lm.Preference('FullScreen', '0');
    lm.Preference('Recusive', '1');
  }, pictures.path + '/');
});

after(async () => {
  if (browser) await browser.close();
  if (host) {
    const { code, signal } = await stopHost(host);
    assert.equal(code, 0, `lumorel ended with ${code} ${signal}`);
  }
  for (const folder of [home, pictures, empty, profile]) if (folder) folder.remove();
});

// Counts the writes to the slide show's status line in window.statusWrites,
// and notes in window.statusWritesAtAlert how many there were when the
// page last showed an alert.
function countStatusWrites() {
  window.statusWrites = 0;
  window.statusWritesAtAlert = -1;
  const alert = window.alert;
  window.alert = function (message) {
    window.statusWritesAtAlert = window.statusWrites;
    return alert.call(window, message);
  };
  window.addEventListener('DOMContentLoaded', () => {
    const status = document.getElementById('statusText');
    if (!status) return;
    new MutationObserver((records) => { window.statusWrites += records.length; })
      .observe(status, { childList: true, characterData: true, subtree: true });
  });
}

const setPrefs = (prefs) => main.evaluate((p) => {
  for (const key of Object.keys(p)) lm.Preference(key, p[key]);
}, prefs);
const pref = (key) => main.evaluate((k) => lm.Preference(k), key);

// Opens the slide show from the main window and answers its prompt with
// `folder` by a key.
const openSlideshow = (folder) => openShow(main, folder, { key: 'Enter' });

const nameText = (show) => show.evaluate(() => document.getElementById('nameText').innerText);

function sizeText(n) {
  if (n <= 10240) return String(n);
  const k = n / 1024;
  return Math.floor(k) + '.' + Math.floor((k - Math.floor(k)) * 10) + 'k';
}

function fixtureOf(file) {
  return TREE.find((p) => join(pictures.path, p.path) === file);
}

// The full name line of `file` without, and with, its dimensions.
function fullLine(file) {
  const bare = `file://${file}  Size=${sizeText(statSync(file).size)}`;
  const p = fixtureOf(file);
  return { bare, complete: `${bare}  (${p.height} x ${p.width})` };
}

test('while the next picture loads, the name line names it without the dimensions of the one before', async () => {
  await setPrefs({ DisplayType: '2', Timer: '0' });
  // The next picture's bytes wait until the test lets them go.
  const held = [];
  let release = null;
  const released = new Promise((resolve) => { release = resolve; });
  const next = order[1];
  const isNext = (url) => url.pathname === '/.lumorel/picture' && url.searchParams.get('path') === next;
  await browser.route(isNext, async (route) => {
    held.push(route);
    await released;
    await route.continue();
  });
  try {
    const { show } = await openSlideshow(pictures.path);
    await waitForFile(show, order[0]);
    const first = fullLine(order[0]);
    await show.waitForFunction((want) => document.getElementById('nameText').innerText === want,
      first.complete, wait);

    await show.keyboard.press('ArrowRight');
    const second = fullLine(next);
    await show.waitForFunction((want) => document.getElementById('nameText').innerText === want,
      second.bare, wait).catch(async (e) => {
      throw new Error(`${e.message}: the name line reads ${JSON.stringify(await nameText(show))}`);
    });
    assert.equal(held.length > 0, true, 'the next picture was asked for');

    release();
    await waitForFile(show, next);
    await show.waitForFunction((want) => document.getElementById('nameText').innerText === want,
      second.complete, wait);
    await closesWindow(show, () => show.keyboard.press('Escape'));
  } finally {
    release();
    await browser.unroute(isNext);
  }
});

test('after a folder without pictures, the heartbeat goes on showing the count under the new prompt', async () => {
  await setPrefs({ DisplayType: '1' });
  const { show, alerts } = await openSlideshow(empty.path);
  const prompt = show.locator('[data-dialog="200"]');
  await prompt.waitFor(wait);
  assert.deepEqual(alerts, ['No image files where found in the selected folder.\nor sub-folders.\nSelect a different folder and try again.']);
  // Written again and again after the message, as the heartbeat ticks.
  await show.waitForFunction(() => window.statusWritesAtAlert >= 0 &&
    window.statusWrites >= window.statusWritesAtAlert + 2 &&
    document.getElementById('statusText').innerText === 'Loading (0)...', undefined, wait);
  await closesWindow(show, () => prompt.locator('button[name="cancel"]').press('Escape'));
});

test('the options keep the stored seconds for a field that is not a whole number, and the timer counts from them', async () => {
  await setPrefs({ TimerSec: '1', Timer: '0', DisplayType: '1' });
  // What the user types, and the seconds stored after OK (Enter).
  const cases = [
    ['abc', '1'], ['2.5', '1'], ['-3', '1'], ['1e1', '1'], [' ', '1'], ['0', '1'], ['007', '007'],
    ['1', '1'],
  ];
  for (const [typed, stored] of cases) {
    await pressButton(main, 'options');
    const options = await dialogFrame(main, 'options');
    await options.locator('#timerSec').fill(typed);
    await options.locator('#timerSec').press('Enter');
    await dialogGone(main);
    assert.equal(await pref('TimerSec'), stored, `typed ${JSON.stringify(typed)}`);
  }

  // The stored second: the count shows it and the show moves on.
  await setPrefs({ Timer: '1' });
  const { show } = await openSlideshow(pictures.path);
  await waitForFile(show, order[0]);
  await show.waitForFunction(() => /^Timer: [01]$/.test(document.getElementById('timerText').innerText),
    undefined, wait);
  await waitForFile(show, order[1]);
  await closesWindow(show, () => show.keyboard.press('Escape'));
  await setPrefs({ Timer: '0' });
});
