// A PNG encoder for drawn icons: 8-bit RGBA, rows unfiltered, all image
// data in one IDAT chunk, no ancillary chunks (no time, no gamma), so the
// same pixels always give the same bytes.
'use strict';

const zlib = require('zlib');

const SIGNATURE = Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]);

// The CRC-32 of PNG chunks (ISO 3309, reflected polynomial 0xEDB88320).
const CRC_TABLE = (() => {
  const table = new Uint32Array(256);
  for (let n = 0; n < 256; ++n) {
    let c = n;
    for (let k = 0; k < 8; ++k) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
    table[n] = c >>> 0;
  }
  return table;
})();

function crc32(bytes) {
  let c = 0xffffffff;
  for (const byte of bytes) c = CRC_TABLE[(c ^ byte) & 0xff] ^ (c >>> 8);
  return (c ^ 0xffffffff) >>> 0;
}

// One chunk: length, type, data, and the CRC of type and data.
function chunk(type, data) {
  const head = Buffer.alloc(8);
  head.writeUInt32BE(data.length, 0);
  head.write(type, 4, 'ascii');
  const tail = Buffer.alloc(4);
  tail.writeUInt32BE(crc32(Buffer.concat([head.subarray(4), data])), 0);
  return Buffer.concat([head, data, tail]);
}

// The PNG file of a width x height image given as RGBA bytes, row by row
// from the top. The compression settings are named rather than left to
// zlib's defaults.
function encodePng(width, height, rgba) {
  if (rgba.length !== width * height * 4) throw new Error('encodePng: RGBA bytes do not fit the size');
  const header = Buffer.alloc(13);
  header.writeUInt32BE(width, 0);
  header.writeUInt32BE(height, 4);
  header.writeUInt8(8, 8); // bits per channel
  header.writeUInt8(6, 9); // colour type: RGBA
  // Compression, filter method and interlace are 0: deflate, adaptive, none.
  const stride = width * 4;
  const raw = Buffer.alloc((stride + 1) * height);
  for (let y = 0; y < height; ++y) {
    // Each row starts with its filter type, 0: none.
    raw.set(rgba.subarray(y * stride, (y + 1) * stride), y * (stride + 1) + 1);
  }
  const data = zlib.deflateSync(raw, {
    level: 9, memLevel: 9, windowBits: 15, strategy: zlib.constants.Z_DEFAULT_STRATEGY,
  });
  return Buffer.concat([SIGNATURE, chunk('IHDR', header), chunk('IDAT', data), chunk('IEND', Buffer.alloc(0))]);
}

module.exports = { encodePng, crc32 };
