// Lumorel's context-menu entries. A chosen entry takes a snapshot of the
// right-clicked page (its address, title and links, and the right-clicked
// picture or link), hands it to Lumorel through the menu relay (a native
// messaging host, which starts Lumorel when it is not running), opens the
// Lumorel page that the relay names, and sends the right-clicked tab where
// that page asks. The snapshot goes only to Lumorel on this machine.
import { MENU_ENTRIES, RELAY } from './menu_entries.js';
import { collectPage } from './collect_page.js';

const MENU_WINDOW = { type: 'popup', width: 480, height: 360, focused: true };
const RELAY_MISSING = "Lumorel's menu relay is not installed for this browser. " +
    "Run tools/install-browser-menu in Lumorel's folder, then choose the entry again.";

// The entries the menu took, as the browser confirmed them.
const entriesMade = [];

function createEntries() {
  chrome.contextMenus.removeAll(() => {
    entriesMade.length = 0;
    for (const entry of MENU_ENTRIES) {
      const made = { id: entry.page, title: entry.title, contexts: entry.contexts };
      chrome.contextMenus.create(made, () => {
        if (chrome.runtime.lastError) console.error(chrome.runtime.lastError.message);
        else entriesMade.push(made);
      });
    }
  });
}
chrome.runtime.onInstalled.addListener(createEntries);

chrome.contextMenus.onClicked.addListener((info, tab) => {
  runEntry(info, tab).catch((e) => showProblem(String(e && e.message || e)));
});

// What the menu entry `info` saw in `tab`, as Lumorel takes it.
async function snapshotOf(entry, info, tab) {
  let seen = null;
  try {
    const [injection] = await chrome.scripting.executeScript({
      target: { tabId: tab.id, frameIds: [info.frameId || 0] },
      func: collectPage,
      args: [info.srcUrl || null]
    });
    seen = injection && injection.result;
  } catch (e) {
    seen = null;  // a page the browser keeps to itself: its address only
  }
  const document = seen ? seen.document
                        : { url: info.frameUrl || info.pageUrl || tab.url || '', title: tab.title || '', links: [] };
  let element = null;
  if (entry.contexts.includes('image')) {
    element = (seen && seen.picture) || await pictureOf(info.srcUrl || '');
  } else if (entry.contexts.includes('link')) {
    element = { tagName: 'A', href: info.linkUrl || '' };
  }
  return { page: entry.page, tab: tab.id, document, element };
}

// A right-clicked picture the page did not let us see (in a frame of
// another site): its own size stands for the size it was shown at.
async function pictureOf(src) {
  const picture = { tagName: 'IMG', src, title: '', width: 0, height: 0 };
  try {
    const bitmap = await createImageBitmap(await (await fetch(src)).blob());
    picture.width = bitmap.width;
    picture.height = bitmap.height;
    bitmap.close();
  } catch (e) {
    // Not to be had: the page opens its window at the smallest size.
  }
  return picture;
}

// The menus at work: each relay's port with the tabs of the windows its
// page opened (and the windows those opened). A relay is let go once they
// have all closed.
const menus = new Set();

chrome.tabs.onCreated.addListener((tab) => {
  for (const menu of menus) {
    if (tab.openerTabId !== undefined && menu.tabs.has(tab.openerTabId)) menu.tabs.add(tab.id);
  }
});
chrome.tabs.onRemoved.addListener((tabId) => {
  for (const menu of menus) {
    if (!menu.tabs.delete(tabId) || menu.tabs.size > 0) continue;
    menus.delete(menu);
    menu.port.disconnect();
  }
  // Once no menu works, Lumorel's addresses open popups as any other.
  if (menus.size === 0) chrome.contentSettings.popups.clear({});
});

export async function runEntry(info, tab) {
  const entry = MENU_ENTRIES.find((e) => e.page === info.menuItemId);
  if (!entry || !tab) return;
  const snapshot = await snapshotOf(entry, info, tab);
  const port = chrome.runtime.connectNative(RELAY);
  const menu = { port, tabs: new Set() };
  let answered = false;
  port.onMessage.addListener(async (message) => {
    if (message.open) {
      answered = true;
      menus.add(menu);
      // The page opens its windows as it loads, with no click of the user's
      // in it, as the old browser let it: Lumorel's own address may.
      await chrome.contentSettings.popups.set({
        primaryPattern: new URL(message.open).origin + '/*', setting: 'allow' });
      const opened = await chrome.windows.create({ ...MENU_WINDOW, url: message.open });
      for (const t of opened.tabs || []) menu.tabs.add(t.id);
    } else if (message.navigate) {
      if (/^https?:\/\//i.test(message.navigate)) chrome.tabs.update(tab.id, { url: message.navigate });
    } else if (message.error) {
      answered = true;
      showProblem(message.error);
    }
  });
  port.onDisconnect.addListener(() => {
    menus.delete(menu);
    const error = chrome.runtime.lastError;
    if (answered) return;
    showProblem(error && /not found|forbidden/i.test(error.message) ? RELAY_MISSING
        : 'Lumorel could not be reached' + (error ? ': ' + error.message : '.'));
  });
  port.postMessage({ snapshot });
}

function showProblem(text) {
  chrome.windows.create({ type: 'popup', width: 480, height: 240, focused: true,
                          url: chrome.runtime.getURL('problem.html') + '#' + encodeURIComponent(text) });
}

// For tests, which cannot see or click a menu the browser draws itself.
self.lumorelRunEntry = runEntry;
self.lumorelEntriesMade = () => entriesMade.slice();
