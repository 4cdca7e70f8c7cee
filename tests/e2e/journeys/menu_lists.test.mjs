// The list window of a page's linked pictures: "Dump Linked Images" shows
// each picture the right-clicked page links to with its name, a link back
// to the page that sends the right-clicked tab there, and a link that
// closes it; "Save Linked Images" asks for a folder and shows the pictures
// through the relay that saves each into it, refusing a folder that holds
// one of their names already.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { mkdirSync, readFileSync, readdirSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { closesWindow, tempFolder } from '../harness.mjs';
import { wait, windowAt } from './page_helpers.mjs';
import {
  GALLERY_PICTURES, GALLERY_SAVED, MENU_TEXTS, asShown, existsMessage, menuDone, navigationsOf, openMenuPage,
  snapshotOf, startMenuJourney, windowsOpened,
} from './menu_helpers.mjs';

let j, folders;

before(async () => {
  j = await startMenuJourney('menu-lists');
  folders = tempFolder('lumorel-menu-lists-folders-');
});

after(async () => {
  if (folders) folders.remove();
  if (!j) return;
  const { code, signal } = await j.end();
  assert.equal(code, 0, `lumorel ended with ${code} ${signal}`);
});

const shortName = (address) => address.slice(address.lastIndexOf('/') + 1);

// Opens the menu page `page` on `snapshot` in a window of 800 x 600 (its
// screen here); gives the snapshot's id, the menu page and the recorder of
// the windows it opens.
async function chooseEntry(page, snapshot) {
  const windows = windowsOpened(j.browser);
  const { id, menu } = await openMenuPage(j.main, j.host, { ...snapshot, page }, { width: 800, height: 600 });
  return { id, menu, windows };
}

// What the list window `list` shows, once every picture in it is complete:
// its title as written (the browser's document.title drops a trailing
// space), the text before the pictures, the back link, and each picture
// paragraph's picture address, tooltip, text and link.
async function listOf(list) {
  await list.waitForFunction(() => document.readyState === 'complete' &&
    Array.from(document.images).every((img) => img.complete && img.naturalWidth > 0), undefined, wait);
  return list.evaluate(() => {
    const back = document.getElementById('back');
    const style = (el) => getComputedStyle(el);
    return {
      title: document.querySelector('title').textContent,
      name: window.name,
      top: document.body.innerText.split('\n')[0],
      back: { text: back.textContent, href: back.href, color: style(back).color,
        underline: style(back).textDecorationLine },
      body: { color: style(document.body).color, background: style(document.body).backgroundColor,
        font: style(document.body).fontFamily },
      pictures: Array.from(document.querySelectorAll('p img'), (img) => ({
        src: img.src, title: img.title, text: img.closest('p').innerText.trim(),
        link: img.closest('a') && img.closest('a').href,
        centred: img.closest('p').align === 'center', ruled: img.closest('p').nextElementSibling.tagName === 'HR',
      })),
      close: { text: document.getElementById('close').textContent, color: style(document.getElementById('close')).color },
    };
  });
}

// The look every list window shares.
function assertListLook(shown) {
  assert.match(shown.name, /^LImg(\d+)$/);
  assert.ok(Number(shown.name.slice(4)) <= 10000, shown.name);
  assert.deepEqual(shown.body, { color: 'rgb(255, 255, 255)', background: 'rgb(0, 0, 0)', font: 'Verdana' });
  assert.equal(shown.back.color, 'rgb(255, 0, 0)');
  assert.equal(shown.back.underline, 'none');
  assert.deepEqual(shown.close, { text: MENU_TEXTS.close, color: 'rgb(255, 0, 0)' });
  assert.ok(shown.pictures.every((p) => p.centred && p.ruled), JSON.stringify(shown.pictures));
}

test('Dump Linked Images lists the picture links; a click on a picture sends the tab to it', async () => {
  j.dialogs.clear();
  const { id, menu, windows } = await chooseEntry('lm_listimg', await snapshotOf(j.tab, 'lm_listimg'));
  const list = await windows.next();
  await menuDone(menu);
  windows.stop();
  const navigations = navigationsOf(j.host, id);
  try {
    const shown = await listOf(list);
    assert.equal(shown.title, MENU_TEXTS.listTitle + 'Holiday Pictures');
    // A quarter of the screen wide, 100 pixels less than it high.
    const place = { left: 20, top: 20, width: 200, height: 500 };
    assert.deepEqual(await windowAt(list, place), place);
    assertListLook(shown);
    assert.equal(shown.top, '\u00a0' + MENU_TEXTS.backTo + 'Holiday Pictures');
    assert.equal(shown.back.href, `${j.site.base}/gallery.htm`);
    const addresses = GALLERY_PICTURES.map((p) => `${j.site.base}/${p}`);
    assert.deepEqual(shown.pictures.map((p) => ({ src: p.src, title: p.title, text: p.text, link: p.link })),
      addresses.map((a) => ({ src: a, title: shortName(a), text: shortName(a), link: a })));

    await closesWindow(list, () => list.locator('img[title="tiny.gif"]').click());
    assert.equal(await navigations.next(), `${j.site.base}/pictures/tiny.gif`);
  } finally {
    navigations.stop();
  }
  assert.deepEqual(j.dialogs.list, []);
});

