// Reads the page set: each page's source, its script blocks and inline
// handlers with where they stand, and the texts a user can see in it.
'use strict';

const fs = require('fs');
const path = require('path');
const acorn = require('acorn');

const PAGES_DIR = path.join(__dirname, '..', '..', 'pages');

// The page files: { name, file, source, formatted }.
function readPages() {
  return fs
    .readdirSync(PAGES_DIR)
    .filter((file) => /\.htm$/i.test(file))
    .sort()
    .map((file) => {
      const formatted = /\.formatted\.htm$/i.test(file);
      const name = file.replace(/(\.formatted)?\.htm$/i, '').toUpperCase();
      return { name, file, source: fs.readFileSync(path.join(PAGES_DIR, file), 'latin1'), formatted };
    });
}

// The script of a page: { kind: 'block' | 'handler', code, offset, where }.
// Blocks in another language (VBScript) are left out.
function scriptsOf(source) {
  const scripts = [];
  const blockRe = /<script\b([^>]*)>([\s\S]*?)<\/script\s*>/gi;
  let m;
  while ((m = blockRe.exec(source))) {
    const attrs = m[1];
    const language = /\blanguage\s*=\s*"([^"]*)"/i.exec(attrs);
    const type = /\btype\s*=\s*"([^"]*)"/i.exec(attrs);
    const lang = (language ? language[1] : type ? type[1] : 'javascript').toLowerCase();
    if (!/javascript|jscript|ecmascript/.test(lang)) continue;
    const offset = m.index + m[0].indexOf('>') + 1;
    scripts.push({ kind: 'block', code: m[2], offset, where: lineOf(source, offset) });
  }
  // Inline handlers: on...="..." or on...='...' inside a start tag.
  const tagRe = /<[a-z][^>]*>/gi;
  while ((m = tagRe.exec(source))) {
    if (/^<script\b/i.test(m[0])) continue;
    const handlerRe = /\s(on[a-z]+)\s*=\s*("([^"]*)"|'([^']*)')/gi;
    let h;
    while ((h = handlerRe.exec(m[0]))) {
      const code = h[3] !== undefined ? h[3] : h[4];
      const offset = m.index + h.index + h[0].indexOf(h[2]) + 1;
      scripts.push({ kind: 'handler', code: decodeEntities(code), offset, where: lineOf(source, offset) });
    }
  }
  return scripts;
}

function lineOf(source, offset) {
  return 'line ' + (source.slice(0, offset).split('\n').length);
}

function decodeEntities(text) {
  return text
    .replace(/&#(\d+);?/g, (_, n) => String.fromCharCode(Number(n)))
    .replace(/&nbsp;?/g, '\u00a0')
    .replace(/&lt;?/g, '<')
    .replace(/&gt;?/g, '>')
    .replace(/&quot;?/g, '"')
    .replace(/&amp;?/g, '&');
}

// Parses script as the old browser's engine would (ES3).
function parseEs3(code, handler) {
  return acorn.parse(code, { ecmaVersion: 3, allowReturnOutsideFunction: handler, locations: true });
}

// The string literals of a page's script: { value, start, end } with offsets
// into the page source.
function stringLiterals(page) {
  const out = [];
  for (const script of scriptsOf(page.source)) {
    if (script.kind !== 'block') continue;
    for (const token of acorn.tokenizer(script.code, { ecmaVersion: 3 })) {
      if (token.type === acorn.tokTypes.string) {
        out.push({ value: token.value, start: script.offset + token.start, end: script.offset + token.end });
      }
    }
  }
  return out;
}

module.exports = { PAGES_DIR, readPages, scriptsOf, parseEs3, stringLiterals, decodeEntities };
