// The single-picture window from the context menu: "Resize This Image" on
// a picture opens it in a window of its size (the screen's at most), "Open
// Linked Image" on a link opens the picture it leads to; each refuses
// anything else. The window fits its picture, enlarged until "-", takes the
// picture's title (or its file name, or the link's address), opens the
// keys dialog on F1, closes on Esc or Space and remembers its place.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { closesWindow } from '../harness.mjs';
import { dialogFrame, dialogGone, expectedBox, pictureBox, wait, windowAt } from './page_helpers.mjs';
import {
  MENU_TEXTS, asShown, menuDone, openMenuPage, snapshotOf, startMenuJourney, windowOf, windowsOpened,
} from './menu_helpers.mjs';

let j;

before(async () => {
  j = await startMenuJourney('menu-resize');
});

after(async () => {
  if (!j) return;
  const { code, signal } = await j.end();
  assert.equal(code, 0, `lumorel ended with ${code} ${signal}`);
});

// Waits until the single-picture window `show` shows its picture complete,
// and gives the picture's address.
async function shownPicture(show) {
  await show.waitForFunction(() => {
    const pic = document.getElementById('pic');
    return pic.style.visibility === 'visible' && pic.complete && pic.naturalWidth > 0;
  }, undefined, wait);
  return show.evaluate(() => document.getElementById('pic').src);
}

async function assertFitted(show, enlarge) {
  const { box, inner, natural } = await pictureBox(show);
  assert.deepEqual(box, expectedBox(inner, natural, enlarge));
}

// Right-clicks `selector` of the gallery (none: the page itself) for the
// menu page `page`, in a menu window of `screen`. When `opens`, gives the
// window the menu page opens, once its page has loaded; else makes sure it
// opens none. The menu page has closed by then.
async function chooseEntry(page, selector, screen, opens = true) {
  const windows = windowsOpened(j.browser);
  try {
    const { menu } = await openMenuPage(j.main, j.host, await snapshotOf(j.tab, page, selector), screen);
    const shown = opens ? await windows.next() : null;
    await menuDone(menu);
    if (!opens) assert.deepEqual(windows.list, [], 'no window opens');
    return shown;
  } finally {
    windows.stop();
  }
}

// Closes the single-picture window `show` with `key`, and waits until it
// has stored its place under `windowKey`: gives that place's width.
async function closeAndStore(show, key, windowKey) {
  await j.setPrefs({ [windowKey + '.Width']: '1' });
  await closesWindow(show, () => show.keyboard.press(key));
  await j.main.waitForFunction((k) => lm.Preference(k + '.Width') !== '1', windowKey, wait);
  return Number(await j.pref(windowKey + '.Width'));
}

for (const c of [
  { name: 'the page itself', selector: null },
  { name: 'a paragraph', selector: '#words' },
  { name: 'a link', selector: '#to-river' },
]) {
  test(`Resize This Image refuses ${c.name}`, async () => {
    j.dialogs.clear();
    await chooseEntry('lm_resize', c.selector, undefined, false);
    assert.deepEqual(j.dialogs.list, [{ type: 'alert', message: asShown(MENU_TEXTS.notAPicture) }]);
  });
}

// The window is the picture's size, ten pixels taller, at most the screen's
// (the menu window's size here), at a sixteenth of the screen from its
// corner or where it was last. Its title is the picture's, or else the
// picture's file name.
const resized = [
  {
    name: 'a picture without a title, at its default place, closed with Esc',
    selector: '#small', screen: { width: 800, height: 600 }, prefs: { 'ResizeImg.Top': '' },
    place: { left: 50, top: 37, width: 320, height: 250 }, title: 'photo.JPG', key: 'Escape',
  },
  {
    name: 'a picture larger than the screen, at the screen\'s size, closed with Space',
    selector: '#big', screen: { width: 1024, height: 768 }, prefs: { 'ResizeImg.Top': '' },
    size: { width: 1024, height: 768 }, title: 'Big one', key: 'Space',
  },
  {
    name: 'a picture where the window was last',
    selector: '#small', screen: { width: 800, height: 600 }, prefs: { 'ResizeImg.Top': '30', 'ResizeImg.Left': '40' },
    place: { left: 40, top: 30, width: 320, height: 250 }, title: 'photo.JPG', key: 'Escape',
  },
];

