// The test page set in Chromium against the host: a control made from the
// page's object element, a scan with its OnLoadDone, the confirmation and
// the folder prompt shown in the page and answered there, pictures, dialogs
// and windows.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { copyFileSync, existsSync, mkdirSync, readdirSync } from 'node:fs';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { request as httpRequest } from 'node:http';
import { TOKEN, closesWindow, launchBrowser, startHost, stopHost, tempFolder } from './harness.mjs';

const here = dirname(fileURLToPath(import.meta.url));
let home, pictures, profile, host, browser, page;

before(async () => {
  home = tempFolder('lumorel-e2e-home-');
  pictures = tempFolder('lumorel-e2e-pictures-');
  profile = tempFolder('lumorel-e2e-profile-');
  const gif = join(here, 'pages', 'logo.gif');
  copyFileSync(gif, join(pictures.path, 'a.gif'));
  mkdirSync(join(pictures.path, 'sub'));
  copyFileSync(gif, join(pictures.path, 'sub', 'b.gif'));
  host = await startHost(home.path);
  browser = await launchBrowser(profile.path);
  page = await browser.newPage();
  await page.goto(host.address);
});

after(async () => {
  if (browser) await browser.close();
  if (host) {
    const { code, signal } = await stopHost(host);
    assert.equal(code, 0, `lumorel ended with ${code} ${signal}`);
  }
  for (const folder of [home, pictures, profile]) if (folder) folder.remove();
});

const seen = (name) => page.evaluate((n) => window.seen[n], name);
const waitFor = (expression, arg) => page.waitForFunction(expression, arg, { timeout: 10000 });

test('the page gets a control and reads its members synchronously', async () => {
  assert.equal(await page.evaluate(() => lm.Version), '1.4');
  assert.equal(await page.evaluate(() => lm.FileCount), 0);
  await page.evaluate(() => lm.Preference('Timer', '1'));
  assert.equal(await page.evaluate(() => lm.Preference('Timer')), '1');
  assert.deepEqual(await seen('errors'), []);
});

test('lm: addresses in markup reach the host', async () => {
  await waitFor(() => document.getElementById('logo').complete &&
    document.getElementById('logo').naturalWidth === 1);
  assert.match(await page.evaluate(() => document.getElementById('keys').href), /\/lm:keys$/);
});

test('a scan ends with OnLoadDone, whose handler reads the control', async () => {
  await page.evaluate((folder) => scan(folder), pictures.path + '/');
  await waitFor(() => window.seen.loads === 1);
  assert.equal(await seen('count'), 2);
  assert.match(await seen('current'), /^file:\/\/.*\.gif$/);
  assert.equal(await page.evaluate(() => lm.CurrentName), await seen('current'));
  // The picture text is shown through the host's picture route.
  await page.evaluate(() => showCurrent());
  await waitFor(() => document.getElementById('picture').complete &&
    document.getElementById('picture').naturalWidth === 1);
});

test('heartbeat ticks reach the page', async () => {
  await page.evaluate(() => lm.StartTimer(20));
  await waitFor(() => window.seen.timers >= 3);
  await page.evaluate(() => lm.StopTimer());
});

test('the delete confirmation is shown in the page and answered there', async () => {
  const current = await page.evaluate(() => lm.CurrentName);
  const file = current.slice('file://'.length);
  await page.evaluate(() => removeCurrent());
  const dialog = page.locator('[data-dialog="201"]');
  await dialog.waitFor({ timeout: 10000 });
  assert.match(await dialog.innerText(), /Are you sure you want to delete the image file\?/);
  // Cancel first: nothing happens.
  await dialog.locator('button[name=cancel]').click();
  await waitFor(() => window.seen.removed === true);
  assert.ok(existsSync(file));
  await page.evaluate(() => removeCurrent());
  await page.locator('[data-dialog="201"] button[name=ok]').click();
  await waitFor(() => window.seen.removed === true);
  assert.ok(!existsSync(file), `${file} is deleted`);
  assert.equal(await page.evaluate(() => lm.FileCount), 1);
});