test('Dump Linked Images: the back link sends the tab back to the page', async () => {
  const { id, menu, windows } = await chooseEntry('lm_listimg', await snapshotOf(j.tab, 'lm_listimg'));
  const list = await windows.next();
  await menuDone(menu);
  windows.stop();
  const navigations = navigationsOf(j.host, id);
  try {
    await listOf(list);
    await closesWindow(list, () => list.locator('#back').click());
    assert.equal(await navigations.next(), `${j.site.base}/gallery.htm`);
  } finally {
    navigations.stop();
  }
});

test('Dump Linked Images of a page without a title; its close link closes the list', async () => {
  j.dialogs.clear();
  await j.tab.goto(`${j.site.base}/untitled.htm`);
  const { menu, windows } = await chooseEntry('lm_listimg', await snapshotOf(j.tab, 'lm_listimg'));
  const list = await windows.next();
  await menuDone(menu);
  windows.stop();
  await j.tab.goto(`${j.site.base}/gallery.htm`);
  const shown = await listOf(list);
  assert.equal(shown.title, MENU_TEXTS.listTitle);
  assertListLook(shown);
  // The back link, with no title to show, shows the page's address.
  assert.equal(shown.back.text, `${j.site.base}/untitled.htm`);
  assert.deepEqual(shown.pictures.map((p) => p.text), ['river.png', 'tiny.gif']);
  // By the keyboard: Tab to "close", Enter.
  for (let i = 0; i < 10 && !(await list.evaluate(() => document.activeElement.id === 'close')); ++i) {
    await list.keyboard.press('Tab');
  }
  await closesWindow(list, () => list.keyboard.press('Enter'));
  assert.deepEqual(j.dialogs.list, []);
});

// Pages with nothing to list or save: the alert, and no window.
const nothingToList = [
  { name: 'Dump Linked Images, a page whose links lead elsewhere', page: 'lm_listimg', web: 'nopictures.htm' },
  { name: 'Save Linked Images, a page whose picture links are all ".jpe"', page: 'lm_listimgsave',
    links: (base) => [`${base}/pictures/scan.jpe`, `${base}/index.htm`] },
  // The relay fetches only over http and https.
  { name: 'Save Linked Images, a page opened from a file', page: 'lm_listimgsave',
    url: 'file:///home/someone/album.htm', links: () => ['file:///home/someone/a.jpg', 'file:///home/someone/b.png'] },
];

for (const c of nothingToList) {
  test(`${c.name}: nothing to list`, async () => {
    j.dialogs.clear();
    if (c.web) await j.tab.goto(`${j.site.base}/${c.web}`);
    const snapshot = await snapshotOf(j.tab, c.page);
    if (c.url) snapshot.document.url = c.url;
    if (c.links) snapshot.document.links = c.links(j.site.base);
    const { menu, windows } = await chooseEntry(c.page, snapshot);
    await menuDone(menu);
    windows.stop();
    await j.tab.goto(`${j.site.base}/gallery.htm`);
    assert.deepEqual(j.dialogs.list, [{ type: 'alert', message: asShown(MENU_TEXTS.noLinks) }]);
    assert.deepEqual(windows.list, []);
  });
}

// Answers the folder prompt open in `page` with `folder` by the keyboard:
// Tab to the path field, type the path, Enter. Gives the folder the prompt
// started in.
async function answerPromptByKeys(page, folder) {
  const prompt = page.locator('[data-dialog="200"][data-folder]');
  await prompt.waitFor(wait);
  const started = await prompt.getAttribute('data-folder');
  assert.match(await prompt.innerText(), new RegExp('^' + MENU_TEXTS.savePrompt + '\n'));
  for (let i = 0; i < 10 && !(await page.evaluate(() => document.activeElement.name === 'path')); ++i) {
    await page.keyboard.press('Tab');
  }
  await page.keyboard.type(folder);
  await page.keyboard.press('Enter');
  return started;
}

