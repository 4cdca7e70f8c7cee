// What the journeys do on Lumorel's pages as a user does it, and what they
// wait for: a main-window button pressed, a dialog's frame, the folder
// prompt answered, the picture the slide show shows.

export const wait = { timeout: 10000 };

// The place of `page`'s window once it is `want` (left, top, width, height),
// or as it stands when the wait gives up, for the caller to compare. The
// browser tells a page where its window is some time after it opens, moves
// or resizes it.
export async function windowAt(page, want) {
  await page.waitForFunction((p) => screenX === p.left && screenY === p.top &&
    outerWidth === p.width && outerHeight === p.height, want, wait).catch(() => {});
  return page.evaluate(() => ({ left: screenX, top: screenY, width: outerWidth, height: outerHeight }));
}

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

// Opens the slide show from the main window `main` and answers its prompt
// with `folder` (by `key` on OK, else a click); gives the slide show's page
// and the alerts it shows, each accepted.
export async function openSlideshow(main, folder, { key = null } = {}) {
  const popup = main.waitForEvent('popup', wait);
  await pressButton(main, 'slideshow');
  const show = await popup;
  const alerts = [];
  show.on('dialog', (d) => {
    alerts.push(d.message());
    d.accept();
  });
  await show.waitForLoadState();
  await answerFolderPrompt(show, folder, { key });
  return { show, alerts };
}

// The picture's box as the fitting rule of the slide show and the
// single-picture window places it in the window: the inner size less a
// 5-pixel margin, enlarged when `enlarge` is on or the picture is larger.
export function expectedBox(inner, natural, enlarge) {
  const areaW = Math.max(5, inner.width - 10);
  const areaH = Math.max(5, inner.height - 10);
  let w = natural.width;
  let h = natural.height;
  if (h > areaH || w > areaW || enlarge) {
    if (h / areaH > w / areaW) {
      w = Math.round(natural.width * areaH / natural.height);
      h = areaH;
    } else {
      h = Math.round(natural.height * areaW / natural.width);
      w = areaW;
    }
  }
  return { width: w, height: h, left: 5 + Math.floor((areaW - w) / 2), top: 5 + Math.floor((areaH - h) / 2) };
}

// The box the page `show` gave its picture #pic, its window's inner size and
// the picture's natural size.
export async function pictureBox(show) {
  return show.evaluate(() => {
    const pic = document.getElementById('pic');
    return {
      box: { width: parseInt(pic.style.width, 10), height: parseInt(pic.style.height, 10),
             left: parseInt(pic.style.left, 10), top: parseInt(pic.style.top, 10) },
      inner: { width: window.innerWidth, height: window.innerHeight },
      natural: { width: pic.naturalWidth, height: pic.naturalHeight },
    };
  });
}
