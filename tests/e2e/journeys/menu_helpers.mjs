// The browser's context menu as the journeys play it: a web page the user
// right-clicks, served over http from loopback by the test; the snapshot of
// it that the menu relay hands the host; the Lumorel page the entry opens in
// a window of its own; the alerts, confirmations and windows that page
// shows, and the navigations it asks of the right-clicked tab.
import { createServer } from 'node:http';
import { readFileSync, writeFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { extname, join, resolve, sep } from 'node:path';
import { TOKEN, launchBrowser, startHost, stopHost, tempFolder } from '../harness.mjs';
import { writePictures } from './fixtures.mjs';
import { wait } from './page_helpers.mjs';

// The texts the menu pages show, as the page checks hold them.
export const { MENU_TEXTS, existsMessage } =
  createRequire(import.meta.url)('../../../tools/page_checks/menu_texts.js');

// `text` as a browser's alert or confirmation shows it: its line breaks as
// line feeds.
export function asShown(text) {
  return text.replace(/\r\n?/g, '\n');
}

const TYPES = {
  '.jpg': 'image/jpeg', '.jpe': 'image/jpeg', '.jpeg': 'image/jpeg', '.png': 'image/png', '.gif': 'image/gif',
  '.htm': 'text/html; charset=utf-8',
};

// Serves the files below `root` over http on 127.0.0.1 (any free port);
// gives { base, close }.
export async function serveFolder(root) {
  const top = resolve(root);
  const server = createServer((req, res) => {
    const path = decodeURIComponent(new URL(req.url, 'http://any').pathname);
    const file = resolve(join(top, path));
    let body = null;
    if (file.startsWith(top + sep)) {
      try {
        body = readFileSync(file);
      } catch {
        body = null;
      }
    }
    if (!body) {
      res.writeHead(404, { 'Content-Type': 'text/plain' });
      res.end('not here\n');
      return;
    }
    res.writeHead(200, { 'Content-Type': TYPES[extname(file).toLowerCase()] || 'application/octet-stream',
      'Content-Length': body.length });
    res.end(body);
  });
  await new Promise((done) => server.listen(0, '127.0.0.1', done));
  return {
    base: `http://127.0.0.1:${server.address().port}`,
    close: () => new Promise((done) => {
      server.closeAllConnections();
      server.close(done);
    }),
  };
}

// The pictures of the web site the user right-clicks in.
export const WEB_PICTURES = [
  { path: 'pictures/photo.JPG', width: 320, height: 240, colour: '#c03030' },
  { path: 'pictures/river.png', width: 200, height: 150, colour: '#3050c0' },
  { path: 'pictures/tiny.gif', width: 40, height: 30, colour: '#30a040' },
  { path: 'pictures/scan.jpe', width: 120, height: 90, colour: '#a0a030' },
  { path: 'pictures/huge.jpg', width: 2000, height: 1500, colour: '#703090' },
];

// The links of gallery.htm in document order, with the ids of those the
// journeys right-click. Picture links: an extension of the rule in any case
// (photo.JPG), but not one followed by a query (photo.jpg?size=2) nor a
// folder named like a picture (pictures.jpg/view).
export const GALLERY_LINKS = [
  { href: 'index.htm' },
  { href: 'pictures/photo.JPG' },
  { href: 'pictures/photo.jpg?size=2', id: 'to-small-photo' },
  { href: 'pictures/river.png', id: 'to-river' },
  { href: 'pictures.jpg/view' },
  { href: 'pictures/tiny.gif', id: 'to-tiny' },
  { href: 'archive.zip' },
  { href: 'pictures/scan.jpe' },
];
// The gallery's picture links, in order; saving leaves out ".jpe".
export const GALLERY_PICTURES = ['pictures/photo.JPG', 'pictures/river.png', 'pictures/tiny.gif', 'pictures/scan.jpe'];
export const GALLERY_SAVED = GALLERY_PICTURES.filter((p) => !p.endsWith('.jpe'));

// Writes the web site below `root`, drawing its pictures in `page` (any page
// of a browser): gallery.htm ("Holiday Pictures": the links above, the huge
// picture #big titled "Big one", the picture #small without a title and the
// text #words), untitled.htm (no title; two picture links) and
// nopictures.htm (links, none to a picture).
export async function writeWebSite(page, root) {
  await writePictures(page, root, WEB_PICTURES);
  const anchors = GALLERY_LINKS.map((l) => `<a${l.id ? ` id="${l.id}"` : ''} href="${l.href}">${l.href}</a><br>`);
  writeWebPage(root, 'gallery.htm', 'Holiday Pictures', anchors.join('\n') +
    '<p id="words">Pictures of the holiday.</p><img id="small" src="pictures/photo.JPG">' +
    '<img id="big" src="pictures/huge.jpg" title="Big one">');
  writeWebPage(root, 'untitled.htm', '',
    '<a href="pictures/river.png">river</a> <a href="pictures/tiny.gif">tiny</a>');
  writeWebPage(root, 'nopictures.htm', 'Notes',
    '<a href="index.htm">home</a> <a href="pictures/photo.jpg?size=2">small</a> <a href="pictures.jpg/view">album</a>');
}

// Writes a web page `name` below `root` titled `title` with `body` (markup).
export function writeWebPage(root, name, title, body) {
  writeFileSync(join(root, name), `<!DOCTYPE html><html><head><meta charset="utf-8"><title>${title}</title></head>` +
    `<body>${body}</body></html>\n`);
}

// What the menu relay sends the host for `page` (a menu page's name) on the
// web page shown in `tab`: its address, title and links, and the element
// `selector` finds there (a picture or a link), or none.
export async function snapshotOf(tab, page, selector = null) {
  const snapshot = await tab.evaluate((s) => {
    const element = s && document.querySelector(s);
    let right = null;
    if (element && element.tagName === 'IMG') {
      right = { tagName: 'IMG', src: element.src, title: element.title, width: element.width, height: element.height };
    } else if (element && element.tagName === 'A') {
      right = { tagName: 'A', href: element.href };
    } else if (element) {
      right = { tagName: element.tagName };
    }
    return {
      document: { url: location.href, title: document.title, links: Array.from(document.links, (a) => a.href) },
      element: right,
    };
  }, selector);
  return { page, tab: 1, ...snapshot };
}

// Gives the snapshot to the host as the menu relay does: { id, page }.
export async function postSnapshot(host, snapshot) {
  const answer = await fetch(host.base + '/.lumorel/menu', {
    method: 'POST',
    headers: { 'X-Lumorel-Token': TOKEN, 'Content-Type': 'application/json' },
    body: JSON.stringify(snapshot),
  });
  if (answer.status !== 200) throw new Error(`the host refused the snapshot: ${await answer.text()}`);
  return answer.json();
}

// Opens the menu page of `snapshot` as the menu relay does, in a window of
// its own of `width` x `height` (which headless Chromium also gives it as its
// screen). `from` is a page of Lumorel's: the host serves no page to a
// window that another site opens, while the relay's windows come from no
// site at all. Gives { id, menu }: the snapshot's id and the
// menu page. Alerts and confirmations go to a recorder of the browser
// (recordDialogs), which must be made before: they come as the page loads.
export async function openMenuPage(from, host, snapshot, { width = 800, height = 600 } = {}) {
  const { id, page } = await postSnapshot(host, snapshot);
  const popup = from.waitForEvent('popup', wait);
  await from.evaluate(([url, features]) => { window.open(url, '', features); },
    [host.base + page, `width=${width},height=${height}`]);
  return { id, menu: await popup };
}

// Waits until the menu page has closed its window, as it does once its work
// is done.
export async function menuDone(menu) {
  if (!menu.isClosed()) await menu.waitForEvent('close', wait);
}

// The windows the browser opens from now on other than menu pages: `list`,
// and `next()` for the first one not yet taken, once its page has loaded;
// `stop()` stops recording.
export function windowsOpened(browser) {
  const list = [];
  let taken = 0;
  const waiting = [];
  const opened = (page) => {
    if (/#menu=/.test(page.url())) return;
    list.push(page);
    while (waiting.length && taken < list.length) waiting.shift()(list[taken++]);
  };
  browser.on('page', opened);
  return {
    list,
    stop() {
      browser.off('page', opened);
    },
    async next() {
      const page = taken < list.length ? list[taken++] : await new Promise((resolveNext, reject) => {
        const timer = setTimeout(() => reject(new Error('no window opened')), wait.timeout);
        waiting.push((p) => {
          clearTimeout(timer);
          resolveNext(p);
        });
      });
      await page.waitForLoadState();
      return page;
    },
  };
}

// Every alert and confirmation of the browser's pages, in order: `list` of
// { type, message }. Alerts are accepted; a confirmation takes the next of
// the answers given to `answer` (and is declined, recorded as unexpected,
// when none was given). `until(n)` waits until there are n. The browser's
// listener is there before any menu page loads: a page's own listener could
// come after the dialog it shows at once.
export function recordDialogs(browser) {
  const list = [];
  const answers = [];
  const waiting = [];
  browser.on('dialog', async (dialog) => {
    const entry = { type: dialog.type(), message: dialog.message() };
    if (entry.type === 'confirm' && answers.length === 0) entry.type = 'unexpected confirm';
    list.push(entry);
    for (let i = waiting.length - 1; i >= 0; --i) if (list.length >= waiting[i].count) waiting.splice(i, 1)[0].resolve();
    if (dialog.type() === 'confirm' && answers.length > 0 && answers.shift()) await dialog.accept();
    else if (dialog.type() === 'alert') await dialog.accept();
    else await dialog.dismiss();
  });
  return {
    list,
    answer(...yes) {
      answers.push(...yes);
    },
    clear() {
      list.length = 0;
      answers.length = 0;
    },
    until(count) {
      if (list.length >= count) return Promise.resolve();
      return new Promise((resolveUntil, reject) => {
        const timer = setTimeout(() => reject(new Error('dialogs so far: ' + JSON.stringify(list))), wait.timeout);
        waiting.push({ count, resolve: () => { clearTimeout(timer); resolveUntil(); } });
      });
    },
  };
}

// The navigations the menu page `id` asks of the right-clicked tab, read
// from the host's stream as the menu relay reads it: `next()` gives the
// next address; `stop()` ends the reading.
export function navigationsOf(host, id) {
  const controller = new AbortController();
  const urls = [];
  let taken = 0;
  const waiting = [];
  const take = () => {
    while (waiting.length && taken < urls.length) waiting.shift()(urls[taken++]);
  };
  (async () => {
    const answer = await fetch(`${host.base}/.lumorel/menu/${id}/events`,
      { headers: { 'X-Lumorel-Token': TOKEN }, signal: controller.signal });
    const decoder = new TextDecoder();
    let buffer = '';
    for await (const chunk of answer.body) {
      buffer += decoder.decode(chunk, { stream: true });
      let end;
      while ((end = buffer.indexOf('\n\n')) >= 0) {
        const lines = buffer.slice(0, end).split('\n');
        buffer = buffer.slice(end + 2);
        const event = lines.find((l) => l.startsWith('event: '));
        const data = lines.filter((l) => l.startsWith('data: ')).map((l) => l.slice(6)).join('\n');
        if (event === 'event: navigate') {
          urls.push(JSON.parse(data).url);
          take();
        }
      }
    }
  })().catch((failure) => {
    if (!controller.signal.aborted) throw failure;
  });
  return {
    urls,
    next() {
      if (taken < urls.length) return Promise.resolve(urls[taken++]);
      return new Promise((resolveNext, reject) => {
        const timer = setTimeout(() => reject(new Error('no navigation asked')), wait.timeout);
        waiting.push((url) => {
          clearTimeout(timer);
          resolveNext(url);
        });
      });
    },
    stop() {
      controller.abort();
    },
  };
}

// The host with its built-in pages, a browser, the web site served from
// loopback and two tabs: `main` (Lumorel's main window, through which the
// journeys read and write preferences and open the menu pages) and `tab`
// (the gallery, the page right-clicked). `dialogs` records the browser's alerts and confirmations.
// `end()` stops everything.
export async function startMenuJourney(name) {
  const home = tempFolder(`lumorel-${name}-home-`);
  const profile = tempFolder(`lumorel-${name}-profile-`);
  const web = tempFolder(`lumorel-${name}-web-`);
  const host = await startHost(home.path, { builtInPages: true });
  const browser = await launchBrowser(profile.path);
  const dialogs = recordDialogs(browser);
  const scratch = await browser.newPage();
  await writeWebSite(scratch, web.path);
  await scratch.close();
  const site = await serveFolder(web.path);
  const main = await browser.newPage();
  await main.goto(host.address);
  await main.waitForFunction(() => window.lm && document.readyState === 'complete');
  const tab = await browser.newPage();
  await tab.goto(site.base + '/gallery.htm');
  return {
    host, browser, dialogs, site, main, tab, web: web.path, home: home.path,
    pref: (key) => main.evaluate((k) => lm.Preference(k), key),
    setPrefs: (prefs) => main.evaluate((p) => {
      for (const key of Object.keys(p)) lm.Preference(key, p[key]);
    }, prefs),
    async end() {
      await browser.close();
      const ended = await stopHost(host);
      await site.close();
      for (const folder of [home, profile, web]) folder.remove();
      return ended;
    },
  };
}

// The window's place on the screen.
export function windowOf(page) {
  return page.evaluate(() => ({ left: screenX, top: screenY, width: outerWidth, height: outerHeight }));
}
