// The browser's menu relay: the native messaging host that the browser
// extension starts for each context-menu entry the user chooses. It hands
// the right-clicked page's snapshot to the running host (starting one when
// none runs), answers the address of the page to open, and then carries
// that page's navigations of the right-clicked tab back to the browser.
#ifndef LUMOREL_HOST_MENU_RELAY_MENU_RELAY_H_
#define LUMOREL_HOST_MENU_RELAY_MENU_RELAY_H_

#include <string>

namespace lumorel {

struct RelayPlaces {
  std::string announcementFolder;  // where a running host announces itself
  std::string hostBinary;          // what to start when none runs
};

// Reads the browser's one message ({"snapshot": {...}}) from `in` and
// writes {"open": address} or {"error": text} to `out`, then one
// {"navigate": address} per navigation until the page's host ends or the
// browser closes `in`. The process's exit status.
int runMenuRelay(int in, int out, const RelayPlaces& places);

}  // namespace lumorel

#endif  // LUMOREL_HOST_MENU_RELAY_MENU_RELAY_H_
