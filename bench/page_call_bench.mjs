// One synchronous member call from a page, as the pages make them: the page
// reads lm.FileCount in headless Chromium against the host on loopback.
// Prints the median and the 99th percentile, beside those of a bare
// synchronous request to the host that runs no member (the floor of one
// round trip through browser and HTTP), and those of the same call from a
// plain HTTP client with a kept connection (the host alone).
//
//   (cd tests/e2e && npm ci)    # once
//   node bench/page_call_bench.mjs [path/to/lumorel] [calls]
import http from 'node:http';
import { launchBrowser, startHost, stopHost, tempFolder, TOKEN } from '../tests/e2e/harness.mjs';

// `n` calls of FileCount on a control of its own, one after another.
async function directCalls(base, n) {
  const agent = new http.Agent({ keepAlive: true, maxSockets: 1 });
  const headers = { 'X-Lumorel-Token': TOKEN, 'Content-Type': 'application/json' };
  const post = (path, body) => new Promise((resolve, reject) => {
    const req = http.request(base + path, { method: 'POST', agent, headers }, (res) => {
      let text = '';
      res.on('data', (c) => { text += c; });
      res.on('end', () => resolve(text));
    });
    req.on('error', reject);
    req.end(body);
  });
  const id = JSON.parse(await post('/.lumorel/controls', '')).id;
  const body = JSON.stringify({ member: 'FileCount', kind: 'get', args: [] });
  const times = [];
  for (let i = 0; i < n + 200; ++i) {
    const t0 = performance.now();
    await post(`/.lumorel/controls/${id}/call`, body);
    if (i >= 200) times.push(performance.now() - t0);
  }
  agent.destroy();
  times.sort((a, b) => a - b);
  return { median: times[Math.floor(n / 2)], p99: times[Math.floor(n * 0.99)] };
}

if (process.argv[2]) process.env.LUMOREL_HOST = process.argv[2];
const calls = Number(process.argv[3] || 5000);

const home = tempFolder('lumorel-bench-home-');
const profile = tempFolder('lumorel-bench-profile-');
const host = await startHost(home.path);
const browser = await launchBrowser(profile.path);
try {
  const page = await browser.newPage();
  await page.goto(host.address);
  const figures = await page.evaluate((n) => {
    function measure(f) {
      for (let i = 0; i < 200; ++i) f();  // warm up
      const times = [];
      for (let i = 0; i < n; ++i) {
        const t0 = performance.now();
        f();
        times.push(performance.now() - t0);
      }
      times.sort((a, b) => a - b);
      return { median: times[Math.floor(n / 2)], p99: times[Math.floor(n * 0.99)] };
    }
    // Each read a round trip: none answered from a snapshot.
    window.lumorelSnapshot = false;
    const member = measure(() => lm.FileCount);
    const floor = measure(() => {
      const xhr = new XMLHttpRequest();
      xhr.open('GET', '/favicon.ico', false);
      xhr.send();
    });
    return { member, floor };
  }, calls);
  const direct = await directCalls(host.base, calls);
  const ms = (x) => x.toFixed(3) + ' ms';
  console.log(`synchronous lm.FileCount from the page, ${calls} calls:`);
  console.log(`  median ${ms(figures.member.median)}   99th percentile ${ms(figures.member.p99)}`);
  console.log('bare synchronous request to the host (no member):');
  console.log(`  median ${ms(figures.floor.median)}   99th percentile ${ms(figures.floor.p99)}`);
  console.log('the same call from a plain HTTP client, connection kept:');
  console.log(`  median ${ms(direct.median)}   99th percentile ${ms(direct.p99)}`);
} finally {
  await browser.close();
  await stopHost(host);
  home.remove();
  profile.remove();
}
