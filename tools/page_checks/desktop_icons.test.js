// The Linux desktop's icons: resources/icons/hicolor holds each drawing of
// the icon script's table at each of its sizes, as a PNG the script draws,
// which decodes to that drawing on a transparent ground.
'use strict';

const test = require('node:test');
const assert = require('node:assert');
const fs = require('fs');
const os = require('os');
const path = require('path');
const { execFileSync } = require('child_process');
const { decodePng, bitwiseCrc32 } = require('./png_decode');

const RESOURCES_DIR = path.join(__dirname, '..', '..', 'resources');
const ICONS_DIR = path.join(RESOURCES_DIR, 'icons');
const SCRIPT = path.join(RESOURCES_DIR, 'artwork', 'make_icons.js');
const { DESKTOP_ICONS, DRAWINGS, desktopIconPath } = require(SCRIPT);
const { encodePng, crc32 } = require(path.join(RESOURCES_DIR, 'artwork', 'png'));
const { PALETTE } = require('../../pages/artwork/make_pictures');
const { C, Canvas } = require('../../pages/artwork/canvas');

// Every icon of the table: [drawing, size, path relative to the icon folder].
const EXPECTED = DESKTOP_ICONS.sizes.flatMap((size) =>
  DESKTOP_ICONS.icons.map(({ name, file }) => [name, size, desktopIconPath(file, size)]));

// The files below a folder, as sorted paths relative to it with '/'.
function filesBelow(folder) {
  return fs.readdirSync(folder, { recursive: true })
    .filter((file) => fs.statSync(path.join(folder, file)).isFile())
    .map((file) => file.split(path.sep).join('/'))
    .sort();
}

test('the theme folder holds exactly the table\'s icons, as the script draws them', () => {
  for (const [, size, file] of EXPECTED)
    assert.match(file, new RegExp(`^hicolor/${size}x${size}/apps/lumorel(-[a-z]+)?\\.png$`));
  const expected = EXPECTED.map(([, , file]) => file).sort();
  assert.strictEqual(new Set(expected).size, DESKTOP_ICONS.sizes.length * DESKTOP_ICONS.icons.length,
                     'one file per drawing and size');
  assert.deepStrictEqual(filesBelow(path.join(ICONS_DIR, 'hicolor')).map((f) => `hicolor/${f}`), expected);
  const out = fs.mkdtempSync(path.join(os.tmpdir(), 'lumorel-desktop-icons-'));
  try {
    execFileSync(process.execPath, [SCRIPT, out]);
    assert.deepStrictEqual(filesBelow(path.join(out, 'hicolor')).map((f) => `hicolor/${f}`), expected);
    for (const file of expected) {
      assert.ok(fs.readFileSync(path.join(out, file)).equals(fs.readFileSync(path.join(ICONS_DIR, file))),
                `${file} differs from what resources/artwork/make_icons.js draws`);
    }
  } finally {
    fs.rmSync(out, { recursive: true, force: true });
  }
});

test('each icon is its drawing at its size, clear where the drawing is', () => {
  for (const [name, size, file] of EXPECTED) {
    const png = decodePng(fs.readFileSync(path.join(ICONS_DIR, file)));
    assert.deepStrictEqual(png.types, ['IHDR', 'IDAT', 'IEND'], file);
    assert.deepStrictEqual([png.width, png.height], [size, size], file);
    const alpha = (x, y) => png.pixels[(y * size + x) * 4 + 3];
    // The drawings leave the corners clear: the icon sits on any ground.
    for (const [x, y] of [[0, 0], [size - 1, 0], [0, size - 1], [size - 1, size - 1]])
      assert.strictEqual(alpha(x, y), 0, `${file}: corner ${x},${y} is transparent`);
    const canvas = new Canvas(size);
    DRAWINGS[name](canvas);
    let opaque = 0;
    for (let y = 0; y < size; ++y)
      for (let x = 0; x < size; ++x) {
        const index = canvas.at(x, y);
        const expected = index === C.clear ? [0, 0, 0, 0] : [...PALETTE[index], 255];
        const at = (y * size + x) * 4;
        assert.deepStrictEqual([...png.pixels.subarray(at, at + 4)], expected, `${file}: pixel ${x},${y}`);
        if (alpha(x, y) === 255) ++opaque;
      }
    assert.ok(opaque > 0, `${file} shows something`);
  }
});

test('the encoder\'s CRC-32 is the standard one', () => {
  const cases = [
    ['', 0],
    ['123456789', 0xcbf43926], // the CRC-32 check value
    ['IEND', 0xae426082], // every PNG file's last four bytes
    ['\u00ff\u0000\u0080', bitwiseCrc32(Buffer.from([0xff, 0x00, 0x80]))],
  ];
  for (const [text, expected] of cases)
    assert.strictEqual(crc32(Buffer.from(text, 'latin1')), expected, JSON.stringify(text));
});

test('the encoder keeps width, height and channels apart', () => {
  // Sizes where a swapped width and height, a row stride off by the
  // filter byte or a lost last row would show.
  for (const [width, height] of [[1, 1], [3, 2], [2, 5], [17, 1]]) {
    const rgba = Buffer.alloc(width * height * 4);
    for (let i = 0; i < rgba.length; ++i) rgba[i] = (i * 37 + 11) & 0xff;
    const png = decodePng(encodePng(width, height, rgba));
    assert.deepStrictEqual([png.width, png.height], [width, height]);
    assert.ok(png.pixels.equals(rgba), `${width} x ${height} pixels come back`);
  }
  assert.throws(() => encodePng(2, 2, Buffer.alloc(15)), /do not fit/);
});
