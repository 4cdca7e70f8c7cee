// "Same as Folder Order" plays a folder's pictures in the order users know
// as alphabetical, whatever order the file system keeps: case does not
// decide, "_" comes after the letters, accented names after the ASCII ones,
// and the sub-folders follow in the same order.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { join } from 'node:path';
import { launchBrowser, startHost, stopHost, tempFolder } from '../harness.mjs';
import { writePictures } from './fixtures.mjs';
import { openSlideshow, shownFile, wait } from './page_helpers.mjs';

// Written in an order of their own; listed as the show must play them.
const WRITTEN = ['img_10.jpg', 'Zeta/x.png', 'holiday017.jpg', 'été.jpg', 'IMGZ.gif', 'A&B.jpg',
  'Holiday005.jpg', 'alpha/y.jpg', 'img.png', 'holiday001.jpg', 'a b.jpg'];
const PLAYED = ['a b.jpg', 'A&B.jpg', 'holiday001.jpg', 'Holiday005.jpg', 'holiday017.jpg',
  'img.png', 'IMGZ.gif', 'img_10.jpg', 'été.jpg', 'alpha/y.jpg', 'Zeta/x.png'];

let home, pictures, profile, host, browser, main;

before(async () => {
  home = tempFolder('lumorel-order-home-');
  pictures = tempFolder('lumorel-order-pictures-');
  profile = tempFolder('lumorel-order-profile-');
  host = await startHost(home.path, { builtInPages: true });
  browser = await launchBrowser(profile.path);
  const scratch = await browser.newPage();
  await writePictures(scratch, pictures.path,
    WRITTEN.map((path, i) => ({ path, width: 60 + i, height: 40, colour: `hsl(${i * 30}, 60%, 45%)` })));
  await scratch.close();
  main = await browser.newPage();
  await main.goto(host.address);
  await main.waitForFunction(() => window.lm && document.readyState === 'complete');
  await main.evaluate((dir) => {
    lm.Preference('SelDir', dir);
    lm.Preference('FullScreen', '0');
    lm.Preference('Recusive', '1');
    lm.Preference('Randomize', '0');
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

test('folder order is alphabetical: the right arrow walks the pictures by name, then the sub-folders', async () => {
  const { show } = await openSlideshow(main, pictures.path, { key: 'Enter' });
  const played = [await shownFile(show)];
  while (played.length < PLAYED.length) {
    await show.keyboard.press('ArrowRight');
    await show.waitForFunction((previous) => {
      const pic = document.getElementById('pic');
      return pic.style.visibility === 'visible' && pic.complete && pic.naturalWidth > 0 &&
        decodeURIComponent(new URL(pic.src).searchParams.get('path')) !== previous;
    }, played[played.length - 1], wait);
    played.push(await shownFile(show));
  }
  assert.deepEqual(played, PLAYED.map((name) => join(pictures.path, name)));
});
