// The drawing the page pictures and the module's icons share: the colour
// indices of their palette, a canvas that samples the pictures' 32-unit
// space at its own size, and the family's motif.
'use strict';

// Colour indices of the shared palette; 0 is transparent, 1 black.
const C = {
  clear: 0, ink: 1, white: 2, blue: 3, sky: 4, green: 5, leaf: 6, red: 7, rose: 8,
  amber: 9, sand: 10, dark: 11, grey: 12, silver: 13, brown: 14, violet: 15,
};

// The drawings are made in the page pictures' 32-unit space; a canvas of
// another size samples that space at its own pixels.
const UNITS = 32;

class Canvas {
  constructor(size) {
    this.size = size;
    this.scale = size / UNITS;
    this.pixels = new Uint8Array(size * size);
  }
  // A pixel given in 32-unit space.
  set(x, y, colour) {
    this.put(Math.floor(x * this.scale), Math.floor(y * this.scale), colour);
  }
  put(x, y, colour) {
    if (x >= 0 && y >= 0 && x < this.size && y < this.size) this.pixels[y * this.size + x] = colour;
  }
  at(x, y) {
    return this.pixels[y * this.size + x];
  }
  // Every pixel whose centre, in 32-unit space, `inside` accepts.
  fill(inside, colour) {
    for (let y = 0; y < this.size; ++y)
      for (let x = 0; x < this.size; ++x)
        if (inside((x + 0.5) / this.scale, (y + 0.5) / this.scale)) this.put(x, y, colour);
  }
  rect(x0, y0, x1, y1, colour) {
    this.fill((x, y) => x >= x0 && x < x1 && y >= y0 && y < y1, colour);
  }
  disc(cx, cy, r, colour) {
    this.fill((x, y) => (x - cx) ** 2 + (y - cy) ** 2 <= r * r, colour);
  }
  ring(cx, cy, r0, r1, colour) {
    this.fill((x, y) => {
      const d = (x - cx) ** 2 + (y - cy) ** 2;
      return d <= r1 * r1 && d >= r0 * r0;
    }, colour);
  }
  polygon(points, colour) {
    this.fill((x, y) => {
      let inside = false;
      for (let i = 0, j = points.length - 1; i < points.length; j = i++) {
        const [xi, yi] = points[i];
        const [xj, yj] = points[j];
        if (yi > y !== yj > y && x < ((xj - xi) * (y - yi)) / (yj - yi) + xi) inside = !inside;
      }
      return inside;
    }, colour);
  }
  // A one-pixel outline (at this canvas's pixels) around every shape so far.
  outline(colour) {
    const n = this.size;
    const marks = [];
    for (let y = 0; y < n; ++y)
      for (let x = 0; x < n; ++x) {
        if (this.at(x, y) !== C.clear) continue;
        const near = [[1, 0], [-1, 0], [0, 1], [0, -1]].some(([dx, dy]) => {
          const nx = x + dx;
          const ny = y + dy;
          return nx >= 0 && ny >= 0 && nx < n && ny < n && this.at(nx, ny) !== C.clear;
        });
        if (near) marks.push([x, y]);
      }
    for (const [x, y] of marks) this.put(x, y, colour);
  }
  glyph(x, y, rows, colour) {
    rows.forEach((row, dy) => {
      for (let dx = 0; dx < row.length; ++dx) if (row[dx] === '#') this.set(x + dx, y + dy, colour);
    });
  }
}

// The family's motif: a framed photograph of a mountain under a sun.
function photo(c, x0, y0, x1, y1, sky, hill) {
  c.rect(x0, y0, x1, y1, C.white);
  c.rect(x0 + 2, y0 + 2, x1 - 2, y1 - 2, sky);
  const w = x1 - x0 - 4;
  const h = y1 - y0 - 4;
  const bx = x0 + 2;
  const by = y0 + 2;
  c.disc(bx + w * 0.75, by + h * 0.3, Math.max(1.5, h * 0.16), C.amber);
  c.polygon([[bx, by + h], [bx + w * 0.35, by + h * 0.35], [bx + w * 0.6, by + h * 0.7],
             [bx + w * 0.75, by + h * 0.55], [bx + w, by + h]], hill);
}

module.exports = { C, UNITS, Canvas, photo };
