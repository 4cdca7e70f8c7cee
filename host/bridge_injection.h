// Puts the bridge into an HTML page: one script element, and nothing else of
// the page's bytes changes.
#ifndef LUMOREL_HOST_BRIDGE_INJECTION_H_
#define LUMOREL_HOST_BRIDGE_INJECTION_H_

#include <string>
#include <string_view>

namespace lumorel {

// The element: <script src="/.lumorel/bridge.js"></script>. It carries no
// secret: the page's own requests carry the cookie.
std::string bridgeElement();

// `page` with `element` inserted right after its opening <head> tag (any
// case, with or without attributes; never <header>), or, when the page has
// none, before its first start tag, or at its start when it has no tag at
// all. Tags inside comments are not counted.
std::string injectBridge(std::string_view page, std::string_view element);

}  // namespace lumorel

#endif  // LUMOREL_HOST_BRIDGE_INJECTION_H_
