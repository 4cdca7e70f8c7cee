// Starts a host on loopback with the test page set and a headless Chromium
// against it; both end with the test file.
import { spawn } from 'node:child_process';
import { mkdirSync, mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';

const here = dirname(fileURLToPath(import.meta.url));
export const TOKEN = 'e2e-token-0123456789';

// The host binary: $LUMOREL_HOST, else the plain build's.
export function hostBinary() {
  return process.env.LUMOREL_HOST || join(here, '..', '..', 'build', 'host', 'lumorel');
}

// Starts a host with its user folders below `home`, serving the test page set,
// or the compiled-in one when `builtInPages` is true; with `token` null, the
// host makes its own token, as when a user starts it. `args` go after the
// usual ones.
export async function startHost(home, { builtInPages = false, token = TOKEN, args = [] } = {}) {
  // The user's own folders: preferences, the files of "+" preferences, and
  // the cache that holds offline copies of web pages.
  mkdirSync(join(home, 'config'), { recursive: true, mode: 0o700 });
  mkdirSync(join(home, 'run'), { recursive: true, mode: 0o700 });
  const pages = builtInPages ? [] : ['--pages', join(here, 'pages')];
  const child = spawn(hostBinary(),
    ['--port', '0', ...(token === null ? [] : ['--token', token]), '--no-browser', ...pages, ...args], {
      env: { ...process.env, XDG_CONFIG_HOME: join(home, 'config'), XDG_RUNTIME_DIR: join(home, 'run'),
             XDG_CACHE_HOME: join(home, 'cache') },
      stdio: ['ignore', 'pipe', 'inherit'],
    });
  const address = await new Promise((resolve, reject) => {
    let out = '';
    child.stdout.on('data', (chunk) => {
      out += chunk;
      const line = out.split('\n')[0];
      if (out.includes('\n')) resolve(line.trim());
    });
    child.on('exit', (code) => reject(new Error(`lumorel exited with ${code} before serving`)));
  });
  // The printed address carries the token; its first visit trades it for
  // the cookie that lets the browser in.
  return { child, address, base: new URL(address).origin };
}

export async function stopHost(host) {
  const ended = new Promise((resolve) => host.child.on('exit', (code, signal) => resolve({ code, signal })));
  host.child.kill('SIGTERM');
  return ended;
}

export async function launchBrowser(profile) {
  return chromium.launchPersistentContext(profile, {
    executablePath: process.env.LUMOREL_CHROMIUM || '/usr/bin/chromium',
    headless: true,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
}

// Does `act` (a key press, a click), on which `page` closes its window, and
// waits until the window has gone. A page may close its window before the
// browser has finished the input (a key's release, the end of a click): the
// input then fails for want of a page, and the closed window is what the user
// sees. Any other failure stands.
export async function closesWindow(page, act, { timeout = 10000 } = {}) {
  const closed = page.waitForEvent('close', { timeout });
  try {
    await act();
  } catch (failure) {
    await closed.catch(() => {});
    if (!page.isClosed()) throw failure;
  }
  await closed;
}

// A temporary folder, removed by the returned function.
export function tempFolder(prefix) {
  const path = mkdtempSync(join(tmpdir(), prefix));
  return { path, remove: () => rmSync(path, { recursive: true, force: true }) };
}
