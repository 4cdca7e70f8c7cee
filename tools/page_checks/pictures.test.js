// The page set's pictures: GIF89a, 32 x 32, with a global colour table, and
// exactly what the drawing script in pages/artwork makes.
'use strict';

const test = require('node:test');
const assert = require('node:assert');
const fs = require('fs');
const os = require('os');
const path = require('path');
const { execFileSync } = require('child_process');
const { PAGES_DIR, readPages } = require('./pages');
const { decodeGif } = require('./gif_decode');

const PICTURES = ['logo.gif', 'help.gif', 'options.gif', 'start.gif', 'exit.gif', 'utils.gif',
                  'organize.gif', 'info.gif', 'dups.gif'];

test('every picture is a 32 x 32 GIF89a with a global colour table', () => {
  for (const name of PICTURES) {
    const gif = decodeGif(fs.readFileSync(path.join(PAGES_DIR, name)));
    assert.strictEqual(gif.version, 'GIF89a', name);
    assert.deepStrictEqual([gif.width, gif.height], [32, 32], name);
    assert.ok(gif.globalTable, name);
    assert.strictEqual(gif.trailer, 0x3b, name);
    // Drawn, not empty: more than the background shows.
    assert.ok(new Set(gif.pixels).size >= 3, name);
  }
});

test('the pictures are the drawing script\'s', () => {
  const out = fs.mkdtempSync(path.join(os.tmpdir(), 'lumorel-pictures-'));
  try {
    execFileSync(process.execPath, [path.join(PAGES_DIR, 'artwork', 'make_pictures.js'), out]);
    assert.deepStrictEqual(fs.readdirSync(out).sort(), [...PICTURES].sort());
    for (const name of PICTURES) {
      assert.ok(fs.readFileSync(path.join(out, name)).equals(fs.readFileSync(path.join(PAGES_DIR, name))),
                `${name} differs from what pages/artwork/make_pictures.js draws`);
    }
  } finally {
    fs.rmSync(out, { recursive: true, force: true });
  }
});

test('every picture a page shows is one of the set', () => {
  for (const page of readPages()) {
    const shown = page.source.match(/lm:[\w.]+\.gif/gi) || [];
    for (const address of shown) {
      assert.ok(PICTURES.includes(address.slice(3).toLowerCase()), `${page.file} shows ${address}`);
    }
  }
});
