#!/usr/bin/env node
// Draws the module's five icon groups and writes them as .ico files into the
// folder given (resources/icons by default), and three of the drawings as
// the Linux desktop's PNG icons below it, in the freedesktop icon theme's
// layout (hicolor/<N>x<N>/apps/). They belong to the page set's family of
// pictures: the same palette (pages/artwork/make_pictures.js), the same
// shapes, and where a page picture already says it, that picture.
//
//   node resources/artwork/make_icons.js [folder]
//
// Run it after changing a drawing here or in make_pictures.js and commit the
// icons; tools/page_checks/module_icons.test.js and desktop_icons.test.js
// check that the committed files are what this script draws.
'use strict';

const fs = require('fs');
const path = require('path');
const { PICTURES, PALETTE } = require('../../pages/artwork/make_pictures');
const { C, Canvas, photo } = require('../../pages/artwork/canvas');
const { encodePng } = require('./png');

// A red badge at the lower right, with a white mark drawn by `mark`.
function badge(c, mark) {
  c.disc(22, 22, 9, C.red);
  c.ring(22, 22, 7.5, 9, C.rose);
  mark();
}

const DRAWINGS = {
  // The application: the product logo.
  application: PICTURES['logo.gif'],
  // Deleting a picture: a photograph crossed out.
  confirm_delete(c) {
    photo(c, 2, 3, 26, 23, C.sky, C.green);
    badge(c, () => {
      c.polygon([[17, 19], [19, 17], [27, 25], [25, 27]], C.white);
      c.polygon([[25, 17], [27, 19], [19, 27], [17, 25]], C.white);
    });
    c.outline(C.ink);
  },
  // Moving pictures into folders: the organizer's picture.
  confirm_move: PICTURES['organize.gif'],
  // Uninstalling: the logo's slides with a red "minus" badge.
  uninstall(c) {
    c.polygon([[3, 9], [17, 3], [22, 17], [8, 23]], C.sky);
    photo(c, 5, 6, 25, 24, C.sky, C.green);
    badge(c, () => c.rect(16, 20, 28, 24, C.white));
    c.outline(C.ink);
  },
  // The tools window: the tools picture.
  tools: PICTURES['utils.gif'],
};

// Resource id, file and formats ([size, colours]) of each icon group.
const ICONS = [
  { id: 200, name: 'application', formats: [[32, 16], [32, 256], [16, 16]] },
  { id: 218, name: 'confirm_delete', formats: [[32, 16]] },
  { id: 220, name: 'confirm_move', formats: [[32, 16]] },
  { id: 223, name: 'uninstall', formats: [[32, 16], [16, 16]] },
  { id: 224, name: 'tools', formats: [[32, 16], [16, 16]] },
];

// The desktop's icons: each drawing under its file name in the icon theme,
// drawn at every size. The program installs them from the files this table
// names, so the theme's name of the application's icon is its program name.
const DESKTOP_ICONS = {
  sizes: [16, 22, 24, 32, 48, 64, 128, 256],
  icons: [
    { name: 'application', file: 'lumorel' },
    { name: 'tools', file: 'lumorel-tools' },
    { name: 'uninstall', file: 'lumorel-uninstall' },
  ],
};

// Where an icon of the theme goes, relative to the icon folder.
function desktopIconPath(file, size) {
  return path.posix.join('hicolor', `${size}x${size}`, 'apps', `${file}.png`);
}

// The 256-colour palette: the 16 shared colours, then 16 shades of each
// shared colour but the transparent one, from darker to lighter.
const SHADES = 16;
function widePalette() {
  const wide = PALETTE.map((rgb) => rgb.slice());
  for (let i = 1; i < PALETTE.length; ++i)
    for (let k = 0; k < SHADES; ++k) {
      const t = k / (SHADES - 1); // 0 darker .. 1 lighter
      wide.push(PALETTE[i].map((v) =>
        Math.round(t < 0.5 ? v * (0.7 + 0.6 * t) : v + (255 - v) * (t - 0.5) * 0.5)));
    }
  return wide;
}

// The 256-colour form of a 16-colour drawing: every colour but the outline
// and the transparent background is lit from above, lighter at the top.
function shaded(canvas) {
  const n = canvas.size;
  const out = new Uint8Array(canvas.pixels);
  for (let y = 0; y < n; ++y)
    for (let x = 0; x < n; ++x) {
      const colour = canvas.at(x, y);
      if (colour === C.clear || colour === C.ink) continue;
      const light = Math.round((SHADES - 1) * (1 - y / (n - 1)));
      out[y * n + x] = PALETTE.length + (colour - 1) * SHADES + light;
    }
  return out;
}

