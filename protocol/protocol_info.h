// What the "lm:" handler tells the client about its URLs: how to parse,
// combine and compare them, and what they are. The security URL decides in
// which site an "lm:" page runs: a page opened for a web page's pictures
// carries that page's address in its parameter "1" and runs in that site;
// every other "lm:" page runs in the plain "http:" context.
//
// Every function works on its arguments alone, with working space of its
// own, so any number of threads may call at once.
#ifndef LUMOREL_PROTOCOL_PROTOCOL_INFO_H_
#define LUMOREL_PROTOCOL_PROTOCOL_INFO_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/hresult.h"

namespace lumorel {

// The longest value of parameter "1" looked at, in UTF-16 units.
inline constexpr std::size_t kMaxParseValueLength = 2083;
// The longest scheme and host that splitUrl takes.
inline constexpr std::size_t kMaxSchemeLength = 31;
inline constexpr std::size_t kMaxHostLength = 255;

// The value of the first pair whose key selects "1" in a URL of the
// parameter form (its fourth character is "&"); nullopt when there is none.
std::optional<std::u16string> findParameter1(std::u16string_view url);

struct UrlSite {
  std::u16string scheme;
  std::u16string host;
};

// The scheme and host of `text`, by a small state machine: the text up to
// ":" is collected; after it a port ("8080", digits in brackets) or "//"
// moves what was collected into the scheme and starts the host; the host
// ends at "/" (or at the end, or at a port's end). nullopt when the host
// is empty, the scheme passes kMaxSchemeLength, the collected text passes
// kMaxHostLength, or a port reaches ten digits before its text goes on.
std::optional<UrlSite> splitUrl(std::u16string_view text);

// A short friendly name from parameter "1": its ASCII letters before the
// first "/", when there are one to four of them ("http://H/" gives "http");
// nullopt otherwise.
std::optional<std::u16string> friendlyText(std::u16string_view value);

// The result text of `action` for `url`, written into `result` (room for
// `resultSize` characters, NUL included) with its length in characters in
// `*resultLength` (when given):
//   kParseFriendly: friendlyText of parameter "1", else "Lumorel";
//   kParseSecurityUrl: scheme "://" host "/" of parameter "1", else "http:";
//   kParseDomain, kParseSecurityDomain: the host of parameter "1", else
//   "local".
// Returns kSOk; kErrorInsufficientBuffer (122) with nothing copied when the
// text and its NUL do not fit; kInetEDefaultAction for every other action.
HResult ParseUrl(std::u16string_view url, uint32_t action, uint32_t flags, char16_t* result,
                 uint32_t resultSize, uint32_t* resultLength);

// The client combines and compares "lm:" URLs by its own rules: always
// kInetEDefaultAction, nothing written.
HResult CombineUrl(std::u16string_view baseUrl, std::u16string_view relativeUrl, uint32_t flags,
                   char16_t* result, uint32_t resultSize, uint32_t* resultLength);
HResult CompareUrl(std::u16string_view url1, std::u16string_view url2, uint32_t flags);

// Answers a query option with a 32-bit boolean in `buffer`: refresh, can
// navigate, is an installed entry, is cached or mapped: TRUE; uses the
// network, is cached, uses the cache: FALSE. kEInvalidArg when `buffer` or
// `sizeOut` is missing or `bufferSize` is below 4; else writes 4 into
// `*sizeOut` and returns kSOk. Any other option: 0 into `*sizeOut` (when
// given) and kInetEDefaultAction.
HResult QueryInfo(std::u16string_view url, uint32_t option, uint32_t flags, void* buffer,
                  uint32_t bufferSize, uint32_t* sizeOut);

}  // namespace lumorel

#endif  // LUMOREL_PROTOCOL_PROTOCOL_INFO_H_
