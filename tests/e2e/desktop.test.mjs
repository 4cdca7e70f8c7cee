// Lumorel in a user's desktop, as the user's own tools see it: lumorel
// install and uninstall against a home of the test's own, the "lm:" scheme
// through xdg-mime and xdg-open, and a second start handing its address to
// the Lumorel already running.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync, spawnSync } from 'node:child_process';
import {
  chmodSync, existsSync, mkdirSync, readFileSync, readdirSync, statSync, writeFileSync,
} from 'node:fs';
import { dirname, join, relative } from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import { hostBinary, launchBrowser, tempFolder } from './harness.mjs';
import { wait } from './journeys/page_helpers.mjs';

const root = join(dirname(fileURLToPath(import.meta.url)), '..', '..');
const ENTRIES = ['lumorel.desktop', 'lumorel-tools.desktop', 'lumorel-uninstall.desktop',
  'lumorel-url-handler.desktop'];

let home, env, opened;

// The user's environment: every XDG folder in the test's home, no desktop
// that xdg-open would hand over to, a display for it to believe in, and a
// "browser" (the default for web pages) that notes what it was asked to open.
before(() => {
  home = tempFolder('lumorel-desktop-home-');
  const h = home.path;
  for (const folder of ['data', 'config', 'cache']) mkdirSync(join(h, folder), { recursive: true });
  mkdirSync(join(h, 'run'), { mode: 0o700 });
  opened = join(h, 'opened');
  const browser = join(h, 'browser');
  writeFileSync(browser, `#!/bin/sh\nprintf '%s\\n' "$1" >> '${opened}'\n`);
  chmodSync(browser, 0o755);
  mkdirSync(join(h, 'data', 'applications'), { recursive: true });
  writeFileSync(join(h, 'data', 'applications', 'test-browser.desktop'),
    `[Desktop Entry]\nType=Application\nName=Test browser\nExec=${browser} %u\n`);
  writeFileSync(join(h, 'config', 'mimeapps.list'),
    '[Default Applications]\ntext/html=test-browser.desktop\n');
  env = {};
  for (const [key, value] of Object.entries(process.env)) {
    if (/^(XDG_|KDE_|GNOME_|DESKTOP_SESSION|BROWSER|WAYLAND_DISPLAY)/.test(key)) continue;
    env[key] = value;
  }
  Object.assign(env, {
    HOME: h, XDG_DATA_HOME: join(h, 'data'), XDG_CONFIG_HOME: join(h, 'config'),
    XDG_CACHE_HOME: join(h, 'cache'), XDG_RUNTIME_DIR: join(h, 'run'), DISPLAY: ':77',
    BROWSER: browser,
  });
});

after(() => {
  stopRunningHost();
  home?.remove();
});

function lumorel(...args) {
  const run = spawnSync(hostBinary(), args, { env, encoding: 'utf8', timeout: 30000 });
  return { status: run.status, out: run.stdout, err: run.stderr };
}

function xdg(tool, ...args) {
  return execFileSync(tool, args, { env, encoding: 'utf8', timeout: 30000 }).trim();
}

// xdg-open, which returns once what it started has; the Lumorel that starts
// keeps the output it inherits, so none is kept here.
function xdgOpen(address) {
  const run = spawnSync('xdg-open', [address], { env, stdio: 'ignore', timeout: 30000 });
  assert.equal(run.status, 0, `xdg-open ${address}`);
}

// Every file below the test's home, with its bytes, but the browser's notes.
function snapshot() {
  const files = {};
  const walk = (folder) => {
    for (const entry of readdirSync(folder, { withFileTypes: true })) {
      const path = join(folder, entry.name);
      if (entry.isDirectory()) walk(path);
      else if (path !== opened) files[relative(home.path, path)] = readFileSync(path).toString('base64');
    }
  };
  walk(home.path);
  return files;
}

