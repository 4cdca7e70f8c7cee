#include "platform/posix/offline_copy.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <optional>
#include <set>
#include <vector>

#include "platform/posix/html_links.h"
#include "platform/posix/unique_fd.h"
#include "platform/posix/web_address.h"
#include "platform/subscription_manager.h"

namespace lumorel {
namespace {

// The name a download is written under until it is whole.
constexpr char kPartialName[] = "partial.tmp";
constexpr char kIndexPartialName[] = "index.tmp";

constexpr std::string_view kPictureExtensions[] = {"gif", "jpg", "jpe", "jpeg", "png"};

std::string lowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

// The picture extension `address` ends with, in lowercase; empty when it
// is no picture address.
std::string_view pictureExtension(std::string_view address) {
  const std::size_t dot = address.rfind('.');
  const std::size_t slash = address.rfind('/');
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return {};
  const std::string extension = lowerAscii(address.substr(dot + 1));
  for (std::string_view known : kPictureExtensions) {
    if (extension == known) return known;
  }
  return {};
}

// The media type of a Content-Type value, in lowercase, without parameters.
std::string mediaType(std::string_view contentType) {
  std::string type = lowerAscii(contentType.substr(0, contentType.find(';')));
  const std::size_t begin = type.find_first_not_of(" \t");
  const std::size_t end = type.find_last_not_of(" \t");
  return begin == std::string::npos ? "" : type.substr(begin, end - begin + 1);
}

bool isPageType(std::string_view contentType) {
  const std::string type = mediaType(contentType);
  return type == "text/html" || type == "application/xhtml+xml";
}

// Reads the first `n` bytes of `fd`.
std::optional<std::string> readBack(int fd, uint64_t n) {
  std::string bytes(n, '\0');
  for (std::size_t got = 0; got < bytes.size();) {
    ssize_t read = pread(fd, bytes.data() + got, bytes.size() - got, static_cast<off_t>(got));
    if (read < 0 && errno == EINTR) continue;
    if (read <= 0) return std::nullopt;
    got += static_cast<std::size_t>(read);
  }
  return bytes;
}

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t wrote = write(fd, bytes.data(), bytes.size());
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(wrote));
  }
  return true;
}

class OfflineCopier {
 public:
  OfflineCopier(const SubscriptionRecord& record, int folderFd, const OfflineCopyLimits& limits,
                const CancelCheck& cancelled, const std::function<void(const std::string&)>& log)
      : record_(record),
        folderFd_(folderFd),
        limits_(limits),
        cancelled_(cancelled),
        log_(log),
        maxBytes_(record.maxSizeKB == 0
                      ? limits.maxBytes
                      : std::min<uint64_t>(limits.maxBytes, uint64_t{record.maxSizeKB} * 1024)) {}

  OfflineCopyOutcome run() {
    std::optional<std::string> start = resolveWebAddress(record_.url, record_.url);
    if (!start) {
      say(record_.url + " failed: not a web address");
      return OfflineCopyOutcome::kPageFailed;
    }
    hosts_.insert(webAddressHost(*start));
    seen_.insert(*start);
    pages_.push_back({.address = *start, .level = 0, .start = true});
    while (!pages_.empty() && !ended()) {
      PageToCopy page = std::move(pages_.front());
      pages_.pop_front();
      copyPage(page);
    }
    if (stopped_) return OfflineCopyOutcome::kStopped;
    if (files_ == 0) return OfflineCopyOutcome::kPageFailed;
    return writeIndex() ? OfflineCopyOutcome::kDone : OfflineCopyOutcome::kPageFailed;
  }

 private:
  struct PageToCopy {
    std::string address;
    uint64_t level = 0;
    bool start = false;  // the record's own address
  };

  // A file saved: its name in the folder and the download.
  struct Saved {
    std::string name;
    FileDownload download;
    std::string content;  // pages only
  };

  void say(const std::string& what) { log_("lumorel: offline copy of " + what); }

  bool ended() {
    if (!stopped_ && cancelled_ && cancelled_()) stopped_ = true;
    return stopped_ || full_;
  }

  void copyPage(const PageToCopy& page) {
    std::optional<Saved> saved = download(
        page.address, "html", [](std::string_view type) { return isPageType(type); }, true);
    if (!saved) return;
    const std::string& base = saved->download.finalAddress;
    if (auto final = resolveWebAddress(base, base)) {
      seen_.insert(*final);
      // Where the address itself leads is as much its site as its own host.
      if (page.start) hosts_.insert(webAddressHost(*final));
    }

    const bool images = (record_.webcrawlerFlags & kWebcrawlGetImages) != 0;
    const bool elsewhere = (record_.webcrawlerFlags & kWebcrawlLinksElsewhere) != 0;
    const bool followLinks = page.level < record_.recurseLevels;
    uint64_t bytes = saved->download.bytes;
    int pictures = 0;
    for (HtmlLink& link : extractHtmlLinks(saved->content, base)) {
      if (ended()) break;
      const std::string_view extension = pictureExtension(link.address);
      if (!extension.empty()) {
        if (!images || (link.kind == HtmlLinkKind::kAnchor && !followLinks)) continue;
        if (!seen_.insert(link.address).second) continue;
        std::optional<Saved> picture = download(
            link.address, extension,
            [](std::string_view type) { return mediaType(type) != "text/html"; }, false);
        if (picture) {
          ++pictures;
          bytes += picture->download.bytes;
        }
      } else if (link.kind != HtmlLinkKind::kImage) {
        const uint64_t level = link.kind == HtmlLinkKind::kFrame ? page.level : page.level + 1;
        if (level > record_.recurseLevels) continue;
        if (!elsewhere && hosts_.count(webAddressHost(link.address)) == 0) continue;
        if (seen_.insert(link.address).second) {
          pages_.push_back({.address = std::move(link.address), .level = level});
        }
      }
    }
    say(page.address + ": " + std::to_string(bytes) + " bytes, " + std::to_string(pictures) +
        " pictures");
  }

