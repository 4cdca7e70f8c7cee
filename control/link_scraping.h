// Offline copies of web pages through the browser's subscription manager.
#ifndef LUMOREL_CONTROL_LINK_SCRAPING_H_
#define LUMOREL_CONTROL_LINK_SCRAPING_H_

#include <string>
#include <string_view>

namespace lumorel {

// The last segment of an address, for the subscription's friendly name: the
// text after the last '\' or '/' that is neither its first nor its last
// character, or the whole text when there is none. A trailing separator
// therefore stays ("…/dir/" gives "dir/"). The empty text for an address
// longer than 262 UTF-16 units.
std::string lastUrlSegment(std::string_view url);

}  // namespace lumorel

#endif  // LUMOREL_CONTROL_LINK_SCRAPING_H_
