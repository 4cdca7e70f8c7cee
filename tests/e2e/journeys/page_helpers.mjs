// What the journeys do on Lumorel's pages as a user does it, and what they
// wait for: a main-window button pressed, a dialog's frame, the folder
// prompt answered, the picture the slide show shows.

export const wait = { timeout: 10000 };

// Clicks a main-window button as a user does: press and release on it.
export async function pressButton(page, id) {
  const box = await page.locator('#' + id).boundingBox();
  await page.mouse.move(box.x + box.width / 2, box.y + box.height / 2);
  await page.mouse.down();
  await page.mouse.up();
}

// The frame of the modal dialog open in `page` (a page, or the frame of a
// dialog that opened another).
export async function dialogFrame(page, name) {
  const frame = page.locator('.lumorel-modal iframe');
  await frame.waitFor(wait);
  const handle = await frame.elementHandle();
  const content = await handle.contentFrame();
  await content.waitForFunction((n) => location.pathname.toLowerCase() === '/lm:' + n &&
    document.readyState === 'complete', name, wait);
  return content;
}

export async function dialogGone(page) {
  await page.locator('.lumorel-modal').waitFor({ state: 'detached', ...wait });
}

// Answers the in-page folder prompt of `page` with `folder`, once the prompt
// shows the folder it starts in, as a user sees it before choosing: with a
// click on OK, or with `key` pressed on OK, which the prompt focuses.
export async function answerFolderPrompt(page, folder, { key = null } = {}) {
  const prompt = page.locator('[data-dialog="200"][data-folder]');
  await prompt.waitFor(wait);
  const shown = await page.evaluate(async (path) => {
    return new Promise((resolve) => {
      const overlay = document.querySelector('[data-dialog="200"]');
      const places = overlay.querySelector('select[name="places"]');
      const option = new Option(path, path);
      places.appendChild(option);
      places.value = path;
      places.dispatchEvent(new Event('change'));
      const check = () => overlay.getAttribute('data-folder') === path ? resolve(path) : setTimeout(check, 20);
      check();
    });
  }, folder.endsWith('/') ? folder : folder + '/');
  const answered = await prompt.elementHandle();
  if (key) await prompt.locator('button[name="ok"]').press(key);
  else await prompt.locator('button[name="ok"]').click();
  // Another prompt may follow at once (a folder without pictures).
  await answered.waitForElementState('hidden', wait);
  return shown;
}

// The file shown by the slide show, once its picture is complete and shown.
export async function shownFile(show) {
  await show.waitForFunction(() => {
    const pic = document.getElementById('pic');
    return pic.style.visibility === 'visible' && pic.complete && pic.naturalWidth > 0 &&
      /\/\.lumorel\/picture\?/.test(pic.src);
  }, undefined, wait);
  return show.evaluate(() => decodeURIComponent(new URL(document.getElementById('pic').src).searchParams.get('path')));
}

// Waits until the slide show shows `file`, and gives it.
export async function waitForFile(show, file) {
  await show.waitForFunction((want) => {
    const pic = document.getElementById('pic');
    if (pic.style.visibility !== 'visible' || !pic.complete || !/\/\.lumorel\/picture\?/.test(pic.src)) return false;
    return decodeURIComponent(new URL(pic.src).searchParams.get('path')) === want;
  }, file, wait);
  return file;
}