test('the folder prompt lists folders and gives the one chosen', async () => {
  await page.evaluate((start) => promptForFolder(start), pictures.path + '/');
  const dialog = page.locator('[data-dialog="200"]');
  await dialog.waitFor({ timeout: 10000 });
  assert.match(await dialog.innerText(), /Select folder to display image/);
  await waitFor((start) => document.querySelector('[data-dialog="200"]')
    .getAttribute('data-folder') === start, pictures.path + '/');
  await dialog.locator('select[name=folders]').selectOption('sub');
  await dialog.locator('select[name=folders]').dblclick();
  await waitFor((sub) => document.querySelector('[data-dialog="200"]')
    .getAttribute('data-folder') === sub, pictures.path + '/sub/');
  await dialog.locator('button[name=ok]').click();
  await waitFor(() => window.seen.chosen !== null);
  assert.equal(await seen('chosen'), pictures.path + '/sub/');
  assert.deepEqual(readdirSync(join(pictures.path, 'sub')), ['b.gif']);
});

test('a folder listing that answers late does not replace the folder the user went to since', async () => {
  // The prompt's first listing is held until the user has chosen another
  // place and that listing is shown.
  const start = pictures.path + '/';
  const sub = pictures.path + '/sub/';
  const isStart = (url) => url.pathname.endsWith('/folders') && url.searchParams.get('path') === start;
  let release;
  const held = new Promise((resolve) => {
    release = resolve;
  });
  await page.route(isStart, async (route) => {
    await held;
    await route.continue();
  });
  // Counts the listings the page has finished with: "loadend" comes after
  // the bridge's own load handler.
  await page.evaluate(() => {
    window.listings = 0;
    window.plainSend = XMLHttpRequest.prototype.send;
    XMLHttpRequest.prototype.send = function (body) {
      this.addEventListener('loadend', () => {
        if (/\/folders\?/.test(this.responseURL)) window.listings += 1;
      });
      return window.plainSend.call(this, body);
    };
  });
  try {
    await page.evaluate((path) => promptForFolder(path), start);
    const dialog = page.locator('[data-dialog="200"]');
    await dialog.waitFor({ timeout: 10000 });
    await page.evaluate((path) => {
      const places = document.querySelector('[data-dialog="200"] select[name="places"]');
      places.appendChild(new Option(path, path));
      places.value = path;
      places.dispatchEvent(new Event('change'));
    }, sub);
    await waitFor((path) => document.querySelector('[data-dialog="200"]').getAttribute('data-folder') === path, sub);
    release();
    await waitFor(() => window.listings === 2);
    assert.equal(await dialog.getAttribute('data-folder'), sub);
    assert.deepEqual(await dialog.locator('select[name="folders"] option').allInnerTexts(), ['..']);
    await dialog.locator('button[name=ok]').click();
    await waitFor(() => window.seen.chosen !== null);
    assert.equal(await seen('chosen'), sub);
  } finally {
    release();
    await page.unroute(isStart);
    await page.evaluate(() => { XMLHttpRequest.prototype.send = window.plainSend; });
  }
});

test('showModalDialog opens the page in a modal frame and gives its returnValue', async () => {
  await page.evaluate(() => openDialog());
  // The dialog's page, once loaded: its script fills in the arguments.
  const element = page.locator('.lumorel-modal iframe');
  await element.waitFor({ timeout: 10000 });
  const frame = await (await element.elementHandle()).contentFrame();
  await frame.waitForFunction(() => location.pathname === '/lm:dlg' && document.readyState === 'complete',
                              undefined, { timeout: 10000 });
  assert.equal(await frame.locator('#args').innerText(), 'hello');
  await frame.locator('#done').click();
  await waitFor(() => window.seen.dialogResult !== null);
  assert.equal(await seen('dialogResult'), true);
  assert.equal(await page.locator('.lumorel-modal').count(), 0);
});

test('QuitIt closes a window the page opened, which saves its place on unload', async () => {
  const [popup] = await Promise.all([
    page.waitForEvent('popup'),
    page.evaluate(() => { window.open('lm:quitter', '', 'width=300,height=300'); }),
  ]);
  await popup.waitForLoadState();
  await closesWindow(popup, () => popup.locator('#quit').click());
  // The unload handler's SaveWindowLoc went out without waiting.
  await waitFor(() => lm.Preference('Quitter.Width') !== '');
  assert.ok(Number(await page.evaluate(() => lm.Preference('Quitter.Height'))) > 0);
  assert.deepEqual(await seen('errors'), []);
});

test('a location set to an lm: address reaches the host', async () => {
  const other = await browser.newPage();
  await other.goto(host.address);
  await Promise.all([
    other.waitForURL(/\/lm:dlg$/, { timeout: 10000 }),
    other.evaluate(() => { location.href = 'lm:dlg'; }),
  ]);
  assert.equal(await other.title(), 'Dialog');
  await other.close();
});

