// One download over http or https into a file, with bounds on its size and
// time, for the offline store.
#ifndef LUMOREL_PLATFORM_POSIX_CURL_FILE_DOWNLOAD_H_
#define LUMOREL_PLATFORM_POSIX_CURL_FILE_DOWNLOAD_H_

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/url_fetcher.h"

namespace lumorel {

struct FileDownloadLimits {
  // How long a connection may take to open.
  uint32_t connectTimeoutMs = 15000;
  // How long one whole download may take.
  uint32_t totalTimeoutMs = 120000;
  // The most bytes one download may bring.
  uint64_t maxBytes = uint64_t{16} << 20;
};

enum class DownloadOutcome {
  kSaved,     // the whole body is in the file
  kFailed,    // the network, the server (status 400 and up) or the file failed
  kTooLarge,  // the body is longer than the limit
  kRefused,   // the caller's check turned the answer down
  kStopped,   // the cancel check said so
};

struct FileDownload {
  DownloadOutcome outcome = DownloadOutcome::kFailed;
  uint64_t bytes = 0;        // bytes of the body received
  std::string finalAddress;  // the address answered, after any redirects
  std::string contentType;   // the answer's type, as the server gave it
  std::string error;         // what went wrong, for a log; empty when saved
};

// Asked once, before the first byte of the body is written, with the
// answer's content type (empty when the server gave none); false stops the
// download with kRefused. Never asked for an empty body.
using AnswerCheck = std::function<bool(std::string_view contentType)>;

// Downloads `address` into `fd` (open for writing, at its start). Only http
// and https are fetched, redirects included (at most five, and only to http
// or https). An answer whose length is known to exceed `limits.maxBytes` is
// not fetched; one that grows past it is stopped there. `cancelled` is asked
// at least every 50 ms while the download waits for the network. Whatever
// the outcome, the file may hold part of the body: the caller discards it
// unless the outcome is kSaved. No signals are used; any thread.
FileDownload downloadToFile(const std::string& address, int fd, const FileDownloadLimits& limits,
                            const CancelCheck& cancelled, const AnswerCheck& check);

}  // namespace lumorel

#endif  // LUMOREL_PLATFORM_POSIX_CURL_FILE_DOWNLOAD_H_
