// The tools window as a user reaches it: from the main window (by mouse and
// by keyboard) and from its launcher; its help; Find Duplicates, where the
// Delete key removes only the copy shown; and Quit.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { copyFileSync, existsSync } from 'node:fs';
import { join } from 'node:path';
import { closesWindow, launchBrowser, startHost, stopHost, tempFolder } from '../harness.mjs';
import { writePictures } from './fixtures.mjs';
import { answerFolderPrompt, shownFile, wait, waitForFile } from './page_helpers.mjs';
import { focusByTab, openToolsWindow } from './tools_helpers.mjs';

let home, profile, host, browser, main;

before(async () => {
  home = tempFolder('lumorel-tools-home-');
  profile = tempFolder('lumorel-tools-profile-');
  host = await startHost(home.path, { builtInPages: true });
  browser = await launchBrowser(profile.path);
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
  for (const folder of [home, profile]) if (folder) folder.remove();
});

// What the tools window shows: its title, heading and four buttons with
// their tooltips.
async function toolsWindowShown(tools) {
  assert.equal(await tools.title(), 'Lumorel Tools');
  assert.equal(new URL(tools.url()).pathname, '/lm:utils');
  assert.match(await tools.locator('#heading').innerText(), /Lumorel Tools/);
  const buttons = await tools.locator('input[type="button"]').evaluateAll((list) =>
    list.map((b) => [b.value.trim(), b.title]));
  assert.deepEqual(buttons, [
    ['Help', 'Help for features appearing on this page'],
    ['Find Duplicates...', 'Displays all the possible duplicate images found in a set of folders'],
    ['Sort Files...', 'Will automatically move images into sub-folder, based on their name'],
    ['Quit', 'Closes this window'],
  ]);
}

test('the main window opens the tools window, by a click and by the keyboard, and Quit closes it', async () => {
  for (const how of ['click', 'Enter']) {
    const tools = await openToolsWindow(main, how);
    await toolsWindowShown(tools);
    // Where the user left it is where it opens next.
    await closesWindow(tools, () => (how === 'click' ? tools.locator('#quit').click()
      : focusByTab(tools, 'quit').then(() => tools.keyboard.press('Space'))));
    // The place goes to the host as the window unloads, without waiting for
    // an answer: it is there soon after the window has gone.
    await main.waitForFunction(() => lm.Preference('Utils.Width') !== '', undefined, wait);
    assert.notEqual(await main.evaluate(() => lm.Preference('Utils.Width')), '');
  }
});

test('the launcher opens the tools window at its stored place and ends itself', async () => {
  await main.evaluate(() => {
    lm.Preference('Utils.Top', '40');
    lm.Preference('Utils.Left', '50');
  });
  const launcher = await browser.newPage();
  const opened = launcher.waitForEvent('popup', wait);
  await launcher.goto(host.base + '/lm:lm_utils');
  const tools = await opened;
  await tools.waitForLoadState();
  await toolsWindowShown(tools);
  assert.deepEqual(await tools.evaluate(() => [window.screenY, window.screenX, window.innerWidth, window.innerHeight]),
    [40, 50, 280, 280]);
  // A tab the test opened cannot be closed by its page; it says Lumorel
  // has ended in it instead.
  await launcher.waitForFunction(() => document.title === 'Lumorel has ended', undefined, wait);
  await launcher.close();
  await tools.close();
});

test('Help opens the tools help in a window of its own', async () => {
  const tools = await openToolsWindow(main, 'click');
  const opened = tools.waitForEvent('popup', wait);
  await tools.locator('#help').click();
  const help = await opened;
  await help.waitForLoadState();
  assert.equal(await help.title(), 'Lumorel Tools Help');
  const text = await help.locator('body').innerText();
  for (const heading of ['Lumorel Tools Help', 'Find Duplicates', 'Sort Files']) assert.match(text, new RegExp(heading));
  assert.match(text, /at least\s+3 similarly named files/);
  await help.close();
  await tools.close();
});

test('Find Duplicates shows the copies, and Delete deletes only the one shown', async () => {
  const dups = tempFolder('lumorel-tools-dups-');
  try {
    const scratch = await browser.newPage();
    await writePictures(scratch, dups.path, [
      { path: 'beach.jpg', width: 90, height: 60, colour: '#a04040' },
      { path: 'alone.png', width: 50, height: 50, colour: '#4040a0' },
    ]);
    await scratch.close();
    copyFileSync(join(dups.path, 'beach.jpg'), join(dups.path, 'beach copy.jpg'));
    await main.evaluate((dir) => lm.Preference('SelDir', dir), dups.path + '/');

    for (const how of ['click', 'Enter']) {
      const tools = await openToolsWindow(main, how);
      const opened = tools.waitForEvent('popup', wait);
      if (how === 'click') await tools.locator('#duplicates').click();
      else await focusByTab(tools, 'duplicates').then(() => tools.keyboard.press('Enter'));
      const show = await opened;
      const told = [];
      show.on('dialog', (d) => {
        told.push(d.message());
        d.accept();
      });
      await show.waitForLoadState();
      assert.equal(new URL(show.url()).pathname, '/lm:&rsrc=mainimg&1=&2=0&3=1');
      await answerFolderPrompt(show, dups.path, { key: how === 'click' ? null : 'Enter' });
      if (how === 'click') {
        const first = await shownFile(show);
        assert.deepEqual(told, ['A total of 2 possible duplicate images were found.',
          'Use the arrow keys to go through them.']);
        await show.keyboard.press('ArrowRight');
        const second = await waitForFile(show, first === join(dups.path, 'beach.jpg')
          ? join(dups.path, 'beach copy.jpg') : join(dups.path, 'beach.jpg'));
        await show.keyboard.press('Delete');
        const confirm = show.locator('[data-dialog="201"]');
        await confirm.waitFor(wait);
        await confirm.locator('button[name="ok"]').click();
        await confirm.waitFor({ state: 'detached', ...wait });
        await waitForFile(show, first);
        assert.equal(existsSync(second), false, 'the copy shown is deleted');
        assert.ok(existsSync(first), 'its twin stays');
        assert.ok(existsSync(join(dups.path, 'alone.png')), 'a picture with no copy stays');
        await show.close();
      } else {
        // With one copy left there are no duplicates: the search says so
        // and its window closes.
        await show.waitForEvent('close', wait);
        assert.deepEqual(told, ['No obvious duplicate images were found.']);
      }
      await tools.close();
    }
  } finally {
    dups.remove();
  }
});
