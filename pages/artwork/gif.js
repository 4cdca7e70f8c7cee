// A small GIF89a writer: one image, a global colour table, LZW-compressed
// pixel indices, optionally one transparent colour.
'use strict';

// The bytes of a GIF89a picture `width` x `height` whose pixels (row by row)
// index `palette` ([r, g, b] each, at most 256). `transparent` is the index
// drawn as transparent, or null for none.
function encodeGif(width, height, palette, pixels, transparent) {
  let bits = 1;
  while (1 << bits < palette.length) ++bits;
  const tableSize = 1 << bits;
  const out = [];
  const word = (v) => out.push(v & 0xff, (v >> 8) & 0xff);
  out.push(...Buffer.from('GIF89a', 'ascii'));
  word(width);
  word(height);
  out.push(0x80 | ((bits - 1) << 4) | (bits - 1), 0, 0); // global table, its size
  for (let i = 0; i < tableSize; ++i) out.push(...(palette[i] || [0, 0, 0]));
  if (transparent !== null && transparent !== undefined) {
    out.push(0x21, 0xf9, 4, 0x01, 0, 0, transparent, 0); // graphic control
  }
  out.push(0x2c);
  word(0);
  word(0);
  word(width);
  word(height);
  out.push(0);
  const minCode = Math.max(2, bits);
  out.push(minCode);
  const data = lzw(pixels, minCode);
  for (let at = 0; at < data.length; at += 255) {
    const block = data.subarray(at, at + 255);
    out.push(block.length, ...block);
  }
  out.push(0, 0x3b);
  return Buffer.from(out);
}

// LZW codes of `pixels`, packed least significant bit first.
function lzw(pixels, minCode) {
  const clear = 1 << minCode;
  const end = clear + 1;
  const bytes = [];
  let acc = 0;
  let accBits = 0;
  let size = minCode + 1;
  const emit = (code) => {
    acc |= code << accBits;
    accBits += size;
    while (accBits >= 8) {
      bytes.push(acc & 0xff);
      acc >>>= 8;
      accBits -= 8;
    }
  };
  let table = new Map();
  let next = end + 1;
  emit(clear);
  let prefix = pixels.length ? pixels[0] : -1;
  for (let i = 1; i < pixels.length; ++i) {
    const key = prefix * 256 + pixels[i];
    const known = table.get(key);
    if (known !== undefined) {
      prefix = known;
      continue;
    }
    emit(prefix);
    if (next < 4096) {
      table.set(key, next++);
      // The decoder grows its code size one code later than the table.
      if (next > 1 << size && size < 12) ++size;
    } else {
      emit(clear);
      table = new Map();
      next = end + 1;
      size = minCode + 1;
    }
    prefix = pixels[i];
  }
  if (prefix >= 0) emit(prefix);
  emit(end);
  if (accBits > 0) bytes.push(acc & 0xff);
  return Uint8Array.from(bytes);
}

module.exports = { encodeGif };
