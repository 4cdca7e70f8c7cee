// The host as someone other than its user meets it: another user of the
// machine with nothing but a loopback connection, and a web page of another
// site open in the user's own browser. Neither reads a token or a file,
// makes a control, or writes a file.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { chmodSync, existsSync, mkdirSync, writeFileSync } from 'node:fs';
import { createServer } from 'node:http';
import { join } from 'node:path';
import { launchBrowser, startHost, stopHost, tempFolder } from './harness.mjs';

let home, victim, drop, host, token;

before(async () => {
  home = tempFolder('lumorel-attack-home-');
  victim = tempFolder('lumorel-attack-victim-');
  // A folder both users can write to: a save planted there by the stranger
  // would be the victim's file.
  drop = tempFolder('lumorel-attack-drop-');
  chmodSync(drop.path, 0o1777);
  writeFileSync(join(victim.path, 'id_rsa'), 'PRIVATE KEY');
  mkdirSync(join(victim.path, 'album'));
  writeFileSync(join(victim.path, 'album', 'a.gif'), 'GIF89a');
  host = await startHost(home.path, { token: null });
  token = new URL(host.address).searchParams.get('token');
});

after(async () => {
  if (host) await stopHost(host);
  for (const folder of [home, victim, drop]) if (folder) folder.remove();
});

function canSwitchUsers() {
  if (process.getuid() !== 0) return 'not run as root: cannot act as another user';
  const probe = spawnSync('setpriv', ['--reuid=nobody', '--regid=nogroup', '--clear-groups', 'true']);
  if (probe.error || probe.status !== 0) return 'setpriv cannot switch to the user nobody here';
  return null;
}

// Runs curl as the unprivileged user nobody; gives status and body.
function asNobody(args) {
  const run = spawnSync('setpriv', ['--reuid=nobody', '--regid=nogroup', '--clear-groups', '--',
    'curl', '-s', '-o', '-', '-w', '\n%{http_code}', '--max-time', '10', ...args],
  { encoding: 'latin1' });
  const out = run.stdout || '';
  const cut = out.lastIndexOf('\n');
  return { status: Number(out.slice(cut + 1)), body: out.slice(0, cut) };
}

test('another user of the machine gets nothing from the host', (t) => {
  const cannot = canSwitchUsers();
  if (cannot) return t.skip(cannot);
  const base = host.base;
  const planted = join(drop.path, 'planted.jpg');
  const attempts = [
    [`${base}/lm:main`],
    [`${base}/lm:main?token=guess`],
    [`${base}/.lumorel/bridge.js`],
    ['-X', 'POST', `${base}/.lumorel/controls`],
    [`${base}/.lumorel/picture?path=${join(victim.path, 'id_rsa')}`],
    [`${base}/.lumorel/picture?path=${join(victim.path, 'album', 'a.gif')}`],
    [`${base}/lm:&save=${planted}&src=${base}/lm:main`],
    ['-H', `Cookie: lumorel-${new URL(base).port}=${token}`, `${base}/lm:main`],
  ];
  for (const args of attempts) {
    const answer = asNobody(args);
    assert.equal(answer.status, 403, args.join(' '));
    assert.ok(!answer.body.includes(token), `${args.join(' ')} gave the token`);
    assert.ok(!answer.body.includes('PRIVATE KEY'), `${args.join(' ')} gave the file`);
  }
  assert.ok(!existsSync(planted), 'no file was written');
  // Nor does the token stand where another user can read it.
  const cmdline = spawnSync('setpriv', ['--reuid=nobody', '--regid=nogroup', '--clear-groups', '--',
    'cat', `/proc/${host.child.pid}/cmdline`], { encoding: 'latin1' });
  assert.ok(!cmdline.stdout.includes(token), 'the token is not on the command line');
});

test('a page of another site in the user\'s browser saves nothing through the relay', async () => {
  const profile = tempFolder('lumorel-attack-profile-');
  // The picture every save asks for, from the hostile server itself.
  const relay = (name) =>
    `${host.base}/lm:&save=${join(drop.path, name)}&src=http://127.0.0.1:${hostile.address().port}/pic.jpg`;
  // The hostile page, on another port of the same address (same site, other
  // origin) and under another name (another site). A blind request is all
  // such a page can make: an element's address, or a fetch without reading.
  const hostile = createServer((req, res) => {
    if (req.url === '/pic.jpg') {
      res.setHeader('Content-Type', 'image/jpeg');
      return res.end(Buffer.from([0xFF, 0xD8, 0xFF, 0xE0, 0, 0]));
    }
    const tag = req.headers.host.startsWith('localhost') ? 'name' : 'port';
    res.setHeader('Content-Type', 'text/html');
    res.end(`<!DOCTYPE html><title>hostile</title>
      <img src="${relay(`img-${tag}.jpg`)}" onerror="document.title += ' img-done'"
           onload="document.title += ' img-done'">
      <script>
        fetch(${JSON.stringify(relay(`fetch-${tag}.jpg`))}, { mode: 'no-cors', credentials: 'include' })
          .then(() => { document.title += ' fetch-done'; }, () => { document.title += ' fetch-done'; });
      </script>`);
  });
  await new Promise((resolve) => hostile.listen(0, '127.0.0.1', resolve));
  const browser = await launchBrowser(profile.path);
  try {
    const own = await browser.newPage();
    await own.goto(host.address);  // the user is signed in: the browser holds the cookie
    await own.waitForURL(/\/lm:main$/);
    const port = hostile.address().port;
    for (const origin of [`http://127.0.0.1:${port}`, `http://localhost:${port}`]) {
      const page = await browser.newPage();
      await page.goto(`${origin}/`);
      await page.waitForFunction(() => /img-done/.test(document.title) &&
        /fetch-done/.test(document.title), null, { timeout: 10000 });
      await page.close();
    }
    for (const name of ['img-port.jpg', 'fetch-port.jpg', 'img-name.jpg', 'fetch-name.jpg'])
      assert.ok(!existsSync(join(drop.path, name)), `${name} was written`);
    // The user's own page still may: the refusals above were not an outage.
    const saved = join(drop.path, 'own.jpg');
    await own.evaluate((address) => fetch(address).then((r) => r.arrayBuffer()), relay('own.jpg'));
    assert.ok(existsSync(saved), 'the user\'s own save was written');
  } finally {
    await browser.close();
    hostile.close();
    profile.remove();
  }
});
