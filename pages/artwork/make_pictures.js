#!/usr/bin/env node
// Draws the page set's nine 32 x 32 pictures and writes them as GIF89a files
// with a global colour table into the folder given (the page folder by
// default). Each picture is drawn from a few shapes on a shared palette, so
// the set looks like one family; colour 0 is transparent.
//
//   node pages/artwork/make_pictures.js [folder]
'use strict';

const fs = require('fs');
const path = require('path');
const { encodeGif } = require('./gif');
const { C, Canvas, photo } = require('./canvas');

const SIZE = 32;

// The shared palette: [r, g, b]. Index 0 is the transparent background.
const PALETTE = [
  [192, 192, 192], // 0 transparent (the dialogs' face colour shows through)
  [0, 0, 0], //       1 outline
  [255, 255, 255], // 2 white
  [32, 80, 176], //   3 blue
  [96, 152, 232], //  4 light blue
  [24, 136, 56], //   5 green
  [112, 208, 120], // 6 light green
  [184, 32, 32], //   7 red
  [240, 112, 96], //  8 light red
  [232, 176, 32], //  9 amber
  [252, 224, 120], // 10 light amber
  [96, 96, 96], //   11 dark grey
  [160, 160, 160], // 12 grey
  [216, 216, 216], // 13 light grey
  [120, 72, 32], //  14 brown
  [72, 40, 120], //  15 violet
];

const PICTURES = {
  // The product logo: two slides fanned out behind a photograph.
  'logo.gif'(c) {
    c.polygon([[4, 10], [20, 4], [26, 20], [10, 26]], C.sky);
    c.polygon([[6, 6], [22, 6], [22, 22], [6, 22]], C.sand);
    photo(c, 9, 9, 29, 27, C.sky, C.green);
    c.outline(C.ink);
  },
  // Help: a question mark on a blue disc.
  'help.gif'(c) {
    c.disc(16, 16, 13, C.blue);
    c.ring(16, 16, 11, 13, C.sky);
    c.glyph(11, 7, [
      '..####..',
      '.##..##.',
      '##....##',
      '......##',
      '.....##.',
      '....##..',
      '...##...',
      '...##...',
      '........',
      '...##...',
      '...##...',
    ], C.white);
    c.outline(C.ink);
  },
  // Options: a grey cog with a hub.
  'options.gif'(c) {
    const teeth = 8;
    c.fill((x, y) => {
      const dx = x - 16;
      const dy = y - 16;
      const r = Math.hypot(dx, dy);
      const a = Math.atan2(dy, dx);
      const tooth = Math.cos(a * teeth) > 0.3;
      return r <= (tooth ? 14 : 11);
    }, C.grey);
    c.disc(16, 16, 8, C.silver);
    c.disc(16, 16, 4, C.clear);
    c.ring(16, 16, 4, 5.5, C.dark);
    c.outline(C.ink);
  },
  // Slideshow: a green play button over a photograph.
  'start.gif'(c) {
    photo(c, 2, 4, 26, 24, C.sky, C.green);
    c.disc(22, 22, 9, C.green);
    c.ring(22, 22, 7.5, 9, C.leaf);
    c.polygon([[19, 17], [27, 22], [19, 27]], C.white);
    c.outline(C.ink);
  },
  // Exit: a door left ajar, with a red arrow leaving.
  'exit.gif'(c) {
    c.rect(4, 3, 20, 29, C.brown);
    c.rect(6, 5, 18, 29, C.ink);
    c.polygon([[6, 5], [15, 8], [15, 31], [6, 29]], C.sand);
    c.set(13, 18, C.ink);
    c.polygon([[17, 14], [24, 14], [24, 10], [30, 17], [24, 24], [24, 20], [17, 20]], C.red);
    c.outline(C.ink);
  },
  // Tools: a wrench crossed over a screwdriver.
  'utils.gif'(c) {
    c.polygon([[6, 24], [24, 6], [27, 9], [9, 27]], C.amber);
    c.polygon([[4, 26], [8, 22], [11, 25], [7, 29]], C.red);
    c.polygon([[8, 5], [27, 24], [24, 27], [5, 8]], C.grey);
    c.disc(7, 7, 5, C.grey);
    c.disc(25, 25, 5, C.grey);
    c.polygon([[4, 4], [8, 8], [6, 2]], C.clear);
    c.rect(22, 22, 25, 25, C.clear);
    c.outline(C.ink);
  },
  // Organize: pictures going into a folder.
  'organize.gif'(c) {
    photo(c, 6, 2, 22, 15, C.sky, C.green);
    photo(c, 12, 5, 28, 18, C.sand, C.brown);
    c.polygon([[2, 14], [12, 14], [14, 16], [30, 16], [30, 29], [2, 29]], C.amber);
    c.polygon([[2, 19], [30, 19], [30, 29], [2, 29]], C.sand);
    c.outline(C.ink);
  },
  // Information: an "i" on a blue disc.
  'info.gif'(c) {
    c.disc(16, 16, 13, C.blue);
    c.ring(16, 16, 11, 13, C.sky);
    c.rect(14, 7, 18, 11, C.white);
    c.rect(14, 13, 18, 24, C.white);
    c.rect(12, 13, 14, 15, C.white);
    c.rect(12, 23, 20, 25, C.white);
    c.outline(C.ink);
  },
  // Duplicates: two equal photographs, one behind the other, marked equal.
  'dups.gif'(c) {
    photo(c, 2, 2, 20, 17, C.sky, C.green);
    photo(c, 11, 12, 29, 27, C.sky, C.green);
    c.outline(C.ink);
    c.rect(3, 21, 9, 23, C.violet);
    c.rect(3, 25, 9, 27, C.violet);
  },
};

function main() {
  const folder = process.argv[2] || path.join(__dirname, '..');
  for (const [name, draw] of Object.entries(PICTURES)) {
    const canvas = new Canvas(SIZE);
    draw(canvas);
    const bytes = encodeGif(SIZE, SIZE, PALETTE, canvas.pixels, 0);
    fs.writeFileSync(path.join(folder, name), bytes);
  }
}

if (require.main === module) main();
module.exports = { PICTURES, PALETTE };
