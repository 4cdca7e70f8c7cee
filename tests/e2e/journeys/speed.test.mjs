// How soon the next picture appears after a key press when the slide show
// has preloaded it: many Right presses over 2-megapixel JPEGs, each timed in
// the page from the key-down event (and from its release) to the first
// animation frame that has the new picture visible, and the round trips to
// the host each press cost. Measured with the bridge's snapshot and again
// without it. Prints the medians and the 99th percentiles; a measurement,
// not a pass/fail timing.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { mkdirSync, writeFileSync } from 'node:fs';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { launchBrowser, startHost, stopHost, tempFolder } from '../harness.mjs';
import { writePictures } from './fixtures.mjs';

const here = dirname(fileURLToPath(import.meta.url));
const ARTIFACTS = process.env.LUMOREL_E2E_ARTIFACTS || join(here, '..', 'artifacts');
const PRESSES = Number(process.env.LUMOREL_SPEED_PRESSES || 60);
const COLOURS = ['#b04030', '#3080b0', '#40a050', '#c09020', '#8040a0', '#208080', '#a03070', '#607020'];

let home, folder, profile, host, browser;

before(async () => {
  home = tempFolder('lumorel-speed-home-');
  folder = tempFolder('lumorel-speed-pictures-');
  profile = tempFolder('lumorel-speed-profile-');
  host = await startHost(home.path, { builtInPages: true });
  browser = await launchBrowser(profile.path);
  await browser.addInitScript(timeKeyPresses);
  const scratch = await browser.newPage();
  // 1732 x 1155: two megapixels each.
  await writePictures(scratch, folder.path, COLOURS.map((colour, i) => ({
    path: `photo${i}.jpg`, width: 1732, height: 1155, colour,
  })));
  await scratch.close();
});

after(async () => {
  if (browser) await browser.close();
  if (host) await stopHost(host);
  for (const f of [home, folder, profile]) if (f) f.remove();
});

// In every page: for each key press, the milliseconds from its key-down and
// the animation frames from its key-up (the slide show shows a navigation's
// picture when the key is released) until the first frame in which the
// slide show's picture has a new address and is visible, and the round trips
// to the host until then.
function timeKeyPresses() {
  window.keyTimes = [];
  let press = null;
  const requests = () => (window.lumorel ? window.lumorel.calls.requests : 0);
  window.addEventListener('keydown', () => {
    const pic = document.getElementById('pic');
    if (pic) press = { start: performance.now(), before: pic.src, requests: requests() };
  }, true);
  window.addEventListener('keyup', () => {
    const pic = document.getElementById('pic');
    const p = press;
    if (!pic || !p) return;
    const released = performance.now();
    let frames = 0;
    const frame = () => {
      frames += 1;
      if (pic.src !== p.before && pic.style.visibility === 'visible' && pic.complete) {
        window.keyTimes.push({ ms: performance.now() - p.start, fromRelease: performance.now() - released,
                               frames, roundTripsToPicture: requests() - p.requests });
        return;
      }
      if (frames < 600) requestAnimationFrame(frame);
    };
    requestAnimationFrame(frame);
  }, true);
}

function percentile(sorted, p) {
  return sorted[Math.min(sorted.length - 1, Math.ceil((p / 100) * sorted.length) - 1)];
}

test('the preloaded next picture appears within a frame or so of the key press', async () => {
  const main = await browser.newPage();
  await main.goto(host.address);
  await main.waitForFunction(() => window.lm && document.readyState === 'complete');
  await main.evaluate((dir) => {
    lm.Preference('FullScreen', '0');
    lm.Preference('SelDir', dir);
    lm.Preference('MainImg.Top', '0');
    lm.Preference('MainImg.Left', '0');
    lm.Preference('MainImg.Width', '800');
    lm.Preference('MainImg.Height', '600');
  }, folder.path + '/');
  const popup = main.waitForEvent('popup');
  await main.locator('#slideshow').dispatchEvent('mousedown');
  await main.locator('#slideshow').dispatchEvent('mouseup');
  const show = await popup;
  show.on('dialog', (d) => d.accept());
  const prompt = show.locator('[data-dialog="200"]');
  await prompt.waitFor({ timeout: 10000 });
  await show.waitForFunction((dir) => document.querySelector('[data-dialog="200"]').getAttribute('data-folder') === dir,
                             folder.path + '/', { timeout: 10000 });
  await prompt.locator('button[name="ok"]').click();

  const withSnapshot = await pressRight(show);
  await show.evaluate(() => { window.lumorelSnapshot = false; });
  const without = await pressRight(show);
  mkdirSync(ARTIFACTS, { recursive: true });
  writeFileSync(join(ARTIFACTS, 'next-picture-speed.json'), JSON.stringify({ withSnapshot, without }, null, 2));
  for (const [label, run] of [['with the snapshot', withSnapshot], ['without the snapshot', without]]) {
    console.log(`# next picture after a key press, ${label}: ${JSON.stringify(run.figures)}`);
    assert.equal(run.times.length, PRESSES);
  }
});

// Presses Right PRESSES times, each once the neighbour is preloaded and
// decoded; gives the figures and each press's times.
async function pressRight(show) {
  await show.evaluate(() => { window.keyTimes = []; });
  const trips = [];  // round trips of each press, its preload included
  for (let i = 0; i < PRESSES; ++i) {
    // The neighbour preloaded and decoded, as it is when a user looks at a
    // picture for a moment: the preload is another picture than the one
    // shown (until the page has started the next one, it still holds the
    // picture now shown), loaded, and then decoded.
    await settledOnPicture(show);
    const before = await show.evaluate(() => window.lumorel.calls.requests);
    await show.keyboard.press('ArrowRight');
    await settledOnPicture(show);
    trips.push(await show.evaluate(() => window.lumorel.calls.requests) - before);
  }
  await show.waitForFunction((n) => window.keyTimes.length === n, PRESSES, { timeout: 10000 });
  const times = await show.evaluate(() => window.keyTimes);
  const sorted = (key) => times.map((t) => t[key]).sort((a, b) => a - b);
  const ms = sorted('ms');
  const frames = sorted('frames');
  const fromRelease = sorted('fromRelease');
  const toPicture = sorted('roundTripsToPicture');
  trips.sort((a, b) => a - b);
  const figures = {
    presses: PRESSES,
    picture: '1732 x 1155 JPEG',
    medianMs: Number(percentile(ms, 50).toFixed(1)),
    p99Ms: Number(percentile(ms, 99).toFixed(1)),
    medianMsFromRelease: Number(percentile(fromRelease, 50).toFixed(1)),
    p99MsFromRelease: Number(percentile(fromRelease, 99).toFixed(1)),
    medianFrames: percentile(frames, 50),
    p99Frames: percentile(frames, 99),
    medianRoundTripsPerKey: percentile(trips, 50),
    maxRoundTripsPerKey: trips[trips.length - 1],
    medianRoundTripsToPicture: percentile(toPicture, 50),
  };
  return { figures, times, trips };
}

// The slide show shows its picture, and has preloaded and decoded the next.
async function settledOnPicture(show) {
  await show.waitForFunction(() => {
    const pic = document.getElementById('pic');
    return pic.style.visibility === 'visible' && pic.complete && window.preload &&
      window.preload.src !== pic.src && window.preload.complete && window.preload.naturalWidth > 0;
  }, undefined, { timeout: 10000 });
  await show.evaluate(() => window.preload.decode());
}
