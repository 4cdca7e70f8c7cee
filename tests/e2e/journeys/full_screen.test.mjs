// Full screen is its opener's choice: the main window's Slideshow opens full
// screen unless the options turned it off (a fresh profile has it on), while
// the duplicate and linked-picture slide shows open in a window at their
// stored place whatever the preference says, and stay there.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { copyFileSync } from 'node:fs';
import { join } from 'node:path';
import { closesWindow, launchBrowser, startHost, stopHost, tempFolder } from '../harness.mjs';
import { TREE, scanOrder, writePictures } from './fixtures.mjs';
import { answerFolderPrompt, pressButton, shownFile, wait, waitForFile, windowAt } from './page_helpers.mjs';

const FEATURES = 'tools=no,toolbar=no,location=no,directories=no,menubar=no,';

let home, pictures, dups, profile, host, browser, main;
let order = [];

before(async () => {
  home = tempFolder('lumorel-full-home-');
  pictures = tempFolder('lumorel-full-pictures-');
  dups = tempFolder('lumorel-full-dups-');
  profile = tempFolder('lumorel-full-profile-');
  host = await startHost(home.path, { builtInPages: true });
  browser = await launchBrowser(profile.path);
  await browser.addInitScript(countFullScreenRequests);
  const scratch = await browser.newPage();
  await writePictures(scratch, pictures.path, TREE.slice(0, 3));
  await writePictures(scratch, dups.path, [
    { path: 'one.jpg', width: 90, height: 60, colour: '#a04040' },
    { path: 'other.png', width: 50, height: 50, colour: '#4040a0' },
  ]);
  copyFileSync(join(dups.path, 'one.jpg'), join(dups.path, 'copy.jpg'));
  await scratch.close();
  order = scanOrder(pictures.path);
  main = await browser.newPage();
  await main.goto(host.address);
  await main.waitForFunction(() => window.lm && document.readyState === 'complete');
});

after(async () => {
  if (browser) await browser.close();
  if (host) {
    const { code, signal } = await stopHost(host);
    assert.equal(code, 0, `lumorel ended with ${code} ${signal}`);
  }
  for (const folder of [home, pictures, dups, profile]) if (folder) folder.remove();
});

// Counts, in window.fullScreenRequests, every request for full screen that
// a page makes. A window opened by a page keeps its first, empty document's
// window, so the count is set up once per window.
function countFullScreenRequests() {
  if (Element.prototype.requestFullscreen.counted) return;
  window.fullScreenRequests = 0;
  const ask = Element.prototype.requestFullscreen;
  Element.prototype.requestFullscreen = function () {
    window.fullScreenRequests++;
    return ask.apply(this, arguments);
  };
  Element.prototype.requestFullscreen.counted = true;
}

const pref = (key) => main.evaluate((k) => lm.Preference(k), key);
const setPrefs = (prefs) => main.evaluate((p) => {
  for (const key of Object.keys(p)) lm.Preference(key, p[key]);
}, prefs);

// The screen's free area, as the opener sees it (headless Chromium gives a
// window it opened a screen of the window's own size).
const screenSize = () => main.evaluate(() => ({ width: screen.availWidth, height: screen.availHeight }));

// Opens `url` from the main window as the page set's openers do, with
// `features` after the common part; the new window's page, its alerts
// accepted.
async function openFromMain(url, features) {
  const popup = main.waitForEvent('popup', wait);
  await main.evaluate(([u, f]) => { window.open(u, '', f); }, [url, FEATURES + features]);
  return acceptingAlerts(await popup);
}

function acceptingAlerts(page) {
  page.on('dialog', (d) => d.accept());
  return page;
}

async function inFullScreen(page) {
  return page.evaluate(() => document.fullscreenElement === document.documentElement);
}

test('a fresh profile\'s Slideshow fills the screen and goes full screen at the first key', async () => {
  assert.equal(await pref('FullScreen'), '');
  const popup = main.waitForEvent('popup', wait);
  await pressButton(main, 'slideshow');
  const show = acceptingAlerts(await popup);
  await show.waitForLoadState();
  const { width, height } = await screenSize();
  const place = { left: 0, top: 0, width, height };
  assert.deepEqual(await windowAt(show, place), place);

  // The key that answers the folder prompt is the first gesture.
  await answerFolderPrompt(show, pictures.path, { key: 'Enter' });
  await waitForFile(show, order[0]);
  // The first-time help (an alert) may take the window out of full screen;
  // the next key brings it back.
  await show.keyboard.press('ArrowRight');
  await waitForFile(show, order[1]);
  await show.waitForFunction(() => document.fullscreenElement === document.documentElement, undefined, wait);
  await closesWindow(show, () => show.keyboard.press('Escape'));
});

