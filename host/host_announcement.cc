#include "host/host_announcement.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include <nlohmann/json.hpp>

#include "platform/posix/preference_paths.h"
#include "platform/posix/private_folder.h"
#include "platform/posix/unique_fd.h"

namespace lumorel {
namespace {

constexpr const char* kFileName = kAnnouncementFileName;
constexpr std::size_t kMaxSize = 4096;

std::optional<std::string> readAll(int folderFd) {
  UniqueFd file(openat(folderFd, kFileName, O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  if (!file.valid()) return std::nullopt;
  struct stat st {};
  // Someone else's file, or one others may read or change, is not trusted.
  if (fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid() ||
      (st.st_mode & 077) != 0 || st.st_size > static_cast<off_t>(kMaxSize))
    return std::nullopt;
  std::string text(static_cast<std::size_t>(st.st_size), '\0');
  std::size_t got = 0;
  while (got < text.size()) {
    const ssize_t n = read(file.get(), text.data() + got, text.size() - got);
    if (n <= 0) return std::nullopt;
    got += static_cast<std::size_t>(n);
  }
  return text;
}

}  // namespace

std::string announcementFolder() {
  return valueFileFolder(std::getenv("XDG_RUNTIME_DIR"), std::getenv("TMPDIR"), geteuid());
}

std::optional<HostAnnouncement> HostAnnouncement::write(const std::string& folder, uint16_t port,
                                                        const std::string& token,
                                                        std::string& error) {
  UniqueFd dir = openPrivateFolderMakingParents(folder);
  if (!dir.valid()) {
    error = "cannot use the folder " + folder;
    return std::nullopt;
  }
  const std::string text =
      nlohmann::json{{"address", "http://127.0.0.1:" + std::to_string(port)},
                     {"token", token},
                     {"pid", static_cast<int64_t>(getpid())}}
          .dump();
  // Written whole under a name of this process, then renamed over the old
  // one: a reader never sees half an announcement.
  const std::string partial = std::string(kFileName) + "." + std::to_string(getpid());
  if (!replaceFile(dir.get(), kFileName, partial.c_str(), text)) {
    error = "cannot write " + folder + "/" + kFileName;
    return std::nullopt;
  }
  return HostAnnouncement(folder, text);
}

HostAnnouncement::HostAnnouncement(HostAnnouncement&& other) noexcept
    : folder_(std::exchange(other.folder_, std::string())), text_(std::move(other.text_)) {}

HostAnnouncement& HostAnnouncement::operator=(HostAnnouncement&& other) noexcept {
  if (this != &other) {
    withdraw();
    folder_ = std::exchange(other.folder_, std::string());
    text_ = std::move(other.text_);
  }
  return *this;
}

HostAnnouncement::~HostAnnouncement() { withdraw(); }

void HostAnnouncement::withdraw() {
  if (folder_.empty()) return;
  UniqueFd dir = openPrivateFolder(folder_);
  if (!dir.valid()) return;
  // Another host that started meanwhile has the file now: it stays.
  std::optional<std::string> now = readAll(dir.get());
  if (now && *now == text_) unlinkat(dir.get(), kFileName, 0);
  folder_.clear();
}

std::optional<AnnouncedHost> readAnnouncement(const std::string& folder) {
  UniqueFd dir = openPrivateFolder(folder);
  if (!dir.valid()) return std::nullopt;
  std::optional<std::string> text = readAll(dir.get());
  if (!text) return std::nullopt;
  nlohmann::json parsed = nlohmann::json::parse(*text, nullptr, false);
  if (!parsed.is_object()) return std::nullopt;
  auto address = parsed.find("address");
  auto token = parsed.find("token");
  if (address == parsed.end() || !address->is_string() || token == parsed.end() ||
      !token->is_string())
    return std::nullopt;
  const std::string value = address->get<std::string>();
  if (value.rfind("http://127.0.0.1:", 0) != 0) return std::nullopt;
  return AnnouncedHost{value, token->get<std::string>()};
}

}  // namespace lumorel
