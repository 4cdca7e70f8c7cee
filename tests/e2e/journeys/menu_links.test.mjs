// The page context menu's entries that take the right-clicked page's
// picture links to the engine: "Slideshow all Linked Images" shows them as a
// slide show in a window of its own (or says the page has none),
// "Preload Linked Images" asks, then has them kept offline.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { existsSync, readdirSync, readFileSync } from 'node:fs';
import { join } from 'node:path';
import { closesWindow } from '../harness.mjs';
import { wait, windowAt } from './page_helpers.mjs';
import {
  GALLERY_PICTURES, MENU_TEXTS, asShown, menuDone, openMenuPage, snapshotOf, startMenuJourney, windowsOpened,
} from './menu_helpers.mjs';

let j;

before(async () => {
  j = await startMenuJourney('menu-links');
});

after(async () => {
  if (!j) return;
  const { code, signal } = await j.end();
  assert.equal(code, 0, `lumorel ended with ${code} ${signal}`);
});

// Waits until the slide show `show` shows a complete picture other than
// `previous`, and gives its address.
async function nextShown(show, previous) {
  await show.waitForFunction((before) => {
    const pic = document.getElementById('pic');
    return pic.style.visibility === 'visible' && pic.complete && pic.naturalWidth > 0 && pic.src !== before;
  }, previous, wait);
  return show.evaluate(() => document.getElementById('pic').src);
}

// The slide show opens where it was last (the "WebImg" place), or, with no
// place stored, at an eighth of the screen from its corner and half its
// size: the menu page's window of 800 x 600 is its screen here.
const placements = [
  { name: 'at its default place', prefs: { 'WebImg.Width': '' }, place: { left: 100, top: 75, width: 400, height: 300 } },
  {
    name: 'where it was last',
    prefs: { 'WebImg.Top': '30', 'WebImg.Left': '40', 'WebImg.Width': '420', 'WebImg.Height': '320' },
    place: { left: 40, top: 30, width: 420, height: 320 },
  },
];

for (const c of placements) {
  test(`Slideshow all Linked Images shows the page's picture links in order, ${c.name}`, async () => {
    j.dialogs.clear();
    await j.setPrefs(c.prefs);
    const windows = windowsOpened(j.browser);
    const { menu } = await openMenuPage(j.main, j.host, await snapshotOf(j.tab, 'lm_links'));
    const show = await windows.next();
    await menuDone(menu);
    windows.stop();
    // Linked mode, with the page's address as insert 1.
    assert.equal(decodeURI(show.url()), `${j.host.base}/lm:&rsrc=mainimg&2=1&1=${j.site.base}/gallery.htm`);
    assert.deepEqual(await windowAt(show, c.place), c.place);

    const shown = [await nextShown(show, '')];
    for (let i = 1; i < GALLERY_PICTURES.length; ++i) {
      await show.keyboard.press('ArrowRight');
      shown.push(await nextShown(show, shown[i - 1]));
    }
    assert.deepEqual(shown, GALLERY_PICTURES.map((p) => `${j.site.base}/${p}`));
    assert.equal(await show.evaluate(() => lm.FileCount), GALLERY_PICTURES.length);
    // The list was handed over and emptied.
    assert.equal(await j.pref('+lmlkimg'), '');
    // Closing stores where the window was, for the next time.
    await j.setPrefs({ 'WebImg.Width': '1' });
    await closesWindow(show, () => show.keyboard.press('Escape'));
    await j.main.waitForFunction(() => lm.Preference('WebImg.Width') !== '1', undefined, wait);
    assert.equal(await j.pref('WebImg.Width'), String(c.place.width));
    assert.deepEqual(windows.list, [show]);
    assert.deepEqual(j.dialogs.list, []);
  });
}

