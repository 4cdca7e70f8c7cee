// Every text the pages show or use (titles, labels, tooltips, messages,
// status lines, the keys table, preference keys, addresses and window
// features) stands in its page exactly as written here.
'use strict';

const test = require('node:test');
const assert = require('node:assert');
const acorn = require('acorn');
const { readPages, scriptsOf, stringLiterals, decodeEntities } = require('./pages');
const { MENU_TEXTS: M } = require('./menu_texts');

const CONTROL = 'clsid:5A3E9D11-2C4B-4E7F-8A61-0D2F4B7C9E01';
const FEATURES = 'tools=no,toolbar=no,location=no,directories=no,menubar=no,';
const LAUNCH_ERROR =
  'A problem has been detected in IE4 that prevents Lumorel from running.\n\nUse the following fix and try again';

// How the launcher and the main window open the tools window.
const TOOLS_WINDOW = [
  'Utils.Top', 'Utils.Left', 'lm:utils',
  FEATURES + 'resizable=no,fullscreen=no,width=280,height=280,top=', ',left=',
];

// How the context-menu pages open their windows.
const MENU_WINDOW = [FEATURES, 'status=yes,resizable=yes,fullscreen=no,top=', ',left=', ',width=', ',height='];
const LIST_WINDOW = [
  'LImg',
  'toolbar=no,location=no,directories=no,status=yes,menubar=no,scrollbars=yes,resizable=yes,top=20,left=20,',
  'width=', ',', 'height=', '8pt/18pt Verdana', '#000000', '#ffffff', '#ff0000', 'text-decoration: none',
  '&nbsp;', M.backTo, M.notYet, M.close,
];

