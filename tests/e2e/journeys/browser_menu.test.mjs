// The browser extension's context menu, end to end: the extension loaded
// into Chromium, its relay registered by tools/install-browser-menu, and a
// web page on a loopback server. A menu entry chosen on that page opens
// Lumorel's page in a window of its own, starting Lumorel when it is not
// running; the list window sends the right-clicked tab where the user
// clicks. Without the relay the user is told how to install it.
import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { cpSync, existsSync, mkdirSync, readFileSync, renameSync, writeFileSync } from 'node:fs';
import { createServer } from 'node:http';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';
import { closesWindow, hostBinary, tempFolder } from '../harness.mjs';
import { wait } from './page_helpers.mjs';

const root = join(dirname(fileURLToPath(import.meta.url)), '..', '..', '..');
// The relay is built beside the host.
const relayBinary = join(dirname(hostBinary()), 'lumorel-menu-relay');

// A small web site: a gallery page linking to two pictures and a text; each
// picture is the same red square of 2 x 2 pixels.
const PNG = Buffer.from(
  'iVBORw0KGgoAAAANSUhEUgAAAAIAAAACCAIAAAD91JpzAAAAEElEQVR4nGM4YGAARAwQCgAhzgSBU+xT6wAAAABJRU5ErkJggg==', 'base64');
const GALLERY = `<!DOCTYPE html><html><head><title>Gallery</title></head><body>
<a id="first" href="/pictures/red.png">red</a>
<a href="/notes.txt">notes</a>
<a href="/pictures/BLUE.PNG">blue</a>
<img id="shown" src="/pictures/red.png" width="40" height="30" title="A red square">
</body></html>`;

let temp, site, browser, profile, runFolder, extension;

