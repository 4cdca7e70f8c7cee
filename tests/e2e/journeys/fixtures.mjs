// Small real pictures for the journeys: JPEG and PNG drawn by the browser's
// canvas, GIF by the page set's own GIF writer, in a folder tree.
import { mkdirSync, readdirSync, writeFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';

const here = dirname(fileURLToPath(import.meta.url));
const { encodeGif } = createRequire(import.meta.url)(join(here, '..', '..', '..', 'pages', 'artwork', 'gif.js'));

// The tree: path below the root, size, colour. Names start with different
// letters, so a letter key finds exactly one.
export const TREE = [
  { path: 'apple.jpg', width: 320, height: 240, colour: '#c03030' },
  { path: 'berry.png', width: 200, height: 150, colour: '#30a040' },
  { path: 'cloud.gif', width: 40, height: 30, colour: '#3050c0' },
  { path: 'sub1/dune.jpg', width: 640, height: 480, colour: '#d0a030' },
  { path: 'sub1/elm.png', width: 120, height: 90, colour: '#208060' },
  { path: 'sub2/fern.gif', width: 64, height: 64, colour: '#60a020' },
  { path: 'sub2/deeper/grape.jpg', width: 300, height: 400, colour: '#703090' },
];

// Writes `pictures` below `root`, drawing JPEG and PNG in `page` (any page
// of a browser).
export async function writePictures(page, root, pictures) {
  for (const p of pictures) {
    const file = join(root, p.path);
    mkdirSync(dirname(file), { recursive: true });
    writeFileSync(file, await drawPicture(page, p));
  }
}

async function drawPicture(page, p) {
  const name = p.path.split('/').pop();
  if (name.endsWith('.gif')) return gifPicture(p);
  const type = name.endsWith('.png') ? 'image/png' : 'image/jpeg';
  const base64 = await page.evaluate(({ width, height, colour, label, type }) => {
    const canvas = document.createElement('canvas');
    canvas.width = width;
    canvas.height = height;
    const g = canvas.getContext('2d');
    g.fillStyle = colour;
    g.fillRect(0, 0, width, height);
    // A gradient and rings, so that the JPEG has something to compress.
    const shade = g.createLinearGradient(0, 0, width, height);
    shade.addColorStop(0, 'rgba(255,255,255,0.35)');
    shade.addColorStop(1, 'rgba(0,0,0,0.35)');
    g.fillStyle = shade;
    g.fillRect(0, 0, width, height);
    g.strokeStyle = 'rgba(255,255,255,0.6)';
    for (let r = 8; r < Math.max(width, height); r += 16) {
      g.beginPath();
      g.arc(width / 2, height / 2, r, 0, 2 * Math.PI);
      g.stroke();
    }
    g.fillStyle = '#ffffff';
    g.font = `bold ${Math.max(10, Math.floor(height / 8))}px sans-serif`;
    g.fillText(label, 8, Math.max(14, Math.floor(height / 2)));
    return canvas.toDataURL(type, 0.9).split(',')[1];
  }, { width: p.width, height: p.height, colour: p.colour, label: name, type });
  return Buffer.from(base64, 'base64');
}

function gifPicture(p) {
  const rgb = [1, 3, 5].map((i) => parseInt(p.colour.slice(i, i + 2), 16));
  const palette = [rgb, [255, 255, 255], [0, 0, 0], rgb.map((c) => c >> 1)];
  const pixels = new Uint8Array(p.width * p.height);
  for (let y = 0; y < p.height; ++y) {
    for (let x = 0; x < p.width; ++x) {
      const border = x === 0 || y === 0 || x === p.width - 1 || y === p.height - 1;
      pixels[y * p.width + x] = border ? 2 : (x + y) % 8 < 4 ? 0 : 3;
    }
  }
  return encodeGif(p.width, p.height, palette, pixels, null);
}

// The pictures below `root` in the order a folder-order scan lists them:
// breadth first, each folder's entries in folder order.
export function scanOrder(root, pattern = /\.(jpe?g|png|gif)$/i) {
  const pictures = [];
  const queue = [root];
  while (queue.length) {
    const folder = queue.shift();
    const entries = readdirSync(folder, { withFileTypes: true, encoding: 'buffer' });
    entries.sort((a, b) => folderOrder(a.name, b.name));
    for (const entry of entries) {
      const name = entry.name.toString();
      const path = join(folder, name);
      if (entry.isDirectory()) queue.push(path);
      else if (entry.isFile() && pattern.test(name)) pictures.push(path);
    }
  }
  return pictures;
}

// Folder order: names as bytes, compared unsigned with a-z read as A-Z; names
// equal that way by their raw bytes.
export function folderOrder(a, b) {
  const fold = (x) => (x >= 0x61 && x <= 0x7a ? x - 0x20 : x);
  for (let i = 0; i < Math.min(a.length, b.length); ++i) {
    if (fold(a[i]) !== fold(b[i])) return fold(a[i]) - fold(b[i]);
  }
  return a.length - b.length || Buffer.compare(a, b);
}
