// One update of one subscription of the offline store: the page, the
// pictures it shows and links to, and the pages it links to, down to the
// subscription's depth, saved in a folder.
#ifndef LUMOREL_PLATFORM_POSIX_OFFLINE_COPY_H_
#define LUMOREL_PLATFORM_POSIX_OFFLINE_COPY_H_

#include <cstdint>
#include <functional>
#include <string>

#include "platform/posix/curl_file_download.h"
#include "platform/posix/subscription_record.h"
#include "platform/url_fetcher.h"

namespace lumorel {

struct OfflineCopyLimits {
  // Each download's time and size (16 MiB by default).
  FileDownloadLimits file;
  // The bytes all downloads of one copy may bring together (a record's
  // smaller max_size_kb wins).
  uint64_t maxBytes = uint64_t{256} << 20;
  // The files one copy may keep.
  uint32_t maxFiles = 1000;
};

// The name of the index in a copy's folder: one line per saved file, its
// name, a tab and the address it was fetched from.
inline constexpr char kOfflineCopyIndexName[] = "index";

enum class OfflineCopyOutcome {
  kDone,        // the page was copied, with what could be of the rest
  kPageFailed,  // the page itself could not be copied
  kStopped,     // cancelled
};

// Fills the empty folder `folderFd` with a copy of `record.url`.
//
// The pages are fetched level by level: the page itself is level 0, and a
// page a level-L page links to (<a href>, <area href>) is level L + 1,
// fetched while L < record.recurseLevels; a frame (<frame src>, <iframe
// src>) is on its page's level. Only answers of type text/html or
// application/xhtml+xml are kept as pages. A page on another host than the
// record's address and the address it redirects to is followed only when
// the record's webcrawler flags hold kWebcrawlLinksElsewhere.
//
// With kWebcrawlGetImages in the flags, the pictures a page shows (<img
// src>) are fetched, and the pictures it links to when it is below the
// record's depth; from any host. A picture is an address whose path ends
// in .gif, .jpg, .jpe, .jpeg or .png (in any case) with no query after it;
// an answer of type text/html is not kept as one.
//
// Every address is fetched at most once. Files are named by the copy (a
// counter and ".html" or the picture's extension, in lowercase), never by
// the server, and written under a temporary name first, so a file under
// its own name is always whole. The index is written last. The copy ends early
// when `limits` are reached (the files kept so far stay) or when
// `cancelled` says so. `log` gets one line (without line feed) per page
// copied, per download that failed, and per limit reached.
//
// Unless the outcome is kDone, the folder holds no index and is for the
// caller to discard.
OfflineCopyOutcome makeOfflineCopy(const SubscriptionRecord& record, int folderFd,
                                   const OfflineCopyLimits& limits, const CancelCheck& cancelled,
                                   const std::function<void(const std::string& line)>& log);

}  // namespace lumorel

#endif  // LUMOREL_PLATFORM_POSIX_OFFLINE_COPY_H_
