// Many Lumorel windows in one browser, with the host's built-in pages: the
// main window and nineteen slide shows, each slide show with its folder
// prompt open at once. Every window still answers: its prompt lists folders
// and takes keys, its control answers calls, Cancel and Esc close it, and
// the main window opens its dialogs.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { copyFileSync, mkdirSync } from 'node:fs';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { launchBrowser, startHost, stopHost, tempFolder } from './harness.mjs';

const here = dirname(fileURLToPath(import.meta.url));
const SLIDESHOWS = 19;  // with the main window: twenty windows
const wait = { timeout: 20000 };

let home, pictures, profile, host, browser, main;

before(async () => {
  home = tempFolder('lumorel-windows-home-');
  pictures = tempFolder('lumorel-windows-pictures-');
  profile = tempFolder('lumorel-windows-profile-');
  mkdirSync(join(pictures.path, 'one', 'inner'), { recursive: true });
  mkdirSync(join(pictures.path, 'two'));
  copyFileSync(join(here, 'pages', 'logo.gif'), join(pictures.path, 'one', 'logo.gif'));
  host = await startHost(home.path, { builtInPages: true });
  browser = await launchBrowser(profile.path);
  main = await browser.newPage();
  await main.goto(host.address);
  await main.waitForFunction(() => window.lm && document.readyState === 'complete');
  // Slide shows in small windows, whose prompts start in the pictures.
  await main.evaluate((folder) => {
    lm.Preference('FullScreen', '0');
    lm.Preference('SelDir', folder);
    lm.Preference('MainImg.Top', '0');
    lm.Preference('MainImg.Left', '0');
    lm.Preference('MainImg.Width', '400');
    lm.Preference('MainImg.Height', '300');
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

// Clicks a main-window button as a user does: press and release on it.
async function pressButton(page, id) {
  const box = await page.locator('#' + id).boundingBox();
  await page.mouse.move(box.x + box.width / 2, box.y + box.height / 2);
  await page.mouse.down();
  await page.mouse.up();
}

// The folder names the prompt of `page` lists, once it lists `folder`.
async function listedFolders(page, folder) {
  const prompt = page.locator(`[data-dialog="200"][data-folder="${folder}"]`);
  await prompt.waitFor(wait);
  return prompt.locator('select[name="folders"] option').allInnerTexts();
}

test('twenty windows, each slide show with its folder prompt open, all answer', async () => {
  const top = pictures.path + '/';
  const shows = [];
  for (let i = 0; i < SLIDESHOWS; ++i) {
    const popup = main.waitForEvent('popup', wait);
    await pressButton(main, 'slideshow');
    const show = await popup;
    // The prompt fills while every prompt before it is still open.
    assert.deepEqual((await listedFolders(show, top)).sort(), ['..', 'one', 'two'], `window ${i + 2}`);
    shows.push(show);
  }

  // The main window still opens a dialog page and answers calls.
  await pressButton(main, 'help');
  const about = main.frameLocator('.lumorel-modal iframe');
  await about.locator('#ok').click(wait);
  await main.locator('.lumorel-modal').waitFor({ state: 'detached', ...wait });
  assert.equal(await main.evaluate(() => lm.Version), '1.4');

  for (const [i, show] of shows.entries()) {
    assert.equal(await show.evaluate(() => lm.FileCount), 0, `window ${i + 2}`);
    // Enter on a folder of the list opens it.
    const list = show.locator('[data-dialog="200"] select[name="folders"]');
    await list.selectOption('one');
    await list.press('Enter');
    assert.deepEqual(await listedFolders(show, top + 'one/'), ['..', 'inner'], `window ${i + 2}`);
  }

  // Cancel and Esc end their slide shows, each closing its window.
  const last = shows.pop();
  for (const [i, show] of shows.entries()) {
    const closed = show.waitForEvent('close', wait);
    if (i % 2) await show.locator('[data-dialog="200"] button[name="cancel"]').click();
    else await show.locator('[data-dialog="200"]').press('Escape');
    await closed;
  }

  // The last one is given its folder and shows its picture.
  await last.locator('[data-dialog="200"] button[name="ok"]').click();
  await last.waitForFunction(() => {
    const pic = document.getElementById('pic');
    return pic.style.visibility === 'visible' && pic.complete && pic.naturalWidth === 1;
  }, undefined, wait);
  assert.equal(await last.evaluate(() => lm.CurrentShortName), 'logo.gif');
  assert.equal(await main.evaluate(() => lm.Preference('SelDir')), top + 'one/');
});
