// Reads a one-image GIF back into its size, colour table and pixel indices,
// for checking the pictures the page set carries and the encoder that made
// them.
'use strict';

function decodeGif(bytes) {
  const u16 = (at) => bytes[at] | (bytes[at + 1] << 8);
  const version = bytes.toString('ascii', 0, 6);
  const width = u16(6);
  const height = u16(8);
  const flags = bytes[10];
  const globalTable = (flags & 0x80) !== 0;
  const tableSize = globalTable ? 2 << (flags & 7) : 0;
  let at = 13 + 3 * tableSize;
  let transparent = null;
  while (bytes[at] === 0x21) {
    if (bytes[at + 1] === 0xf9 && bytes[at + 3] & 1) transparent = bytes[at + 6];
    at += 2;
    while (bytes[at] !== 0) at += bytes[at] + 1;
    at += 1;
  }
  if (bytes[at] !== 0x2c) throw new Error('no image descriptor');
  const iw = u16(at + 5);
  const ih = u16(at + 7);
  at += 10;
  const minCode = bytes[at++];
  const data = [];
  while (bytes[at] !== 0) {
    for (let i = 1; i <= bytes[at]; ++i) data.push(bytes[at + i]);
    at += bytes[at] + 1;
  }
  const trailer = bytes[at + 1];
  const pixels = lzwDecode(data, minCode, iw * ih);
  return { version, width, height, globalTable, tableSize, transparent, pixels, trailer };
}

function lzwDecode(data, minCode, count) {
  const clear = 1 << minCode;
  const end = clear + 1;
  let size = minCode + 1;
  let dict = [];
  const reset = () => {
    dict = [];
    for (let i = 0; i < clear; ++i) dict.push([i]);
    dict.push(null, null);
    size = minCode + 1;
  };
  reset();
  const out = [];
  let bitPos = 0;
  let prev = null;
  const read = () => {
    let code = 0;
    for (let i = 0; i < size; ++i, ++bitPos) {
      if (bitPos >> 3 >= data.length) throw new Error('pixel data ends early');
      code |= ((data[bitPos >> 3] >> (bitPos & 7)) & 1) << i;
    }
    return code;
  };
  for (;;) {
    const code = read();
    if (code === clear) {
      reset();
      prev = null;
      continue;
    }
    if (code === end) break;
    let entry;
    if (code < dict.length && dict[code]) entry = dict[code];
    else if (code === dict.length && prev) entry = prev.concat(prev[0]);
    else throw new Error('bad code ' + code);
    out.push(...entry);
    if (prev && dict.length < 4096) dict.push(prev.concat(entry[0]));
    if (dict.length === 1 << size && size < 12) ++size;
    prev = entry;
  }
  if (out.length !== count) throw new Error('pixel count ' + out.length + ' for ' + count);
  return out;
}

module.exports = { decodeGif };
