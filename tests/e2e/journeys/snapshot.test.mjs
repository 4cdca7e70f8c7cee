// The slide show answers its reads from the snapshot a move's answer
// carries: the same journey (moves, folder jumps, letter and random jumps,
// the name line's three forms, the timer's own moves) run with the snapshot
// and without it shows the same pictures and texts and reads the same
// values; and with it, a navigation key costs the page at most one round
// trip to the host.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { launchBrowser, startHost, stopHost, tempFolder } from '../harness.mjs';
import { TREE, writePictures } from './fixtures.mjs';
import { openSlideshow, shownFile, wait } from './page_helpers.mjs';

// Shuffled folder order, replayed the same way in both runs.
const SEED = '20250101';

// Each step: the key, and what shows that the page has finished with it.
// "moved": a navigation key, finished once the page has read the neighbour
// it preloads; the others change the name line or the timer.
const STEPS = [
  ['ArrowRight', 'moved'], ['ArrowRight', 'moved'], ['ArrowRight', 'moved'],
  ['ArrowLeft', 'moved'], ['ArrowLeft', 'moved'], ['ArrowDown', 'moved'],
  ['ArrowDown', 'moved'], ['ArrowUp', 'moved'], ['Home', 'moved'], ['End', 'moved'],
  ['d', 'moved'], ['Backquote', 'moved'], ['Backquote', 'moved'], ['ArrowRight', 'moved'],
  ['Slash', 'sizes'], ['ArrowRight', 'moved'], ['ArrowLeft', 'moved'],
  ['Slash', 'hidden'], ['ArrowRight', 'moved'], ['ArrowDown', 'moved'],
  ['Slash', 'short'], ['Backslash', 'ticking'], ['Backslash', 'stopped'],
  ['ArrowLeft', 'moved'], ['ArrowUp', 'moved'],
];

let pictures;

before(async () => {
  pictures = tempFolder('lumorel-snapshot-pictures-');
  const profile = tempFolder('lumorel-snapshot-scratch-');
  const browser = await launchBrowser(profile.path);
  await writePictures(await browser.newPage(), pictures.path, TREE);
  await browser.close();
  profile.remove();
});

after(() => {
  if (pictures) pictures.remove();
});

// In every page: every member the page reads or calls on `lm`, with its
// arguments and what it gave, its name marked "tick:" when the slide show's
// heartbeat handler made it; and the snapshot off when `useSnapshot` is
// false.
function recordReads(useSnapshot) {
  if (!useSnapshot) window.lumorelSnapshot = false;
  window.reads = [];
  // Set by a handler of OnTimer of our own, which runs before the page's;
  // cleared once the event's handlers have all run.
  let ticking = false;
  const record = (entry) => {
    if (ticking) entry[0] = 'tick:' + entry[0];
    window.reads.push(entry);
  };
  let wrapped;
  Object.defineProperty(window, 'lm', {
    configurable: true,
    get() { return wrapped; },
    set(control) {
      wrapped = new Proxy(control, {
        get(target, name) {
          const v = target[name];
          if (typeof name !== 'string' || !/^[A-Z]/.test(name)) return v;
          if (typeof v !== 'function') {
            record([name, v === undefined ? null : v]);
            return v;
          }
          return function (...args) {
            const r = v.apply(target, args);
            record([name, args.map((a) => (typeof a === 'function' ? 'then' : a)),
              r === undefined ? null : r]);
            return r;
          };
        },
        set(target, name, value) {
          target[name] = value;
          return true;
        },
      });
      control.attachEvent('OnTimer', () => {
        ticking = true;
        queueMicrotask(() => { ticking = false; });
      });
    },
  });
}

// What the slide show shows: the picture's file, the name line, the status
// and timer texts.
function shown() {
  const text = (id) => {
    const el = document.getElementById(id);
    return el.style.visibility === 'hidden' ? '(hidden)' : el.innerText;
  };
  const pic = document.getElementById('pic');
  return {
    file: decodeURIComponent(new URL(pic.src).searchParams.get('path')),
    name: text('nameText'), status: document.getElementById('statusText').innerText,
    timer: text('timerText'),
  };
}

