// Lumorel's entries in the browser's context menu: the text the menu shows,
// where it shows it (the page itself, a picture, a link), and the Lumorel
// page that does the entry's work on what was right-clicked.
export const MENU_ENTRIES = [
  { title: 'Slideshow all Linked Images (Lumorel)', contexts: ['page'], page: 'lm_links' },
  { title: 'Preload Linked Images (Lumorel)', contexts: ['page'], page: 'lm_scrape' },
  { title: 'Resize This Image (Lumorel)', contexts: ['image'], page: 'lm_resize' },
  { title: 'Open Linked Image (Lumorel)', contexts: ['link'], page: 'lm_openresize' },
  { title: 'Dump Linked Images (Lumorel)', contexts: ['page'], page: 'lm_listimg' },
  { title: 'Save Linked Images (Lumorel)', contexts: ['page'], page: 'lm_listimgsave' }
];

// The native messaging host that carries the entries to Lumorel.
export const RELAY = 'org.lumorel.menu_relay';