// Pages the two entries refuse: one whose links lead elsewhere, and one
// without links.
const withoutPictureLinks = [
  { name: 'links that lead elsewhere', page: 'nopictures.htm' },
  { name: 'no links at all', page: 'nopictures.htm', links: [] },
];

for (const c of withoutPictureLinks) {
  test(`Slideshow all Linked Images refuses a page with ${c.name}`, async () => {
    j.dialogs.clear();
    await j.setPrefs({ '+lmlkimg': 'left from before' });
    await j.tab.goto(`${j.site.base}/${c.page}`);
    const snapshot = await snapshotOf(j.tab, 'lm_links');
    if (c.links) snapshot.document.links = c.links;
    const windows = windowsOpened(j.browser);
    const { menu } = await openMenuPage(j.main, j.host, snapshot);
    await j.dialogs.until(1);
    await menuDone(menu);
    windows.stop();
    assert.deepEqual(j.dialogs.list, [{ type: 'alert', message: asShown(MENU_TEXTS.slideshowNoLinks) }]);
    assert.deepEqual(windows.list, []);
    assert.equal(await j.pref('+lmlkimg'), 'left from before');
    await j.setPrefs({ '+lmlkimg': '' });
    await j.tab.goto(`${j.site.base}/gallery.htm`);
  });
}

// The calls the browser's pages make to their controls: member and
// arguments.
function recordCalls(browser) {
  const calls = [];
  const seen = (request) => {
    if (request.method() !== 'POST' || !/\/\.lumorel\/controls\/[0-9a-f]{16}\/call$/.test(request.url())) return;
    const { member, args } = request.postDataJSON();
    calls.push({ member, args });
  };
  browser.on('request', seen);
  return { calls, stop: () => browser.off('request', seen) };
}

const preloadAnswers = [
  { answer: true, name: 'agreed to, has the page kept offline one level deep', scrapes: (url) => [[url, 1, true]] },
  { answer: false, name: 'declined, does nothing', scrapes: () => [] },
];

for (const c of preloadAnswers) {
  test(`Preload Linked Images, ${c.name}`, async () => {
    j.dialogs.clear();
    j.dialogs.answer(c.answer);
    const recorder = recordCalls(j.browser);
    const windows = windowsOpened(j.browser);
    const { menu } = await openMenuPage(j.main, j.host, await snapshotOf(j.tab, 'lm_scrape'));
    await menuDone(menu);
    windows.stop();
    recorder.stop();
    assert.deepEqual(j.dialogs.list, [{ type: 'confirm', message: asShown(MENU_TEXTS.preloadQuestion) }]);
    const scrapes = recorder.calls.filter((call) => call.member === 'ScrapeUrl');
    assert.deepEqual(scrapes.map((call) => call.args), c.scrapes(`${j.site.base}/gallery.htm`));
    assert.deepEqual(windows.list, []);
    if (c.answer) {
      // The offline copy: the page and the pictures it links to, as the
      // copy's index lists them once it is whole.
      const copied = await offlineCopyIndex(j.home, 10000);
      for (const part of ['/gallery.htm', '/pictures/photo.JPG', '/pictures/river.png']) {
        assert.ok(copied.some((line) => line.endsWith(part)), `${part} in ${copied.join(', ')}`);
      }
    }
  });
}

// The lines of the index of the one offline copy in the user's cache below
// `home`, once there is one; fails after `bound` milliseconds.
async function offlineCopyIndex(home, bound) {
  const store = join(home, 'cache', 'lumorel', 'offline');
  const until = Date.now() + bound;
  for (;;) {
    const subscriptions = existsSync(store) ? readdirSync(store) : [];
    const index = subscriptions.map((s) => join(store, s, 'copy', 'index')).find((f) => existsSync(f));
    if (index) return readFileSync(index, 'utf8').split('\n').filter((l) => l);
    if (Date.now() > until) throw new Error(`no offline copy in ${store}`);
    await new Promise((resolve) => setTimeout(resolve, 50));  // look again
  }
}
