// The relay's requests to a running host, with the host's token.
#ifndef LUMOREL_HOST_MENU_RELAY_HOST_CLIENT_H_
#define LUMOREL_HOST_MENU_RELAY_HOST_CLIENT_H_

#include <functional>
#include <optional>
#include <string>

#include "host/host_announcement.h"

namespace lumorel {

struct RelayAnswer {
  long status = 0;  // 0: the host could not be reached
  std::string body;
};

// POSTs `json` to `path` of `host`; gives up after a few seconds.
RelayAnswer postToHost(const AnnouncedHost& host, const std::string& path, const std::string& json);

// True when `host` is running and takes its token: the announcement may
// outlive a host that was killed.
bool hostAnswers(const AnnouncedHost& host);

// Reads the server-sent events of `path` of `host`, calling `onEvent` with
// each event's name and data, until the stream ends, `stop` says so (asked
// about once a second) or the host cannot be reached. False when the
// stream could not be opened.
bool followHostEvents(const AnnouncedHost& host, const std::string& path,
                      const std::function<void(const std::string& event, const std::string& data)>& onEvent,
                      const std::function<bool()>& stop);

}  // namespace lumorel

#endif  // LUMOREL_HOST_MENU_RELAY_HOST_CLIENT_H_