// One icon image: a BITMAPINFOHEADER, the colour table, the colour bits and
// the transparency mask, rows bottom up, each padded to 32 bits. Transparent
// pixels are black in the colour bits and set in the mask.
function iconImage(size, bits, palette, pixels) {
  const colourStride = Math.ceil((size * bits) / 32) * 4;
  const maskStride = Math.ceil(size / 32) * 4;
  const colours = 1 << bits;
  const header = Buffer.alloc(40);
  header.writeUInt32LE(40, 0);
  header.writeInt32LE(size, 4);
  header.writeInt32LE(size * 2, 8); // colour bits and mask
  header.writeUInt16LE(1, 12);
  header.writeUInt16LE(bits, 14);
  header.writeUInt32LE(0, 16); // BI_RGB
  header.writeUInt32LE((colourStride + maskStride) * size, 20);
  const table = Buffer.alloc(colours * 4);
  for (let i = 0; i < colours; ++i) {
    const [r, g, b] = palette[i] || [0, 0, 0];
    table.writeUInt8(b, i * 4);
    table.writeUInt8(g, i * 4 + 1);
    table.writeUInt8(r, i * 4 + 2);
  }
  const colourBits = Buffer.alloc(colourStride * size);
  const mask = Buffer.alloc(maskStride * size);
  for (let y = 0; y < size; ++y) {
    const row = size - 1 - y;
    for (let x = 0; x < size; ++x) {
      let index = pixels[y * size + x];
      if (index === C.clear) {
        mask[row * maskStride + (x >> 3)] |= 0x80 >> (x & 7);
        index = C.ink;
      }
      if (bits === 8) colourBits[row * colourStride + x] = index;
      else colourBits[row * colourStride + (x >> 1)] |= x & 1 ? index : index << 4;
    }
  }
  return Buffer.concat([header, table, colourBits, mask]);
}

// The bytes of an .ico file with one image per format.
function iconFile(draw, formats) {
  const images = formats.map(([size, colours]) => {
    const canvas = new Canvas(size);
    draw(canvas);
    return colours === 256
      ? { size, bits: 8, colours, data: iconImage(size, 8, widePalette(), shaded(canvas)) }
      : { size, bits: 4, colours, data: iconImage(size, 4, PALETTE, canvas.pixels) };
  });
  const directory = Buffer.alloc(6 + 16 * images.length);
  directory.writeUInt16LE(0, 0);
  directory.writeUInt16LE(1, 2); // icon
  directory.writeUInt16LE(images.length, 4);
  let offset = directory.length;
  images.forEach((image, i) => {
    const at = 6 + 16 * i;
    directory.writeUInt8(image.size, at);
    directory.writeUInt8(image.size, at + 1);
    directory.writeUInt8(image.colours < 256 ? image.colours : 0, at + 2);
    directory.writeUInt16LE(1, at + 4);
    directory.writeUInt16LE(image.bits, at + 6);
    directory.writeUInt32LE(image.data.length, at + 8);
    directory.writeUInt32LE(offset, at + 12);
    offset += image.data.length;
  });
  return Buffer.concat([directory, ...images.map((image) => image.data)]);
}

// The RGBA bytes of a drawing: the shared palette, opaque, and the
// transparent colour clear (black at alpha 0).
function rgbaPixels(canvas) {
  const rgba = Buffer.alloc(canvas.pixels.length * 4);
  canvas.pixels.forEach((index, i) => {
    if (index === C.clear) return;
    rgba.set(PALETTE[index], i * 4);
    rgba[i * 4 + 3] = 255;
  });
  return rgba;
}

// The bytes of a desktop icon's PNG file.
function desktopIconFile(draw, size) {
  const canvas = new Canvas(size);
  draw(canvas);
  return encodePng(size, size, rgbaPixels(canvas));
}

function main() {
  const folder = process.argv[2] || path.join(__dirname, '..', 'icons');
  for (const { name, formats } of ICONS)
    fs.writeFileSync(path.join(folder, `${name}.ico`), iconFile(DRAWINGS[name], formats));
  for (const size of DESKTOP_ICONS.sizes)
    for (const { name, file } of DESKTOP_ICONS.icons) {
      const where = path.join(folder, desktopIconPath(file, size));
      fs.mkdirSync(path.dirname(where), { recursive: true });
      fs.writeFileSync(where, desktopIconFile(DRAWINGS[name], size));
    }
}

if (require.main === module) main();
module.exports = { ICONS, DESKTOP_ICONS, DRAWINGS, desktopIconPath };
