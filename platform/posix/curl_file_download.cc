#include "platform/posix/curl_file_download.h"

#include <curl/curl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>

namespace lumorel {
namespace {

// How long one wait for the network lasts before the cancel check is asked
// again.
constexpr int kPollSliceMs = 50;

// What the write callback knows and decides while the body comes.
struct Transfer {
  CURL* easy = nullptr;
  int fd = -1;
  uint64_t maxBytes = 0;
  const AnswerCheck* check = nullptr;
  bool checked = false;  // the check has been asked
  uint64_t bytes = 0;
  std::string contentType;
  // Why the write callback stopped the transfer; kSaved while it has not.
  DownloadOutcome stoppedBy = DownloadOutcome::kSaved;
  std::string writeError;
};

// Asks the caller's check about the answer's content type, once; false
// when it turns the answer down.
bool askCheck(Transfer& t) {
  if (t.checked) return true;
  t.checked = true;
  char* type = nullptr;
  if (curl_easy_getinfo(t.easy, CURLINFO_CONTENT_TYPE, &type) == CURLE_OK && type) {
    t.contentType = type;
  }
  if (*t.check && !(*t.check)(t.contentType)) {
    t.stoppedBy = DownloadOutcome::kRefused;
    return false;
  }
  return true;
}

size_t onData(char* data, size_t size, size_t count, void* self) {
  Transfer& t = *static_cast<Transfer*>(self);
  const size_t n = size * count;
  // Any return other than n ends the transfer with a write error.
  if (!askCheck(t)) return 0;
  if (n > t.maxBytes - t.bytes) {
    t.stoppedBy = DownloadOutcome::kTooLarge;
    return 0;
  }
  for (size_t put = 0; put < n;) {
    ssize_t wrote = write(t.fd, data + put, n - put);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) {
      t.stoppedBy = DownloadOutcome::kFailed;
      t.writeError = std::string("the file could not be written: ") + std::strerror(errno);
      return 0;
    }
    put += static_cast<size_t>(wrote);
  }
  t.bytes += n;
  return n;
}

struct EasyCleanup {
  void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct MultiCleanup {
  void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};

// Sets the transfer up; false when libcurl refuses any part of it.
bool setUp(CURL* easy, const std::string& address, const FileDownloadLimits& limits, Transfer& t) {
  return curl_easy_setopt(easy, CURLOPT_URL, address.c_str()) == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https") == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L) == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 5L) == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_FAILONERROR, 1L) == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L) == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_USERAGENT, "Lumorel") == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS,
                          static_cast<long>(limits.connectTimeoutMs)) == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, static_cast<long>(limits.totalTimeoutMs)) ==
             CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE,
                          static_cast<curl_off_t>(limits.maxBytes)) == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &onData) == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_WRITEDATA, &t) == CURLE_OK;
}

// The outcome of a transfer libcurl has ended with `code`.
void judge(CURLcode code, Transfer& t, const FileDownloadLimits& limits, FileDownload& result) {
  if (code == CURLE_OK) {
    // An empty body never reached the write callback: the check is asked now.
    result.outcome = askCheck(t) ? DownloadOutcome::kSaved : DownloadOutcome::kRefused;
    if (result.outcome == DownloadOutcome::kRefused) result.error = "answer turned down";
    return;
  }
  if (code == CURLE_FILESIZE_EXCEEDED || t.stoppedBy == DownloadOutcome::kTooLarge) {
    result.outcome = DownloadOutcome::kTooLarge;
    result.error = "larger than " + std::to_string(limits.maxBytes) + " bytes";
  } else if (t.stoppedBy == DownloadOutcome::kRefused) {
    result.outcome = DownloadOutcome::kRefused;
    result.error = "answer turned down";
  } else if (code == CURLE_HTTP_RETURNED_ERROR) {
    long status = 0;
    curl_easy_getinfo(t.easy, CURLINFO_RESPONSE_CODE, &status);
    result.outcome = DownloadOutcome::kFailed;
    result.error = "the server answered " + std::to_string(status);
  } else {
    result.outcome = DownloadOutcome::kFailed;
    result.error = t.writeError.empty() ? curl_easy_strerror(code) : t.writeError;
  }
}

}  // namespace

FileDownload downloadToFile(const std::string& address, int fd, const FileDownloadLimits& limits,
                            const CancelCheck& cancelled, const AnswerCheck& check) {
  // libcurl's global set-up: once, before any handle.
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });

  FileDownload result;
  result.finalAddress = address;
  std::unique_ptr<CURL, EasyCleanup> easy(curl_easy_init());
  std::unique_ptr<CURLM, MultiCleanup> multi(curl_multi_init());
  Transfer t{.easy = easy.get(), .fd = fd, .maxBytes = limits.maxBytes, .check = &check};
  if (!easy || !multi || !setUp(easy.get(), address, limits, t) ||
      curl_multi_add_handle(multi.get(), easy.get()) != CURLM_OK) {
    result.error = "the download could not be set up";
    return result;
  }

  // The transfer runs in slices, so the cancel check is asked between them.
  bool done = false;
  CURLcode code = CURLE_OK;
  while (!done) {
    if (cancelled && cancelled()) {
      result.outcome = DownloadOutcome::kStopped;
      result.error = "stopped";
      break;
    }
    int running = 0;
    if (curl_multi_perform(multi.get(), &running) != CURLM_OK) {
      done = true;
      code = CURLE_FAILED_INIT;
      break;
    }
    int left = 0;
    while (CURLMsg* msg = curl_multi_info_read(multi.get(), &left)) {
      if (msg->msg == CURLMSG_DONE) {
        done = true;
        code = msg->data.result;
      }
    }
    if (!done) curl_multi_poll(multi.get(), nullptr, 0, kPollSliceMs, nullptr);
  }
  char* finalAddress = nullptr;
  if (curl_easy_getinfo(easy.get(), CURLINFO_EFFECTIVE_URL, &finalAddress) == CURLE_OK &&
      finalAddress) {
    result.finalAddress = finalAddress;
  }
  result.bytes = t.bytes;
  if (done) judge(code, t, limits, result);
  result.contentType = t.contentType;
  curl_multi_remove_handle(multi.get(), easy.get());
  return result;
}

}  // namespace lumorel
