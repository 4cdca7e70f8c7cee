// The messages of the context-menu pages and the titles of the windows they
// open, exactly as the user reads them. The page checks find each in its
// page; the browser journeys (tests/e2e/journeys) expect them on screen.
'use strict';

const EXISTS_BEFORE = 'Cannot save all images on this page because one or more files already exists on you hard ' +
  "drive using this image name.  Example:  \n\n'";
const EXISTS_AFTER = "'.\n\nSelect a different directory and try again.";

const MENU_TEXTS = {
  // LM_LINKS
  slideshowNoLinks: 'Lumorel\r\n\r\nNo links leading to images were found on this page.',
  // LM_SCRAPE
  preloadQuestion: 'Lumorel\r\n\r\nPreload all images linked to this page?',
  // LM_RESIZE
  notAPicture: 'You must right-click on an image to Zoom.',
  // LM_OPENRESIZE
  notAPictureLink: 'This link does not lead to an image. You must right-click on a link to an image.',
  // LM_LISTIMG and LM_LISTIMGSAVE
  noLinks: 'No links leading to images were found on this page.',
  listTitle: 'Linked Images: ',
  backTo: 'Back to ',
  notYet: 'Please wait until the list has populated.',
  close: 'close',
  // LM_LISTIMGSAVE
  savedListTitle: 'Linked Images (saved): ',
  saveQuestion: 'Save all images linked to this page into a local folder?',
  savePrompt: 'Select a directory for saved images:',
  existsBefore: EXISTS_BEFORE,
  existsAfter: EXISTS_AFTER,
};

// The refusal of a save into a folder that already holds `path`.
function existsMessage(path) {
  return EXISTS_BEFORE + path + EXISTS_AFTER;
}

module.exports = { MENU_TEXTS, existsMessage };
