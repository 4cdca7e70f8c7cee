// The numbers of the browser's URL machinery that the "lm:" handler gives
// and takes: results, progress codes, parse actions and query options.
#ifndef LUMOREL_PROTOCOL_PROTOCOL_CODES_H_
#define LUMOREL_PROTOCOL_PROTOCOL_CODES_H_

#include <cstdint>

#include "platform/hresult.h"

namespace lumorel {

// Start refuses: the client should use its own handling of the URL.
inline constexpr HResult kInetEUseDefaultProtocolHandler = static_cast<HResult>(0x800C0011u);
// Protocol information leaves the question to the client's own rules.
inline constexpr HResult kInetEDefaultAction = static_cast<HResult>(0x800C0011u);
// ParseUrl's answer when the caller's buffer is too small: the bare error
// number, not an HResult, as the client expects it.
inline constexpr HResult kErrorInsufficientBuffer = 122;

// Progress codes given to ProtocolSink::ReportProgress.
inline constexpr uint32_t kBindStatusEndDownloadData = 6;
inline constexpr uint32_t kBindStatusSendingRequest = 11;

// ReportData flags: the last notification, and all of the data is there.
inline constexpr uint32_t kBscfLastDataNotification = 0x04;
inline constexpr uint32_t kBscfDataFullyAvailable = 0x08;

// Parse actions of ParseUrl.
inline constexpr uint32_t kParseCanonicalize = 1;
inline constexpr uint32_t kParseFriendly = 2;
inline constexpr uint32_t kParseSecurityUrl = 3;
inline constexpr uint32_t kParseEncode = 7;
inline constexpr uint32_t kParseDomain = 15;
inline constexpr uint32_t kParseSecurityDomain = 17;

// Query options of QueryInfo.
inline constexpr uint32_t kQueryContentType = 4;
inline constexpr uint32_t kQueryRefresh = 5;
inline constexpr uint32_t kQueryCanNavigate = 7;
inline constexpr uint32_t kQueryUsesNetwork = 8;
inline constexpr uint32_t kQueryIsCached = 9;
inline constexpr uint32_t kQueryIsInstalledEntry = 10;
inline constexpr uint32_t kQueryIsCachedOrMapped = 11;
inline constexpr uint32_t kQueryUsesCache = 12;

}  // namespace lumorel

#endif  // LUMOREL_PROTOCOL_PROTOCOL_CODES_H_
