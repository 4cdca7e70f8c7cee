// Reads an 8-bit RGBA PNG back into its header and pixels, checking the
// chunk structure and every chunk's CRC on the way, for checking the
// desktop's icons and the encoder that made them. Only what that encoder
// writes is read: unfiltered rows, no interlace.
'use strict';

const assert = require('node:assert');
const zlib = require('zlib');

const SIGNATURE = Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]);

// CRC-32 bit by bit, independent of the encoder's table.
function bitwiseCrc32(bytes) {
  let c = 0xffffffff;
  for (const byte of bytes) {
    c ^= byte;
    for (let k = 0; k < 8; ++k) c = (c >>> 1) ^ (0xedb88320 & -(c & 1));
  }
  return (c ^ 0xffffffff) >>> 0;
}

// The chunks of a PNG file as [type, data], in order.
function readChunks(bytes) {
  assert.ok(bytes.subarray(0, 8).equals(SIGNATURE), 'PNG signature');
  const chunks = [];
  let at = 8;
  while (at < bytes.length) {
    assert.ok(at + 12 <= bytes.length, 'a whole chunk header and CRC');
    const length = bytes.readUInt32BE(at);
    const type = bytes.toString('ascii', at + 4, at + 8);
    assert.ok(at + 12 + length <= bytes.length, `chunk ${type} fits the file`);
    const data = bytes.subarray(at + 8, at + 8 + length);
    assert.strictEqual(bytes.readUInt32BE(at + 8 + length), bitwiseCrc32(bytes.subarray(at + 4, at + 8 + length)),
                       `CRC of chunk ${type}`);
    chunks.push([type, data]);
    at += 12 + length;
  }
  return chunks;
}

// { width, height, types, pixels } of a PNG file; pixels are RGBA bytes,
// row by row from the top.
function decodePng(bytes) {
  const chunks = readChunks(bytes);
  const types = chunks.map(([type]) => type);
  assert.strictEqual(types[0], 'IHDR', 'IHDR first');
  assert.strictEqual(types[types.length - 1], 'IEND', 'IEND last');
  const header = chunks[0][1];
  assert.strictEqual(header.length, 13, 'IHDR length');
  const width = header.readUInt32BE(0);
  const height = header.readUInt32BE(4);
  assert.deepStrictEqual([...header.subarray(8)], [8, 6, 0, 0, 0],
                         'bit depth 8, RGBA, deflate, adaptive filtering, not interlaced');
  const data = zlib.inflateSync(Buffer.concat(chunks.filter(([type]) => type === 'IDAT').map(([, d]) => d)));
  const stride = width * 4;
  assert.strictEqual(data.length, (stride + 1) * height, 'one filter byte and a row of pixels per row');
  const pixels = Buffer.alloc(stride * height);
  for (let y = 0; y < height; ++y) {
    assert.strictEqual(data[y * (stride + 1)], 0, `row ${y} is unfiltered`);
    data.copy(pixels, y * stride, y * (stride + 1) + 1, (y + 1) * (stride + 1));
  }
  return { width, height, types, pixels };
}

module.exports = { decodePng, bitwiseCrc32 };