async function serveSite() {
  const server = createServer((req, res) => {
    if (req.url === '/gallery.html') {
      res.setHeader('Content-Type', 'text/html');
      return res.end(GALLERY);
    }
    if (/^\/pictures\/\w+\.png$/i.test(req.url)) {
      res.setHeader('Content-Type', 'image/png');
      return res.end(PNG);
    }
    res.setHeader('Content-Type', 'text/plain');
    res.end('notes');
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  return { server, base: `http://127.0.0.1:${server.address().port}` };
}

before(async () => {
  assert.ok(existsSync(relayBinary), `the menu relay ${relayBinary} is built`);
  temp = tempFolder('lumorel-menu-');
  site = await serveSite();
  profile = join(temp.path, 'profile');
  runFolder = join(temp.path, 'run');
  mkdirSync(runFolder, { mode: 0o700 });
  mkdirSync(join(temp.path, 'config'), { mode: 0o700 });
  // The extension as a user loads it, except that it may also read the
  // test's web page without the click on its menu entry that grants that
  // to a user (a test cannot click a menu the browser draws itself).
  extension = join(temp.path, 'extension');
  cpSync(join(root, 'browser-extension'), extension, { recursive: true });
  const manifest = JSON.parse(readFileSync(join(extension, 'manifest.json'), 'utf8'));
  manifest.host_permissions = ['http://127.0.0.1/*'];
  writeFileSync(join(extension, 'manifest.json'), JSON.stringify(manifest));
  execFileSync(join(root, 'tools', 'install-browser-menu'),
    ['--into', join(profile, 'NativeMessagingHosts')], { stdio: 'ignore' });
  // The relay and the host it starts live in the test's own user folders.
  browser = await chromium.launchPersistentContext(profile, {
    executablePath: process.env.LUMOREL_CHROMIUM || '/usr/bin/chromium',
    headless: true,
    // As a user's browser: extensions on, and popups blocked unless a page
    // may open them.
    ignoreDefaultArgs: ['--disable-extensions', '--disable-popup-blocking'],
    env: { ...process.env, XDG_RUNTIME_DIR: runFolder, XDG_CONFIG_HOME: join(temp.path, 'config'),
           XDG_CACHE_HOME: join(temp.path, 'cache') },
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync',
      `--disable-extensions-except=${extension}`, `--load-extension=${extension}`],
  });
});

after(async () => {
  await browser?.close();
  // The host the relay started ends with its pages; it is ended here in
  // case a failed test left one open.
  const announced = join(runFolder, 'lumorel', 'host.json');
  if (existsSync(announced)) {
    try { process.kill(JSON.parse(readFileSync(announced, 'utf8')).pid, 'SIGTERM'); } catch { /* gone */ }
  }
  site?.server.close();
  temp?.remove();
});

async function serviceWorker() {
  return browser.serviceWorkers()[0] || browser.waitForEvent('serviceworker', wait);
}

// Chooses the menu entry `page` on the web page `web`, as the menu does:
// with what the browser tells of the click.
async function chooseEntry(web, page, clicked = {}) {
  const worker = await serviceWorker();
  await worker.evaluate(async ({ url, page, clicked }) => {
    const [tab] = await chrome.tabs.query({ url });
    await self.lumorelRunEntry({ menuItemId: page, frameId: 0, pageUrl: url, ...clicked }, tab);
  }, { url: web.url(), page, clicked });
}

// The next window that shows an address containing `part`.
function windowAt(part) {
  return browser.waitForEvent('page', {
    ...wait,
    predicate: async (p) => {
      await p.waitForLoadState('domcontentloaded').catch(() => {});
      return p.url().includes(part);
    },
  });
}

function windowTitled(title) {
  return browser.waitForEvent('page', {
    ...wait,
    predicate: async (p) => {
      await p.waitForLoadState().catch(() => {});
      return (await p.title().catch(() => '')) === title;
    },
  });
}

test('the menu holds the six entries, each where it belongs', async () => {
  const worker = await serviceWorker();
  await worker.evaluate(() => new Promise((resolve) => {
    const ready = () => (self.lumorelEntriesMade().length === 6 ? resolve() : setTimeout(ready, 20));
    ready();
  }));
  const made = await worker.evaluate(() => self.lumorelEntriesMade());
  const byTitle = Object.fromEntries(made.map((e) => [e.title, e.contexts]));
  assert.deepEqual(byTitle, {
    'Slideshow all Linked Images (Lumorel)': ['page'],
    'Preload Linked Images (Lumorel)': ['page'],
    'Resize This Image (Lumorel)': ['image'],
    'Open Linked Image (Lumorel)': ['link'],
    'Dump Linked Images (Lumorel)': ['page'],
    'Save Linked Images (Lumorel)': ['page'],
  });
});

test('a page entry starts Lumorel and its list window sends the tab where the user clicks', async () => {
  const web = await browser.newPage();
  await web.goto(site.base + '/gallery.html');
  const listed = windowTitled('Linked Images: Gallery');
  const menuPage = windowAt('/lm:lm_listimg#menu=');
  await chooseEntry(web, 'lm_listimg');
  const list = await listed;
  // Its work done, the menu's own window has gone.
  const ran = await menuPage;
  if (!ran.isClosed()) await ran.waitForEvent('close', wait);
  // Lumorel was not running: the relay started it, and it announced itself.
  assert.ok(existsSync(join(runFolder, 'lumorel', 'host.json')));
  const pictures = list.locator('img');
  await pictures.first().waitFor(wait);
  assert.deepEqual(await pictures.evaluateAll((all) => all.map((i) => i.getAttribute('src'))),
    [site.base + '/pictures/red.png', site.base + '/pictures/BLUE.PNG']);
  // A picture's link: the gallery's tab goes to the picture.
  await closesWindow(list, () => list.locator('img[src$="BLUE.PNG"]').click());
  await web.waitForURL(site.base + '/pictures/BLUE.PNG', wait);
});

test('a picture entry opens the right-clicked picture in a window titled by it', async () => {
  const web = await browser.newPage();
  await web.goto(site.base + '/gallery.html');
  const opened = windowTitled('A red square');
  await chooseEntry(web, 'lm_resize', { srcUrl: site.base + '/pictures/red.png', mediaType: 'image' });
  const shown = await opened;
  await shown.locator(`img[src="${site.base}/pictures/red.png"]`).first().waitFor(wait);
});

test('a link entry opens the picture the right-clicked link leads to', async () => {
  const web = await browser.newPage();
  await web.goto(site.base + '/gallery.html');
  const address = site.base + '/pictures/BLUE.PNG';
  const opened = windowTitled(address);
  await chooseEntry(web, 'lm_openresize', { linkUrl: address });
  const shown = await opened;
  await shown.locator(`img[src="${address}"]`).first().waitFor(wait);
});

test('a picture the page does not show itself gives its own size', async () => {
  const web = await browser.newPage();
  await web.goto(site.base + '/gallery.html');
  // As a picture in a frame the page keeps to itself: not among its images.
  const elsewhere = site.base + '/pictures/green.png';
  const menuPage = windowAt('/lm:lm_resize#menu=');
  await chooseEntry(web, 'lm_resize', { srcUrl: elsewhere, mediaType: 'image' });
  const id = new URL((await menuPage).url()).hash.replace('#menu=', '');
  const announced = JSON.parse(readFileSync(join(runFolder, 'lumorel', 'host.json'), 'utf8'));
  const snapshot = await (await fetch(`${announced.address}/.lumorel/menu/${id}`,
    { headers: { 'X-Lumorel-Token': announced.token } })).json();
  assert.deepEqual(snapshot.element,
    { tagName: 'IMG', src: elsewhere, title: '', width: 2, height: 2 });
});

test('without the relay the user is told how to install it', async () => {
  const registered = join(profile, 'NativeMessagingHosts', 'org.lumorel.menu_relay.json');
  renameSync(registered, registered + '.away');
  try {
    const web = await browser.newPage();
    await web.goto(site.base + '/gallery.html');
    const told = browser.waitForEvent('page', {
      ...wait, predicate: (p) => p.url().includes('problem.html'),
    });
    await chooseEntry(web, 'lm_links');
    const problem = await told;
    await problem.getByText('tools/install-browser-menu').waitFor(wait);
  } finally {
    renameSync(registered + '.away', registered);
  }
});