test('with full screen off, Slideshow opens at the stored place and stays a window', async () => {
  await setPrefs({ FullScreen: '0', 'MainImg.Top': '30', 'MainImg.Left': '40',
    'MainImg.Width': '500', 'MainImg.Height': '360' });
  const popup = main.waitForEvent('popup', wait);
  await pressButton(main, 'slideshow');
  const show = acceptingAlerts(await popup);
  await show.waitForLoadState();
  await answerFolderPrompt(show, pictures.path, { key: 'Enter' });
  await waitForFile(show, order[0]);
  await show.keyboard.press('ArrowRight');
  await waitForFile(show, order[1]);
  await show.mouse.click(10, 10);
  const place = { left: 40, top: 30, width: 500, height: 360 };
  assert.deepEqual(await windowAt(show, place), place);
  assert.equal(await show.evaluate(() => window.fullScreenRequests), 0);
  assert.equal(await inFullScreen(show), false);
  await closesWindow(show, () => show.keyboard.press('Space'));
});

// The two windows that are never full screen: opened as their openers open
// them, with "FullScreen" on, each is driven with keys and a click, and its
// place is stored where the window was, not at the screen's size.
const neverFullScreen = [
  {
    name: 'duplicate mode',
    url: 'lm:&rsrc=mainimg&1=&2=0&3=1',
    key: 'MainImg',
    features: 'resizable=yes,fullscreen=no,top=50,left=60,width=420,height=320',
    place: { left: 60, top: 50, width: 420, height: 320 },
    async start(show) {
      await answerFolderPrompt(show, dups.path, { key: 'Enter' });
      const first = await shownFile(show);
      await show.keyboard.press('ArrowRight');
      await show.waitForFunction((before) => {
        const pic = document.getElementById('pic');
        return pic.style.visibility === 'visible' && pic.complete &&
          decodeURIComponent(new URL(pic.src).searchParams.get('path')) !== before;
      }, first, wait);
    },
  },
  {
    name: 'linked-picture mode',
    url: null,  // needs the host's address
    key: 'WebImg',
    features: 'status=yes,resizable=yes,fullscreen=no,top=70,left=80,width=380,height=300',
    place: { left: 80, top: 70, width: 380, height: 300 },
    async start(show) {
      const [first, second] = [host.base + '/lm:start.gif', host.base + '/lm:help.gif'];
      const shows = (want) => show.waitForFunction((w) => {
        const pic = document.getElementById('pic');
        return pic.style.visibility === 'visible' && pic.complete && pic.src === w;
      }, want, wait);
      await shows(first);
      await show.keyboard.press('ArrowRight');
      await shows(second);
    },
  },
];

for (const c of neverFullScreen) {
  test(`${c.name} never goes full screen, whatever the preference`, async () => {
    await setPrefs({ FullScreen: '1', SelDir: pictures.path + '/', [c.key + '.Width']: '1',
      '+lmlkimg': [host.base + '/lm:start.gif', host.base + '/lm:help.gif'].join('\r') });
    const url = c.url || 'lm:&rsrc=mainimg&2=1&1=' + host.base + '/gallery.htm';
    const show = await openFromMain(url, c.features);
    await show.waitForLoadState();
    await c.start(show);
    await show.mouse.click(10, 10);
    assert.deepEqual(await windowAt(show, c.place), c.place);
    assert.equal(await show.evaluate(() => window.fullScreenRequests), 0);
    assert.equal(await inFullScreen(show), false);
    await closesWindow(show, () => show.keyboard.press('Space'));
    // The window's own place is kept, not the screen's. (Headless Chromium
    // reports a closing window's top and height up to a title bar off.)
    await main.waitForFunction((k) => lm.Preference(k + '.Width') !== '1', c.key, wait);
    const [left, top, width, height] = await Promise.all(['Left', 'Top', 'Width', 'Height'].map((f) => pref(c.key + '.' + f)));
    assert.deepEqual([left, width], [String(c.place.left), String(c.place.width)]);
    const near = (value, want) => value >= want - 40 && value <= want + 40;
    assert.ok(near(Number(top), c.place.top) && near(Number(height), c.place.height), `top ${top}, height ${height}`);
  });
}