  // Downloads `address` and keeps it as the next file with `extension`,
  // when `check` takes its content type; with `keepContent`, its bytes come
  // back too. nullopt when it is not kept (the failure is logged).
  std::optional<Saved> download(const std::string& address, std::string_view extension,
                                const AnswerCheck& check, bool keepContent) {
    if (files_ >= limits_.maxFiles) {
      full_ = true;
      say(record_.url + " ended: " + std::to_string(limits_.maxFiles) + " files kept");
      return std::nullopt;
    }
    const uint64_t left = maxBytes_ - bytes_;
    if (left == 0) return boundReached();
    UniqueFd fd(
        openat(folderFd_, kPartialName, O_RDWR | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd.valid()) {
      say(address + " failed: " + std::strerror(errno));
      return std::nullopt;
    }
    FileDownloadLimits fileLimits = limits_.file;
    fileLimits.maxBytes = std::min(fileLimits.maxBytes, left);
    Saved saved{.download = downloadToFile(address, fd.get(), fileLimits, cancelled_, check)};
    bytes_ += saved.download.bytes;
    const DownloadOutcome outcome = saved.download.outcome;
    if (outcome == DownloadOutcome::kSaved && keepContent) {
      std::optional<std::string> content = readBack(fd.get(), saved.download.bytes);
      if (!content)
        return discard(address, std::string("it could not be read back: ") + std::strerror(errno));
      saved.content = std::move(*content);
    }
    if (!fd.close()) return discard(address, std::string("closing: ") + std::strerror(errno));
    if (outcome == DownloadOutcome::kStopped) {
      stopped_ = true;
      return discard(address, "");
    }
    if (outcome == DownloadOutcome::kTooLarge && fileLimits.maxBytes < limits_.file.maxBytes) {
      discard(address, "");
      return boundReached();
    }
    if (outcome == DownloadOutcome::kRefused) {
      std::string type =
          saved.download.contentType.empty() ? "no type" : saved.download.contentType;
      return discard(address, "not kept as " + std::string(keepContent ? "a page" : "a picture") +
                                  " (" + type + ")");
    }
    if (outcome != DownloadOutcome::kSaved) return discard(address, saved.download.error);

    char name[32];
    std::snprintf(name, sizeof name, "%06u.", files_ + 1);
    saved.name = name + std::string(extension);
    if (renameat(folderFd_, kPartialName, folderFd_, saved.name.c_str()) != 0) {
      return discard(address, std::string("renaming: ") + std::strerror(errno));
    }
    ++files_;
    index_ += saved.name + "\t" + address + "\n";
    return saved;
  }

  // Ends the copy: the bytes of all downloads have reached their bound.
  std::nullopt_t boundReached() {
    full_ = true;
    say(record_.url + " ended: its bound of " + std::to_string(maxBytes_) + " bytes reached");
    return std::nullopt;
  }

  // Removes the partial file and logs `why` (when not empty) as a failure.
  std::nullopt_t discard(const std::string& address, const std::string& why) {
    unlinkat(folderFd_, kPartialName, 0);
    if (!why.empty()) say(address + " failed: " + why);
    return std::nullopt;
  }

  bool writeIndex() {
    UniqueFd fd(openat(folderFd_, kIndexPartialName,
                       O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd.valid() || !writeAll(fd.get(), index_) || !fd.close() ||
        renameat(folderFd_, kIndexPartialName, folderFd_, kOfflineCopyIndexName) != 0) {
      say(record_.url + " failed: the index could not be written: " + std::strerror(errno));
      unlinkat(folderFd_, kIndexPartialName, 0);
      return false;
    }
    return true;
  }

  const SubscriptionRecord& record_;
  const int folderFd_;
  const OfflineCopyLimits& limits_;
  const CancelCheck& cancelled_;
  const std::function<void(const std::string&)>& log_;
  const uint64_t maxBytes_;
  std::set<std::string> hosts_;  // the hosts of the copy's own site
  std::set<std::string> seen_;   // every address fetched or queued
  std::deque<PageToCopy> pages_;
  uint32_t files_ = 0;
  uint64_t bytes_ = 0;  // fetched by every download, kept or not
  std::string index_;
  bool stopped_ = false;  // cancelled
  bool full_ = false;     // a limit was reached
};

}  // namespace

OfflineCopyOutcome makeOfflineCopy(const SubscriptionRecord& record, int folderFd,
                                   const OfflineCopyLimits& limits, const CancelCheck& cancelled,
                                   const std::function<void(const std::string& line)>& log) {
  return OfflineCopier(record, folderFd, limits, cancelled, log).run();
}

}  // namespace lumorel