const TEXTS = {
  MAINIMG: [
    CONTROL, 'center=1', 'lm:keys',
    'FullScreen', 'SelDir', 'C:\\', 'Randomize', 'Recusive', 'DisplayType', 'GrowImg', 'Timer',
    'TimerSec', 'Dup_CheckFiles', 'Dup_CheckSizes', '+lmlkimg', 'MainImg', 'WebImg', '\r',
    '( Images:', ')', 'Select folder to find duplicate images', 'Select folder to display image',
    'Loading ...',
    'No image files where found in the selected folder.\n', 'or sub-folders.\nS',
    "Turn on 'Show Sub-Folders' in Options or s", 'elect a different folder and try again.',
    'Lumorel Newbie Help\n\nUse the right & left keys to rotate through images. Spacebar or Esc key ends the slide-show.',
    '( Folders:', '  Images:', 'Searching for possible duplicates...',
    'No obvious duplicate images were found.', 'A total of ', ' possible duplicate images were found.',
    'Use the arrow keys to go through them.', 'Checking for duplicates: ', ' of ', '...', 'Sorting...',
    'Loading (', ')...', '  (', ' x ', '  Size=', '.', 'k', 'Timer: ', '1', '0',
  ],
  KEYS: [
    'Lumorel Help', 'Key Commands', 'lm:start.gif', 'Key', 'Action',
    'Spacebar or Esc', 'Exits Slideshow', 'Left & Right Arrow', 'Next & Previous Image',
    'Down &amp Up Arrow', 'Next & Previous SubFolder', '<i>(New)</i>', '\\', 'Toggle Timer', 'Delete',
    'Delete Image File', '+ &amp -', 'Enlarge Small Images (Toggle)', '/', 'Toggle Image Info', '`',
    'Jumps to Random Image ', 'Others (e.g. a-z)', 'Jumps to Image Starting that Letter',
  ],
  LM_RUN: [
    CONTROL, 'Lumorel', 'Preparing...', 'Main.Width', 'Main.Top', 'Main.Left', 'lm:main',
    FEATURES + 'resizable=no,fullscreen=no,width=300,height=300,top=', ',left=', LAUNCH_ERROR,
  ],
  RUN: [CONTROL, 'Lumorel', 'Main.Width', 'Main.Top', 'Main.Left', LAUNCH_ERROR],
  MAIN: [
    CONTROL, 'Lumorel 1.4 for IE 4', 'Lumorel 1.4', 'lm:logo.gif', 'center=1', 'lm:about', 'lm:options',
    'lm:keys', 'Main',
    'Help...', 'lm:help.gif', 'Displays information about where to get help.',
    'Options...', 'lm:options.gif', 'Customize the slide show.',
    'Slideshow', 'lm:start.gif', 'Start a slide show of all the images in a local directory.',
    'Exit', 'lm:exit.gif', 'Exits Lumorel',
    'FullScreen', 'lm:&rsrc=mainimg&2=0&1=', FEATURES, 'resizable=no,fullscreen=yes',
    'resizable=yes,fullscreen=no,top=', ',left=', ',width=', ',height=',
    'MainImg.Top', 'MainImg.Left', 'MainImg.Width', 'MainImg.Height',
    'lm:utils.gif', 'Lumorel Tools', ...TOOLS_WINDOW,
  ],
  LM_UTILS: [CONTROL, 'Lumorel', 'Preparing...', LAUNCH_ERROR, ...TOOLS_WINDOW],
  UTILS: [
    CONTROL, 'Lumorel Tools', 'lm:utils.gif', 'center=1',
    '              Help           ', 'Help for features appearing on this page', 'lm:UtilsHelp',
    'Find Duplicates... ', 'Displays all the possible duplicate images found in a set of folders',
    'lm:&rsrc=mainimg&1=&2=0&3=1', FEATURES, 'resizable=yes,fullscreen=no,top=', ',left=', ',width=',
    ',height=', 'MainImg.Top', 'MainImg.Left', 'MainImg.Width', 'MainImg.Height',
    '       Sort Files...      ', 'Will automatically move images into sub-folder, based on their name',
    'lm:organize',
    '              Quit             ', 'Closes this window', 'Utils',
  ],
  UTILSHELP: ['Lumorel Tools Help', 'lm:utils.gif', 'Find Duplicates', 'Sort Files'],
  ORGANIZE: [
    CONTROL, 'Organize Images', 'lm:organize.gif', 'center=1', 'lm:about',
    '\u00a0Select Folder to Sort:', ' Stop ', '  Done  ', 'OrganizeDir', 'C:',
    'Select folder to organize images.', ':', '\\',
    'You cannot select a drive for organizing images. Place image files into a folder and try again.',
    'windows', 'winnt',
    "You cannot select a system folder (or one of it's sub-folders) for organizing images. Place image files into a different folder and try again.",
    'No image files where found in the selected folder.\nSelect a different folder and try again.',
    'Looking for image files (Folders:', '  Images:', ')', 'Working.  Remaining: ', '...',
    'Finished.  Number of image files not moved: ',
    "Some image files could not be sorted.\nThey may have duplicates already in sub-folder or they didn't belong to any obvious grouping.",
    'Finished.',
    // Linux: the folders that hold the system.
    'bin', 'boot', 'dev', 'etc', 'lib', 'proc', 'run', 'sbin', 'sys', 'usr', 'var',
  ],
  UNINSTALL: [
    'How to Uninstall Lumorel', 'How to uninstall Lumorel', 'Downloaded Program Files',
    '<a href="file://C:\\WINDOWS\\DOWNLO~1">Window95</a>', '<a href="file://C:\\WINNT\\DOWNLO~1">WinNT</a>',
    'Remove', "That's all there is to it.", 'rm -rf build', 'build/host/lumorel uninstall',
  ],
  OPTIONS: [
    CONTROL, 'Lumorel Options', 'center=1', 'lm:keys', 'lm:about',
    'Display Size', 'Image Scaling', 'File Information', 'Image Selection', 'Auto Advance Images',
    'Slide Show Order',
    'Full Screen',
    'Uses as much of your monitor as possible to display images   If this setting is off, then displays images inside an IE window',
    'Enlarge Small Images',
    'Smaller images are enlarged so that they will take up the maximum amount of the screen',
    'None', 'All file information is turned off',
    'Short File Name', 'Just the name of the file is displayed',
    'Full File Information', 'The full file path name is displayed as well as the file size',
    'All Sub-Folders',
    'Display images in the folder you selected and scan for image in all its sub-folders; otherwise, displays only images in the folder you selected',
    'Timer:', 'Seconds', 'Advances to the next image after the seconds specified',
    'Same as Folder Order', 'Images are displayed in alphabetical order',
    'Randomize All Images', 'All images will appear in a mixed up order',
    'Randomize Sub-Folders',
    "When sub-folders are being displayed, the order in which the sub-folders are mixed up, while the images within the folder is kept alphabetical.\n This option only makes sense with the 'All Sub Folders' option selected",
    ' Keys... ', 'See all the key board shortcuts that are available when viewing a slide show.',
    '    OK    ', 'Cancel',
    'FullScreen', 'Recusive', 'GrowImg', 'Timer', 'TimerSec', 'Randomize', 'DisplayType', '1', '0', '5',
  ],
  LM_LINKS: [
    CONTROL, M.slideshowNoLinks, '+lmlkimg', '\r', 'WebImg.Width', 'WebImg.Top', 'WebImg.Left', 'WebImg.Height',
    'lm:&rsrc=mainimg&2=1&1=', ...MENU_WINDOW,
  ],
  LM_SCRAPE: [CONTROL, M.preloadQuestion],
  LM_RESIZE: [CONTROL, M.notAPicture, 'ResizeImg.Top', 'ResizeImg.Left', 'lm:&rsrc=resizeimg&3=1&2=', '&1=',
    ...MENU_WINDOW],
  LM_OPENRESIZE: [
    CONTROL, M.notAPictureLink, 'OpenResizeImg.Width', 'OpenResizeImg.Top', 'OpenResizeImg.Left',
    'OpenResizeImg.Height', 'lm:&rsrc=resizeimg&3=2&2=', '&1=', ...MENU_WINDOW,
  ],
  RESIZEIMG: [CONTROL, '%1!s!', '%2!s!', '%3!s!', 'center=1', 'lm:keys', 'ResizeImg', 'OpenResizeImg'],
  LM_LISTIMG: [M.noLinks, M.listTitle, ...LIST_WINDOW],
  LM_LISTIMGSAVE: [
    CONTROL, M.noLinks, M.saveQuestion, 'SaveImagesDir', M.savePrompt, M.existsBefore, M.existsAfter,
    M.savedListTitle, 'lm:&save=', '&src=', ...LIST_WINDOW,
  ],
  ABOUT: [
    'About Lumorel', 'lm:logo.gif', 'Lumorel 1.4 (1999,0626)', 'Help information can be found online:',
    'Check for Newer Version', 'Email Bug or Feature Request', 'Read FAQ (Frequently Asked Questions)',
    ' OK ', 'Lumorel 1.4',
  ],
};

