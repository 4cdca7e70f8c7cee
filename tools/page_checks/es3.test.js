// The page set runs in the old browser as well: its script must parse as
// ES3 and use none of the later library, and a formatted page's inserts
// stand only inside script string literals.
'use strict';

const test = require('node:test');
const assert = require('node:assert');
const { readPages, scriptsOf, parseEs3, stringLiterals } = require('./pages');

const pages = readPages();

// The pages that are text only: help that needs no script.
const WITHOUT_SCRIPT = ['UTILSHELP'];

// Library calls that the old browser's engine lacks.
const LATER_LIBRARY = [
  /\.forEach\s*\(/, /\.map\s*\(/, /\.filter\s*\(/, /\.reduce\s*\(/, /\.some\s*\(/, /\.every\s*\(/,
  /\.trim\s*\(/, /\.bind\s*\(/, /\bJSON\./, /\bObject\.(keys|create|defineProperty|assign)\b/,
  /\bArray\.isArray\b/, /\bDate\.now\b/, /\baddEventListener\b/, /\bPromise\b/,
];

test('the page set is there', () => {
  const names = pages.map((p) => p.name);
  for (const name of ['MAIN', 'MAINIMG', 'KEYS', 'OPTIONS', 'ABOUT', 'RUN', 'LM_RUN', 'LM_UTILS', 'UTILS',
                      'UTILSHELP', 'ORGANIZE', 'UNINSTALL', 'LM_LINKS', 'LM_SCRAPE', 'LM_RESIZE', 'LM_OPENRESIZE',
                      'RESIZEIMG', 'LM_LISTIMG', 'LM_LISTIMGSAVE']) {
    assert.ok(names.includes(name), name);
  }
  // Of the pages, only the slide show and the single-picture window take
  // inserts.
  assert.deepStrictEqual(pages.filter((p) => p.formatted).map((p) => p.name), ['MAINIMG', 'RESIZEIMG']);
});

for (const page of pages) {
  test(`${page.file}: every script block and handler parses as ES3`, () => {
    const scripts = scriptsOf(page.source);
    assert.strictEqual(scripts.length > 0, !WITHOUT_SCRIPT.includes(page.name));
    for (const script of scripts) {
      assert.doesNotThrow(() => parseEs3(script.code, script.kind === 'handler'),
                          `${script.kind} at ${script.where}`);
      for (const pattern of LATER_LIBRARY) {
        assert.doesNotMatch(script.code, pattern, `${script.kind} at ${script.where}`);
      }
    }
  });

  test(`${page.file}: inserts only inside script string literals`, () => {
    const literals = stringLiterals(page);
    const percent = /%/g;
    let m;
    while ((m = percent.exec(page.source))) {
      const at = m.index;
      const next = page.source.charAt(at + 1);
      if (!page.formatted) {
        assert.doesNotMatch(page.source.slice(at, at + 2), /%[1-4]/, `an insert in a plain page at ${at}`);
        continue;
      }
      if (next === '%') {
        percent.lastIndex = at + 2;
        continue;
      }
      assert.match(next, /[1-4]/, `a "%" that the formatter would eat at offset ${at}`);
      assert.ok(literals.some((l) => l.start < at && at < l.end - 1),
                `the insert at offset ${at} is outside a string literal`);
    }
  });
}

test('the check itself refuses what the old browser cannot run', () => {
  const refused = ['let a = 1;', 'var f = () => 1;', 'var o = {a: 1,};', 'lm.Preference("k") = "v";',
                   'var s = `t`;', 'class A {}'];
  for (const code of refused) assert.throws(() => parseEs3(code, false), code);
  assert.doesNotThrow(() => parseEs3('return false;', true));
  const page = { formatted: true, source: '<script>var a = "%2!s!";</script>' };
  assert.strictEqual(stringLiterals(page)[0].value, '%2!s!');
});
