// Web addresses (http and https) as the offline store follows them: the
// addresses a page links to, made absolute against the page's own.
#ifndef LUMOREL_PLATFORM_POSIX_WEB_ADDRESS_H_
#define LUMOREL_PLATFORM_POSIX_WEB_ADDRESS_H_

#include <optional>
#include <string>
#include <string_view>

namespace lumorel {

// `reference` (an address as it stands in a page, its character references
// already decoded) made absolute against the absolute address `base`: a
// reference with a scheme stands alone; one starting with "//" takes the
// base's scheme; one starting with '/' the base's scheme and host; any other
// is taken relative to the base's folder. An empty one is the base itself,
// a lone query the base with that query. "." and ".." segments are resolved
// and can never climb above the root.
//
// The result is cleaned: ASCII white space at either end is trimmed, tabs
// and line breaks inside are removed, '\' before the query counts as '/',
// the scheme and the host are lowercased, an empty path becomes "/", the
// fragment is dropped, and every byte that may not stand in an address
// (controls, space, non-ASCII, '"', '<', '>', '`', '\' in the query) is
// percent-encoded. So the result never holds white space or a control
// character.
//
// nullopt unless the result is an http or https address with a host.
std::optional<std::string> resolveWebAddress(std::string_view base, std::string_view reference);

// True when `url` starts with "http://" or "https://", in any case: the
// addresses that are fetched at all.
bool hasWebScheme(std::string_view url);

// The host of the absolute address `address` as resolveWebAddress gives it,
// without user name or port; empty when it has none.
std::string webAddressHost(std::string_view address);

}  // namespace lumorel

#endif  // LUMOREL_PLATFORM_POSIX_WEB_ADDRESS_H_