// What the test's browser was asked to open, once it has been asked `count`
// times in all.
async function openedTimes(count) {
  for (;;) {
    const lines = existsSync(opened) ? readFileSync(opened, 'utf8').split('\n').filter(Boolean) : [];
    if (lines.length >= count) return lines;
    await new Promise((resolve) => setImmediate(resolve));
  }
}

// The running Lumorel's announcement, or null when there is none (a
// Lumorel that ends takes it away at any moment).
function announced() {
  try {
    return JSON.parse(readFileSync(join(home.path, 'run', 'lumorel', 'host.json'), 'utf8'));
  } catch (failure) {
    if (failure.code === 'ENOENT') return null;
    throw failure;
  }
}

function stopRunningHost() {
  const host = announced();
  if (host) {
    try { process.kill(host.pid, 'SIGTERM'); } catch { /* gone already */ }
  }
}

// The launch page's address, checked to be private and not on any command line.
function launchTarget(path, token) {
  assert.equal(path, join(home.path, 'run', 'lumorel', 'open.html'));
  assert.equal(statSync(path).mode & 0o777, 0o600);
  const page = readFileSync(path, 'utf8');
  const target = /content="0;url=([^"]+)"/.exec(page)[1].replaceAll('&amp;', '&');
  if (token) assert.ok(target.endsWith(`token=${token}`), target);
  return target;
}

test('install writes the menu entries, icons, handler, extension and relay, and says so', () => {
  const mine = join(home.path, 'data', 'applications', 'mine.desktop');
  writeFileSync(mine, '[Desktop Entry]\nName=Mine\n');
  const first = lumorel('install');
  assert.equal(first.status, 0, first.out + first.err);
  const apps = join(home.path, 'data', 'applications');
  for (const entry of ENTRIES) assert.match(first.out, new RegExp(`wrote ${join(apps, entry)}`));
  const names = ENTRIES.map((e) => /\nName=(.*)\n/.exec(readFileSync(join(apps, e), 'utf8'))[1]);
  assert.deepEqual(names, ['Lumorel 1.4', 'Lumorel Tools', 'Lumorel Uninstall', 'Lumorel']);
  const program = readFileSync(join(apps, 'lumorel.desktop'), 'utf8');
  assert.match(program, /\nExec=\/\S+\/lumorel --detach lm:main\n/);
  assert.doesNotMatch(readdirSync(apps).map((e) => readFileSync(join(apps, e), 'utf8')).join(),
    /token/i);
  for (const size of [16, 32, 48, 256]) {
    const icon = readFileSync(join(home.path, 'data', 'icons', 'hicolor', `${size}x${size}`, 'apps',
      'lumorel.png'));
    assert.equal(icon.readUInt32BE(16), size, `the ${size} icon's width`);
  }
  assert.equal(xdg('xdg-mime', 'query', 'default', 'x-scheme-handler/lm'),
    'lumorel-url-handler.desktop');
  assert.equal(xdg('xdg-mime', 'query', 'default', 'text/html'), 'test-browser.desktop');
  const extension = join(home.path, 'data', 'lumorel', 'browser-extension');
  assert.deepEqual(readFileSync(join(extension, 'manifest.json')),
    readFileSync(join(root, 'browser-extension', 'manifest.json')));
  assert.match(first.out, new RegExp(`Load unpacked" and pick ${extension}`));

  // The relay's manifest is the one tools/install-browser-menu writes.
  const relay = join(dirname(hostBinary()), 'lumorel-menu-relay');
  if (existsSync(relay) && hostBinary() === join(root, 'build', 'host', 'lumorel')) {
    const scripted = join(home.path, 'scripted');
    execFileSync(join(root, 'tools', 'install-browser-menu'), ['--into', scripted],
      { env, stdio: 'ignore' });
    assert.equal(
      readFileSync(join(home.path, 'config', 'chromium', 'NativeMessagingHosts',
        'org.lumorel.menu_relay.json'), 'utf8'),
      readFileSync(join(scripted, 'org.lumorel.menu_relay.json'), 'utf8'));
  }

  const before = snapshot();
  const second = lumorel('install');
  assert.equal(second.status, 0, second.out + second.err);
  assert.deepEqual(snapshot(), before);
  assert.equal(readFileSync(mine, 'utf8'), '[Desktop Entry]\nName=Mine\n');
});