for (const c of resized) {
  test(`Resize This Image shows ${c.name}`, async () => {
    j.dialogs.clear();
    await j.setPrefs(c.prefs);
    const src = await j.tab.evaluate((s) => document.querySelector(s).src, c.selector);
    const title = await j.tab.evaluate((s) => document.querySelector(s).title, c.selector);
    const show = await chooseEntry('lm_resize', c.selector, c.screen);
    assert.equal(decodeURI(show.url()), `${j.host.base}/lm:&rsrc=resizeimg&3=1&2=${title}&1=${src}`);
    const place = await windowOf(show);
    if (c.place) assert.deepEqual(place, c.place);
    else assert.deepEqual({ width: place.width, height: place.height }, c.size);
    assert.equal(await shownPicture(show), src);
    assert.equal(await show.title(), c.title);
    await assertFitted(show, true);
    assert.equal(await closeAndStore(show, c.key, 'ResizeImg'), place.width);
    assert.deepEqual(j.dialogs.list, []);
  });
}

for (const c of [
  { name: 'a link to a page that takes a picture\'s name', selector: '#to-small-photo' },
  { name: 'a picture that is no link', selector: '#small' },
  { name: 'the page itself', selector: null },
]) {
  test(`Open Linked Image refuses ${c.name}`, async () => {
    j.dialogs.clear();
    await chooseEntry('lm_openresize', c.selector, undefined, false);
    assert.deepEqual(j.dialogs.list, [{ type: 'alert', message: asShown(MENU_TEXTS.notAPictureLink) }]);
  });
}

test('Open Linked Image shows the linked picture fitted, "-" and "+" set it back and enlarge it, F1 shows the keys', async () => {
  j.dialogs.clear();
  await j.setPrefs({ 'OpenResizeImg.Width': '' });
  const address = `${j.site.base}/pictures/river.png`;
  const show = await chooseEntry('lm_openresize', '#to-river', { width: 800, height: 600 });
  assert.equal(decodeURI(show.url()), `${j.host.base}/lm:&rsrc=resizeimg&3=2&2=${address}&1=${address}`);
  // At an eighth of the screen from its corner, half the screen's size.
  const place = { left: 100, top: 75, width: 400, height: 300 };
  assert.deepEqual(await windowAt(show, place), place);
  assert.equal(await shownPicture(show), address);
  assert.equal(await show.title(), address);
  await assertFitted(show, true);
  assert.notEqual((await pictureBox(show)).box.width, 200, 'enlarged from the start');

  for (const k of [
    { key: '-', enlarge: false }, { key: '+', enlarge: true },
    { key: 'NumpadSubtract', enlarge: false }, { key: 'NumpadAdd', enlarge: true },
  ]) {
    await show.keyboard.press(k.key);
    await assertFitted(show, k.enlarge);
  }
  // A smaller window: the picture is fitted again.
  await show.setViewportSize({ width: 300, height: 200 });
  await show.waitForFunction(() => parseInt(document.getElementById('pic').style.width, 10) < 290, undefined, wait);
  await assertFitted(show, true);

  await show.keyboard.press('F1');
  const keys = await dialogFrame(show, 'keys');
  assert.equal(await keys.title(), 'Lumorel Help');
  await show.keyboard.press('Enter');
  await dialogGone(show);
  // Nothing was stored but the place.
  assert.equal(await j.pref('GrowImg'), '');
  assert.ok(await closeAndStore(show, 'Space', 'OpenResizeImg') > 0);
  assert.deepEqual(j.dialogs.list, []);
});

test('Open Linked Image opens where the window was last', async () => {
  await j.setPrefs({ 'OpenResizeImg.Width': '360', 'OpenResizeImg.Height': '280', 'OpenResizeImg.Top': '20',
    'OpenResizeImg.Left': '30' });
  const show = await chooseEntry('lm_openresize', '#to-tiny', { width: 800, height: 600 });
  const place = { left: 30, top: 20, width: 360, height: 280 };
  assert.deepEqual(await windowAt(show, place), place);
  assert.equal(await shownPicture(show), `${j.site.base}/pictures/tiny.gif`);
  await closesWindow(show, () => show.keyboard.press('Escape'));
});
