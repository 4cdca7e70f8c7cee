// Installing the module into the user's desktop after its COM registration,
// and taking it out again before the COM unregistration: the Start-menu
// shortcuts, the page files and context-menu entries, the "lm" scheme's
// command, and the settings key.
#ifndef LUMOREL_INSTALL_DESKTOP_INTEGRATION_H_
#define LUMOREL_INSTALL_DESKTOP_INTEGRATION_H_

#include <string>
#include <string_view>

#include "platform/desktop.h"
#include "platform/page_store.h"
#include "platform/registry.h"

namespace lumorel {

// In this order, each step whatever the ones before it did, reporting
// nothing: removes the Internet Shortcuts of older versions (and the
// Start-menu folder when that leaves it empty) and the maker's old
// settings key; writes the uninstall shortcut (never over an existing
// file); creates the settings key; sets the scheme's open command to the
// browser; writes the page files of `pages` into the Windows folder's web
// folder with their context-menu entries and the two shell links to the
// main and tools pages.
void installDesktop(Desktop& desktop, Registry& registry, const PageStore& pages);

// In this order, each step whatever the ones before it did: deletes the
// three Start-menu entries (and the folder when that leaves it empty), the
// page files and context-menu entries, and the settings key with
// everything in it.
void uninstallDesktop(Desktop& desktop, Registry& registry);

// The page file of `resource` in the Windows folder's web folder, which is
// created on the way; the empty text when the Windows folder is unknown.
std::string webPagePath(Desktop& desktop, std::string_view resource);

}  // namespace lumorel

#endif  // LUMOREL_INSTALL_DESKTOP_INTEGRATION_H_
