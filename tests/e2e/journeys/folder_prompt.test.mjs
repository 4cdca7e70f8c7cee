// The slide show's folder prompt, used from the keyboard: where it opens, a
// path typed or pasted into it, Tab completing a folder's name, and what it
// says of a path that is no folder it can show.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { chmodSync, mkdirSync, readdirSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { closesWindow, launchBrowser, startHost, stopHost, tempFolder } from '../harness.mjs';
import { TREE, scanOrder, writePictures } from './fixtures.mjs';
import { pressButton, wait, waitForFile } from './page_helpers.mjs';

let home, user, pictures, profile, host, browser, main;

before(async () => {
  home = tempFolder('lumorel-prompt-home-');
  // The user's home folder, as the host is told it.
  user = tempFolder('lumorel-prompt-user-');
  pictures = tempFolder('lumorel-prompt-pictures-');
  profile = tempFolder('lumorel-prompt-profile-');
  mkdirSync(join(user.path, 'Pictures'));
  mkdirSync(join(pictures.path, 'empty'));
  writeFileSync(join(pictures.path, 'notes.txt'), 'no folder\n');
  const ownHome = process.env.HOME;
  process.env.HOME = user.path;
  try {
    host = await startHost(home.path, { builtInPages: true });
  } finally {
    process.env.HOME = ownHome;
  }
  browser = await launchBrowser(profile.path);
  const scratch = await browser.newPage();
  await writePictures(scratch, pictures.path, TREE);
  await scratch.close();
  main = await browser.newPage();
  await main.setViewportSize({ width: 300, height: 300 });
  await main.goto(host.address);
  await main.waitForFunction(() => window.lm && document.readyState === 'complete');
  await main.evaluate(() => {
    lm.Preference('FullScreen', '0');
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
  for (const folder of [home, user, pictures, profile]) if (folder) folder.remove();
});

const folderOf = (path) => (path.endsWith('/') ? path : path + '/');
const promptAt = (page, folder) => page.locator(`[data-dialog="200"][data-folder="${folderOf(folder)}"]`);
const focused = (page) => page.evaluate(() => document.activeElement && document.activeElement.name);
const pathField = (page) => page.locator('[data-dialog="200"] input[name="path"]');
const problem = (page) => page.locator('[data-dialog="200"] [role="alert"]');

// Opens the slide show from the main window, the folder "SelDir" being
// `selDir`; gives its page, which accepts its alerts.
async function openSlideshow(selDir) {
  await main.evaluate((dir) => lm.Preference('SelDir', dir), selDir);
  const popup = main.waitForEvent('popup', wait);
  await pressButton(main, 'slideshow');
  const show = await popup;
  show.on('dialog', (d) => d.accept());
  return show;
}

// From the prompt's OK, where it opens, to its path field, with everything
// in it selected.
async function toPathField(show) {
  assert.equal(await focused(show), 'ok');
  await show.keyboard.press('Shift+Tab');
  await show.keyboard.press('Shift+Tab');
  await show.keyboard.press('Shift+Tab');
  assert.equal(await focused(show), 'path');
  await show.keyboard.press('Control+A');
}

test('the prompt opens in the folder asked for, its nearest parent that is there, or the home folder', async () => {
  const cases = [
    { selDir: join(pictures.path, 'sub1') + '/', opens: join(pictures.path, 'sub1'), why: 'the last folder' },
    { selDir: join(pictures.path, 'gone', 'deeper') + '/', opens: pictures.path, why: 'a folder gone since' },
    { selDir: join(pictures.path, 'notes.txt') + '/', opens: pictures.path, why: 'a file where the folder was' },
    // A fresh profile: the page asks for "C:\".
    { selDir: '', opens: user.path, why: 'a Windows folder' },
  ];
  for (const c of cases) {
    const show = await openSlideshow(c.selDir);
    await promptAt(show, c.opens).waitFor(wait);
    assert.equal(await pathField(show).inputValue(), folderOf(c.opens), c.why);
    assert.equal(await problem(show).innerText(), '', c.why);
    await closesWindow(show, () => show.keyboard.press('Escape'));
  }
});

test('after a folder without pictures the new prompt opens in the home folder', async () => {
  const show = await openSlideshow(join(pictures.path, 'empty') + '/');
  await promptAt(show, join(pictures.path, 'empty')).waitFor(wait);
  const told = show.waitForEvent('dialog', wait);
  await show.keyboard.press('Enter');
  assert.match((await told).message(), /^No image files where found in the selected folder\./);
  await promptAt(show, user.path).waitFor(wait);
  // The texts of the prompt as they stand.
  const prompt = show.locator('[data-dialog="200"]');
  assert.match(await prompt.innerText(), /^Select folder to display image\n[\s\S]*Directories:[\s\S]*Drives:/);
  assert.deepEqual(await prompt.locator('button').allInnerTexts(), ['OK', 'Cancel']);
  await closesWindow(show, () => show.keyboard.press('Escape'));
});

test('a typed path is taken when it is a folder, and told when it is not', async () => {
  const show = await openSlideshow(pictures.path + '/');
  await promptAt(show, pictures.path).waitFor(wait);
  await toPathField(show);

  const refused = [
    { typed: join(pictures.path, 'nothing', 'here'), says: 'No folder of this name exists.' },
    { typed: join(pictures.path, 'notes.txt'), says: 'This is a file, not a folder.' },
    { typed: '   ', says: 'No folder of this name exists.' },
  ];
  for (const r of refused) {
    await show.keyboard.press('Control+A');
    await show.keyboard.type(r.typed);
    await show.keyboard.press('Enter');
    await show.locator('[data-dialog="200"] [role="alert"]', { hasText: r.says }).waitFor(wait);
    // The prompt stays where it was, the typed text as typed.
    await promptAt(show, pictures.path).waitFor(wait);
    assert.equal(await pathField(show).inputValue(), r.typed);
    assert.equal(await focused(show), 'path');
  }
  // Typing again clears the message.
  await show.keyboard.press('Control+A');
  await show.keyboard.press('Backspace');
  assert.equal(await problem(show).innerText(), '');

  // Pasted, with blanks around it and a step up in it.
  await show.keyboard.insertText(`  ${join(pictures.path, 'sub1')}/../sub2/deeper  `);
  await show.keyboard.press('Enter');
  await waitForFile(show, join(pictures.path, 'sub2', 'deeper', 'grape.jpg'));
  assert.equal(await main.evaluate(() => lm.Preference('SelDir')), join(pictures.path, 'sub2', 'deeper') + '/');
  await closesWindow(show, () => show.keyboard.press('Escape'));

  // A name alone is a folder below the one shown; OK takes it.
  const again = await openSlideshow(pictures.path + '/');
  await promptAt(again, pictures.path).waitFor(wait);
  await toPathField(again);
  await again.keyboard.type('sub1/');
  await again.keyboard.press('Tab');
  await again.keyboard.press('Tab');
  await again.keyboard.press('Tab');
  assert.equal(await focused(again), 'ok');
  await again.keyboard.press('Space');
  await waitForFile(again, scanOrder(join(pictures.path, 'sub1'))[0]);
  await closesWindow(again, () => again.keyboard.press('Escape'));
});

test('Tab completes a folder\'s name as far as the folders agree, and moves on when there is nothing to complete', async () => {
  const show = await openSlideshow(pictures.path + '/');
  await promptAt(show, pictures.path).waitFor(wait);
  await toPathField(show);
  const base = folderOf(pictures.path);
  await show.keyboard.type(base + 'su');
  // "sub1" and "sub2" agree as far as "sub".
  await show.keyboard.press('Tab');
  assert.equal(await pathField(show).inputValue(), base + 'sub');
  assert.equal(await focused(show), 'path');
  // Nothing more to complete: Tab moves to the list.
  await show.keyboard.press('Tab');
  assert.equal(await focused(show), 'folders');
  await show.keyboard.press('Shift+Tab');
  assert.equal(await focused(show), 'path');
  await show.keyboard.press('End');
  await show.keyboard.type('2');
  // One folder: its name in full, and the prompt goes there.
  await show.keyboard.press('Tab');
  assert.equal(await pathField(show).inputValue(), base + 'sub2/');
  await promptAt(show, base + 'sub2').waitFor(wait);
  assert.equal(await focused(show), 'path');
  // A name no folder begins with: Tab moves on.
  await show.keyboard.type('zz');
  await show.keyboard.press('Tab');
  assert.equal(await focused(show), 'folders');
  assert.equal(await pathField(show).inputValue(), base + 'sub2/zz');

  // Down the list: "..", then "deeper"; Enter goes in, and OK takes it.
  await show.keyboard.press('ArrowDown');
  await show.keyboard.press('ArrowDown');
  await show.keyboard.press('Enter');
  await promptAt(show, base + 'sub2/deeper').waitFor(wait);
  assert.equal(await pathField(show).inputValue(), base + 'sub2/deeper/');
  await show.keyboard.press('Tab');
  await show.keyboard.press('Tab');
  assert.equal(await focused(show), 'ok');
  await show.keyboard.press('Enter');
  await waitForFile(show, join(pictures.path, 'sub2', 'deeper', 'grape.jpg'));
  await closesWindow(show, () => show.keyboard.press('Escape'));
});

// True when this user cannot list `folder`: root lists every folder.
function unreadableLocked(folder) {
  try {
    readdirSync(join(folder, 'closed'));
    return false;
  } catch {
    return true;
  }
}

test('a folder that cannot be read is said so, and the prompt stays where it was', async (t) => {
  const locked = tempFolder('lumorel-prompt-locked-');
  mkdirSync(join(locked.path, 'closed'));
  chmodSync(join(locked.path, 'closed'), 0o000);
  try {
    if (!unreadableLocked(locked.path)) return t.skip('this user reads every folder');
    const show = await openSlideshow(locked.path + '/');
    await promptAt(show, locked.path).waitFor(wait);
    await show.keyboard.press('Shift+Tab');
    await show.keyboard.press('Shift+Tab');
    assert.equal(await focused(show), 'folders');
    // "..", then the folder that cannot be read.
    await show.keyboard.press('ArrowDown');
    await show.keyboard.press('ArrowDown');
    await show.keyboard.press('Enter');
    await show.locator('[data-dialog="200"] [role="alert"]', { hasText: 'This folder cannot be opened.' }).waitFor(wait);
    await promptAt(show, locked.path).waitFor(wait);
    await closesWindow(show, () => show.keyboard.press('Escape'));
  } finally {
    chmodSync(join(locked.path, 'closed'), 0o700);
    locked.remove();
  }
});
