// The Windows module's icons: each .ico under resources/icons holds the
// formats its icon group needs, and is exactly what the drawing script in
// resources/artwork makes. The folder's hicolor theme, the desktop's icons,
// is checked by desktop_icons.test.js.
'use strict';

const test = require('node:test');
const assert = require('node:assert');
const fs = require('fs');
const os = require('os');
const path = require('path');
const { execFileSync } = require('child_process');

const RESOURCES_DIR = path.join(__dirname, '..', '..', 'resources');
const ICONS_DIR = path.join(RESOURCES_DIR, 'icons');
const SCRIPT = path.join(RESOURCES_DIR, 'artwork', 'make_icons.js');

// [size, bits per pixel] of each image, in order.
const EXPECTED = {
  'application.ico': [[32, 4], [32, 8], [16, 4]],
  'confirm_delete.ico': [[32, 4]],
  'confirm_move.ico': [[32, 4]],
  'uninstall.ico': [[32, 4], [16, 4]],
  'tools.ico': [[32, 4], [16, 4]],
};
// What the icon folder holds: the .ico files and the desktop's icon theme.
const FOLDER = [...Object.keys(EXPECTED), 'hicolor'].sort();

// The directory and each image's bitmap header of an .ico file.
function readIcon(bytes) {
  assert.strictEqual(bytes.readUInt16LE(0), 0, 'reserved');
  assert.strictEqual(bytes.readUInt16LE(2), 1, 'type: icon');
  const count = bytes.readUInt16LE(4);
  const images = [];
  for (let i = 0; i < count; ++i) {
    const at = 6 + 16 * i;
    const entry = {
      width: bytes.readUInt8(at) || 256,
      height: bytes.readUInt8(at + 1) || 256,
      colours: bytes.readUInt8(at + 2),
      planes: bytes.readUInt16LE(at + 4),
      bits: bytes.readUInt16LE(at + 6),
      size: bytes.readUInt32LE(at + 8),
      offset: bytes.readUInt32LE(at + 12),
    };
    const h = entry.offset;
    entry.header = {
      size: bytes.readUInt32LE(h),
      width: bytes.readInt32LE(h + 4),
      height: bytes.readInt32LE(h + 8),
      planes: bytes.readUInt16LE(h + 12),
      bits: bytes.readUInt16LE(h + 14),
      compression: bytes.readUInt32LE(h + 16),
    };
    images.push(entry);
  }
  return { count, images };
}

test('every icon holds its formats, each a complete bitmap with a mask', () => {
  assert.deepStrictEqual(fs.readdirSync(ICONS_DIR).sort(), FOLDER);
  for (const [file, formats] of Object.entries(EXPECTED)) {
    const bytes = fs.readFileSync(path.join(ICONS_DIR, file));
    const icon = readIcon(bytes);
    assert.strictEqual(icon.count, formats.length, file);
    let end = 6 + 16 * icon.count;
    icon.images.forEach((image, i) => {
      const [size, bits] = formats[i];
      const where = `${file} image ${i}`;
      assert.deepStrictEqual([image.width, image.height, image.bits, image.planes], [size, size, bits, 1], where);
      assert.strictEqual(image.colours, bits === 4 ? 16 : 0, where);
      assert.deepStrictEqual(image.header, {
        size: 40, width: size, height: 2 * size, planes: 1, bits, compression: 0,
      }, where);
      // Header, colour table, colour bits and mask, rows padded to 32 bits.
      const colourRow = Math.ceil((size * bits) / 32) * 4;
      const maskRow = Math.ceil(size / 32) * 4;
      assert.strictEqual(image.size, 40 + 4 * (1 << bits) + (colourRow + maskRow) * size, where);
      assert.strictEqual(image.offset, end, where);
      end += image.size;
    });
    assert.strictEqual(bytes.length, end, `${file}: nothing after the last image`);
  }
});

test('the icons are the drawing script\'s', () => {
  const out = fs.mkdtempSync(path.join(os.tmpdir(), 'lumorel-icons-'));
  try {
    execFileSync(process.execPath, [SCRIPT, out]);
    assert.deepStrictEqual(fs.readdirSync(out).sort(), FOLDER);
    for (const file of Object.keys(EXPECTED)) {
      assert.ok(fs.readFileSync(path.join(out, file)).equals(fs.readFileSync(path.join(ICONS_DIR, file))),
                `${file} differs from what resources/artwork/make_icons.js draws`);
    }
  } finally {
    fs.rmSync(out, { recursive: true, force: true });
  }
});
