// The browser extension's menu entries, the host's list of the pages a menu
// entry may open, and the page set: all three name the same pages.
'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { PAGES_DIR } = require('./pages');

const root = path.join(__dirname, '..', '..');

// The page names in the host's table of menu pages.
function hostMenuPages() {
  const source = fs.readFileSync(path.join(root, 'host', 'menu_snapshots.cc'), 'utf8');
  const table = /kMenuPages\s*=\s*\{([^}]*)\}/.exec(source);
  assert.ok(table, 'host/menu_snapshots.cc has its kMenuPages table');
  return [...table[1].matchAll(/"([^"]+)"/g)].map((m) => m[1]);
}

test('the extension, the host and the page set agree on the menu pages', async () => {
  const { MENU_ENTRIES } = await import(path.join(root, 'browser-extension', 'menu_entries.js'));
  const entryPages = MENU_ENTRIES.map((e) => e.page);
  assert.deepEqual([...entryPages].sort(), [...hostMenuPages()].sort());
  for (const page of entryPages) {
    assert.ok(fs.existsSync(path.join(PAGES_DIR, page + '.htm')), `the page set has ${page}`);
  }
  for (const entry of MENU_ENTRIES) {
    assert.match(entry.title, / \(Lumorel\)$/, 'each entry says whose it is');
    assert.equal(entry.contexts.length, 1);
    assert.ok(['page', 'image', 'link'].includes(entry.contexts[0]), entry.title);
  }
});

test('the extension declares the files it loads and the permissions it uses', () => {
  const manifest = JSON.parse(fs.readFileSync(path.join(root, 'browser-extension', 'manifest.json'), 'utf8'));
  assert.equal(manifest.manifest_version, 3);
  const worker = fs.readFileSync(path.join(root, 'browser-extension', manifest.background.service_worker), 'utf8');
  const used = { contextMenus: /chrome\.contextMenus\./, scripting: /chrome\.scripting\./,
                 nativeMessaging: /connectNative\(/, contentSettings: /chrome\.contentSettings\./,
                 activeTab: /executeScript\(/ };
  assert.deepEqual([...manifest.permissions].sort(), Object.keys(used).sort());
  for (const [permission, use] of Object.entries(used)) assert.match(worker, use, permission);
  assert.equal(manifest.host_permissions, undefined, 'no page is read unless its menu entry is chosen');
});