// Where a text can stand in a page: the source as written (markup with its
// entities), the source with entities decoded (what the user reads), and
// each script string literal's value.
function placesOf(page) {
  return [page.source, decodeEntities(page.source), ...stringLiterals(page).map((l) => l.value)];
}

const pages = new Map(readPages().map((p) => [p.name, p]));

for (const [name, texts] of Object.entries(TEXTS)) {
  test(`${name} holds its texts`, () => {
    const page = pages.get(name);
    assert.ok(page, `no page ${name}`);
    const places = placesOf(page);
    const missing = texts.filter((text) => !places.some((place) => place.includes(text)));
    assert.deepStrictEqual(missing, []);
  });
}

// The titles are the pages' <title> elements, not just somewhere in them
// (nor in the markup a script writes).
test('every page has its title', () => {
  const titles = {
    MAINIMG: 'Lumorel', KEYS: 'Lumorel Help', LM_RUN: 'Lumorel', RUN: 'Lumorel',
    MAIN: 'Lumorel 1.4 for IE 4', OPTIONS: 'Lumorel Options', ABOUT: 'About Lumorel',
    LM_UTILS: 'Lumorel', UTILS: 'Lumorel Tools', UTILSHELP: 'Lumorel Tools Help',
    ORGANIZE: 'Organize Images', UNINSTALL: 'How to Uninstall Lumorel',
    // The context-menu pages have none; the single-picture window takes
    // the picture's.
    LM_LINKS: null, LM_SCRAPE: null, LM_RESIZE: null, LM_OPENRESIZE: null, LM_LISTIMG: null,
    LM_LISTIMGSAVE: null, RESIZEIMG: null,
  };
  for (const [name, title] of Object.entries(titles)) {
    const markup = pages.get(name).source.replace(/<script\b[^>]*>[\s\S]*?<\/script\s*>/gi, '');
    const m = /<title>([^<]*)<\/title>/i.exec(markup);
    assert.strictEqual(m && m[1], title, name);
  }
});

// The picture-address rule: the extensions each page takes, from the array
// literal it names `pictureExtensions`. Saving takes no ".jpe".
test('the context-menu pages take the picture extensions of their rule', () => {
  const all = ['gif', 'jpg', 'jpe', 'jpeg', 'png'];
  const rules = {
    LM_LINKS: all, LM_OPENRESIZE: all, LM_LISTIMG: all, LM_LISTIMGSAVE: ['gif', 'jpg', 'jpeg', 'png'],
  };
  for (const [name, extensions] of Object.entries(rules)) {
    const found = [];
    for (const script of scriptsOf(pages.get(name).source)) {
      if (script.kind !== 'block') continue;
      const program = acorn.parse(script.code, { ecmaVersion: 3 });
      for (const statement of program.body) {
        if (statement.type !== 'VariableDeclaration') continue;
        for (const d of statement.declarations) {
          if (d.id.name === 'pictureExtensions' && d.init && d.init.type === 'ArrayExpression') {
            found.push(d.init.elements.map((e) => e.value));
          }
        }
      }
    }
    assert.deepStrictEqual(found, [extensions], name);
  }
});

// The dialogs give their size on the root element, in em.
test('the dialogs are sized in em on their root element', () => {
  const sizes = {
    KEYS: ['30em', '29em'], OPTIONS: ['25em', '22.5em'], ABOUT: ['26em', '19.8em'], ORGANIZE: ['32em', '10em'],
  };
  for (const [name, [width, height]] of Object.entries(sizes)) {
    const m = /<html style="width: ([\d.]+em); height: ([\d.]+em)">/.exec(pages.get(name).source);
    assert.deepStrictEqual(m && [m[1], m[2]], [width, height], name);
  }
});