test('xdg-open lm:main starts Lumorel, and a second address goes to the same Lumorel', async () => {
  xdgOpen('lm:main');
  const [first] = await openedTimes(1);
  const host = announced();
  assert.ok(host, 'the started Lumorel announces itself');
  const target = launchTarget(first, host.token);
  assert.equal(target, `${host.address}/lm:main?token=${host.token}`);
  // The address is Lumorel's main page, for the holder of the token.
  const page = await fetch(`${host.address}/lm:main`, { headers: { 'X-Lumorel-Token': host.token } });
  assert.equal(page.status, 200);
  assert.match(await page.text(), /<title>/i);

  const again = lumorel('lm:keys');
  assert.equal(again.status, 0, again.err);
  assert.match(again.err, /already running/);
  assert.doesNotMatch(again.out + again.err, new RegExp(host.token));
  const [, second] = await openedTimes(2);
  assert.equal(launchTarget(second, host.token), `${host.address}/lm:keys?token=${host.token}`);
  assert.equal(announced().pid, host.pid, 'no second Lumorel');

  // Uninstalling while it runs would lose the settings it writes as it ends.
  const refused = lumorel('uninstall');
  assert.equal(refused.status, 1);
  assert.match(refused.err, /Lumorel is running/);
  assert.ok(existsSync(join(home.path, 'data', 'applications', 'lumorel.desktop')));

  // In a browser, the launch page takes the user to the page, with the
  // token traded for the cookie and gone from the address.
  const profile = tempFolder('lumorel-desktop-profile-');
  const browser = await launchBrowser(profile.path);
  try {
    const page = await browser.newPage();
    await page.goto(pathToFileURL(second).href);
    await page.waitForURL(`${host.address}/lm:keys`, wait);
    await page.waitForFunction(() => document.readyState === 'complete' && document.title !== '',
      undefined, wait);
  } finally {
    await browser.close();
    profile.remove();
  }

  stopRunningHost();
  while (announced()) await new Promise((resolve) => setImmediate(resolve));
});

test('uninstall removes what install wrote and the settings, twice without harm', () => {
  const h = home.path;
  // Settings as a Lumorel run leaves them, and the user's pictures.
  mkdirSync(join(h, 'config', 'lumorel'), { recursive: true, mode: 0o700 });
  writeFileSync(join(h, 'config', 'lumorel', 'preferences.sqlite'), 'db');
  mkdirSync(join(h, 'run', 'lumorel'), { recursive: true, mode: 0o700 });
  writeFileSync(join(h, 'run', 'lumorel', '+history.txt'), 'h');
  mkdirSync(join(h, 'pictures'));
  writeFileSync(join(h, 'pictures', 'one.jpg'), 'jpeg');

  const first = lumorel('uninstall');
  assert.equal(first.status, 0, first.out + first.err);
  assert.match(first.out, /removed .*lumorel\.desktop/);
  assert.match(first.out, /removed .*preferences\.sqlite/);
  assert.equal(spawnSync('xdg-mime', ['query', 'default', 'x-scheme-handler/lm'],
    { env, encoding: 'utf8' }).stdout.trim(), '');
  const left = Object.keys(snapshot()).sort();
  assert.deepEqual(left, ['browser', 'config/mimeapps.list', 'data/applications/mine.desktop',
    'data/applications/test-browser.desktop', 'pictures/one.jpg',
    ...left.filter((f) => f.startsWith('scripted/'))]);
  assert.equal(readFileSync(join(h, 'config', 'mimeapps.list'), 'utf8'),
    '[Default Applications]\ntext/html=test-browser.desktop\n');

  const second = lumorel('uninstall');
  assert.equal(second.status, 0, second.out + second.err);
  assert.match(second.out, /nothing to remove/);
});
