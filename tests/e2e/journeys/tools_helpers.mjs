// What the journeys of the tools window do as a user does: open it from the
// main window, move the focus with Tab to a control.
import { wait } from './page_helpers.mjs';

// Presses Tab in `page` until the element with `id` has the focus, as a user
// walks the controls with the keyboard; fails when a full round does not
// reach it.
export async function focusByTab(page, id) {
  for (let i = 0; i < 20; ++i) {
    if (await page.evaluate((want) => document.activeElement && document.activeElement.id === want, id)) return;
    await page.keyboard.press('Tab');
  }
  throw new Error(`Tab never reaches #${id}`);
}

// Opens the tools window from the main window `main`: a click on its
// picture, or `key` pressed on it once Tab has brought the focus there.
// Gives the tools window once its page has loaded.
export async function openToolsWindow(main, how) {
  const opened = main.waitForEvent('popup', wait);
  if (how === 'click') {
    await main.locator('#tools').click();
  } else {
    await focusByTab(main, 'tools');
    await main.keyboard.press(how);
  }
  const tools = await opened;
  await tools.waitForLoadState();
  await tools.waitForFunction(() => window.lm && document.readyState === 'complete', undefined, wait);
  return tools;
}
