// The bridge script that every HTML page the host serves loads (bridge.js,
// compiled in).
#ifndef LUMOREL_HOST_BRIDGE_SCRIPT_H_
#define LUMOREL_HOST_BRIDGE_SCRIPT_H_

#include <string_view>

namespace lumorel {

std::string_view bridgeScript();

}  // namespace lumorel

#endif  // LUMOREL_HOST_BRIDGE_SCRIPT_H_
