// Lumorel ends as a desktop program does: a few seconds after its last page
// has gone (Exit in the main window, or every window closed), and not while
// a window of it is still open. A page whose Lumorel has gone says so in
// the page at its next click.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { launchBrowser, startHost, stopHost, tempFolder, closesWindow } from '../harness.mjs';
import { TREE, scanOrder, writePictures } from './fixtures.mjs';
import { answerFolderPrompt, pressButton, wait, waitForFile } from './page_helpers.mjs';

// Long enough for the host's grace, its noticing a closed connection and a
// loaded machine; the host normally ends well within it.
const ENDING = 30000;

let pictures, profile, browser;
let order = [];
// The hosts started here: each test ends its own, one way or another.
const hosts = [];

before(async () => {
  pictures = tempFolder('lumorel-ending-pictures-');
  profile = tempFolder('lumorel-ending-profile-');
  browser = await launchBrowser(profile.path);
  const scratch = await browser.newPage();
  await writePictures(scratch, pictures.path, TREE.slice(0, 3));
  await scratch.close();
  order = scanOrder(pictures.path);
});

after(async () => {
  if (browser) await browser.close();
  for (const host of hosts) {
    if (host.child.exitCode === null && host.child.signalCode === null) await stopHost(host);
    host.home.remove();
  }
  if (pictures) pictures.remove();
  if (profile) profile.remove();
});

// A host that ends with its pages (as when it opens the browser itself),
// with `ended` its exit once it comes.
async function endingHost() {
  const home = tempFolder('lumorel-ending-home-');
  const host = await startHost(home.path, { builtInPages: true, args: ['--exit-with-pages'] });
  host.home = home;
  host.ended = new Promise((resolve) => host.child.on('exit', (code, signal) => resolve({ code, signal })));
  hosts.push(host);
  return host;
}

async function hasEnded(host) {
  let timer;
  const late = new Promise((_, reject) => {
    timer = setTimeout(() => reject(new Error(`lumorel still runs ${ENDING} ms after its last page`)), ENDING);
  });
  try {
    return await Promise.race([host.ended, late]);
  } finally {
    clearTimeout(timer);
  }
}

// The main window in a tab the user opened, as the browser shows the
// address that lumorel printed.
async function mainWindow(host) {
  const main = await browser.newPage();
  await main.setViewportSize({ width: 300, height: 300 });
  await main.goto(host.address);
  await main.waitForFunction(() => window.lm && document.readyState === 'complete');
  return main;
}

test('Exit says that Lumorel has ended, and then it has', async () => {
  const host = await endingHost();
  const main = await mainWindow(host);
  await pressButton(main, 'exit');
  // A tab the user opened stays open: the page says it is over.
  await main.waitForFunction(() => document.title === 'Lumorel has ended', undefined, wait);
  await main.getByText('Lumorel has ended. You can close this tab.').waitFor(wait);
  assert.deepEqual(await hasEnded(host), { code: 0, signal: null });
  await main.close();
});

test('Lumorel serves on while a slide show is open after the main window closed, and ends once it closes', async () => {
  const host = await endingHost();
  const main = await mainWindow(host);
  await main.evaluate((dir) => {
    lm.Preference('SelDir', dir);
    lm.Preference('FullScreen', '0');
    lm.Preference('Timer', '1');
    lm.Preference('TimerSec', '1');
  }, pictures.path + '/');
  const popup = main.waitForEvent('popup', wait);
  await pressButton(main, 'slideshow');
  const show = await popup;
  show.on('dialog', (d) => d.accept());
  await show.waitForLoadState();
  await answerFolderPrompt(show, pictures.path, { key: 'Enter' });
  await waitForFile(show, order[0]);
  await main.close();

  // The timer moves on a picture a second: nine pictures outlast the
  // host's grace for a gone page by far, and each shows that it serves.
  for (let i = 1; i <= 9; ++i) await waitForFile(show, order[i % order.length]);
  assert.equal(host.child.exitCode, null, 'lumorel ended while a slide show was open');

  await closesWindow(show, () => show.keyboard.press('Escape'));
  assert.deepEqual(await hasEnded(host), { code: 0, signal: null });
});

test('a page whose Lumorel has stopped says so at the next click', async () => {
  const home = tempFolder('lumorel-ending-home-');
  const host = await startHost(home.path, { builtInPages: true });
  host.home = home;
  hosts.push(host);
  const main = await mainWindow(host);
  await stopHost(host);
  await pressButton(main, 'slideshow');
  const notice = main.getByRole('alert');
  await notice.waitFor(wait);
  assert.equal(await notice.innerText(), 'Lumorel is not running. Start it again and reload this page.');
  // Once, however often the user tries.
  await pressButton(main, 'slideshow');
  await pressButton(main, 'exit');
  assert.equal(await main.getByRole('alert').count(), 1);
  await main.close();
});
