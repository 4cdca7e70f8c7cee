// Where a running host tells the user's other programs (the browser's menu
// relay) its address and token: a file only its user can read, in the
// user's private runtime folder.
#ifndef LUMOREL_HOST_HOST_ANNOUNCEMENT_H_
#define LUMOREL_HOST_HOST_ANNOUNCEMENT_H_

#include <cstdint>
#include <optional>
#include <string>

namespace lumorel {

// The announcement's file in its folder.
inline constexpr char kAnnouncementFileName[] = "host.json";

struct AnnouncedHost {
  std::string address;  // "http://127.0.0.1:PORT"
  std::string token;
};

// The announcement's folder for this user, from the environment (see
// valueFileFolder).
std::string announcementFolder();

// Writes the announcement of the host on `port` with `token` into `folder`
// (made private if missing) and removes it again when destroyed, unless
// another host has announced itself meanwhile.
class HostAnnouncement {
 public:
  // nullopt, with `error`, when the file cannot be written.
  static std::optional<HostAnnouncement> write(const std::string& folder, uint16_t port,
                                               const std::string& token, std::string& error);
  ~HostAnnouncement();
  HostAnnouncement(HostAnnouncement&& other) noexcept;
  HostAnnouncement& operator=(HostAnnouncement&& other) noexcept;
  HostAnnouncement(const HostAnnouncement&) = delete;
  HostAnnouncement& operator=(const HostAnnouncement&) = delete;

 private:
  HostAnnouncement(std::string folder, std::string text)
      : folder_(std::move(folder)), text_(std::move(text)) {}
  // Removes the file if it is still this announcement.
  void withdraw();
  std::string folder_;  // empty once moved from
  std::string text_;    // what was written
};

// The host announced in `folder`; nullopt when there is none, the file is
// not the user's own and private, or it does not read as one.
std::optional<AnnouncedHost> readAnnouncement(const std::string& folder);

}  // namespace lumorel

#endif  // LUMOREL_HOST_HOST_ANNOUNCEMENT_H_
