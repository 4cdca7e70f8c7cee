// Starts a browser host for the relay when none is running.
#ifndef LUMOREL_HOST_MENU_RELAY_HOST_STARTER_H_
#define LUMOREL_HOST_MENU_RELAY_HOST_STARTER_H_

#include <optional>
#include <string>

#include "host/host_announcement.h"

namespace lumorel {

// The host's address and token in the first line it prints
// ("http://127.0.0.1:PORT/lm:...?token=T"); nullopt for anything else.
std::optional<AnnouncedHost> parsePrintedAddress(const std::string& line);

// Starts the program `hostBinary` in a session of its own, without a
// browser, announcing itself and ending with its last page, and gives its
// address once it has printed it. nullopt, with `error`, when it cannot be
// started or prints nothing usable within a few seconds.
std::optional<AnnouncedHost> startHost(const std::string& hostBinary, std::string& error);

}  // namespace lumorel

#endif  // LUMOREL_HOST_MENU_RELAY_HOST_STARTER_H_