function filesIn(folder) {
  return Object.fromEntries(readdirSync(folder).sort().map((name) => [name, readFileSync(join(folder, name))]));
}

test('Save Linked Images saves each picture link but ".jpe" into the folder chosen by the keyboard', async () => {
  j.dialogs.clear();
  const start = join(folders.path, 'last time');
  const folder = join(folders.path, 'saved pictures \u00e9t\u00e9');
  mkdirSync(start);
  mkdirSync(folder);
  await j.setPrefs({ SaveImagesDir: start + '/' });
  j.dialogs.answer(true);
  const gallery = `${j.site.base}/gallery.htm`;
  const { id, menu, windows } = await chooseEntry('lm_listimgsave', await snapshotOf(j.tab, 'lm_listimgsave'));
  assert.equal(await answerPromptByKeys(menu, folder), start + '/');
  const list = await windows.next();
  await menuDone(menu);
  windows.stop();
  assert.deepEqual(j.dialogs.list, [{ type: 'confirm', message: asShown(MENU_TEXTS.saveQuestion) }]);
  assert.equal(await j.pref('SaveImagesDir'), folder + '/');

  const shown = await listOf(list);
  assert.equal(shown.title, MENU_TEXTS.savedListTitle + 'Holiday Pictures');
  assertListLook(shown);
  assert.deepEqual(shown.pictures.map((p) => ({ title: p.title, text: p.text, link: p.link })),
    GALLERY_SAVED.map((p) => ({ title: shortName(p), text: shortName(p), link: `${j.site.base}/${p}` })));
  // Each shown through the host's relay, which saved it as it came.
  for (const p of shown.pictures) assert.ok(p.src.startsWith(`${j.host.base}/lm:&save=`), p.src);
  const saved = filesIn(folder);
  assert.deepEqual(Object.keys(saved), GALLERY_SAVED.map(shortName).sort());
  for (const p of GALLERY_SAVED) {
    assert.ok(saved[shortName(p)].equals(readFileSync(join(j.web, p))), `${shortName(p)} is saved as served`);
  }

  // The back link by the keyboard: Tab to it, Enter.
  const navigations = navigationsOf(j.host, id);
  try {
    for (let i = 0; i < 10 && !(await list.evaluate(() => document.activeElement.id === 'back')); ++i) {
      await list.keyboard.press('Tab');
    }
    await closesWindow(list, () => list.keyboard.press('Enter'));
    assert.equal(await navigations.next(), gallery);
  } finally {
    navigations.stop();
  }
});

test('Save Linked Images refuses a folder that holds a file of a picture\'s name, and writes nothing', async () => {
  j.dialogs.clear();
  const folder = join(folders.path, 'holds a river');
  mkdirSync(folder);
  writeFileSync(join(folder, 'river.png'), 'my own river\n');
  const before = filesIn(folder);
  j.dialogs.answer(true);
  const { menu, windows } = await chooseEntry('lm_listimgsave', await snapshotOf(j.tab, 'lm_listimgsave'));
  await answerPromptByKeys(menu, folder);
  await j.dialogs.until(2);
  await menuDone(menu);
  windows.stop();
  assert.deepEqual(j.dialogs.list, [
    { type: 'confirm', message: asShown(MENU_TEXTS.saveQuestion) },
    { type: 'alert', message: asShown(existsMessage(folder + '/river.png')) },
  ]);
  assert.deepEqual(windows.list, []);
  assert.deepEqual(filesIn(folder), before);
});

// Declining the question, or the folder prompt (Esc): nothing is asked
// further, stored, opened or written.
for (const c of [
  { name: 'the question declined', answer: false },
  { name: 'the folder prompt cancelled with Esc', answer: true, cancel: true },
]) {
  test(`Save Linked Images with ${c.name} does nothing`, async () => {
    j.dialogs.clear();
    const folder = join(folders.path, `untouched ${c.answer}`);
    mkdirSync(folder);
    await j.setPrefs({ SaveImagesDir: folder + '/' });
    j.dialogs.answer(c.answer);
    const { menu, windows } = await chooseEntry('lm_listimgsave', await snapshotOf(j.tab, 'lm_listimgsave'));
    if (c.cancel) {
      await menu.locator('[data-dialog="200"][data-folder]').waitFor(wait);
      await menu.keyboard.press('Escape');
    }
    await menuDone(menu);
    windows.stop();
    assert.deepEqual(j.dialogs.list, [{ type: 'confirm', message: asShown(MENU_TEXTS.saveQuestion) }]);
    assert.deepEqual(windows.list, []);
    assert.equal(await j.pref('SaveImagesDir'), folder + '/');
    assert.deepEqual(readdirSync(folder), []);
  });
}
