// Opening the browser on the host's address without putting its token on a
// command line, where every user of the machine could read it: the address
// goes into a page in the user's private runtime folder, and the browser is
// opened on that page, which takes it on to the address.
#ifndef LUMOREL_HOST_BROWSER_LAUNCH_H_
#define LUMOREL_HOST_BROWSER_LAUNCH_H_

#include <optional>
#include <string>

namespace lumorel {

inline constexpr char kLaunchPageName[] = "open.html";

// The page that takes the browser on to `address` (an http address that
// servedAddress made) at once, with a link to it for a browser that does
// not follow.
std::string launchPageText(const std::string& address);

// Writes the launch page for `address` into `folder` (a private folder,
// made when missing) as kLaunchPageName, readable by the user alone. Its
// path, or nullopt with `error`.
std::optional<std::string> writeLaunchPage(const std::string& folder, const std::string& address,
                                           std::string& error);

// Opens `target` (a path or an address) with xdg-open in the background;
// says on the standard error when no browser could be opened, pointing the
// user at `fallback`.
void openInBrowser(const std::string& target, const std::string& fallback);

// Starts xdg-open on `target` and returns without waiting for it (a
// browser it starts may run for as long as the user keeps it); false when
// xdg-open is not installed.
bool startBrowser(const std::string& target);

}  // namespace lumorel

#endif  // LUMOREL_HOST_BROWSER_LAUNCH_H_
