// Sort Files from the tools window: the organizer dialog refuses a file
// system's root and the system's folders, says when a folder holds no
// pictures, asks before it moves anything, and sorts numbered names into
// folders, telling its progress and what it left.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { existsSync, mkdirSync, readdirSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { launchBrowser, startHost, stopHost, tempFolder } from '../harness.mjs';
import { answerFolderPrompt, dialogFrame, dialogGone, wait } from './page_helpers.mjs';
import { focusByTab, openToolsWindow } from './tools_helpers.mjs';

const DRIVE = 'You cannot select a drive for organizing images. Place image files into a folder and try again.';
const SYSTEM = "You cannot select a system folder (or one of it's sub-folders) for organizing images. " +
  'Place image files into a different folder and try again.';
const NONE = 'No image files where found in the selected folder.\nSelect a different folder and try again.';
const NOT_SORTED = 'Some image files could not be sorted.\n' +
  "They may have duplicates already in sub-folder or they didn't belong to any obvious grouping.";

// Numbered names: img1..img3 (one of them in a sub-folder of its own) make a
// group; pic1 and pic2 are only two, and z is alone. A camera's run of
// pictures in a sub-folder makes one more group, large enough that the
// organizer works for a while and tells what remains.
const RUN = Array.from({ length: 600 }, (_, i) => 'trip/dsc' + String(i + 1).padStart(4, '0') + '.jpg');
const PICTURES = ['img1.jpg', 'img2.jpg', 'old/img3.jpg', 'pic1.jpg', 'pic2.jpg', 'z.jpg', ...RUN];

let home, profile, pictures, empty, host, browser, main;

before(async () => {
  home = tempFolder('lumorel-organize-home-');
  profile = tempFolder('lumorel-organize-profile-');
  pictures = tempFolder('lumorel-organize-pictures-');
  empty = tempFolder('lumorel-organize-empty-');
  for (const path of PICTURES) {
    mkdirSync(join(pictures.path, path, '..'), { recursive: true });
    writeFileSync(join(pictures.path, path), 'picture ' + path + '\n');
  }
  writeFileSync(join(empty.path, 'notes.txt'), 'no pictures here\n');
  host = await startHost(home.path, { builtInPages: true });
  browser = await launchBrowser(profile.path);
  // The organizer's status lines, in order, in window.statusLines of its
  // frame.
  await browser.addInitScript(() => {
    window.statusLines = [];
    document.addEventListener('DOMContentLoaded', () => {
      const status = document.getElementById('status');
      if (!status) return;
      const note = () => {
        const text = status.innerText;
        if (window.statusLines[window.statusLines.length - 1] !== text) window.statusLines.push(text);
      };
      note();
      new MutationObserver(note).observe(status, { childList: true, characterData: true, subtree: true });
    });
  });
  main = await browser.newPage();
  await main.setViewportSize({ width: 300, height: 300 });
  await main.goto(host.address);
  await main.waitForFunction(() => window.lm && document.readyState === 'complete');
});

after(async () => {
  if (browser) await browser.close();
  if (host) {
    const { code, signal } = await stopHost(host);
    assert.equal(code, 0, `lumorel ended with ${code} ${signal}`);
  }
  for (const folder of [home, profile, pictures, empty]) if (folder) folder.remove();
});

// Opens the organizer from a new tools window: Sort Files clicked, or
// pressed with Enter after Tab. Gives the tools window, the organizer's
// frame and the alerts shown (each accepted).
async function openOrganizer(how) {
  const tools = await openToolsWindow(main, how);
  const alerts = alertsOf(tools);
  if (how === 'click') await tools.locator('#sort').click();
  else await focusByTab(tools, 'sort').then(() => tools.keyboard.press('Enter'));
  const organizer = await dialogFrame(tools, 'organize');
  return { tools, organizer, alerts };
}

// The alerts of `page`, each accepted: `list` holds their messages, and
// `until(n)` waits until there are n.
function alertsOf(page) {
  const list = [];
  const waiting = [];
  page.on('dialog', (d) => {
    list.push(d.message());
    d.accept();
    for (let i = waiting.length - 1; i >= 0; --i) if (list.length >= waiting[i].count) waiting.splice(i, 1)[0].resolve();
  });
  const until = (count) => (list.length >= count ? Promise.resolve() : new Promise((resolve, reject) => {
    const timer = setTimeout(() => reject(new Error('alerts so far: ' + JSON.stringify(list))), wait.timeout);
    waiting.push({ count, resolve: () => { clearTimeout(timer); resolve(); } });
  }));
  return { list, until };
}

function listTree(root) {
  const out = [];
  const walk = (folder, prefix) => {
    for (const entry of readdirSync(folder, { withFileTypes: true }).sort((a, b) => (a.name < b.name ? -1 : 1))) {
      if (entry.isDirectory()) walk(join(folder, entry.name), prefix + entry.name + '/');
      else out.push(prefix + entry.name);
    }
  };
  walk(root, '');
  return out;
}