// The shared stream stops carrying a closed window's control, which the host
// closes after its grace: the pictures it handed out are no longer served.
test('a closed window lets its control go, and its pictures with it', async () => {
  const lonely = tempFolder('lumorel-e2e-lonely-');
  try {
    copyFileSync(join(here, 'pages', 'logo.gif'), join(lonely.path, 'c.gif'));
    const other = await browser.newPage();
    await other.goto(host.address);
    await other.evaluate((folder) => scan(folder), lonely.path + '/');
    await other.waitForFunction(() => window.seen.loads === 1, null, { timeout: 10000 });
    await other.evaluate(() => showCurrent());
    const address = await other.evaluate(() => document.getElementById('picture').src);
    const status = (a) => page.evaluate((u) => fetch(u).then((r) => r.status), a);
    assert.equal(await status(address), 200);
    await other.close();
    // Asked again and again until the host no longer serves it.
    await page.evaluate((u) => {
      window.pictureGone = false;
      (function ask() {
        fetch(u).then((r) => { if (r.status === 404) window.pictureGone = true; else setTimeout(ask, 250); });
      })();
    }, address);
    await page.waitForFunction(() => window.pictureGone, null, { timeout: 20000 });
    assert.equal(await page.evaluate(() => lm.Version), '1.4', 'the other windows keep theirs');
  } finally {
    lonely.remove();
  }
});

// Where the browser gives no SharedWorker, each control listens on a stream
// of its own; the calls that open a dialog answer later either way, and a
// failure among them reaches window.onerror.
for (const shared of [true, false]) {
  test(`dialogs and events ${shared ? 'through the shared stream' : 'on a page\'s own stream'}`, async () => {
    const other = await browser.newPage();
    if (!shared) await other.addInitScript(() => { delete window.SharedWorker; });
    await other.goto(host.address);
    assert.equal(await other.evaluate(() => typeof SharedWorker), shared ? 'function' : 'undefined');
    const until = (expression, arg) => other.waitForFunction(expression, arg, { timeout: 10000 });
    await other.evaluate((start) => promptForFolder(start), pictures.path + '/');
    const prompt = other.locator(`[data-dialog="200"][data-folder="${pictures.path}/"]`);
    await prompt.waitFor({ timeout: 10000 });
    assert.deepEqual(await prompt.locator('select[name=folders] option').allInnerTexts(), ['..', 'sub']);
    await prompt.locator('button[name=cancel]').click();
    await until(() => window.seen.chosen === '');
    await other.evaluate((folder) => scan(folder), pictures.path + '/');
    await until(() => window.seen.loads === 1);
    await other.evaluate(() => lm.PromptForPath('/', function () { window.seen.answered = true; }));
    await until(() => window.seen.errors.length === 1);
    assert.match((await other.evaluate(() => window.seen.errors))[0], /lm\.PromptForPath: wrong number of arguments/);
    assert.equal(await other.evaluate(() => window.seen.answered), undefined);
    await other.close();
  });
}

// A host that has no shared stream left to give: the events worker tells the
// pages, and each control listens on a stream of its own.
test('pages of a browser the host refuses a shared stream still get their events', async () => {
  const held = [];
  const refused = await new Promise((resolve, reject) => {
    // Takes the host's shared streams until it refuses one.
    const open = () => {
      const req = httpRequest(`${host.base}/.lumorel/controls/events`, {
        headers: { 'X-Lumorel-Token': TOKEN },
      }, (res) => {
        if (res.statusCode !== 200) { res.resume(); return resolve(res.statusCode); }
        held.push(req);
        if (held.length > 1000) return reject(new Error('the host never refused a stream'));
        open();
      });
      req.on('error', reject);
      req.end();
    };
    open();
  });
  assert.equal(refused, 503);
  const otherProfile = tempFolder('lumorel-e2e-profile-');
  const other = await launchBrowser(otherProfile.path);
  try {
    const alone = await other.newPage();
    await alone.goto(host.address);
    await alone.evaluate(() => lm.StartTimer(20));
    await alone.waitForFunction(() => window.seen.timers >= 3, null, { timeout: 10000 });
    await alone.evaluate(() => lm.StopTimer());
    await alone.evaluate((start) => promptForFolder(start), pictures.path + '/');
    const prompt = alone.locator(`[data-dialog="200"][data-folder="${pictures.path}/"]`);
    await prompt.locator('button[name=cancel]').click({ timeout: 10000 });
    await alone.waitForFunction(() => window.seen.chosen === '', null, { timeout: 10000 });
  } finally {
    await other.close();
    otherProfile.remove();
    for (const req of held) req.destroy();
  }
});