// Waits until the page has done with the step `kind` begun when `reads`
// held `from` entries.
async function settled(show, kind, from) {
  await show.waitForFunction(({ kind, from }) => {
    const reads = window.reads.slice(from);
    const pic = document.getElementById('pic');
    const name = document.getElementById('nameText');
    const timer = document.getElementById('timerText');
    const preloads = (list) => list.filter((r) => r[0] === 'NextName' || r[0] === 'PreviousName').length;
    const pictureShown = pic.style.visibility === 'visible' && pic.complete;
    if (kind === 'moved') return pictureShown && preloads(reads) > 0;
    if (kind === 'sizes') return name.innerText.includes('Size=');
    if (kind === 'hidden') return name.style.visibility === 'hidden';
    if (kind === 'short') return name.style.visibility === 'visible' && !name.innerText.includes('Size=');
    if (kind === 'ticking') {
      // Two moves of the timer's own, each with its picture shown and its
      // neighbour read.
      const moves = reads.map((r, i) => (r[0] === 'tick:Next' ? i : -1)).filter((i) => i >= 0);
      return moves.length >= 2 && pictureShown && preloads(reads.slice(moves[1])) > 0;
    }
    if (kind === 'stopped') return timer.innerText === '';
    return false;
  }, { kind, from }, { timeout: 20000 });
}

// Runs the journey on a host of its own; gives each step's outcome, every
// read, and the round trips of each step.
async function journey(useSnapshot) {
  const home = tempFolder('lumorel-snapshot-home-');
  const profile = tempFolder('lumorel-snapshot-profile-');
  const host = await startHost(home.path, { builtInPages: true, args: ['--random-seed', SEED] });
  const browser = await launchBrowser(profile.path);
  try {
    await browser.addInitScript(recordReads, useSnapshot);
    const main = await browser.newPage();
    await main.goto(host.address);
    await main.waitForFunction(() => window.lm && document.readyState === 'complete', undefined, wait);
    await main.evaluate((dir) => {
      lm.Preference('FullScreen', '0');
      lm.Preference('SelDir', dir);
      lm.Preference('Randomize', '1');
      lm.Preference('TimerSec', '2');
    }, pictures.path + '/');
    const { show, alerts } = await openSlideshow(main, pictures.path);
    await shownFile(show);
    await settled(show, 'moved', 0);
    const loaded = await show.evaluate(() => window.reads.length);
    const steps = [];
    for (const [key, kind] of STEPS) {
      const from = await show.evaluate(() => ({ reads: window.reads.length, ...window.lumorel.calls }));
      await show.keyboard.press(key);
      await settled(show, kind, from.reads);
      const after = await show.evaluate(() => ({ reads: window.reads.length, ...window.lumorel.calls }));
      steps.push({
        key, kind, shown: await show.evaluate(shown),
        roundTrips: after.requests - from.requests, fromSnapshot: after.fromSnapshot - from.fromSnapshot,
      });
    }
    const reads = await show.evaluate(() => window.reads);
    // How many heartbeats the scan's progress took depends on time: those
    // of the loading are left out.
    const loading = reads.slice(0, loaded).filter((r) => !r[0].startsWith('tick:'));
    return { steps, reads: loading.concat(reads.slice(loaded)), alerts };
  } finally {
    await browser.close();
    await stopHost(host);
    home.remove();
    profile.remove();
  }
}

test('a journey reads and shows the same with and without the snapshot, one round trip a key', async () => {
  const withSnapshot = await journey(true);
  const without = await journey(false);
  const outcome = (run) => run.steps.map(({ key, shown: s }) => ({ key, ...s }));
  assert.deepEqual(outcome(withSnapshot), outcome(without));
  assert.deepEqual(withSnapshot.reads, without.reads);
  assert.deepEqual(withSnapshot.alerts, without.alerts);
  // The journey went where it should: several pictures, in more than one
  // folder, and the timer moved on by itself.
  const files = new Set(withSnapshot.steps.map((s) => s.shown.file));
  assert.ok(files.size >= 5, `only ${files.size} pictures shown`);
  assert.ok(withSnapshot.steps.some((s) => /Size=/.test(s.shown.name)));

  const trips = (run) => run.steps.map((s) => `${s.key}:${s.roundTrips}`).join(' ');
  console.log(`# round trips per step with the snapshot: ${trips(withSnapshot)}`);
  console.log(`# round trips per step without it:       ${trips(without)}`);
  assert.equal(without.steps.reduce((n, s) => n + s.fromSnapshot, 0), 0, 'the switch turns it off');
  // With the name line showing the short name and no timer, a navigation
  // key costs one round trip: its move, whose answer carries the rest. (The
  // first key after the scan may find the snapshot ended by the scan's last
  // events.)
  const common = withSnapshot.steps.slice(1, STEPS.findIndex(([key]) => key === 'Slash'));
  for (const step of common) {
    assert.equal(step.kind, 'moved');
    assert.ok(step.roundTrips <= 1, `${step.key} took ${step.roundTrips} round trips`);
  }
  for (const step of withSnapshot.steps.filter((s) => s.kind === 'moved'))
    assert.ok(step.roundTrips < without.steps[withSnapshot.steps.indexOf(step)].roundTrips, step.key);
});