test('the organizer refuses a root, a mount point and the system folders, and a folder without pictures', async () => {
  const { tools, organizer, alerts } = await openOrganizer('click');
  assert.equal(await organizer.title(), 'Organize Images');
  assert.equal(await organizer.locator('#status').innerText(), '\u00a0Select Folder to Sort:');
  const prompt = organizer.locator('[data-dialog="200"]');
  await prompt.waitFor(wait);
  // The prompt owns the keyboard; Stop has the focus again once it closes.
  assert.equal(await organizer.evaluate(() => document.activeElement.name), 'ok');
  assert.match(await prompt.innerText(), /^Select folder to organize images\.\n/);

  const refused = [
    { folder: '/', says: DRIVE },
    { folder: '/proc', says: DRIVE },  // a mount point, before it is a system folder
    { folder: '/usr', says: SYSTEM },
    { folder: '/usr/share', says: SYSTEM },
    { folder: empty.path, says: NONE },
  ];
  for (const [i, r] of refused.entries()) {
    await answerFolderPrompt(organizer, r.folder);
    await alerts.until(i + 1);
    assert.equal(alerts.list[i], r.says, r.folder);
  }
  // Nothing was scanned or stored but the folder without pictures, and the
  // prompt is open again; Cancel closes the organizer.
  assert.equal(await main.evaluate(() => lm.Preference('OrganizeDir')), empty.path + '/');
  await prompt.waitFor(wait);
  await prompt.locator('button[name="cancel"]').click();
  await dialogGone(tools);
  assert.deepEqual(listTree(pictures.path), [...PICTURES].sort());
  await tools.close();
});

test('declining the move by the keyboard leaves every picture where it was', async () => {
  const { tools, organizer, alerts } = await openOrganizer('Enter');
  await answerFolderPrompt(organizer, pictures.path, { key: 'Enter' });
  const confirm = organizer.locator('[data-dialog="219"]');
  await confirm.waitFor(wait);
  assert.match(await confirm.textContent(),
    /Warning: {2}This action will move image files around and is not Undo-able\.Are you sure you want to move the image files\?/);
  // Cancel has the focus: Enter declines.
  await organizer.evaluate(() => document.activeElement.name).then((name) => assert.equal(name, 'cancel'));
  await tools.keyboard.press('Enter');
  await organizer.locator('#stop[value="  Done  "]').waitFor(wait);
  assert.equal(await organizer.locator('#status').innerText(), 'Finished.  Number of image files not moved: 606');
  await alerts.until(1);
  assert.deepEqual(alerts.list, [NOT_SORTED]);
  assert.deepEqual(listTree(pictures.path), [...PICTURES].sort());
  // The button has the focus again: Enter on Done closes the dialog, and the
  // tools window stays.
  assert.equal(await organizer.evaluate(() => document.activeElement.id), 'stop');
  await tools.keyboard.press('Enter');
  await dialogGone(tools);
  await tools.close();
});

test('Sort Files moves the numbered group into its folder and tells what it left', async () => {
  const { tools, organizer, alerts } = await openOrganizer('click');
  // It starts where the last organizing was.
  await organizer.locator(`[data-dialog="200"][data-folder="${pictures.path}/"]`).waitFor(wait);
  await answerFolderPrompt(organizer, pictures.path);
  const confirm = organizer.locator('[data-dialog="219"]');
  await confirm.waitFor(wait);
  await confirm.locator('button[name="ok"]').click();
  await organizer.locator('#stop[value="  Done  "]').waitFor(wait);
  await alerts.until(1);
  assert.deepEqual(alerts.list, [NOT_SORTED]);

  const lines = await organizer.evaluate(() => window.statusLines);
  assert.equal(lines[0], '\u00a0Select Folder to Sort:');
  assert.ok(lines.some((l) => /^Looking for image files \(Folders:\d+  Images:606\)$/.test(l)), JSON.stringify(lines));
  assert.ok(lines.some((l) => /^Working\. {2}Remaining: \d+\.\.\.$/.test(l)), JSON.stringify(lines));
  // pic1 found only one partner: it leaves the list unmoved, pic2 and z
  // are the two not moved.
  assert.equal(lines[lines.length - 1], 'Finished.  Number of image files not moved: 2');
  assert.deepEqual(listTree(pictures.path), [
    ...RUN.map((p) => p.replace('trip/', 'dsc0###/')),
    'img#/img1.jpg', 'img#/img2.jpg', 'img#/img3.jpg', 'pic1.jpg', 'pic2.jpg', 'z.jpg']);
  for (const emptied of ['old', 'trip']) {
    assert.equal(existsSync(join(pictures.path, emptied)), false, `the folder ${emptied} emptied is removed`);
  }
  await organizer.locator('#stop').click();
  await dialogGone(tools);
  await tools.close();
});
